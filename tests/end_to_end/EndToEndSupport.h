// The real program on the offscreen platform with SDL's disk driver: what
// is played goes to a file, what is recorded comes from one.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "platform/sdl/SdlTestSupport.h"

namespace tonefield::testing {

// Each test gets its own output file; SDL reads these when a device opens.
struct DiskAudio {
  TempPath played{"tonefield-e2e-out"};
  TempPath captured{"tonefield-e2e-in"};
  ScopedEnv driver{"SDL_AUDIODRIVER", "disk"};
  ScopedEnv out{"SDL_DISKAUDIOFILE", played.str()};
  ScopedEnv in{"SDL_DISKAUDIOFILEIN", captured.str()};
};

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers every message box that opens with OK and remembers it.
class BoxWatcher {
 public:
  BoxWatcher() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        seen.push_back({box->windowTitle(), box->text(), box->icon()});
        box->button(QMessageBox::Ok)->click();
      }
    });
    timer_.start();
  }
  std::vector<SeenBox> seen;

 private:
  QTimer timer_;
};

}  // namespace tonefield::testing
