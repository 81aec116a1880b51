// The tool's file writing: the WAV layout and the staged (all-or-nothing) outputs.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <vector>

#include "OfflineRenderer.h"
#include "RenderedWaveWriter.h"
#include "StagedOutputFile.h"
#include "ToolRunner.h"
#include "audio_io/RiffFile.h"
#include "common/Utf8Path.h"
#include "support/FolderWithoutWriteAccess.h"
#include "support/TestPlatform.h"

namespace tonefield::testing {
namespace {

WaveFormat MonoFormat(std::uint32_t rate) {
  return {kWaveFormatPcm, 1, rate, rate * 2, 2, 16};
}

TEST(RenderedWaveWriter, WritesTheRecordingHeaderAndEverySampleInOrder) {
  ScratchFolder scratch;
  const std::string path = (scratch / "a.wav").string();
  RenderedWaveWriter writer;
  ASSERT_TRUE(writer.Start(path, MonoFormat(11025), 3).ok);
  const std::vector<std::int16_t> first = {1, -1, 32767};
  const std::vector<std::int16_t> second = {-32767, 258};
  ASSERT_TRUE(writer.Append(first));
  ASSERT_TRUE(writer.Append(second));
  ASSERT_TRUE(writer.Finish().ok);

  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 46u + 10u);
  WrittenWave wave = ParseWrittenWave(bytes);
  EXPECT_TRUE(wave.tagsRight);
  EXPECT_EQ(wave.riffSize, 38u + 10u);
  EXPECT_EQ(wave.fmtSize, 18u);
  EXPECT_EQ(wave.formatTag, 1);
  EXPECT_EQ(wave.channels, 1);
  EXPECT_EQ(wave.rate, 11025u);
  EXPECT_EQ(wave.avgBytesPerSec, 22050u);
  EXPECT_EQ(wave.blockAlign, 2);
  EXPECT_EQ(wave.bits, 16);
  EXPECT_EQ(wave.cbSize, 0);
  EXPECT_EQ(wave.dataSize, 10u);
  const std::vector<std::uint8_t> expected = {0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x80, 0x02, 0x01};
  EXPECT_EQ(wave.data, expected);
}

TEST(RenderedWaveWriter, AnEmptyFileIsAValidFortySixByteWave) {
  ScratchFolder scratch;
  const std::string path = (scratch / "empty.wav").string();
  RenderedWaveWriter writer;
  ASSERT_TRUE(writer.Start(path, MonoFormat(8000), 0).ok);
  ASSERT_TRUE(writer.Finish().ok);
  WrittenWave wave = ParseWrittenWave(ReadBytes(path));
  EXPECT_EQ(ReadBytes(path).size(), 46u);
  EXPECT_EQ(wave.riffSize, 38u);
  EXPECT_EQ(wave.dataSize, 0u);
}

// The writer writes an empty file made for it as it is, without truncating
// it; a file that already holds something must still end up holding only
// the new wave.
TEST(RenderedWaveWriter, AnExistingFileHoldsOnlyTheNewWave) {
  ScratchFolder scratch;
  for (const std::size_t oldBytes : {std::size_t{0}, std::size_t{1000}}) {
    const std::filesystem::path path = scratch / ("old-" + std::to_string(oldBytes) + ".wav");
    WriteBytes(path, std::vector<std::uint8_t>(oldBytes, 0x55));
    RenderedWaveWriter writer;
    ASSERT_TRUE(writer.Start(path.string(), MonoFormat(8000), 2).ok);
    const std::vector<std::int16_t> two = {7, -7};
    ASSERT_TRUE(writer.Append(two));
    ASSERT_TRUE(writer.Finish().ok);
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    EXPECT_EQ(bytes.size(), 46u + 4u) << oldBytes;
    EXPECT_EQ(ParseWrittenWave(bytes).dataSize, 4u) << oldBytes;
  }
}

TEST(RenderedWaveWriter, FailuresAreReportedWithTheRecordingMessages) {
  ScratchFolder scratch;
  {
    RenderedWaveWriter writer;
    ToolStatus status = writer.Start((scratch / "missing-folder" / "a.wav").string(), MonoFormat(11025), 4);
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.message, "mmioOpenエラー");
  }
  {
    // More samples than announced would need an allocation: refused, and Finish says so.
    RenderedWaveWriter writer;
    ASSERT_TRUE(writer.Start((scratch / "b.wav").string(), MonoFormat(11025), 2).ok);
    const std::vector<std::int16_t> three = {1, 2, 3};
    EXPECT_FALSE(writer.Append(three));
    ToolStatus status = writer.Finish();
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.message, "mmioWriteエラー");
  }
  {
    // A disk that fills up while the data are written.
    RenderedWaveWriter writer;
    ASSERT_TRUE(writer.Start((scratch / "c.wav").string(), MonoFormat(11025), 2).ok);
    const std::vector<std::int16_t> two = {1, 2};
    ScopedRiffFault fault(0);
    EXPECT_FALSE(writer.Append(two));
    EXPECT_FALSE(writer.Finish().ok);
  }
}

