// Writes a 16-bit mono WAV file the way a performance recording is laid out:
// a 46-byte header (RIFF, an 18-byte fmt chunk from the output format with
// cbSize 0, the data chunk) and the samples back to back, through the RIFF
// layer. Unlike a recording it has no block limit; it refuses to grow past
// what a RIFF size field can hold. Errors carry the recording's messages.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ToolStatus.h"
#include "audio_io/RiffFile.h"
#include "common/WaveFormat.h"

namespace tonefield {

// The largest data chunk whose RIFF size (38 + data) still fits 32 bits.
inline constexpr std::uint64_t kMaxWaveDataBytes = 0xFFFFFFFFull - 38;
inline constexpr std::size_t kRenderedWaveHeaderBytes = 46;

// The format written for rendered 16-bit mono samples: the output format,
// which for every self-consistent sample file already says PCM, 1 channel,
// 16 bits, block align 2, rate × 2 bytes a second. A file whose header
// contradicts itself (a block align of 4 for 16-bit mono, say) would carry
// its wrong fields into every file written; those are set right here.
WaveFormat RenderedFormat(const WaveFormat& outputFormat);

class RenderedWaveWriter {
 public:
  // Creates path (truncating it; an empty file made for the output is
  // written as it is) and writes the header. maxSamplesPerAppend
  // is the most one Append may take.
  ToolStatus Start(const std::string& path, const WaveFormat& format, std::size_t maxSamplesPerAppend);
  // Appends samples as signed 16-bit little-endian, with one write and no
  // copy where the machine is little-endian, allocating nothing. False on a
  // failed write, on more samples than announced to Start, or when the file
  // would outgrow 4 GB.
  bool Append(std::span<const std::int16_t> samples);
  // Patches the sizes and closes the file. Reports a failed Append as well.
  ToolStatus Finish();

  std::uint64_t dataBytes() const { return dataBytes_; }

 private:
  RiffFile file_;
  ChunkInfo riffChunk_;
  ChunkInfo dataChunk_;
  bool WriteLittleEndian(std::span<const std::int16_t> samples);

  std::size_t maxSamplesPerAppend_ = 0;
  std::uint64_t dataBytes_ = 0;
  std::string path_;
  std::string appendError_;
};

}  // namespace tonefield
