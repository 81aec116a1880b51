// Plain-language causes for the file messages that name only a system
// function ("mmioOpenエラー", "ファイルシークエラー (mmioSeek)"): a second
// line under the message, worked out from the file and its folder after the
// failure. The message itself stays as it is.
#pragma once

#include <functional>
#include <string>

namespace tonefield {

enum class FileAccess { Reading, Writing };

// The cause, or empty when the message says enough or nothing more is
// known. isFolderWritable answers for a folder ending with a separator.
std::string FileErrorCause(const std::string& message, const std::string& path, FileAccess access,
                           const std::function<bool(const std::string&)>& isFolderWritable);

// message, and the cause on a second line when there is one.
std::string WithCause(const std::string& message, const std::string& cause);

}  // namespace tonefield
