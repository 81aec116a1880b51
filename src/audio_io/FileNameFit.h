// Shortens a file name for the status line: leading folders give way to
// "...\" one at a time, then the drive, until the text fits; the bare name
// itself is never cut. Texts are UTF-8; separators are single ASCII
// characters, so they are always whole characters.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tonefield {

struct PathSeparators {
  char folder = '/';       // between folders
  bool driveColon = false;  // ":" also ends the folder part and a drive "X:" leads it
};

inline constexpr PathSeparators kWindowsSeparators{'\\', true};
inline constexpr PathSeparators kPosixSeparators{'/', false};
#ifdef _WIN32
inline constexpr PathSeparators kNativeSeparators = kWindowsSeparators;
#else
inline constexpr PathSeparators kNativeSeparators = kPosixSeparators;
#endif

using TextWidthFn = std::function<int(std::string_view text)>;

// The name, shortened until textWidth(result) <= maxWidth or nothing more can go.
std::string FitFileNameToWidth(const std::string& fileName, const TextWidthFn& textWidth,
                               int maxWidth, PathSeparators separators = kNativeSeparators);

// Drops the first folder of a folder path (ending with a separator) in place,
// marking the cut with "..." and the separator.
void CutLeadingFolder(std::string& folder, PathSeparators separators = kNativeSeparators);

}  // namespace tonefield
