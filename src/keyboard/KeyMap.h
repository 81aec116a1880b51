// The PC-keyboard map of the 36 keys: index = key number, each with the
// Windows virtual-key code that plays it and the label shown on its button
// (0 = the character whose code is the virtual-key code).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/Constants.h"

namespace tonefield {

struct KeyMapEntry {
  std::int32_t virtualKey = -1;
  std::int32_t label = 0;
};

extern const std::array<KeyMapEntry, kKeyCount> KeyMap;

// The first key, 0 upward, played by this virtual-key code; -1 when none.
int FindKeyByVirtualKey(int virtualKey);

// The one-character caption of a key's button (UTF-8).
std::string KeyLabel(int key);

}  // namespace tonefield
