#include "StagedOutputFile.h"

#include <atomic>
#include <string>
#include <system_error>

#include "PendingFiles.h"
#include "common/RegularFile.h"
#include "common/Utf8Path.h"

namespace tonefield {
namespace {

std::atomic<unsigned> g_stagedCounter{0};

// Creates an empty file for the new content in the plan's temporary folder
// under a name no other file has, registered for removal should the run be
// interrupted; created tells whether that succeeded (if not, the path is
// still returned and the writer reports the failure).
std::filesystem::path CreateRegisteredTemporary(const ReplacementPlan& plan, bool& created, int& pendingSlot) {
  const std::string name = PathToUtf8(plan.target.filename());
  // Appended piecewise: GCC 12 warns falsely on "literal" + std::string at -O3.
  std::string stem = ".part-";
  stem += ProcessIdText();
  stem += "-";
  // Beside the target the file gets the usual permissions of a new file;
  // in the shared temporary folder only its owner may read it.
  const bool beside = plan.temporaryFolder == plan.target.parent_path() ||
                      (plan.target.parent_path().empty() && plan.temporaryFolder == ".");
  for (;;) {
    std::filesystem::path candidate =
        plan.temporaryFolder /
        PathFromUtf8(TemporaryFileName(name, stem + std::to_string(g_stagedCounter.fetch_add(1))));
    const PendingCreate outcome = CreatePendingFile(candidate, !beside, pendingSlot);
    if (outcome != PendingCreate::kNameTaken) {
      created = outcome == PendingCreate::kCreated;
      return candidate;
    }
  }
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
  if (created_ && !committed_) RemoveFile(temporary_);
  ReleasePendingFile(pendingSlot_);
}

bool StagedOutputFile::Commit(std::string& error) {
  switch (CommitReplacement(plan_, temporary_)) {
    case ReplaceOutcome::kDone:
      committed_ = true;
      ReleasePendingFile(pendingSlot_);
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
