// Starts like the program does, up to the single-instance guard, on the
// display its environment names: exits 0 when it is the first instance,
// 3 when another instance answered.
//   instance_probe NAME [HOLD_MS [GO_FILE]]
// HOLD_MS: how long a first instance stays (answering later starts);
// GO_FILE: wait until this file exists before starting, so that several
// probes start at the same moment.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

#include "platform/qt/SingleInstance.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  const int holdMs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
  if (argc > 3) {
    const QString go = QString::fromLocal8Bit(argv[3]);
    // Tells the test this probe is loaded and watching, so that a slow
    // start under load cannot make it miss the moment.
    std::fputs("waiting\n", stdout);
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(go)) {
      if (clock.elapsed() > 10000) return 4;
      QThread::usleep(100);
    }
  }
  tonefield::SingleInstance guard(QString::fromLocal8Bit(argv[1]));
  if (!guard.Acquire()) return 3;
  QElapsedTimer held;
  held.start();
  while (held.elapsed() < holdMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return 0;
}
