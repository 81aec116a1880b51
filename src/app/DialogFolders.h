// Where the file dialogs start: the folder of the last file chosen for that
// kind of file, kept between runs; else, for a program that may keep files
// in its own folder (a build folder, an unpacked copy), that folder; else
// the user's music folder for samples and the documents folder for scores.
#pragma once

#include <string>

#include "app/Host.h"

namespace tonefield {

enum class FileKind { Sample, Score };

// The folder part of a chosen file, separator included; empty for a bare name.
std::string FolderOf(const std::string& path);

class DialogFolders {
 public:
  explicit DialogFolders(Host& host) : host_(host) {}

  // The folder to start in, ending with a separator. A remembered folder
  // that no longer exists is passed over.
  std::string StartFolder(FileKind kind);
  // Keeps the folder of a chosen file (up to its last separator).
  void Remember(FileKind kind, const std::string& chosenPath);

  // The setting that keeps a kind's folder.
  static const char* SettingKey(FileKind kind);

 private:
  Host& host_;
};

}  // namespace tonefield
