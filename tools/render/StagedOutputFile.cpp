#include "StagedOutputFile.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace tonefield {
namespace {

std::atomic<unsigned> g_stagedCounter{0};

// Temporary files still being written, so that an interrupted run (Ctrl+C,
// kill) removes them before it ends. A slot is claimed, then its path
// written, then marked ready; the signal handler reads only ready slots.
constexpr std::size_t kPendingSlots = 64;
constexpr std::size_t kPendingPathBytes = 4096;
struct PendingSlot {
  std::atomic<bool> claimed{false};
  std::atomic<bool> ready{false};
  char path[kPendingPathBytes]{};
};
// Zero in the image: nothing touches a slot before it is claimed.
constinit std::array<PendingSlot, kPendingSlots> g_pending{};

extern "C" void RemovePendingFilesAndExit(int signalNumber) {
  for (PendingSlot& slot : g_pending) {
    if (slot.ready.load()) ::unlink(slot.path);
  }
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

void InstallInterruptCleanup() {
  static const bool installed = [] {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction action {};
      action.sa_handler = RemovePendingFilesAndExit;
      sigemptyset(&action.sa_mask);
      ::sigaction(signalNumber, &action, nullptr);
    }
    return true;
  }();
  (void)installed;
}

// The slot holding path, or -1 when every slot is busy or the path too long
// (the file is then only removed on an orderly exit).
int RegisterPending(const std::filesystem::path& path) {
  const std::string& text = path.native();
  if (text.size() >= kPendingPathBytes) return -1;
  InstallInterruptCleanup();
  for (std::size_t i = 0; i < kPendingSlots; ++i) {
    PendingSlot& slot = g_pending[i];
    bool expected = false;
    if (!slot.claimed.compare_exchange_strong(expected, true)) continue;
    std::memcpy(slot.path, text.c_str(), text.size() + 1);
    slot.ready.store(true);
    return static_cast<int>(i);
  }
  return -1;
}

void ReleasePending(int slot) {
  if (slot < 0) return;
  PendingSlot& pending = g_pending[static_cast<std::size_t>(slot)];
  pending.ready.store(false);
  pending.claimed.store(false);
}

// Creates an empty file for the new content in the plan's temporary folder
// under a name no other file has; created tells whether that succeeded (if
// not, the path is still returned and the writer reports the failure).
std::filesystem::path CreateTemporary(const ReplacementPlan& plan, bool& created) {
  const std::string name = plan.target.filename().string();
  // Appended piecewise: GCC 12 warns falsely on "literal" + std::string at -O3.
  std::string stem = ".part-";
  stem += std::to_string(::getpid());
  stem += "-";
  // Beside the target the file gets the usual permissions of a new file;
  // in the shared temporary folder only its owner may read it.
  const bool beside = plan.temporaryFolder == plan.target.parent_path() ||
                      (plan.target.parent_path().empty() && plan.temporaryFolder == ".");
  const mode_t mode = beside ? 0666 : 0600;
  for (;;) {
    std::filesystem::path candidate =
        plan.temporaryFolder / TemporaryFileName(name, stem + std::to_string(g_stagedCounter.fetch_add(1)));
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0) {
      ::close(fd);
      created = true;
      return candidate;
    }
    if (errno != EEXIST) {
      created = false;
      return candidate;
    }
  }
}

// Creates the temporary file and registers it for removal with the
// interrupt signals held back in between, so a Ctrl+C can never find the
// file made but not yet registered.
std::filesystem::path CreateRegisteredTemporary(const ReplacementPlan& plan, bool& created, int& pendingSlot) {
  sigset_t interrupts;
  sigset_t previous;
  sigemptyset(&interrupts);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signalNumber);
  InstallInterruptCleanup();
  ::pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
  std::filesystem::path temporary = CreateTemporary(plan, created);
  if (created) pendingSlot = RegisterPending(temporary);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return temporary;
}

}  // namespace

bool StagedOutputFile::CanReplace(const std::filesystem::path& target) { return PlanReplacement(target).allowed; }

StagedOutputFile::StagedOutputFile(std::filesystem::path target)
    : plan_(PlanReplacement(target)),
      target_(plan_.target),
      temporary_(CreateRegisteredTemporary(plan_, created_, pendingSlot_)) {}

StagedOutputFile::StagedOutputFile(StagedOutputFile&& other) noexcept
    : plan_(std::move(other.plan_)),
      target_(std::move(other.target_)),
      created_(other.created_),
      pendingSlot_(other.pendingSlot_),
      temporary_(std::move(other.temporary_)),
      committed_(other.committed_) {
  other.created_ = false;  // the moved-from object owns no file any more
  other.pendingSlot_ = -1;
}

StagedOutputFile::~StagedOutputFile() {
  if (created_ && !committed_) {
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
  }
  ReleasePending(pendingSlot_);
}

bool StagedOutputFile::Commit(std::string& error) {
  switch (CommitReplacement(plan_, temporary_)) {
    case ReplaceOutcome::kDone:
      committed_ = true;
      ReleasePending(pendingSlot_);
      pendingSlot_ = -1;
      return true;
    case ReplaceOutcome::kCannotOpen:
      error = "the target cannot be replaced";
      return false;
    case ReplaceOutcome::kWriteFailed:
      error = "writing the target in place failed";
      return false;
  }
  return false;
}

StagedFolder::StagedFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path p = folder; !p.empty(); p = p.parent_path()) {
    if (std::filesystem::exists(std::filesystem::symlink_status(p, ec))) break;
    missing.insert(missing.begin(), p);
    if (p == p.parent_path()) break;
  }
  std::filesystem::create_directories(folder, ec);
  exists_ = std::filesystem::is_directory(folder, ec);
  for (const std::filesystem::path& p : missing) {
    if (std::filesystem::is_directory(std::filesystem::symlink_status(p, ec))) made_.push_back(p);
  }
}

StagedFolder::~StagedFolder() {
  for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
    std::error_code ec;
    std::filesystem::remove(*it, ec);  // an empty folder only; one with files stays
  }
}

}  // namespace tonefield
