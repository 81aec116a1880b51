#include "dsp/ParallelRun.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace tonefield {

namespace {
constexpr std::size_t kMaxWidth = 4;
}

std::size_t ParallelWidth() {
  const std::size_t cores = std::thread::hardware_concurrency();
  return std::clamp<std::size_t>(cores, 1, kMaxWidth);
}

void ParallelRun(std::size_t parts, const std::function<void(std::size_t part)>& work) {
  std::vector<std::thread> threads;
  std::vector<std::size_t> inlineParts;
  for (std::size_t part = 1; part < parts; ++part) {
    try {
      threads.emplace_back(work, part);
    } catch (const std::system_error&) {
      inlineParts.push_back(part);  // no thread to be had: do it here
    }
  }
  if (parts > 0) work(0);
  for (std::size_t part : inlineParts) work(part);
  for (std::thread& thread : threads) thread.join();
}

}  // namespace tonefield
