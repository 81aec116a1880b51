#include "StagedOutputFile.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
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
  char path[kPendingPathBytes];
};
std::array<PendingSlot, kPendingSlots> g_pending;

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

std::filesystem::path PickTemporaryName(const std::filesystem::path& target) {
  const std::filesystem::path folder = target.parent_path();
  const std::string stem = "." + target.filename().string() + ".part-" + std::to_string(::getpid()) + "-";
  for (;;) {
    std::filesystem::path candidate = folder / (stem + std::to_string(g_stagedCounter.fetch_add(1)));
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec))) return candidate;
  }
}

std::filesystem::path FollowLink(std::filesystem::path target) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(target, ec)) return target;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
  return ec ? target : resolved;
}

}  // namespace

bool StagedOutputFile::CanReplace(const std::filesystem::path& target) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(target, ec);
  if (status.type() == std::filesystem::file_type::not_found) return true;
  return !ec && status.type() == std::filesystem::file_type::regular;
}

StagedOutputFile::StagedOutputFile(std::filesystem::path target)
    : target_(FollowLink(std::move(target))),
      temporary_(PickTemporaryName(target_)),
      pendingSlot_(RegisterPending(temporary_)) {}

StagedOutputFile::StagedOutputFile(StagedOutputFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      committed_(other.committed_),
      pendingSlot_(other.pendingSlot_) {
  other.committed_ = true;  // the moved-from object owns no file any more
  other.pendingSlot_ = -1;
}

StagedOutputFile::~StagedOutputFile() {
  if (!committed_) {
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
  }
  ReleasePending(pendingSlot_);
}

bool StagedOutputFile::Commit(std::string& error) {
  std::error_code ec;
  std::filesystem::rename(temporary_, target_, ec);
  if (ec) {
    error = ec.message();
    return false;
  }
  committed_ = true;
  ReleasePending(pendingSlot_);
  pendingSlot_ = -1;
  return true;
}

}  // namespace tonefield
