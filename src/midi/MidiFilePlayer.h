// Plays a MIDI file's schedule as a song on the audio thread, one output
// sample at a time, through the same voices as everything else: each
// message goes through a MidiInterpreter of the player's own (velocity as
// for MIDI input, a sustain pedal and All Notes Off per channel, notes held
// per channel and note), and its notes sound under the MIDI file's owner,
// yielding to a key another owner holds as a MIDI controller's notes do.
// The tempo bar scales the file's clock: at speed S (65536 = the file's own
// tempo) output sample n stands for file sample n × S / 65536, and a message
// sounds on the first output sample whose file time has reached it. At the
// file's end every note it still holds ends and Finished turns true.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/SongPlayer.h"
#include "midi/MidiFile.h"
#include "midi/MidiInterpreter.h"

namespace tonefield {

inline constexpr std::int32_t kMidiFileNormalSpeed = 65536;
inline constexpr std::uint16_t kAllMidiChannels = 0xFFFF;

struct MidiFilePlayOptions {
  bool dropOutOfRange = false;               // notes off keys 0..35: dropped, or else folded by octaves
  std::uint16_t channels = kAllMidiChannels;  // bit c set: channel c + 1 plays
};

// "all", or channel numbers 1..16 and ranges of them joined by commas
// ("1-9,11-16"), as channel bits (bit c for channel c + 1); nothing when
// the text is anything else.
std::optional<std::uint16_t> ParseMidiChannelList(std::string_view text);

// The speed for a tempo bar position 0..10, as the bar scales a score's
// tempo: round(65536 × 2^((position − 5) / 5)), so 0 is half, 5 the file's
// own and 10 double speed.
std::int32_t MidiFileSpeed(int tempoPosition);

class MidiFilePlayer final : public SongPlayer, private MidiNoteSink {
 public:
  // Off the audio thread: takes the schedule's messages of the chosen
  // channels and rewinds.
  void Load(MidiFileSchedule schedule, MidiFilePlayOptions options);
  // Off the audio thread: back to the first sample, no note held, no pedal.
  void Rewind();

  bool Finished() const override { return ended_; }
  void StepSample(VoiceTable& voices) override;
  std::int32_t QuietSamples() const override;
  void SkipQuietSamples(std::int32_t count) override;
  void SetSpeed(std::int32_t speed) override { speed_ = speed > 0 ? speed : 1; }

  std::int32_t speed() const { return speed_; }
  std::size_t messageCount() const { return messages_.size(); }
  // Note-ons of the chosen channels played so far, and those of them that
  // started a voice (the others fell off the keyboard with dropOutOfRange,
  // or found the key held by another owner).
  std::uint64_t notesReceived() const { return notesReceived_; }
  std::uint64_t notesSounded() const { return notesSounded_; }

 private:
  void StartNote(int key, std::int32_t gain) override;
  void EndNote(int key) override;
  void EndAllNotes() override;
  // The file time, in 1/65536 samples, at which the next thing happens.
  std::int64_t NextTime() const;

  std::vector<ScheduledMidiMessage> messages_;
  std::int64_t endSample_ = 0;
  MidiInterpreter interpreter_;
  std::size_t next_ = 0;
  std::int64_t clock_ = 0;  // file time of the next output sample, in 1/65536 samples
  std::int32_t speed_ = kMidiFileNormalSpeed;
  bool ended_ = false;
  VoiceTable* voices_ = nullptr;  // while stepping
  std::uint64_t notesReceived_ = 0;
  std::uint64_t notesSounded_ = 0;
};

}  // namespace tonefield
