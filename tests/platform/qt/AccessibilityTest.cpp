// What a screen reader finds in the window: names and descriptions, the
// keys' notes, the tempo as a percentage, the status line's news, and a
// keyboard focus that Tab moves through the panel.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "platform/qt/Accessibility.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/PianoKeyButton.h"
#include "platform/qt/QtTestSupport.h"

namespace tonefield {
namespace {

class AccessibleWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const KeyButtonSpec& key : testing::PianoKeys(window_.PanelHeight())) window_.CreateKeyButton(key);
    window_.RaiseBlackKeysThenPanel();
    // What start-up does to the two unused labels.
    window_.SetControlText(Control::BlankLabelLeft, "");
    window_.SetControlText(Control::BlankLabelRight, "");
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  static QAccessibleInterface* Of(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

  MainWindow window_;
};

TEST_F(AccessibleWindow, EveryVisibleControlAndKeyHasAName) {
  std::vector<QAccessibleInterface*> pending{Of(&window_)};
  int named = 0;
  while (!pending.empty()) {
    QAccessibleInterface* node = pending.back();
    pending.pop_back();
    ASSERT_NE(node, nullptr);
    if (node->state().invisible) continue;
    const QObject* object = node->object();
    EXPECT_FALSE(node->text(QAccessible::Name).isEmpty())
        << (object != nullptr ? object->objectName().toStdString() : "?") << " role " << node->role();
    ++named;
    for (int i = 0; i < node->childCount(); ++i) pending.push_back(node->child(i));
  }
  EXPECT_GE(named, 1 + 1 + 14 + 36) << "the window, the panel, its controls and the keys";
}

TEST_F(AccessibleWindow, ControlsAreNamedByTheirCaptionsAndDescribedByTheirHints) {
  QAccessibleInterface* play = Of(window_.control(Control::PlayButton));
  EXPECT_EQ(play->role(), QAccessible::Button);
  EXPECT_EQ(play->text(QAccessible::Name), QStringLiteral("演奏"));
  EXPECT_EQ(play->text(QAccessible::Description), QStringLiteral("曲を演奏します"));
  window_.SetControlText(Control::PlayButton, "停止");
  window_.SetControlHint(Control::PlayButton, "曲の演奏を停止します");
  EXPECT_EQ(play->text(QAccessible::Name), QStringLiteral("停止"));
  EXPECT_EQ(play->text(QAccessible::Description), QStringLiteral("曲の演奏を停止します"));

  QAccessibleInterface* songs = Of(window_.songList());
  EXPECT_EQ(songs->role(), QAccessible::ComboBox);
  EXPECT_EQ(songs->text(QAccessible::Name), QStringLiteral("曲"));
  EXPECT_FALSE(songs->text(QAccessible::Description).isEmpty());
  QAccessibleInterface* clock = Of(window_.control(Control::RecordingClock));
  EXPECT_EQ(clock->text(QAccessible::Name), QStringLiteral("00:00"));
  EXPECT_FALSE(clock->text(QAccessible::Description).isEmpty());
}

TEST_F(AccessibleWindow, KeysAreNamedByTheirNoteAndOctaveAndDescribedByTheirPcKey) {
  struct Case {
    int key;
    const char* name;
    const char* description;
  };
  const Case cases[] = {{0, "ド 3", "PCキー Z"},  {1, "ド♯ 3", "PCキー S"}, {5, "ファ 3", "PCキー V"},
                        {12, "ド 4", "PCキー ,"}, {22, "ラ♯ 4", "PCキー 4"}, {35, "シ 5", "PCキー @"}};
  for (const Case& c : cases) {
    QAccessibleInterface* key = Of(window_.keyButton(c.key));
    EXPECT_EQ(key->text(QAccessible::Name), QString::fromUtf8(c.name)) << c.key;
    EXPECT_EQ(key->text(QAccessible::Description), QString::fromUtf8(c.description)) << c.key;
  }
}

TEST_F(AccessibleWindow, TheTempoBarReadsAsAPercentageOfTheScoresTempo) {
  QAccessibleInterface* tempo = Of(window_.tempo());
  EXPECT_EQ(tempo->role(), QAccessible::Slider);
  EXPECT_EQ(tempo->text(QAccessible::Name), QStringLiteral("早さ"));
  EXPECT_EQ(tempo->text(QAccessible::Description), QStringLiteral("自動演奏のテンポを調整します"));
  QAccessibleValueInterface* value = tempo->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->currentValue().toInt(), 100);
  EXPECT_EQ(tempo->text(QAccessible::Value), QStringLiteral("100%"));
  EXPECT_EQ(value->minimumValue().toInt(), 50);
  EXPECT_EQ(value->maximumValue().toInt(), 200);
  window_.tempo()->setValue(0);
  EXPECT_EQ(tempo->text(QAccessible::Value), QStringLiteral("50%"));
  value->setCurrentValue(200);
  EXPECT_EQ(window_.tempo()->value(), 10);
  value->setCurrentValue(130);  // nearest: 132% at 7
  EXPECT_EQ(window_.tempo()->value(), 7);
  const int percents[] = {50, 57, 66, 76, 87, 100, 115, 132, 152, 174, 200};
  for (int position = 0; position <= 10; ++position) EXPECT_EQ(TempoPercent(position), percents[position]);
}

TEST_F(AccessibleWindow, TheStatusLineIsAStatusBarNamedByWhatItSays) {
  QAccessibleInterface* line = Of(window_.control(Control::StatusLine));
  EXPECT_EQ(line->role(), QAccessible::StatusBar);
  window_.SetStatusText("準備完了");
  EXPECT_EQ(line->text(QAccessible::Name), QStringLiteral("準備完了"));
  EXPECT_FALSE(line->text(QAccessible::Description).isEmpty());
}

TEST_F(AccessibleWindow, TabVisitsThePanelControlsInOrderAndTheFocusShows) {
  // Like the program: leaving the song list otherwise sends the focus to the panel.
  testing::RecordingHandlers handlers;
  handlers.consumeKeyDown = [](int) { return false; };
  handlers.consumeKeyUp = false;
  handlers.onSongExit = [this] { window_.FocusPanel(); };
  window_.SetHandlers(&handlers);
  window_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  const Control order[] = {Control::OpenWaveButton, Control::SaveSampleButton,    Control::RecordSampleButton,
                           Control::InputVolumeButton, Control::OutputVolumeButton, Control::SongBox,
                           Control::OpenScoreButton, Control::PlayButton,    Control::TempoBar,
                           Control::RecordPerformanceButton, Control::AboutButton,   Control::QuitButton};
  window_.FocusPanel();
  for (Control c : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window_.control(c)) << static_cast<int>(c);
  }
  // A focused button looks different from the same button without focus.
  QWidget* save = window_.control(Control::SaveSampleButton);
  save->setFocus(Qt::TabFocusReason);
  const QImage focused = save->grab().toImage();
  window_.FocusPanel();
  EXPECT_NE(save->grab().toImage(), focused);
  window_.SetHandlers(nullptr);
}

}  // namespace
}  // namespace tonefield
