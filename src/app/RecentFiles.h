// The files opened last, newest first, at most kRecentFileCount, kept
// between runs in one setting (one path a line).
#pragma once

#include <string>
#include <vector>

#include "app/Host.h"

namespace tonefield {

inline constexpr std::size_t kRecentFileCount = 8;
inline constexpr const char* kSettingRecentFiles = "files/recent";

class RecentFiles {
 public:
  explicit RecentFiles(Host& host) : host_(host) {}
  // Puts path first; an earlier mention of it goes, the oldest beyond the
  // limit too.
  void Add(const std::string& path);
  std::vector<std::string> List() const;

 private:
  Host& host_;
};

}  // namespace tonefield
