// Services of the desktop the main window's handlers ask for: implemented
// with Qt in the program and by a fake in tests.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace tonefield {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// How starting a helper program went: on failure, the program's name and
// the system's reason.
struct LaunchResult {
  bool started = true;
  std::string program;
  std::string reason;
};

struct FileDialogRequest {
  std::string title;
  std::string filter;            // "description|pattern", one entry
  std::string initialDir;
  std::string defaultExtension;  // without the dot; empty for none
  bool confirmOverwrite = false;
};

class Host {
 public:
  virtual ~Host() = default;
  // Folder of the running executable, ending with a separator.
  virtual std::string ExecutableDir() = 0;
  // Whether new files can be created in this folder (ending with a separator).
  virtual bool IsFolderWritable(const std::string& folder) = 0;
  // The user's music folder, ending with a separator; it may not exist yet.
  virtual std::string MusicDir() = 0;
  virtual LocalTime Now() = 0;
  // The chosen file's full path, or nothing when cancelled.
  virtual std::optional<std::string> RunOpenDialog(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> RunSaveDialog(const FileDialogRequest& request) = 0;
  // Whether the key with this Windows virtual-key code is physically down now.
  virtual bool IsKeyHeld(int virtualKey) = 0;
  // Starts the system mixer, in its recording or its playback view.
  virtual LaunchResult StartVolumeControl(bool recordingView) = 0;
  // Asks the window to close; the window then runs OnCloseRequested.
  virtual void RequestClose() = 0;

  // Whether the program may keep files in its own folder: a build folder or
  // a copy the user unpacked, never an installed program, whoever runs it.
  virtual bool MayWriteProgramFolder() { return IsFolderWritable(ExecutableDir()); }
  // The user's documents folder, ending with a separator; it may not exist yet.
  virtual std::string DocumentsDir() { return MusicDir(); }
  // Values kept between runs, by key; empty when never written.
  virtual std::string ReadSetting(const std::string& key) { return settings_.count(key) ? settings_[key] : std::string(); }
  virtual void WriteSetting(const std::string& key, const std::string& value) { settings_[key] = value; }

 private:
  std::map<std::string, std::string> settings_;  // for hosts that keep nothing between runs
};

}  // namespace tonefield
