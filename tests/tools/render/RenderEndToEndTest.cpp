// Rendering and key export end to end: the executable, real files, exit codes.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <iterator>
#include <chrono>
#include <thread>
#include <string>
#include <vector>

#include "ToolRunner.h"
#include "common/Utf8Path.h"
#include "dsp/DefaultSample.h"
#include "support/PipeUnblocker.h"
#include "support/TestPlatform.h"

namespace tonefield::testing {
namespace {

std::vector<std::int16_t> Samples(const WrittenWave& wave) {
  std::vector<std::int16_t> samples(wave.data.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(wave.data[2 * i] | (wave.data[2 * i + 1] << 8));
  }
  return samples;
}

void WriteText(const std::filesystem::path& file, const std::string& text) {
  WriteBytes(file, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// The header of a finished render: sizes agree with the file's length.
void ExpectConsistentHeader(const std::vector<std::uint8_t>& bytes, std::uint32_t rate) {
  const WrittenWave wave = ParseWrittenWave(bytes);
  EXPECT_TRUE(wave.tagsRight);
  EXPECT_EQ(wave.riffSize, bytes.size() - 8);
  EXPECT_EQ(wave.fmtSize, 18u);
  EXPECT_EQ(wave.dataSize, bytes.size() - 46);
  EXPECT_EQ(wave.formatTag, 1);
  EXPECT_EQ(wave.channels, 1);
  EXPECT_EQ(wave.rate, rate);
  EXPECT_EQ(wave.avgBytesPerSec, rate * 2);
  EXPECT_EQ(wave.blockAlign, 2);
  EXPECT_EQ(wave.bits, 16);
  EXPECT_EQ(wave.cbSize, 0);
}

TEST(RenderToolList, ListsTheNineSongsWithTheirListNumbers) {
  ScratchFolder scratch;
  ToolRun run = RunTool({"--list"}, scratch.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "1  きらきら星\n"
            "2  ちょうちょ\n"
            "3  きよしこの夜\n"
            "4  アマリリス\n"
            "5  かえるの合唱(輪唱)\n"
            "6  紅葉(もみじ)\n"
            "7  We Wish You A Merry Christmas\n"
            "8  ジングルベル\n"
            "9  荒野のはてに\n");
  EXPECT_TRUE(scratch.Entries().empty());
}

TEST(RenderToolSong, FirstSongWithTheDefaultToneIs1367BlocksOf220Samples) {
  ScratchFolder scratch;
  ToolRun run = RunTool({"--song", "1", "--out", "twinkle.wav"}, scratch.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"twinkle.wav"}) << "nothing but the named output";

  const std::vector<std::uint8_t> bytes = ReadBytes(scratch / "twinkle.wav");
  ASSERT_EQ(bytes.size(), 46u + 1367u * 220u * 2u);
  ExpectConsistentHeader(bytes, 11025);
  EXPECT_EQ(ParseWrittenWave(bytes).riffSize, 38u + 1367u * 220u * 2u);

  // 6013 samples per tick; the opening rest lasts one tick, so the first
  // notes sound on the 6013th sample.
  const std::vector<std::int16_t> samples = Samples(ParseWrittenWave(bytes));
  const auto firstSound = std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; });
  EXPECT_EQ(firstSound - samples.begin(), 6012);
  EXPECT_EQ(*std::min_element(samples.begin(), samples.end()) >= -32767, true) << "-32768 is never written";
}

TEST(RenderToolSong, AScoreOfEmptyTracksIsTwoTicksRoundedUpToWholeBlocks) {
  ScratchFolder scratch;
  WriteText(scratch / "empty.txt", "TONEFIELD0$t$120$");
  struct Case {
    const char* tempo;
    int samplesPerTick;  // 11025 × 60 div trunc(120 × factor)
  };
  for (const Case& c : {Case{"5", 5512}, Case{"0", 11025}, Case{"10", 2756}}) {
    ToolRun run = RunTool({"--score", "empty.txt", "--tempo", c.tempo, "--out", "e.wav"}, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::uint8_t> bytes = ReadBytes(scratch / "e.wav");
    const std::size_t blocks = (2 * c.samplesPerTick + 219) / 220;
    EXPECT_EQ(bytes.size(), 46 + blocks * 220 * 2) << "tempo " << c.tempo;
    ExpectConsistentHeader(bytes, 11025);
    const std::vector<std::int16_t> samples = Samples(ParseWrittenWave(bytes));
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](std::int16_t s) { return s == 0; }));
  }
}

