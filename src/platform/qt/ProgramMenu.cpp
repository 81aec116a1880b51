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
  ApplySettings(chosen);
}

void Program::ApplySettings(const LaunchOptions& chosen) {
  const auto saved = [this](const char* option) { return options_.given.count(option) == 0; };
  bool reopenOutput = false;
  if (saved("--output-device") && chosen.outputDevice != options_.outputDevice) {
    options_.outputDevice = chosen.outputDevice;
    waveOut_.Choose(chosen.outputDevice);
    reopenOutput = true;
  }
  if (saved("--buffer") && chosen.bufferSamples != options_.bufferSamples) {
    options_.bufferSamples = chosen.bufferSamples;
    core_.SetBufferRequest(chosen.bufferSamples);
    reopenOutput = true;
  }
  if (saved("--input-device") && chosen.inputDevice != options_.inputDevice) {
    options_.inputDevice = chosen.inputDevice;
    waveIn_.Choose(chosen.inputDevice);
  }
  if (reopenOutput && core_.ReopenOutput() && waveOut_.FellBack()) {
    window_.SetStatusText("出力デバイス " + chosen.outputDevice + " を開けません。既定のデバイスで再生します。");
  }

  // Transposition, velocity and channel change nothing but how the next notes play.
  if (saved("--midi-transpose")) options_.midiTranspose = chosen.midiTranspose;
  if (saved("--midi-velocity")) options_.midiVelocity = chosen.midiVelocity;
  if (saved("--midi-channel")) options_.midiChannel = chosen.midiChannel;
  bool reopenMidi = false;
  if (saved("--midi-api") && chosen.midiApi != options_.midiApi) {
    options_.midiApi = chosen.midiApi;
    reopenMidi = true;
  }
  if (saved("--midi-autoconnect") && chosen.midiAutoConnect != options_.midiAutoConnect) {
    options_.midiAutoConnect = chosen.midiAutoConnect;
    reopenMidi = true;
  }
  if (reopenMidi) {
    // The notes the old port holds end before it closes (no note-off would reach them).
    midiPorts_.Panic();
    midiPoll_.stop();
    midiLight_.stop();
    OpenMidi(false);
  } else {
    core_.midiInput().Configure(
        {.transpose = options_.midiTranspose, .velocity = options_.midiVelocity, .channel = options_.midiChannel},
        core_.LatencyLogEnabled());
  }
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
