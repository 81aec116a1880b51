// A Host with a settable clock, a set of physically held keys, scripted file
// dialog answers (nothing = cancelled) and a recorded close request, which
// can run a callback (the shell would run FormCloseQuery there).
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
  LocalTime Now() override { return now; }
  std::optional<std::string> RunOpenDialog(const FileDialogRequest& request) override;
  std::optional<std::string> RunSaveDialog(const FileDialogRequest& request) override;
  bool IsKeyHeld(int virtualKey) override { return heldKeys.count(virtualKey) != 0; }
  void StartVolumeControl(bool recordingView) override { volumeControls.push_back(recordingView); }
  void RequestClose() override;

  std::string exeDir = "/opt/tonefield/";
  LocalTime now{2024, 3, 1, 9, 5, 7};
  std::set<int> heldKeys;
  std::deque<std::optional<std::string>> openAnswers;  // empty queue = cancel
  std::deque<std::optional<std::string>> saveAnswers;
  std::vector<FileDialogRequest> openRequests;
  std::vector<FileDialogRequest> saveRequests;
  std::vector<bool> volumeControls;
  int closeRequests = 0;
  std::function<void()> onRequestClose;
};

}  // namespace tonefield::fakes
