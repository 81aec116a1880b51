#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <climits>
#include <thread>

#include "AudioTestFiles.h"
#include "audio_io/RiffFile.h"
#include "audio_io/WaveFile.h"

namespace tonefield {
namespace {

using namespace tonefield::testing;

struct LoadCase {
  const char* name;
  Bytes file;
  bool ok;
  const char* message;
  Bytes format;  // expected when ok
  Bytes data;    // expected when ok
};

Bytes Fmt16Mono11025() { return FormatBlock(Pcm(1, 11025, 16)); }

std::vector<LoadCase> LoadCases() {
  const Bytes fmt16 = Fmt16Mono11025();
  const Bytes fmt18 = FormatBlock(Pcm(1, 22050, 16), {14, 0});
  const Bytes fmtLong = FormatBlock(Pcm(2, 44100, 16), {4, 0, 0xAA, 0xBB, 0xCC, 0xDD});
  const Bytes fmt17 = FormatBlock(Pcm(1, 8000, 8), {0x7F});
  const Bytes ramp = Ramp(1000);
  const Bytes odd = Ramp(333);
  // 10 seconds of 8-bit mono at 8000 Hz: the first 24000 bytes are kept.
  const Bytes tenSeconds = Ramp(80000);
  WaveFormat extensible = Pcm(2, 44100, 16);
  extensible.formatTag = 0xFFFE;
  WaveFormat zeroAlign = Pcm(1, 11025, 16);
  zeroAlign.blockAlign = 0;
  WaveFormat noChannels = Pcm(1, 11025, 16);
  noChannels.channels = 0;
  // Headers whose block align or byte rate contradict the channels and
  // width: the three-second cap is computed from them, the samples are read
  // by channels and width, so a lying block align made keys minutes long.
  WaveFormat wideAlign = Pcm(1, 11025, 16);
  wideAlign.blockAlign = 65535;
  wideAlign.avgBytesPerSec = 11025u * 65535u;
  WaveFormat doubleAlign = Pcm(1, 11025, 16);
  doubleAlign.blockAlign = 4;
  doubleAlign.avgBytesPerSec = 44100;
  WaveFormat wrongByteRate = Pcm(2, 22050, 16);
  wrongByteRate.avgBytesPerSec = 12345;

  return {
      {"16-byte fmt kept at 16", Riff("WAVE", {Chunk("fmt ", fmt16), Chunk("data", ramp)}), true, "",
       fmt16, ramp},
      {"18-byte fmt kept whole", Riff("WAVE", {Chunk("fmt ", fmt18), Chunk("data", ramp)}), true, "",
       fmt18, ramp},
      {"longer fmt kept with its extra bytes",
       Riff("WAVE", {Chunk("fmt ", fmtLong), Chunk("data", ramp)}), true, "", fmtLong, ramp},
      {"8-bit mono", Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 8000, 8))), Chunk("data", ramp)}),
       true, "", FormatBlock(Pcm(1, 8000, 8)), ramp},
      {"8-bit stereo",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(2, 22050, 8))), Chunk("data", ramp)}), true, "",
       FormatBlock(Pcm(2, 22050, 8)), ramp},
      {"16-bit stereo",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(2, 44100, 16))), Chunk("data", ramp)}), true, "",
       FormatBlock(Pcm(2, 44100, 16)), ramp},
      {"ten seconds capped at three",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 8000, 8))), Chunk("data", tenSeconds)}), true,
       "", FormatBlock(Pcm(1, 8000, 8)), Sub(tenSeconds, 0, 24000)},
      {"size beyond the file but the first three seconds present",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 50, 8))), Chunk("data", Ramp(150), 0xFFFFFFF0)}),
       true, "", FormatBlock(Pcm(1, 50, 8)), Ramp(150)},
      {"data size 0", Riff("WAVE", {Chunk("fmt ", fmt16), Chunk("data", {})}), true, "", fmt16, {}},
      {"odd fmt and data sizes with pad bytes",
       Riff("WAVE", {Chunk("JUNK", Ramp(5)), Chunk("fmt ", fmt17), Chunk("LIST", Ramp(7)),
                     Chunk("data", odd)}),
       true, "", fmt17, odd},
      {"lowest playable rate", Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 50, 16))),
                                             Chunk("data", ramp)}),
       true, "", FormatBlock(Pcm(1, 50, 16)), Sub(ramp, 0, 300)},
      {"highest rate", Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 13230000, 16))),
                                     Chunk("data", ramp)}),
       true, "", FormatBlock(Pcm(1, 13230000, 16)), ramp},

      {"text file", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}, false,
       "ファイルシークエラー (mmioSeek)", {}, {}},
      {"empty file", {}, false, "ファイルシークエラー (mmioSeek)", {}, {}},
      {"RIFF of another form", Riff("AVI ", {Chunk("fmt ", fmt16), Chunk("data", ramp)}), false,
       "ファイルシークエラー (mmioSeek)", {}, {}},
      {"no fmt chunk", Riff("WAVE", {Chunk("data", ramp)}), false, "fmtチャンクエラー (mmioDescend)",
       {}, {}},
      {"fmt claiming 4 GB in a small file",
       Riff("WAVE", {Chunk("fmt ", fmt16, 0xFFFFFFFF)}), false, "fmtチャンクリードエラー (mmioRead)",
       {}, {}},
      {"fmt shorter than the PCM fields",
       Riff("WAVE", {Chunk("fmt ", Sub(fmt16, 0, 14)), Chunk("data", ramp)}), false,
       "fmtチャンクが不正です。", {}, {}},
      {"extensible", Riff("WAVE", {Chunk("fmt ", FormatBlock(extensible, {22, 0})), Chunk("data", ramp)}),
       false, "PCMフォーマットではありません。", {}, {}},
      {"24-bit", Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 44100, 24))), Chunk("data", ramp)}),
       false, "対応していないフォーマットです。", {}, {}},
      {"32-bit", Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 44100, 32))), Chunk("data", ramp)}),
       false, "対応していないフォーマットです。", {}, {}},
      {"three channels",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(3, 44100, 16))), Chunk("data", ramp)}), false,
       "対応していないフォーマットです。", {}, {}},
      {"no channels", Riff("WAVE", {Chunk("fmt ", FormatBlock(noChannels)), Chunk("data", ramp)}),
       false, "対応していないフォーマットです。", {}, {}},
      {"rate 0", Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 0, 16))), Chunk("data", ramp)}), false,
       "対応していないフォーマットです。", {}, {}},
      {"rate 9", Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 9, 16))), Chunk("data", ramp)}), false,
       "対応していないフォーマットです。", {}, {}},
      {"rate above the block buffer",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 13230001, 16))), Chunk("data", ramp)}), false,
       "対応していないフォーマットです。", {}, {}},
      {"block align 0", Riff("WAVE", {Chunk("fmt ", FormatBlock(zeroAlign)), Chunk("data", ramp)}),
       false, "対応していないフォーマットです。", {}, {}},
      {"block align 65535 for 16-bit mono",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(wideAlign)), Chunk("data", Ramp(4000))}), false,
       "対応していないフォーマットです。", {}, {}},
      {"block align 4 for 16-bit mono",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(doubleAlign)), Chunk("data", ramp)}), false,
       "対応していないフォーマットです。", {}, {}},
      {"bytes per second other than rate × block align",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(wrongByteRate)), Chunk("data", ramp)}), false,
       "対応していないフォーマットです。", {}, {}},
      // A 20 ms output block of these rates holds no sample: nothing could play.
      {"rate 10", Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(1, 10, 16))), Chunk("data", ramp)}),
       false, "サンプリングレート 10 Hz の音声は再生できません。", {}, {}},
      {"rate 49", Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(2, 49, 8))), Chunk("data", ramp)}),
       false, "サンプリングレート 49 Hz の音声は再生できません。", {}, {}},
      {"data before fmt", Riff("WAVE", {Chunk("data", ramp), Chunk("fmt ", fmt16)}), false,
       "dataチャンクエラー", {}, {}},
      {"no data chunk", Riff("WAVE", {Chunk("fmt ", fmt16)}), false, "dataチャンクエラー", {}, {}},
      {"truncated data", Riff("WAVE", {Chunk("fmt ", fmt16), Chunk("data", ramp, 5000)}), false,
       "dataチャンクリードエラー", {}, {}},
      {"data claiming 4 GB within three seconds",
       Riff("WAVE", {Chunk("fmt ", FormatBlock(Pcm(2, 13230000, 16))), Chunk("data", ramp, 0xFFFFFFFF)}),
       false, "dataチャンクリードエラー", {}, {}},
  };
}

