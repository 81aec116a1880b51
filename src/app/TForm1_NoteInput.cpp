// Notes from the PC keyboard and the key buttons (owner 0), and the release
// of notes whose key-up was lost.
#include "app/TForm1.h"

namespace tonefield {

void TForm1::FormKeyDown(int& key) {
  std::lock_guard lock(EngineLock);
  KeyStrokeDown(voices_, key);
}

void TForm1::FormKeyUp(int& key) {
  std::lock_guard lock(EngineLock);
  KeyStrokeUp(voices_, key);
}

void TForm1::KeyButtonMouseDown(int key) {
  std::lock_guard lock(EngineLock);
  voices_.NoteOn(kKeyboardOwner, key);  // a click on a sounding key restarts it
}

void TForm1::KeyButtonMouseUp(int key) {
  std::lock_guard lock(EngineLock);
  voices_.NoteOff(kKeyboardOwner, key);
}

void TForm1::RunStuckNoteWatchdog() {
  if (!watchdog_.Tick()) return;
  std::lock_guard lock(EngineLock);
  StuckNoteWatchdog::Check(
      voices_, [this](int virtualKey) { return host_.IsKeyHeld(virtualKey); },
      [this](int key) { return view_.IsKeyDrawnPressed(key); });
}

}  // namespace tonefield
