// Starts like the program does, up to the single-instance guard: exits 0
// when it would be the first instance, 3 when another instance answered.
#include <QCoreApplication>

#include "platform/qt/SingleInstance.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  tonefield::SingleInstance guard(QString::fromLocal8Bit(argv[1]));
  return guard.Acquire() ? 0 : 3;
}
