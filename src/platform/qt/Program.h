// The running program: the on-screen form, the SDL sound devices, the core
// TForm1 and the wiring between them. The output device's callback renders
// on SDL's audio thread; its news (key colours, the score's end) and the
// capture's buffer-full reach the core on the GUI thread through a GuiWake.
#pragma once

#include <memory>

#include "app/LaunchOptions.h"
#include "app/TForm1.h"
#include "platform/qt/GuiWake.h"
#include "platform/qt/MainForm.h"
#include "platform/qt/TForm1Handlers.h"
#include "platform/sdl/SdlWaveIn.h"
#include "platform/sdl/SdlWaveOut.h"

namespace tonefield {

class Program {
 public:
  explicit Program(const LaunchOptions& options = {});
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // FormCreate (splash shown meanwhile), then the window is shown centred
  // and the 250 ms timer runs. TONEFIELD_LATENCY_LOG=FILE logs each note's
  // input-to-callback time to FILE.
  void Start();

  MainForm& form() { return form_; }
  TForm1& core() { return core_; }
  SdlWaveOut& waveOut() { return waveOut_; }
  SdlWaveIn& waveIn() { return waveIn_; }

 private:
  void DeliverDeviceNews();

  MainForm form_;
  GuiWake wake_;
  SdlWaveOut waveOut_;
  SdlWaveIn waveIn_;
  TForm1 core_;
  TForm1Handlers handlers_;
};

}  // namespace tonefield
