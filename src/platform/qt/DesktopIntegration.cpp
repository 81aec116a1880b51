#include "platform/qt/DesktopIntegration.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTranslator>

#include "platform/qt/Glyphs.h"

namespace tonefield {

void SetUpDesktopIntegration() {
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
  QApplication::setWindowIcon(MakeApplicationIcon());
  InstallJapaneseQtTranslations();
}

bool InstallJapaneseQtTranslations() {
  // Qt's own folder first; a portable copy may carry the file next to the program.
  const QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                            QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
  auto* translator = new QTranslator(QCoreApplication::instance());
  for (const QString& folder : folders) {
    if (translator->load(QStringLiteral("qtbase_ja"), folder)) {
      QCoreApplication::installTranslator(translator);
      return true;
    }
  }
  delete translator;
  return false;
}

bool IsFolderWritable(const QString& folder) {
  if (!QFileInfo(folder).isDir()) return false;
  // Creating a file is the only answer that holds for read-only mounts,
  // access lists and the protected program folders of every system alike.
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tonefield-probe-XXXXXX")));
  return probe.open();
}

QString UserMusicFolder() {
  QString folder = qEnvironmentVariable("XDG_MUSIC_DIR");
  if (folder.isEmpty() || QDir::isRelativePath(folder)) {
    folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  }
  if (folder.isEmpty()) folder = QDir::homePath() + QStringLiteral("/Music");
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

LaunchResult StartVolumeControlProgram(bool recordingView) {
  // pavucontrol's input-devices tab for recording, output-devices tab for playback.
  QProcess process;
  process.setProgram(QStringLiteral("pavucontrol"));
  process.setArguments({recordingView ? QStringLiteral("--tab=4") : QStringLiteral("--tab=3")});
  if (process.startDetached()) return LaunchResult{};
  return LaunchResult{false, process.program().toStdString(), process.errorString().toStdString()};
}

}  // namespace tonefield
