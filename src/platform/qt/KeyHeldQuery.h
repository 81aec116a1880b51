// Answers "is the key with this virtual-key code physically down now?".
// On X11 the server's key map is asked (XQueryKeymap); elsewhere the
// answer comes from the key events seen, and everything counts as released
// when the window loses activation (an input method or another window may
// have taken the key-up).
#pragma once

#include <bitset>

namespace tonefield {

class KeyHeldQuery {
 public:
  KeyHeldQuery();

  void Pressed(int virtualKey);
  void Released(int virtualKey);
  void ReleaseAll();

  bool IsHeld(int virtualKey) const;
  // Whether the answer comes from the X server rather than from events.
  bool UsesX11() const { return display_ != nullptr; }
  // Answers from events even on X11 (tests).
  void ForceTracking() { display_ = nullptr; }

 private:
  bool IsHeldOnX11(int virtualKey) const;

  void* display_ = nullptr;  // Display* of the X11 connection, if any
  std::bitset<256> tracked_;
};

}  // namespace tonefield
