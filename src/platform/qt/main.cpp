// Process entry: one instance per desktop, then the window and its message loop.
#include <QApplication>

#include "common/Constants.h"
#include "platform/qt/DesktopIntegration.h"
#include "platform/qt/Program.h"
#include "platform/qt/SingleInstance.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);  // the command line is not read
  QApplication::setApplicationName(QStringLiteral("Tonefield"));
  tonefield::SetUpDesktopIntegration();  // desktop entry, icon, Qt's Japanese texts

  tonefield::SingleInstance guard(QString::fromUtf8(tonefield::kInstanceName.data(),
                                                    static_cast<qsizetype>(tonefield::kInstanceName.size())));
  if (!guard.Acquire()) return 0;  // the running instance comes forward instead

  tonefield::Program program;
  guard.SetOnRaiseRequest([&program] { program.form().BringToFront(); });
  program.Start();
  return QApplication::exec();
}
