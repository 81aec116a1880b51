// The one time base of latency stamps: an input event, the MIDI message's
// receipt and the start of the device callback are compared in it.
#pragma once

#include <chrono>
#include <cstdint>

namespace tonefield {

// Steady-clock nanoseconds; never 0 in practice, which stamps use for "none".
inline std::int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace tonefield
