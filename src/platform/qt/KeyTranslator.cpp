#include "platform/qt/KeyTranslator.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <array>
#include <utility>

#include "keyboard/PhysicalKeys.h"

namespace tonefield {

namespace {

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

int KeyTranslator::ScanCodeOf(int virtualKey) { return ScanCodeOfVirtualKey(virtualKey); }

int KeyTranslator::VirtualKeyOfScanCode(int scanCode) { return tonefield::VirtualKeyOfScanCode(scanCode); }

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
