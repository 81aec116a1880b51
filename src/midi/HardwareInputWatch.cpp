#include "midi/HardwareInputWatch.h"

#include <algorithm>

namespace tonefield {

std::vector<MidiPortAddress> HardwareInputWatch::Update(const std::vector<MidiPortInfo>& present,
                                                        const std::vector<MidiPortAddress>& announced,
                                                        MidiPortAddress own) {
  std::vector<MidiPortAddress> connect;
  std::set<std::pair<MidiPortAddress, std::string>> now;
  for (const MidiPortInfo& info : present) {
    if (!info.hardware || !info.readable || info.address == own || info.address.client == own.client) continue;
    auto id = std::make_pair(info.address, info.name);
    const bool restarted = std::find(announced.begin(), announced.end(), info.address) != announced.end();
    if (restarted || !known_.contains(id)) connect.push_back(info.address);
    now.insert(std::move(id));
  }
  known_ = std::move(now);  // ports gone are forgotten
  return connect;
}

std::vector<std::string> HardwareInputWatch::UpdateByName(const std::vector<std::string>& present) {
  std::vector<std::string> connect;
  std::set<std::string> now;
  for (const std::string& name : present) {
    if (!knownNames_.contains(name)) connect.push_back(name);
    now.insert(name);
  }
  knownNames_ = std::move(now);
  return connect;
}

}  // namespace tonefield
