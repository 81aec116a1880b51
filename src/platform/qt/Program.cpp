#include "platform/qt/Program.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/Glyphs.h"

namespace tonefield {

Program::Program(const LaunchOptions& options)
    : options_(options),
      // The audio callbacks only post; the GUI looks for it while a device runs.
      wake_([this] { DeliverDeviceNews(); }, [this] { return waveOut_.IsOpen() || waveIn_.IsOpen(); }),
      waveOut_(options.outputDevice),
      waveIn_(wake_.Poster(), options.inputDevice),
      core_(window_, window_, waveOut_, waveIn_),
      handlers_(core_),
      midiPorts_(core_.midiInput()) {
  if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(MakeApplicationIcon());
  window_.setWindowIcon(QApplication::windowIcon());
  window_.SetHandlers(&handlers_);
  core_.SetBufferRequest(options.bufferSamples);
  core_.SetAudioWake(wake_.Waker(), wake_.Poster());
  ConnectMenuBar();
  midiPoll_.setInterval(1000);
  QObject::connect(&midiPoll_, &QTimer::timeout, [this] {
    if (midiPorts_.Poll()) ReportMidi(false);
  });
  core_.SetMidiPanic([this] { midiPorts_.Panic(); });
  core_.SetMidiFileOptions(
      {.dropOutOfRange = options_.midiFileDropOutOfRange, .channels = options_.midiFileChannels});
  // The light flashes for at least 100 ms per burst of notes.
  midiLight_.setInterval(50);
  QObject::connect(&midiLight_, &QTimer::timeout, [this] {
    UpdateMidiLight();
    midiPorts_.SendWaiting();
  });
}

void Program::UpdateMidiLight() {
  constexpr int kLitTicks = 2;
  const std::uint64_t notes = core_.midiInput().notesReceived();
  if (notes != notesSeen_) {
    notesSeen_ = notes;
    litTicksLeft_ = kLitTicks;
    if (!window_.MidiLightLit()) window_.SetMidiLight(true);
  } else if (litTicksLeft_ > 0 && --litTicksLeft_ == 0) {
    window_.SetMidiLight(false);
  }
}

Program::~Program() {
  midiPoll_.stop();
  midiLight_.stop();
  midiPorts_.Close();
  window_.StopTimer();
  window_.SetHandlers(nullptr);
  // Stop both devices before the core and its renderer go, so no audio
  // callback can touch them (a no-op when Shutdown closed them).
  waveOut_.Close();
  waveIn_.Close();
}

void Program::Start() {
  if (const char* log = std::getenv("TONEFIELD_LATENCY_LOG"); log != nullptr && *log != '\0') {
    core_.SetLatencyLog(log);
  }
  core_.Start();
  window_.CenterOnScreen();
  window_.show();
  window_.CenterOnScreen();
  if (core_.TimerRunning()) window_.StartTimer();
  OpenMidi(true);
}

void Program::OpenMidi(bool atStart) {
  core_.midiInput().Configure(
      {.transpose = options_.midiTranspose, .velocity = options_.midiVelocity, .channel = options_.midiChannel},
      core_.LatencyLogEnabled());
  midiOff_ = midiPorts_.Open(options_.midiApi, options_.midiAutoConnect);
  if (!midiOff_.empty()) std::fprintf(stderr, "tonefield: MIDI input is off: %s\n", midiOff_.c_str());
  ReportMidi(atStart);
  if (midiPorts_.Watching()) midiPoll_.start();
  if (midiPorts_.IsOpen() || midiPorts_.Watching()) midiLight_.start();
}

void Program::ReportMidi(bool atStart) {
  const MidiStatus& status = midiPorts_.status();
  // At the start the welcome stays unless MIDI was asked for by name
  // (--midi-api) or something is connected already: a default start says
  // what MIDI does in the light's tool-tip and, when it is off, on standard
  // error.
  const bool usual = (options_.midiApi == MidiApi::Default && status.connections.empty()) ||
                     (status.state == MidiState::Off && status.reason == MidiOffReason::TurnedOff);
  const std::string text = MidiStatusText(status);
  window_.SetMidiDescription(text);
  if (!atStart || !usual) window_.SetStatusText(text);
  if (status.state == MidiState::Lost && reportedMidiState_ != MidiState::Lost) {
    std::fprintf(stderr, "tonefield: MIDI input lost: the JACK server stopped; waiting for one to run\n");
  } else if (status.state == MidiState::Open && !atStart && reportedMidiState_ != MidiState::Open) {
    std::fprintf(stderr, "tonefield: MIDI input is on: %s port %s\n", status.system.c_str(), status.address.c_str());
  }
  reportedMidiState_ = status.state;
}

void Program::DeliverDeviceNews() {
  core_.OnAudioNews();
  waveIn_.device().DeliverFull();
}

}  // namespace tonefield
