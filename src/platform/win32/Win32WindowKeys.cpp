// The main window's piano keys: creating them, their colours, the mouse on
// them, the key preview that turns PC key strokes into notes, and labels
// that follow the user's keyboard layout.
#include "platform/win32/Win32Window.h"

#include <commctrl.h>

#include "keyboard/KeyMap.h"
#include "keyboard/PhysicalKeys.h"
#include "platform/qt/WindowHandlers.h"
#include "platform/win32/Win32Accessibility.h"
#include "platform/win32/Win32Painting.h"
#include "platform/win32/WideText.h"

namespace tonefield {

namespace {

// Windows' scan codes of the two JIS keys whose evdev codes differ.
constexpr int kScanRo = 0x73;
constexpr int kScanYen = 0x7D;

// The label a layout prints on a key: its unshifted character in upper
// case, a dead key's accent; empty when it gives the key none.
std::wstring LayoutLabel(int scanCode, HKL layout) {
  const UINT vk = MapVirtualKeyExW(static_cast<UINT>(scanCode), MAPVK_VSC_TO_VK_EX, layout);
  if (vk == 0) return {};
  BYTE state[256] = {};
  wchar_t text[8] = {};
  // Flag 4: the call leaves the keyboard's dead-key state as it was.
  int count = ToUnicodeEx(vk, static_cast<UINT>(scanCode), state, text, 8, 4, layout);
  if (count < 0) count = 1;  // a dead key: its accent
  if (count == 0 || text[0] < 0x20 || text[0] == 0x7F) return {};
  std::wstring label(text, 1);
  CharUpperBuffW(label.data(), 1);
  return label;
}

}  // namespace

int Win32Window::VirtualKeyOf(WPARAM wParam, LPARAM lParam) {
  const int scan = static_cast<int>((lParam >> 16) & 0xFF);
  const bool extended = ((lParam >> 24) & 1) != 0;
  if (!extended) {
    if (scan == kScanRo) return 0xE2;
    if (scan == kScanYen) return 0xDC;
    if (const int vk = VirtualKeyOfScanCode(scan); vk != 0) return vk;
  }
  // Keys off the main block (arrows, keypad, function keys) keep their own code.
  return static_cast<int>(wParam);
}

void Win32Window::CreateKeyButton(const KeyButtonSpec& keyButton) {
  if (keyButton.key < 0 || keyButton.key >= kKeyCount) return;
  KeyInfo& key = keys_[static_cast<std::size_t>(keyButton.key)];
  if (key.hwnd != nullptr) DestroyWindow(key.hwnd);
  key = KeyInfo{};
  key.logical = RECT{keyButton.left, keyButton.top, keyButton.left + keyButton.width, keyButton.top + keyButton.height};
  key.colour = keyButton.colour;
  key.fontColour = keyButton.fontColour;
  key.ownLabel = Wide(keyButton.caption);
  key.label = key.ownLabel;
  key.black = keyButton.black;
  key.hwnd = CreateWindowExW(0, L"TonefieldPianoKey", key.label.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                             0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(1000 + keyButton.key)),
                             instance_, this);
  SetWindowLongPtrW(key.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  Place(key.hwnd, key.logical);
  SetAccessibleName(key.hwnd, KeyNoteName(keyButton.key));
  RelabelKeys();
}

HWND Win32Window::KeyWindow(int key) const {
  return key >= 0 && key < kKeyCount ? keys_[static_cast<std::size_t>(key)].hwnd : nullptr;
}

void Win32Window::RelabelKeys() {
  HKL layout = GetKeyboardLayout(0);
  for (int index = 0; index < kKeyCount; ++index) {
    KeyInfo& key = keys_[static_cast<std::size_t>(index)];
    if (key.hwnd == nullptr) continue;
    const int scan = ScanCodeOfVirtualKey(KeyMap[static_cast<std::size_t>(index)].virtualKey);
    std::wstring label = scan != 0 ? LayoutLabel(scan, layout) : std::wstring();
    if (label.empty()) label = key.ownLabel;
    if (label == key.label) continue;
    key.label = label;
    SetWindowTextW(key.hwnd, label.c_str());
    SetAccessibleDescription(key.hwnd, L"PCキー " + label);
    InvalidateRect(key.hwnd, nullptr, FALSE);
  }
}

void Win32Window::RaiseBlackKeysThenPanel() {
  // White keys first, black keys above them; the panel's controls above all.
  for (const KeyInfo& key : keys_) {
    if (key.hwnd != nullptr && key.black) {
      SetWindowPos(key.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  for (const auto& [control, info] : controls_) {
    if (info.hwnd != nullptr && control != Control::BlankLabelLeft && control != Control::BlankLabelRight) {
      SetWindowPos(info.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

void Win32Window::SetKeyColour(int key, Colour colour) {
  if (key < 0 || key >= kKeyCount) return;
  KeyInfo& info = keys_[static_cast<std::size_t>(key)];
  if (info.colour == colour) return;
  info.colour = colour;
  // Red exactly while it sounds: painted now, not at the next idle moment.
  RedrawWindow(info.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

bool Win32Window::IsKeyDrawnPressed(int key) {
  return key >= 0 && key < kKeyCount && keys_[static_cast<std::size_t>(key)].drawnPressed;
}

void Win32Window::PaintKey(int index, HDC dc) {
  KeyInfo& key = keys_[static_cast<std::size_t>(index)];
  RECT client{};
  GetClientRect(key.hwnd, &client);
  // Drawn off screen first, so a key held by the mouse never flickers.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  PianoKeyLook look{key.colour, key.fontColour, key.pressed};
  key.drawnPressed = key.pressed;
  DrawPianoKey(memory, client.right, client.bottom, key.label, fonts_.ui(), fonts_.keys(), look);
  BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

LRESULT CALLBACK Win32Window::KeyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  const int key = GetDlgCtrlID(hwnd) - 1000;
  if (key < 0 || key >= kKeyCount) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->HandleKeyMessage(key, message, wParam, lParam);
}

LRESULT Win32Window::HandleKeyMessage(int index, UINT message, WPARAM wParam, LPARAM lParam) {
  KeyInfo& key = keys_[static_cast<std::size_t>(index)];
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(key.hwnd, &paint);
      PaintKey(index, dc);
      EndPaint(key.hwnd, &paint);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // the second click of a double click is an ordinary press
      SetCapture(key.hwnd);
      if (Live()) handlers_->OnKeyButtonDown(index);
      key.pressed = true;
      RedrawWindow(key.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == key.hwnd) {
        RECT client{};
        GetClientRect(key.hwnd, &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const bool inside = PtInRect(&client, at) != 0;
        if (inside != key.pressed) {
          key.pressed = inside;
          InvalidateRect(key.hwnd, nullptr, FALSE);
        }
      }
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == key.hwnd) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      // The button comes up however the capture ended (released, or taken
      // by a box): the note ends with it.
      if (key.pressed || GetCapture() != key.hwnd) {
        key.pressed = false;
        RedrawWindow(key.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        if (Live()) handlers_->OnKeyButtonUp(index);
      }
      return 0;
    case WM_GETDLGCODE: return DLGC_STATIC;
    default: break;
  }
  return DefWindowProcW(key.hwnd, message, wParam, lParam);
}

bool Win32Window::PreviewMessage(const MSG& message) {
  const UINT type = message.message;
  const bool down = type == WM_KEYDOWN || type == WM_SYSKEYDOWN;
  const bool up = type == WM_KEYUP || type == WM_SYSKEYUP;
  if (!down && !up) return false;
  if (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd)) return false;
  const int vk = VirtualKeyOf(message.wParam, message.lParam);
  if (vk <= 0 || vk > 255) return false;
  heldByEvents_[static_cast<std::size_t>(vk)] = down;
  if (!Live()) return false;
  // A held key repeats its key-down (bit 30 set) and sends one key-up at
  // the end: the core sees both as they come and plays the note once.
  int key = vk;
  if (down) {
    handlers_->OnKeyDown(key);
  } else {
    handlers_->OnKeyUp(key);
  }
  return key == 0;
}

bool Win32Window::IsKeyHeld(int virtualKey) {
  if (virtualKey <= 0 || virtualKey > 255) return false;
  // The core names the physical key by its JIS code; the layout in use may
  // give that key another code.
  UINT vk = static_cast<UINT>(virtualKey);
  if (const int scan = ScanCodeOfVirtualKey(virtualKey); scan != 0) {
    const UINT mapped = MapVirtualKeyExW(static_cast<UINT>(scan), MAPVK_VSC_TO_VK_EX, GetKeyboardLayout(0));
    if (mapped != 0) vk = mapped;
  }
  return (GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) != 0;
}

}  // namespace tonefield
