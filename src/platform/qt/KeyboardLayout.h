// What the user's own keyboard layout prints on each physical key, so the
// piano keys can carry the characters of the user's keyboard: Y and Z
// swapped on a German one, A for Q and é for 2 on a French one. The keys
// still play by position; only their labels follow the layout.
//
// On X11 the server's keymap is read (the active group, unshifted level);
// on Windows the thread's keyboard layout (MapVirtualKeyEx, ToUnicodeEx);
// elsewhere nothing is known and every label stays as it was.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace tonefield {

class KeyboardLayout final : public QAbstractNativeEventFilter {
 public:
  KeyboardLayout();
  ~KeyboardLayout() override;
  KeyboardLayout(const KeyboardLayout&) = delete;
  KeyboardLayout& operator=(const KeyboardLayout&) = delete;

  // Reads the active layout again.
  void Refresh();
  // The label of the key with this set-1 / evdev scan code under the layout
  // last read: its unshifted character in upper case; empty when the
  // layout is unknown or gives the key no printable character.
  QString LabelOf(int scanCode) const;

  // Runs (on the GUI thread) when the X server reports a new keymap or a
  // switch to another group; the caller refreshes and relabels.
  void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

  // The label for an X keysym: dead keys show their accent, other keysyms
  // their character, upper-cased; empty for keysyms without a printable
  // character. Public for tests.
  static QString LabelOfKeysym(std::uint32_t keysym);
  // Upper case of one printable character, empty for a control character.
  static QString LabelOfCharacter(char32_t character);

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  static constexpr int kScanCodes = 128;

 private:
  std::array<QString, kScanCodes> labels_;
  std::function<void()> onChange_;
  void* display_ = nullptr;  // Display* of the X11 connection, if any
  int xkbEventBase_ = -1;
  int group_ = -1;  // the X group the labels were read from
};

}  // namespace tonefield
