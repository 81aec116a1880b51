#include "platform/qt/Program.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/Glyphs.h"

namespace tonefield {

Program::Program(const LaunchOptions& options)
    : options_(options),
      wake_([this] { DeliverDeviceNews(); }),
      waveOut_(options.outputDevice),
      waveIn_(wake_.Waker(), options.inputDevice),
      core_(window_, window_, waveOut_, waveIn_),
      handlers_(core_),
      midiPorts_(core_.midiInput()) {
  if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(MakeApplicationIcon());
  window_.setWindowIcon(QApplication::windowIcon());
  window_.SetHandlers(&handlers_);
  core_.SetBufferRequest(options.bufferSamples);
  core_.SetAudioWake(wake_.Waker());
  midiPoll_.setInterval(1000);
  QObject::connect(&midiPoll_, &QTimer::timeout, [this] { midiPorts_.Poll(); });
}

Program::~Program() {
  midiPoll_.stop();
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
  OpenMidi();
}

void Program::OpenMidi() {
  core_.midiInput().Configure({.transpose = options_.midiTranspose, .velocity = options_.midiVelocity},
                              core_.LatencyLogEnabled());
  midiOff_ = midiPorts_.Open(options_.midiApi);
  if (!midiOff_.empty()) std::fprintf(stderr, "tonefield: MIDI input is off: %s\n", midiOff_.c_str());
  if (midiPorts_.Watching()) midiPoll_.start();
}

void Program::DeliverDeviceNews() {
  core_.OnAudioNews();
  waveIn_.DeliverFull();
}

}  // namespace tonefield
