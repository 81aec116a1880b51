// Replacing a file with new content that has first been written completely
// under a temporary name. Normally the temporary file sits beside the target
// and is renamed over it, so the target is whole, old or new, at every
// moment. Where a rename would change what the user sees - the target has
// other hard links (they would keep the old content), belongs to someone
// else (the owner would change), or its folder may not be written (no
// rename can happen there) - the complete new content is copied into the
// target in place instead, which keeps its links, owner and permissions.
// On Windows the same rules read: a read-only file is write-protected, a
// file with other hard links is written in place, and a replaced file keeps
// its attributes and access list (ReplaceFileW).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tonefield {

enum class ReplaceMethod { kRename, kInPlace };

struct ReplacementPlan {
  // False: the target may not be replaced: it exists and is not a regular
  // file, has no write permission at all, or must be written in place by a
  // user who may not write it.
  bool allowed = false;
  std::filesystem::path target;           // symbolic links followed
  std::filesystem::path temporaryFolder;  // where the new content is written first
  ReplaceMethod method = ReplaceMethod::kRename;
  bool exists = false;
  // Of the existing target, carried over to a file renamed over it (a
  // rename is chosen only when the target is this user's own).
  std::uint32_t mode = 0;
  std::uint32_t group = 0;
};

ReplacementPlan PlanReplacement(const std::filesystem::path& path);

// "." + name + suffix, the name shortened at a character boundary where
// needed so that the whole stays within the 255 bytes a file name may have.
std::string TemporaryFileName(std::string_view name, std::string_view suffix);

enum class ReplaceOutcome {
  kDone,
  kCannotOpen,   // the target could not be replaced or opened: it is unchanged
  kWriteFailed,  // writing in place failed (a full disk) after the target was opened
};

// Puts the complete, closed temporary file in the target's place: renamed
// over it, or copied into it and then removed. A copy first reserves the
// space it needs, so a full disk usually leaves the target unchanged.
ReplaceOutcome CommitReplacement(const ReplacementPlan& plan, const std::filesystem::path& temporary);

// Shared by the two systems' halves (FileReplacementPosix.cpp,
// FileReplacementWin32.cpp): the file a symbolic link names, and the folder
// of a path ("." for a bare name).
std::filesystem::path FollowLink(const std::filesystem::path& path);
std::filesystem::path FolderOf(const std::filesystem::path& target);

}  // namespace tonefield
