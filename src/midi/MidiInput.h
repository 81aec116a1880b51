// The MIDI input's side of live play. The port's own thread (ALSA's, JACK's
// or WinMM's callback thread) hands each message to Receive, which turns it
// into voice commands for the MIDI owner and queues them on the channels'
// MIDI queue, of which that thread is the only producer. The audio thread
// applies them at the start of its next buffer; while no device runs, the
// GUI thread is woken and applies them itself. Receive never blocks or
// allocates; a command that finds the queue full waits on this side
// (MidiWaitingCommands) and follows as soon as there is room.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "engine/LiveChannels.h"
#include "midi/MidiInterpreter.h"
#include "midi/MidiWaitingCommands.h"

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
  // nanoseconds receivedAt. A release asked for is done first.
  void Receive(std::span<const std::uint8_t> message, std::int64_t receivedAt) noexcept;

  // Ends every MIDI note and forgets keys and pedals. Only on the thread
  // that produces for the queue now: the port's, or any thread while no
  // port delivers (or one holding the port's delivery lock).
  void ReleaseAll() noexcept;
  // From any thread: the producer releases everything before its next
  // message, or at its next Service.
  void RequestRelease() noexcept { releaseRequested_.store(true); }
  // On the port's thread, for a port that runs even without messages (JACK's cycle).
  void Service() noexcept;

  // On the producing thread (the port's, or one holding its delivery lock):
  // sends commands that wait for room. The GUI calls it on a timer for a
  // port that only runs when a message comes.
  void SendWaiting() noexcept;
  // Any thread: whether commands wait for room.
  bool HasWaiting() const { return hasWaiting_.load(std::memory_order_relaxed); }
  // Producing thread: the waiting store (for tests and counts).
  const MidiWaitingCommands& waiting() const { return waiting_; }

  // Note-ons received that passed the channel filter, ever (any thread).
  std::uint64_t notesReceived() const { return notesReceived_.load(std::memory_order_relaxed); }

 private:
  void StartNote(int key, std::int32_t gain) override;
  void EndNote(int key) override;
  void EndAllNotes() override;
  void Post(const LiveCommand& command);
  void SendQueued() noexcept;
  void WakeIfIdle();

  LiveChannels& channels_;
  MidiInterpreter interpreter_;
  bool stampInputTime_ = false;
  std::int64_t receivedAt_ = 0;
  bool posted_ = false;
  MidiWaitingCommands waiting_;
  std::atomic<bool> hasWaiting_{false};
  std::atomic<bool> releaseRequested_{false};
  std::atomic<std::uint64_t> notesReceived_{0};
};

}  // namespace tonefield
