#include "engine/VoiceTable.h"

#include "keyboard/BlackKeyPattern.h"

namespace tonefield {

VoiceTable::VoiceTable(KeyPainter* painter) : painter_(painter) { Clear(); }

void VoiceTable::Clear() {
  keys_.fill(-1);
  owners_.fill(-1);
  positions_.fill(-1);
  gains_.fill(kUnityGain);
}

void VoiceTable::Paint(int key, std::uint32_t colour) {
  if (painter_ != nullptr) painter_->PaintKey(key, colour);
}

bool VoiceTable::HoldsKey(int key) const {
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    if (keys_[slot] == key) return key != -1;
  }
  return false;
}

int VoiceTable::SoundingCount() const {
  int count = 0;
  for (std::int32_t key : keys_) count += key != -1 ? 1 : 0;
  return count;
}

void VoiceTable::NoteOn(int owner, int key) { Start(owner, key, kUnityGain); }

bool VoiceTable::NoteOnYielding(int owner, int key, std::int32_t gain) {
  if (key < 0 || key >= kKeyCount) return false;
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    if (keys_[slot] == key && owners_[slot] != owner) return false;
  }
  Start(owner, key, gain);
  return true;
}

bool VoiceTable::AllGainsUnity() const {
  for (std::int32_t gain : gains_) {
    if (gain != kUnityGain) return false;
  }
  return true;
}

void VoiceTable::Start(int owner, int key, std::int32_t gain) {
  if (key < 0 || key >= kKeyCount) return;
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    if (keys_[slot] == key) {
      owners_[slot] = owner;
      positions_[slot] = 0;
      gains_[slot] = gain;
      Paint(key, kKeyColourSounding);
      return;
    }
  }
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    if (keys_[slot] == -1) {
      keys_[slot] = key;
      owners_[slot] = owner;
      positions_[slot] = 0;
      gains_[slot] = gain;
      Paint(key, kKeyColourSounding);
      return;
    }
  }
  // All busy: the oldest voice ends without notice to its owner.
  Paint(keys_[0], KeyRestColour(keys_[0]));
  for (int slot = 0; slot + 1 < kVoiceCount; ++slot) {
    keys_[slot] = keys_[slot + 1];
    owners_[slot] = owners_[slot + 1];
    positions_[slot] = positions_[slot + 1];
    gains_[slot] = gains_[slot + 1];
  }
  keys_[kVoiceCount - 1] = key;
  owners_[kVoiceCount - 1] = owner;
  positions_[kVoiceCount - 1] = 0;
  gains_[kVoiceCount - 1] = gain;
  Paint(key, kKeyColourSounding);
}

void VoiceTable::NoteOff(int owner, int key) {
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    if (keys_[slot] != -1 && keys_[slot] == key && owners_[slot] == owner) {
      Paint(key, KeyRestColour(key));
      RemoveSlot(slot);
      return;
    }
  }
}

void VoiceTable::RemoveSlot(int slot) {
  for (int i = slot; i + 1 < kVoiceCount; ++i) {
    keys_[i] = keys_[i + 1];
    owners_[i] = owners_[i + 1];
    positions_[i] = positions_[i + 1];
    gains_[i] = gains_[i + 1];
  }
  keys_[kVoiceCount - 1] = -1;
  owners_[kVoiceCount - 1] = -1;
  positions_[kVoiceCount - 1] = -1;
  gains_[kVoiceCount - 1] = kUnityGain;
}

void VoiceTable::ReleaseOwner(int owner) {
  for (int slot = 0; slot < kVoiceCount;) {
    if (keys_[slot] != -1 && owners_[slot] == owner) {
      Paint(keys_[slot], KeyRestColour(keys_[slot]));
      RemoveSlot(slot);  // the next voice moves into this slot
    } else {
      ++slot;
    }
  }
}

void VoiceTable::AllNotesOff() {
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    if (keys_[slot] == -1) continue;
    Paint(keys_[slot], KeyRestColour(keys_[slot]));
    keys_[slot] = -1;
    positions_[slot] = 0;
    gains_[slot] = kUnityGain;
  }
}

void VoiceTable::FinishVoicesBeyond(const KeyWaveBank& bank) {
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    const std::int32_t key = keys_[slot];
    if (key < 0 || key >= kKeyCount || positions_[slot] < 0) continue;
    if (positions_[slot] >= bank.keys[key].SampleCount()) positions_[slot] = -1;
  }
}

}  // namespace tonefield
