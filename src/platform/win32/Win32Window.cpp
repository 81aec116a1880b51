#include "platform/win32/Win32Window.h"

#include <commctrl.h>
#include <imm.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "platform/qt/WindowHandlers.h"
#include "platform/win32/Win32Accessibility.h"
#include "platform/win32/Win32Boxes.h"
#include "platform/win32/Win32Painting.h"
#include "platform/win32/WideText.h"

namespace tonefield {

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr int kControlIdBase = 100;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr COLORREF kLime = RGB(0x00, 0xFF, 0x00);

int ControlId(Control control) { return kControlIdBase + static_cast<int>(control); }

struct ButtonRow {
  Control control;
  RECT logical;  // left, top, right, bottom
  const wchar_t* caption;
  const wchar_t* hint;
  PanelGlyph glyph;
};

RECT Box(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

}  // namespace

Win32Window::Win32Window(HINSTANCE instance) : instance_(instance) {}

Win32Window::~Win32Window() {
  if (splash_ != nullptr) DestroyWindow(splash_);
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool Win32Window::Create() {
  INITCOMMONCONTROLSEX common{};
  common.dwSize = sizeof common;
  common.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES;
  InitCommonControlsEx(&common);
  raiseMessage_ = RegisterWindowMessageW(kRaiseMessageName);

  WNDCLASSEXW main{};
  main.cbSize = sizeof main;
  main.lpfnWndProc = &Win32Window::WindowProc;
  main.hInstance = instance_;
  main.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
  main.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  main.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  main.lpszClassName = kMainWindowClass;
  if (RegisterClassExW(&main) == 0) return false;
  WNDCLASSEXW key{};
  key.cbSize = sizeof key;
  key.style = CS_DBLCLKS;
  key.lpfnWndProc = &Win32Window::KeyProc;
  key.hInstance = instance_;
  key.hCursor = main.hCursor;
  key.lpszClassName = L"TonefieldPianoKey";
  if (RegisterClassExW(&key) == 0) return false;
  RegisterBoxClasses(instance_);

  hwnd_ = CreateWindowExW(0, kMainWindowClass, L"Tonefield ", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                          260, nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr) return false;
  // Letters are notes: the input method never turns them into VK_PROCESSKEY.
  ImmAssociateContextEx(hwnd_, nullptr, 0);
  dpi_ = GetDpiForWindow(hwnd_);
  if (dpi_ == 0) dpi_ = 96;
  fonts_.Make(dpi_);
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_,
                             nullptr);
  BuildPanel();
  ResizeClient(clientWidth_, clientHeight_);
  return true;
}

HWND Win32Window::AddControl(Control control, const wchar_t* className, const wchar_t* text, DWORD style,
                             RECT logical, const wchar_t* accessibleName) {
  HWND child = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0, 0, 0, 0,
                               hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(control))), instance_,
                               nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.ui()), FALSE);
  ControlInfo& info = controls_[control];
  info.hwnd = child;
  info.logical = logical;
  Place(child, logical);
  if (accessibleName != nullptr) SetAccessibleName(child, accessibleName);
  return child;
}

