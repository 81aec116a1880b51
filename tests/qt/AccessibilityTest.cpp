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
#include "platform/qt/MainForm.h"
#include "platform/qt/TColorButton.h"
#include "qt/QtTestSupport.h"

namespace tonefield {
namespace {

class AccessibleWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const KeyButtonSpec& key : testing::PianoKeys(form_.PanelHeight())) form_.CreateKeyButton(key);
    form_.RaiseBlackKeysThenPanel();
    // What start-up does to the two unused labels.
    form_.SetControlText(Control::Label1, "");
    form_.SetControlText(Control::Label2, "");
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  }
  static QAccessibleInterface* Of(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

  MainForm form_;
};

TEST_F(AccessibleWindow, EveryVisibleControlAndKeyHasAName) {
  std::vector<QAccessibleInterface*> pending{Of(&form_)};
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
  QAccessibleInterface* play = Of(form_.control(Control::btnPlay));
  EXPECT_EQ(play->role(), QAccessible::Button);
  EXPECT_EQ(play->text(QAccessible::Name), QStringLiteral("演奏"));
  EXPECT_EQ(play->text(QAccessible::Description), QStringLiteral("曲を演奏します"));
  form_.SetControlText(Control::btnPlay, "停止");
  form_.SetControlHint(Control::btnPlay, "曲の演奏を停止します");
  EXPECT_EQ(play->text(QAccessible::Name), QStringLiteral("停止"));
  EXPECT_EQ(play->text(QAccessible::Description), QStringLiteral("曲の演奏を停止します"));

  QAccessibleInterface* songs = Of(form_.songList());
  EXPECT_EQ(songs->role(), QAccessible::ComboBox);
  EXPECT_EQ(songs->text(QAccessible::Name), QStringLiteral("曲"));
  EXPECT_FALSE(songs->text(QAccessible::Description).isEmpty());
  QAccessibleInterface* clock = Of(form_.control(Control::txtRecTime));
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
    QAccessibleInterface* key = Of(form_.keyButton(c.key));
    EXPECT_EQ(key->text(QAccessible::Name), QString::fromUtf8(c.name)) << c.key;
    EXPECT_EQ(key->text(QAccessible::Description), QString::fromUtf8(c.description)) << c.key;
  }
}

TEST_F(AccessibleWindow, TheTempoBarReadsAsAPercentageOfTheScoresTempo) {
  QAccessibleInterface* tempo = Of(form_.tempo());
  EXPECT_EQ(tempo->role(), QAccessible::Slider);
  EXPECT_EQ(tempo->text(QAccessible::Name), QStringLiteral("早さ"));
  EXPECT_EQ(tempo->text(QAccessible::Description), QStringLiteral("自動演奏のテンポを調整します"));
  QAccessibleValueInterface* value = tempo->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->currentValue().toInt(), 100);
  EXPECT_EQ(tempo->text(QAccessible::Value), QStringLiteral("100%"));
  EXPECT_EQ(value->minimumValue().toInt(), 50);
  EXPECT_EQ(value->maximumValue().toInt(), 200);
  form_.tempo()->setValue(0);
  EXPECT_EQ(tempo->text(QAccessible::Value), QStringLiteral("50%"));
  value->setCurrentValue(200);
  EXPECT_EQ(form_.tempo()->value(), 10);
  value->setCurrentValue(130);  // nearest: 132% at 7
  EXPECT_EQ(form_.tempo()->value(), 7);
  const int percents[] = {50, 57, 66, 76, 87, 100, 115, 132, 152, 174, 200};
  for (int position = 0; position <= 10; ++position) EXPECT_EQ(TempoPercent(position), percents[position]);
}

TEST_F(AccessibleWindow, TheStatusLineIsAStatusBarNamedByWhatItSays) {
  QAccessibleInterface* line = Of(form_.control(Control::txtPanel));
  EXPECT_EQ(line->role(), QAccessible::StatusBar);
  form_.SetStatusText("準備完了");
  EXPECT_EQ(line->text(QAccessible::Name), QStringLiteral("準備完了"));
  EXPECT_FALSE(line->text(QAccessible::Description).isEmpty());
}

TEST_F(AccessibleWindow, TabVisitsThePanelControlsInOrderAndTheFocusShows) {
  // Like the program: leaving the song list otherwise sends the focus to the panel.
  testing::RecordingHandlers handlers;
  handlers.consumeKeyDown = [](int) { return false; };
  handlers.consumeKeyUp = false;
  handlers.onSongExit = [this] { form_.FocusPanel(); };
  form_.SetHandlers(&handlers);
  form_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  const Control order[] = {Control::btnOpenWave, Control::btnSave,    Control::btnRec,
                           Control::btnInputVolume, Control::btnOutputVolume, Control::cbxSong,
                           Control::btnOpenScore, Control::btnPlay,    Control::tbTempo,
                           Control::btnRecording, Control::btnAbout,   Control::btnQuit};
  form_.FocusPanel();
  for (Control c : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form_.control(c)) << static_cast<int>(c);
  }
  // A focused button looks different from the same button without focus.
  QWidget* save = form_.control(Control::btnSave);
  save->setFocus(Qt::TabFocusReason);
  const QImage focused = save->grab().toImage();
  form_.FocusPanel();
  EXPECT_NE(save->grab().toImage(), focused);
  form_.SetHandlers(nullptr);
}

}  // namespace
}  // namespace tonefield
