#include "audio_io/WaveFile.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "audio_io/FileReplacement.h"
#include "audio_io/RiffFile.h"
#include "common/Constants.h"
#include "common/Utf8Path.h"
#include "common/WaveFormat.h"

namespace tonefield {

namespace fs = std::filesystem;

namespace {

constexpr FourCC kFourCCWave = MakeFourCC("WAVE");
constexpr FourCC kFourCCFmt = MakeFourCC("fmt ");
constexpr FourCC kFourCCData = MakeFourCC("data");

// The largest format block a header can describe: the 18 bytes of a
// WAVEFORMATEX and at most 65535 extra bytes, as its 16-bit cbSize counts them.
constexpr std::uint32_t kMaxFormatBlockSize = kWaveFormatExSize + 0xFFFF;

WaveLoadResult LoadFailure(std::string message) {
  WaveLoadResult result;
  result.message = std::move(message);
  return result;
}

// Formats the key-wave builder and the output device can play: PCM of 8 or
// 16 bits, one or two channels, at a rate whose 20 ms block fits a buffer.
// Block align and bytes per second must agree with the channels and width:
// the three-second cap is computed from them while the samples are read by
// channels and width, so a lying header could not be held to three seconds.
bool IsSupportedPcm(const WaveFormat& format) {
  if (format.samplesPerSec < kMinSampleRate || format.samplesPerSec > kMaxSampleRate) return false;
  if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return false;
  if (format.channels != 1 && format.channels != 2) return false;
  if (format.blockAlign != format.channels * (format.bitsPerSample / 8)) return false;
  return format.avgBytesPerSec ==
         static_cast<std::uint64_t>(format.samplesPerSec) * format.blockAlign;
}

// A 20 ms output block of a rate below 50 Hz holds no sample: the output
// could never play it.
bool IsPlayableRate(std::uint32_t samplesPerSec) {
  return samplesPerSec / kBlocksPerSecond > 0;
}

std::string UnplayableRateMessage(std::uint32_t samplesPerSec) {
  return "サンプリングレート " + std::to_string(samplesPerSec) + " Hz の音声は再生できません。";
}

}  // namespace

WaveLoadResult LoadWaveFile(const std::string& path) {
  RiffFile file;
  if (!file.OpenForReading(path)) return LoadFailure("ファイルオープンエラー (mmioOpen)");
  file.Seek(0);

  ChunkInfo riff;
  riff.formType = kFourCCWave;
  if (!file.Descend(riff, nullptr, DescendMode::FindRiff)) {
    return LoadFailure("ファイルシークエラー (mmioSeek)");
  }

  ChunkInfo chunk;
  chunk.id = kFourCCFmt;
  if (!file.Descend(chunk, &riff, DescendMode::FindChunk)) {
    return LoadFailure("fmtチャンクエラー (mmioDescend)");
  }

  // The chunk's size is the file's claim: never allocate beyond what the file holds.
  const std::uint32_t formatSize = chunk.size;
  if (formatSize > file.RemainingBytes()) return LoadFailure("fmtチャンクリードエラー (mmioRead)");
  if (formatSize > kMaxFormatBlockSize) return LoadFailure("fmtチャンクが不正です。");
  std::vector<std::uint8_t> format(formatSize, 0);
  if (file.Read(format) != static_cast<std::int64_t>(formatSize)) {
    return LoadFailure("fmtチャンクリードエラー (mmioRead)");
  }
  if (formatSize < kPcmFieldsSize) return LoadFailure("fmtチャンクが不正です。");
  const WaveFormat fields = ReadWaveFormat(format);
  if (fields.formatTag != kWaveFormatPcm) return LoadFailure("PCMフォーマットではありません。");
  if (!IsSupportedPcm(fields)) return LoadFailure("対応していないフォーマットです。");
  if (!IsPlayableRate(fields.samplesPerSec)) {
    return LoadFailure(UnplayableRateMessage(fields.samplesPerSec));
  }

  if (!file.Ascend(chunk)) return LoadFailure("dataチャンクエラー(mmioAscend)");

  chunk = ChunkInfo{};
  chunk.id = kFourCCData;
  if (!file.Descend(chunk, &riff, DescendMode::FindChunk)) return LoadFailure("dataチャンクエラー");

  // At most 158,760,000 bytes: 13,230,000 Hz, 4 bytes a frame, 3 seconds.
  const std::uint64_t cap = static_cast<std::uint64_t>(fields.samplesPerSec) * fields.blockAlign *
                            static_cast<std::uint64_t>(kMaxSampleSeconds);
  const std::uint64_t dataSize = std::min<std::uint64_t>(chunk.size, cap);
  if (dataSize > file.RemainingBytes()) return LoadFailure("dataチャンクリードエラー");
  std::vector<std::uint8_t> data(static_cast<std::size_t>(dataSize), 0);
  if (file.Read(data) != static_cast<std::int64_t>(dataSize)) {
    return LoadFailure("dataチャンクリードエラー");
  }

  WaveLoadResult result;
  result.ok = true;
  result.sample.format = std::move(format);
  result.sample.data = std::move(data);
  result.sample.maySave = false;
  return result;
}

namespace {

// Removes the temporary file on every way out unless it was renamed.
class TemporaryFile {
 public:
  explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) RemoveFile(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const fs::path& Path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  fs::path path_;
};

WaveSaveResult SaveFailure(RiffFile& file, const char* message) {
  if (file.IsOpen()) file.Close();
  return WaveSaveResult{false, message};
}

// Creates a fresh file in folder for the new content of target; empty path
// when none could be made.
fs::path CreateTemporaryFor(const fs::path& folder, const fs::path& target, RiffFile& file) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string suffix = ".tmp";
    suffix += std::to_string(random() % 1000000000u);
    const fs::path candidate = folder / TemporaryFileName(PathToUtf8(target.filename()), suffix);
    if (file.CreateNew(PathToUtf8(candidate))) return candidate;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(candidate, ec))) break;  // not a name clash: the folder refuses
  }
  return {};
}

}  // namespace

