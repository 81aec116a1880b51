#include <windows.h>

#include <array>
#include <cstring>

#include "PendingFiles.h"
#include "common/Win32FileName.h"

namespace tonefield {
namespace {

// Windows runs a console control handler on a thread of its own while the
// others go on, so the table is guarded by a lock: creating and registering
// a file hold it, and the handler takes it for good before it removes the
// files, so no file can be created after its sweep.
constexpr std::size_t kPendingSlots = 64;
constexpr std::size_t kPendingPathChars = 4096;
struct PendingSlot {
  bool used = false;
  wchar_t path[kPendingPathChars]{};
};
// Zero in the image: nothing touches a slot before it is claimed.
constinit std::array<PendingSlot, kPendingSlots> g_pending{};
SRWLOCK g_pendingLock = SRWLOCK_INIT;

BOOL WINAPI RemovePendingFiles(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      AcquireSRWLockExclusive(&g_pendingLock);  // never released: the process ends
      for (PendingSlot& slot : g_pending) {
        if (slot.used) DeleteFileW(slot.path);
      }
      return FALSE;  // on to the default handler, which ends the process
    default:
      return FALSE;
  }
}

void InstallInterruptCleanup() {
  static const bool installed = SetConsoleCtrlHandler(RemovePendingFiles, TRUE) != 0;
  (void)installed;
}

int RegisterPending(const std::wstring& name) {
  if (name.size() >= kPendingPathChars) return -1;
  for (std::size_t i = 0; i < kPendingSlots; ++i) {
    PendingSlot& slot = g_pending[i];
    if (slot.used) continue;
    std::memcpy(slot.path, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    slot.used = true;
    return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

PendingCreate CreatePendingFile(const std::filesystem::path& path, bool /*ownerOnly*/, int& slot) {
  // A new file inherits its folder's access list; the temporary folder is
  // the user's own on Windows, so ownerOnly needs nothing more.
  slot = -1;
  InstallInterruptCleanup();
  const std::wstring name = Win32FileName(path);
  AcquireSRWLockExclusive(&g_pendingLock);
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    slot = RegisterPending(name);
  }
  ReleaseSRWLockExclusive(&g_pendingLock);
  if (handle != INVALID_HANDLE_VALUE) return PendingCreate::kCreated;
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? PendingCreate::kNameTaken
                                                                      : PendingCreate::kFailed;
}

void ReleasePendingFile(int slot) {
  if (slot < 0) return;
  AcquireSRWLockExclusive(&g_pendingLock);
  g_pending[static_cast<std::size_t>(slot)].used = false;
  ReleaseSRWLockExclusive(&g_pendingLock);
}

std::string ProcessIdText() { return std::to_string(GetCurrentProcessId()); }

}  // namespace tonefield
