#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

#include <algorithm>
#include <filesystem>

#include "AudioTestFiles.h"
#include "audio_io/FileReplacement.h"
#include "audio_io/RiffFile.h"
#include "audio_io/SampleCapture.h"
#include "audio_io/WaveFile.h"
#include "dsp/DefaultSample.h"
#include "support/FolderWithoutWriteAccess.h"

namespace tonefield {
namespace {

using namespace tonefield::testing;

// The shape of the default tone: 18-byte block with cbSize 14, one second
// of 16-bit mono at 11025 Hz.
SourceSample DefaultShapedSample() {
  SourceSample sample;
  sample.format = MakeWaveFormatEx(Pcm(1, 11025, 16), 14);
  sample.data = Ramp(22050);
  sample.maySave = true;
  return sample;
}

TEST(SaveWaveFile, DefaultToneLayoutIsByteExact) {
  TempFolder folder;
  const SourceSample sample = DefaultShapedSample();
  const std::string path = folder.File("default.wav");
  const WaveSaveResult result = SaveWaveFile(path, sample);
  ASSERT_TRUE(result.ok) << result.message;
  const Bytes file = ReadFile(path);
  ASSERT_EQ(file.size(), 22096u);
  EXPECT_EQ(ReadLe32(file.data() + 4), 22088u);
  EXPECT_EQ(ReadLe32(file.data() + 16), 18u);
  EXPECT_EQ(ReadLe16(file.data() + 36), 14u);
  EXPECT_EQ(ReadLe32(file.data() + 42), 22050u);
  EXPECT_EQ(file, Riff("WAVE", {Chunk("fmt ", sample.format), Chunk("data", sample.data)}));
}

TEST(SaveWaveFile, TheDefaultToneItselfSavesAndLoadsBack) {
  TempFolder folder;
  const SourceSample tone = MakeDefaultSample();
  const std::string path = folder.File("tone.wav");
  ASSERT_TRUE(SaveWaveFile(path, tone).ok);
  const Bytes file = ReadFile(path);
  ASSERT_EQ(file.size(), 22096u);
  EXPECT_EQ(ReadLe32(file.data() + 4), 22088u);
  EXPECT_EQ(ReadLe32(file.data() + 16), 18u);
  EXPECT_EQ(Sub(file, 20, 18), tone.format);
  EXPECT_EQ(Sub(file, 46, 22050), tone.data);
  const WaveLoadResult loaded = LoadWaveFile(path);
  ASSERT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.sample.format, tone.format);
  EXPECT_EQ(loaded.sample.data, tone.data);
}

TEST(SaveWaveFile, RecordedSampleKeepsCbSize16) {
  TempFolder folder;
  Bytes buffer(66150, 0);
  WriteLe16(buffer.data() + 2 * 16536, 20000);
  const SourceSample recorded = MakeRecordedSample(buffer);
  const std::string path = folder.File("rec.wav");
  ASSERT_TRUE(SaveWaveFile(path, recorded).ok);
  const Bytes file = ReadFile(path);
  EXPECT_EQ(file.size(), 46u + 33518u);
  EXPECT_EQ(Sub(file, 36, 2), (Bytes{16, 0}));
  EXPECT_EQ(file, Riff("WAVE", {Chunk("fmt ", recorded.format), Chunk("data", recorded.data)}));
}

TEST(SaveWaveFile, OddSizesGetPadBytesAndLoadBack) {
  TempFolder folder;
  SourceSample sample;
  sample.format = FormatBlock(Pcm(1, 8000, 8), {0x01, 0x02, 0x03});  // 19 bytes
  sample.data = Ramp(101);
  const std::string path = folder.File("odd.wav");
  ASSERT_TRUE(SaveWaveFile(path, sample).ok);
  const Bytes file = ReadFile(path);
  EXPECT_EQ(file, Riff("WAVE", {Chunk("fmt ", sample.format), Chunk("data", sample.data)}));
  EXPECT_EQ(file.size(), 12u + 8u + 20u + 8u + 102u);
  EXPECT_EQ(ReadLe32(file.data() + 4), file.size() - 8);

  const WaveLoadResult loaded = LoadWaveFile(path);
  ASSERT_TRUE(loaded.ok) << loaded.message;
  EXPECT_EQ(loaded.sample.format, sample.format);
  EXPECT_EQ(loaded.sample.data, sample.data);
}

TEST(SaveWaveFile, ReplacesAnExistingFileKeepingItsPermissions) {
  TempFolder folder;
  const std::string path = folder.File("old.wav");
  WriteFile(path, Bytes(100000, 0x55));
#ifdef _WIN32
  // A file's attributes are what Windows keeps of its mode.
  const std::wstring wide = PathFromUtf8(path).native();
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(SaveWaveFile(path, DefaultShapedSample()).ok);
  EXPECT_EQ(ReadFile(path).size(), 22096u);
  EXPECT_NE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
#else
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(SaveWaveFile(path, DefaultShapedSample()).ok);
  EXPECT_EQ(ReadFile(path).size(), 22096u);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
#endif
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"old.wav"});
}

