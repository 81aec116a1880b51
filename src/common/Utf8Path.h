// File names travel through the program as UTF-8 strings. These turn them
// into the system's path type and back, without the system's code page
// coming in between: on Windows a path is UTF-16, and the narrow conversions
// of std::filesystem use the ANSI code page, which cannot hold most names.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tonefield {

// Bytes that are not UTF-8 become U+FFFD on Windows; elsewhere they pass as they are.
std::filesystem::path PathFromUtf8(std::string_view utf8);

std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace tonefield
