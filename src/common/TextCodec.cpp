#include "common/TextCodec.h"

#include <cstddef>
#include <cstdint>

namespace tonefield {

namespace {

// Length of the UTF-8 sequence starting at bytes[i], or 0 when the bytes
// there are not a valid sequence. Sets truncated when the sequence is valid
// so far but runs past the end.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t i, char32_t& codePoint,
                               bool& truncated) {
  truncated = false;
  const auto lead = static_cast<unsigned char>(bytes[i]);
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  std::size_t length = 0;
  char32_t value = 0;
  unsigned char low = 0x80;   // bounds of the second byte, which exclude
  unsigned char high = 0xBF;  // overlong forms, surrogates and > U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (i + k >= bytes.size()) {
      truncated = true;
      return 0;
    }
    const auto b = static_cast<unsigned char>(bytes[i + k]);
    const unsigned char lo = k == 1 ? low : 0x80;
    const unsigned char hi = k == 1 ? high : 0xBF;
    if (b < lo || b > hi) return 0;
    value = (value << 6) | (b & 0x3Fu);
  }
  codePoint = value;
  return length;
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
  if (codePoint >= 0x10000) {
    const char32_t v = codePoint - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(codePoint));
  }
}


}  // namespace

std::u16string Utf8ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    char32_t codePoint = 0;
    bool truncated = false;
    const std::size_t length = Utf8SequenceLength(bytes, i, codePoint, truncated);
    if (length == 0) {
      out.push_back(kReplacementChar);
      ++i;
      continue;
    }
    AppendUtf16(out, codePoint);
    i += length;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacementChar;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool IsUtf8WithMultibyte(std::string_view bytes, bool allowTruncatedEnd) {
  bool multibyte = false;
  std::size_t i = 0;
  while (i < bytes.size()) {
    char32_t codePoint = 0;
    bool truncated = false;
    const std::size_t length = Utf8SequenceLength(bytes, i, codePoint, truncated);
    if (length == 0) {
      // A truncated sequence can only be the last thing in the bytes.
      return truncated && allowTruncatedEnd && multibyte;
    }
    if (length > 1) multibyte = true;
    i += length;
  }
  return multibyte;
}

}  // namespace tonefield
