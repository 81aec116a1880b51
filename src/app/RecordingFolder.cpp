#include "app/RecordingFolder.h"

#include <filesystem>
#include <system_error>

#include "audio_io/FileNameFit.h"
#include "common/Utf8Path.h"

namespace tonefield {

std::string RecordingFolder(Host& host) {
  std::string programFolder = host.ExecutableDir();
  if (host.MayWriteProgramFolder()) return programFolder;

  std::string folder = host.MusicDir();
  if (folder.empty()) return programFolder;  // no home at all: the open reports it
  if (folder.back() != kNativeSeparators.folder) folder.push_back(kNativeSeparators.folder);
  folder.append(kRecordingSubfolder);
  folder.push_back(kNativeSeparators.folder);

  std::error_code ignored;  // a folder that cannot be made fails the file's creation
  std::filesystem::create_directories(PathFromUtf8(folder), ignored);
  return folder;
}

}  // namespace tonefield
