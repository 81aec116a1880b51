// Runs a check as a user who may not write a folder but may write the files
// in it that everyone may write. As root (who may write anything) the check
// runs in a child process under the unprivileged ids 65534, the folder
// staying root's and opened for reading; otherwise it runs here, with the
// folder's write permission taken away for the call.
#pragma once

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
