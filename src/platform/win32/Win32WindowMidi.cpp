// The window's MIDI controls: a small light that flashes while MIDI notes
// come in, and the panic button 消音 that ends every note. Both sit in gaps
// the panel's rows leave, so no control of the panel moves.
#include "platform/win32/Win32Window.h"

#include <commctrl.h>

#include "platform/win32/Win32Accessibility.h"
#include "platform/win32/WideText.h"

namespace tonefield {

namespace {

RECT Box(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

}  // namespace

void Win32Window::BuildMidiControls() {
  // Between the sample recording button (ends at 465) and the input volume button (starts at 480).
  midiLight_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_SUNKEN | SS_NOTIFY, 0, 0, 0, 0, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMidiLightId)), instance_, nullptr);
  Place(midiLight_, Box(468, 16, 9, 9));
  SetAccessibleName(midiLight_, L"MIDI");
  SetMidiDescription("MIDI: オフ");
  // Between the performance recording button (ends at 489) and About (starts at 528).
  panicButton_ = CreateWindowExW(0, WC_BUTTONW, L"消音", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 0,
                                 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPanicButtonId)), instance_,
                                 nullptr);
  SendMessageW(panicButton_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.ui()), FALSE);
  Place(panicButton_, Box(491, 40, 35, 25));
  SetWindowSubclass(panicButton_, &Win32Window::FlatButtonProc, 1, reinterpret_cast<DWORD_PTR>(this));
  AddHint(panicButton_, panicHint_);
  SetAccessibleDescription(panicButton_, panicHint_);
}

void Win32Window::SetMidiLight(bool lit) {
  midiLightLit_ = lit;
  InvalidateRect(midiLight_, nullptr, TRUE);
}

void Win32Window::SetMidiDescription(const std::string& text) {
  midiHint_ = Wide(text);
  AddHint(midiLight_, midiHint_);
  SetAccessibleDescription(midiLight_, midiHint_);
}

}  // namespace tonefield
