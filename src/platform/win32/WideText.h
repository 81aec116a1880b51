// UTF-8 <-> UTF-16 at the seam between the core (UTF-8 everywhere) and the
// wide Win32 calls. Bytes that are not UTF-8 become U+FFFD; unpaired
// surrogates from Windows become U+FFFD too.
#pragma once

#include <string>
#include <string_view>

namespace tonefield {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
// The system's text for a Win32 error code, in one line.
std::string Win32ErrorText(unsigned long error);

}  // namespace tonefield