TEST(LoadWaveFile, ReadsOrRefusesEachKindOfFile) {
  TempFolder folder;
  for (const LoadCase& c : LoadCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File("case.wav");
    WriteFile(path, c.file);
    const WaveLoadResult result = LoadWaveFile(path);
    EXPECT_EQ(result.ok, c.ok);
    EXPECT_EQ(result.message, c.message);
    if (c.ok) {
      EXPECT_EQ(result.sample.format, c.format);
      EXPECT_EQ(result.sample.data, c.data);
      EXPECT_FALSE(result.sample.maySave);
    } else {
      EXPECT_TRUE(result.sample.format.empty());
      EXPECT_TRUE(result.sample.data.empty());
    }
  }
}

TEST(LoadWaveFile, MissingFileOrFolderIsAnOpenError) {
  TempFolder folder;
  EXPECT_EQ(LoadWaveFile(folder.File("absent.wav")).message, "ファイルオープンエラー (mmioOpen)");
  EXPECT_EQ(LoadWaveFile(folder.File("no/such/dir.wav")).message, "ファイルオープンエラー (mmioOpen)");
  EXPECT_EQ(LoadWaveFile(folder.WithSeparator()).message, "ファイルオープンエラー (mmioOpen)");
}

// Opening a pipe for reading waits for a writer: a named pipe chosen in the
// dialog must be refused at once, not freeze the window until someone writes.
TEST(LoadWaveFile, NamedPipeIsRefusedWithoutWaitingForAWriter) {
  TONEFIELD_SKIP_ON_WINDOWS("a named pipe cannot be given a name in a folder there");
#ifndef _WIN32
  TempFolder folder;
  const std::string path = folder.File("pipe.wav");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  // Releases a reader stuck in open after a second, so a failure cannot hang.
  std::thread release([&path] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  });
  const auto begin = std::chrono::steady_clock::now();
  const WaveLoadResult result = LoadWaveFile(path);
  const auto elapsed = std::chrono::steady_clock::now() - begin;
  release.join();
  EXPECT_EQ(result.message, "ファイルオープンエラー (mmioOpen)");
  EXPECT_LT(elapsed, std::chrono::milliseconds(500));
