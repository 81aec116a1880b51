#include "keyboard/NoteInput.h"

#include "common/Constants.h"
#include "keyboard/KeyMap.h"

namespace tonefield {

void KeyStrokeDown(PlayedNotes& notes, int& virtualKey) {
  const int key = FindKeyByVirtualKey(virtualKey);
  if (key < 0) return;
  if (notes.HoldsKey(key)) return;  // auto-repeat is passed on, not restarted
  notes.NoteOn(kKeyboardOwner, key);
  virtualKey = 0;
}

void KeyStrokeUp(PlayedNotes& notes, int& virtualKey) {
  const int key = FindKeyByVirtualKey(virtualKey);
  if (key < 0) return;
  notes.NoteOff(kKeyboardOwner, key);
  virtualKey = 0;
}

bool StuckNoteWatchdog::Tick() {
  ++counter_;
  if (counter_ < kWatchdogEveryTicks) return false;
  counter_ = 0;
  return true;
}

void StuckNoteWatchdog::Check(PlayedNotes& notes, const KeyHeldFn& keyHeld,
                              const DrawnPressedFn& drawnPressed) {
  // NoteOff compacts the table while the index moves on, so of two stuck
  // neighbours the second may wait for the next check.
  for (int slot = 0; slot < kVoiceCount; ++slot) {
    const int key = notes.KeyInSlot(slot);
    if (key < 0 || key >= kKeyCount) continue;
    const int virtualKey = KeyMap[key].virtualKey;
    if (virtualKey == -1) continue;
    if (keyHeld(virtualKey)) continue;
    if (drawnPressed(key)) continue;
    notes.NoteOff(kKeyboardOwner, key);
  }
}

}  // namespace tonefield
