#include "platform/win32/Win32Fonts.h"

namespace tonefield {

namespace {

int CALLBACK FoundFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// Whether a family is installed with Japanese (Shift-JIS charset) glyphs.
bool HasJapanese(HDC dc, const std::wstring& family) {
  if (family.empty() || family.size() >= LF_FACESIZE) return false;
  LOGFONTW wanted{};
  wanted.lfCharSet = SHIFTJIS_CHARSET;
  family.copy(wanted.lfFaceName, family.size());
  bool found = false;
  EnumFontFamiliesExW(dc, &wanted, &FoundFamily, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

HFONT MakeFont(const std::wstring& family, int height) {
  LOGFONTW font{};
  font.lfHeight = height;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  family.copy(font.lfFaceName, std::min<std::size_t>(family.size(), LF_FACESIZE - 1));
  return CreateFontIndirectW(&font);
}

}  // namespace

Win32Fonts::~Win32Fonts() { Free(); }

void Win32Fonts::Free() {
  for (HFONT* font : {&ui_, &keys_, &measure_}) {
    if (*font != nullptr) DeleteObject(*font);
    *font = nullptr;
  }
}

std::wstring Win32Fonts::ChooseJapaneseFamily() {
  HDC dc = GetDC(nullptr);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  std::wstring chosen;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) &&
      HasJapanese(dc, metrics.lfMessageFont.lfFaceName)) {
    chosen = metrics.lfMessageFont.lfFaceName;
  }
  // Windows' own Japanese UI fonts, newest first; then the IPA fonts a
  // Linux system (wine) offers.
  for (const wchar_t* family : {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic", L"IPAPGothic", L"IPAGothic"}) {
    if (!chosen.empty()) break;
    if (HasJapanese(dc, family)) chosen = family;
  }
  ReleaseDC(nullptr, dc);
  if (chosen.empty()) chosen = metrics.lfMessageFont.lfFaceName;  // the system font, whatever it holds
  return chosen;
}

void Win32Fonts::Make(UINT dpi) {
  if (family_.empty()) family_ = ChooseJapaneseFamily();
  Free();
  const int scale = static_cast<int>(dpi);
  ui_ = MakeFont(family_, -MulDiv(12, scale, 96));
  keys_ = MakeFont(family_, -MulDiv(10, scale, 72));
  measure_ = MakeFont(family_, -12);
}

}  // namespace tonefield
