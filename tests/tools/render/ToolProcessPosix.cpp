// Starting the tool as a child process on POSIX systems (posix_spawn).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "ToolRunner.h"

extern char** environ;

namespace tonefield::testing {

namespace {

// Starts the tool in cwd with stdout and stderr going to the given files;
// the process id, or -1.
pid_t SpawnTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                const std::filesystem::path& outFile, const std::filesystem::path& errFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

  std::vector<std::string> argvStrings;
  argvStrings.push_back(TONEFIELD_RENDER_EXE);
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argvStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

ToolRun RunToolWritingTo(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                         const std::filesystem::path& outFile) {
  const std::filesystem::path errFile = cwd.parent_path() / (cwd.filename().string() + ".stderr");
  ToolRun run;
  const pid_t pid = SpawnTool(args, cwd, outFile, errFile);
  if (pid <= 0) {
    run.err = "spawn failed";
    return run;
  }
  const int status = WaitFor(pid);
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.err = ReadText(errFile);
  std::error_code ec;
  std::filesystem::remove(errFile, ec);
  return run;
}

ToolProcess::ToolProcess(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
  const pid_t pid = SpawnTool(args, cwd, "/dev/null", "/dev/null");
  process_ = pid > 0 ? pid : 0;
}

ToolProcess::~ToolProcess() {
  if (process_ != 0) {
    ::kill(static_cast<pid_t>(process_), SIGKILL);
    WaitFor(static_cast<pid_t>(process_));
  }
}

ToolProcess::Interrupted ToolProcess::InterruptAndWait() {
  if (process_ == 0) return Interrupted::kNotSent;
  const auto pid = static_cast<pid_t>(process_);
  process_ = 0;
  ::kill(pid, SIGINT);
  const int status = WaitFor(pid);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGINT ? Interrupted::kEndedByIt : Interrupted::kEndedOtherwise;
}

}  // namespace tonefield::testing
