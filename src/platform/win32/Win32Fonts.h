// The window's fonts. The UI font is chosen explicitly so that Japanese
// renders under any system locale: the system's message font when it has
// Japanese glyphs, else the first installed of the Japanese UI families.
#pragma once

#include <windows.h>

#include <string>

namespace tonefield {

class Win32Fonts {
 public:
  Win32Fonts() = default;
  ~Win32Fonts();
  Win32Fonts(const Win32Fonts&) = delete;
  Win32Fonts& operator=(const Win32Fonts&) = delete;

  // Makes the fonts for this dpi (the family is chosen once).
  void Make(UINT dpi);
  HFONT ui() const { return ui_; }        // 12 px at 96 dpi, the controls' font
  HFONT keys() const { return keys_; }    // 10 pt, the piano keys' labels
  HFONT measure() const { return measure_; }  // the UI font at 96 dpi, for the core's widths
  const std::wstring& family() const { return family_; }

  // The family chosen for Japanese text on this system.
  static std::wstring ChooseJapaneseFamily();

 private:
  void Free();
  std::wstring family_;
  HFONT ui_ = nullptr;
  HFONT keys_ = nullptr;
  HFONT measure_ = nullptr;
};

}  // namespace tonefield
