// Notes from the PC keyboard and the key buttons (owner 0), and the release
// of notes whose key-up was lost. Notes go to the audio thread as commands;
// the decisions (is the key already sounding, which keys do the slots hold)
// are taken from the live engine's mirror of the voice table.
#include <utility>

#include "app/TForm1.h"

namespace tonefield {

void TForm1::NoteOn(int owner, int key) { live_.NoteOn(owner, key, std::exchange(pendingInputTime_, 0)); }

void TForm1::NoteOff(int owner, int key) { live_.NoteOff(owner, key); }

void TForm1::FormKeyDown(int& key) {
  std::lock_guard lock(EngineLock);
  KeyStrokeDown(*this, key);
  pendingInputTime_ = 0;
}

void TForm1::FormKeyUp(int& key) {
  std::lock_guard lock(EngineLock);
  KeyStrokeUp(*this, key);
  pendingInputTime_ = 0;
}

void TForm1::KeyButtonMouseDown(int key) {
  std::lock_guard lock(EngineLock);
  NoteOn(kKeyboardOwner, key);  // a click on a sounding key restarts it
}

void TForm1::KeyButtonMouseUp(int key) {
  std::lock_guard lock(EngineLock);
  pendingInputTime_ = 0;
  NoteOff(kKeyboardOwner, key);
}

void TForm1::RunStuckNoteWatchdog() {
  if (!watchdog_.Tick()) return;
  std::lock_guard lock(EngineLock);
  StuckNoteWatchdog::Check(
      *this, [this](int virtualKey) { return host_.IsKeyHeld(virtualKey); },
      [this](int key) { return view_.IsKeyDrawnPressed(key); });
}

}  // namespace tonefield
