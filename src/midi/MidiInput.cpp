#include "midi/MidiInput.h"

namespace tonefield {

void MidiInput::Configure(MidiSettings settings, bool stampInputTime) {
  interpreter_ = MidiInterpreter(settings);
  stampInputTime_ = stampInputTime;
}

void MidiInput::Receive(std::span<const std::uint8_t> message, std::int64_t receivedAt) noexcept {
  posted_ = false;
  if (releaseRequested_.exchange(false)) {
    receivedAt_ = 0;
    interpreter_.Reset(*this);
  }
  receivedAt_ = stampInputTime_ ? receivedAt : 0;
  if (interpreter_.Receive(message, *this)) notesReceived_.fetch_add(1, std::memory_order_relaxed);
  WakeIfIdle();
}

void MidiInput::ReleaseAll() noexcept {
  releaseRequested_.store(false);
  posted_ = false;
  receivedAt_ = 0;
  interpreter_.Reset(*this);
  WakeIfIdle();
}

void MidiInput::Service() noexcept {
  SendWaiting();
  if (!releaseRequested_.load(std::memory_order_relaxed) || !releaseRequested_.exchange(false)) return;
  posted_ = false;
  receivedAt_ = 0;
  interpreter_.Reset(*this);
  WakeIfIdle();
}

void MidiInput::WakeIfIdle() {
  if (!posted_) return;
  // Pairs with LiveEngine::DeviceStopped: either the GUI's last drain sees
  // these commands or this thread sees that no device runs and wakes it.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (!channels_.deviceRunning.load() && channels_.wake) channels_.wake();
}

void MidiInput::Post(const LiveCommand& command) {
  // Behind a waiting command a new one waits too, so the order holds.
  if (!waiting_.empty()) SendQueued();
  if (waiting_.empty() && channels_.midi.try_enqueue(command)) {
    posted_ = true;
    return;
  }
  const std::uint64_t lostBefore = waiting_.lost();
  waiting_.Hold(command);
  if (waiting_.lost() != lostBefore) channels_.droppedMidi.fetch_add(waiting_.lost() - lostBefore);
  hasWaiting_.store(!waiting_.empty(), std::memory_order_relaxed);
}

void MidiInput::SendQueued() noexcept {
  if (waiting_.SendWhile([this](const LiveCommand& c) { return channels_.midi.try_enqueue(c); })) posted_ = true;
  hasWaiting_.store(!waiting_.empty(), std::memory_order_relaxed);
}

void MidiInput::SendWaiting() noexcept {
  if (waiting_.empty()) return;
  posted_ = false;
  SendQueued();
  WakeIfIdle();
}

void MidiInput::StartNote(int key, std::int32_t gain) {
  Post({.type = LiveCommandType::NoteOnYielding, .owner = kMidiOwner, .key = key, .value = gain,
        .inputTime = receivedAt_});
}

void MidiInput::EndNote(int key) {
  Post({.type = LiveCommandType::NoteOff, .owner = kMidiOwner, .key = key});
}

void MidiInput::EndAllNotes() { Post({.type = LiveCommandType::ReleaseOwner, .owner = kMidiOwner}); }

}  // namespace tonefield