TEST(StagedOutputFile, TheTargetAppearsOnlyOnCommit) {
  ScratchFolder scratch;
  WriteBytes(scratch / "out.wav", {'o', 'l', 'd'});
  {
    StagedOutputFile staged(scratch / "out.wav");
    EXPECT_EQ(staged.temporaryPath().parent_path(), scratch.path());
    WriteBytes(staged.temporaryPath(), {'n', 'e', 'w'});
    EXPECT_EQ(ReadBytes(scratch / "out.wav"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    std::string error;
    ASSERT_TRUE(staged.Commit(error)) << error;
  }
  EXPECT_EQ(ReadBytes(scratch / "out.wav"), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"out.wav"});
}

TEST(StagedOutputFile, AnAbandonedOrFailedOutputLeavesNothingBehind) {
  ScratchFolder scratch;
  WriteBytes(scratch / "keep.wav", {'k'});
  {
    StagedOutputFile abandoned(scratch / "keep.wav");
    WriteBytes(abandoned.temporaryPath(), {'x'});
    StagedOutputFile other(scratch / "keep.wav");
    EXPECT_NE(other.temporaryPath(), abandoned.temporaryPath()) << "two stagings never share a name";
  }
  EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"keep.wav"});
  EXPECT_EQ(ReadBytes(scratch / "keep.wav"), std::vector<std::uint8_t>{'k'});

  std::filesystem::create_directory(scratch / "folder");
  std::filesystem::create_directory(scratch / "folder" / "inner");
  {
    StagedOutputFile onFolder(scratch / "folder");
    WriteBytes(onFolder.temporaryPath(), {'x'});
    std::string error;
    EXPECT_FALSE(onFolder.Commit(error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(scratch.Entries(), (std::vector<std::string>{"folder", "keep.wav"}));
}

TEST(StagedOutputFile, OnlyRegularFilesAreReplacedAndLinksAreFollowed) {
  ScratchFolder scratch;
  WriteBytes(scratch / "real.wav", {'r'});
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((scratch / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(StagedOutputFile::CanReplace(scratch / "pipe"));
#endif
  EXPECT_TRUE(StagedOutputFile::CanReplace(scratch / "new.wav"));
  EXPECT_TRUE(StagedOutputFile::CanReplace(scratch / "real.wav"));
  EXPECT_FALSE(StagedOutputFile::CanReplace(scratch.path()));
  EXPECT_FALSE(StagedOutputFile::CanReplace(kOnWindows ? "NUL" : "/dev/null"));

  std::error_code linked;
  std::filesystem::create_symlink("real.wav", scratch / "link.wav", linked);
  if (linked && kOnWindows) GTEST_SKIP() << "this Windows user may not make symbolic links: " << linked.message();
  ASSERT_FALSE(linked) << linked.message();
  EXPECT_TRUE(StagedOutputFile::CanReplace(scratch / "link.wav"));

  {
    StagedOutputFile staged(scratch / "link.wav");
    WriteBytes(staged.temporaryPath(), {'n'});
    std::string error;
    ASSERT_TRUE(staged.Commit(error)) << error;
  }
  EXPECT_TRUE(std::filesystem::is_symlink(scratch / "link.wav")) << "the link stays a link";
  EXPECT_EQ(ReadBytes(scratch / "real.wav"), std::vector<std::uint8_t>{'n'});
}

// Commits the bytes through a staged output of target; false when refused.
bool StageAndCommit(const std::filesystem::path& target, const std::vector<std::uint8_t>& bytes) {
  StagedOutputFile staged(target);
  WriteBytes(staged.temporaryPath(), bytes);
  std::string error;
  return staged.Commit(error);
}

TEST(StagedOutputFile, AWriteProtectedTargetIsNeverReplaced) {
  ScratchFolder scratch;
  WriteBytes(scratch / "ro.wav", {'r', 'o'});
  ASSERT_TRUE(MakeReadOnly(scratch / "ro.wav"));
  EXPECT_FALSE(StagedOutputFile::CanReplace(scratch / "ro.wav"));
  EXPECT_FALSE(StageAndCommit(scratch / "ro.wav", {'n'}));
  EXPECT_EQ(ReadBytes(scratch / "ro.wav"), (std::vector<std::uint8_t>{'r', 'o'}));
  EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"ro.wav"});
}

TEST(StagedOutputFile, AReplacedTargetKeepsItsPermissionsLinksAndOwner) {
  ScratchFolder scratch;
  WriteBytes(scratch / "mine.wav", {'o'});
#ifdef _WIN32
  // The attributes are what Windows keeps of a file's mode.
  const std::wstring mine = (scratch / "mine.wav").native();
  ASSERT_TRUE(SetFileAttributesW(mine.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(StageAndCommit(scratch / "mine.wav", {'n', 'e', 'w'}));
  EXPECT_NE(GetFileAttributesW(mine.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
#else
  ASSERT_EQ(::chmod((scratch / "mine.wav").c_str(), 0600), 0);
  ASSERT_TRUE(StageAndCommit(scratch / "mine.wav", {'n', 'e', 'w'}));
  struct stat info {};
  ASSERT_EQ(::stat((scratch / "mine.wav").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
#endif

  // Another hard link shows the new content too: written in place.
  std::filesystem::create_hard_link(scratch / "mine.wav", scratch / "other.wav");
  ASSERT_TRUE(StageAndCommit(scratch / "mine.wav", {'t', 'w', 'o'}));
  EXPECT_EQ(ReadBytes(scratch / "other.wav"), (std::vector<std::uint8_t>{'t', 'w', 'o'}));

  // Files on Windows keep their owner on any save; the owner's rights are
  // the access list, which ReplaceFileW carries over.
  bool otherOwner = false;
#ifndef _WIN32
  otherOwner = ::geteuid() == 0;
  if (otherOwner) {
    WriteBytes(scratch / "theirs.wav", {'o', 'l', 'd', '!'});
    ASSERT_EQ(::chown((scratch / "theirs.wav").c_str(), 65534, 65534), 0);
    ASSERT_TRUE(StageAndCommit(scratch / "theirs.wav", {'n'}));
    ASSERT_EQ(::stat((scratch / "theirs.wav").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(ReadBytes(scratch / "theirs.wav"), std::vector<std::uint8_t>{'n'}) << "a shorter content is cut";
  }
#endif
  std::vector<std::string> expected{"mine.wav", "other.wav"};
  if (otherOwner) expected.push_back("theirs.wav");
  EXPECT_EQ(scratch.Entries(), expected) << "no temporary file is left";
}

TEST(StagedOutputFile, AWritableTargetInAFolderThatMayNotBeWrittenIsWrittenInPlace) {
  TONEFIELD_SKIP_ON_WINDOWS(kFolderWriteAccessOnWindows);
#ifndef _WIN32
  ScratchFolder scratch;
  const std::string name = "staged-" + std::to_string(::getpid()) + ".wav";
  WriteBytes(scratch / name, {'o', 'l', 'd'});
  ASSERT_EQ(::chmod((scratch / name).c_str(), 0666), 0);
  EXPECT_TRUE(RunWithoutWriteAccessTo(scratch.path(), [&] { return StageAndCommit(scratch / name, {'n', 'e', 'w'}); }));
  EXPECT_EQ(ReadBytes(scratch / name), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(scratch.Entries(), std::vector<std::string>{name});
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
    EXPECT_EQ(entry.path().filename().string().find("." + name), std::string::npos) << "left behind";
  }
#endif
}

TEST(StagedOutputFile, NamesUpToTheLongestAllowedCanBeWritten) {
  ScratchFolder scratch;
  const std::string name = std::string(251, 'n') + ".wav";
  ASSERT_TRUE(StageAndCommit(scratch / name, {'1'}));
  ASSERT_TRUE(StageAndCommit(scratch / name, {'2'}));
  EXPECT_EQ(ReadBytes(scratch / name), std::vector<std::uint8_t>{'2'});
  EXPECT_EQ(scratch.Entries(), std::vector<std::string>{name});
}

// An export that fails half-way (a disk filling up) leaves nothing behind:
// neither key files nor the folders it made for them.
TEST(ExportKeyBank, AFailedExportRemovesTheFoldersItMade) {
  ScratchFolder scratch;
  OfflineRenderer renderer;
  renderer.UseDefaultSample();
  std::filesystem::create_directory(scratch / "mine");
  for (const int failing : {0, 7, 100}) {
    SCOPED_TRACE(failing);
    {
      ScopedRiffFault fault(failing);
      EXPECT_FALSE(renderer.ExportKeyBank(PathToUtf8(scratch / "bank" / "inner")).ok);
    }
    EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"mine"});
    {
      ScopedRiffFault fault(failing);
      EXPECT_FALSE(renderer.ExportKeyBank(PathToUtf8(scratch / "mine")).ok);
    }
    EXPECT_TRUE(std::filesystem::is_empty(scratch / "mine")) << "a folder that was there stays, empty";
  }
  ASSERT_TRUE(renderer.ExportKeyBank(PathToUtf8(scratch / "bank" / "inner")).ok);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch / "bank" / "inner"),
                          std::filesystem::directory_iterator()),
            37);
}

}  // namespace
}  // namespace tonefield::testing
