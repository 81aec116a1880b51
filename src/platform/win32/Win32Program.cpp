#include "platform/win32/Win32Program.h"

#include <cstdio>
#include <cstdlib>

#include "midi/MidiStatus.h"
#include "platform/win32/DiskSoundDevices.h"
#include "platform/win32/WasapiWaveIn.h"
#include "platform/win32/WasapiWaveOut.h"
#include "platform/win32/WideText.h"

namespace tonefield {

namespace {

Win32Program* midiPollTarget = nullptr;  // the one program of this process

}  // namespace

Win32Program::Win32Program(HINSTANCE instance, const LaunchOptions& options)
    : options_(options), window_(instance) {}

Win32Program::~Win32Program() {
  if (midiTimer_ != 0) KillTimer(nullptr, midiTimer_);
  if (midiLightTimer_ != 0) KillTimer(nullptr, midiLightTimer_);
  midiPollTarget = nullptr;
  if (midi_ != nullptr) midi_->Close();
  window_.StopTimer();
  window_.SetHandlers(nullptr);
  // Both devices stop before the core and its renderer go.
  if (waveOut_ != nullptr) waveOut_->Close();
  if (waveIn_ != nullptr) waveIn_->Close();
  midi_.reset();
  handlers_.reset();
  core_.reset();
}

void Win32Program::Wake() {
  // One message until it is handled: a wake-up never floods the queue.
  if (!newsPending_.exchange(true)) PostMessageW(window_.hwnd(), kDeviceNewsMessage, 0, 0);
}

void Win32Program::OnDeviceNews(void* context) {
  auto* self = static_cast<Win32Program*>(context);
  self->newsPending_ = false;
  if (self->core_ == nullptr) return;
  self->core_->OnAudioNews();
  if (self->deliverCapture_) self->deliverCapture_();
}

bool Win32Program::Start() {
  if (!window_.Create()) return false;
  window_.SetOnDeviceNews(&Win32Program::OnDeviceNews, this);
  window_.SetOnOpenFile([this](const std::string& path) { OpenFile(path); });
  auto wake = [this] { Wake(); };
  if (DiskAudioRequested()) {
    waveOut_ = std::make_unique<DiskWaveOut>();
    auto in = std::make_unique<DiskWaveIn>(wake);
    deliverCapture_ = [device = in.get()] { device->DeliverFull(); };
    waveIn_ = std::move(in);
  } else {
    waveOut_ = std::make_unique<WasapiWaveOut>(options_.outputDevice);
    auto in = std::make_unique<WasapiWaveIn>(wake, options_.inputDevice);
    deliverCapture_ = [device = in.get()] { device->DeliverFull(); };
    waveIn_ = std::move(in);
  }
  core_ = std::make_unique<Instrument>(window_, window_, *waveOut_, *waveIn_);
  handlers_ = std::make_unique<InstrumentHandlers>(*core_);
  window_.SetHandlers(handlers_.get());
  core_->SetBufferRequest(options_.bufferSamples);
  core_->SetAudioWake(wake);
  if (const char* log = std::getenv("TONEFIELD_LATENCY_LOG"); log != nullptr && *log != '\0') {
    core_->SetLatencyLog(log);
  }
  core_->Start();
  window_.ShowCentred();
  if (core_->TimerRunning()) window_.StartTimer();

  core_->midiInput().Configure(
      {.transpose = options_.midiTranspose, .velocity = options_.midiVelocity, .channel = options_.midiChannel},
      core_->LatencyLogEnabled());
  midiPollTarget = this;
  if (options_.midiApi != MidiApi::None) {
    midi_ = std::make_unique<WinMmMidiInput>(core_->midiInput());
    core_->SetMidiPanic([this] { midi_->Panic(); });
    midi_->Poll();
    // New controllers are picked up within a second; the light flashes
    // for at least 100 ms per burst of notes.
    midiTimer_ = SetTimer(nullptr, 0, 1000, &Win32Program::OnMidiPoll);
    midiLightTimer_ = SetTimer(nullptr, 0, 50, &Win32Program::OnMidiLight);
  }
  ReportMidi(true);
  return true;
}

void Win32Program::OpenFile(const std::string& path) {
  if (core_ != nullptr) core_->OpenFile(path);
}

void CALLBACK Win32Program::OnMidiPoll(HWND, UINT, UINT_PTR, DWORD) {
  if (midiPollTarget != nullptr && midiPollTarget->midi_ != nullptr && midiPollTarget->midi_->Poll()) {
    midiPollTarget->ReportMidi(false);
  }
}

void CALLBACK Win32Program::OnMidiLight(HWND, UINT, UINT_PTR, DWORD) {
  if (midiPollTarget != nullptr) midiPollTarget->UpdateMidiLight();
}

void Win32Program::UpdateMidiLight() {
  constexpr int kLitTicks = 2;
  const std::uint64_t notes = core_->midiInput().notesReceived();
  if (notes != notesSeen_) {
    notesSeen_ = notes;
    litTicksLeft_ = kLitTicks;
    if (!window_.MidiLightLit()) window_.SetMidiLight(true);
  } else if (litTicksLeft_ > 0 && --litTicksLeft_ == 0) {
    window_.SetMidiLight(false);
  }
}

void Win32Program::ReportMidi(bool atStart) {
  MidiStatus status;  // off on purpose
  status.system = "WinMM";
  if (midi_ != nullptr) status = midi_->status();
  // At the start the welcome stays while MIDI is as usual: WinMM open, or turned off on purpose.
  const bool usual = status.state == MidiState::Open || status.reason == MidiOffReason::TurnedOff;
  const std::string text = MidiStatusText(status);
  window_.SetMidiDescription(text);
  if (!atStart || !usual) window_.SetStatusText(text);
}

int Win32Program::Run() {
  MSG message;
  int result = 0;
  while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (window_.PreviewMessage(message)) continue;
    if (IsDialogMessageW(window_.hwnd(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return result < 0 ? 1 : static_cast<int>(message.wParam);
}

}  // namespace tonefield
