#include "audio_io/PerformanceRecorder.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/Constants.h"
#include "common/Utf8Path.h"

namespace tonefield {

namespace {

constexpr int kMaxNameSuffix = 1000;

RecorderResult Failure(const char* message) { return RecorderResult{false, message}; }

}  // namespace

std::string PerformanceFileStem(int year, int month, int day, int hour, int minute, int second) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4d%.2d%.2d-%.2d%.2d%.2d", year, month, day, hour, minute,
                second);
  return text;
}

RecorderResult PerformanceRecorder::StartInFolder(const std::string& folder,
                                                  const std::string& stem,
                                                  const WaveFormat& format) {
  if (active_) Stop();
  blockCount_ = 0;
  // Claim a name no earlier recording holds, so a second start in the same
  // second does not truncate the first.
  for (int suffix = 1; suffix <= kMaxNameSuffix; ++suffix) {
    std::string name = folder;
    name.append(stem);
    if (suffix > 1) name.append("-").append(std::to_string(suffix));
    name.append(".wav");
    if (file_.CreateNew(name)) {
      path_ = name;
      createdNew_ = true;
      return WriteHeader(format);
    }
    std::error_code ec;
    if (!std::filesystem::exists(PathFromUtf8(name), ec)) break;  // not taken: the folder refuses
  }
  return Failure("mmioOpenエラー");
}

RecorderResult PerformanceRecorder::StartAt(const std::string& path, const WaveFormat& format) {
  if (active_) Stop();
  blockCount_ = 0;
  if (!file_.Create(path)) return Failure("mmioOpenエラー");
  path_ = path;
  createdNew_ = false;
  return WriteHeader(format);
}

RecorderResult PerformanceRecorder::WriteHeader(const WaveFormat& format) {
  auto fail = [this](const char* message) {
    file_.Close();
    // A file without its header is of no use: one this start created goes
    // again, so a full disk leaves no empty file behind.
    if (createdNew_) {
      std::error_code ignored;
      std::filesystem::remove(PathFromUtf8(path_), ignored);
    }
    return Failure(message);
  };
  riffChunk_ = ChunkInfo{};
  riffChunk_.formType = MakeFourCC("WAVE");
  if (!file_.CreateChunk(riffChunk_, CreateMode::Riff)) return fail("mmioCreateChunkエラー(WAVE)");

  ChunkInfo fmt;
  fmt.id = MakeFourCC("fmt ");
  fmt.size = static_cast<std::uint32_t>(kPcmFieldsSize);
  if (!file_.CreateChunk(fmt, CreateMode::Chunk)) return fail("mmioCreateChunkエラー(fmt)");
  const std::vector<std::uint8_t> block = MakeWaveFormatEx(format, 0);
  if (file_.Write(block) == -1) return fail("mmioWriteエラー");
  if (!file_.Ascend(fmt)) return fail("mmioAscendエラー");

  dataChunk_ = ChunkInfo{};
  dataChunk_.id = MakeFourCC("data");
  if (!file_.CreateChunk(dataChunk_, CreateMode::Chunk)) return fail("mmioCreateChunkエラー(data)");

  format_ = format;
  active_ = true;
  return RecorderResult{};
}

AppendResult PerformanceRecorder::Append(std::span<const std::uint8_t> block) {
  AppendResult result;
  if (!active_) return result;
  const std::uint64_t blockStart = file_.Position();
  const bool written = file_.Write(block) != -1;
  bool failed = !written;
  if (written) {
    ++blockCount_;
    if (blockCount_ % kSizeRewriteEveryBlocks == 0) {
      failed = !file_.RewriteSize(dataChunk_) || !file_.RewriteSize(riffChunk_);
    }
  }
  if (failed) {
    result.stopped = true;
    result.stop = StopAfterFailedWrite(written ? blockStart + block.size() : blockStart);
  } else if (blockCount_ >= kPerformanceBlockLimit) {
    result.stopped = true;
    result.stop = Stop();
  }
  return result;
}

RecorderResult PerformanceRecorder::StopAfterFailedWrite(std::uint64_t dataEnd) {
  // The part of a block that reached the disk is cut off, so the sizes and
  // the file's length count whole blocks. Whatever else fails on the way,
  // the user hears of the write failure alone.
  file_.Seek(dataEnd);
  if (Stop().ok) {
    const std::uint64_t pad = (dataEnd - dataChunk_.dataOffset) & 1u;
    std::error_code ignored;
    std::filesystem::resize_file(PathFromUtf8(path_), dataEnd + pad, ignored);
  }
  return Failure("mmioWriteエラー");
}

AppendResult PerformanceRecorder::Append(std::span<const std::uint8_t> block,
                                         const WaveFormat& blockFormat) {
  if (active_ && !(blockFormat == format_)) {
    AppendResult result;
    result.stopped = true;
    result.stop = Stop();
    return result;
  }
  return Append(block);
}

RecorderResult PerformanceRecorder::Stop() {
  if (!active_) return RecorderResult{};
  active_ = false;
  if (!file_.Ascend(dataChunk_) || !file_.Ascend(riffChunk_)) {
    file_.Close();
    return Failure("mmioAscendエラー");
  }
  if (!file_.Close()) return Failure("mmioCloseエラー");
  return RecorderResult{};
}

}  // namespace tonefield
