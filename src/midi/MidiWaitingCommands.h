// The MIDI input's commands that found the queue to the audio thread full
// (a device that stopped calling back, a long stall): kept on the MIDI
// side, in order, and sent as soon as there is room, so a note-off or a
// release is never lost. Fixed storage: the port's thread never allocates.
// When it fills up, only redundant commands go: a note-on or note-off that
// a later note-off of the same key supersedes, and anything before a
// release of every note; then, for a note-off or release, the oldest
// waiting note-on. Only a note-on can ever be refused.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/LiveChannels.h"

namespace tonefield {

class MidiWaitingCommands {
 public:
  static constexpr std::size_t kCapacity = 256;
  static constexpr int kKeys = 128;

  bool empty() const { return count_ == 0; }
  std::size_t size() const { return count_; }
  // Commands dropped as redundant, and ones that could not be kept at all
  // (a note-on when nothing could be made room for), ever.
  std::uint64_t redundantDropped() const { return redundant_; }
  std::uint64_t lost() const { return lost_; }

  // Keeps command behind the others.
  void Hold(const LiveCommand& command) {
    if (count_ == kCapacity) Compact();
    if (count_ == kCapacity && !IsNoteOn(command)) DropOldestNoteOn();
    if (count_ == kCapacity) {
      // A note-on with every key already waiting: the one thing refused.
      ++lost_;
      return;
    }
    items_[(head_ + count_) % kCapacity] = command;
    ++count_;
  }

  // Sends the oldest commands while send accepts them; true when any went.
  template <typename Send>
  bool SendWhile(Send&& send) {
    bool any = false;
    while (count_ > 0 && send(items_[head_])) {
      head_ = (head_ + 1) % kCapacity;
      --count_;
      any = true;
    }
    return any;
  }

 private:
  static bool IsNoteOn(const LiveCommand& c) {
    return c.type == LiveCommandType::NoteOn || c.type == LiveCommandType::NoteOnYielding;
  }
  // After compaction a full store holds a note-on (at most one command per
  // key besides them, and one release).
  void DropOldestNoteOn() {
    for (std::size_t i = 0; i < count_; ++i) {
      if (!IsNoteOn(items_[(head_ + i) % kCapacity])) continue;
      for (std::size_t j = i; j + 1 < count_; ++j) items_[(head_ + j) % kCapacity] = items_[(head_ + j + 1) % kCapacity];
      --count_;
      ++lost_;
      return;
    }
  }

  void Compact() {
    // From the newest back: what a later command makes redundant goes.
    std::array<bool, kKeys> laterOff{};
    bool laterRelease = false;
    std::size_t kept = 0;
    for (std::size_t i = count_; i-- > 0;) {
      const LiveCommand& c = items_[(head_ + i) % kCapacity];
      const bool keyed = c.key >= 0 && c.key < kKeys;
      bool drop = laterRelease;
      if (!drop && keyed && (c.type == LiveCommandType::NoteOff || c.type == LiveCommandType::NoteOnYielding ||
                             c.type == LiveCommandType::NoteOn)) {
        drop = laterOff[static_cast<std::size_t>(c.key)];
        if (c.type == LiveCommandType::NoteOff) laterOff[static_cast<std::size_t>(c.key)] = true;
      }
      if (c.type == LiveCommandType::ReleaseOwner) {
        if (laterRelease) drop = true;
        laterRelease = true;
      }
      if (drop) {
        ++redundant_;
      } else {
        scratch_[kCapacity - 1 - kept++] = c;
      }
    }
    for (std::size_t i = 0; i < kept; ++i) items_[i] = scratch_[kCapacity - kept + i];
    head_ = 0;
    count_ = kept;
  }

  std::array<LiveCommand, kCapacity> items_{};
  std::array<LiveCommand, kCapacity> scratch_{};
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  std::uint64_t redundant_ = 0;
  std::uint64_t lost_ = 0;
};

}  // namespace tonefield
