// Constants shared by several units. Everything the program does is fixed
// here: there is no configuration.
#pragma once

#include <cstdint>
#include <string_view>

namespace tonefield {

// Keyboard
inline constexpr int kKeyCount = 36;       // three octaves
inline constexpr int kReferenceKey = 12;   // plays the sample at its own pitch

// Voices
inline constexpr int kVoiceCount = 8;
// Owners of voices: 0 the mouse and PC keys (and score track 0), 1..7 the
// other score tracks, 8 every MIDI input, 9 a MIDI file played as a song.
inline constexpr int kMidiOwner = 8;
inline constexpr int kMidiFileOwner = 9;

// Output
inline constexpr int kBlocksPerSecond = 50;       // a block is rate / 50 samples (20 ms)

// Timer
inline constexpr int kTimerIntervalMs = 250;
inline constexpr int kWatchdogEveryTicks = 4;
inline constexpr int kCloseCountdownTicks = 12;

// Samples
inline constexpr int kMaxSampleSeconds = 3;
inline constexpr std::uint32_t kMinSampleRate = 10;         // below, grains have no length
inline constexpr std::uint32_t kMaxSampleRate = 13230000;   // above, a block overflows its buffer

// Sample recording
inline constexpr std::uint32_t kCaptureRate = 11025;
inline constexpr std::uint32_t kCaptureBytes = 66150;       // three seconds, 16-bit mono
inline constexpr int kOnsetThreshold = 3276;                // loud means |s| > this
inline constexpr std::uint32_t kOnsetSearchSamples = kCaptureBytes / 4;  // 16537

// Key wave builder
inline constexpr int kFilterTaps = 71;
inline constexpr double kFilterCutoff = 0.16666666666666666;
inline constexpr int kInterpolationFactor = 6;
inline constexpr int kGrainsPerSecond = 5;                  // grain = rate / 5 (200 ms)

// Scores
inline constexpr int kScoreTracks = 8;
inline constexpr int kTrackEventCapacity = 1004;
inline constexpr int kMaxTextEvents = 1000;
inline constexpr int kDefaultTempo = 120;
inline constexpr int kMinTempo = 60;
inline constexpr int kMaxTempo = 600;
inline constexpr int kTempoPositionMin = 0;
inline constexpr int kTempoPositionMax = 10;
inline constexpr int kTempoPositionStart = 5;
inline constexpr std::string_view kScoreMagic = "TONEFIELD0$";  // 11 bytes
inline constexpr int kScoreBodyLimit = 20481;
inline constexpr int kSongTitleMaxChars = 64;

// Performance recording
inline constexpr int kPerformanceBlockLimit = 30000;        // 600 s

// Window
inline constexpr std::string_view kWindowCaption = "Tonefield ";  // trailing blank is part of it
inline constexpr std::string_view kInstanceName = "TONEFIELD IS ALREADY RUNNING!";

}  // namespace tonefield
