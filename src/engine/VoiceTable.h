// The 8 voices: parallel key / owner / position / gain slots. Occupied
// slots (key != -1) form a prefix in start order, slot 0 the oldest; a key
// sits in at most one slot. position -1 = played to the end (silent, slot
// kept). gain is the voice's Q15 level (VoiceGain.h): unity for every note
// but those started with a gain of their own, and unity in free slots.
// Keys are painted red while they hold a slot and in their rest colour when
// they give it up. Not thread-safe: one thread at a time uses a table.
#pragma once

#include <array>
#include <cstdint>

#include "common/Constants.h"
#include "common/KeyWaveBank.h"
#include "engine/VoiceGain.h"
#include "keyboard/PlayedNotes.h"

namespace tonefield {

class KeyPainter {
 public:
  virtual void PaintKey(int key, std::uint32_t colour) = 0;

 protected:
  ~KeyPainter() = default;
};

class VoiceTable final : public PlayedNotes {
 public:
  explicit VoiceTable(KeyPainter* painter = nullptr);

  // Re-trigger the key's slot, else take the first free slot, else drop
  // slot 0 (the oldest) and append. The voice plays at unity gain.
  void NoteOn(int owner, int key) override;
  // A note that yields to the others: when another owner holds the key
  // nothing happens (false); when this owner holds it, it is re-triggered at
  // the new gain; otherwise it starts as NoteOn does, at gain.
  bool NoteOnYielding(int owner, int key, std::int32_t gain);
  // Frees the first slot holding key for owner and closes the gap.
  void NoteOff(int owner, int key) override;
  // Frees every slot of owner, the others keep their order.
  void ReleaseOwner(int owner);
  // Frees every slot (key -1, position 0); owners are left as they were.
  void AllNotesOff();
  // Start-up state: every field of every slot -1. Paints nothing.
  void Clear();
  // After the key waves were replaced: a position at or beyond its key's
  // new sample count becomes -1 (finished), so it is never read.
  void FinishVoicesBeyond(const KeyWaveBank& bank);
  // Takes over the keys and owners of another table (positions 0, free
  // slots -1). Paints nothing.
  template <typename Slots>
  void RestoreSlots(const Slots& keys, const Slots& owners) {
    for (int slot = 0; slot < kVoiceCount; ++slot) {
      keys_[slot] = keys[slot];
      owners_[slot] = owners[slot];
      positions_[slot] = keys[slot] == -1 ? -1 : 0;
      gains_[slot] = kUnityGain;
    }
  }

  int KeyInSlot(int slot) const override { return keys_[slot]; }
  bool HoldsKey(int key) const override;
  int OwnerInSlot(int slot) const { return owners_[slot]; }
  std::int32_t PositionInSlot(int slot) const { return positions_[slot]; }
  std::int32_t GainInSlot(int slot) const { return gains_[slot]; }
  // True when every slot plays at unity (free slots are always at unity).
  bool AllGainsUnity() const;
  int SoundingCount() const;

  // The mixer reads and advances the slots directly.
  std::array<std::int32_t, kVoiceCount>& keys() { return keys_; }
  std::array<std::int32_t, kVoiceCount>& positions() { return positions_; }
  const std::array<std::int32_t, kVoiceCount>& gains() const { return gains_; }

 private:
  void Paint(int key, std::uint32_t colour);
  void Start(int owner, int key, std::int32_t gain);
  void RemoveSlot(int slot);

  KeyPainter* painter_;
  std::array<std::int32_t, kVoiceCount> keys_{};
  std::array<std::int32_t, kVoiceCount> owners_{};
  std::array<std::int32_t, kVoiceCount> positions_{};
  std::array<std::int32_t, kVoiceCount> gains_{};
};

}  // namespace tonefield
