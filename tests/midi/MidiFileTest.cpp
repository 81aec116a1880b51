// Standard MIDI Files read through libsmf behind ReadMidiFile, and their
// messages placed at sample positions by the tempo map.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <initializer_list>
#include <string>
#include <vector>

#include "midi/MidiFile.h"
#include "midi/SmfReader.h"
#include "support/MidiFileBytes.h"

namespace tonefield {
namespace {

using Bytes = testing::MidiBytes;
using testing::Name;
using testing::Tempo;
using testing::Track;

Bytes File(int format, int division, std::initializer_list<Bytes> tracks) {
  return testing::MidiFileOf(format, division, tracks);
}

TEST(MidiFile, AFormatOneFileMergesItsTracksAndPlacesNotesByTheTempoMap) {
  const Bytes file = File(1, 96,
                          {Track({{0, Name("Conductor")}, {96, Tempo(250000)}}),
                           Track({{0, Name("Piano")}, {0, {0x90, 60, 100}}, {96, {0x80, 60, 0}},
                                  {0, {0x91, 64, 90}}, {96, {64, 0}},  // running status: a note-on at velocity 0
                                  {0, {0xB1, 64, 127}}, {0, {0xC1, 5}}, {0, {0xE1, 0, 64}}},
                                 48)});
  const MidiFileResult result = ReadMidiFile(file);
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(result.data.format, 1);
  EXPECT_EQ(result.data.pulsesPerQuarter, 96);
  EXPECT_EQ(result.data.name, "Conductor");
  ASSERT_EQ(result.data.tempos.size(), 1u);
  EXPECT_EQ(result.data.tempos[0].pulse, 96);
  EXPECT_EQ(result.data.endPulse, 240);
  const std::vector<std::pair<std::int64_t, std::array<std::uint8_t, 3>>> expected = {
      {0, {0x90, 60, 100}}, {96, {0x80, 60, 0}}, {96, {0x91, 64, 90}}, {192, {0x91, 64, 0}}, {192, {0xB1, 64, 127}}};
  ASSERT_EQ(result.data.messages.size(), expected.size()) << "program change and pitch bend are left out";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(result.data.messages[i].pulse, expected[i].first) << i;
    EXPECT_EQ(result.data.messages[i].bytes, expected[i].second) << i;
  }
  // 120 beats a minute for the first quarter, then 240: at 48000 Hz a
  // quarter is 24000 samples, then 12000.
  const MidiFileSchedule schedule = ScheduleMidiFile(result.data, 48000);
  ASSERT_EQ(schedule.messages.size(), expected.size());
  const std::int64_t samples[] = {0, 24000, 24000, 36000, 36000};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(schedule.messages[i].sample, samples[i]) << i;
  EXPECT_EQ(schedule.endSample, 42000);
}

// The one-pass schedule against the literal sum per pulse, at rates that do
// not divide evenly, through several tempo changes.
TEST(MidiFile, TheScheduleIsTheTempoMapsExactTimeRoundedDown) {
  MidiFileData file;
  file.pulsesPerQuarter = 480;
  file.tempos = {{0, 600000}, {100, 333333}, {100, 451234}, {1000, 1}, {1003, 16777215}, {5000, 500000}};
  for (std::int64_t pulse = 0; pulse < 6000; pulse += 7) file.messages.push_back({pulse, {0x90, 60, 1}});
  file.endPulse = 6001;
  for (const std::uint32_t rate : {11025u, 22050u, 44100u, 48000u, 8000u, 192000u}) {
    const MidiFileSchedule schedule = ScheduleMidiFile(file, rate);
    for (std::size_t i = 0; i < file.messages.size(); ++i) {
      const std::int64_t pulse = file.messages[i].pulse;
      ASSERT_EQ(schedule.messages[i].sample, MidiPulseToSample(file, pulse, rate)) << rate << " " << pulse;
      // Literal: microseconds as a fraction, summed over the segments.
      long double us = 0;
      std::int64_t from = 0;
      long double tempo = kMidiDefaultMicrosecondsPerQuarter;
      for (const MidiTempoChange& c : file.tempos) {
        if (c.pulse >= pulse) break;
        us += static_cast<long double>(c.pulse - from) * tempo;
        from = c.pulse;
        tempo = c.microsecondsPerQuarter;
      }
      us += static_cast<long double>(pulse - from) * tempo;
      const long double exact = us * rate / (480.0L * 1e6L);
      const long double below = exact - static_cast<long double>(schedule.messages[i].sample);
      ASSERT_TRUE(below > -1e-6L && below < 1.0L) << rate << " " << pulse;
    }
    EXPECT_EQ(schedule.endSample, MidiPulseToSample(file, 6001, rate));
  }
}

TEST(MidiFile, BrokenAndHostileFilesAreRefusedWithAMessage) {
  const Bytes good = File(0, 96, {Track({{0, {0x90, 60, 100}}, {96, {0x80, 60, 0}}})});
  ASSERT_TRUE(ReadMidiFile(good).ok);
  Bytes truncated = good;
  truncated.resize(truncated.size() - 3);
  Bytes shortHeader = good;
  shortHeader[7] = 5;
  Bytes longHeader = good;
  longHeader[7] = 200;
  Bytes moreTracks = File(1, 96, {Track({})});
  moreTracks[11] = 2;
  Bytes zeroTracks = good;
  zeroTracks[11] = 0;
  Bytes huge(kMidiFileMaxBytes + 1, 0);
  std::copy(good.begin(), good.end(), huge.begin());
  const struct {
    const char* what;
    Bytes bytes;
    std::string message;
  } cases[] = {
      {"empty", {}, "MIDI ファイルではありません。"},
      {"a WAV file", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0, 0}, "MIDI ファイルではありません。"},
      {"format 2", File(2, 96, {Track({})}), "形式 2 の MIDI ファイルは再生できません（形式 0 と 1 のみ）。"},
      {"SMPTE time", File(0, 0xE728, {Track({})}), "SMPTE 時刻の MIDI ファイルは再生できません。"},
      {"no pulses", File(0, 0, {Track({})}), "MIDI ファイルの見出しが壊れています。"},
      {"format 0 with two tracks", File(0, 96, {Track({}), Track({})}), "MIDI ファイルの見出しが壊れています。"},
      {"cut short", truncated, "MIDI ファイルが途中で切れています。"},
      {"header length 5", shortHeader, "MIDI ファイルの見出しが壊れています。"},
      {"header past the end", longHeader, "MIDI ファイルの見出しが壊れています。"},
      {"header of 7 bytes", [] {
         Bytes b = File(0, 96, {Track({})});
         b[7] = 7;
         b.insert(b.begin() + 14, 0);
         return b;
       }(),
       "MIDI ファイルの見出しが壊れています。"},
      {"a track missing", moreTracks, "MIDI ファイルのトラックが足りません。"},
      {"no tracks", zeroTracks, "MIDI ファイルの見出しが壊れています。"},
      {"too big", huge, "MIDI ファイルが大きすぎます（2 MiB まで）。"},
      {"an event cut at the chunk's end", File(0, 96, {Bytes{'M', 'T', 'r', 'k', 0, 0, 0, 3, 0, 0x90, 60}}),
       "MIDI ファイルが壊れています。"},
      {"running status after a system exclusive message",
       File(0, 96, {Track({{0, {0x90, 60, 1}}, {0, {0xF0, 1, 0xF7}}, {0, {60, 0}}})}), "MIDI ファイルが壊れています。"},
      {"running status at the start", File(0, 96, {Track({{0, {60, 1}}})}), "MIDI ファイルが壊れています。"},
      {"a data byte above 127", File(0, 96, {Track({{0, {0x90, 60, 200}}})}), "MIDI ファイルが壊れています。"},
      {"a track without its end", File(0, 96, {Bytes{'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0x90, 60, 1}}),
       "MIDI ファイルが壊れています。"},
      {"an escape event", File(0, 96, {Track({{0, {0xF7, 2, 0xF0, 0x7E}}})}),
       "MIDI ファイルのエスケープ（F7）イベントは読めません。"},
      {"a meta event of 128 bytes", File(0, 96, {Track({{0, [] {
                                        Bytes b = {0xFF, 0x01, 0x81, 0x00};
                                        b.resize(4 + 128, 'a');
                                        return b;
                                      }()}})}),
       "MIDI ファイルのメタイベントが長すぎます（127 バイトまで）。"},
      {"a clock message", File(0, 96, {Track({{0, {0xF8}}})}), "MIDI ファイルが壊れています。"},
      {"a meta event past the chunk", File(0, 96, {Track({{0, {0xFF, 0x01, 0x7F, 'a'}}})}),
       "MIDI ファイルが壊れています。"},
      {"a delta time of five bytes",
       File(0, 96, {Bytes{'M', 'T', 'r', 'k', 0, 0, 0, 8, 0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1}}),
       "MIDI ファイルが壊れています。"},
      {"days long", File(0, 1, {Track({{0x0FFFFFFF, {0x90, 60, 1}}, {0x0FFFFFFF, {0x80, 60, 0}}})}),
       "MIDI ファイルの曲が長すぎます（2 時間まで）。"},
      {"more pulses in a track than an int holds", File(0, 96, {Track({{0x0FFFFFFF, {0x90, 60, 1}},
                                                                       {0x0FFFFFFF, {0x80, 60, 0}},
                                                                       {0x0FFFFFFF, {0x90, 60, 1}},
                                                                       {0x0FFFFFFF, {0x80, 60, 0}},
                                                                       {0x0FFFFFFF, {0x90, 60, 1}},
                                                                       {0x0FFFFFFF, {0x80, 60, 0}},
                                                                       {0x0FFFFFFF, {0x90, 60, 1}},
                                                                       {0x0FFFFFFF, {0x80, 60, 0}},
                                                                       {0x0FFFFFFF, {0x90, 60, 1}}})}),
       "MIDI ファイルの曲が長すぎます（2 時間まで）。"},
  };
  for (const auto& c : cases) {
    const MidiFileResult result = ReadMidiFile(c.bytes);
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_EQ(result.message, c.message) << c.what;
  }
}

TEST(MidiFile, ANameThatIsNotTextIsLeftOutAndALongOneCut) {
  const std::string longName(100, 'x');
  const std::pair<Bytes, std::string> cases[] = {
      {Name("Song"), "Song"},
      {Name("\x83\x65\x83\x58\x83\x67"), ""},  // Shift JIS: not UTF-8
      {Name("a\tb"), ""},
      {Name("\xE6\x9B\xB2 "), "\xE6\x9B\xB2"},
      {Name(longName), std::string(64, 'x')},
  };
  for (const auto& [meta, name] : cases) {
    const MidiFileResult result = ReadMidiFile(File(0, 96, {Track({{0, meta}})}));
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.data.name, name);
  }
}

// Real files, where Debian's openttd-openmsx is installed: every note-on
// the file holds is read, on every channel (counted from the files' bytes
// by a separate walk of their chunks).
TEST(MidiFile, RealFilesGiveEveryNoteOn) {
  const std::pair<const char*, std::size_t> files[] = {{"tttheme2.mid", 4056}, {"keep_on_rolling.mid", 6094}};
  int read = 0;
  for (const auto& [name, noteOns] : files) {
    std::ifstream in(std::string("/usr/share/games/openttd/baseset/openmsx/") + name, std::ios::binary);
    if (!in) continue;
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const MidiFileResult result = ReadMidiFile(bytes);
    ASSERT_TRUE(result.ok) << name << ": " << result.message;
    const auto count = std::count_if(result.data.messages.begin(), result.data.messages.end(),
                                     [](const MidiFileMessage& m) { return (m.bytes[0] & 0xF0) == 0x90 && m.bytes[2] > 0; });
    EXPECT_EQ(static_cast<std::size_t>(count), noteOns) << name;
    ++read;
  }
  if (read == 0) GTEST_SKIP() << "openttd-openmsx is not installed";
}

}  // namespace
}  // namespace tonefield
