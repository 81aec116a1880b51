// Which hardware MIDI inputs to connect to Tonefield's input port, decided
// from what the MIDI system lists: every hardware input the first time it
// is seen, and again after it went away (unplugged) or was announced anew
// (plugged back in between two looks). One the user disconnected stays
// disconnected for as long as it stays plugged in. Software ports (other
// programs, the "Midi Through" port) are left for the user to connect.
#pragma once

#include <compare>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tonefield {

struct MidiPortAddress {
  int client = -1;
  int port = -1;
  auto operator<=>(const MidiPortAddress&) const = default;
};

struct MidiPortInfo {
  MidiPortAddress address;
  std::string name;        // "client name:port name"
  bool hardware = false;   // a device's port, not a program's
  bool readable = false;   // an input others may subscribe to
};

class HardwareInputWatch {
 public:
  // present: every port listed now; announced: ports reported started since
  // the last call. Returns the ports to connect, in the order listed.
  std::vector<MidiPortAddress> Update(const std::vector<MidiPortInfo>& present,
                                      const std::vector<MidiPortAddress>& announced, MidiPortAddress own);
  // The same for a system that knows its hardware ports by name only (JACK's
  // physical outputs): the names to connect, in the order listed.
  std::vector<std::string> UpdateByName(const std::vector<std::string>& present);

 private:
  std::set<std::pair<MidiPortAddress, std::string>> known_;
  std::set<std::string> knownNames_;
};

}  // namespace tonefield
