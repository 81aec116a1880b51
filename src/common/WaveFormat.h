// The six leading fields of a WAVEFORMATEX block and their little-endian
// byte layout. Format blocks are kept as bytes (their size varies by file);
// this reads and writes the fields that the program interprets.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tonefield {

inline constexpr std::uint16_t kWaveFormatPcm = 1;
inline constexpr std::size_t kPcmFieldsSize = 16;  // the six fields
inline constexpr std::size_t kWaveFormatExSize = 18;  // plus cbSize

struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;

  friend bool operator==(const WaveFormat&, const WaveFormat&) = default;
};

// PCM, one channel, 16 bits at the given rate: what the program plays and records.
WaveFormat Pcm16Mono(std::uint32_t samplesPerSec);

// Reads the six fields from a block of at least 16 bytes; missing bytes read as 0.
WaveFormat ReadWaveFormat(std::span<const std::uint8_t> block);

// Writes the six fields into the first 16 bytes of a block of at least 16 bytes.
void WriteWaveFormat(const WaveFormat& format, std::span<std::uint8_t> block);

// An 18-byte WAVEFORMATEX block with the given extra-size field.
std::vector<std::uint8_t> MakeWaveFormatEx(const WaveFormat& format, std::uint16_t cbSize);

// Little-endian helpers for byte layouts.
std::uint16_t ReadLe16(const std::uint8_t* p);
std::uint32_t ReadLe32(const std::uint8_t* p);
void WriteLe16(std::uint8_t* p, std::uint16_t v);
void WriteLe32(std::uint8_t* p, std::uint32_t v);

}  // namespace tonefield
