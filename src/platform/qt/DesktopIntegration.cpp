#include "platform/qt/DesktopIntegration.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTranslator>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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

namespace {

// $variable when it is an absolute path, else the user-dirs.dirs entry
// (through QStandardPaths), else the English name in the home folder.
QString UserFolder(const char* variable, QStandardPaths::StandardLocation location, const char* fallback) {
  QString folder = qEnvironmentVariable(variable);
  if (folder.isEmpty() || QDir::isRelativePath(folder)) folder = QStandardPaths::writableLocation(location);
  if (folder.isEmpty()) folder = QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

// Folders where package managers and system installs put programs.
bool IsSystemProgramFolder(const QString& canonicalFolder) {
  for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/lib/", "/lib64/", "/snap/", "/app/", "/nix/", "/gnu/"}) {
    if ((canonicalFolder + QLatin1Char('/')).startsWith(QLatin1String(prefix))) return true;
  }
  return false;
}

}  // namespace

QString UserMusicFolder() { return UserFolder("XDG_MUSIC_DIR", QStandardPaths::MusicLocation, "Music"); }

QString UserDocumentsFolder() {
  return UserFolder("XDG_DOCUMENTS_DIR", QStandardPaths::DocumentsLocation, "Documents");
}

bool MayWriteProgramFolder(const QString& folder) {
  if (!IsFolderWritable(folder)) return false;
#ifdef Q_OS_UNIX
  // An installed program's folder belongs to the system: even root, who
  // can write there, leaves it to the package manager. A folder of the
  // user's own (a build folder, an unpacked copy) stays usable.
  const QFileInfo info(folder);
  if (info.ownerId() != ::geteuid()) return false;
  if (IsSystemProgramFolder(info.canonicalFilePath())) return false;
#endif
  return true;
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
