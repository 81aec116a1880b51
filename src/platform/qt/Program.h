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
#include <memory>
#include <string>

#include "app/LaunchOptions.h"
#include "app/Instrument.h"
#include "platform/midi/MidiPorts.h"
#include "platform/qt/GuiWake.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/InstrumentHandlers.h"
#include "platform/sdl/SdlWaveIn.h"
#include "platform/sdl/SdlWaveOut.h"

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
  SdlWaveOut& waveOut() { return waveOut_; }
  SdlWaveIn& waveIn() { return waveIn_; }
  const GuiWake& wake() const { return wake_; }
  MidiPorts& midiPorts() { return midiPorts_; }
  // Why there is no MIDI input, or empty.
  const std::string& midiOff() const { return midiOff_; }

  // The window's own menu (a right click anywhere on it), which leaves
  // every control where it is: the recent files, the recordings' folder,
  // 設定 and 使い方 (ProgramMenu.cpp).
  void ShowWindowMenu(const QPoint& globalPos);
  // 設定: saves what the dialog holds; MIDI's transposition and velocity
  // apply at once, the rest from the next start.
  void OpenSettings();
  // 使い方: the installed user's guide (or the source tree's) in the browser.
  void OpenGuide();
  // Where the user's guide is: beside an installed program's share folder,
  // else in the source tree it was built from; empty when neither exists.
  static QString GuidePath();

 private:
  void DeliverDeviceNews();
  void OpenMidi();
  // The MIDI input's state on the status line (and its loss and return on
  // standard error).
  void ReportMidi(bool atStart);
  void UpdateMidiLight();

  LaunchOptions options_;
  MainWindow window_;
  GuiWake wake_;
  SdlWaveOut waveOut_;
  SdlWaveIn waveIn_;
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
