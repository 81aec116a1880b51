// The window's own menu: recent files, the recordings' folder, settings and
// the user's guide, reached with a right click so that no control moves.
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>

#include "app/LaunchSettings.h"
#include "platform/qt/DesktopIntegration.h"
#include "platform/qt/Program.h"
#include "platform/qt/SettingsDialog.h"
#include "platform/sdl/SdlAudio.h"

namespace tonefield {

namespace {

SettingReader ReadProgramSettings() {
  return [](const std::string& key) { return ProgramSettings().value(QString::fromStdString(key)).toString().toStdString(); };
}

void OpenInDesktop(QWidget* parent, const QString& path) {
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
    QMessageBox::warning(parent, QStringLiteral("エラー"), path + QStringLiteral(" を開けません。"));
  }
}

}  // namespace

void Program::ShowWindowMenu(const QPoint& globalPos) {
  QMenu menu(&window_);
  menu.setObjectName(QStringLiteral("windowMenu"));
  QMenu* recent = menu.addMenu(QStringLiteral("最近使ったファイル"));
  const std::vector<std::string> files = core_.RecentFileList();
  for (const std::string& file : files) {
    const QString path = QString::fromStdString(file);
    recent->addAction(QFileInfo(path).fileName() + QStringLiteral("  (") + QFileInfo(path).path() + QStringLiteral(")"),
                      [this, file] { core_.OpenFile(file); });
  }
  recent->setEnabled(!files.empty());
  menu.addAction(QStringLiteral("録音フォルダを開く"),
                 [this] { OpenInDesktop(&window_, QString::fromStdString(core_.RecordingFolderPath())); });
  menu.addSeparator();
  menu.addAction(QStringLiteral("設定..."), [this] { OpenSettings(); });
  menu.addAction(QStringLiteral("使い方"), [this] { OpenGuide(); });
  menu.exec(globalPos);
}

void Program::OpenSettings() {
  std::string error;
  const std::vector<std::string> outputs = ListSdlDevices(false, error);
  const std::vector<std::string> inputs = ListSdlDevices(true, error);
  // The dialog shows what is saved, not this run's command line.
  SettingsDialog dialog(WithSavedSettings(LaunchOptions{}, ReadProgramSettings()), outputs, inputs, &window_);
  if (dialog.exec() != QDialog::Accepted) return;
  const LaunchOptions chosen = dialog.Chosen();
  SaveSettings(chosen, [](const std::string& key, const std::string& value) {
    ProgramSettings().setValue(QString::fromStdString(key), QString::fromStdString(value));
  });
  // Transposition, velocity and channel change nothing but how the next notes play.
  if (options_.given.count("--midi-transpose") == 0) options_.midiTranspose = chosen.midiTranspose;
  if (options_.given.count("--midi-velocity") == 0) options_.midiVelocity = chosen.midiVelocity;
  if (options_.given.count("--midi-channel") == 0) options_.midiChannel = chosen.midiChannel;
  core_.midiInput().Configure(
      {.transpose = options_.midiTranspose, .velocity = options_.midiVelocity, .channel = options_.midiChannel},
      core_.LatencyLogEnabled());
}

QString Program::GuidePath() {
  QStringList candidates{QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/tonefield/guide.html")};
#ifdef TONEFIELD_SOURCE_DIR
  candidates << QStringLiteral(TONEFIELD_SOURCE_DIR "/docs/guide.html");
#endif
  for (const QString& candidate : candidates) {
    if (QFileInfo::exists(candidate)) return QDir::cleanPath(candidate);
  }
  return {};
}

void Program::OpenGuide() {
  const QString guide = GuidePath();
  if (guide.isEmpty()) {
    QMessageBox::warning(&window_, QStringLiteral("エラー"), QStringLiteral("使い方のファイルが見つかりません。"));
    return;
  }
  OpenInDesktop(&window_, guide);
}

}  // namespace tonefield
