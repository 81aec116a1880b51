#include "ErrorGloss.h"

#include <array>
#include <utility>

namespace tonefield {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 31> kGlosses{{
    // Sample loader
    {"ファイルオープンエラー (mmioOpen)", "file open error: the file cannot be opened"},
    {"ファイルシークエラー (mmioSeek)", "not a RIFF WAVE file"},
    {"fmtチャンクエラー (mmioDescend)", "the file has no format chunk"},
    {"fmtチャンクリードエラー (mmioRead)", "the format chunk cannot be read"},
    {"PCMフォーマットではありません。",
     "only 8- and 16-bit PCM is read: this file is compressed, floating-point or extensible, "
     "as most 24-bit files are"},
    {"dataチャンクエラー(mmioAscend)", "the file ends inside its format chunk"},
    {"dataチャンクエラー", "no data chunk after the format chunk"},
    {"dataチャンクリードエラー", "the data chunk is shorter than it declares"},
    {"fmtチャンクが不正です。", "the format chunk is too short"},
    {"対応していないフォーマットです。",
     "unsupported format: only 8- or 16-bit PCM, one or two channels, 10 Hz to 13,230,000 Hz, "
     "with a block align and byte rate that match them"},
    // Score files
    {"楽譜ファイルではありません。", "not a score file: it must begin with TONEFIELD0$"},
    {"楽譜が空です。", "the score file holds nothing after its magic, so there is nothing to play"},
    // MIDI files
    {"MIDI ファイルではありません。", "not a MIDI file: it must begin with MThd"},
    {"MIDI ファイルが壊れています。", "the MIDI file is broken"},
    {"MIDI ファイルの見出しが壊れています。", "the MIDI file's header is broken"},
    {"MIDI ファイルが途中で切れています。", "the MIDI file is cut short"},
    {"MIDI ファイルのトラックが足りません。", "the MIDI file holds fewer tracks than its header says"},
    {"MIDI ファイルが大きすぎます（2 MiB まで）。", "the MIDI file is larger than 2 MiB"},
    {"MIDI ファイルの曲が長すぎます（2 時間まで）。", "the MIDI file's song is longer than 2 hours"},
    {"MIDI ファイルのメタイベントが長すぎます（127 バイトまで）。", "a meta event longer than 127 bytes cannot be read"},
    {"MIDI ファイルのエスケープ（F7）イベントは読めません。", "escape (F7) events cannot be read"},
    {"SMPTE 時刻の MIDI ファイルは再生できません。", "MIDI files timed in SMPTE frames cannot be played"},
    {"この版の Tonefield は MIDI ファイルを読めません。", "this build of Tonefield cannot read MIDI files"},
    // WAV writer
    {"mmioOpenエラー", "the output file cannot be created"},
    {"mmioCreateChunkエラー(WAVE)", "writing the RIFF header failed"},
    {"mmioCreateChunkエラー(fmt)", "writing the format chunk failed"},
    {"mmioWriteエラー", "writing the output file failed"},
    {"mmioAscendエラー", "finishing the output file failed"},
    {"mmioCreateChunkエラー(data)", "writing the data chunk failed"},
    {"mmioCloseエラー", "closing the output file failed"},
    {"ファイルが大きすぎます。", "the output would exceed the 4 GB limit of a WAV file"},
}};

constexpr std::string_view kFilePrefix = "ファイル ";
constexpr std::string_view kCannotOpenSuffix = " は開けません";
constexpr std::string_view kCannotWriteSuffix = " に書き込めません";
constexpr std::string_view kFolderPrefix = "フォルダ ";
constexpr std::string_view kCannotCreateSuffix = " を作成できません";
constexpr std::string_view kMidiFormatPrefix = "形式 ";
constexpr std::string_view kMidiFormatSuffix = " の MIDI ファイルは再生できません（形式 0 と 1 のみ）。";
constexpr std::string_view kRatePrefix = "サンプリングレート ";
constexpr std::string_view kUnplayableRateSuffix = " Hz の音声は再生できません。";

}  // namespace

std::string_view EnglishGloss(std::string_view message) {
  for (const auto& [japanese, english] : kGlosses) {
    if (message == japanese) return english;
  }
  if (message.starts_with(kRatePrefix) && message.ends_with(kUnplayableRateSuffix)) {
    return "this sample rate cannot be played: a 20 ms block needs a rate of at least 50 Hz";
  }
  if (message.starts_with(kMidiFormatPrefix) && message.ends_with(kMidiFormatSuffix)) {
    return "only MIDI files of format 0 and 1 can be played";
  }
  if (message.starts_with(kFolderPrefix) && message.ends_with(kCannotCreateSuffix)) {
    return "the folder cannot be created, or something other than a folder has its name";
  }
  if (message.starts_with(kFilePrefix)) {
    if (message.ends_with(kCannotOpenSuffix)) return "the file cannot be opened";
    if (message.ends_with(kCannotWriteSuffix)) return "the file cannot be written";
  }
  return "file error";
}

std::string CannotOpenFileMessage(std::string_view fileName) {
  return std::string(kFilePrefix) + std::string(fileName) + std::string(kCannotOpenSuffix);
}

std::string CannotWriteFileMessage(std::string_view fileName) {
  return std::string(kFilePrefix) + std::string(fileName) + std::string(kCannotWriteSuffix);
}

std::string CannotCreateFolderMessage(std::string_view folderName) {
  return std::string(kFolderPrefix) + std::string(folderName) + std::string(kCannotCreateSuffix);
}

}  // namespace tonefield
