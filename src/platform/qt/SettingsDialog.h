// 設定: the options of the window kept between runs (devices, buffer, MIDI),
// chosen from the devices the system really has. What it returns is saved
// by the caller; the command line still wins for one run.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/LaunchOptions.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace tonefield {

class SettingsDialog : public QDialog {
 public:
  // The device lists: the names SDL gives (empty: only the default).
  SettingsDialog(const LaunchOptions& current, const std::vector<std::string>& outputDevices,
                 const std::vector<std::string>& inputDevices, QWidget* parent = nullptr);

  // The options as the dialog shows them now.
  LaunchOptions Chosen() const;

  static constexpr int kBufferChoices[] = {0, 64, 128, 256, 512, 1024, 2048, 4096};

 private:
  QComboBox* outputDevice_;
  QComboBox* inputDevice_;
  QComboBox* buffer_;
  QComboBox* midiApi_;
  QSpinBox* midiTranspose_;
  QCheckBox* midiVelocity_;
  QSpinBox* midiChannel_;
  QCheckBox* midiAutoConnect_;
};

}  // namespace tonefield
