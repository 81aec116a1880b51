#include "platform/qt/KeyboardLayout.h"

#include <QGuiApplication>

#if defined(TONEFIELD_WITH_XKB) && QT_CONFIG(xcb)
#define TONEFIELD_HAS_X11_LAYOUT 1
#include <X11/XKBlib.h>
#include <xkbcommon/xkbcommon.h>
#else
#define TONEFIELD_HAS_X11_LAYOUT 0
#endif

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tonefield {

namespace {

// Dead keys give no character of their own; their key shows the accent.
struct DeadKey {
  std::uint32_t keysym;
  char32_t accent;
};
constexpr DeadKey kDeadKeys[] = {
    {0xfe50, U'`'},      // dead_grave
    {0xfe51, U'\u00B4'},  // dead_acute
    {0xfe52, U'^'},      // dead_circumflex
    {0xfe53, U'~'},      // dead_tilde
    {0xfe54, U'\u00AF'},  // dead_macron
    {0xfe57, U'\u00A8'},  // dead_diaeresis
    {0xfe58, U'\u00B0'},  // dead_abovering
    {0xfe5b, U'\u00B8'},  // dead_cedilla
};

// X sends core MappingNotify with this code; XKB's own events carry their
// kind in the second byte and, for a state change, the effective group in
// byte 13 (the XKB protocol's xkbStateNotify layout).
constexpr std::uint8_t kMappingNotify = 34;
constexpr std::uint8_t kXkbNewKeyboardNotify = 0;
constexpr std::uint8_t kXkbMapNotify = 1;
constexpr std::uint8_t kXkbStateNotify = 2;
constexpr int kXkbStateGroupByte = 13;

}  // namespace

KeyboardLayout::KeyboardLayout() {
#if TONEFIELD_HAS_X11_LAYOUT
  if (auto* app = qGuiApp) {
    if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>()) display_ = x11->display();
  }
  if (display_ != nullptr) {
    int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(static_cast<Display*>(display_), &opcode, &xkbEventBase_, &error, &major, &minor)) {
      QCoreApplication::instance()->installNativeEventFilter(this);
    } else {
      display_ = nullptr;  // no XKB: the labels stay as they are
    }
  }
#endif
  Refresh();
}

KeyboardLayout::~KeyboardLayout() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeNativeEventFilter(this);
}

QString KeyboardLayout::LabelOf(int scanCode) const {
  if (scanCode <= 0 || scanCode >= kScanCodes) return {};
  return labels_[static_cast<std::size_t>(scanCode)];
}

QString KeyboardLayout::LabelOfCharacter(char32_t character) {
  // Control characters, blanks and unassigned code points show nothing.
  if (character <= 0x20 || (character >= 0x7F && character <= 0xA0) || character > 0x10FFFF) return {};
  const char32_t upper = QChar::toUpper(character);
  return QString::fromUcs4(&upper, 1);
}

QString KeyboardLayout::LabelOfKeysym([[maybe_unused]] std::uint32_t keysym) {
  for (const DeadKey& dead : kDeadKeys) {
    if (dead.keysym == keysym) return LabelOfCharacter(dead.accent);
  }
#if TONEFIELD_HAS_X11_LAYOUT
  return LabelOfCharacter(xkb_keysym_to_utf32(keysym));
#else
  // Latin-1 keysyms are their own code points.
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) return LabelOfCharacter(keysym);
  return {};
#endif
}

void KeyboardLayout::Refresh() {
  labels_.fill(QString());
#if TONEFIELD_HAS_X11_LAYOUT
  if (display_ == nullptr) return;
  auto* display = static_cast<Display*>(display_);
  // Asked afresh each time: Xlib's own copy of the keymap is refreshed only
  // by events that Qt reads, never Xlib.
  XkbStateRec state{};
  if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return;
  XkbDescPtr keyboard = XkbGetMap(display, XkbKeySymsMask, XkbUseCoreKbd);
  if (keyboard == nullptr) return;
  group_ = state.group;
  for (int scan = 1; scan < kScanCodes; ++scan) {
    const int keycode = scan + 8;  // X keycodes are evdev codes + 8
    if (keycode < keyboard->min_key_code || keycode > keyboard->max_key_code) continue;
    const int groups = XkbKeyNumGroups(keyboard, keycode);
    if (groups <= 0) continue;
    // A group the key lacks wraps round, as the server does by default.
    const int group = state.group % groups;
    const KeySym keysym = XkbKeySymEntry(keyboard, keycode, 0, group);
    labels_[static_cast<std::size_t>(scan)] = LabelOfKeysym(static_cast<std::uint32_t>(keysym));
  }
  XkbFreeKeyboard(keyboard, 0, True);
#elif defined(Q_OS_WIN)
  const HKL layout = GetKeyboardLayout(0);
  const BYTE noModifiers[256] = {};
  for (int scan = 1; scan < kScanCodes; ++scan) {
    const UINT virtualKey = MapVirtualKeyExW(static_cast<UINT>(scan), MAPVK_VSC_TO_VK_EX, layout);
    if (virtualKey == 0) continue;
    wchar_t text[4] = {};
    // Flag 4: leave the keyboard's dead-key state alone.
    const int count = ToUnicodeEx(virtualKey, static_cast<UINT>(scan), noModifiers, text, 4, 4, layout);
    // A dead key (count -1) still writes its accent.
    if (count == 1 || count == -1) labels_[static_cast<std::size_t>(scan)] = LabelOfCharacter(text[0]);
  }
#endif
}

bool KeyboardLayout::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || message == nullptr || !onChange_) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(message);
  const std::uint8_t type = bytes[0] & 0x7F;
  bool changed = type == kMappingNotify;
  if (xkbEventBase_ >= 0 && type == xkbEventBase_) {
    const std::uint8_t kind = bytes[1];
    changed = kind == kXkbNewKeyboardNotify || kind == kXkbMapNotify ||
              (kind == kXkbStateNotify && bytes[kXkbStateGroupByte] != group_);
  }
  if (changed) onChange_();
  return false;  // Qt needs these events too
}

}  // namespace tonefield
