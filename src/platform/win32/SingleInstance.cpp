#include "platform/win32/SingleInstance.h"

#include "platform/win32/Win32Window.h"

namespace tonefield {

SingleInstance::SingleInstance(std::wstring name) : name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

namespace {

std::wstring MutexName(std::wstring name) {
  // Backslashes are not allowed in the name after the namespace.
  for (wchar_t& c : name) {
    if (c == L'\\') c = L'_';
  }
  return L"Local\\" + name;
}

}  // namespace

bool SingleInstance::IsRunning(const std::wstring& name) {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, MutexName(name).c_str());
  if (mutex == nullptr) return false;
  CloseHandle(mutex);
  return true;
}

bool SingleInstance::Acquire() {
  mutex_ = CreateMutexW(nullptr, FALSE, MutexName(name_).c_str());
  if (mutex_ == nullptr) return true;  // no guard to be had: run rather than refuse
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex_);
    mutex_ = nullptr;
    return false;
  }
  return true;
}

bool SingleInstance::RaiseRunningInstance(const std::string& file) {
  // The first instance may still be starting: its window shows up soon.
  for (int attempt = 0; attempt < 50; ++attempt) {
    HWND window = FindWindowW(kMainWindowClass, nullptr);
    if (window != nullptr) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
      // This process was just started by the user and may hand over the foreground.
      AllowSetForegroundWindow(process);
      const UINT raise = RegisterWindowMessageW(kRaiseMessageName);
      DWORD_PTR answer = 0;
      SendMessageTimeoutW(window, raise, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
      if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
      SetForegroundWindow(window);
      // The file goes over once the window is up again: loading it keeps that window busy for a while.
      bool handed = true;
      if (!file.empty()) {
        COPYDATASTRUCT copy{kOpenFileCopyTag, static_cast<DWORD>(file.size()), const_cast<char*>(file.data())};
        handed = SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, 5000,
                                     &answer) != 0 &&
                 answer == TRUE;
      }
      return handed;
    }
    Sleep(100);
  }
  return false;
}

}  // namespace tonefield
