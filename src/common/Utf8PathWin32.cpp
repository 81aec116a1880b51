#include <string>

#include "common/TextCodec.h"
#include "common/Utf8Path.h"

namespace tonefield {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace tonefield
