// The current sound sample: its format block as found (16, 18 or more
// bytes), its PCM data (at most three seconds) and whether it may be saved
// (the default tone and recorded samples may; loaded files may not).
#pragma once

#include <cstdint>
#include <vector>

namespace tonefield {

struct SourceSample {
  std::vector<std::uint8_t> format;
  std::vector<std::uint8_t> data;
  bool maySave = false;
};

}  // namespace tonefield
