// The running program: the on-screen window, the SDL sound devices, the MIDI
// input, the core Instrument and the wiring between them. The output device's
// callback renders on SDL's audio thread; its news (key colours, the
// score's end) and the capture's buffer-full reach the core on the GUI
// thread through a GuiWake, which the MIDI input's thread also uses while
// no output device runs.
#pragma once

#include <QPoint>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "app/LaunchOptions.h"
#include "app/Instrument.h"
#include "platform/midi/MidiPorts.h"
#include "platform/qt/GuiWake.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/InstrumentHandlers.h"
#include "platform/qt/ChosenDevices.h"

namespace tonefield {

class Program {
 public:
  explicit Program(const LaunchOptions& options = {});
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Start (splash shown meanwhile), then the window is shown centred,
  // the 250 ms timer runs and the MIDI input opens (a missing MIDI system
  // is said in one line on standard error; the window plays on without).
  // TONEFIELD_LATENCY_LOG=FILE logs each note's input-to-callback time to FILE.
  void Start();

  MainWindow& window() { return window_; }
  Instrument& core() { return core_; }
  ChosenWaveOut& waveOut() { return waveOut_; }
  SdlWaveIn& waveIn() { return waveIn_.device(); }
  const GuiWake& wake() const { return wake_; }
  MidiPorts& midiPorts() { return midiPorts_; }
  // Why there is no MIDI input, or empty.
  const std::string& midiOff() const { return midiOff_; }

  // 設定: saves what the dialog holds and applies it (ProgramMenu.cpp).
  void OpenSettings();
  // Puts saved settings in force for this run, except what the command
  // line gave: devices and buffer reopen the output at once (the capture
  // device is used from the next recording), a new MIDI system or
  // auto-connection opens the MIDI input again, transposition, velocity and
  // channel change how the next notes play.
  void ApplySettings(const LaunchOptions& chosen);
  const LaunchOptions& options() const { return options_; }
  // 使い方: the installed user's guide (or the source tree's) in the browser.
  void OpenGuide();
  // Where the user's guide is: beside an installed program's share folder,
  // else in the source tree it was built from; empty when neither exists.
  static QString GuidePath();

  // How files and folders are shown on the desktop (the browser, the file
  // manager): QDesktopServices unless a test watches what is opened.
  using UrlOpener = std::function<bool(const QUrl&)>;
  void SetUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }

 private:
  // The menu bar's own commands (the recent files, the recordings' folder,
  // 設定, 使い方); the others go to the panel's handlers.
  void ConnectMenuBar();
  void FillRecentMenu();
  void OpenInDesktop(const QString& path);
  void DeliverDeviceNews();
  // atStart: the welcome stays on the status line unless MIDI has news.
  void OpenMidi(bool atStart);
  // The MIDI input's state on the status line (and its loss and return on
  // standard error).
  void ReportMidi(bool atStart);
  void UpdateMidiLight();

  UrlOpener openUrl_;
  LaunchOptions options_;
  MainWindow window_;
  GuiWake wake_;
  ChosenWaveOut waveOut_;
  ChosenWaveIn waveIn_;
  Instrument core_;
  InstrumentHandlers handlers_;
  // Declared after the core: its threads stop before the core goes.
  MidiPorts midiPorts_;
  QTimer midiPoll_;  // new controllers, lost and returning servers, about once a second
  std::string midiOff_;
  MidiState reportedMidiState_ = MidiState::Off;
  QTimer midiLight_;  // the activity light's look at the notes received
  std::uint64_t notesSeen_ = 0;
  int litTicksLeft_ = 0;
};

}  // namespace tonefield
