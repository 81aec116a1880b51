// The menu bar above the client area: ファイル, 設定 and ヘルプ. It takes
// the keyboard only with Alt (its mnemonics) or while one of its menus is
// open, so the letter and digit keys keep playing the piano.
#include <QMenu>
#include <QMenuBar>

#include "platform/qt/MainWindow.h"
#include "platform/qt/WindowHandlers.h"

namespace tonefield {

void MainWindow::BuildMenuBar() {
  menuBar_ = new QMenuBar(this);
  menuBar_->setObjectName(QStringLiteral("menuBar"));
  // Drawn in the window on every desktop (never moved into a desktop's
  // global menu): the client area then starts at the same place everywhere.
  menuBar_->setNativeMenuBar(false);
  menuBar_->setAccessibleName(QStringLiteral("メニューバー"));

  // Items that do what a panel button does go to that button's handler.
  const auto addHandled = [this](QMenu* menu, MenuCommand command, const QString& text, const char* name,
                                 void (WindowHandlers::*handler)()) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, [this, handler] {
      if (Live()) (handlers_->*handler)();
    });
    menuActions_[command] = action;
  };
  // The others the program connects.
  const auto addOwn = [this](QMenu* menu, MenuCommand command, const QString& text, const char* name) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    menuActions_[command] = action;
  };

  fileMenu_ = menuBar_->addMenu(QStringLiteral("ファイル(&F)"));
  fileMenu_->setObjectName(QStringLiteral("fileMenu"));
  addHandled(fileMenu_, MenuCommand::OpenWave, QStringLiteral("音声読込"), "openWaveItem",
             &WindowHandlers::OnOpenWaveClicked);
  addHandled(fileMenu_, MenuCommand::OpenScore, QStringLiteral("楽譜読込"), "openScoreItem",
             &WindowHandlers::OnOpenScoreClicked);
  recentMenu_ = fileMenu_->addMenu(QStringLiteral("最近使ったファイル"));
  recentMenu_->setObjectName(QStringLiteral("recentMenu"));
  recentMenu_->setEnabled(false);
  addOwn(fileMenu_, MenuCommand::OpenRecordingFolder, QStringLiteral("録音フォルダを開く"), "recordingFolderItem");
  fileMenu_->addSeparator();
  addHandled(fileMenu_, MenuCommand::Quit, QStringLiteral("終了"), "quitItem", &WindowHandlers::OnQuitClicked);

  // A command of its own in the bar: the dialog is all there is to it.
  QAction* settings = menuBar_->addAction(QStringLiteral("設定(&S)"));
  settings->setObjectName(QStringLiteral("settingsItem"));
  menuActions_[MenuCommand::Settings] = settings;

  QMenu* help = menuBar_->addMenu(QStringLiteral("ヘルプ(&H)"));
  help->setObjectName(QStringLiteral("helpMenu"));
  addOwn(help, MenuCommand::Guide, QStringLiteral("使い方"), "guideItem");
  addHandled(help, MenuCommand::About, QStringLiteral("バージョン情報"), "aboutItem", &WindowHandlers::OnAboutClicked);

  menuBarHeight_ = menuBar_->sizeHint().height();
  menuBar_->setGeometry(0, 0, 630, menuBarHeight_);
}

QAction* MainWindow::menuAction(MenuCommand command) const {
  const auto it = menuActions_.find(command);
  return it == menuActions_.end() ? nullptr : it->second;
}

}  // namespace tonefield
