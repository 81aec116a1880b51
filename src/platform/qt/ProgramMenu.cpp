// The menu bar's commands that the program answers itself: the recent
// files, the recordings' folder, settings and the user's guide.
#include <QCoreApplication>
#include <QDesktopServices>
#include <QAction>
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

}  // namespace

void Program::ConnectMenuBar() {
  QObject::connect(window_.fileMenu(), &QMenu::aboutToShow, [this] { FillRecentMenu(); });
  QObject::connect(window_.menuAction(MenuCommand::OpenRecordingFolder), &QAction::triggered,
                   [this] { OpenInDesktop(QString::fromStdString(core_.RecordingFolderPath())); });
  QObject::connect(window_.menuAction(MenuCommand::Settings), &QAction::triggered, [this] { OpenSettings(); });
  QObject::connect(window_.menuAction(MenuCommand::Guide), &QAction::triggered, [this] { OpenGuide(); });
}

void Program::FillRecentMenu() {
  QMenu* recent = window_.recentMenu();
  recent->clear();
  const std::vector<std::string> files = core_.RecentFileList();
  for (const std::string& file : files) {
    const QFileInfo info(QString::fromStdString(file));
    recent->addAction(info.fileName() + QStringLiteral("  (") + info.path() + QStringLiteral(")"),
                      [this, file] { core_.OpenFile(file); });
  }
  recent->setEnabled(!files.empty());
}

void Program::OpenInDesktop(const QString& path) {
  const QUrl url = QUrl::fromLocalFile(path);
  const bool opened = openUrl_ ? openUrl_(url) : QDesktopServices::openUrl(url);
  if (!opened) QMessageBox::warning(&window_, QStringLiteral("エラー"), path + QStringLiteral(" を開けません。"));
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
  OpenInDesktop(guide);
}

}  // namespace tonefield
