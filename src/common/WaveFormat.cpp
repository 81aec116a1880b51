#include "common/WaveFormat.h"

namespace tonefield {

std::uint16_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void WriteLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFF);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void WriteLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

WaveFormat Pcm16Mono(std::uint32_t samplesPerSec) {
  WaveFormat f;
  f.formatTag = kWaveFormatPcm;
  f.channels = 1;
  f.samplesPerSec = samplesPerSec;
  f.avgBytesPerSec = samplesPerSec * 2;
  f.blockAlign = 2;
  f.bitsPerSample = 16;
  return f;
}

WaveFormat ReadWaveFormat(std::span<const std::uint8_t> block) {
  std::uint8_t b[kPcmFieldsSize] = {};
  for (std::size_t i = 0; i < kPcmFieldsSize && i < block.size(); ++i) b[i] = block[i];
  WaveFormat f;
  f.formatTag = ReadLe16(b + 0);
  f.channels = ReadLe16(b + 2);
  f.samplesPerSec = ReadLe32(b + 4);
  f.avgBytesPerSec = ReadLe32(b + 8);
  f.blockAlign = ReadLe16(b + 12);
  f.bitsPerSample = ReadLe16(b + 14);
  return f;
}

void WriteWaveFormat(const WaveFormat& f, std::span<std::uint8_t> block) {
  if (block.size() < kPcmFieldsSize) return;
  std::uint8_t* b = block.data();
  WriteLe16(b + 0, f.formatTag);
  WriteLe16(b + 2, f.channels);
  WriteLe32(b + 4, f.samplesPerSec);
  WriteLe32(b + 8, f.avgBytesPerSec);
  WriteLe16(b + 12, f.blockAlign);
  WriteLe16(b + 14, f.bitsPerSample);
}

std::vector<std::uint8_t> MakeWaveFormatEx(const WaveFormat& format, std::uint16_t cbSize) {
  std::vector<std::uint8_t> block(kWaveFormatExSize, 0);
  WriteWaveFormat(format, block);
  WriteLe16(block.data() + 16, cbSize);
  return block;
}

}  // namespace tonefield
