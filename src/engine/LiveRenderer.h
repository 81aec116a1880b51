// The audio thread's half of live play. While the device runs it alone owns
// the voice table, the playing score, the key-wave bank in use and the
// score's (or song player's) block phase; the device's callback calls Render for each buffer.
// At the start of every buffer the commands the GUI queued, then the notes
// the MIDI input queued, are applied, so an event lands on the buffer's
// first sample. Then the buffer is mixed by
// the same per-sample rules as the offline renderer (MixBlock), cut so that
// the tracks-finished test falls on the 20 ms block starts counted from the
// score's start. Results leave through the channels: key paints, a snapshot
// of the table, banks and scores handed back, the score's end, latency
// stamps, the recording tap. Render never locks, allocates, waits, logs or
// touches a file. While no device runs the GUI thread calls ApplyCommands
// itself, with the same effects and no sound.
#pragma once

#include <cstdint>
#include <span>

#include "engine/LiveChannels.h"
#include "engine/VoiceTable.h"
#include "engine/WaveOutDevice.h"

namespace tonefield {

class LiveRenderer final : public AudioSource, private KeyPainter {
 public:
  explicit LiveRenderer(LiveChannels& channels);

  // The device's callback. Applies the queued commands, then fills buffer.
  void Render(std::span<std::int16_t> buffer) noexcept override;
  // Applies every queued command and publishes the results; nothing is mixed.
  void ApplyCommands() noexcept;

  // Only while no device runs (the GUI thread is then the only user): the
  // output rate, which fixes the score's 20 ms block length.
  void SetOutputRate(std::uint32_t rate);

  // Read-only views for tests that drive a device from their own thread.
  const VoiceTable& voices() const { return voices_; }
  const Sequencer* score() const { return score_; }
  const SongPlayer* player() const { return player_; }
  const KeyWaveBank* bank() const { return bank_; }
  bool feedStopped() const { return feedStopped_; }
  std::int32_t blockLength() const { return blockLength_; }
  std::int32_t blockPhase() const { return blockPhase_; }

 private:
  void Apply(const LiveCommand& command, std::int64_t& callbackTime, std::uint32_t bufferSamples);
  void PaintKey(int key, std::uint32_t colour) override;
  void Mix(std::span<std::int16_t> buffer);
  void FinishScore();
  // Hands back the score or player that plays, if any.
  void StopSong();
  void HandBack(const LiveReturn& item);
  void Tap(std::span<const std::int16_t> samples);
  void Publish();

  LiveChannels& channels_;
  VoiceTable voices_;
  Sequencer* score_ = nullptr;
  SongPlayer* player_ = nullptr;  // never both: a song is a score or a player
  std::uint64_t scoreGeneration_ = 0;
  const KeyWaveBank* bank_ = nullptr;
  bool feedStopped_ = false;
  std::uint32_t rate_ = 0;
  std::int32_t blockLength_ = 0;
  std::int32_t blockPhase_ = 0;  // samples of the score's current 20 ms block already mixed
  bool tapOn_ = false;
  std::uint64_t tapGeneration_ = 0;

  std::uint64_t appliedSeq_ = 0;
  bool changed_ = false;      // a snapshot is due
  bool paintLost_ = false;    // a paint did not fit: the next snapshot repaints all
  bool news_ = false;         // something for the GUI in this buffer
};

}  // namespace tonefield
