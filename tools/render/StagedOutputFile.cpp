#include "StagedOutputFile.h"

#include <unistd.h>

#include <atomic>
#include <system_error>

namespace tonefield {
namespace {

std::atomic<unsigned> g_stagedCounter{0};

std::filesystem::path PickTemporaryName(const std::filesystem::path& target) {
  const std::filesystem::path folder = target.parent_path();
  const std::string stem = "." + target.filename().string() + ".part-" + std::to_string(::getpid()) + "-";
  for (;;) {
    std::filesystem::path candidate = folder / (stem + std::to_string(g_stagedCounter.fetch_add(1)));
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec))) return candidate;
  }
}

}  // namespace

StagedOutputFile::StagedOutputFile(std::filesystem::path target)
    : target_(std::move(target)), temporary_(PickTemporaryName(target_)) {}

StagedOutputFile::StagedOutputFile(StagedOutputFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      committed_(other.committed_) {
  other.committed_ = true;  // the moved-from object owns no file any more
}

StagedOutputFile::~StagedOutputFile() {
  if (committed_) return;
  std::error_code ec;
  std::filesystem::remove(temporary_, ec);
}

bool StagedOutputFile::Commit(std::string& error) {
  std::error_code ec;
  std::filesystem::rename(temporary_, target_, ec);
  if (ec) {
    error = ec.message();
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace tonefield
