// The real window after start-up, with the core and the SDL devices wired.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "end_to_end/EndToEndSupport.h"
#include "platform/qt/Program.h"
#include "platform/qt/TAboutBox.h"
#include "platform/qt/TColorButton.h"
#include "qt/QtTestSupport.h"

namespace tonefield {
namespace {

constexpr quint32 kXcbZ = 44 + 8;  // the Z key's X11 keycode

class StartedWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = std::make_unique<Program>();
    program_->form().SetTranslator(KeyTranslator(QStringLiteral("xcb")));
    program_->Start();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
  }
  void TearDown() override {
    form().close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form().isVisible(); }, 5000));
    program_.reset();
  }
  MainForm& form() { return program_->form(); }
  QString Text(Control c) {
    if (auto* label = qobject_cast<QLabel*>(form().control(c))) return label->text();
    return static_cast<QToolButton*>(form().control(c))->text();
  }
  void Send(QEvent::Type type, bool autoRepeat) {
    QKeyEvent event = testing::KeyEvent(type, Qt::Key_Z, kXcbZ, autoRepeat);
    QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : &form(), &event);
  }

  testing::DiskAudio audio_;
  std::unique_ptr<Program> program_;
};

TEST_F(StartedWindow, ShowsTheWelcomeTheFirstSongAndEveryControlEnabled) {
  EXPECT_EQ(form().windowTitle(), QStringLiteral("Tonefield "));
  EXPECT_EQ(form().size(), QSize(630, 223));
  EXPECT_EQ(form().panel()->geometry(), QRect(0, 0, 630, 73));
  EXPECT_EQ(Text(Control::txtPanel), QStringLiteral("*** Welcome to Tonefield ! ***"));
  EXPECT_EQ(Text(Control::Label1), QString());
  EXPECT_EQ(Text(Control::Label2), QString());
  EXPECT_EQ(Text(Control::txtRecTime), QStringLiteral("00:00"));
  EXPECT_EQ(Text(Control::btnPlay), QStringLiteral("演奏"));
  EXPECT_EQ(form().control(Control::btnPlay)->toolTip(), QStringLiteral("曲を演奏します"));
  for (Control c : {Control::btnOpenWave, Control::btnSave, Control::btnRec, Control::btnInputVolume,
                    Control::btnOutputVolume, Control::cbxSong, Control::btnOpenScore, Control::btnPlay,
                    Control::tbTempo, Control::btnRecording, Control::btnAbout, Control::btnQuit}) {
    EXPECT_TRUE(form().control(c)->isEnabled()) << static_cast<int>(c);
  }
  QComboBox* songs = form().songList();
  EXPECT_EQ(songs->count(), 10);
  EXPECT_EQ(songs->currentText(), QStringLiteral("きらきら星"));
  EXPECT_GE(songs->view()->minimumWidth(), songs->width() + 16);
  EXPECT_TRUE(form().timer().isActive());
  EXPECT_EQ(form().splash(), nullptr) << "the splash is gone";
  EXPECT_TRUE(program_->waveOut().IsOpen());
}

TEST_F(StartedWindow, KeysSitUnderThePanelBlackOverWhiteAndEndAtTheWindowEdge) {
  for (int k = 0; k < 36; ++k) ASSERT_NE(form().keyButton(k), nullptr) << k;
  EXPECT_EQ(form().keyButton(0)->geometry(), QRect(0, 73, 30, 150));
  EXPECT_EQ(form().keyButton(1)->geometry(), QRect(17, 73, 26, 85));
  EXPECT_EQ(form().keyButton(35)->geometry(), QRect(600, 73, 30, 150));
  EXPECT_EQ(form().keyButton(12)->text(), QStringLiteral(","));
  EXPECT_EQ(form().keyButton(0)->text(), QStringLiteral("Z"));  // the other labels follow the layout (KeyLabelsTest)
  EXPECT_EQ(form().keyButton(1)->Color(), QColor(Qt::black));
  EXPECT_EQ(form().keyButton(1)->FontColor(), QColor(Qt::white));
  EXPECT_EQ(form().keyButton(0)->Color(), QColor(Qt::white));
  EXPECT_EQ(form().childAt(30, 100), form().keyButton(1));
}

TEST_F(StartedWindow, AMappedKeyPlaysAndIsConsumedItsRepeatsNeitherRestartNorAreConsumed) {
  form().songList()->setFocus();
  struct Spy : QObject {
    int presses = 0, releases = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      presses += e->type() == QEvent::KeyPress;
      releases += e->type() == QEvent::KeyRelease;
      return false;
    }
  } spy;
  form().songList()->installEventFilter(&spy);

  Send(QEvent::KeyPress, false);
  EXPECT_EQ(spy.presses, 0) << "the note start consumed the stroke";
  const VoiceTable& voices = program_->core().voices();
  ASSERT_EQ(voices.KeyInSlot(0), 0);
  // The key turns red once the audio thread has started the note.
  EXPECT_TRUE(QTest::qWaitFor([&] { return form().keyButton(0)->Color() == QColor(255, 0, 0); }, 1000));
  const std::uint64_t started = program_->core().live().notesStarted();
  for (int i = 0; i < 3; ++i) {
    Send(QEvent::KeyRelease, true);
    Send(QEvent::KeyPress, true);
  }
  EXPECT_EQ(spy.presses, 3) << "repeats go on to the focused control";
  EXPECT_EQ(voices.KeyInSlot(0), 0);
  EXPECT_EQ(program_->core().live().notesStarted(), started) << "not restarted";
  EXPECT_EQ(voices.SoundingCount(), 1);

  Send(QEvent::KeyRelease, false);
  EXPECT_EQ(voices.KeyInSlot(0), -1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form().keyButton(0)->Color() == QColor(Qt::white); }, 1000));
}

TEST_F(StartedWindow, AKeyHeldWithTheMouseIsRedAndDrawnPressedUntilReleased) {
  TColorButton* key = form().keyButton(12);
  QTest::mousePress(key, Qt::LeftButton, {}, QPoint(15, 120));
  (void)key->grab();
  EXPECT_TRUE(key->DrawnPressed());
  EXPECT_TRUE(QTest::qWaitFor([&] { return key->Color() == QColor(255, 0, 0); }, 1000));
  EXPECT_EQ(program_->core().voices().KeyInSlot(0), 12);
  // The watchdog leaves a mouse-held note alone.
  QTest::qWait(1300);
  EXPECT_EQ(program_->core().voices().KeyInSlot(0), 12);
  QTest::mouseRelease(key, Qt::LeftButton, {}, QPoint(15, 120));
  (void)key->grab();
  EXPECT_FALSE(key->DrawnPressed());
  EXPECT_TRUE(QTest::qWaitFor([&] { return key->Color() == QColor(Qt::white); }, 1000));
}

TEST_F(StartedWindow, ChoosingASongMovesTheFocusToThePanel) {
  form().songList()->setFocus();
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(form().songList(), &down);
  EXPECT_EQ(form().songList()->currentIndex(), 2);
  EXPECT_EQ(QApplication::focusWidget(), form().panel());
}

TEST_F(StartedWindow, TheAboutButtonShowsTheVersionDialog) {
  bool shown = false;
  QTimer::singleShot(0, [&] {
    shown = QApplication::activeModalWidget() == form().aboutBox();
    form().aboutBox()->OKButton->click();
  });
  static_cast<QToolButton*>(form().control(Control::btnAbout))->click();
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace tonefield
