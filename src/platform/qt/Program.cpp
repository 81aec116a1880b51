#include "platform/qt/Program.h"

#include <QApplication>

#include "platform/qt/Glyphs.h"

namespace tonefield {

Program::Program()
    : wake_([this] { DeliverDeviceNews(); }),
      waveOut_(wake_.Waker()),
      waveIn_(wake_.Waker()),
      core_(form_, form_, waveOut_, waveIn_),
      handlers_(core_) {
  if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(MakeApplicationIcon());
  form_.setWindowIcon(QApplication::windowIcon());
  form_.SetHandlers(&handlers_);
}

Program::~Program() {
  form_.StopTimer();
  form_.SetHandlers(nullptr);
  // Stop both devices before the core and its ring buffers go, so no audio
  // callback can touch freed blocks (a no-op when FormClose closed them).
  waveOut_.Close();
  waveIn_.Close();
  // Blocks still on their way back are dropped, not delivered to a core
  // that is going away.
  waveOut_.DropDone();
}

void Program::Start() {
  core_.FormCreate();
  form_.CenterOnScreen();
  form_.show();
  form_.CenterOnScreen();
  if (core_.TimerRunning()) form_.StartTimer();
}

void Program::DeliverDeviceNews() {
  waveOut_.DeliverDone();
  waveIn_.DeliverFull();
}

}  // namespace tonefield
