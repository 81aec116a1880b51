#include "platform/win32/Win32Boxes.h"

#include <commctrl.h>

namespace tonefield {

namespace {

constexpr wchar_t kSplashClass[] = L"TonefieldSplash";
constexpr wchar_t kAboutClass[] = L"TonefieldAboutBox";
constexpr int kOkId = IDOK;

struct AboutState {
  bool done = false;
  UINT dpi = 96;
};

LRESULT CALLBACK SplashProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT frame{};
    GetClientRect(hwnd, &frame);
    FillRect(dc, &frame, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    EndPaint(hwnd, &paint);
    return 0;
  }
  if (message == WM_CTLCOLORSTATIC) {
    SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK AboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<AboutState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == kOkId || LOWORD(wParam) == IDCANCEL) {
        if (state != nullptr) state->done = true;
        return 0;
      }
      break;
    case WM_CLOSE:
      if (state != nullptr) state->done = true;
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      const int dpi = state != nullptr ? static_cast<int>(state->dpi) : 96;
      RECT panel{MulDiv(8, dpi, 96), MulDiv(8, dpi, 96), MulDiv(289, dpi, 96), MulDiv(129, dpi, 96)};
      DrawEdge(dc, &panel, BDR_SUNKENOUTER, BF_RECT);
      HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                 MulDiv(32, dpi, 96), MulDiv(32, dpi, 96), 0));
      if (icon != nullptr) {
        DrawIconEx(dc, MulDiv(16, dpi, 96), MulDiv(16, dpi, 96), icon, MulDiv(32, dpi, 96), MulDiv(32, dpi, 96), 0,
                   nullptr, DI_NORMAL);
        DestroyIcon(icon);
      }
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND Label(HWND parent, const wchar_t* text, DWORD align, int x, int y, int w, int h, HFONT font, UINT dpi) {
  const int scale = static_cast<int>(dpi);
  HWND label = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_NOPREFIX | align, MulDiv(x, scale, 96),
                               MulDiv(y, scale, 96), MulDiv(w, scale, 96), MulDiv(h, scale, 96), parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return label;
}

RECT CentredOn(const RECT& area, int width, int height) {
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;
  return RECT{left, top, left + width, top + height};
}

}  // namespace

void RegisterBoxClasses(HINSTANCE instance) {
  WNDCLASSEXW splash{};
  splash.cbSize = sizeof splash;
  splash.lpfnWndProc = &SplashProc;
  splash.hInstance = instance;
  splash.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));  // IDC_WAIT
  splash.lpszClassName = kSplashClass;
  RegisterClassExW(&splash);
  WNDCLASSEXW about = splash;
  about.lpfnWndProc = &AboutProc;
  about.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  about.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  about.lpszClassName = kAboutClass;
  RegisterClassExW(&about);
}

HWND ShowSplashWindow(HINSTANCE instance, HFONT font) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const UINT dpi = GetDpiForSystem();
  const RECT place = CentredOn(monitor.rcWork, MulDiv(297, static_cast<int>(dpi), 96),
                               MulDiv(89, static_cast<int>(dpi), 96));
  HWND splash = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kSplashClass, L"Tonefield", WS_POPUP, place.left,
                                place.top, place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                                instance, nullptr);
  if (splash == nullptr) return nullptr;
  Label(splash, L"Tonefield V0.7", SS_CENTER, 8, 24, 281, 16, font, dpi);
  Label(splash, L"初期化中です。しばらくお待ちください...", SS_CENTER, 8, 56, 281, 16, font, dpi);
  ShowWindow(splash, SW_SHOWNOACTIVATE);
  UpdateWindow(splash);
  RedrawWindow(splash, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  return splash;
}

void RunAboutBox(HINSTANCE instance, HWND owner, HFONT font, UINT dpi) {
  AboutState state;
  state.dpi = dpi;
  const int scale = static_cast<int>(dpi);
  constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  RECT frame{0, 0, MulDiv(298, scale, 96), MulDiv(177, scale, 96)};
  AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_DLGMODALFRAME, dpi);
  RECT ownerRect{};
  GetWindowRect(owner, &ownerRect);
  const RECT place = CentredOn(ownerRect, frame.right - frame.left, frame.bottom - frame.top);
  HWND box = CreateWindowExW(WS_EX_DLGMODALFRAME, kAboutClass, L"About", style, place.left, place.top,
                             place.right - place.left, place.bottom - place.top, owner, nullptr, instance, &state);
  if (box == nullptr) return;
  Label(box, L"Tonefield", SS_LEFT, 96, 24, 180, 16, font, dpi);
  Label(box, L"V0.7", SS_LEFT, 96, 48, 180, 16, font, dpi);
  Label(box, L"Copyright (C) the Tonefield developers", SS_LEFT, 16, 88, 265, 16, font, dpi);
  HWND ok = CreateWindowExW(0, WC_BUTTONW, L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                            MulDiv(111, scale, 96), MulDiv(140, scale, 96), MulDiv(75, scale, 96),
                            MulDiv(25, scale, 96), box, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kOkId)), instance,
                            nullptr);
  SendMessageW(ok, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EnableWindow(owner, FALSE);
  ShowWindow(box, SW_SHOW);
  SetFocus(ok);
  MSG message;
  while (!state.done && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (IsDialogMessageW(box, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  EnableWindow(owner, TRUE);
  SetActiveWindow(owner);
  DestroyWindow(box);
}

}  // namespace tonefield
