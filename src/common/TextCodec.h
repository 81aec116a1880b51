// Text conversions between the program's UTF-8 strings, the parser's UTF-16
// code units and Shift-JIS (code page 932) score files. None of these throw:
// bytes that cannot be decoded become U+FFFD, one per bad byte.
#pragma once

#include <string>
#include <string_view>

namespace tonefield {

inline constexpr char16_t kReplacementChar = u'\uFFFD';

// Code page 932 bytes to UTF-16. Each byte that does not start a valid
// sequence (and the lone lead byte of a broken pair) becomes one U+FFFD.
std::u16string DecodeCp932(std::string_view bytes);

// UTF-16 to code page 932; characters that have no code become '?'.
std::string EncodeCp932(std::u16string_view text);

// UTF-8 to UTF-16; every byte of an invalid or truncated sequence becomes
// one U+FFFD. Characters beyond U+FFFF become surrogate pairs.
std::u16string Utf8ToUtf16(std::string_view bytes);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing beyond U+10FFFF) and at least one character takes more
// than one byte. With allowTruncatedEnd, an incomplete but so far valid
// sequence at the very end is accepted (a text cut at a byte limit).
bool IsUtf8WithMultibyte(std::string_view bytes, bool allowTruncatedEnd = false);

}  // namespace tonefield
