#include "common/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

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

#ifndef _WIN32
// An iconv conversion descriptor, closed when it goes out of scope.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts one piece of input with iconv; returns the bytes produced and how
// far the input was consumed. Stops at the first byte iconv refuses.
struct IconvStep {
  std::size_t consumed = 0;
  bool failed = false;  // stopped on an invalid or incomplete sequence
};

IconvStep ConvertSome(const IconvHandle& cd, std::string_view input, std::vector<char>& out) {
  IconvStep step;
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  while (inLeft > 0) {
    char buffer[1024];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
    out.insert(out.end(), buffer, outPtr);
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      step.failed = true;
      break;
    }
  }
  step.consumed = input.size() - inLeft;
  iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  return step;
}
#endif

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

#ifdef _WIN32

std::u16string DecodeCp932(std::string_view bytes) {
  std::u16string out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    // One character at a time, so a bad byte costs one U+FFFD.
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const int width = IsDBCSLeadByteEx(932, lead) && i + 1 < bytes.size() ? 2 : 1;
    wchar_t wide[2] = {};
    const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data() + i, width, wide, 2);
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
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int size = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(932, 0, wide, size, nullptr, 0, "?", nullptr);
  std::string out(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  if (needed > 0) WideCharToMultiByte(932, 0, wide, size, out.data(), needed, "?", nullptr);
  return out;
}

#else

std::u16string DecodeCp932(std::string_view bytes) {
  std::u16string out;
  const IconvHandle cd("UTF-16LE", "CP932");
  if (!cd.valid()) {
    out.assign(bytes.size(), kReplacementChar);
    return out;
  }
  std::vector<char> utf16;
  utf16.reserve(bytes.size() * 2);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const IconvStep step = ConvertSome(cd, bytes.substr(pos), utf16);
    pos += step.consumed;
    for (std::size_t k = 0; k + 1 < utf16.size(); k += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(utf16[k]) |
                                          (static_cast<unsigned char>(utf16[k + 1]) << 8)));
    }
    utf16.clear();
    if (step.failed && pos < bytes.size()) {
      out.push_back(kReplacementChar);  // the refused byte; go on after it
      ++pos;
    } else if (!step.failed) {
      break;
    }
  }
  return out;
}

std::string EncodeCp932(std::u16string_view text) {
  std::string out;
  const IconvHandle cd("CP932", "UTF-16LE");
  if (!cd.valid()) {
    out.assign(text.size(), '?');
    return out;
  }
  std::string utf16le;
  utf16le.reserve(text.size() * 2);
  for (char16_t c : text) {
    utf16le.push_back(static_cast<char>(c & 0xFF));
    utf16le.push_back(static_cast<char>(c >> 8));
  }
  std::vector<char> bytes;
  std::size_t pos = 0;
  while (pos < utf16le.size()) {
    const IconvStep step = ConvertSome(cd, std::string_view(utf16le).substr(pos), bytes);
    pos += step.consumed;
    if (!step.failed) break;
    // Skip the unmappable character: a surrogate pair is two code units, a
    // lone surrogate one.
    std::size_t unit = 2;
    if (pos + 3 < utf16le.size()) {
      const auto hi = static_cast<unsigned char>(utf16le[pos + 1]);
      const auto nextHi = static_cast<unsigned char>(utf16le[pos + 3]);
      if (hi >= 0xD8 && hi <= 0xDB && nextHi >= 0xDC && nextHi <= 0xDF) unit = 4;
    }
    bytes.push_back('?');
    pos += unit;
  }
  out.assign(bytes.begin(), bytes.end());
  return out;
}

#endif

}  // namespace tonefield
