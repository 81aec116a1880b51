// What the tests need from the system, the same on Linux and Windows:
// fresh temporary folders, a process id for unique names, write protection
// (a mode on POSIX, the read-only attribute on Windows) and the skip of a
// test whose behaviour does not exist on Windows, with the reason.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/Utf8Path.h"

namespace tonefield::testing {

#ifdef _WIN32
inline constexpr bool kOnWindows = true;
#else
inline constexpr bool kOnWindows = false;
#endif

// Skips the test on Windows, saying why the behaviour does not exist there.
#define TONEFIELD_SKIP_ON_WINDOWS(reason) \
  do {                                    \
    if (::tonefield::testing::kOnWindows) GTEST_SKIP() << "not on Windows: " << (reason); \
  } while (false)

inline std::string ProcessIdText() {
#ifdef _WIN32
  return std::to_string(GetCurrentProcessId());
#else
  return std::to_string(::getpid());
#endif
}

// A folder under the system's temporary folder that did not exist before.
inline std::filesystem::path MakeFreshTempFolder(std::string_view prefix) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        base / (std::string(prefix) + ProcessIdText() + "-" + std::to_string(random() % 1000000000u));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) return candidate;
  }
  throw std::runtime_error("no fresh temporary folder");
}

// Takes away or gives back the right to write the file: mode 0444 (or
// writable, given mode) on POSIX, the read-only attribute on Windows.
inline bool MakeReadOnly(const std::filesystem::path& file) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(file.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && SetFileAttributesW(file.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
#else
  return ::chmod(file.c_str(), 0444) == 0;
#endif
}

inline bool MakeWritable(const std::filesystem::path& file, [[maybe_unused]] unsigned mode = 0644) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(file.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesW(file.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
#else
  return ::chmod(file.c_str(), static_cast<mode_t>(mode)) == 0;
#endif
}

// True when the file may be written (not read-only / has a write bit).
inline bool IsWritable(const std::filesystem::path& file) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(file.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
#else
  struct stat info {};
  return ::stat(file.c_str(), &info) == 0 && (info.st_mode & 0222) != 0;
#endif
}

// The number of names the file has. std::filesystem::hard_link_count says 1
// for every file on Windows (the C runtime's stat knows no links).
inline std::uintmax_t HardLinkCount(const std::filesystem::path& file) {
#ifdef _WIN32
  HANDLE handle = CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return known ? info.nNumberOfLinks : 0;
#else
  std::error_code ec;
  const std::uintmax_t count = std::filesystem::hard_link_count(file, ec);
  return ec ? 0 : count;
#endif
}

}  // namespace tonefield::testing
