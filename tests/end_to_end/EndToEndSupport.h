// The real program on the offscreen platform with SDL's disk driver: what
// is played goes to a file, what is recorded comes from one.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/WaveFormat.h"
#include "platform/sdl/SdlServerCalls.h"
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

// Little-endian 16-bit samples from `from` on.
inline std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& bytes, std::size_t from = 0) {
  std::vector<std::int16_t> samples((bytes.size() - std::min(from, bytes.size())) / 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + from, samples.size() * 2);
  return samples;
}

// The samples of a WAV file's data chunk; empty when it has none.
inline std::vector<std::int16_t> WaveData(const std::vector<std::uint8_t>& file) {
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::uint32_t size = ReadLe32(file.data() + at + 4);
    if (std::memcmp(file.data() + at, "data", 4) == 0) {
      return Samples({file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                      file.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(at + 8 + size, file.size()))});
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

// A test's close or open left behind while its server was frozen may still
// be finishing on SDL's helper; a window opened before it ends would fail
// at once ("does not answer"). True once it has ended.
inline bool WaitTillServerCallsEnd() {
  return QTest::qWaitFor([] { return !ServerCallsStuck(); }, 15000);
}

}  // namespace tonefield::testing
