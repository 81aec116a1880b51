#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

#include "platform/qt/MainForm.h"
#include "platform/qt/TColorButton.h"
#include "qt/QtTestSupport.h"

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
    {Control::txtPanel, "txtPanel", {8, 12, 233, 17}, "Display Panel", ""},
    {Control::btnOpenWave, "btnOpenWave", {248, 8, 73, 25}, "音声読込", "Waveファイルを読み込みます"},
    {Control::btnSave, "btnSave", {320, 8, 73, 25}, "音声保存", "Waveファイルを保存します"},
    {Control::btnRec, "btnRec", {392, 8, 73, 25}, "音声録音", "音声を録音します"},
    {Control::btnInputVolume, "btnInputVolume", {480, 8, 73, 25}, "入力音量", "入力音量を調整します"},
    {Control::btnOutputVolume, "btnOutputVolume", {552, 8, 73, 25}, "出力音量", "出力音量を調整します"},
    {Control::cbxSong, "cbxSong", {8, 42, 113, 20}, nullptr, ""},
    {Control::btnOpenScore, "btnOpenScore", {128, 40, 73, 25}, "楽譜読込", "楽譜ファイルを読み込みます"},
    {Control::btnPlay, "btnPlay", {200, 40, 49, 25}, "演奏", "曲を演奏します"},
    {Control::tbTempo, "tbTempo", {280, 40, 89, 25}, nullptr, "自動演奏のテンポを調整します"},
    {Control::txtRecTime, "txtRecTime", {376, 44, 33, 16}, "00:00", ""},
    {Control::btnRecording, "btnRecording", {416, 40, 73, 25}, "演奏録音", "演奏結果を録音します"},
    {Control::btnAbout, "btnAbout", {528, 40, 49, 25}, "About", ""},
    {Control::btnQuit, "btnQuit", {576, 40, 49, 25}, "終了", ""},
};

QString TextOf(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QToolButton*>(w)) return button->text();
  return {};
}

TEST(MainFormLayout, EveryControlSitsOnThePanelAtItsPlaceWithItsCaptionAndHint) {
  MainForm form;
  for (const ControlRow& row : kLayout) {
    QWidget* w = form.control(row.control);
    ASSERT_NE(w, nullptr) << row.name;
    EXPECT_EQ(w->objectName(), QString::fromUtf8(row.name));
    EXPECT_EQ(w->parentWidget(), form.panel()) << row.name;
    if (row.control == Control::txtRecTime) {
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
  EXPECT_EQ(form.control(Control::lblTempo)->pos(), QPoint(256, 48));
  EXPECT_EQ(TextOf(form.control(Control::lblTempo)), QStringLiteral("早さ"));
  EXPECT_EQ(form.control(Control::Label1)->pos(), QPoint(368, 0));
  EXPECT_EQ(form.control(Control::Label2)->pos(), QPoint(408, 0));
  EXPECT_EQ(form.panel()->geometry(), QRect(0, 0, 630, 73));
}

TEST(MainFormLayout, TheUnusedLabelsNeverHideTheButtonsUnderThem) {
  MainForm form;
  form.SetControlText(Control::Label1, "");
  form.SetControlText(Control::Label2, "");
  struct Spot {
    QPoint at;
    Control control;
  };
  const Spot spots[] = {
      {{370, 10}, Control::btnSave}, {{395, 10}, Control::btnRec}, {{410, 10}, Control::btnRec},
      {{440, 9}, Control::btnRec},
  };
  for (const Spot& spot : spots) {
    EXPECT_EQ(form.childAt(spot.at), form.control(spot.control)) << spot.at.x() << "," << spot.at.y();
  }
}

TEST(MainFormLayout, WindowIsFixedMinimisableCaptionedAndInTheJapaneseFont) {
  MainForm form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Tonefield "));
  EXPECT_EQ(form.size(), QSize(630, 223));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form.font().pixelSize(), 12);
  const QStringList families = form.font().families();
  ASSERT_GE(families.size(), 4);
  EXPECT_EQ(families[0], QStringLiteral("MS PGothic"));
  EXPECT_EQ(families[1], QStringLiteral("ＭＳ Ｐゴシック"));
  EXPECT_EQ(families[2], QStringLiteral("IPAPGothic"));
  EXPECT_EQ(form.timer().interval(), 250);
  EXPECT_FALSE(form.timer().isActive()) << "started only once the core is built";
}

TEST(MainFormLayout, PanelControlsHaveTheirStyles) {
  MainForm form;
  auto* txtPanel = qobject_cast<QLabel*>(form.control(Control::txtPanel));
  EXPECT_EQ(txtPanel->palette().color(QPalette::Window), QColor(0, 255, 0));
  EXPECT_TRUE(txtPanel->autoFillBackground());
  EXPECT_EQ(txtPanel->frameShadow(), QFrame::Sunken);
  auto* txtRecTime = qobject_cast<QLabel*>(form.control(Control::txtRecTime));
  EXPECT_EQ(txtRecTime->frameShadow(), QFrame::Sunken);
  EXPECT_EQ(txtRecTime->alignment(), Qt::AlignCenter);
  QSlider* tempo = form.tempo();
  EXPECT_EQ(tempo->minimum(), 0);
  EXPECT_EQ(tempo->maximum(), 10);
  EXPECT_EQ(tempo->value(), 5);
  EXPECT_EQ(tempo->tickInterval(), 1);
  EXPECT_EQ(tempo->tickPosition(), QSlider::TicksAbove);
  EXPECT_EQ(form.songList()->maxVisibleItems(), 10);
  EXPECT_FALSE(form.songList()->isEditable());
  for (Control c : {Control::btnOpenWave, Control::btnPlay, Control::btnRecording, Control::btnQuit}) {
    auto* button = qobject_cast<QToolButton*>(form.control(c));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->autoRaise()) << "flat";
    EXPECT_EQ(button->iconSize(), QSize(12, 12));
    EXPECT_FALSE(button->icon().isNull());
  }
}

