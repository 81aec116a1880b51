// PC-keyboard and mouse note input (owner 0) and the stuck-note watchdog.
// The caller holds the engine lock around every call.
#pragma once

#include <functional>

#include "keyboard/PlayedNotes.h"

namespace tonefield {

inline constexpr int kKeyboardOwner = 0;

// A key-down of a mapped key whose note is not sounding starts it and
// consumes the stroke (virtualKey := 0). Unmapped keys and keys already
// sounding (auto-repeat, or held by the mouse or a score) pass unchanged.
void KeyStrokeDown(PlayedNotes& notes, int& virtualKey);

// A key-up of a mapped key ends its owner-0 note and consumes the stroke.
void KeyStrokeUp(PlayedNotes& notes, int& virtualKey);

// Counts timer ticks and, every 4th, releases the notes whose PC key is up
// and whose button is not drawn pressed (a key-up lost elsewhere).
class StuckNoteWatchdog {
 public:
  using KeyHeldFn = std::function<bool(int virtualKey)>;
  using DrawnPressedFn = std::function<bool(int key)>;

  // One timer tick; true when the check is due (the counter restarts).
  bool Tick();
  int counter() const { return counter_; }

  static void Check(PlayedNotes& notes, const KeyHeldFn& keyHeld, const DrawnPressedFn& drawnPressed);

 private:
  int counter_ = 0;
};

}  // namespace tonefield
