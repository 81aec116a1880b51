// One instance per session: a named mutex in the session's "Local" namespace.
// A second start finds the first one's window, hands it the file it was
// given (WM_COPYDATA) and asks it to come to the front (letting it take the
// foreground), then exits.
#pragma once

#include <windows.h>

#include <string>

namespace tonefield {

class SingleInstance {
 public:
  explicit SingleInstance(std::wstring name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Whether a first instance holds the name now.
  static bool IsRunning(const std::wstring& name);
  // True when this process is the first.
  bool Acquire();
  // Brings the first instance's window forward, handing it the file (a
  // full path in UTF-8) to open when one is given; false when no window is
  // found or it did not take the file.
  bool RaiseRunningInstance(const std::string& file = {});

 private:
  std::wstring name_;
  HANDLE mutex_ = nullptr;
};

}  // namespace tonefield
