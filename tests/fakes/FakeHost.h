// A Host with a settable clock, a set of physically held keys, scripted file
// dialog answers (nothing = cancelled), folders that are writable or not
// whatever the file system says (tests run as root), a scripted answer of
// the volume control and a recorded close request, which can run a
// callback (the shell would run OnCloseRequested there).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/Host.h"

namespace tonefield::fakes {

class FakeHost : public Host {
 public:
  std::string ExecutableDir() override { return exeDir; }
  bool IsFolderWritable(const std::string& folder) override {
    writabilityQuestions.push_back(folder);
    return readOnlyFolders.count(folder) == 0;
  }
  std::string MusicDir() override { return musicDir; }
  LocalTime Now() override { return now; }
  std::optional<std::string> RunOpenDialog(const FileDialogRequest& request) override;
  std::optional<std::string> RunSaveDialog(const FileDialogRequest& request) override;
  bool IsKeyHeld(int virtualKey) override { return heldKeys.count(virtualKey) != 0; }
  LaunchResult StartVolumeControl(bool recordingView) override {
    volumeControls.push_back(recordingView);
    return volumeControlAnswer;
  }
  void RequestClose() override;
  bool MayWriteProgramFolder() override {
    return mayWriteProgramFolder ? *mayWriteProgramFolder : Host::MayWriteProgramFolder();
  }
  std::string DocumentsDir() override { return documentsDir; }

  std::string exeDir = "/opt/tonefield/";
  std::string musicDir = "/home/user/Music/";
  std::string documentsDir = "/home/user/Documents/";
  // Unset: the program folder may be written when it is writable.
  std::optional<bool> mayWriteProgramFolder;
  std::set<std::string> readOnlyFolders;
  std::vector<std::string> writabilityQuestions;
  LocalTime now{2024, 3, 1, 9, 5, 7};
  std::set<int> heldKeys;
  std::deque<std::optional<std::string>> openAnswers;  // empty queue = cancel
  std::deque<std::optional<std::string>> saveAnswers;
  std::vector<FileDialogRequest> openRequests;
  std::vector<FileDialogRequest> saveRequests;
  std::vector<bool> volumeControls;
  LaunchResult volumeControlAnswer;  // started unless a test says otherwise
  int closeRequests = 0;
  std::function<void()> onRequestClose;
};

}  // namespace tonefield::fakes
