#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "platform/qt/MainWindow.h"
#include "platform/qt/QtTestSupport.h"

namespace tonefield {
namespace {

QStringList Texts(const QList<QAction*>& actions) {
  QStringList texts;
  for (const QAction* action : actions) {
    if (!action->isSeparator()) texts << action->text();
  }
  return texts;
}

QMenu* MenuTitled(const MainWindow& window, const QString& title) {
  for (QAction* action : window.menuBar()->actions()) {
    if (action->text() == title) return action->menu();
  }
  return nullptr;
}

TEST(MenuBar, SitsAboveTheClientAreaWhichKeepsItsSize) {
  MainWindow window;
  const int menu = window.MenuBarHeight();
  EXPECT_GT(menu, 10) << "tall enough for its texts";
  EXPECT_EQ(window.menuBar()->geometry(), QRect(0, 0, 630, menu));
  EXPECT_FALSE(window.menuBar()->isNativeMenuBar()) << "in the window on every desktop";
  EXPECT_EQ(window.panel()->y(), menu) << "the client area starts right below it";
  EXPECT_EQ(window.height() - menu, 223);
  // The core's sizes are the client area's; the window adds the bar.
  window.SetClientWidth(600);
  window.SetClientHeight(200);
  EXPECT_EQ(window.size(), QSize(600, menu + 200));
  EXPECT_EQ(window.menuBar()->width(), 600);
}

TEST(MenuBar, HoldsTheFileSettingsAndHelpMenusWithTheirItems) {
  MainWindow window;
  EXPECT_EQ(Texts(window.menuBar()->actions()),
            (QStringList{QStringLiteral("ファイル(&F)"), QStringLiteral("設定(&S)"), QStringLiteral("ヘルプ(&H)")}));
  QMenu* file = MenuTitled(window, QStringLiteral("ファイル(&F)"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file, window.fileMenu());
  EXPECT_EQ(Texts(file->actions()), (QStringList{QStringLiteral("音声読込"), QStringLiteral("楽譜読込"),
                                                 QStringLiteral("最近使ったファイル"), QStringLiteral("録音フォルダを開く"),
                                                 QStringLiteral("終了")}));
  EXPECT_EQ(file->actions()[2]->menu(), window.recentMenu());
  EXPECT_FALSE(window.recentMenu()->isEnabled()) << "nothing opened yet";
  EXPECT_EQ(MenuTitled(window, QStringLiteral("設定(&S)")), nullptr) << "a command, not a menu";
  EXPECT_EQ(window.menuBar()->actions()[1], window.menuAction(MenuCommand::Settings));
  QMenu* help = MenuTitled(window, QStringLiteral("ヘルプ(&H)"));
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(Texts(help->actions()), (QStringList{QStringLiteral("使い方"), QStringLiteral("バージョン情報")}));
  EXPECT_EQ(help->actions()[0], window.menuAction(MenuCommand::Guide));
}

TEST(MenuBar, ItemsOfTheButtonsGoToTheButtonsHandlersAndFollowTheirState) {
  MainWindow window;
  testing::RecordingHandlers handlers;
  window.SetHandlers(&handlers);
  const struct {
    MenuCommand command;
    Control button;
    const char* handled;
  } twins[] = {{MenuCommand::OpenWave, Control::OpenWaveButton, "openWaveButton"},
               {MenuCommand::OpenScore, Control::OpenScoreButton, "openScoreButton"},
               {MenuCommand::About, Control::AboutButton, "aboutButton"},
               {MenuCommand::Quit, Control::QuitButton, "quitButton"}};
  for (const auto& twin : twins) {
    handlers.log.clear();
    window.menuAction(twin.command)->trigger();
    EXPECT_EQ(handlers.log, (std::vector<std::string>{twin.handled}));
    window.SetControlEnabled(twin.button, false);
    EXPECT_FALSE(window.menuAction(twin.command)->isEnabled()) << twin.handled;
    window.SetControlEnabled(twin.button, true);
    EXPECT_TRUE(window.menuAction(twin.command)->isEnabled()) << twin.handled;
  }
  // The program's own commands reach no panel handler.
  handlers.log.clear();
  for (MenuCommand own : {MenuCommand::OpenRecordingFolder, MenuCommand::Settings, MenuCommand::Guide}) {
    ASSERT_NE(window.menuAction(own), nullptr);
    window.menuAction(own)->trigger();
  }
  EXPECT_TRUE(handlers.log.empty());
  window.SetHandlers(nullptr);
}

constexpr int kVirtualKeyAlt = 0x12;

std::vector<int> Letters(const std::vector<int>& keys) {
  std::vector<int> letters;
  for (int key : keys) {
    if (key != kVirtualKeyAlt) letters.push_back(key);
  }
  return letters;
}

class MenuBarKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.SetHandlers(&handlers_);
    // Like the core: the piano's keys are consumed, Alt is not.
    handlers_.consumeKeyDown = [](int key) { return key != kVirtualKeyAlt; };
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }
  // Where a key stroke goes first, as the keyboard delivers it.
  static QWidget* Focus(QWidget& window) {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus : &window;
  }
  void TearDown() override {
    while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    window_.SetHandlers(nullptr);
  }

  MainWindow window_;
  testing::RecordingHandlers handlers_;
};

// The menus' mnemonics F, S and H: as plain keys S and H are piano keys.
TEST_F(MenuBarKeys, PlainLettersPlayTheirNotesAndOpenNoMenuEvenAfterAnAltTap) {
  for (const bool afterAlt : {false, true}) {
    handlers_.keyDowns.clear();
    if (afterAlt) QTest::keyClick(Focus(window_), Qt::Key_Alt, Qt::NoModifier);
    for (const Qt::Key key : {Qt::Key_F, Qt::Key_S, Qt::Key_H}) {
      QTest::keyClick(Focus(window_), key);
      EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "after Alt: " << afterAlt << " key " << key;
    }
    EXPECT_EQ(Letters(handlers_.keyDowns), (std::vector<int>{'F', 'S', 'H'})) << "after Alt: " << afterAlt;
  }
  EXPECT_TRUE(handlers_.log.empty()) << "no menu command ran";
}

TEST_F(MenuBarKeys, AltWithAMnemonicOpensItsMenu) {
  QTest::keyClick(Focus(window_), Qt::Key_H, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget() != nullptr, 5000);
  EXPECT_EQ(QApplication::activePopupWidget()->objectName(), QStringLiteral("helpMenu"));
  EXPECT_TRUE(Letters(handlers_.keyDowns).empty()) << "no note for Alt+H";
}

}  // namespace
}  // namespace tonefield
