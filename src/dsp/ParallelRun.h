// Runs independent parts of a computation on the machine's cores and waits
// for all of them. The parts must touch disjoint outputs.
#pragma once

#include <cstddef>
#include <functional>

namespace tonefield {

// How many parts are worth running side by side here (1 .. 4).
std::size_t ParallelWidth();

// Calls work(part) for part = 0 .. parts − 1, part 0 on the calling thread,
// the others on threads of their own; returns when all are done. When a
// thread cannot be started its part runs on the calling thread instead.
void ParallelRun(std::size_t parts, const std::function<void(std::size_t part)>& work);

}  // namespace tonefield
