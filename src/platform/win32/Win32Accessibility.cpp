#include "platform/win32/Win32Accessibility.h"

#include <initguid.h>
#include <oleacc.h>

namespace tonefield {

namespace {

IAccPropServices* services = nullptr;
bool triedServices = false;

IAccPropServices* Services() {
  if (!triedServices) {
    triedServices = true;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&services)))) {
      services = nullptr;
    }
  }
  return services;
}

void SetProperty(HWND control, const MSAAPROPID& property, const std::wstring& text) {
  if (IAccPropServices* accessible = Services()) {
    accessible->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, property, text.c_str());
  }
}

}  // namespace

void SetAccessibleName(HWND control, const std::wstring& name) { SetProperty(control, PROPID_ACC_NAME, name); }

void SetAccessibleDescription(HWND control, const std::wstring& description) {
  SetProperty(control, PROPID_ACC_DESCRIPTION, description);
}

std::wstring KeyNoteName(int key) {
  static constexpr const wchar_t* kNoteNames[12] = {L"ド", L"ド♯", L"レ", L"レ♯", L"ミ", L"ファ",
                                                    L"ファ♯", L"ソ", L"ソ♯", L"ラ", L"ラ♯", L"シ"};
  constexpr int kLowestOctave = 3;
  if (key < 0) return {};
  return std::wstring(kNoteNames[key % 12]) + L" " + std::to_wstring(kLowestOctave + key / 12);
}

void ReleaseAccessibility() {
  if (services != nullptr) services->Release();
  services = nullptr;
}

}  // namespace tonefield
