// Saves a picture of the running window (two keys held) for the README:
//   take_screenshot docs/screenshot.png
#include <QApplication>
#include <QTest>

#include "platform/qt/Program.h"
#include "platform/qt/PianoKeyButton.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tonefield"));
  if (argc < 2) return 2;
  tonefield::Program program;
  program.Start();
  QTest::qWait(300);
  for (int key : {12, 16, 19}) program.core().OnKeyButtonDown(key);
  QTest::qWait(100);
  const bool saved = program.window().grab().save(QString::fromLocal8Bit(argv[1]));
  for (int key : {12, 16, 19}) program.core().OnKeyButtonUp(key);
  program.window().close();
  QTest::qWait(600);
  return saved ? 0 : 1;
}
