// The running program on Windows: the window, the sound devices (WASAPI, or
// the disk devices when the environment asks for them), the WinMM MIDI
// input, the core Instrument and the wiring between them. The devices'
// news reach the GUI thread as one posted message per wake-up.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/Instrument.h"
#include "app/LaunchOptions.h"
#include "platform/qt/InstrumentHandlers.h"
#include "platform/win32/WinMmMidiInput.h"
#include "platform/win32/Win32Window.h"

namespace tonefield {

class Win32Program {
 public:
  Win32Program(HINSTANCE instance, const LaunchOptions& options);
  ~Win32Program();
  Win32Program(const Win32Program&) = delete;
  Win32Program& operator=(const Win32Program&) = delete;

  // False when the window cannot be made.
  bool Start();
  // The message loop, until the window has closed; the exit code.
  int Run();

  Win32Window& window() { return window_; }
  // A file given on the command line or handed over by a second start:
  // a score by its content, else a sample.
  void OpenFile(const std::string& path);

 private:
  static void OnDeviceNews(void* self);
  static void CALLBACK OnMidiPoll(HWND, UINT, UINT_PTR, DWORD);
  static void CALLBACK OnMidiLight(HWND, UINT, UINT_PTR, DWORD);
  void Wake();
  // Says what MIDI does on the status line (at the start only when unusual) and in the light's hint.
  void ReportMidi(bool atStart);
  void UpdateMidiLight();

  LaunchOptions options_;
  Win32Window window_;
  std::atomic<bool> newsPending_{false};
  std::function<void()> deliverCapture_;
  std::unique_ptr<WaveOutDevice> waveOut_;
  std::unique_ptr<WaveInDevice> waveIn_;
  std::unique_ptr<Instrument> core_;
  std::unique_ptr<InstrumentHandlers> handlers_;
  // After the core: its callbacks stop before the core goes.
  std::unique_ptr<WinMmMidiInput> midi_;
  UINT_PTR midiTimer_ = 0;
  UINT_PTR midiLightTimer_ = 0;
  std::uint64_t notesSeen_ = 0;
  int litTicksLeft_ = 0;
};

}  // namespace tonefield
