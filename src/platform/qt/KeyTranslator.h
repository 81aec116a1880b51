// Turns a key event into the Windows virtual-key code of the same physical
// key on a Japanese keyboard. The physical key comes from the scan code, so
// the piano rows stay where they are whatever layout the user has chosen
// (US, JIS, German, French...). When there is no scan code (offscreen
// platform, synthesised events) the Qt key is used instead.
#pragma once

#include <QString>
#include <cstdint>

class QKeyEvent;

namespace tonefield {

class KeyTranslator {
 public:
  // For the running platform (xcb and wayland report evdev codes + 8).
  KeyTranslator();
  // For a named platform, as QGuiApplication::platformName() spells it.
  explicit KeyTranslator(const QString& platformName);

  // 0 when the key has no virtual-key code here.
  int VirtualKey(const QKeyEvent& event) const;
  int VirtualKey(std::uint32_t nativeScanCode, int qtKey) const;

  // The set-1 / evdev scan code of the physical key that carries this
  // virtual-key code on a Japanese keyboard, 0 when none.
  static int ScanCodeOf(int virtualKey);
  // The virtual-key code of a set-1 / evdev scan code, 0 when none.
  static int VirtualKeyOfScanCode(int scanCode);
  // The virtual-key code for a Qt key (used without a scan code), 0 when none.
  static int VirtualKeyOfQtKey(int qtKey);

  int scanCodeOffset() const { return scanCodeOffset_; }

 private:
  int scanCodeOffset_ = 0;  // subtracted from native scan codes
  bool useScanCodes_ = true;
};

}  // namespace tonefield
