#include "platform/qt/KeyHeldQuery.h"

#include <QGuiApplication>

#include "platform/qt/KeyTranslator.h"

#if __has_include(<X11/Xlib.h>) && QT_CONFIG(xcb)
#define TONEFIELD_HAS_X11 1
#include <X11/Xlib.h>
#else
#define TONEFIELD_HAS_X11 0
#endif

namespace tonefield {

KeyHeldQuery::KeyHeldQuery() {
#if TONEFIELD_HAS_X11
  if (auto* app = qGuiApp) {
    if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>()) display_ = x11->display();
  }
#endif
}

void KeyHeldQuery::Pressed(int virtualKey) {
  if (virtualKey > 0 && virtualKey < 256) tracked_.set(static_cast<std::size_t>(virtualKey));
}

void KeyHeldQuery::Released(int virtualKey) {
  if (virtualKey > 0 && virtualKey < 256) tracked_.reset(static_cast<std::size_t>(virtualKey));
}

void KeyHeldQuery::ReleaseAll() { tracked_.reset(); }

bool KeyHeldQuery::IsHeld(int virtualKey) const {
  if (server_) return server_(virtualKey);
  if (display_ != nullptr) return IsHeldOnX11(virtualKey);
  return virtualKey > 0 && virtualKey < 256 && tracked_.test(static_cast<std::size_t>(virtualKey));
}

bool KeyHeldQuery::IsHeldOnX11([[maybe_unused]] int virtualKey) const {
#if TONEFIELD_HAS_X11
  const int scan = KeyTranslator::ScanCodeOf(virtualKey);
  if (scan == 0) return false;
  const int keycode = scan + 8;  // X keycodes are evdev codes + 8
  char keys[32] = {};
  XQueryKeymap(static_cast<Display*>(display_), keys);
  return (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
#else
  return false;
#endif
}

}  // namespace tonefield
