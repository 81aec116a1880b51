#include "platform/qt/DesktopIntegration.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTranslator>
#include <memory>

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

namespace {

// Widens the columns after the name's to what their headers and the rows
// shown need (never narrower than they are), and the dialog with them.
void FitColumns(QFileDialog& dialog, QTreeView& view) {
  QHeaderView* header = view.header();
  int widened = 0;
  for (int section = 1; section < header->count(); ++section) {
    if (header->isSectionHidden(section)) continue;
    const int before = header->sectionSize(section);
    const int needed = std::max({before, header->sectionSizeHint(section), static_cast<const QAbstractItemView&>(view).sizeHintForColumn(section)});
    if (needed > before) {
      header->resizeSection(section, needed);
      widened += needed - before;
    }
  }
  if (widened > 0 && !dialog.isVisible()) dialog.resize(dialog.width() + widened, dialog.height());
}

}  // namespace

void PrepareFileDialog(QFileDialog& dialog, const QFont& font) {
  dialog.setFont(font);
  QList<QUrl> sidebar = dialog.sidebarUrls();
  for (const QString& folder : {UserMusicFolder(), UserDocumentsFolder()}) {
    const QUrl url = QUrl::fromLocalFile(QDir::cleanPath(folder));
    if (QFileInfo(folder).isDir() && !sidebar.contains(url)) sidebar << url;
  }
  dialog.setSidebarUrls(sidebar);
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (view == nullptr) return;
  FitColumns(dialog, *view);
  // The rows arrive as the folder is read: each folder read fits them again.
  if (auto* model = qobject_cast<QFileSystemModel*>(view->model())) {
    QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog, [&dialog, view] { FitColumns(dialog, *view); });
  }
}

QSettings ProgramSettings() {
  // The native format is an INI file named .conf on Linux (the registry on Windows).
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tonefield"), QStringLiteral("tonefield"));
}

LaunchResult StartVolumeControlProgram(bool recordingView, std::function<void(const LaunchResult&)> onEarlyFailure) {
  // pavucontrol's input-devices tab for recording, output-devices tab for playback.
  // Without a parent, and deleted only once it has finished: a QProcess
  // that is destroyed kills its program, and the mixer may outlive the window.
  auto* process = new QProcess;
  process->setProgram(QStringLiteral("pavucontrol"));
  process->setArguments({recordingView ? QStringLiteral("--tab=4") : QStringLiteral("--tab=3")});
  process->setStandardOutputFile(QProcess::nullDevice());
  process->start();
  if (!process->waitForStarted()) {
    LaunchResult failed{false, process->program().toStdString(), process->errorString().toStdString()};
    delete process;
    return failed;
  }
  // The last 4 KB of its error output, for the reason.
  auto errors = std::make_shared<QByteArray>();
  QObject::connect(process, &QProcess::readyReadStandardError, process, [process, errors] {
    errors->append(process->readAllStandardError());
    if (errors->size() > 4096) errors->remove(0, errors->size() - 4096);
  });
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(process, &QProcess::finished, process,
                   [process, errors, clock, onEarlyFailure](int exitCode, QProcess::ExitStatus status) {
                     errors->append(process->readAllStandardError());
                     const bool failed = status == QProcess::CrashExit || exitCode != 0;
                     if (failed && clock->elapsed() <= kEarlyExitMs && onEarlyFailure) {
                       QString reason;
                       for (const QByteArray& line : errors->split('\n')) {
                         if (!line.trimmed().isEmpty()) reason = QString::fromLocal8Bit(line.trimmed());
                       }
                       if (reason.isEmpty()) {
                         reason = status == QProcess::CrashExit ? QStringLiteral("異常終了しました。")
                                                                : QStringLiteral("終了コード %1 で終了しました。").arg(exitCode);
                       }
                       onEarlyFailure(LaunchResult{false, process->program().toStdString(), reason.toStdString()});
                     }
                     process->deleteLater();
                   });
  return LaunchResult{};
}

}  // namespace tonefield
