#include "ToolRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "common/Utf8Path.h"
#include "common/WaveFormat.h"
#include "support/TestPlatform.h"

namespace tonefield::testing {

ScratchFolder::ScratchFolder() : path_(MakeFreshTempFolder("tonefield-render-")) {}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> ScratchFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(PathToUtf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::filesystem::path& file) {
  std::vector<std::uint8_t> bytes = ReadBytes(file);
  return {bytes.begin(), bytes.end()};
}

ToolRun RunTool(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
  const std::filesystem::path outFile = cwd.parent_path() / (cwd.filename().string() + ".stdout");
  ToolRun run = RunToolWritingTo(args, cwd, outFile);
  run.out = ReadText(outFile);
  std::error_code ec;
  std::filesystem::remove(outFile, ec);
  return run;
}

std::vector<std::uint8_t> MakeWaveBytes(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                        const std::vector<std::uint8_t>& data) {
  WaveFormat format;
  format.formatTag = kWaveFormatPcm;
  format.channels = channels;
  format.samplesPerSec = rate;
  format.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
  format.avgBytesPerSec = rate * format.blockAlign;
  format.bitsPerSample = bits;

  const std::size_t header = 12 + 8 + kPcmFieldsSize + 8;
  std::vector<std::uint8_t> out(header + data.size() + (data.size() & 1), 0);
  std::uint8_t* b = out.data();
  std::memcpy(b, "RIFF", 4);
  WriteLe32(b + 4, static_cast<std::uint32_t>(out.size() - 8));
  std::memcpy(b + 8, "WAVEfmt ", 8);
  WriteLe32(b + 16, static_cast<std::uint32_t>(kPcmFieldsSize));
  WriteWaveFormat(format, std::span<std::uint8_t>(b + 20, kPcmFieldsSize));
  std::memcpy(b + 36, "data", 4);
  WriteLe32(b + 40, static_cast<std::uint32_t>(data.size()));
  std::copy(data.begin(), data.end(), out.begin() + static_cast<std::ptrdiff_t>(header));
  return out;
}

WrittenWave ParseWrittenWave(const std::vector<std::uint8_t>& bytes) {
  WrittenWave wave;
  if (bytes.size() < 46) return wave;
  const std::uint8_t* b = bytes.data();
  wave.tagsRight = std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WAVE", 4) == 0 &&
                   std::memcmp(b + 12, "fmt ", 4) == 0 && std::memcmp(b + 38, "data", 4) == 0;
  wave.riffSize = ReadLe32(b + 4);
  wave.fmtSize = ReadLe32(b + 16);
  wave.formatTag = ReadLe16(b + 20);
  wave.channels = ReadLe16(b + 22);
  wave.rate = ReadLe32(b + 24);
  wave.avgBytesPerSec = ReadLe32(b + 28);
  wave.blockAlign = ReadLe16(b + 32);
  wave.bits = ReadLe16(b + 34);
  wave.cbSize = ReadLe16(b + 36);
  wave.dataSize = ReadLe32(b + 42);
  wave.data.assign(bytes.begin() + 46, bytes.end());
  return wave;
}

}  // namespace tonefield::testing
