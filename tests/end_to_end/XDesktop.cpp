#include "end_to_end/XDesktop.h"

#include <QGuiApplication>

#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace tonefield::testing {

namespace {

Display* XDisplay() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->display() : nullptr;
}

}  // namespace

void RequestWindowState(WId window, const char* state) {
  Display* display = XDisplay();
  if (display == nullptr) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<Window>(window);
  event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 1;  // add
  event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, state, False));
  event.xclient.data.l[3] = 1;  // from a normal application
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XFlush(display);
}

QStringList AllowedActions(WId window) {
  QStringList names;
  Display* display = XDisplay();
  if (display == nullptr) return names;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, static_cast<Window>(window), XInternAtom(display, "_NET_WM_ALLOWED_ACTIONS", False),
                         0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
      data != nullptr) {
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count; ++i) {
      char* name = XGetAtomName(display, atoms[i]);
      names << QString::fromLatin1(name);
      XFree(name);
    }
    XFree(data);
  }
  return names;
}

void LockKeyboardGroup(int group) {
  Display* display = XDisplay();
  if (display == nullptr) return;
  XkbLockGroup(display, XkbUseCoreKbd, static_cast<unsigned>(group));
  XFlush(display);
}

}  // namespace tonefield::testing
