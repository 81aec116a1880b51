// Answers "is the key with this virtual-key code physically down now?".
// On X11 the server's key map is asked (XQueryKeymap); elsewhere the
// answer comes from the key events seen, and everything counts as released
// when the window loses activation (an input method or another window may
// have taken the key-up).
#pragma once

#include <bitset>
#include <functional>

namespace tonefield {

class KeyHeldQuery {
 public:
  KeyHeldQuery();

  void Pressed(int virtualKey);
  void Released(int virtualKey);
  void ReleaseAll();

  bool IsHeld(int virtualKey) const;
  // Whether the answer comes from the keyboard itself (the X server) rather
  // than from the events seen; only then can it tell a key-up that the
  // server's auto-repeat made from a real one.
  bool AsksServer() const { return display_ != nullptr || server_ != nullptr; }
  // Answers from events even on X11 (tests).
  void ForceTracking() {
    display_ = nullptr;
    server_ = nullptr;
  }
  // Answers from this function as the X server would (tests).
  void AnswerAsServer(std::function<bool(int)> isDown) { server_ = std::move(isDown); }

 private:
  bool IsHeldOnX11(int virtualKey) const;

  void* display_ = nullptr;  // Display* of the X11 connection, if any
  std::function<bool(int)> server_;
  std::bitset<256> tracked_;
};

}  // namespace tonefield
