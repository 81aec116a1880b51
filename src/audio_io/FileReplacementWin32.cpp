#include <windows.h>

#include <array>
#include <string>
#include <system_error>

#include "audio_io/FileReplacement.h"
#include "common/Win32FileName.h"

namespace tonefield {

namespace fs = std::filesystem;

namespace {

// Closes a handle on every way out.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenExisting(const fs::path& path, DWORD access) {
  return CreateFileW(Win32FileName(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// Whether a new file can be made in folder: a file is created there and
// removed again at once (the access list decides, which no attribute shows).
bool MayCreateIn(const fs::path& folder) {
  const fs::path probe = folder / (L".tonefield-probe-" + std::to_wstring(GetCurrentProcessId()));
  Handle handle(CreateFileW(Win32FileName(probe).c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return handle.valid();
}

bool WriteAll(HANDLE handle, const std::uint8_t* bytes, DWORD count) {
  while (count > 0) {
    DWORD put = 0;
    if (!WriteFile(handle, bytes, count, &put, nullptr) || put == 0) return false;
    bytes += put;
    count -= put;
  }
  return true;
}

bool SetLength(HANDLE handle, LONGLONG size) {
  LARGE_INTEGER at;
  at.QuadPart = size;
  return SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

ReplaceOutcome CopyInPlace(const fs::path& temporary, const fs::path& target) {
  Handle source(OpenExisting(temporary, GENERIC_READ));
  // Opened without truncation: until the new content is known to fit, the
  // old one stays as it is.
  Handle sink(OpenExisting(target, GENERIC_WRITE));
  LARGE_INTEGER newSize{};
  LARGE_INTEGER oldSize{};
  if (!source.valid() || !sink.valid() || GetFileType(sink.get()) != FILE_TYPE_DISK ||
      !GetFileSizeEx(source.get(), &newSize) || !GetFileSizeEx(sink.get(), &oldSize)) {
    return ReplaceOutcome::kCannotOpen;
  }
  if (newSize.QuadPart > oldSize.QuadPart && !SetLength(sink.get(), newSize.QuadPart)) {
    // Back to the old length; the old content was not touched.
    SetLength(sink.get(), oldSize.QuadPart);
    return ReplaceOutcome::kWriteFailed;
  }
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(sink.get(), start, nullptr, FILE_BEGIN)) return ReplaceOutcome::kWriteFailed;
  std::array<std::uint8_t, 65536> buffer{};
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(source.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      return ReplaceOutcome::kWriteFailed;
    }
    if (got == 0) break;
    if (!WriteAll(sink.get(), buffer.data(), got)) return ReplaceOutcome::kWriteFailed;
  }
  if (!SetLength(sink.get(), newSize.QuadPart) || !FlushFileBuffers(sink.get()) || !sink.Close()) {
    return ReplaceOutcome::kWriteFailed;
  }
  source.Close();
  DeleteFileW(Win32FileName(temporary).c_str());
  return ReplaceOutcome::kDone;
}

}  // namespace

ReplacementPlan PlanReplacement(const fs::path& path) {
  ReplacementPlan plan;
  plan.target = FollowLink(path);
  const fs::path folder = FolderOf(plan.target);
  plan.temporaryFolder = folder;
  const std::wstring name = Win32FileName(plan.target);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // A new file: created beside its name, or refused there when it cannot be.
    const DWORD error = GetLastError();
    plan.allowed = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return plan;
  }
  plan.exists = true;
  // A read-only file is the write-protected file of Windows: refused, as an
  // open for writing would refuse it. So are folders, devices and pipes.
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return plan;
  Handle file(OpenExisting(plan.target, FILE_READ_ATTRIBUTES));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info)) {
    return plan;
  }
  plan.mode = info.dwFileAttributes;
  const bool folderWritable = MayCreateIn(folder);
  if (info.nNumberOfLinks > 1 || !folderWritable) {
    Handle writable(OpenExisting(plan.target, GENERIC_WRITE));
    if (!writable.valid()) return plan;
    plan.method = ReplaceMethod::kInPlace;
    if (!folderWritable) {
      // The new content is completed elsewhere before the target is touched.
      std::error_code ec;
      plan.temporaryFolder = fs::temp_directory_path(ec);
      if (ec) plan.temporaryFolder = folder;
    }
  }
  plan.allowed = true;
  return plan;
}

ReplaceOutcome CommitReplacement(const ReplacementPlan& plan, const fs::path& temporary) {
  if (!plan.allowed) return ReplaceOutcome::kCannotOpen;
  if (plan.method == ReplaceMethod::kInPlace) return CopyInPlace(temporary, plan.target);
  const std::wstring target = Win32FileName(plan.target);
  const std::wstring source = Win32FileName(temporary);
  // The attributes (hidden, archive, not indexed) are what Windows keeps of
  // a mode; given to the new file first, they hold whichever call below
  // puts it in place.
  constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                             FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (plan.exists && (plan.mode & kCarried) != 0) SetFileAttributesW(source.c_str(), plan.mode & kCarried);
  // ReplaceFileW gives the new file the old one's attributes and access
  // list, as the rename on POSIX systems keeps mode and group. Where it
  // cannot (another file system), a plain replacing move does.
  if (plan.exists &&
      ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    return ReplaceOutcome::kDone;
  }
  if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return ReplaceOutcome::kCannotOpen;
  }
  return ReplaceOutcome::kDone;
}

}  // namespace tonefield
