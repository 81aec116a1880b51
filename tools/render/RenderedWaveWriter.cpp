#include "RenderedWaveWriter.h"

#include <algorithm>
#include <array>
#include <bit>

#include "ErrorGloss.h"

namespace tonefield {
namespace {

constexpr FourCC kWave = MakeFourCC("WAVE");
constexpr FourCC kFmt = MakeFourCC("fmt ");
constexpr FourCC kData = MakeFourCC("data");

}  // namespace

WaveFormat RenderedFormat(const WaveFormat& outputFormat) {
  WaveFormat format = outputFormat;
  format.formatTag = kWaveFormatPcm;
  format.channels = 1;
  format.bitsPerSample = 16;
  format.blockAlign = 2;
  format.avgBytesPerSec = outputFormat.samplesPerSec * 2;
  return format;
}

ToolStatus RenderedWaveWriter::Start(const std::string& path, const WaveFormat& format,
                                     std::size_t maxSamplesPerAppend) {
  path_ = path;
  dataBytes_ = 0;
  appendError_.clear();
  maxSamplesPerAppend_ = maxSamplesPerAppend;
  if (!file_.CreateOrReuseEmpty(path)) return ToolStatus::Failure("mmioOpenエラー", path);

  auto fail = [this, &path](const char* message) {
    file_.Close();
    return ToolStatus::Failure(message, path);
  };
  riffChunk_ = ChunkInfo{};
  riffChunk_.formType = kWave;
  if (!file_.CreateChunk(riffChunk_, CreateMode::Riff)) return fail("mmioCreateChunkエラー(WAVE)");

  // Created as 16 bytes, corrected to 18 by the ascend, as in a recording.
  ChunkInfo fmtChunk;
  fmtChunk.id = kFmt;
  fmtChunk.size = 16;
  if (!file_.CreateChunk(fmtChunk, CreateMode::Chunk)) return fail("mmioCreateChunkエラー(fmt)");
  const std::vector<std::uint8_t> formatBlock = MakeWaveFormatEx(format, 0);
  if (file_.Write(formatBlock) == -1) return fail("mmioWriteエラー");
  if (!file_.Ascend(fmtChunk)) return fail("mmioAscendエラー");

  dataChunk_ = ChunkInfo{};
  dataChunk_.id = kData;
  if (!file_.CreateChunk(dataChunk_, CreateMode::Chunk)) return fail("mmioCreateChunkエラー(data)");
  return ToolStatus::Success();
}

bool RenderedWaveWriter::Append(std::span<const std::int16_t> samples) {
  if (!appendError_.empty()) return false;
  if (samples.size() > maxSamplesPerAppend_) {
    appendError_ = "mmioWriteエラー";
    return false;
  }
  const std::size_t byteCount = samples.size() * 2;
  if (dataBytes_ + byteCount > kMaxWaveDataBytes) {
    appendError_ = std::string(kFileTooLargeMessage);
    return false;
  }
  if (!WriteLittleEndian(samples)) {
    appendError_ = "mmioWriteエラー";
    return false;
  }
  dataBytes_ += byteCount;
  return true;
}

bool RenderedWaveWriter::WriteLittleEndian(std::span<const std::int16_t> samples) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(samples.data()),
                                              samples.size() * 2);
    return file_.Write(bytes) == static_cast<std::int64_t>(bytes.size());
  } else {
    // Swapped a piece at a time through a small buffer.
    std::array<std::uint8_t, 4096> piece;
    do {
      const std::size_t count = std::min(samples.size(), piece.size() / 2);
      for (std::size_t i = 0; i < count; ++i) {
        WriteLe16(piece.data() + 2 * i, static_cast<std::uint16_t>(samples[i]));
      }
      const std::span<const std::uint8_t> bytes(piece.data(), count * 2);
      if (file_.Write(bytes) != static_cast<std::int64_t>(bytes.size())) return false;
      samples = samples.subspan(count);
    } while (!samples.empty());
    return true;
  }
}

ToolStatus RenderedWaveWriter::Finish() {
  if (!appendError_.empty()) {
    file_.Close();
    return ToolStatus::Failure(appendError_, path_);
  }
  if (!file_.Ascend(dataChunk_) || !file_.Ascend(riffChunk_)) {
    file_.Close();
    return ToolStatus::Failure("mmioAscendエラー", path_);
  }
  if (!file_.Close()) return ToolStatus::Failure("mmioCloseエラー", path_);
  return ToolStatus::Success();
}

}  // namespace tonefield
