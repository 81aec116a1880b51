// Code page 932 through Windows' own tables, made to give the same bytes and
// the same replacement characters as iconv's CP932 on Linux (the tests hold
// the two to one digest): Windows decodes the lone byte 0x80 as U+0080 where
// iconv refuses it, and encodes characters it lacks by a "best fit" ("é" as
// "e", "©" as "c") where iconv writes '?'; a character beyond U+FFFF becomes
// one '?' as in iconv, not one for each half of its surrogate pair.
#include <windows.h>

#include "common/TextCodec.h"

namespace tonefield {

namespace {

constexpr unsigned kCodePage = 932;

// Lone bytes Windows gives a character (U+0080 and private-use U+F8F0..F8F3)
// that iconv refuses.
bool IsRefusedSingleByte(unsigned char byte) { return byte == 0x80 || byte == 0xA0 || byte >= 0xFD; }

// Characters iconv's CP932 encodes that Windows' table does not: the JIS
// forms of the yen sign, overline and a few symbols, mapped as iconv maps
// them; and the five characters Windows alone gives a single byte, refused.
struct EncodeException {
  char16_t character;
  const char* bytes;  // empty: no code, '?'
};
constexpr EncodeException kEncodeExceptions[] = {
    {u'\u0080', ""},         {u'\u00A2', "\x81\x91"}, {u'\u00A3', "\x81\x92"}, {u'\u00A5', "\x5C"},
    {u'\u00AC', "\x81\xCA"}, {u'\u2014', "\x81\x5C"}, {u'\u2016', "\x81\x61"}, {u'\u203E', "\x7E"},
    {u'\u2212', "\x81\x7C"}, {u'\u301C', "\x81\x60"}, {u'\uF8F0', ""},         {u'\uF8F1', ""},
    {u'\uF8F2', ""},         {u'\uF8F3', ""},
};

const EncodeException* FindEncodeException(char16_t c) {
  for (const EncodeException& exception : kEncodeExceptions) {
    if (exception.character == c) return &exception;
  }
  return nullptr;
}

}  // namespace

std::u16string DecodeCp932(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    // One character at a time, so a bad byte costs one U+FFFD.
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const int width = IsDBCSLeadByteEx(kCodePage, lead) && i + 1 < bytes.size() ? 2 : 1;
    wchar_t wide[2] = {};
    const int n = width == 1 && IsRefusedSingleByte(lead)
                      ? 0
                      : MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data() + i, width, wide, 2);
    if (n == 1) {
      out.push_back(static_cast<char16_t>(wide[0]));
      i += static_cast<std::size_t>(width);
    } else {
      out.push_back(kReplacementChar);
      ++i;
    }
  }
  return out;
}

std::string EncodeCp932(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    std::size_t units = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) units = 2;
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    if (const EncodeException* exception = FindEncodeException(c)) {
      out.append(*exception->bytes != '\0' ? exception->bytes : "?");
      i += units;
      continue;
    }
    char bytes[4] = {};
    BOOL defaulted = FALSE;
    const int n = surrogate ? 0
                            : WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t*>(&c), 1,
                                                  bytes, sizeof bytes, nullptr, &defaulted);
    if (n <= 0 || defaulted) {
      out.push_back('?');
    } else {
      out.append(bytes, static_cast<std::size_t>(n));
    }
    i += units;
  }
  return out;
}

}  // namespace tonefield
