// Runs a check as a user who may not write a folder but may write the files
// in it that everyone may write. As root (who may write anything) the check
// runs in a child process under the unprivileged ids 65534, the folder
// staying root's and opened for reading; otherwise it runs here, with the
// folder's write permission taken away for the call.
//
// Windows keeps a folder's write right in its access list, which wine, where
// the Windows tests run, does not enforce: those tests skip with
// kFolderWriteAccessOnWindows as the reason, and this is POSIX only.
#pragma once

namespace tonefield::testing {
inline constexpr const char* kFolderWriteAccessOnWindows =
    "a folder's write right is in its access list, which wine does not enforce";
}  // namespace tonefield::testing

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace tonefield::testing {

inline bool RunWithoutWriteAccessTo(const std::filesystem::path& folder, const std::function<bool()>& check) {
  if (::geteuid() != 0) {
    ::chmod(folder.c_str(), 0555);
    const bool ok = check();
    ::chmod(folder.c_str(), 0755);
    return ok;
  }
  ::chmod(folder.c_str(), 0755);
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
    ::_exit(dropped && check() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tonefield::testing
#endif
