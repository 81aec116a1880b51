// The main window on Windows: a fixed-size Win32 window that draws what the
// core's View calls say, offers the desktop services of Host, and passes
// every event (clicks, key strokes as virtual-key codes of the physical key,
// mouse on the keys, the 250 ms timer, close requests) to the
// WindowHandlers. It decides nothing itself. Geometry is given in pixels at
// 96 dpi, as the core computes it, and scaled to the monitor's dpi.
#pragma once

#include <windows.h>

#include <array>
#include <bitset>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "app/Host.h"
#include "app/View.h"
#include "platform/win32/Win32Fonts.h"

namespace tonefield {

class WindowHandlers;

inline constexpr wchar_t kMainWindowClass[] = L"TonefieldMainWindow";
// Registered message a second start sends to bring the first one forward.
inline constexpr wchar_t kRaiseMessageName[] = L"Tonefield.RaiseWindow";
// Posted to the window when a sound device has news for the GUI thread.
inline constexpr UINT kDeviceNewsMessage = WM_APP + 1;
// Posted to itself when a second start has handed over a file to open.
inline constexpr UINT kOpenHandedFileMessage = WM_APP + 2;
// The WM_COPYDATA tag of a file handed over by a second start: its full
// path in UTF-8, without a terminating zero.
inline constexpr ULONG_PTR kOpenFileCopyTag = 0x546F4F46;  // "ToOF"
// Child ids: 100 + Control for the core's controls, these for the MIDI
// controls, 1000 + key for the piano keys.
inline constexpr int kPanicButtonId = 150;
inline constexpr int kMidiLightId = 151;

class Win32Window final : public View, public Host {
 public:
  explicit Win32Window(HINSTANCE instance);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Registers the classes and makes the (hidden) window with its panel.
  bool Create();
  HWND hwnd() const { return hwnd_; }
  void SetHandlers(WindowHandlers* handlers) { handlers_ = handlers; }
  // Runs on the GUI thread whenever kDeviceNewsMessage arrives.
  void SetOnDeviceNews(void (*onNews)(void*), void* context) {
    onNews_ = onNews;
    newsContext_ = context;
  }
  // Runs on the GUI thread for each file a second start hands over.
  void SetOnOpenFile(std::function<void(const std::string&)> onOpenFile) { onOpenFile_ = std::move(onOpenFile); }
  void StartTimer();
  void StopTimer();
  void ShowCentred();
  void BringToFront();
  // Key preview for the message loop: the window sees every stroke before
  // the focused control. True when the core consumed it.
  bool PreviewMessage(const MSG& message);
  // The virtual-key code of the physical key behind a WM_KEYDOWN/UP.
  static int VirtualKeyOf(WPARAM wParam, LPARAM lParam);

  // View
  void ShowSplash() override;
  void FreeSplash() override;
  void SetWindowCaption(const std::string& text) override;
  void CreateKeyButton(const KeyButtonSpec& keyButton) override;
  void RaiseBlackKeysThenPanel() override;
  int PanelHeight() override { return kPanelHeight; }
  void SetPanelWidth(int width) override;
  void SetClientWidth(int width) override;
  void SetClientHeight(int height) override;
  void SetStatusText(const std::string& text) override;
  void SetControlText(Control control, const std::string& text) override;
  void SetControlHint(Control control, const std::string& hint) override;
  void SetControlEnabled(Control control, bool enabled) override;
  void SetButtonGlyph(Control control, Glyph glyph) override;
  int ControlWidth(Control control) override;
  void RepaintNow() override;
  void FocusPanel() override;
  int TempoPosition() override;
  void SetKeyColour(int key, Colour colour) override;
  bool IsKeyDrawnPressed(int key) override;
  void AddSongItem(const std::string& text) override;
  void SetSongItem(int index, const std::string& text) override;
  int SongItemCount() override;
  std::string SongItem(int index) override;
  void SelectSong(int index) override;
  int SelectedSong() override;
  void SetSongDroppedWidth(int width) override;
  int TextWidth(const std::string& text) override;
  void ShowError(const std::string& message) override;
  void ShowApplicationError(const std::string& message) override;
  void ShowAboutBox() override;