TEST(MainFormLayout, ViewCallsReachTheirControls) {
  MainForm form;
  form.SetStatusText("*** Welcome to Tonefield ! ***");
  EXPECT_EQ(TextOf(form.control(Control::txtPanel)), QStringLiteral("*** Welcome to Tonefield ! ***"));
  form.SetControlText(Control::Label1, "");
  EXPECT_EQ(TextOf(form.control(Control::Label1)), QString());
  form.SetControlText(Control::btnPlay, "停止");
  EXPECT_EQ(TextOf(form.control(Control::btnPlay)), QStringLiteral("停止"));
  form.SetControlHint(Control::btnPlay, "曲の演奏を停止します");
  EXPECT_EQ(form.control(Control::btnPlay)->toolTip(), QStringLiteral("曲の演奏を停止します"));
  form.SetControlEnabled(Control::btnSave, false);
  EXPECT_FALSE(form.control(Control::btnSave)->isEnabled());
  EXPECT_EQ(form.ControlWidth(Control::cbxSong), 113);
  EXPECT_EQ(form.PanelHeight(), 73);
  EXPECT_EQ(form.TempoPosition(), 5);

  for (const char* title : {"きらきら星", "かえるの合唱", "ジングルベル"}) form.AddSongItem(title);
  form.SelectSong(0);
  EXPECT_EQ(form.SongItemCount(), 3);
  EXPECT_EQ(form.SongItem(0), "きらきら星");
  EXPECT_EQ(form.SelectedSong(), 0);
  form.SetSongItem(2, "ユーザー楽譜");
  EXPECT_EQ(form.SongItem(2), "ユーザー楽譜");
  EXPECT_EQ(form.SongItem(7), "") << "out of range reads as empty";
  form.SetSongDroppedWidth(240);
  EXPECT_EQ(form.songList()->view()->minimumWidth(), 240);
  EXPECT_GT(form.TextWidth("きらきら星"), form.TextWidth("き"));
}

// A file named "<i>x.wav" shows as just that: rich text would take the tag
// away and set the rest in italics.
TEST(MainFormLayout, TextsOfTheLabelsAreShownAsTheyAreNeverAsMarkup) {
  MainForm form;
  const QString name = QStringLiteral("<i>x.wav</i> を読み込みました");
  for (Control c : {Control::txtPanel, Control::Label1, Control::Label2, Control::lblTempo, Control::txtRecTime}) {
    form.SetControlText(c, name.toStdString());
    auto* label = qobject_cast<QLabel*>(form.control(c));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), name);
    EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(name)) << label->objectName().toStdString();
  }
}

TEST(MainFormLayout, KeysArePlacedBelowThePanelWithBlackKeysOnTop) {
  MainForm form;
  for (const KeyButtonSpec& placement : testing::PianoKeys(form.PanelHeight())) form.CreateKeyButton(placement);
  form.RaiseBlackKeysThenPanel();
  TColorButton* last = form.keyButton(35);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->geometry().right() + 1, 630);
  EXPECT_EQ(form.keyButton(0)->geometry(), QRect(0, 73, 30, 150));
  EXPECT_EQ(form.keyButton(1)->geometry(), QRect(17, 73, 26, 85));
  EXPECT_EQ(form.keyButton(1)->Color(), QColor(Qt::black));
  EXPECT_EQ(form.keyButton(1)->FontColor(), QColor(Qt::white));
  EXPECT_EQ(form.keyButton(12)->text(), QStringLiteral(","));
  EXPECT_EQ(form.keyButton(12)->KeyNum(), 12);
  // Whatever lies at a black key's middle is the black key, not a white one.
  EXPECT_EQ(form.childAt(30, 100), form.keyButton(1));
  EXPECT_EQ(form.childAt(15, 200), form.keyButton(0));

  form.SetKeyColour(0, kColourRed);
  EXPECT_EQ(form.keyButton(0)->Color(), QColor(255, 0, 0));
  form.SetKeyColour(0, kColourWhite);
  EXPECT_EQ(form.keyButton(0)->Color(), QColor(Qt::white));
  form.SetKeyColour(99, kColourRed);  // no such key: nothing happens
}

}  // namespace
}  // namespace tonefield
