// The MIDI input's side of live play. The port's own thread (ALSA's, JACK's
// or WinMM's callback thread) hands each message to Receive, which turns it
// into voice commands for the MIDI owner and queues them on the channels'
// MIDI queue, of which that thread is the only producer. The audio thread
// applies them at the start of its next buffer; while no device runs, the
// GUI thread is woken and applies them itself. Receive never blocks or
// allocates; a command that finds the queue full is counted and dropped.
#pragma once

#include <cstdint>
#include <span>

#include "engine/LiveChannels.h"
#include "midi/MidiInterpreter.h"

namespace tonefield {

class MidiInput final : private MidiNoteSink {
 public:
  explicit MidiInput(LiveChannels& channels) : channels_(channels) {}
  MidiInput(const MidiInput&) = delete;
  MidiInput& operator=(const MidiInput&) = delete;

  // Only before a port delivers messages. With stampInputTime each note
  // carries its receive time to the latency probe.
  void Configure(MidiSettings settings, bool stampInputTime);
  const MidiSettings& settings() const { return interpreter_.settings(); }

  // On the port's thread: one whole message, received at steady-clock
  // nanoseconds receivedAt.
  void Receive(std::span<const std::uint8_t> message, std::int64_t receivedAt) noexcept;

 private:
  void StartNote(int key, std::int32_t gain) override;
  void EndNote(int key) override;
  void EndAllNotes() override;
  void Post(const LiveCommand& command);

  LiveChannels& channels_;
  MidiInterpreter interpreter_;
  bool stampInputTime_ = false;
  std::int64_t receivedAt_ = 0;
  bool posted_ = false;
};

}  // namespace tonefield
