#include "app/RecentFiles.h"

#include <algorithm>
#include <sstream>

namespace tonefield {

std::vector<std::string> RecentFiles::List() const {
  std::vector<std::string> paths;
  std::istringstream lines(host_.ReadSetting(kSettingRecentFiles));
  for (std::string line; std::getline(lines, line) && paths.size() < kRecentFileCount;) {
    if (!line.empty() && std::find(paths.begin(), paths.end(), line) == paths.end()) paths.push_back(line);
  }
  return paths;
}

void RecentFiles::Add(const std::string& path) {
  if (path.empty() || path.find('\n') != std::string::npos) return;  // one path a line
  std::vector<std::string> paths = List();
  paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
  paths.insert(paths.begin(), path);
  if (paths.size() > kRecentFileCount) paths.resize(kRecentFileCount);
  std::string joined;
  for (const std::string& p : paths) joined += p + "\n";
  host_.WriteSetting(kSettingRecentFiles, joined);
}

}  // namespace tonefield
