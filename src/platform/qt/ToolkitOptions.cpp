#include "platform/qt/ToolkitOptions.h"

#include <array>
#include <cstdlib>
#include <string>

namespace tonefield {

namespace {

// QGuiApplication's, QApplication's and the X11 platform's options.
constexpr std::array<std::string_view, 17> kWithValue{
    "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger", "qwindowgeometry",
    "geometry", "qwindowicon", "icon",  "qwindowtitle", "title", "session", "display", "name", "style",
    "stylesheet", "visual"};
constexpr std::array<std::string_view, 6> kWithoutValue{"reverse", "widgetcount", "nograb", "dograb", "sync",
                                                        "testability"};

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

int QtOptionValues(std::string_view option) {
  if (option.starts_with("--")) option.remove_prefix(1);
  if (!option.starts_with('-')) return -1;
  option.remove_prefix(1);
  for (std::string_view name : kWithValue) {
    if (option == name) return 1;
  }
  for (std::string_view name : kWithoutValue) {
    if (option == name) return 0;
  }
  return -1;
}

bool HasDisplay(int argc, char** argv) {
#if defined(__linux__) || defined(__FreeBSD__) || defined(__OpenBSD__) || defined(__NetBSD__)
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) return true;
  for (int i = 1; i < argc; ++i) {
    if (QtOptionValues(argv[i]) == 1 && (std::string(argv[i]) == "-platform" || std::string(argv[i]) == "--platform")) {
      return true;
    }
  }
  return false;
#else
  (void)argc;
  (void)argv;
  return true;  // Windows and macOS always have their screen
#endif
}

}  // namespace tonefield
