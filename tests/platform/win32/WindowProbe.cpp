// Looks at the running Tonefield window from another process on the same
// (wine) desktop, for the end-to-end tests:
//   window_probe wait SECONDS      waits for the window; prints caption, client size, client origin
//   window_probe count             how many main windows there are, and whether one is in front
//   window_probe layout            each key and panel control with its client rectangle and text
//   window_probe check-layout      compares them with the core's key geometry and the panel's table
//   window_probe shot FILE.bmp     the client area as a 24-bit BMP, read from the screen
//   window_probe name ID           the accessible name (MSAA) of the child with this control id
//   window_probe type TITLE TEXT   puts TEXT into the edit field that has the keyboard focus in the
//                                  window titled TITLE (a file dialog's name field), as typed text
//                                  in a script xdotool cannot type
// Output is UTF-8, one item per line.
#include <windows.h>
#include <oleacc.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "keyboard/KeyGeometry.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Window.h"

namespace {

using tonefield::Utf8;

HWND FindMain() { return FindWindowW(tonefield::kMainWindowClass, nullptr); }

std::string TextOf(HWND hwnd) {
  wchar_t text[512];
  const int length = GetWindowTextW(hwnd, text, 512);
  return Utf8(std::wstring_view(text, static_cast<std::size_t>(length)));
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[128];
  const int length = GetClassNameW(hwnd, name, 128);
  return Utf8(std::wstring_view(name, static_cast<std::size_t>(length)));
}

RECT ClientRectOf(HWND main, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

struct Child {
  HWND hwnd;
  int id;
  RECT rect;
};

std::vector<Child> Children(HWND main) {
  std::vector<Child> children;
  for (HWND child = GetWindow(main, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back({child, GetDlgCtrlID(child), ClientRectOf(main, child)});
  }
  return children;
}

int Wait(int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    HWND main = FindMain();
    if (main != nullptr && IsWindowVisible(main)) {
      RECT client{};
      GetClientRect(main, &client);
      POINT origin{0, 0};
      ClientToScreen(main, &origin);
      std::printf("caption\t%s\nclient\t%ld\t%ld\norigin\t%ld\t%ld\n", TextOf(main).c_str(), client.right,
                  client.bottom, origin.x, origin.y);
      return 0;
    }
    Sleep(100);
  }
  std::printf("no window\n");
  return 1;
}

BOOL CALLBACK CountMain(HWND hwnd, LPARAM count) {
  if (ClassOf(hwnd) == "TonefieldMainWindow") ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int Count() {
  int count = 0;
  EnumWindows(&CountMain, reinterpret_cast<LPARAM>(&count));
  HWND front = GetForegroundWindow();
  std::printf("windows\t%d\nfront\t%s\n", count, front != nullptr && front == FindMain() ? "yes" : "no");
  return 0;
}

int Layout() {
  HWND main = FindMain();
  if (main == nullptr) return 1;
  for (const Child& child : Children(main)) {
    std::printf("%s\t%d\t%ld\t%ld\t%ld\t%ld\t%s\n", ClassOf(child.hwnd).c_str(), child.id, child.rect.left,
                child.rect.top, child.rect.right - child.rect.left, child.rect.bottom - child.rect.top,
                TextOf(child.hwnd).c_str());
  }
  return 0;
}

// The panel as laid out for the Qt window too: control id (100 + Control; 150 the
// panic button, 151 the MIDI light), x, y, w, h.
struct Expected {
  int id;
  int x, y, w, h;
};
constexpr Expected kPanel[] = {
    {100, 8, 12, 233, 17},   {101, 248, 8, 73, 25},  {102, 320, 8, 73, 25},  {103, 392, 8, 73, 25},
    {106, 480, 8, 73, 25},   {107, 552, 8, 73, 25},  {108, 8, 42, 113, 20},  {109, 128, 40, 73, 25},
    {110, 200, 40, 49, 25},  {112, 280, 40, 89, 25}, {113, 376, 44, 33, 16}, {114, 416, 40, 73, 25},
    {115, 528, 40, 49, 25},  {116, 576, 40, 49, 25},  {150, 491, 40, 35, 25}, {151, 468, 16, 9, 9},
};

int CheckLayout() {
  HWND main = FindMain();
  if (main == nullptr) return 1;
  const std::vector<Child> children = Children(main);
  auto find = [&](int id) -> const Child* {
    for (const Child& child : children) {
      if (child.id == id) return &child;
    }
    return nullptr;
  };
  int wrong = 0;
  auto compare = [&](const char* what, int id, int x, int y, int w, int h) {
    const Child* child = find(id);
    if (child == nullptr) {
      std::printf("missing\t%s\t%d\n", what, id);
      ++wrong;
      return;
    }
    const RECT& r = child->rect;
    // The recording clock is as wide as its time in the font in use, at least 33.
    if (id == 113 && r.right - r.left >= w) w = static_cast<int>(r.right - r.left);
    if (r.left != x || r.top != y || r.right - r.left != w || r.bottom - r.top != h) {
      std::printf("differs\t%s\t%d\tis %ld,%ld %ldx%ld\twants %d,%d %dx%d\n", what, id, r.left, r.top,
                  r.right - r.left, r.bottom - r.top, x, y, w, h);
      ++wrong;
    }
  };
  for (const tonefield::KeyPlacement& key : tonefield::LayOutKeys(73)) {
    compare("key", 1000 + key.key, key.left, key.top, key.width, key.height);
  }
  for (const Expected& control : kPanel) compare("control", control.id, control.x, control.y, control.w, control.h);
  RECT client{};
  GetClientRect(main, &client);
  if (client.right != 630 || client.bottom != 223) {
    std::printf("differs\tclient\tis %ldx%ld\twants 630x223\n", client.right, client.bottom);
    ++wrong;
  }
  std::printf("%s\n", wrong == 0 ? "layout ok" : "layout wrong");
  return wrong == 0 ? 0 : 1;
}

void Put16(std::FILE* f, unsigned v) { std::fputc(static_cast<int>(v & 0xFF), f), std::fputc(static_cast<int>(v >> 8), f); }
void Put32(std::FILE* f, unsigned v) { Put16(f, v & 0xFFFF), Put16(f, v >> 16); }

int Shot(const char* file) {
  HWND main = FindMain();
  if (main == nullptr) return 1;
  RECT client{};
  GetClientRect(main, &client);
  POINT origin{0, 0};
  ClientToScreen(main, &origin);
  const int w = client.right;
  const int h = client.bottom;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const unsigned stride = static_cast<unsigned>((w * 3 + 3) & ~3);
  std::FILE* out = std::fopen(file, "wb");
  if (out == nullptr) return 1;
  std::fputs("BM", out);
  Put32(out, 54 + stride * static_cast<unsigned>(h));
  Put32(out, 0);
  Put32(out, 54);
  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
  std::fwrite(bits, 1, stride * static_cast<unsigned>(h), out);
  std::fclose(out);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return 0;
}

int Name(int id) {
  HWND main = FindMain();
  HWND child = main != nullptr ? GetDlgItem(main, id) : nullptr;
  if (child == nullptr) return 1;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IAccessible* accessible = nullptr;
  int status = 1;
  if (SUCCEEDED(AccessibleObjectFromWindow(child, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                           reinterpret_cast<void**>(&accessible)))) {
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (SUCCEEDED(accessible->get_accName(self, &name)) && name != nullptr) {
      std::printf("name\t%s\n", Utf8(std::wstring_view(name, SysStringLen(name))).c_str());
      SysFreeString(name);
      status = 0;
    }
    accessible->Release();
  }
  if (status != 0) std::printf("no name\n");
  CoUninitialize();
  return status;
}

// The edit field of a top-level window (a file dialog) that has the focus, or its first visible one.
HWND FocusedEdit(HWND top) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &gui) && gui.hwndFocus != nullptr &&
      ClassOf(gui.hwndFocus) == "Edit" && IsChild(top, gui.hwndFocus)) {
    return gui.hwndFocus;
  }
  HWND found = nullptr;
  EnumChildWindows(
      top,
      [](HWND child, LPARAM out) -> BOOL {
        if (ClassOf(child) != "Edit" || !IsWindowVisible(child)) return TRUE;
        *reinterpret_cast<HWND*>(out) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

int Type() {
  // The arguments as given (UTF-16): the narrow ones are in the ANSI code page.
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr || count < 4) return 2;
  const std::wstring title = args[2];
  const std::wstring text = args[3];
  LocalFree(args);
  for (int i = 0; i < 100; ++i) {
    HWND top = FindWindowW(nullptr, title.c_str());
    HWND edit = top != nullptr ? FocusedEdit(top) : nullptr;
    if (edit != nullptr) {
      SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
      std::printf("typed\n");
      return 0;
    }
    Sleep(100);
  }
  std::printf("no field\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "wait") == 0) return Wait(std::atoi(argv[2]));
  if (argc >= 2 && std::strcmp(argv[1], "count") == 0) return Count();
  if (argc >= 2 && std::strcmp(argv[1], "layout") == 0) return Layout();
  if (argc >= 2 && std::strcmp(argv[1], "check-layout") == 0) return CheckLayout();
  if (argc >= 3 && std::strcmp(argv[1], "shot") == 0) return Shot(argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "name") == 0) return Name(std::atoi(argv[2]));
  if (argc >= 4 && std::strcmp(argv[1], "type") == 0) return Type();
  std::fprintf(stderr, "usage: window_probe wait SECONDS | count | layout | check-layout | shot FILE.bmp | name ID | type TITLE TEXT\n");
  return 2;
}
