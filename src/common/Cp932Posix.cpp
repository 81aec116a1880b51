// Code page 932 through the C library's iconv.
#include <iconv.h>

#include <cerrno>
#include <vector>

#include "common/TextCodec.h"

namespace tonefield {

namespace {

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

}  // namespace

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

}  // namespace tonefield
