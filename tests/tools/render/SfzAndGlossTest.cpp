#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ErrorGloss.h"
#include "SfzInstrument.h"

namespace tonefield {
namespace {

TEST(SfzInstrument, MapsEveryKeyOntoItsOwnMidiNote) {
  const std::string sfz = MakeSfzInstrument(11025);
  std::istringstream lines(sfz);
  std::string line;
  int regions = 0;
  while (std::getline(lines, line)) {
    if (!line.starts_with("<region>")) continue;
    const int note = 48 + regions;
    EXPECT_EQ(line, "<region> sample=" + KeyWaveFileName(regions) + " key=" + std::to_string(note) +
                        " pitch_keycenter=" + std::to_string(note));
    ++regions;
  }
  EXPECT_EQ(regions, 36);
  EXPECT_NE(sfz.find("sample=key12.wav key=60 pitch_keycenter=60"), std::string::npos);
  EXPECT_EQ(KeyWaveFileName(0), "key00.wav");
  EXPECT_EQ(KeyWaveFileName(35), "key35.wav");
}

TEST(ErrorGloss, EveryFileMessageHasAnEnglishMeaning) {
  for (std::string_view message :
       {"ファイルオープンエラー (mmioOpen)", "ファイルシークエラー (mmioSeek)", "fmtチャンクエラー (mmioDescend)",
        "fmtチャンクリードエラー (mmioRead)", "PCMフォーマットではありません。", "dataチャンクエラー(mmioAscend)",
        "dataチャンクエラー", "dataチャンクリードエラー", "fmtチャンクが不正です。", "対応していないフォーマットです。",
        "楽譜ファイルではありません。", "楽譜が空です。", "mmioOpenエラー", "mmioWriteエラー", "mmioAscendエラー",
        "mmioCloseエラー", "サンプリングレート 40 Hz の音声は再生できません。", "MIDI ファイルではありません。",
        "MIDI ファイルが壊れています。", "MIDI ファイルの見出しが壊れています。", "MIDI ファイルが途中で切れています。",
        "MIDI ファイルのトラックが足りません。", "MIDI ファイルが大きすぎます（2 MiB まで）。",
        "MIDI ファイルの曲が長すぎます（2 時間まで）。", "MIDI ファイルのメタイベントが長すぎます（127 バイトまで）。",
        "MIDI ファイルのエスケープ（F7）イベントは読めません。", "SMPTE 時刻の MIDI ファイルは再生できません。",
        "形式 2 の MIDI ファイルは再生できません（形式 0 と 1 のみ）。",
        "この版の Tonefield は MIDI ファイルを読めません。"}) {
    EXPECT_NE(EnglishGloss(message), "file error") << message;
  }
  // Near misses are not mistaken for each other.
  EXPECT_NE(EnglishGloss("dataチャンクエラー"), EnglishGloss("dataチャンクエラー(mmioAscend)"));
  EXPECT_EQ(CannotOpenFileMessage("a b.txt"), "ファイル a b.txt は開けません");
  EXPECT_EQ(EnglishGloss(CannotOpenFileMessage("x")), "the file cannot be opened");
  EXPECT_EQ(EnglishGloss(CannotWriteFileMessage("x")), "the file cannot be written");
  EXPECT_EQ(EnglishGloss("何か"), "file error");
}

}  // namespace
}  // namespace tonefield
