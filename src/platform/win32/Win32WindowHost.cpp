// The desktop services the core asks the main window for.
#include "platform/win32/Win32Window.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>

#include "common/Win32FileName.h"
#include "common/Utf8Path.h"
#include "platform/win32/WideText.h"

namespace tonefield {

namespace {

std::string WithSeparator(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return Utf8(folder);
}

std::wstring KnownFolder(const KNOWNFOLDERID& id) {
  wchar_t* path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path != nullptr) folder = path;
  CoTaskMemFree(path);
  return folder;
}

template <typename T>
class ComPointer {
 public:
  ComPointer() = default;
  ~ComPointer() {
    if (p_ != nullptr) p_->Release();
  }
  ComPointer(const ComPointer&) = delete;
  ComPointer& operator=(const ComPointer&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// "description|pattern" in two parts; a filter without a bar is its own pattern.
std::pair<std::wstring, std::wstring> SplitFilter(const std::string& filter) {
  const std::size_t bar = filter.find('|');
  if (bar == std::string::npos) return {Wide(filter), Wide(filter)};
  return {Wide(filter.substr(0, bar)), Wide(filter.substr(bar + 1))};
}

std::optional<std::string> RunDialog(HWND owner, const FileDialogRequest& request, bool save) {
  ComPointer<IFileDialog> dialog;
  const HRESULT made =
      save ? CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                              reinterpret_cast<void**>(dialog.out()))
           : CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              reinterpret_cast<void**>(dialog.out()));
  if (FAILED(made)) return std::nullopt;
  dialog->SetTitle(Wide(request.title).c_str());
  const auto [description, pattern] = SplitFilter(request.filter);
  const COMDLG_FILTERSPEC fileType{description.c_str(), pattern.c_str()};
  if (!request.filter.empty()) dialog->SetFileTypes(1, &fileType);
  if (!request.defaultExtension.empty()) dialog->SetDefaultExtension(Wide(request.defaultExtension).c_str());
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  options |= FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
  if (save) {
    options = request.confirmOverwrite ? (options | FOS_OVERWRITEPROMPT) : (options & ~FOS_OVERWRITEPROMPT);
  } else {
    options |= FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST;
  }
  dialog->SetOptions(options);
  // The core's folder when it gives one, else the user's music (samples)
  // or documents (scores) folder.
  std::wstring start = Wide(request.initialDir);
  if (start.empty()) start = KnownFolder(request.defaultExtension == "wav" ? FOLDERID_Music : FOLDERID_Documents);
  ComPointer<IShellItem> folder;
  if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(start.c_str(), nullptr, IID_IShellItem,
                                                               reinterpret_cast<void**>(folder.out())))) {
    dialog->SetFolder(folder.get());
  }
  if (dialog->Show(owner) != S_OK) return std::nullopt;
  ComPointer<IShellItem> chosen;
  if (FAILED(dialog->GetResult(chosen.out()))) return std::nullopt;
  wchar_t* path = nullptr;
  if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) || path == nullptr) return std::nullopt;
  std::string result = Utf8(path);
  CoTaskMemFree(path);
  return result;
}

}  // namespace

std::string Win32Window::ExecutableDir() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  const std::size_t slash = path.find_last_of(L"\\/");
  return WithSeparator(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}

bool Win32Window::IsFolderWritable(const std::string& folder) {
  // Creating a file is the only answer that holds for read-only media,
  // access lists and the protected program folders alike.
  const std::filesystem::path probe = PathFromUtf8(folder) / L".tonefield-probe.tmp";
  HANDLE file = CreateFileW(Win32FileName(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::string Win32Window::MusicDir() {
  std::wstring folder = KnownFolder(FOLDERID_Music);
  if (folder.empty()) folder = KnownFolder(FOLDERID_Documents);
  return WithSeparator(folder);
}

LocalTime Win32Window::Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::optional<std::string> Win32Window::RunOpenDialog(const FileDialogRequest& request) {
  return RunDialog(hwnd_, request, false);
}

std::optional<std::string> Win32Window::RunSaveDialog(const FileDialogRequest& request) {
  return RunDialog(hwnd_, request, true);
}

LaunchResult Win32Window::StartVolumeControl(bool recordingView) {
  // Windows' own mixer for playback; recording levels live on the sound
  // control panel's recording tab.
  const wchar_t* program = recordingView ? L"control.exe" : L"sndvol.exe";
  std::wstring commandLine = recordingView ? L"control.exe mmsys.cpl,,1" : L"sndvol.exe";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return LaunchResult{};
  }
  return LaunchResult{false, Utf8(program), Win32ErrorText(GetLastError())};
}

}  // namespace tonefield
