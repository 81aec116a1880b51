#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <algorithm>

#include "AudioTestFiles.h"
#include "audio_io/PerformanceRecorder.h"
#include "audio_io/RiffFile.h"
#include "audio_io/WaveFile.h"

namespace tonefield {
namespace {

using namespace tonefield::testing;

const WaveFormat kOutput = Pcm(1, 11025, 16);

Bytes Block(std::size_t bytes, std::uint8_t fill) { return Bytes(bytes, fill); }

// While alive, a write that would make a file of this process longer than
// `bytes` fails for real (EFBIG), as on a full disk; no root, no mount.
// Windows has no such limit (nor can a test fill a disk under wine): there
// the injected faults alone stand for a full disk.
#ifndef _WIN32
class FileSizeLimit {
 public:
  static constexpr bool kAvailable = true;
  explicit FileSizeLimit(std::uint64_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous_;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  sighandler_t previousHandler_ = SIG_DFL;
};
#else
class FileSizeLimit {
 public:
  static constexpr bool kAvailable = false;
  explicit FileSizeLimit(std::uint64_t) {}
};
#endif

Bytes ExpectedHeader(std::uint32_t riffSize, std::uint32_t dataSize, const WaveFormat& format) {
  Bytes out;
  AppendText(out, "RIFF");
  AppendLe32(out, riffSize);
  AppendText(out, "WAVEfmt ");
  AppendLe32(out, 18);
  Append(out, MakeWaveFormatEx(format, 0));
  AppendText(out, "data");
  AppendLe32(out, dataSize);
  return out;
}

TEST(PerformanceFileStem, IsDateHyphenTimeZeroFilled) {
  EXPECT_EQ(PerformanceFileStem(2024, 3, 1, 9, 5, 7), "20240301-090507");
  EXPECT_EQ(PerformanceFileStem(1999, 12, 31, 23, 59, 59), "19991231-235959");
}

TEST(PerformanceRecorder, StopRightAfterStartLeavesA46ByteFile) {
  TempFolder folder;
  PerformanceRecorder recorder;
  WaveFormat odd = Pcm(1, 22050, 16);
  odd.avgBytesPerSec = 12345;  // copied as it is, not recomputed
  ASSERT_TRUE(recorder.StartInFolder(folder.WithSeparator(), "20240301-090507", odd).ok);
  EXPECT_TRUE(recorder.IsActive());
  EXPECT_EQ(recorder.Path(), folder.File("20240301-090507.wav"));
  EXPECT_TRUE(recorder.Stop().ok);
  EXPECT_FALSE(recorder.IsActive());
  EXPECT_EQ(ReadFile(folder.File("20240301-090507.wav")), ExpectedHeader(38, 0, odd));
}

TEST(PerformanceRecorder, BlocksAreAppendedWholeAndSizedAtStop) {
  TempFolder folder;
  PerformanceRecorder recorder;
  const std::string path = folder.File("n.wav");
  ASSERT_TRUE(recorder.StartAt(path, kOutput).ok);
  Bytes expectedData;
  for (int i = 0; i < 7; ++i) {
    const Bytes block = Block(440, static_cast<std::uint8_t>(i + 1));
    EXPECT_FALSE(recorder.Append(block).stopped);
    Append(expectedData, block);
  }
  EXPECT_EQ(recorder.BlockCount(), 7);
  // While recording the size fields still hold their placeholders.
  EXPECT_EQ(ReadFile(path), [&] {
    Bytes b = ExpectedHeader(0, 0, kOutput);
    Append(b, expectedData);
    return b;
  }());
  ASSERT_TRUE(recorder.Stop().ok);
  Bytes expected = ExpectedHeader(38 + 3080, 3080, kOutput);
  Append(expected, expectedData);
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_EQ(recorder.Append(Block(440, 9)).stopped, false);  // inactive: ignored
  EXPECT_EQ(ReadFile(path).size(), expected.size());

  const WaveLoadResult loaded = LoadWaveFile(path);
  ASSERT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.sample.data, expectedData);
}

TEST(PerformanceRecorder, SizesAreRewrittenEveryFiftyBlocks) {
  TempFolder folder;
  PerformanceRecorder recorder;
  const std::string path = folder.File("crash.wav");
  ASSERT_TRUE(recorder.StartAt(path, kOutput).ok);
  struct Check {
    int blocks;
    std::uint32_t declaredData;
  };
  int appended = 0;
  for (const Check check : {Check{49, 0}, Check{50, 50 * 440}, Check{99, 50 * 440},
                            Check{100, 100 * 440}, Check{151, 150 * 440}}) {
    while (appended < check.blocks) {
      recorder.Append(Block(440, 0x11));
      ++appended;
    }
    SCOPED_TRACE(check.blocks);
    const Bytes file = ReadFile(path);
    EXPECT_EQ(file.size(), 46u + 440u * static_cast<unsigned>(check.blocks));
    EXPECT_EQ(ReadLe32(file.data() + 42), check.declaredData);
    EXPECT_EQ(ReadLe32(file.data() + 4), check.declaredData == 0 ? 0 : 38 + check.declaredData);
  }
  // A copy taken now, as a crash would leave it, loads with its last full second.
  const std::string copy = folder.File("copy.wav");
  WriteFile(copy, ReadFile(path));
  const WaveLoadResult loaded = LoadWaveFile(copy);
  ASSERT_TRUE(loaded.ok) << loaded.message;
  EXPECT_EQ(loaded.sample.data.size(), 150u * 440u);
  EXPECT_TRUE(recorder.Stop().ok);
}

TEST(PerformanceRecorder, StopsByItselfAfter30000Blocks) {
  TempFolder folder;
  PerformanceRecorder recorder;
  const std::string path = folder.File("limit.wav");
  ASSERT_TRUE(recorder.StartAt(path, kOutput).ok);
  const Bytes block = Block(4, 0x22);
  for (int i = 1; i < 30000; ++i) ASSERT_FALSE(recorder.Append(block).stopped) << i;
  const AppendResult last = recorder.Append(block);
  EXPECT_TRUE(last.stopped);
  EXPECT_TRUE(last.stop.ok);
  EXPECT_FALSE(recorder.IsActive());
  EXPECT_EQ(recorder.BlockCount(), 30000);
  const Bytes file = ReadFile(path);
  ASSERT_EQ(file.size(), 46u + 120000u);
  EXPECT_EQ(ReadLe32(file.data() + 4), 38u + 120000u);
  EXPECT_EQ(ReadLe32(file.data() + 42), 120000u);
}

TEST(PerformanceRecorder, SameSecondStartsGetNumberedNames) {
  TempFolder folder;
  const std::string stem = "20240301-090507";
  PerformanceRecorder first, second, third;
  ASSERT_TRUE(first.StartInFolder(folder.WithSeparator(), stem, kOutput).ok);
  first.Append(Block(440, 1));
  ASSERT_TRUE(first.Stop().ok);
  ASSERT_TRUE(second.StartInFolder(folder.WithSeparator(), stem, kOutput).ok);
  ASSERT_TRUE(third.StartInFolder(folder.WithSeparator(), stem, kOutput).ok);
  EXPECT_EQ(second.Path(), folder.File(stem + "-2.wav"));
  EXPECT_EQ(third.Path(), folder.File(stem + "-3.wav"));
  EXPECT_TRUE(second.Stop().ok);
  EXPECT_TRUE(third.Stop().ok);
  EXPECT_EQ(ReadFile(folder.File(stem + ".wav")).size(), 46u + 440u);
  EXPECT_EQ(ReadFile(folder.File(stem + "-2.wav")).size(), 46u);
}

TEST(PerformanceRecorder, UnwritableTargetsAreOpenErrors) {
  TempFolder folder;
  PerformanceRecorder recorder;
  EXPECT_EQ(recorder.StartInFolder(folder.File("missing") + "/", "x", kOutput).message,
            "mmioOpenエラー");
  EXPECT_EQ(recorder.StartAt(folder.File("missing/y.wav"), kOutput).message, "mmioOpenエラー");
  EXPECT_FALSE(recorder.IsActive());
}

TEST(PerformanceRecorder, FullDiskFailsTheFirstChunk) {
  PerformanceRecorder recorder;
  const RecorderResult result = recorder.StartAt("/dev/full", kOutput);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, "mmioCreateChunkエラー(WAVE)");
  EXPECT_FALSE(recorder.IsActive());
}

TEST(PerformanceRecorder, EveryFailingStartStepHasItsMessage) {
  TempFolder folder;
  std::vector<std::string> messages;
  bool started = false;
  for (int failing = 0; failing < 20 && !started; ++failing) {
    PerformanceRecorder recorder;
    RecorderResult result;
    {
      ScopedRiffFault fault(failing);
      result = recorder.StartAt(folder.File("s.wav"), kOutput);
    }
    started = result.ok;
    if (started) {
      EXPECT_TRUE(recorder.Stop().ok);
      break;
    }
    EXPECT_FALSE(recorder.IsActive());
    if (messages.empty() || messages.back() != result.message) messages.push_back(result.message);
  }
  EXPECT_TRUE(started);
  EXPECT_EQ(messages, (std::vector<std::string>{"mmioCreateChunkエラー(WAVE)",
                                                "mmioCreateChunkエラー(fmt)", "mmioWriteエラー",
                                                "mmioAscendエラー", "mmioCreateChunkエラー(data)"}));
}

TEST(PerformanceRecorder, FailedStopStillClosesAndAllowsANewRecording) {
  TempFolder folder;
  std::vector<std::string> messages;
  for (int failing = 0; failing < 8; ++failing) {
    PerformanceRecorder recorder;
    ASSERT_TRUE(recorder.StartAt(folder.File("stop.wav"), kOutput).ok);
    recorder.Append(Block(440, 3));
    RecorderResult result;
    {
      ScopedRiffFault fault(failing);
      result = recorder.Stop();
    }
    EXPECT_FALSE(recorder.IsActive());
    if (!result.ok) messages.push_back(result.message);
    // Closed either way: the same recorder starts again.
    ASSERT_TRUE(recorder.StartAt(folder.File("again.wav"), kOutput).ok);
    EXPECT_TRUE(recorder.Stop().ok);
  }
  // Data ascend (seek, size, seek), RIFF ascend (seek, size, seek), close.
  EXPECT_EQ(messages, (std::vector<std::string>{"mmioAscendエラー", "mmioAscendエラー",
                                                "mmioAscendエラー", "mmioAscendエラー",
                                                "mmioAscendエラー", "mmioAscendエラー",
                                                "mmioCloseエラー"}));
}

TEST(PerformanceRecorder, AFormatChangeEndsTheRecordingBeforeItsFirstBlock) {
  TempFolder folder;
  PerformanceRecorder recorder;
  const std::string path = folder.File("f.wav");
  ASSERT_TRUE(recorder.StartAt(path, kOutput).ok);
  EXPECT_FALSE(recorder.Append(Block(440, 1), kOutput).stopped);
  const AppendResult changed = recorder.Append(Block(882, 2), Pcm(1, 22050, 16));
  EXPECT_TRUE(changed.stopped);
  EXPECT_TRUE(changed.stop.ok);
  EXPECT_FALSE(recorder.IsActive());
  EXPECT_EQ(recorder.BlockCount(), 1);
  Bytes expected = ExpectedHeader(38 + 440, 440, kOutput);
  Append(expected, Block(440, 1));
  EXPECT_EQ(ReadFile(path), expected);
}

// A full disk during a recording: the write failure is reported once, the
// file is completed and closed cleanly (no close error on top) and holds
// the whole blocks written before, with sizes to match.
TEST(PerformanceRecorder, AFailedBlockWriteIsReportedOnceAndTheFileCompleted) {
  TempFolder folder;
  const std::string path = folder.File("w.wav");
  struct Case {
    const char* name;
    std::uint64_t limit;  // bytes the disk takes; 0: an injected failure of the third write
  };
  // 46 + 2 × 440 + 100: the third block is written in part, as a disk fills up.
  for (const Case c : {Case{"injected", 0}, Case{"file size limit", 46 + 880 + 100}}) {
    SCOPED_TRACE(c.name);
    if (c.limit != 0 && !FileSizeLimit::kAvailable) continue;
    PerformanceRecorder recorder;
    ASSERT_TRUE(recorder.StartAt(path, kOutput).ok);
    recorder.Append(Block(440, 1));
    recorder.Append(Block(440, 2));
    AppendResult result;
    if (c.limit == 0) {
      ScopedRiffFault fault(0);
      result = recorder.Append(Block(440, 3));
    } else {
      FileSizeLimit disk(c.limit);
      result = recorder.Append(Block(440, 3));
    }
    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.stop.ok);
    EXPECT_EQ(result.stop.message, "mmioWriteエラー");
    EXPECT_FALSE(recorder.IsActive());
    EXPECT_EQ(recorder.BlockCount(), 2);
    Bytes expected = ExpectedHeader(38 + 880, 880, kOutput);
    Append(expected, Block(440, 1));
    Append(expected, Block(440, 2));
    EXPECT_EQ(ReadFile(path), expected);
    // Closed: the same recorder starts again.
    ASSERT_TRUE(recorder.StartAt(folder.File("again.wav"), kOutput).ok);
    EXPECT_TRUE(recorder.Stop().ok);
  }
}

// A start whose header cannot be written (a full disk) leaves no empty or
// half-written file behind.
TEST(PerformanceRecorder, AStartThatCannotWriteItsHeaderRemovesTheFile) {
  TempFolder folder;
  for (const std::uint64_t limit : {0, 20, 40}) {
    SCOPED_TRACE(limit);
    if (!FileSizeLimit::kAvailable) break;
    PerformanceRecorder recorder;
    RecorderResult result;
    {
      FileSizeLimit disk(limit);
      result = recorder.StartInFolder(folder.WithSeparator(), "20240301-090507", kOutput);
    }
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(recorder.IsActive());
    EXPECT_TRUE(folder.Names().empty());
  }
  for (int failing = 0; failing < 7; ++failing) {
    SCOPED_TRACE(failing);
    PerformanceRecorder recorder;
    RecorderResult result;
    {
      ScopedRiffFault fault(failing);
      result = recorder.StartInFolder(folder.WithSeparator(), "20240301-090507", kOutput);
    }
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(folder.Names().empty());
  }
}

}  // namespace
}  // namespace tonefield
