#include "platform/qt/KeyTranslator.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <array>
#include <utility>

namespace tonefield {

namespace {

// Physical keys of the main block: set-1 scan code (equal to the Linux evdev
// code for these keys) and the virtual-key code the key has on a JIS keyboard.
// The last two (ro, yen) are evdev codes only; Windows reports them as 0x73
// and 0x7D, which then go by their Qt key.
constexpr std::array<std::pair<int, int>, 59> kScanToVirtualKey{{
    {1, 0x1B},                                     // Esc
    {2, '1'},  {3, '2'},  {4, '3'},  {5, '4'},  {6, '5'},
    {7, '6'},  {8, '7'},  {9, '8'},  {10, '9'}, {11, '0'},
    {12, 0xBD},                                    // - =
    {13, 0xDE},                                    // ^ ~
    {14, 0x08},                                    // Backspace
    {15, 0x09},                                    // Tab
    {16, 'Q'}, {17, 'W'}, {18, 'E'}, {19, 'R'}, {20, 'T'},
    {21, 'Y'}, {22, 'U'}, {23, 'I'}, {24, 'O'}, {25, 'P'},
    {26, 0xC0},                                    // @ `
    {27, 0xDB},                                    // [ {
    {28, 0x0D},                                    // Enter
    {29, 0x11},                                    // Ctrl
    {30, 'A'}, {31, 'S'}, {32, 'D'}, {33, 'F'}, {34, 'G'},
    {35, 'H'}, {36, 'J'}, {37, 'K'}, {38, 'L'},
    {39, 0xBB},                                    // ; +
    {40, 0xBA},                                    // : *
    {41, 0xF3},                                    // hankaku/zenkaku
    {42, 0x10},                                    // Shift
    {43, 0xDD},                                    // ] }
    {44, 'Z'}, {45, 'X'}, {46, 'C'}, {47, 'V'}, {48, 'B'},
    {49, 'N'}, {50, 'M'},
    {51, 0xBC},                                    // , <
    {52, 0xBE},                                    // . >
    {53, 0xBF},                                    // / ?
    {54, 0x10},                                    // right Shift
    {56, 0x12},                                    // Alt
    {57, 0x20},                                    // Space
    {58, 0x14},                                    // Caps Lock
    {89, 0xE2},                                    // \ _ (ro)
    {124, 0xDC},                                   // yen |
}};

constexpr std::array<std::pair<int, int>, 30> kQtKeyToVirtualKey{{
    {Qt::Key_Comma, 0xBC},     {Qt::Key_Period, 0xBE},      {Qt::Key_Slash, 0xBF},
    {Qt::Key_Minus, 0xBD},     {Qt::Key_Semicolon, 0xBB},   {Qt::Key_Plus, 0xBB},
    {Qt::Key_At, 0xC0},        {Qt::Key_Colon, 0xBA},       {Qt::Key_AsciiCircum, 0xDE},
    {Qt::Key_BracketLeft, 0xDB}, {Qt::Key_BracketRight, 0xDD}, {Qt::Key_yen, 0xDC},
    {Qt::Key_Backslash, 0xE2}, {Qt::Key_Space, 0x20},       {Qt::Key_Return, 0x0D},
    {Qt::Key_Enter, 0x0D},     {Qt::Key_Escape, 0x1B},      {Qt::Key_Tab, 0x09},
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Left, 0x25},        {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},     {Qt::Key_Down, 0x28},        {Qt::Key_Shift, 0x10},
    {Qt::Key_Control, 0x11},   {Qt::Key_Alt, 0x12},         {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},    {Qt::Key_Home, 0x24},        {Qt::Key_End, 0x23},
}};

int OffsetFor(const QString& platform) {
  if (platform == QLatin1String("xcb") || platform == QLatin1String("wayland")) return 8;
  return 0;
}

bool PlatformHasScanCodes(const QString& platform) {
  return platform == QLatin1String("xcb") || platform == QLatin1String("wayland") ||
         platform == QLatin1String("windows");
}

}  // namespace

KeyTranslator::KeyTranslator() : KeyTranslator(QGuiApplication::platformName()) {}

KeyTranslator::KeyTranslator(const QString& platformName)
    : scanCodeOffset_(OffsetFor(platformName)), useScanCodes_(PlatformHasScanCodes(platformName)) {}

int KeyTranslator::VirtualKey(const QKeyEvent& event) const {
  return VirtualKey(event.nativeScanCode(), event.key());
}

int KeyTranslator::VirtualKey(std::uint32_t nativeScanCode, int qtKey) const {
  if (useScanCodes_ && nativeScanCode != 0) {
    // Windows marks extended keys with 0x100 (e0 prefix); those are not in the table.
    const int code = static_cast<int>(nativeScanCode) - scanCodeOffset_;
    const int vk = VirtualKeyOfScanCode(code);
    if (vk != 0) return vk;
  }
  return VirtualKeyOfQtKey(qtKey);
}

int KeyTranslator::ScanCodeOf(int virtualKey) {
  for (const auto& [scan, vk] : kScanToVirtualKey) {
    if (vk == virtualKey) return scan;
  }
  return 0;
}

int KeyTranslator::VirtualKeyOfScanCode(int scanCode) {
  for (const auto& [scan, vk] : kScanToVirtualKey) {
    if (scan == scanCode) return vk;
  }
  return 0;
}

int KeyTranslator::VirtualKeyOfQtKey(int qtKey) {
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
    return qtKey;  // Qt's codes equal the virtual-key codes here
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
  for (const auto& [key, vk] : kQtKeyToVirtualKey) {
    if (key == qtKey) return vk;
  }
  return 0;
}

}  // namespace tonefield