#endif
}

TEST(LoadWaveFile, TruncatedFilesNeverReadPastTheirEnd) {
  TempFolder folder;
  const Bytes whole = Riff("WAVE", {Chunk("fmt ", Fmt16Mono11025()), Chunk("data", Ramp(64))});
  const std::string path = folder.File("cut.wav");
  for (std::size_t size = 0; size < whole.size(); ++size) {
    SCOPED_TRACE(size);
    WriteFile(path, Sub(whole, 0, size));
    const WaveLoadResult result = LoadWaveFile(path);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.empty());
  }
}

// A file of zeros reads as a chain of empty 8-byte chunk headers. Whatever
// the file's size, the loader refuses it after the same small amount of
// work: sparse files of 1 MB, 64 MB and 2 GB cost the same reads and seeks.
TEST(LoadWaveFile, ZeroFilledFilesCostTheSameWorkAtAnySize) {
  TempFolder folder;
  const Bytes riffHeader = Sub(Riff("WAVE", {}), 0, 12);
  Bytes riffAndFmt = riffHeader;
  Append(riffAndFmt, Chunk("fmt ", Fmt16Mono11025()));
  // A format chunk that claims 512 KB: far beyond any real format block.
  Bytes hugeFmt = riffHeader;
  AppendText(hugeFmt, "fmt ");
  AppendLe32(hugeFmt, 512u << 10);
  Append(hugeFmt, Fmt16Mono11025());

  struct Case {
    const char* name;
    Bytes head;  // written at the start; the rest of the file is zeros
    const char* message;
  };
  const Case cases[] = {
      {"only zeros", {}, "ファイルシークエラー (mmioSeek)"},
      {"RIFF header, then zeros", riffHeader, "fmtチャンクエラー (mmioDescend)"},
      {"format chunk, then zeros", riffAndFmt, "dataチャンクエラー"},
      {"format chunk claiming 512 KB", hugeFmt, "fmtチャンクが不正です。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> work;
    for (const std::uintmax_t size : {std::uintmax_t{1} << 20, std::uintmax_t{64} << 20,
                                      std::uintmax_t{2} << 30}) {
      const std::string path = folder.File("zeros.wav");
      Bytes head = c.head;
      if (head.size() >= 8) WriteLe32(head.data() + 4, static_cast<std::uint32_t>(size - 8));
      WriteFile(path, head);
      std::filesystem::resize_file(path, size);  // sparse: no disk space needed
      ScopedRiffFault counter(INT_MAX);
      const WaveLoadResult result = LoadWaveFile(path);
      EXPECT_EQ(result.message, c.message) << size;
      work.push_back(counter.OperationsSeen() + counter.ReadsSeen());
    }
    EXPECT_LT(work[0], 64);
    EXPECT_EQ(work[1], work[0]);
    EXPECT_EQ(work[2], work[0]);
  }
}

// Real files carry a few extra chunks (LIST, JUNK, cue, bext ...); hundreds
// of them are still searched through.
TEST(LoadWaveFile, ManySmallChunksBeforeTheDataAreStillFound) {
  TempFolder folder;
  Bytes body;
  AppendText(body, "WAVE");
  Append(body, Chunk("fmt ", Fmt16Mono11025()));
  for (int i = 0; i < 500; ++i) Append(body, Chunk("JUNK", Ramp(static_cast<std::size_t>(i % 3))));
  Append(body, Chunk("data", Ramp(100)));
  Bytes file;
  AppendText(file, "RIFF");
  AppendLe32(file, static_cast<std::uint32_t>(body.size()));
  Append(file, body);
  const std::string path = folder.File("chunks.wav");
  WriteFile(path, file);
  const WaveLoadResult result = LoadWaveFile(path);
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(result.sample.data, Ramp(100));
}

TEST(LoadWaveFile, FailedAscendOutOfTheFormatChunkHasItsOwnMessage) {
  TempFolder folder;
  const std::string path = folder.File("a.wav");
  WriteFile(path, Riff("WAVE", {Chunk("fmt ", Fmt16Mono11025()), Chunk("data", Ramp(10))}));
  // Seeks: to the start (result ignored), the RIFF body, the fmt body, the ascend.
  {
    ScopedRiffFault fault(0);
    EXPECT_TRUE(LoadWaveFile(path).ok);
  }
  {
    ScopedRiffFault fault(3);
    EXPECT_EQ(LoadWaveFile(path).message, "dataチャンクエラー(mmioAscend)");
  }
}

}  // namespace
}  // namespace tonefield