WaveSaveResult SaveWaveFile(const std::string& path, const SourceSample& sample) {
  constexpr const char* kOpenError = "ファイルオープンエラー (mmioOpen)";
  RiffFile file;

  // Follows a link, refuses what an open for writing would refuse, and says
  // whether the finished file is renamed over the target or copied into it.
  const ReplacementPlan plan = PlanReplacement(PathFromUtf8(path));
  if (!plan.allowed) return WaveSaveResult{false, kOpenError};

  TemporaryFile temporary(CreateTemporaryFor(plan.temporaryFolder, plan.target, file));
  if (temporary.Path().empty()) return WaveSaveResult{false, kOpenError};

  ChunkInfo riff;
  riff.formType = kFourCCWave;
  if (!file.CreateChunk(riff, CreateMode::Riff)) {
    return SaveFailure(file, "RIFFチャンク作成エラー (mmioCreateChunk)");
  }
  ChunkInfo fmt;
  fmt.id = kFourCCFmt;
  if (!file.CreateChunk(fmt, CreateMode::Chunk)) {
    return SaveFailure(file, "fmtチャンク作成エラー (mmioCreateChunk)");
  }
  if (file.Write(sample.format) != static_cast<std::int64_t>(sample.format.size())) {
    return SaveFailure(file, "fmtチャンク書き込みエラー (mmioWrite)");
  }
  if (!file.Ascend(fmt)) return SaveFailure(file, "fmtチャンク書き込みエラー (mmioAscend)");
  ChunkInfo data;
  data.id = kFourCCData;
  if (!file.CreateChunk(data, CreateMode::Chunk)) {
    return SaveFailure(file, "dataチャンク作成エラー (mmioCreateChunk)");
  }
  if (file.Write(sample.data) != static_cast<std::int64_t>(sample.data.size())) {
    return SaveFailure(file, "dataチャンク書き込みエラー (mmioWrite)");
  }
  if (!file.Ascend(data)) return SaveFailure(file, "dataチャンク書き込みエラー (mmioAscend)");
  if (!file.Ascend(riff)) return SaveFailure(file, "RIFFチャンク書き込みエラー (mmioAscend)");
  // Closing is the last write of the RIFF chunk: if it fails the file is not whole.
  if (!file.Close()) return WaveSaveResult{false, "RIFFチャンク書き込みエラー (mmioAscend)"};

  switch (CommitReplacement(plan, temporary.Path())) {
    case ReplaceOutcome::kDone:
      temporary.Release();
      return WaveSaveResult{true, {}};
    case ReplaceOutcome::kCannotOpen:
      return WaveSaveResult{false, kOpenError};
    case ReplaceOutcome::kWriteFailed:
      // Writing the whole file into the target in place failed, most of it data.
      return WaveSaveResult{false, "dataチャンク書き込みエラー (mmioWrite)"};
  }
  return WaveSaveResult{false, kOpenError};
}

}  // namespace tonefield
