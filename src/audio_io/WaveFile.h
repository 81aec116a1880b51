// Sample files: RIFF WAVE with an uncompressed PCM format chunk. A load keeps
// the format chunk whole and at most the first three seconds of data; a save
// writes the sample byte for byte as an "fmt " and a "data" chunk, replacing
// the target only once the new file is complete.
#pragma once

#include <string>

#include "common/SourceSample.h"

namespace tonefield {

struct WaveLoadResult {
  bool ok = false;
  std::string message;  // the error to show when !ok
  SourceSample sample;  // when ok: format and data as read, maySave false
};

struct WaveSaveResult {
  bool ok = false;
  std::string message;
};

WaveLoadResult LoadWaveFile(const std::string& path);

// Writes sample.format and sample.data; the sample is not changed.
WaveSaveResult SaveWaveFile(const std::string& path, const SourceSample& sample);

}  // namespace tonefield
