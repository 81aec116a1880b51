#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "audio_io/FileReplacement.h"

namespace tonefield {

namespace fs = std::filesystem;

namespace {

bool MayWrite(const fs::path& path, int mode) {
  return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// Closes a descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t put = ::write(fd, bytes, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    count -= static_cast<std::size_t>(put);
  }
  return true;
}

ReplaceOutcome CopyInPlace(const fs::path& temporary, const fs::path& target) {
  Descriptor source(::open(temporary.c_str(), O_RDONLY | O_CLOEXEC));
  if (source.get() < 0) return ReplaceOutcome::kCannotOpen;
  // Opened without truncation: until the new content is known to fit, the
  // old one stays as it is.
  Descriptor sink(::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  struct stat sourceInfo {};
  struct stat sinkInfo {};
  if (sink.get() < 0 || ::fstat(source.get(), &sourceInfo) != 0 || ::fstat(sink.get(), &sinkInfo) != 0 ||
      !S_ISREG(sinkInfo.st_mode)) {
    return ReplaceOutcome::kCannotOpen;
  }
  const off_t newSize = sourceInfo.st_size;
  const off_t oldSize = sinkInfo.st_size;
  if (newSize > oldSize) {
    const int reserved = ::posix_fallocate(sink.get(), oldSize, newSize - oldSize);
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
      // Back to the old length; the old content was not touched.
      [[maybe_unused]] const int restored = ::ftruncate(sink.get(), oldSize);
      return ReplaceOutcome::kWriteFailed;
    }
  }
  std::array<std::uint8_t, 65536> buffer{};
  for (;;) {
    const ssize_t got = ::read(source.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return ReplaceOutcome::kWriteFailed;
    if (got == 0) break;
    if (!WriteAll(sink.get(), buffer.data(), static_cast<std::size_t>(got))) return ReplaceOutcome::kWriteFailed;
  }
  if (::ftruncate(sink.get(), newSize) != 0 || !sink.Close()) return ReplaceOutcome::kWriteFailed;
  std::error_code ignored;
  fs::remove(temporary, ignored);
  return ReplaceOutcome::kDone;
}

}  // namespace

ReplacementPlan PlanReplacement(const fs::path& path) {
  ReplacementPlan plan;
  plan.target = FollowLink(path);
  const fs::path folder = FolderOf(plan.target);
  plan.temporaryFolder = folder;
  struct stat info {};
  if (::stat(plan.target.c_str(), &info) != 0) {
    // A new file: created beside its name, or refused there when it cannot be.
    plan.allowed = errno == ENOENT || errno == ENOTDIR;
    return plan;
  }
  plan.exists = true;
  // A rename would bypass the file's own write protection: a file nobody may
  // write is refused as an open for writing would refuse it.
  if (!S_ISREG(info.st_mode) || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return plan;
  plan.mode = static_cast<std::uint32_t>(info.st_mode & 07777);
  plan.group = static_cast<std::uint32_t>(info.st_gid);
  const bool folderWritable = MayWrite(folder, W_OK | X_OK);
  const bool inPlace = info.st_nlink > 1 || info.st_uid != ::geteuid() || !folderWritable;
  if (inPlace) {
    if (!MayWrite(plan.target, W_OK)) return plan;
    plan.method = ReplaceMethod::kInPlace;
    if (!folderWritable) {
      // The new content is completed elsewhere before the target is touched.
      std::error_code ec;
      plan.temporaryFolder = fs::temp_directory_path(ec);
      if (ec) plan.temporaryFolder = "/tmp";
    }
  }
  plan.allowed = true;
  return plan;
}

ReplaceOutcome CommitReplacement(const ReplacementPlan& plan, const fs::path& temporary) {
  if (!plan.allowed) return ReplaceOutcome::kCannotOpen;
  if (plan.method == ReplaceMethod::kInPlace) return CopyInPlace(temporary, plan.target);
  if (plan.exists) {
    // The renamed file keeps the group and permissions of the one it
    // replaces (the group first: changing it may clear set-id bits). A group
    // this user cannot give a file is kept by writing in place instead.
    struct stat info {};
    if (::stat(temporary.c_str(), &info) != 0) return ReplaceOutcome::kCannotOpen;
    if (info.st_gid != static_cast<gid_t>(plan.group) &&
        ::chown(temporary.c_str(), static_cast<uid_t>(-1), static_cast<gid_t>(plan.group)) != 0) {
      return CopyInPlace(temporary, plan.target);
    }
    if (::chmod(temporary.c_str(), static_cast<mode_t>(plan.mode)) != 0) return ReplaceOutcome::kCannotOpen;
  }
  if (::rename(temporary.c_str(), plan.target.c_str()) != 0) return ReplaceOutcome::kCannotOpen;
  return ReplaceOutcome::kDone;
}

}  // namespace tonefield
