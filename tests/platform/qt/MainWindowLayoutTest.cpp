#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

#include "platform/qt/MainWindow.h"
#include "platform/qt/PianoKeyButton.h"
#include "platform/qt/QtTestSupport.h"

namespace tonefield {
namespace {

struct ControlRow {
  Control control;
  const char* name;
  QRect geometry;
  const char* caption;
  const char* hint;
};

const ControlRow kLayout[] = {
    {Control::StatusLine, "statusLine", {8, 12, 233, 17}, "Display Panel", ""},
    {Control::OpenWaveButton, "openWaveButton", {248, 8, 73, 25}, "音声読込", "Waveファイルを読み込みます"},
    {Control::SaveSampleButton, "saveSampleButton", {320, 8, 73, 25}, "音声保存", "Waveファイルを保存します"},
    {Control::RecordSampleButton, "recordSampleButton", {392, 8, 73, 25}, "音声録音", "音声を録音します"},
    {Control::InputVolumeButton, "inputVolumeButton", {480, 8, 73, 25}, "入力音量", "入力音量を調整します"},
    {Control::OutputVolumeButton, "outputVolumeButton", {552, 8, 73, 25}, "出力音量", "出力音量を調整します"},
    {Control::SongBox, "songBox", {8, 42, 113, 20}, nullptr, ""},
    {Control::OpenScoreButton, "openScoreButton", {128, 40, 73, 25}, "楽譜読込", "楽譜ファイルを読み込みます"},
    {Control::PlayButton, "playButton", {200, 40, 49, 25}, "演奏", "曲を演奏します"},
    {Control::TempoBar, "tempoBar", {280, 40, 89, 25}, nullptr, "自動演奏のテンポを調整します"},
    {Control::RecordingClock, "recordingClock", {376, 44, 33, 16}, "00:00", ""},
    {Control::RecordPerformanceButton, "recordPerformanceButton", {416, 40, 73, 25}, "演奏録音", "演奏結果を録音します"},
    {Control::AboutButton, "aboutButton", {528, 40, 49, 25}, "About", ""},
    {Control::QuitButton, "quitButton", {576, 40, 49, 25}, "終了", ""},
};

QString TextOf(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QToolButton*>(w)) return button->text();
  return {};
}

TEST(MainFormLayout, EveryControlSitsOnThePanelAtItsPlaceWithItsCaptionAndHint) {
  MainWindow window;
  for (const ControlRow& row : kLayout) {
    QWidget* w = window.control(row.control);
    ASSERT_NE(w, nullptr) << row.name;
    EXPECT_EQ(w->objectName(), QString::fromUtf8(row.name));
    EXPECT_EQ(w->parentWidget(), window.panel()) << row.name;
    if (row.control == Control::RecordingClock) {
      // Its width follows the font: wide enough for the time.
      EXPECT_EQ(w->pos(), row.geometry.topLeft());
      EXPECT_EQ(w->height(), row.geometry.height());
      EXPECT_GE(w->width(), row.geometry.width());
    } else {
      EXPECT_EQ(w->geometry(), row.geometry) << row.name;
    }
    if (row.caption != nullptr) {
      EXPECT_EQ(TextOf(w), QString::fromUtf8(row.caption)) << row.name;
    }
    EXPECT_EQ(w->toolTip(), QString::fromUtf8(row.hint)) << row.name;
    EXPECT_TRUE(w->isEnabled()) << row.name;
  }
  EXPECT_EQ(window.control(Control::TempoCaption)->pos(), QPoint(256, 48));
  EXPECT_EQ(TextOf(window.control(Control::TempoCaption)), QStringLiteral("早さ"));
  EXPECT_EQ(window.control(Control::BlankLabelLeft)->pos(), QPoint(368, 0));
  EXPECT_EQ(window.control(Control::BlankLabelRight)->pos(), QPoint(408, 0));
  // The client area starts below the menu bar.
  EXPECT_EQ(window.panel()->geometry(), QRect(0, window.MenuBarHeight(), 630, 73));
}

TEST(MainFormLayout, TheUnusedLabelsNeverHideTheButtonsUnderThem) {
  MainWindow window;
  window.SetControlText(Control::BlankLabelLeft, "");
  window.SetControlText(Control::BlankLabelRight, "");
  struct Spot {
    QPoint at;
    Control control;
  };
  const Spot spots[] = {
      {{370, 10}, Control::SaveSampleButton}, {{395, 10}, Control::RecordSampleButton}, {{410, 10}, Control::RecordSampleButton},
      {{440, 9}, Control::RecordSampleButton},
  };
  for (const Spot& spot : spots) {
    EXPECT_EQ(window.childAt(spot.at + QPoint(0, window.MenuBarHeight())), window.control(spot.control))
        << spot.at.x() << "," << spot.at.y();
  }
}

TEST(MainFormLayout, WindowIsFixedMinimisableCaptionedAndInTheJapaneseFont) {
  MainWindow window;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Tonefield "));
  EXPECT_EQ(window.size(), QSize(630, window.MenuBarHeight() + 223));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window.font().pixelSize(), 12);
  const QStringList families = window.font().families();
  ASSERT_GE(families.size(), 4);
  EXPECT_EQ(families[0], QStringLiteral("MS PGothic"));
  EXPECT_EQ(families[1], QStringLiteral("ＭＳ Ｐゴシック"));
  EXPECT_EQ(families[2], QStringLiteral("IPAPGothic"));
  EXPECT_EQ(window.timer().interval(), 250);
  EXPECT_FALSE(window.timer().isActive()) << "started only once the core is built";
}