void Win32Window::AddHint(HWND control, const std::wstring& hint) {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(hint.c_str());
  SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (!hint.empty()) SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32Window::BuildPanel() {
  controls_[Control::ControlPanel].logical = Box(0, 0, 630, kPanelHeight);
  AddControl(Control::StatusLine, L"STATIC", L"Display Panel", SS_LEFT | SS_SUNKEN | SS_NOPREFIX,
             Box(8, 12, 233, 17), L"状態表示");
  const ButtonRow rows[] = {
      {Control::OpenWaveButton, Box(248, 8, 73, 25), L"音声読込", L"Waveファイルを読み込みます", PanelGlyph::Open},
      {Control::SaveSampleButton, Box(320, 8, 73, 25), L"音声保存", L"Waveファイルを保存します", PanelGlyph::Save},
      {Control::RecordSampleButton, Box(392, 8, 73, 25), L"音声録音", L"音声を録音します", PanelGlyph::Mic},
      {Control::InputVolumeButton, Box(480, 8, 73, 25), L"入力音量", L"入力音量を調整します", PanelGlyph::Volume},
      {Control::OutputVolumeButton, Box(552, 8, 73, 25), L"出力音量", L"出力音量を調整します", PanelGlyph::Volume},
      {Control::OpenScoreButton, Box(128, 40, 73, 25), L"楽譜読込", L"楽譜ファイルを読み込みます", PanelGlyph::Score},
      {Control::PlayButton, Box(200, 40, 49, 25), L"演奏", L"曲を演奏します", PanelGlyph::Play},
      {Control::RecordPerformanceButton, Box(416, 40, 73, 25), L"演奏録音", L"演奏結果を録音します", PanelGlyph::Rec},
      {Control::AboutButton, Box(528, 40, 49, 25), L"About", nullptr, PanelGlyph::About},
      {Control::QuitButton, Box(576, 40, 49, 25), L"終了", nullptr, PanelGlyph::Quit},
  };
  for (const ButtonRow& row : rows) {
    // The panic button sits between the recording button and About, in the Tab order too.
    if (row.control == Control::AboutButton) BuildMidiControls();
    HWND button = AddControl(row.control, WC_BUTTONW, row.caption, BS_OWNERDRAW | WS_TABSTOP, row.logical);
    ControlInfo& info = controls_[row.control];
    info.panelGlyph = static_cast<int>(row.glyph);
    SetWindowSubclass(button, &Win32Window::FlatButtonProc, 1, reinterpret_cast<DWORD_PTR>(this));
    if (row.hint != nullptr) {
      info.hint = row.hint;
      AddHint(button, info.hint);
    }
  }
  // Two labels emptied at start-up; they lie below the buttons they overlap.
  AddControl(Control::BlankLabelLeft, L"STATIC", L"Label1", SS_LEFT | SS_NOPREFIX, Box(368, 0, 38, 14));
  AddControl(Control::BlankLabelRight, L"STATIC", L"Label2", SS_LEFT | SS_NOPREFIX, Box(408, 0, 38, 14));
  for (Control blank : {Control::BlankLabelLeft, Control::BlankLabelRight}) {
    SetWindowPos(controls_[blank].hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  HWND songs = AddControl(Control::SongBox, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                          Box(8, 42, 113, 220), L"曲");
  // The closed box is 20 pixels high, as the panel was laid out for.
  SendMessageW(songs, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Scale(14));
  SendMessageW(songs, CB_SETMINVISIBLE, 10, 0);

  AddControl(Control::TempoCaption, L"STATIC", L"早さ", SS_LEFT | SS_NOPREFIX, Box(256, 48, 24, 14));
  HWND tempo = AddControl(Control::TempoBar, TRACKBAR_CLASSW, L"早さ",
                          TBS_HORZ | TBS_TOP | TBS_AUTOTICKS | WS_TABSTOP, Box(280, 40, 89, 25), L"早さ");
  SendMessageW(tempo, TBM_SETRANGE, FALSE, MAKELPARAM(0, 10));
  SendMessageW(tempo, TBM_SETTICFREQ, 1, 0);
  SendMessageW(tempo, TBM_SETLINESIZE, 0, 1);
  SendMessageW(tempo, TBM_SETPAGESIZE, 0, 2);
  SendMessageW(tempo, TBM_SETPOS, TRUE, 5);
  controls_[Control::TempoBar].hint = L"自動演奏のテンポを調整します";
  AddHint(tempo, controls_[Control::TempoBar].hint);

  // Wide enough for the time in the font actually in use, with a pixel
  // between the digits and the frame on each side.
  const int clockWidth = std::max(33, TextWidth("00:00") + 2 * 1 + 2);
  AddControl(Control::RecordingClock, L"STATIC", L"00:00", SS_CENTER | SS_SUNKEN | SS_NOPREFIX,
             Box(376, 44, clockWidth, 16), L"演奏録音の時間");
}

void Win32Window::Place(HWND hwnd, const RECT& logical) const {
  SetWindowPos(hwnd, nullptr, Scale(logical.left), Scale(logical.top), Scale(logical.right - logical.left),
               Scale(logical.bottom - logical.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::ResizeClient(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  RECT frame{0, 0, Scale(width), Scale(height)};
  AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, 0, dpi_);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  fonts_.Make(dpi_);
  for (auto& [control, info] : controls_) {
    if (info.hwnd == nullptr) continue;
    SendMessageW(info.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.ui()), FALSE);
    Place(info.hwnd, info.logical);
  }
  SendMessageW(controls_[Control::SongBox].hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Scale(14));
  Place(midiLight_, Box(468, 16, 9, 9));
  Place(panicButton_, Box(491, 40, 35, 25));
  SendMessageW(panicButton_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.ui()), FALSE);
  for (KeyInfo& key : keys_) {
    if (key.hwnd != nullptr) Place(key.hwnd, key.logical);
  }
  ResizeClient(clientWidth_, clientHeight_);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

HWND Win32Window::ControlWindow(Control control) const {
  const auto it = controls_.find(control);
  if (control == Control::ControlPanel) return hwnd_;
  return it == controls_.end() ? nullptr : it->second.hwnd;
}

Control Win32Window::ControlOfWindow(HWND hwnd) const {
  for (const auto& [control, info] : controls_) {
    if (info.hwnd == hwnd) return control;
  }
  return Control::ControlPanel;
}

void Win32Window::StartTimer() {
  timerRunning_ = SetTimer(hwnd_, kTimerId, 250, nullptr) != 0;
}

void Win32Window::StopTimer() {
  if (timerRunning_) KillTimer(hwnd_, kTimerId);
  timerRunning_ = false;
}

void Win32Window::ShowCentred() {
  RECT frame{};
  GetWindowRect(hwnd_, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
}

void Win32Window::BringToFront() {
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  ShowWindow(hwnd_, SW_SHOW);
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(hwnd_);
}

// ---- View: start-up frame ----

void Win32Window::ShowSplash() {
  if (splash_ == nullptr) splash_ = ShowSplashWindow(instance_, fonts_.ui());
}

void Win32Window::FreeSplash() {
  if (splash_ != nullptr) DestroyWindow(splash_);
  splash_ = nullptr;
}

void Win32Window::SetWindowCaption(const std::string& text) { SetWindowTextW(hwnd_, Wide(text).c_str()); }

void Win32Window::SetPanelWidth(int width) {
  panelWidth_ = width;
  controls_[Control::ControlPanel].logical.right = width;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Window::SetClientWidth(int width) { ResizeClient(width, clientHeight_); }

void Win32Window::SetClientHeight(int height) { ResizeClient(clientWidth_, height); }

// ---- View: controls ----

void Win32Window::SetStatusText(const std::string& text) { SetControlText(Control::StatusLine, text); }

void Win32Window::SetControlText(Control control, const std::string& text) {
  HWND child = ControlWindow(control);
  if (child == nullptr || child == hwnd_) return;
  const std::wstring shown = Wide(text);
  wchar_t current[512];
  const int length = GetWindowTextW(child, current, 512);
  if (shown == std::wstring(current, static_cast<std::size_t>(length))) return;
  SetWindowTextW(child, shown.c_str());
  if (control == Control::StatusLine || control == Control::RecordingClock) {
    // The news reach assistive technology as a change of the control's name.
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, child, OBJID_CLIENT, CHILDID_SELF);
  }
  // The two unused labels show nothing: emptied, they leave the window.
  if (control == Control::BlankLabelLeft || control == Control::BlankLabelRight) {
    ShowWindow(child, shown.empty() ? SW_HIDE : SW_SHOW);
  }
  InvalidateRect(child, nullptr, TRUE);
}

void Win32Window::SetControlHint(Control control, const std::string& hint) {
  HWND child = ControlWindow(control);
  if (child == nullptr || child == hwnd_) return;
  controls_[control].hint = Wide(hint);
  AddHint(child, controls_[control].hint);
}

void Win32Window::SetControlEnabled(Control control, bool enabled) {
  HWND child = ControlWindow(control);
  if (child != nullptr && child != hwnd_) EnableWindow(child, enabled ? TRUE : FALSE);
}

void Win32Window::SetButtonGlyph(Control control, Glyph glyph) {
  auto it = controls_.find(control);
  if (it == controls_.end() || it->second.panelGlyph < 0) return;
  it->second.glyph = glyph;
  it->second.panelGlyph = static_cast<int>(PanelGlyphOf(glyph));
  InvalidateRect(it->second.hwnd, nullptr, TRUE);
}

int Win32Window::ControlWidth(Control control) {
  const auto it = controls_.find(control);
  return it == controls_.end() ? 0 : static_cast<int>(it->second.logical.right - it->second.logical.left);
}

void Win32Window::RepaintNow() { RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN); }

void Win32Window::FocusPanel() { SetFocus(hwnd_); }

int Win32Window::TempoPosition() {
  return static_cast<int>(SendMessageW(controls_[Control::TempoBar].hwnd, TBM_GETPOS, 0, 0));
}

// ---- View: song list ----

void Win32Window::AddSongItem(const std::string& text) {
  SendMessageW(controls_[Control::SongBox].hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void Win32Window::SetSongItem(int index, const std::string& text) {
  HWND songs = controls_[Control::SongBox].hwnd;
  if (index < 0 || index >= SongItemCount()) return;
  const int selected = SelectedSong();
  SendMessageW(songs, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
  SendMessageW(songs, CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(Wide(text).c_str()));
  if (selected >= 0) SendMessageW(songs, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int Win32Window::SongItemCount() {
  return static_cast<int>(SendMessageW(controls_[Control::SongBox].hwnd, CB_GETCOUNT, 0, 0));
}

std::string Win32Window::SongItem(int index) {
  HWND songs = controls_[Control::SongBox].hwnd;
  if (index < 0 || index >= SongItemCount()) return {};
  const auto length = SendMessageW(songs, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(songs, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return Utf8(text);
}

void Win32Window::SelectSong(int index) {
  SendMessageW(controls_[Control::SongBox].hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32Window::SelectedSong() {
  return static_cast<int>(SendMessageW(controls_[Control::SongBox].hwnd, CB_GETCURSEL, 0, 0));
}

void Win32Window::SetSongDroppedWidth(int width) {
  SendMessageW(controls_[Control::SongBox].hwnd, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(Scale(width)), 0);
}

int Win32Window::TextWidth(const std::string& text) {
  const std::wstring wide = Wide(text);
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, fonts_.measure());
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  return size.cx;
}

// ---- View: boxes ----

void Win32Window::ShowError(const std::string& message) {
  MessageBoxW(hwnd_, Wide(message).c_str(), L"エラー", MB_OK | MB_ICONERROR);
}

void Win32Window::ShowApplicationError(const std::string& message) {
  MessageBoxW(hwnd_, Wide(message).c_str(), L"Tonefield", MB_OK | MB_ICONERROR);
}

void Win32Window::ShowAboutBox() { RunAboutBox(instance_, hwnd_, fonts_.ui(), dpi_); }

// ---- Messages ----

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<Win32Window*>(create->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK Win32Window::FlatButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR data) {
  auto* self = reinterpret_cast<Win32Window*>(data);
  if (message == WM_MOUSEMOVE && self->hotButton_ != hwnd) {
    if (self->hotButton_ != nullptr) InvalidateRect(self->hotButton_, nullptr, FALSE);
    self->hotButton_ = hwnd;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = hwnd;
    TrackMouseEvent(&track);
    InvalidateRect(hwnd, nullptr, FALSE);
  } else if (message == WM_MOUSELEAVE && self->hotButton_ == hwnd) {
    self->hotButton_ = nullptr;
    InvalidateRect(hwnd, nullptr, FALSE);
  } else if (message == WM_SETFOCUS && GetKeyState(VK_LBUTTON) < 0) {
    // A click does not move the focus to a button (a Space after a click
    // must not press it again); Tab still reaches it. The focus goes back
    // where it was once the click is done.
    self->focusBeforeClick_ = reinterpret_cast<HWND>(wParam);
    if (self->focusBeforeClick_ == nullptr) self->focusBeforeClick_ = self->hwnd_;
  } else if (message == WM_LBUTTONUP) {
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);  // the click runs here
    HWND back = std::exchange(self->focusBeforeClick_, nullptr);
    if (back != nullptr && IsWindow(back) && GetFocus() == hwnd) SetFocus(back);
    return result;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

void Win32Window::DrawFlatButton(const DRAWITEMSTRUCT& item) {
  const bool panic = item.hwndItem == panicButton_;
  const int panelGlyph = panic ? -1 : controls_[ControlOfWindow(item.hwndItem)].panelGlyph;
  wchar_t caption[128];
  const int length = GetWindowTextW(item.hwndItem, caption, 128);
  FlatButtonLook look;
  look.pressed = (item.itemState & ODS_SELECTED) != 0;
  look.enabled = (item.itemState & ODS_DISABLED) == 0;
  look.focused = (item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0;
  look.hot = hotButton_ == item.hwndItem;
  tonefield::DrawFlatButton(item.hDC, item.rcItem, std::wstring(caption, static_cast<std::size_t>(length)),
                            panelGlyph, fonts_.ui(), look, static_cast<int>(dpi_));
}

void Win32Window::PaintPanel(HDC dc) {
  RECT panel{0, 0, Scale(panelWidth_), Scale(kPanelHeight)};
  FillRect(dc, &panel, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &panel, BDR_RAISEDINNER, BF_RECT);
}

void Win32Window::OnCommand(WPARAM wParam, LPARAM) {
  if (!Live()) return;
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  const auto control = static_cast<Control>(id - kControlIdBase);
  if (control == Control::SongBox) {
    if (code == CBN_SELCHANGE) handlers_->OnSongChanged();
    // Leaving the list by Tab moves on in the Tab order on purpose.
    if (code == CBN_KILLFOCUS && GetKeyState(VK_TAB) >= 0) handlers_->OnSongListLeft();
    return;
  }
  if (code != BN_CLICKED) return;
  if (id == kPanicButtonId) {
    handlers_->OnPanicClicked();
    return;
  }
  switch (control) {
    case Control::OpenWaveButton: handlers_->OnOpenWaveClicked(); break;
    case Control::SaveSampleButton: handlers_->OnSaveSampleClicked(); break;
    case Control::RecordSampleButton: handlers_->OnRecordSampleClicked(); break;
    case Control::InputVolumeButton: handlers_->OnInputVolumeClicked(); break;
    case Control::OutputVolumeButton: handlers_->OnOutputVolumeClicked(); break;
    case Control::OpenScoreButton: handlers_->OnOpenScoreClicked(); break;
    case Control::PlayButton: handlers_->OnPlayClicked(); break;
    case Control::RecordPerformanceButton: handlers_->OnRecordPerformanceClicked(); break;
    case Control::AboutButton: handlers_->OnAboutClicked(); break;
    case Control::QuitButton: handlers_->OnQuitClicked(); break;
    default: break;
  }
}

void Win32Window::OnClose() {
  if (closed_) return;
  if (handlers_ != nullptr) {
    bool canClose = true;
    handlers_->OnCloseRequested(canClose);
    if (!canClose) return;
  }
  closed_ = true;
  StopTimer();
  if (handlers_ != nullptr) handlers_->Shutdown();
  ShowWindow(hwnd_, SW_HIDE);
  PostQuitMessage(0);
}

void Win32Window::RequestClose() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

LRESULT Win32Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == raiseMessage_ && raiseMessage_ != 0) {
    BringToFront();
    return 1;
  }
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      PaintPanel(dc);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (reinterpret_cast<HWND>(lParam) == controls_[Control::StatusLine].hwnd) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, kLime);
        static HBRUSH lime = CreateSolidBrush(kLime);
        return reinterpret_cast<LRESULT>(lime);
      }
      if (reinterpret_cast<HWND>(lParam) == midiLight_) {
        static HBRUSH on = CreateSolidBrush(kLime);
        static HBRUSH off = CreateSolidBrush(RGB(0x40, 0x60, 0x40));
        return reinterpret_cast<LRESULT>(midiLightLit_ ? on : off);
      }
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DRAWITEM:
      DrawFlatButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == controls_[Control::TempoBar].hwnd) {
        const int position = TempoPosition();
        if (position != lastTempo_) {
          lastTempo_ = position;
          if (Live()) handlers_->OnTempoChanged();
        }
      }
      return 0;
    case WM_TIMER:
      if (wParam == kTimerId && Live()) handlers_->OnTimerTick();
      return 0;
    case kDeviceNewsMessage:
      if (onNews_ != nullptr) onNews_(newsContext_);
      return 0;
    case WM_COPYDATA: {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (copy == nullptr || copy->dwData != kOpenFileCopyTag || copy->cbData == 0 || copy->cbData > 65536) return FALSE;
      // Opened after the sender has its answer: a message box of the loader
      // must not keep the second start waiting.
      handedFiles_.emplace_back(static_cast<const char*>(copy->lpData), copy->cbData);
      PostMessageW(hwnd_, kOpenHandedFileMessage, 0, 0);
      return TRUE;
    }
    case kOpenHandedFileMessage:
      if (!handedFiles_.empty()) {
        const std::string path = std::move(handedFiles_.front());
        handedFiles_.pop_front();
        if (onOpenFile_ && Live()) onOpenFile_(path);
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) heldByEvents_.reset();
      else RelabelKeys();  // the layout may have changed meanwhile
      break;
    case WM_INPUTLANGCHANGE:
      RelabelKeys();
      break;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      ApplyDpi(HIWORD(wParam));
      return 0;
    }
    case WM_GETOBJECT:
      break;
    case WM_CLOSE:
      OnClose();
      return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace tonefield
