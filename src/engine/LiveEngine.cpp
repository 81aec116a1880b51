#include "engine/LiveEngine.h"

#include <algorithm>

#include "keyboard/BlackKeyPattern.h"

namespace tonefield {

LiveEngine::LiveEngine(LiveEngineClient& client) : client_(client) {
  snapshot_.keys.fill(-1);
  snapshot_.owners.fill(-1);
}

LiveEngine::~LiveEngine() = default;

void LiveEngine::DeviceStarted() {
  running_ = true;
  channels_.deviceRunning.store(true);
}

void LiveEngine::DeviceStopped() {
  running_ = false;
  channels_.deviceRunning.store(false);
  // Pairs with the MIDI producer's fence: either its note is seen below or
  // it sees the flag down and wakes this thread.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  renderer_.ApplyCommands();
  // What waited for room is applied here now, in order.
  while (!waiting_.empty()) {
    if (!channels_.commands.try_enqueue(waiting_.front())) {
      renderer_.ApplyCommands();
      continue;
    }
    waiting_.pop_front();
  }
  channels_.commandsWaiting.store(false);
  renderer_.ApplyCommands();
  Drain();
}

void LiveEngine::Post(LiveCommand command) {
  command.seq = nextSeq_++;
  if (running_) {
    SendWaiting();
    // Behind a waiting command a new one waits too, so the order holds.
    if (!waiting_.empty() || !channels_.commands.try_enqueue(command)) Hold(command);
  } else if (!channels_.commands.try_enqueue(command)) {
    renderer_.ApplyCommands();
    (void)channels_.commands.try_enqueue(command);
  }
  switch (command.type) {
    case LiveCommandType::NoteOn:
    case LiveCommandType::NoteOff:
    case LiveCommandType::AllNotesOff:
      pendingNotes_.push_back(command);
      break;
    default:
      break;
  }
  if (!running_) {
    renderer_.ApplyCommands();
    Drain();
  } else {
    RebuildMirror();
  }
}

void LiveEngine::SendWaiting() {
  while (!waiting_.empty() && channels_.commands.try_enqueue(waiting_.front())) waiting_.pop_front();
  // While commands wait, the audio thread wakes this one after each buffer.
  channels_.commandsWaiting.store(!waiting_.empty());
}

void LiveEngine::ForgetPendingNote(std::uint64_t seq) {
  for (auto it = pendingNotes_.begin(); it != pendingNotes_.end(); ++it) {
    if (it->seq == seq) {
      pendingNotes_.erase(it);
      return;
    }
  }
}

void LiveEngine::Hold(const LiveCommand& command) {
  // Nothing that changes what is heard or owned is dropped: a note-on or
  // note-off that a later note-off of the same key and owner, or a later
  // all-notes-off, would end in the same buffer; a tempo that a later
  // tempo replaces before anything else happens.
  auto redundant = [&command](const LiveCommand& earlier) {
    switch (command.type) {
      case LiveCommandType::NoteOff:
        return (earlier.type == LiveCommandType::NoteOn || earlier.type == LiveCommandType::NoteOff) &&
               earlier.owner == command.owner && earlier.key == command.key;
      case LiveCommandType::AllNotesOff:
        return earlier.type == LiveCommandType::NoteOn || earlier.type == LiveCommandType::NoteOff ||
               earlier.type == LiveCommandType::AllNotesOff;
      default:
        return false;
    }
  };
  for (auto it = waiting_.begin(); it != waiting_.end();) {
    if (redundant(*it)) {
      ForgetPendingNote(it->seq);
      it = waiting_.erase(it);
      ++droppedCommands_;
    } else {
      ++it;
    }
  }
  if (command.type == LiveCommandType::SetSamplesPerTick && !waiting_.empty() &&
      waiting_.back().type == LiveCommandType::SetSamplesPerTick) {
    waiting_.back() = command;
    ++droppedCommands_;
  } else {
    waiting_.push_back(command);
  }
  channels_.commandsWaiting.store(true);
}

void LiveEngine::NoteOn(int owner, int key, std::int64_t inputTime) {
  if (key < 0 || key >= kKeyCount) return;
  ++notesStarted_;
  Post({.type = LiveCommandType::NoteOn, .owner = owner, .key = key, .inputTime = inputTime});
}

void LiveEngine::NoteOff(int owner, int key) {
  Post({.type = LiveCommandType::NoteOff, .owner = owner, .key = key});
}

void LiveEngine::AllNotesOff() { Post({.type = LiveCommandType::AllNotesOff}); }

void LiveEngine::StopFeed() {
  stopSeq_ = nextSeq_;
  Post({.type = LiveCommandType::StopFeed});
}

void LiveEngine::ResumeFeed() { Post({.type = LiveCommandType::ResumeFeed}); }

bool LiveEngine::Drained() const { return channels_.feedStopAck.load() >= stopSeq_; }

Sequencer& LiveEngine::SpareSequencer() {
  for (Lent<Sequencer>& lent : sequencers_) {
    if (!lent.withAudio && lent.object.get() != current_) return *lent.object;
  }
  sequencers_.push_back(Lent<Sequencer>{std::make_unique<Sequencer>(), false});
  return *sequencers_.back().object;
}

std::uint64_t LiveEngine::StartScore(Sequencer& sequencer) {
  for (Lent<Sequencer>& lent : sequencers_) {
    if (lent.object.get() == &sequencer) lent.withAudio = true;
  }
  current_ = &sequencer;
  Post({.type = LiveCommandType::StartScore, .generation = ++scoreGeneration_, .sequencer = &sequencer});
  return scoreGeneration_;
}

std::uint64_t LiveEngine::StartPlayer(SongPlayer& player) {
  if (!PlayerLent(player)) lentPlayers_.push_back(&player);
  Post({.type = LiveCommandType::StartPlayer, .generation = ++scoreGeneration_, .player = &player});
  return scoreGeneration_;
}

void LiveEngine::SetPlayerSpeed(std::int32_t speed) {
  Post({.type = LiveCommandType::SetPlayerSpeed, .value = speed});
}

bool LiveEngine::PlayerLent(const SongPlayer& player) const {
  return std::find(lentPlayers_.begin(), lentPlayers_.end(), &player) != lentPlayers_.end();
}

void LiveEngine::StopScore() { Post({.type = LiveCommandType::StopScore}); }

void LiveEngine::SetSamplesPerTick(std::int32_t samples) {
  Post({.type = LiveCommandType::SetSamplesPerTick, .value = samples});
}

KeyWaveBank& LiveEngine::SpareBank() {
  for (Lent<KeyWaveBank>& lent : banks_) {
    if (!lent.withAudio) return *lent.object;
  }
  banks_.push_back(Lent<KeyWaveBank>{std::make_unique<KeyWaveBank>(), false});
  return *banks_.back().object;
}

void LiveEngine::UseBank(KeyWaveBank& bank) {
  for (Lent<KeyWaveBank>& lent : banks_) {
    if (lent.object.get() == &bank) lent.withAudio = true;
  }
  Post({.type = LiveCommandType::SwapBank, .bank = &bank});
}

void LiveEngine::TapOn(std::uint64_t generation) {
  Post({.type = LiveCommandType::TapOn, .generation = generation});
}

void LiveEngine::TapOff() { Post({.type = LiveCommandType::TapOff}); }

void LiveEngine::Paint(int key, std::uint32_t colour) { client_.PaintKey(key, colour); }

void LiveEngine::Drain() {
  // Without a device nobody else takes the MIDI input's notes.
  if (!running_) renderer_.ApplyCommands();
  if (!waiting_.empty()) SendWaiting();
  LiveEvent event;
  bool snapshotChanged = false;
  while (channels_.events.try_dequeue(event)) {
    if (event.type == LiveEvent::Type::Paint) {
      Paint(event.key, event.colour);
      continue;
    }
    snapshot_ = event.table;
    snapshotSeq_ = event.appliedSeq;
    snapshotChanged = true;
    if (event.repaintAll) {
      for (int key = 0; key < kKeyCount; ++key) {
        bool held = false;
        for (std::int8_t k : snapshot_.keys) held = held || k == key;
        Paint(key, held ? kKeyColourSounding : KeyRestColour(key));
      }
    }
  }
  LiveReturn item;
  while (channels_.returns.try_dequeue(item)) {
    for (Lent<KeyWaveBank>& lent : banks_) {
      if (lent.object.get() == item.bank) lent.withAudio = false;
    }
    for (Lent<Sequencer>& lent : sequencers_) {
      if (lent.object.get() == item.sequencer) lent.withAudio = false;
    }
    if (item.player != nullptr) std::erase(lentPlayers_, item.player);
  }
  LatencyRecord record;
  while (channels_.latencies.try_dequeue(record)) client_.LatencyMeasured(record);
  if (snapshotChanged) RebuildMirror();
}

void LiveEngine::RebuildMirror() {
  while (!pendingNotes_.empty() && pendingNotes_.front().seq <= snapshotSeq_) pendingNotes_.pop_front();
  mirror_.RestoreSlots(snapshot_.keys, snapshot_.owners);
  for (const LiveCommand& command : pendingNotes_) {
    switch (command.type) {
      case LiveCommandType::NoteOn:
        mirror_.NoteOn(command.owner, command.key);
        break;
      case LiveCommandType::NoteOff:
        mirror_.NoteOff(command.owner, command.key);
        break;
      default:
        mirror_.AllNotesOff();
        break;
    }
  }
}

}  // namespace tonefield
