// Helpers for tests that write and read real files: a temporary folder that
// removes itself, and builders for RIFF byte images.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/WaveFormat.h"
#include "support/TestPlatform.h"

namespace tonefield::testing {

using Bytes = std::vector<std::uint8_t>;

class TempFolder {
 public:
  TempFolder() : path_(MakeFreshTempFolder("tonefield-audio-")) {}
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string File(std::string_view name) const { return PathToUtf8(path_ / PathFromUtf8(name)); }
  // The folder with a trailing separator.
  std::string WithSeparator() const { return PathToUtf8(path_ / ""); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(PathToUtf8(entry.path().filename()));
    }
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void Append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

inline void AppendText(Bytes& to, std::string_view text) { to.insert(to.end(), text.begin(), text.end()); }

inline void AppendLe32(Bytes& to, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A chunk with its header and, for an odd body, a pad byte. declaredSize
// overrides the size field when set.
inline Bytes Chunk(std::string_view id, const Bytes& body, std::int64_t declaredSize = -1) {
  Bytes out;
  AppendText(out, id);
  AppendLe32(out, declaredSize >= 0 ? static_cast<std::uint32_t>(declaredSize)
                                    : static_cast<std::uint32_t>(body.size()));
  Append(out, body);
  if (body.size() % 2 != 0) out.push_back(0);
  return out;
}

inline Bytes Riff(std::string_view form, std::initializer_list<Bytes> chunks) {
  Bytes body;
  AppendText(body, form);
  for (const Bytes& chunk : chunks) Append(body, chunk);
  Bytes out;
  AppendText(out, "RIFF");
  AppendLe32(out, static_cast<std::uint32_t>(body.size()));
  Append(out, body);
  return out;
}

inline WaveFormat Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  WaveFormat f;
  f.formatTag = kWaveFormatPcm;
  f.channels = channels;
  f.samplesPerSec = rate;
  f.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
  f.avgBytesPerSec = rate * f.blockAlign;
  f.bitsPerSample = bits;
  return f;
}

// A format block: the 16 PCM bytes followed by `extra`.
inline Bytes FormatBlock(const WaveFormat& format, const Bytes& extra = {}) {
  Bytes block(kPcmFieldsSize, 0);
  WriteWaveFormat(format, block);
  Append(block, extra);
  return block;
}

// Bytes 0, 1, 2 ... (mod 251) so misplaced reads show.
inline Bytes Ramp(std::size_t size) {
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(i % 251);
  return out;
}

inline Bytes Sub(const Bytes& bytes, std::size_t offset, std::size_t count) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

}  // namespace tonefield::testing
