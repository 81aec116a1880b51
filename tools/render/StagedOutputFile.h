// An output file that appears whole or not at all: it is written under a
// temporary name and put in the target's place only by Commit, by the rules
// of the window's save (FileReplacement.h): renamed over the target, or
// copied into it where a rename would change what the user sees (other hard
// links, another owner, a folder that may not be written). A replaced file
// keeps its permissions and owner; a write-protected one is never replaced.
// Destroyed without a successful Commit, it removes the temporary file; so
// does an interrupt or termination signal while it is pending.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "audio_io/FileReplacement.h"

namespace tonefield {

class StagedOutputFile {
 public:
  // True when target is absent or a regular file that may be written (a
  // symbolic link counts as what it points to): only then may an output
  // take its place. Devices, pipes, folders and write-protected files are
  // never replaced.
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
  // Where to write: a file created for it, empty, in the target's folder
  // (or the temporary folder when the target's may not be written).
  const std::filesystem::path& temporaryPath() const { return temporary_; }

  // Puts the complete temporary file in the target's place. False (with
  // error) when that fails; the temporary file is then removed by the
  // destructor.
  bool Commit(std::string& error);

 private:
  ReplacementPlan plan_;
  std::filesystem::path target_;
  // created_ and pendingSlot_ are set while temporary_ is initialised, so
  // they are declared before it.
  bool created_ = false;  // temporary_ was created here
  int pendingSlot_ = -1;  // in the list the signal handler cleans up
  std::filesystem::path temporary_;
  bool committed_ = false;
};

// A folder for outputs, made with whatever parents it lacked. Unless Keep()
// is called, the destructor removes again the folders it made (as long as
// they are empty), so an export that fails leaves no empty folder behind.
class StagedFolder {
 public:
  explicit StagedFolder(const std::filesystem::path& folder);
  ~StagedFolder();
  StagedFolder(const StagedFolder&) = delete;
  StagedFolder& operator=(const StagedFolder&) = delete;

  // The folder exists now, made here or before.
  bool exists() const { return exists_; }
  void Keep() { made_.clear(); }

 private:
  std::vector<std::filesystem::path> made_;  // outermost first
  bool exists_ = false;
};

}  // namespace tonefield
