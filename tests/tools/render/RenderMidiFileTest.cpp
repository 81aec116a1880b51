// tonefield-render --midi-file: the options, a hand-written file rendered by
// the executable against the samples worked out by hand, broken files.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <string>
#include <vector>

#include "ErrorGloss.h"
#include "OfflineRenderer.h"
#include "RenderCommandLine.h"
#include "ToolRunner.h"
#include "midi/SmfReader.h"
#include "support/MidiSongReference.h"
#include "support/PipeUnblocker.h"

namespace tonefield::testing {
namespace {

TEST(RenderCommandLine, MidiFileOptionsAreCheckedAndOnlyTakenWithAMidiFile) {
  struct Case {
    std::vector<std::string_view> args;
    bool ok;
    std::uint16_t channels = 0xFFFF;
    bool drop = false;
  };
  const Case cases[] = {
      {{"--midi-file", "a.mid", "--out", "o"}, true},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "all"}, true},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "1"}, true, 0x0001},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "16"}, true, 0x8000},
      {{"--midi-file", "a.mid", "--out", "o", "--channels=1-9,11-16"}, true, 0xFDFF},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "3,3-4,10"}, true, 0x020C},
      {{"--midi-file", "a.mid", "--out", "o", "--out-of-range", "drop"}, true, 0xFFFF, true},
      {{"--midi-file", "a.mid", "--out", "o", "--out-of-range", "fold", "--tempo", "10"}, true},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "0"}, false},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "17"}, false},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "4-2"}, false},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "1,"}, false},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "1-"}, false},
      {{"--midi-file", "a.mid", "--out", "o", "--channels", "ALL"}, false},
      {{"--midi-file", "a.mid", "--out", "o", "--out-of-range", "wrap"}, false},
      {{"--midi-file", "a.mid"}, false},                                   // no --out
      {{"--midi-file", "a.mid", "--song", "1", "--out", "o"}, false},      // two sources
      {{"--midi-file", "a.mid", "--score", "s.txt", "--out", "o"}, false},
      {{"--song", "1", "--channels", "1", "--out", "o"}, false},           // MIDI options without a MIDI file
      {{"--score", "s.txt", "--out-of-range", "drop", "--out", "o"}, false},
      {{"--export-keys", "d", "--midi-file", "a.mid"}, false},
      {{"--list", "--midi-file", "a.mid"}, false},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (std::string_view a : c.args) joined += std::string(a) + " ";
    const ParsedCommandLine parsed = ParseRenderCommandLine(c.args);
    EXPECT_EQ(parsed.ok, c.ok) << joined << parsed.error;
    if (!parsed.ok) {
      EXPECT_FALSE(parsed.error.empty()) << joined;
      continue;
    }
    EXPECT_EQ(parsed.options.mode, RenderMode::kRenderMidiFile) << joined;
    EXPECT_EQ(parsed.options.midiFilePath, "a.mid") << joined;
    EXPECT_EQ(parsed.options.midiChannels, c.channels) << joined;
    EXPECT_EQ(parsed.options.dropOutOfRange, c.drop) << joined;
  }
  EXPECT_NE(RenderHelpText().find("--midi-file"), std::string::npos);
  EXPECT_NE(RenderHelpText().find("--channels"), std::string::npos);
  EXPECT_NE(RenderHelpText().find("--out-of-range"), std::string::npos);
}

std::vector<std::int16_t> Samples(const WrittenWave& wave) {
  std::vector<std::int16_t> samples(wave.data.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(wave.data[2 * i] | (wave.data[2 * i + 1] << 8));
  }
  return samples;
}

