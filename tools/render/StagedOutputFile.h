// An output file that appears whole or not at all: it is written under a
// temporary name in the target's folder and renamed over the target only by
// Commit. Destroyed without a successful Commit, it removes the temporary
// file; so does an interrupt or termination signal while it is pending.
#pragma once

#include <filesystem>
#include <string>

namespace tonefield {

class StagedOutputFile {
 public:
  // True when target is absent or a regular file (a symbolic link counts as
  // what it points to): only then may an output take its place. Devices,
  // pipes and folders are never replaced.
  static bool CanReplace(const std::filesystem::path& target);

  // A symbolic link target is followed, so the file it points to is replaced
  // and the link stays.
  explicit StagedOutputFile(std::filesystem::path target);
  ~StagedOutputFile();
  StagedOutputFile(const StagedOutputFile&) = delete;
  StagedOutputFile& operator=(const StagedOutputFile&) = delete;
  StagedOutputFile(StagedOutputFile&& other) noexcept;
  StagedOutputFile& operator=(StagedOutputFile&&) = delete;

  const std::filesystem::path& target() const { return target_; }
  // Where to write; a name in the target's folder that did not exist.
  const std::filesystem::path& temporaryPath() const { return temporary_; }

  // Renames the temporary file over the target. False (with error) when the
  // rename fails; the temporary file is then removed by the destructor.
  bool Commit(std::string& error);

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  bool committed_ = false;
  int pendingSlot_ = -1;  // in the list the signal handler cleans up
};

}  // namespace tonefield