  // Host
  std::string ExecutableDir() override;
  bool IsFolderWritable(const std::string& folder) override;
  std::string MusicDir() override;
  LocalTime Now() override;
  std::optional<std::string> RunOpenDialog(const FileDialogRequest& request) override;
  std::optional<std::string> RunSaveDialog(const FileDialogRequest& request) override;
  bool IsKeyHeld(int virtualKey) override;
  LaunchResult StartVolumeControl(bool recordingView) override;
  void RequestClose() override;

  // The MIDI activity light (in the gap of the panel's first row) and the
  // panic button 消音 (in the gap of its second row): neither moves a control.
  void SetMidiLight(bool lit);
  bool MidiLightLit() const { return midiLightLit_; }
  // What MIDI does, in the light's hint and for screen readers.
  void SetMidiDescription(const std::string& text);

  // For the front-end's own tests and the accessibility layer.
  HWND ControlWindow(Control control) const;
  HWND KeyWindow(int key) const;
  const std::wstring& KeyLabel(int key) const { return keys_[static_cast<std::size_t>(key)].label; }
  const Win32Fonts& fonts() const { return fonts_; }

  static constexpr int kPanelHeight = 73;
  static constexpr int kKeyCount = 36;

 private:
  struct ControlInfo {
    HWND hwnd = nullptr;
    RECT logical{};  // at 96 dpi
    std::wstring hint;
    Glyph glyph = Glyph::Play;
    int panelGlyph = -1;  // PanelGlyph of a flat button, -1 for other controls
  };
  struct KeyInfo {
    HWND hwnd = nullptr;
    RECT logical{};
    Colour colour = kColourWhite;
    Colour fontColour = kColourBlack;
    std::wstring ownLabel;  // the caption the key was created with
    std::wstring label;     // what it shows: the layout's character, else its own
    bool black = false;
    bool pressed = false;  // the mouse holds it down
    bool drawnPressed = false;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK KeyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK FlatButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleKeyMessage(int key, UINT message, WPARAM wParam, LPARAM lParam);
  bool Live() const { return handlers_ != nullptr && !closed_; }
  int Scale(int logical) const { return MulDiv(logical, static_cast<int>(dpi_), 96); }
  void Place(HWND hwnd, const RECT& logical) const;
  void ApplyDpi(UINT dpi);
  void BuildPanel();
  void BuildMidiControls();
  HWND AddControl(Control control, const wchar_t* className, const wchar_t* text, DWORD style, RECT logical,
                  const wchar_t* accessibleName = nullptr);
  void AddHint(HWND control, const std::wstring& hint);
  void OnCommand(WPARAM wParam, LPARAM lParam);
  void OnClose();
  void PaintPanel(HDC dc);
  void DrawFlatButton(const DRAWITEMSTRUCT& item);
  void PaintKey(int key, HDC dc);
  void RelabelKeys();
  void ResizeClient(int width, int height);
  Control ControlOfWindow(HWND hwnd) const;

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND splash_ = nullptr;
  WindowHandlers* handlers_ = nullptr;
  void (*onNews_)(void*) = nullptr;
  std::function<void(const std::string&)> onOpenFile_;
  std::deque<std::string> handedFiles_;  // handed over, opened once the sender has been answered
  void* newsContext_ = nullptr;
  std::map<Control, ControlInfo> controls_;
  std::array<KeyInfo, kKeyCount> keys_{};
  Win32Fonts fonts_;
  UINT dpi_ = 96;
  int clientWidth_ = 630;   // at 96 dpi
  int clientHeight_ = 223;
  int panelWidth_ = 630;
  int lastTempo_ = 5;
  HWND hotButton_ = nullptr;
  HWND focusBeforeClick_ = nullptr;  // where the focus was when a button was clicked
  UINT raiseMessage_ = 0;
  bool closed_ = false;
  bool timerRunning_ = false;
  HWND midiLight_ = nullptr;
  HWND panicButton_ = nullptr;
  std::wstring panicHint_ = L"すべての音を止めます（Esc）";
  std::wstring midiHint_;
  bool midiLightLit_ = false;
  std::bitset<256> heldByEvents_;  // keys seen down, for a layout that maps no key
};

}  // namespace tonefield
