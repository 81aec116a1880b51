#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "PendingFiles.h"

namespace tonefield {
namespace {

// A slot is claimed, then its path written, then marked ready; the signal
// handler reads only ready slots.
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

int RegisterPending(const std::filesystem::path& path) {
  const std::string& text = path.native();
  if (text.size() >= kPendingPathBytes) return -1;
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

}  // namespace

PendingCreate CreatePendingFile(const std::filesystem::path& path, bool ownerOnly, int& slot) {
  slot = -1;
  // The interrupt signals are held back from the creation to the
  // registration.
  sigset_t interrupts;
  sigset_t previous;
  sigemptyset(&interrupts);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signalNumber);
  InstallInterruptCleanup();
  ::pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
  const mode_t mode = ownerOnly ? 0600 : 0666;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
  const int openError = errno;
  if (fd >= 0) {
    ::close(fd);
    slot = RegisterPending(path);
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (fd >= 0) return PendingCreate::kCreated;
  return openError == EEXIST ? PendingCreate::kNameTaken : PendingCreate::kFailed;
}

void ReleasePendingFile(int slot) {
  if (slot < 0) return;
  PendingSlot& pending = g_pending[static_cast<std::size_t>(slot)];
  pending.ready.store(false);
  pending.claimed.store(false);
}

std::string ProcessIdText() { return std::to_string(::getpid()); }

}  // namespace tonefield