TEST(RenderToolSong, TheSameRenderTwiceGivesIdenticalBytes) {
  ScratchFolder scratch;
  std::vector<std::uint8_t> stereo;
  for (int i = 0; i < 4410; ++i) {  // 0.1 s of 16-bit stereo at 22050 Hz
    const auto left = static_cast<std::uint16_t>((i * 7919) % 20000 - 10000);
    const auto right = static_cast<std::uint16_t>((i * 104729) % 16000 - 8000);
    stereo.insert(stereo.end(), {static_cast<std::uint8_t>(left), static_cast<std::uint8_t>(left >> 8),
                                 static_cast<std::uint8_t>(right), static_cast<std::uint8_t>(right >> 8)});
  }
  WriteBytes(scratch / "noise.wav", MakeWaveBytes(2, 22050, 16, stereo));
  for (const char* out : {"a.wav", "b.wav"}) {
    ToolRun run = RunTool({"--sample", "noise.wav", "--song", "3", "--tempo", "7", "--out", out}, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  const std::vector<std::uint8_t> first = ReadBytes(scratch / "a.wav");
  EXPECT_EQ(first, ReadBytes(scratch / "b.wav"));
  ExpectConsistentHeader(first, 22050);
  EXPECT_EQ((first.size() - 46) % (441 * 2), 0u) << "whole 20 ms blocks of 441 samples";
}

TEST(RenderToolSong, ARefusedSampleExitsWithOneAndWritesNothing) {
  ScratchFolder scratch;
  WriteText(scratch / "notes.txt", "this is not a wave file");
  std::vector<std::uint8_t> extensible = MakeWaveBytes(1, 11025, 16, {0, 0, 1, 0});
  extensible[20] = 0xFE;
  extensible[21] = 0xFF;
  WriteBytes(scratch / "extensible.wav", extensible);
  WriteBytes(scratch / "keep.wav", {'k', 'e', 'e', 'p'});

  struct Case {
    const char* sample;
    const char* message;
    const char* gloss;
    const char* cause;  // the second line, for a message that names only a function
  };
  for (const Case& c : {Case{"notes.txt", "ファイルシークエラー (mmioSeek)", "not a RIFF WAVE file", "WAVファイルではありません"},
                        Case{"extensible.wav", "PCMフォーマットではありません。", "only 8- and 16-bit PCM", nullptr},
                        Case{"absent.wav", "ファイルオープンエラー (mmioOpen)", "cannot be opened", "ファイルが見つかりません"}}) {
    for (const char* out : {"new.wav", "keep.wav"}) {
      ToolRun run = RunTool({"--sample", c.sample, "--song", "1", "--out", out}, scratch.path());
      EXPECT_EQ(run.exitCode, 1) << c.sample;
      EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
      EXPECT_NE(run.err.find(c.gloss), std::string::npos) << run.err;
      EXPECT_GT(run.err.find(c.gloss), run.err.find(c.message)) << "the English gloss follows: " << run.err;
      if (c.cause) {
        EXPECT_NE(run.err.find(std::string("\ntonefield-render: ") + c.cause + "\n"), std::string::npos) << run.err;
      } else {
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
      }
      EXPECT_EQ(run.out, "");
    }
    ToolRun keys = RunTool({"--sample", c.sample, "--export-keys", "bank"}, scratch.path());
    EXPECT_EQ(keys.exitCode, 1) << c.sample;
  }
  EXPECT_EQ(scratch.Entries(), (std::vector<std::string>{"extensible.wav", "keep.wav", "notes.txt"}));
  EXPECT_EQ(ReadBytes(scratch / "keep.wav"), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
}

TEST(RenderToolSong, ScoreFileAndOutputErrorsExitWithOne) {
  ScratchFolder scratch;
  WriteText(scratch / "wrong.txt", "\xEF\xBB\xBFTONEFIELD0$t$120$ド");  // a byte-order mark fails the magic
  WriteText(scratch / "magic-only.txt", "TONEFIELD0$");
  std::filesystem::create_directory(scratch / "folder");
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((scratch / "pipe").c_str(), 0600), 0);
#endif

  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--score", "wrong.txt", "--out", "o.wav"}, "楽譜ファイルではありません。"},
      {{"--score", "magic-only.txt", "--out", "o.wav"}, "楽譜が空です。"},
      {{"--score", "absent.txt", "--out", "o.wav"}, "ファイル absent.txt は開けません"},
      {{"--score", "folder", "--out", "o.wav"}, "ファイル folder は開けません"},
      {{"--song", "2", "--out", "folder"}, "ファイル folder に書き込めません"},
      {{"--song", "2", "--out", "nowhere/o.wav"}, "mmioOpenエラー"},
      {{"--export-keys", "wrong.txt"}, "フォルダ wrong.txt を作成できません"},
#ifdef _WIN32
      // A device is no score file and no output (Windows has no named pipe in a folder).
      {{"--score", "NUL", "--out", "o.wav"}, "ファイル NUL は開けません"},
      {{"--song", "2", "--out", "NUL"}, "ファイル NUL に書き込めません"},
      {{"--export-keys", "folder/a\"b"}, "フォルダ folder/a\"b を作成できません"},
#else
      {{"--export-keys", "/proc/tonefield-bank"}, "フォルダ /proc/tonefield-bank を作成できません"},
      {{"--song", "2", "--out", "pipe"}, "ファイル pipe に書き込めません"},
      {{"--score", "pipe", "--out", "o.wav"}, "ファイル pipe は開けません"},
      {{"--score", "/dev/null", "--out", "o.wav"}, "ファイル /dev/null は開けません"},
#endif
  };
  for (const Case& c : cases) {
#ifndef _WIN32
    PipeUnblocker unblocker((scratch / "pipe").string());  // a tool waiting in open is let go
#endif
    ToolRun run = RunTool(c.args, scratch.path());
    EXPECT_EQ(run.exitCode, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  std::vector<std::string> left{"folder", "magic-only.txt", "pipe", "wrong.txt"};
  if (kOnWindows) left.erase(left.begin() + 2);
  EXPECT_EQ(scratch.Entries(), left);
  EXPECT_TRUE(std::filesystem::is_empty(scratch / "folder"));
}

// The output is replaced as the window's save replaces a file: never a
// write-protected one, and keeping the mode and owner of the one replaced.
TEST(RenderToolSong, OutputsAreReplacedAsTheWindowReplacesThem) {
  ScratchFolder scratch;
  WriteBytes(scratch / "ro.wav", {'r', 'o'});
  ASSERT_TRUE(MakeReadOnly(scratch / "ro.wav"));
  ToolRun refused = RunTool({"--song", "1", "--out", "ro.wav"}, scratch.path());
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("ファイル ro.wav に書き込めません"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadBytes(scratch / "ro.wav"), (std::vector<std::uint8_t>{'r', 'o'}));

  WriteBytes(scratch / "mine.wav", {'o'});
  std::vector<std::string> outputs{"mine.wav", std::string(251, 'x') + ".wav"};
#ifdef _WIN32
  // The attributes are what Windows keeps of a file's mode; files keep their owner.
  const std::wstring mine = (scratch / "mine.wav").native();
  ASSERT_TRUE(SetFileAttributesW(mine.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
#else
  ASSERT_EQ(::chmod((scratch / "mine.wav").c_str(), 0600), 0);
  if (::geteuid() == 0) {
    WriteBytes(scratch / "theirs.wav", {'o'});
    ASSERT_EQ(::chown((scratch / "theirs.wav").c_str(), 65534, 65534), 0);
    outputs.push_back("theirs.wav");
  }
#endif
  for (const std::string& out : outputs) {
    ToolRun run = RunTool({"--song", "1", "--out", out}, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << out.size() << run.err;
    ExpectConsistentHeader(ReadBytes(scratch / out), 11025);
  }
#ifdef _WIN32
  EXPECT_NE(GetFileAttributesW(mine.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
#else
  struct stat info {};
  ASSERT_EQ(::stat((scratch / "mine.wav").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  if (::geteuid() == 0) {
    ASSERT_EQ(::stat((scratch / "theirs.wav").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
  }
#endif
  outputs.push_back("ro.wav");
  std::sort(outputs.begin(), outputs.end());
  EXPECT_EQ(scratch.Entries(), outputs);
}

TEST(RenderToolSong, AnOutputBeyondWhatAWaveFileCanHoldIsRefusedBeforeRendering) {
  ScratchFolder scratch;
  // 13,230,000 Hz, the highest rate the loader takes; at tempo 60 and slider 0
  // a tick is 26,460,000 samples, so 100 ticks need over 5 GB.
  WriteBytes(scratch / "fast.wav", MakeWaveBytes(1, 13230000, 16, {0, 1, 0, 2}));
  std::string score = "TONEFIELD0$long$60$ド";
  for (int i = 0; i < 100; ++i) score += "・";
  WriteText(scratch / "long.txt", score);
  ToolRun run = RunTool({"--sample", "fast.wav", "--score", "long.txt", "--tempo", "0", "--out", "o.wav"},
                        scratch.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("ファイルが大きすぎます。"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("4 GB"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(scratch / "o.wav"));
}

TEST(RenderToolSong, ASampleTooSlowForAWholeBlockIsRefusedAsTheWindowRefusesIt) {
  ScratchFolder scratch;
  WriteBytes(scratch / "slow.wav", MakeWaveBytes(1, 40, 16, std::vector<std::uint8_t>(80, 0x10)));
  ToolRun render = RunTool({"--sample", "slow.wav", "--song", "1", "--out", "o.wav"}, scratch.path());
  EXPECT_EQ(render.exitCode, 1) << "a render that could never end is refused";
  EXPECT_NE(render.err.find("サンプリングレート 40 Hz の音声は再生できません。"), std::string::npos) << render.err;
  ToolRun keys = RunTool({"--sample", "slow.wav", "--export-keys", "bank"}, scratch.path());
  EXPECT_EQ(keys.exitCode, 1) << "the key waves of such a sample would never be heard";
  EXPECT_NE(keys.err.find("サンプリングレート 40 Hz の音声は再生できません。"), std::string::npos) << keys.err;
  EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"slow.wav"});
}

TEST(RenderToolKeys, ExportsThirtySixEqualKeyWavesAndAnSfzInstrument) {
  ScratchFolder scratch;
  ToolRun run = RunTool({"--export-keys", "bank/inner"}, scratch.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> expected;
  for (int k = 0; k < 36; ++k) expected.push_back((k < 10 ? "key0" : "key") + std::to_string(k) + ".wav");
  expected.push_back("tonefield.sfz");
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(scratch / "bank" / "inner")) {
    written.push_back(entry.path().filename().string());
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, expected);

  const SourceSample tone = MakeDefaultSample();
  for (int k = 0; k < 36; ++k) {
    const std::vector<std::uint8_t> bytes = ReadBytes(scratch / "bank" / "inner" / expected[k]);
    EXPECT_EQ(bytes.size(), 46u + tone.data.size()) << expected[k];
    ExpectConsistentHeader(bytes, 11025);
  }
  EXPECT_EQ(ParseWrittenWave(ReadBytes(scratch / "bank" / "inner" / "key12.wav")).data, tone.data)
      << "key 12 is the sample itself";
  EXPECT_NE(ParseWrittenWave(ReadBytes(scratch / "bank" / "inner" / "key13.wav")).data, tone.data);

  const std::vector<std::uint8_t> sfz = ReadBytes(scratch / "bank" / "inner" / "tonefield.sfz");
  const std::string text(sfz.begin(), sfz.end());
  EXPECT_NE(text.find("<region> sample=key12.wav key=60 pitch_keycenter=60"), std::string::npos);
}

TEST(RenderToolKeys, KeyTwelveIsTheNormalisedSample) {
  ScratchFolder scratch;
  // 8-bit mono: each byte b becomes (b - 128) × 256.
  WriteBytes(scratch / "eight.wav", MakeWaveBytes(1, 8000, 8, {0x80, 0x00, 0xFF, 0x81, 0x7F}));
  ToolRun run = RunTool({"--sample", "eight.wav", "--export-keys", "."}, scratch.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::uint8_t> bytes = ReadBytes(scratch / "key12.wav");
  ExpectConsistentHeader(bytes, 8000);
  EXPECT_EQ(Samples(ParseWrittenWave(bytes)), (std::vector<std::int16_t>{0, -32768, 32512, 256, -256}));
  EXPECT_EQ(ReadBytes(scratch / "key00.wav").size(), bytes.size());
}

TEST(RenderToolKeys, AHeaderThatContradictsItselfIsRefused) {
  ScratchFolder scratch;
  std::vector<std::uint8_t> file = MakeWaveBytes(1, 11025, 16, {1, 0, 2, 0, 3, 0, 4, 0});
  file[28] = 0x39;  // 12345 bytes a second
  file[29] = 0x30;
  file[30] = 0;
  file[32] = 4;  // block align 4 for 16-bit mono
  WriteBytes(scratch / "odd.wav", file);
  ToolRun keys = RunTool({"--sample", "odd.wav", "--export-keys", "bank"}, scratch.path());
  EXPECT_EQ(keys.exitCode, 1);
  EXPECT_NE(keys.err.find("対応していないフォーマットです。"), std::string::npos) << keys.err;
  ToolRun song = RunTool({"--sample", "odd.wav", "--song", "4", "--out", "o.wav"}, scratch.path());
  EXPECT_EQ(song.exitCode, 1);
  EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"odd.wav"});
}

// Names travel as UTF-8 from the command line to the file system, whatever
// the system's code page: on Windows under code page 932, "表" ends in the
// byte 0x5C (a backslash) and "演奏" has no code in code page 1252.
TEST(RenderToolSong, JapaneseNamesAreWrittenAndReadAsTyped) {
  ScratchFolder scratch;
  WriteBytes(PathFromUtf8(PathToUtf8(scratch.path()) + "/音.wav"), MakeWaveBytes(1, 11025, 16, {0, 1, 0, 2, 0, 3}));
  WriteText(PathFromUtf8(PathToUtf8(scratch.path()) + "/表.txt"), "TONEFIELD0$t$120$\x83\x68");  // ド in CP932
  const std::vector<std::vector<std::string>> runs = {
      {"--song", "1", "--out", "演奏.wav"},
      {"--song", "2", "--out", "表.wav"},
      {"--sample", "音.wav", "--score", "表.txt", "--out", "ソ表.wav"},
      {"--sample", "音.wav", "--export-keys", "キー表"},
  };
  for (const auto& args : runs) {
    ToolRun run = RunTool(args, scratch.path());
    EXPECT_EQ(run.exitCode, 0) << args.back() << ": " << run.err;
  }
  EXPECT_EQ(scratch.Entries(), (std::vector<std::string>{"キー表", "ソ表.wav", "演奏.wav", "表.txt", "表.wav", "音.wav"}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(PathFromUtf8(PathToUtf8(scratch.path()) + "/キー表")),
                          std::filesystem::directory_iterator()),
            37);
  ToolRun missing = RunTool({"--sample", "無.wav", "--song", "1", "--out", "o.wav"}, scratch.path());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("無.wav: ファイルオープンエラー"), std::string::npos) << missing.err;
}

TEST(RenderToolSong, AnInterruptedRenderLeavesNoFileBehind) {
  ScratchFolder scratch;
  // 441,000 Hz and 1000 ticks of 882,000 samples: many seconds of work.
  WriteBytes(scratch / "fast.wav", MakeWaveBytes(1, 441000, 16, {0, 1, 0, 2}));
  std::string score = "TONEFIELD0$long$60$ド";
  for (int i = 0; i < 1000; ++i) score += "・";
  WriteText(scratch / "long.txt", score);
  std::filesystem::create_directory(scratch / "out");

  ToolProcess process = StartTool({"--sample", "fast.wav", "--score", "long.txt", "--tempo", "0", "--out", "out/o.wav"},
                                  scratch.path());
  ASSERT_TRUE(process.started());
  // Wait until the temporary output exists, so the render is under way.
  bool underWay = false;
  for (int i = 0; i < 20000 && !underWay; ++i) {
    underWay = !std::filesystem::is_empty(scratch / "out");
    if (!underWay) std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  ASSERT_TRUE(underWay);
  const ToolProcess::Interrupted interrupted = process.InterruptAndWait();
  if (interrupted == ToolProcess::Interrupted::kNotSent && kOnWindows) {
    GTEST_SKIP() << "this console passes no Ctrl+Break to the tool (wine without a console)";
  }
  EXPECT_EQ(interrupted, ToolProcess::Interrupted::kEndedByIt);
  EXPECT_TRUE(std::filesystem::is_empty(scratch / "out")) << "neither the output nor its temporary file";
}

}  // namespace
}  // namespace tonefield::testing
