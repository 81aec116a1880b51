// The main window's handlers as the on-screen window calls them. The program
// forwards each to Instrument; widget tests put a recorder in its place.
#pragma once

#include <string>

#include "app/Host.h"

namespace tonefield {

class WindowHandlers {
 public:
  virtual ~WindowHandlers() = default;
  // Key codes are Windows virtual-key codes; a handler sets key to 0 to
  // consume the stroke.
  virtual void OnKeyDown(int& key) = 0;
  virtual void OnKeyUp(int& key) = 0;
  virtual void OnKeyButtonDown(int key) = 0;
  virtual void OnKeyButtonUp(int key) = 0;
  virtual void OnCloseRequested(bool& canClose) = 0;
  virtual void Shutdown() = 0;
  virtual void OnTimerTick() = 0;
  virtual void OnOpenWaveClicked() = 0;
  virtual void OnSaveSampleClicked() = 0;
  virtual void OnRecordSampleClicked() = 0;
  virtual void OnInputVolumeClicked() = 0;
  virtual void OnOutputVolumeClicked() = 0;
  virtual void OnOpenScoreClicked() = 0;
  virtual void OnPlayClicked() = 0;
  virtual void OnRecordPerformanceClicked() = 0;
  virtual void OnAboutClicked() = 0;
  virtual void OnQuitClicked() = 0;
  virtual void OnTempoChanged() = 0;
  virtual void OnSongChanged() = 0;
  virtual void OnSongListLeft() = 0;
  // A file dropped on the window.
  virtual void OnFileDropped(const std::string& /*path*/) {}
  // The mixer started but gave up within a second.
  virtual void OnVolumeControlFailed(const LaunchResult& /*launched*/) {}
  // The panic button: every note ends (Esc does the same through OnKeyDown).
  virtual void OnPanicClicked() {}
};

}  // namespace tonefield