// The test song with the default tone at 11025 Hz: a pulse is 55.125
// samples, from pulse 10 on 27.5625; each event falls on its exact time
// rounded down (p1 55, p2 110, p3 165, p4 220, p5 275, p6 330, p7 385,
// p8 441, p10 551, p12 606, p14 661, p16 716, the end 826), at double speed
// on half of that rounded up. The render ends with the 20 ms block (220
// samples) in which the end falls.
TEST(RenderToolMidiFile, AHandWrittenFileSoundsAsWorkedOutByHand) {
  if (!MidiFilesReadable()) GTEST_SKIP() << "this build reads no MIDI files";
  ScratchFolder scratch;
  WriteBytes(scratch / "song.mid", TestSong());
  OfflineRenderer renderer;
  renderer.UseDefaultSample();
  const KeyWaveBank& bank = renderer.keyWaves().bank;
  constexpr std::int32_t kFull = 32768;
  constexpr std::int32_t kVelocity64 = 16513;
  constexpr std::int32_t kVelocity100 = 25802;
  struct Case {
    std::vector<std::string> options;
    std::vector<ReferenceVoice> voices;
    std::int64_t length;
  };
  const Case cases[] = {
      {{},
       {{12, kFull, 0, 110},
        {14, kFull, 55, 165},
        {12, kVelocity64, 110, 441},
        {2, kFull, 330, 606},
        {24, kFull, 551, 716},
        {6, kVelocity100, 661, 826}},
       880},
      {{"--out-of-range", "drop"},
       {{12, kFull, 0, 110}, {14, kFull, 55, 165}, {12, kVelocity64, 110, 441}, {2, kFull, 330, 606}},
       880},
      {{"--channels", "1,2"}, {{12, kFull, 0, 110}, {12, kVelocity64, 110, 441}, {2, kFull, 330, 606}}, 880},
      {{"--tempo", "10"},
       {{12, kFull, 0, 55},
        {14, kFull, 28, 83},
        {12, kVelocity64, 55, 221},
        {2, kFull, 165, 303},
        {24, kFull, 276, 358},
        {6, kVelocity100, 331, 413}},
       440},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--midi-file", "song.mid", "--out", "song.wav"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ToolRun run = RunTool(args, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const WrittenWave wave = ParseWrittenWave(ReadBytes(scratch / "song.wav"));
    EXPECT_EQ(wave.rate, 11025u);
    const std::vector<std::int16_t> samples = Samples(wave);
    EXPECT_EQ(samples, SumVoices(c.voices, bank, c.length)) << (c.options.empty() ? "" : c.options[0]);
  }
}

TEST(RenderToolMidiFile, ABrokenFileExitsWithOneAndWritesNothing) {
  ScratchFolder scratch;
  const MidiBytes song = TestSong();
  WriteBytes(scratch / "cut.mid", MidiBytes(song.begin(), song.begin() + 40));
  WriteBytes(scratch / "text.mid", MidiBytes{'h', 'e', 'l', 'l', 'o'});
  MidiBytes smpte = song;
  smpte[12] = 0xE7;  // 25 frames a second: SMPTE time
  WriteBytes(scratch / "smpte.mid", smpte);
  std::filesystem::create_directory(scratch / "folder");
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((scratch / "pipe").c_str(), 0600), 0);
#endif
  const bool readable = MidiFilesReadable();
  struct Case {
    const char* file;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"cut.mid", readable ? "MIDI ファイルが途中で切れています。" : ""},
      {"text.mid", readable ? "MIDI ファイルではありません。" : ""},
      {"smpte.mid", readable ? "SMPTE 時刻の MIDI ファイルは再生できません。" : ""},
      {"absent.mid", "ファイル absent.mid は開けません"},
      {"folder", "ファイル folder は開けません"},
#ifndef _WIN32
      {"pipe", "ファイル pipe は開けません"},
#endif
  };
  for (const Case& c : cases) {
#ifndef _WIN32
    PipeUnblocker unblocker((scratch / "pipe").string());
#endif
    const ToolRun run = RunTool({"--midi-file", c.file, "--out", "o.wav"}, scratch.path());
    EXPECT_EQ(run.exitCode, 1) << c.file;
    const std::string message = c.message.empty() ? "この版の Tonefield は MIDI ファイルを読めません。" : c.message;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(std::string(EnglishGloss(message))), std::string::npos) << run.err;
    EXPECT_NE(EnglishGloss(message), "file error") << message;
  }
  EXPECT_FALSE(std::filesystem::exists(scratch / "o.wav"));
}

}  // namespace
}  // namespace tonefield::testing