TEST(SaveWaveFile, ThroughALinkReplacesTheLinkedFile) {
  TempFolder folder;
  const std::string real = folder.File("real.wav");
  const std::string link = folder.File("link.wav");
  WriteFile(real, Bytes{1, 2, 3});
  std::error_code linked;
  std::filesystem::create_symlink(PathFromUtf8(real), PathFromUtf8(link), linked);
  if (linked && kOnWindows) GTEST_SKIP() << "this Windows user may not make symbolic links: " << linked.message();
  ASSERT_FALSE(linked) << linked.message();
  ASSERT_TRUE(SaveWaveFile(link, DefaultShapedSample()).ok);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(real).size(), 22096u);
}

TEST(SaveWaveFile, UnwritableTargetsAreOpenErrorsAndStayIntact) {
  TempFolder folder;
  const Bytes previous{9, 8, 7, 6};
  const std::string readOnly = folder.File("readonly.wav");
  WriteFile(readOnly, previous);
  ASSERT_TRUE(MakeReadOnly(PathFromUtf8(readOnly)));
  std::filesystem::create_directory(folder.File("dir.wav"));

  for (const std::string& target :
       {readOnly, folder.File("dir.wav"), folder.File("missing/x.wav")}) {
    SCOPED_TRACE(target);
    const WaveSaveResult result = SaveWaveFile(target, DefaultShapedSample());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "ファイルオープンエラー (mmioOpen)");
  }
  EXPECT_EQ(ReadFile(readOnly), previous);
  auto names = folder.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"dir.wav", "readonly.wav"}));
}

// Where renaming a new file over the target would change what the user
// sees, the finished file is written into the target in place.
TEST(SaveWaveFile, AFileWithAnotherHardLinkIsWrittenInPlace) {
  TempFolder folder;
  const std::string path = folder.File("a.wav");
  const std::string link = folder.File("b.wav");
  WriteFile(path, Ramp(500));
  std::filesystem::create_hard_link(PathFromUtf8(path), PathFromUtf8(link));
  ASSERT_TRUE(SaveWaveFile(path, DefaultShapedSample()).ok);
  EXPECT_EQ(ReadFile(path).size(), 22096u);
  EXPECT_EQ(ReadFile(link), ReadFile(path)) << "the other link shows the new content too";
  EXPECT_EQ(HardLinkCount(PathFromUtf8(path)), 2u);
  auto names = folder.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.wav", "b.wav"}));
}

TEST(SaveWaveFile, AFileOfAnotherOwnerKeepsOwnerGroupAndPermissions) {
  TONEFIELD_SKIP_ON_WINDOWS("a file keeps its owner on any save there; the owner's rights are its access list");
#ifndef _WIN32
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file another owner";
  TempFolder folder;
  const std::string path = folder.File("theirs.wav");
  WriteFile(path, Ramp(500));
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
  ASSERT_TRUE(SaveWaveFile(path, DefaultShapedSample()).ok);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
  EXPECT_EQ(info.st_mode & 07777, 0664u);
  EXPECT_EQ(ReadFile(path).size(), 22096u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"theirs.wav"});
#endif
}

// A file the user may write in a folder the user may not: no new file can
// be made there, so the content is completed elsewhere and written in place.
TEST(SaveWaveFile, AWritableFileInAFolderThatMayNotBeWrittenIsWrittenInPlace) {
  TONEFIELD_SKIP_ON_WINDOWS(kFolderWriteAccessOnWindows);
#ifndef _WIN32
  TempFolder folder;
  const std::string name = "in-place-" + ProcessIdText() + ".wav";
  const std::string path = folder.File(name);
  WriteFile(path, Ramp(500));
  ASSERT_TRUE(MakeWritable(PathFromUtf8(path), 0666));
  const bool saved = RunWithoutWriteAccessTo(folder.File(""), [&] {
    return SaveWaveFile(path, DefaultShapedSample()).ok &&
           SaveWaveFile(folder.File("new.wav"), DefaultShapedSample()).message ==
               "ファイルオープンエラー (mmioOpen)";
  });
  EXPECT_TRUE(saved);
  EXPECT_EQ(ReadFile(path).size(), 22096u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{name});
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
    EXPECT_EQ(entry.path().filename().string().find("." + name), std::string::npos) << "left behind";
  }
