#include <gtest/gtest.h>

#include "audio_io/FileNameFit.h"

namespace tonefield {
namespace {

// 6 pixels per ASCII character, 12 per other character: a stand-in for the
// window font where double-byte characters are twice as wide.
int FakeWidth(std::string_view text) {
  int width = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) width += 6;
    else if ((byte & 0xC0) == 0xC0) width += 12;  // lead byte of a UTF-8 character
  }
  return width;
}

// Each expected text is what a limit of exactly its own width yields: the
// first pass of the loop that fits.
void ExpectSequence(const std::string& name, const std::vector<std::string>& passes,
                    PathSeparators separators) {
  EXPECT_EQ(FitFileNameToWidth(name, FakeWidth, FakeWidth(name), separators), name);
  for (const std::string& pass : passes) {
    SCOPED_TRACE(pass);
    EXPECT_EQ(FitFileNameToWidth(name, FakeWidth, FakeWidth(pass), separators), pass);
  }
  EXPECT_EQ(FitFileNameToWidth(name, FakeWidth, 0, separators), passes.back());
}

TEST(FitFileNameToWidth, WindowsPathLosesFoldersThenDrive) {
  ExpectSequence("C:\\Sounds\\Voices\\Mine\\a.wav",
                 {"C:\\...\\Voices\\Mine\\a.wav", "C:\\...\\Mine\\a.wav", "C:\\...\\a.wav",
                  "...\\a.wav", "a.wav"},
                 kWindowsSeparators);
}

TEST(FitFileNameToWidth, PosixPathLosesFolders) {
  ExpectSequence("/Sounds/Voices/Mine/a.wav",
                 {"/.../Voices/Mine/a.wav", "/.../Mine/a.wav", "/.../a.wav", ".../a.wav", "a.wav"},
                 kPosixSeparators);
  ExpectSequence("Sounds/Mine/a.wav", {".../Mine/a.wav", ".../a.wav", "a.wav"}, kPosixSeparators);
}

TEST(FitFileNameToWidth, DoubleByteNamesAreMeasuredAndCutByCharacters) {
  ExpectSequence("C:\\ソフト\\音声\\表.wav", {"C:\\...\\音声\\表.wav", "C:\\...\\表.wav", "...\\表.wav",
                                                "表.wav"},
                 kWindowsSeparators);
  // A leading folder that starts with "." is taken for an earlier cut: its
  // first four characters (not bytes) go, so no character is split.
  ExpectSequence("/.éé/x/a.wav", {"/.../a.wav", ".../a.wav", "a.wav"}, kPosixSeparators);
  ExpectSequence("/.éé/x/y/a.wav", {"/.../y/a.wav", "/.../a.wav", ".../a.wav", "a.wav"},
                 kPosixSeparators);
}

TEST(FitFileNameToWidth, NameIsNeverCut) {
  const std::string wide = "a-very-long-sample-name.wav";
  EXPECT_EQ(FitFileNameToWidth(wide, FakeWidth, 10, kPosixSeparators), wide);
  EXPECT_EQ(FitFileNameToWidth("/x/" + wide, FakeWidth, 10, kPosixSeparators), wide);
  EXPECT_EQ(FitFileNameToWidth("C:a.wav", FakeWidth, 10, kWindowsSeparators), "a.wav");
  EXPECT_EQ(FitFileNameToWidth("", FakeWidth, 0, kWindowsSeparators), "");
  // On POSIX a colon is part of a name.
  EXPECT_EQ(FitFileNameToWidth("C:a.wav", FakeWidth, 10, kPosixSeparators), "C:a.wav");
}

TEST(CutLeadingFolder, OneStepEach) {
  struct Case {
    std::string in, out;
  };
  const Case windows[] = {
      {"\\", ""},
      {"\\Sounds\\Voices\\", "\\...\\Voices\\"},
      {"\\...\\Voices\\", "\\...\\"},
      {"...\\", ""},
      {"Sounds\\", "...\\"},
      {"\\\\server\\share\\", "\\...\\server\\share\\"},
      {"", ""},
  };
  for (const Case& c : windows) {
    std::string folder = c.in;
    CutLeadingFolder(folder, kWindowsSeparators);
    EXPECT_EQ(folder, c.out) << c.in;
  }
  std::string posix = "/home/user/";
  CutLeadingFolder(posix, kPosixSeparators);
  EXPECT_EQ(posix, "/.../user/");
}

}  // namespace
}  // namespace tonefield
