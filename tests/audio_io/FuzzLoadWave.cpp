// Feeds arbitrary bytes to the sample loader through a real file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio_io/WaveFile.h"

namespace {

// One scratch file for the whole run, removed at exit.
struct ScratchFile {
  ScratchFile() {
    char pattern[] = "/tmp/tonefield-fuzz-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd >= 0) ::close(fd);
    path = pattern;
  }
  ~ScratchFile() { std::remove(path.c_str()); }
  std::string path;
};

const std::string& FuzzFilePath() {
  static const ScratchFile scratch;
  return scratch.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = FuzzFilePath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
  const tonefield::WaveLoadResult result = tonefield::LoadWaveFile(path);
  if (result.ok != result.message.empty()) std::abort();
  if (!result.ok && (!result.sample.data.empty() || !result.sample.format.empty())) std::abort();
  return 0;
}
