// The desktop services the core asks the main window for.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QPointer>

#include "platform/qt/DesktopIntegration.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/WindowHandlers.h"

namespace tonefield {

QString MainWindow::NameFilter(const std::string& filter) {
  const QString text = QString::fromStdString(filter);
  const qsizetype bar = text.indexOf(QLatin1Char('|'));
  if (bar < 0) return text;
  QString description = text.left(bar).trimmed();
  QString patterns = text.mid(bar + 1).trimmed();
  // A description naming its patterns Windows' way, "(*.a;*.b)", names them Qt's way.
  const QString windowsSuffix = QStringLiteral("(") + patterns + QStringLiteral(")");
  if (patterns.contains(QLatin1Char(';')) && description.endsWith(windowsSuffix)) {
    description = description.left(description.size() - windowsSuffix.size()).trimmed();
  }
  patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
  // A description that already names its patterns keeps them once.
  const QString suffix = QStringLiteral("(") + patterns + QStringLiteral(")");
  if (description.endsWith(suffix)) return description;
  return description + QStringLiteral(" ") + suffix;
}

std::string MainWindow::ExecutableDir() {
  return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QLatin1Char('/')).toStdString();
}

bool MainWindow::IsFolderWritable(const std::string& folder) {
  return tonefield::IsFolderWritable(QString::fromStdString(folder));
}

std::string MainWindow::MusicDir() { return QDir::toNativeSeparators(UserMusicFolder()).toStdString(); }

std::string MainWindow::DocumentsDir() { return QDir::toNativeSeparators(UserDocumentsFolder()).toStdString(); }

bool MainWindow::MayWriteProgramFolder() {
  return tonefield::MayWriteProgramFolder(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}

std::string MainWindow::ReadSetting(const std::string& key) {
  return ProgramSettings().value(QString::fromStdString(key)).toString().toStdString();
}

void MainWindow::WriteSetting(const std::string& key, const std::string& value) {
  ProgramSettings().setValue(QString::fromStdString(key), QString::fromStdString(value));
}

LocalTime MainWindow::Now() {
  const QDateTime now = QDateTime::currentDateTime();
  return LocalTime{now.date().year(),   now.date().month(),  now.date().day(),
                   now.time().hour(),   now.time().minute(), now.time().second()};
}

namespace {

std::optional<std::string> RunDialog(QWidget* parent, const FileDialogRequest& request, bool save) {
  QFileDialog dialog(parent, QString::fromStdString(request.title), QString::fromStdString(request.initialDir),
                     MainWindow::NameFilter(request.filter));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
  // A desktop theme's dialog (GTK's on GNOME) speaks the user's locale; Qt's
  // own speaks Japanese like the rest of the window.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  PrepareFileDialog(dialog, parent->font());
#endif
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(files.front()).toStdString();
}

}  // namespace

std::optional<std::string> MainWindow::RunOpenDialog(const FileDialogRequest& request) {
  return RunDialog(this, request, false);
}

std::optional<std::string> MainWindow::RunSaveDialog(const FileDialogRequest& request) {
  return RunDialog(this, request, true);
}

bool MainWindow::IsKeyHeld(int virtualKey) { return keyHeld_.IsHeld(virtualKey); }

LaunchResult MainWindow::StartVolumeControl(bool recordingView) {
  QPointer<MainWindow> window(this);
  return StartVolumeControlProgram(recordingView, [window](const LaunchResult& failed) {
    if (window && window->Live()) window->handlers_->OnVolumeControlFailed(failed);
  });
}

void MainWindow::RequestClose() { close(); }

}  // namespace tonefield