TEST(MainFormLayout, PanelControlsHaveTheirStyles) {
  MainWindow window;
  auto* statusLine = qobject_cast<QLabel*>(window.control(Control::StatusLine));
  EXPECT_EQ(statusLine->palette().color(QPalette::Window), QColor(0, 255, 0));
  EXPECT_TRUE(statusLine->autoFillBackground());
  EXPECT_EQ(statusLine->frameShadow(), QFrame::Sunken);
  auto* recordingClock = qobject_cast<QLabel*>(window.control(Control::RecordingClock));
  EXPECT_EQ(recordingClock->frameShadow(), QFrame::Sunken);
  EXPECT_EQ(recordingClock->alignment(), Qt::AlignCenter);
  QSlider* tempo = window.tempo();
  EXPECT_EQ(tempo->minimum(), 0);
  EXPECT_EQ(tempo->maximum(), 10);
  EXPECT_EQ(tempo->value(), 5);
  EXPECT_EQ(tempo->tickInterval(), 1);
  EXPECT_EQ(tempo->tickPosition(), QSlider::TicksAbove);
  EXPECT_EQ(window.songList()->maxVisibleItems(), 10);
  EXPECT_FALSE(window.songList()->isEditable());
  for (Control c : {Control::OpenWaveButton, Control::PlayButton, Control::RecordPerformanceButton, Control::QuitButton}) {
    auto* button = qobject_cast<QToolButton*>(window.control(c));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->autoRaise()) << "flat";
    EXPECT_EQ(button->iconSize(), QSize(12, 12));
    EXPECT_FALSE(button->icon().isNull());
  }
}

TEST(MainFormLayout, ViewCallsReachTheirControls) {
  MainWindow window;
  window.SetStatusText("*** Welcome to Tonefield ! ***");
  EXPECT_EQ(TextOf(window.control(Control::StatusLine)), QStringLiteral("*** Welcome to Tonefield ! ***"));
  window.SetControlText(Control::BlankLabelLeft, "");
  EXPECT_EQ(TextOf(window.control(Control::BlankLabelLeft)), QString());
  window.SetControlText(Control::PlayButton, "停止");
  EXPECT_EQ(TextOf(window.control(Control::PlayButton)), QStringLiteral("停止"));
  window.SetControlHint(Control::PlayButton, "曲の演奏を停止します");
  EXPECT_EQ(window.control(Control::PlayButton)->toolTip(), QStringLiteral("曲の演奏を停止します"));
  window.SetControlEnabled(Control::SaveSampleButton, false);
  EXPECT_FALSE(window.control(Control::SaveSampleButton)->isEnabled());
  EXPECT_EQ(window.ControlWidth(Control::SongBox), 113);
  EXPECT_EQ(window.PanelHeight(), 73);
  EXPECT_EQ(window.TempoPosition(), 5);

  for (const char* title : {"きらきら星", "かえるの合唱", "ジングルベル"}) window.AddSongItem(title);
  window.SelectSong(0);
  EXPECT_EQ(window.SongItemCount(), 3);
  EXPECT_EQ(window.SongItem(0), "きらきら星");
  EXPECT_EQ(window.SelectedSong(), 0);
  window.SetSongItem(2, "ユーザー楽譜");
  EXPECT_EQ(window.SongItem(2), "ユーザー楽譜");
  EXPECT_EQ(window.SongItem(7), "") << "out of range reads as empty";
  window.SetSongDroppedWidth(240);
  EXPECT_EQ(window.songList()->view()->minimumWidth(), 240);
  EXPECT_GT(window.TextWidth("きらきら星"), window.TextWidth("き"));
}

// A file named "<i>x.wav" shows as just that: rich text would take the tag
// away and set the rest in italics.
TEST(MainFormLayout, TextsOfTheLabelsAreShownAsTheyAreNeverAsMarkup) {
  MainWindow window;
  const QString name = QStringLiteral("<i>x.wav</i> を読み込みました");
  for (Control c : {Control::StatusLine, Control::BlankLabelLeft, Control::BlankLabelRight, Control::TempoCaption, Control::RecordingClock}) {
    window.SetControlText(c, name.toStdString());
    auto* label = qobject_cast<QLabel*>(window.control(c));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), name);
    EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(name)) << label->objectName().toStdString();
  }
}

TEST(MainFormLayout, KeysArePlacedBelowThePanelWithBlackKeysOnTop) {
  MainWindow window;
  for (const KeyButtonSpec& placement : testing::PianoKeys(window.PanelHeight())) window.CreateKeyButton(placement);
  window.RaiseBlackKeysThenPanel();
  const int menu = window.MenuBarHeight();
  PianoKeyButton* last = window.keyButton(35);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->geometry().right() + 1, 630);
  EXPECT_EQ(window.keyButton(0)->geometry(), QRect(0, menu + 73, 30, 150));
  EXPECT_EQ(window.keyButton(1)->geometry(), QRect(17, menu + 73, 26, 85));
  EXPECT_EQ(window.keyButton(1)->Color(), QColor(Qt::black));
  EXPECT_EQ(window.keyButton(1)->FontColor(), QColor(Qt::white));
  EXPECT_EQ(window.keyButton(12)->text(), QStringLiteral(","));
  EXPECT_EQ(window.keyButton(12)->KeyNum(), 12);
  // Whatever lies at a black key's middle is the black key, not a white one.
  EXPECT_EQ(window.childAt(30, menu + 100), window.keyButton(1));
  EXPECT_EQ(window.childAt(15, menu + 200), window.keyButton(0));

  window.SetKeyColour(0, kColourRed);
  EXPECT_EQ(window.keyButton(0)->Color(), QColor(255, 0, 0));
  window.SetKeyColour(0, kColourWhite);
  EXPECT_EQ(window.keyButton(0)->Color(), QColor(Qt::white));
  window.SetKeyColour(99, kColourRed);  // no such key: nothing happens
}

}  // namespace
}  // namespace tonefield