#endif
}

// The temporary name is built from the target's: a name near the 255-byte
// limit must still leave room for it.
TEST(SaveWaveFile, NamesUpToTheLongestAllowedAreSavedAndReplaced) {
  TempFolder folder;
  std::string japanese;
  for (int i = 0; i < 83; ++i) japanese += "あ";
  for (const std::string& name :
       {std::string(251, 'a') + ".wav", std::string(247, 'b') + ".wav", japanese + "ab.wav"}) {
    SCOPED_TRACE(name.size());
    ASSERT_LE(name.size(), 255u);
    const std::string path = folder.File(name);
    ASSERT_TRUE(SaveWaveFile(path, DefaultShapedSample()).ok);
    ASSERT_TRUE(SaveWaveFile(path, DefaultShapedSample()).ok) << "replacing it";
    EXPECT_EQ(ReadFile(path).size(), 22096u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{name});
    std::filesystem::remove(path);
  }
}

TEST(TemporaryFileName, StaysWithinTheNameLimitAndCutsOnlyWholeCharacters) {
  EXPECT_EQ(TemporaryFileName("x.wav", ".tmp1"), ".x.wav.tmp1");
  const std::string longest(255, 'a');
  EXPECT_EQ(TemporaryFileName(longest, ".part-12-0"), "." + std::string(244, 'a') + ".part-12-0");
  std::string japanese;
  for (int i = 0; i < 85; ++i) japanese += "あ";  // 255 bytes
  const std::string cut = TemporaryFileName(japanese, ".tmp123");
  EXPECT_LE(cut.size(), 255u);
  // 255 - 1 - 7 = 247 bytes of room hold 82 whole characters.
  EXPECT_EQ(cut, "." + japanese.substr(0, 82 * 3) + ".tmp123");
}

// Makes each file operation of a save fail in turn: every step reports its
// own message, the old file survives and no temporary file is left behind.
TEST(SaveWaveFile, EveryFailingStepHasItsMessageAndKeepsTheOldFile) {
  TempFolder folder;
  const std::string path = folder.File("keep.wav");
  const Bytes previous = Ramp(77);
  std::vector<std::string> messages;
  bool saved = false;
  for (int failing = 0; failing < 40 && !saved; ++failing) {
    WriteFile(path, previous);
    WaveSaveResult result;
    {
      ScopedRiffFault fault(failing);
      result = SaveWaveFile(path, DefaultShapedSample());
    }
    if (result.ok) {
      saved = true;
      break;
    }
    SCOPED_TRACE(failing);
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"keep.wav"});
    if (messages.empty() || messages.back() != result.message) messages.push_back(result.message);
  }
  EXPECT_TRUE(saved);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "RIFFチャンク作成エラー (mmioCreateChunk)",
                          "fmtチャンク作成エラー (mmioCreateChunk)",
                          "fmtチャンク書き込みエラー (mmioWrite)",
                          "fmtチャンク書き込みエラー (mmioAscend)",
                          "dataチャンク作成エラー (mmioCreateChunk)",
                          "dataチャンク書き込みエラー (mmioWrite)",
                          "dataチャンク書き込みエラー (mmioAscend)",
                          "RIFFチャンク書き込みエラー (mmioAscend)",
                      }));
  EXPECT_EQ(ReadFile(path).size(), 22096u);
}

TEST(SaveWaveFile, OddBlockPadWriteFailureIsAnAscendError) {
  TempFolder folder;
  SourceSample sample;
  sample.format = FormatBlock(Pcm(1, 8000, 8), {0x01});  // 17 bytes: the ascend pads
  sample.data = Ramp(4);
  // Writes: RIFF header, fmt header, fmt block; then the ascend's seek, size, seek, pad.
  ScopedRiffFault fault(6);
  EXPECT_EQ(SaveWaveFile(folder.File("p.wav"), sample).message,
            "fmtチャンク書き込みエラー (mmioAscend)");
}

}  // namespace
}  // namespace tonefield
