#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/TextCodec.h"

namespace tonefield {
namespace {

struct Cp932Case {
  const char16_t* text;
  const char* bytes;
};

TEST(TextCodecCp932, NotationCharactersBothWays) {
  const Cp932Case cases[] = {
      {u"ド", "\x83\x68"}, {u"レ", "\x83\x8C"}, {u"ミ", "\x83\x7E"}, {u"フ", "\x83\x74"},
      {u"ソ", "\x83\x5C"}, {u"ラ", "\x83\x89"}, {u"シ", "\x83\x56"}, {u"。", "\x81\x42"},
      {u"・", "\x81\x45"}, {u"↑", "\x81\xAA"}, {u"→", "\x81\xA8"}, {u"↓", "\x81\xAB"},
      {u"＃", "\x81\x94"}, {u"ｂ", "\x82\x82"}, {u"ァ", "\x83\x40"}, {u"$", "$"},
      {u"ﾃｷｽﾄ", "\xC3\xB7\xBD\xC4"}, {u"楽譜", "\x8A\x79\x95\x88"}, {u"\\~", "\\~"},
  };
  for (const Cp932Case& c : cases) {
    EXPECT_EQ(EncodeCp932(c.text), c.bytes);
    EXPECT_EQ(DecodeCp932(c.bytes), c.text);
  }
}

TEST(TextCodecCp932, EveryBadByteBecomesOneReplacement) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"\x80", u"\uFFFD"},
      {"\xFF\xFF", u"\uFFFD\uFFFD"},
      {"A\x83", u"A\uFFFD"},             // lead byte cut off at the end
      {"\x83 B", u"\uFFFD B"},           // lead byte without a trail byte
      {"\x83\x68\xA0\x83\x68", u"ド\uFFFDド"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeCp932(c.bytes), c.text);
}

TEST(TextCodecCp932, LongRunsOfBadBytesEnd) {
  const std::string bytes(100000, '\xFF');
  EXPECT_EQ(DecodeCp932(bytes), std::u16string(100000, kReplacementChar));
}

TEST(TextCodecCp932, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(EncodeCp932(u"a\U0001F3B5b"), "a?b");
  EXPECT_EQ(EncodeCp932(u"\u00E9"), "?");
  EXPECT_EQ(EncodeCp932(u""), "");
  // A lone surrogate is one unmappable unit; the character after it stays.
  EXPECT_EQ(EncodeCp932(std::u16string{0xD800, u'A', u'b'}), "?Ab");
  EXPECT_EQ(EncodeCp932(std::u16string{u'a', 0xDC00, u'b'}), "a?b");
}

TEST(TextCodecUtf8, RoundTripsAllPlanes) {
  const std::u16string text = u"a\u00E9ド\U0001F3B5$";
  const std::string utf8 = "a\xC3\xA9\xE3\x83\x89\xF0\x9F\x8E\xB5$";
  EXPECT_EQ(Utf16ToUtf8(text), utf8);
  EXPECT_EQ(Utf8ToUtf16(utf8), text);
}

TEST(TextCodecUtf8, InvalidSequencesBecomeOneReplacementPerByte) {
  struct Case {
    std::string bytes;
    std::size_t replacements;
  };
  const Case cases[] = {
      {"\xC0\xAF", 2},          // overlong
      {"\xE0\x80\xAF", 3},      // overlong
      {"\xED\xA0\x80", 3},      // surrogate
      {"\xF4\x90\x80\x80", 4},  // beyond U+10FFFF
      {"\xE3\x83", 2},          // cut off
      {"\x80", 1},              // stray continuation byte
      {"\xF8\x88\x80\x80\x80", 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.bytes), std::u16string(c.replacements, kReplacementChar));
  }
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00)) + u"a"), "\xEF\xBF\xBD" "a");
}

TEST(TextCodecUtf8, DetectsMultibyteUtf8) {
  EXPECT_FALSE(IsUtf8WithMultibyte(""));
  EXPECT_FALSE(IsUtf8WithMultibyte("TONEFIELD0$abc$120$"));  // plain ASCII
  EXPECT_TRUE(IsUtf8WithMultibyte("t$\xE3\x83\x89$"));
  EXPECT_FALSE(IsUtf8WithMultibyte(EncodeCp932(u"ドレミファソラシ。・↑→↓＃ｂ")));
  EXPECT_FALSE(IsUtf8WithMultibyte(EncodeCp932(u"きらきら星")));
  EXPECT_FALSE(IsUtf8WithMultibyte("\xE3\x83\x89\xC0\xAF"));
  // A sequence cut at the very end.
  EXPECT_FALSE(IsUtf8WithMultibyte("\xE3\x83\x89\xE3\x83"));
  EXPECT_TRUE(IsUtf8WithMultibyte("\xE3\x83\x89\xE3\x83", true));
  EXPECT_FALSE(IsUtf8WithMultibyte("\xE3\x83\x89\xE3\x83" "a", true));
  EXPECT_FALSE(IsUtf8WithMultibyte("abc\xE3\x83", true));
}

// One codec on every system: iconv on Linux and Windows' tables (with their
// differences mended) give the same result for every lone byte, every byte
// pair and every character of the basic plane, summed up in one digest that
// both systems must reach. A difference here means a score file reads or
// saves differently on the two systems.
class Digest {
 public:
  void Add(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      hash_ ^= (value >> (8 * i)) & 0xFFu;
      hash_ *= 0x100000001B3u;
    }
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325u;
};

TEST(TextCodecCp932, EverySystemDecodesAndEncodesAlike) {
  Digest decoded;
  for (int lead = 0; lead < 256; ++lead) {
    for (int trail = -1; trail < 256; ++trail) {
      std::string bytes(1, static_cast<char>(lead));
      if (trail >= 0) bytes.push_back(static_cast<char>(trail));
      for (char16_t c : DecodeCp932(bytes)) decoded.Add(c);
      decoded.Add(0x10000);  // ends the entry
    }
  }
  Digest encoded;
  for (char32_t c = 1; c < 0x10000; ++c) {
    for (char byte : EncodeCp932(std::u16string(1, static_cast<char16_t>(c)))) encoded.Add(static_cast<unsigned char>(byte));
    encoded.Add(0x100);
  }
  EXPECT_EQ(decoded.value(), 3351297544816135415u);
  EXPECT_EQ(encoded.value(), 8783508757750141514u);
  // Beyond the basic plane: a surrogate pair is one character, one '?'.
  EXPECT_EQ(EncodeCp932(u"\U0001F3B5"), "?");
  EXPECT_EQ(EncodeCp932(std::u16string(1, char16_t(0xD83C)) + u"b"), "?b");
}

}  // namespace
}  // namespace tonefield
