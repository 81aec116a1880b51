// Notes from the PC keyboard and the key buttons (owner 0), and the release
// of notes whose key-up was lost. Notes go to the audio thread as commands;
// the decisions (is the key already sounding, which keys do the slots hold)
// are taken from the live engine's mirror of the voice table.
#include <utility>

#include "app/Instrument.h"

namespace tonefield {

void Instrument::NoteOn(int owner, int key) { live_.NoteOn(owner, key, std::exchange(pendingInputTime_, 0)); }

void Instrument::NoteOff(int owner, int key) { live_.NoteOff(owner, key); }

void Instrument::OnPanicClicked() {
  std::lock_guard lock(engineLock_);
  live_.AllNotesOff();
  if (midiPanic_) {
    midiPanic_();
  } else {
    midi_.ReleaseAll();
  }
}

void Instrument::OnKeyDown(int& key) {
  if (key == kVirtualKeyEscape) OnPanicClicked();  // not consumed: Esc still closes a drop-down
  std::lock_guard lock(engineLock_);
  // During a sample recording Esc also cancels it, and is consumed.
  if (key == kVirtualKeyEscape && EndSampleRecording(kCaptureCancelledText)) {
    key = 0;
    pendingInputTime_ = 0;
    return;
  }
  KeyStrokeDown(*this, key);
  pendingInputTime_ = 0;
}

void Instrument::OnKeyUp(int& key) {
  std::lock_guard lock(engineLock_);
  KeyStrokeUp(*this, key);
  pendingInputTime_ = 0;
}

void Instrument::OnKeyButtonDown(int key) {
  std::lock_guard lock(engineLock_);
  NoteOn(kKeyboardOwner, key);  // a click on a sounding key restarts it
}

void Instrument::OnKeyButtonUp(int key) {
  std::lock_guard lock(engineLock_);
  pendingInputTime_ = 0;
  NoteOff(kKeyboardOwner, key);
}

void Instrument::RunStuckNoteWatchdog() {
  if (!watchdog_.Tick()) return;
  std::lock_guard lock(engineLock_);
  StuckNoteWatchdog::Check(
      *this, [this](int virtualKey) { return host_.IsKeyHeld(virtualKey); },
      [this](int key) { return view_.IsKeyDrawnPressed(key); });
}

}  // namespace tonefield
