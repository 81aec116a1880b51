#include "common/Utf8Path.h"

namespace tonefield {

// The system takes a name as bytes; a UTF-8 name is one.
std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(std::string(utf8)); }

std::string PathToUtf8(const std::filesystem::path& path) { return path.string(); }

}  // namespace tonefield
