// The file work of a key-bank export and nothing else: 36 WAV files of the
// given length and an SFZ file, written through the tool's own writer under
// temporary names and put in place at the end, exactly as the export does,
// but with silence instead of computed key waves. Its time is the floor
// under the export's on this machine and file system.
//
//   file_floor_probe FOLDER SAMPLES_PER_KEY
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RenderedWaveWriter.h"
#include "common/Constants.h"
#include "SfzInstrument.h"
#include "StagedOutputFile.h"

int main(int argc, char** argv) {
  using namespace tonefield;
  if (argc != 3) {
    std::fputs("usage: file_floor_probe FOLDER SAMPLES_PER_KEY\n", stderr);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const std::vector<std::int16_t> silence(std::strtoul(argv[2], nullptr, 10));
  std::filesystem::create_directories(folder);
  const WaveFormat format = Pcm16Mono(44100);

  std::vector<StagedOutputFile> staged;
  staged.reserve(kKeyCount + 1);
  for (int key = 0; key < kKeyCount; ++key) {
    staged.emplace_back(folder / KeyWaveFileName(key));
    RenderedWaveWriter writer;
    if (!writer.Start(staged.back().temporaryPath().string(), format, silence.size()).ok) return 1;
    writer.Append(silence);
    if (!writer.Finish().ok) return 1;
  }
  staged.emplace_back(folder / kSfzFileName);
  {
    const std::string text = MakeSfzInstrument(44100);
    std::ofstream sfz(staged.back().temporaryPath(), std::ios::binary | std::ios::trunc);
    sfz.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!sfz) return 1;
  }
  for (StagedOutputFile& file : staged) {
    std::string error;
    if (!file.Commit(error)) return 1;
  }
  return 0;
}
