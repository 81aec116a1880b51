// Records every output block into a RIFF WAVE file: a 46-byte header (an
// 18-byte fmt chunk from the output format with cbSize 0, then the data
// chunk), then the blocks back to back. Stops by itself after 30000 blocks
// or a failed write (a full disk): that stop reports "mmioWriteエラー" once
// and still completes the file with the whole blocks written before. The
// size fields are brought up to date every 50 blocks, so a file cut off by
// a crash stays playable up to its last second. A start whose header cannot
// be written removes the file it created.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "audio_io/RiffFile.h"
#include "common/WaveFormat.h"

namespace tonefield {

struct RecorderResult {
  bool ok = true;
  std::string message;  // the error to show when !ok
};

struct AppendResult {
  bool stopped = false;  // this block ended the recording (limit or failed write)
  RecorderResult stop;   // the stop's outcome when stopped; "mmioWriteエラー" after a failed write
};

// "yyyymmdd-hhnnss" of a local time.
std::string PerformanceFileStem(int year, int month, int day, int hour, int minute, int second);

class PerformanceRecorder {
 public:
  static constexpr int kSizeRewriteEveryBlocks = 50;

  // Creates folder + stem + ".wav"; when that exists, stem + "-2.wav", "-3" ...
  RecorderResult StartInFolder(const std::string& folder, const std::string& stem,
                               const WaveFormat& format);
  // Creates (or truncates) exactly this file.
  RecorderResult StartAt(const std::string& path, const WaveFormat& format);

  // Appends one whole block while active; no allocation. A block that
  // cannot be written in full is left out and counted by no one.
  AppendResult Append(std::span<const std::uint8_t> block);
  // The same for a block in blockFormat; a block in another format than the
  // file's ends the recording instead, so every file holds one format.
  AppendResult Append(std::span<const std::uint8_t> block, const WaveFormat& blockFormat);

  // Completes the file; does nothing when not active. The file is closed
  // whatever the outcome.
  RecorderResult Stop();

  bool IsActive() const { return active_; }
  int BlockCount() const { return blockCount_; }
  const std::string& Path() const { return path_; }
  const WaveFormat& Format() const { return format_; }

 private:
  RecorderResult WriteHeader(const WaveFormat& format);
  // Ends the recording after a failed write: the file is completed up to
  // dataEnd, the end of the last whole block, and closed.
  RecorderResult StopAfterFailedWrite(std::uint64_t dataEnd);

  RiffFile file_;
  ChunkInfo riffChunk_;
  ChunkInfo dataChunk_;
  WaveFormat format_;
  std::string path_;
  int blockCount_ = 0;
  bool active_ = false;
  bool createdNew_ = false;  // the file did not exist before this start
};

}  // namespace tonefield
