// The real window after start-up, with the core and the SDL devices wired.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "end_to_end/EndToEndSupport.h"
#include "platform/qt/Program.h"
#include "platform/qt/AboutBox.h"
#include "platform/qt/PianoKeyButton.h"
#include "platform/qt/QtTestSupport.h"

namespace tonefield {
namespace {

constexpr quint32 kXcbZ = 44 + 8;  // the Z key's X11 keycode

class StartedWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = std::make_unique<Program>();
    program_->window().SetTranslator(KeyTranslator(QStringLiteral("xcb")));
    program_->Start();
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
  }
  void TearDown() override {
    window().close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window().isVisible(); }, 5000));
    program_.reset();
  }
  MainWindow& window() { return program_->window(); }
  QString Text(Control c) {
    if (auto* label = qobject_cast<QLabel*>(window().control(c))) return label->text();
    return static_cast<QToolButton*>(window().control(c))->text();
  }
  void Send(QEvent::Type type, bool autoRepeat) {
    QKeyEvent event = testing::KeyEvent(type, Qt::Key_Z, kXcbZ, autoRepeat);
    QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : &window(), &event);
  }

  testing::DiskAudio audio_;
  std::unique_ptr<Program> program_;
};

TEST_F(StartedWindow, ShowsTheWelcomeTheFirstSongAndEveryControlEnabled) {
  EXPECT_EQ(window().windowTitle(), QStringLiteral("Tonefield "));
  EXPECT_EQ(window().size(), QSize(630, 223));
  EXPECT_EQ(window().panel()->geometry(), QRect(0, 0, 630, 73));
  EXPECT_EQ(Text(Control::StatusLine), QStringLiteral("*** Welcome to Tonefield ! ***"));
  EXPECT_EQ(Text(Control::BlankLabelLeft), QString());
  EXPECT_EQ(Text(Control::BlankLabelRight), QString());
  EXPECT_EQ(Text(Control::RecordingClock), QStringLiteral("00:00"));
  EXPECT_EQ(Text(Control::PlayButton), QStringLiteral("演奏"));
  EXPECT_EQ(window().control(Control::PlayButton)->toolTip(), QStringLiteral("曲を演奏します"));
  for (Control c : {Control::OpenWaveButton, Control::SaveSampleButton, Control::RecordSampleButton, Control::InputVolumeButton,
                    Control::OutputVolumeButton, Control::SongBox, Control::OpenScoreButton, Control::PlayButton,
                    Control::TempoBar, Control::RecordPerformanceButton, Control::AboutButton, Control::QuitButton}) {
    EXPECT_TRUE(window().control(c)->isEnabled()) << static_cast<int>(c);
  }
  QComboBox* songs = window().songList();
  EXPECT_EQ(songs->count(), 10);
  EXPECT_EQ(songs->currentText(), QStringLiteral("きらきら星"));
  EXPECT_GE(songs->view()->minimumWidth(), songs->width() + 16);
  EXPECT_TRUE(window().timer().isActive());
  EXPECT_EQ(window().splash(), nullptr) << "the splash is gone";
  EXPECT_TRUE(program_->waveOut().IsOpen());
}

TEST_F(StartedWindow, KeysSitUnderThePanelBlackOverWhiteAndEndAtTheWindowEdge) {
  for (int k = 0; k < 36; ++k) ASSERT_NE(window().keyButton(k), nullptr) << k;
  EXPECT_EQ(window().keyButton(0)->geometry(), QRect(0, 73, 30, 150));
  EXPECT_EQ(window().keyButton(1)->geometry(), QRect(17, 73, 26, 85));
  EXPECT_EQ(window().keyButton(35)->geometry(), QRect(600, 73, 30, 150));
  EXPECT_EQ(window().keyButton(12)->text(), QStringLiteral(","));
  EXPECT_EQ(window().keyButton(0)->text(), QStringLiteral("Z"));  // the other labels follow the layout (KeyLabelsTest)
  EXPECT_EQ(window().keyButton(1)->Color(), QColor(Qt::black));
  EXPECT_EQ(window().keyButton(1)->FontColor(), QColor(Qt::white));
  EXPECT_EQ(window().keyButton(0)->Color(), QColor(Qt::white));
  EXPECT_EQ(window().childAt(30, 100), window().keyButton(1));
}

TEST_F(StartedWindow, AMappedKeyPlaysAndIsConsumedItsRepeatsNeitherRestartNorAreConsumed) {
  window().songList()->setFocus();
  struct Spy : QObject {
    int presses = 0, releases = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      presses += e->type() == QEvent::KeyPress;
      releases += e->type() == QEvent::KeyRelease;
      return false;
    }
  } spy;
  window().songList()->installEventFilter(&spy);

  Send(QEvent::KeyPress, false);
  EXPECT_EQ(spy.presses, 0) << "the note start consumed the stroke";
  const VoiceTable& voices = program_->core().voices();
  ASSERT_EQ(voices.KeyInSlot(0), 0);
  // The key turns red once the audio thread has started the note.
  EXPECT_TRUE(QTest::qWaitFor([&] { return window().keyButton(0)->Color() == QColor(255, 0, 0); }, 1000));
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
  EXPECT_TRUE(QTest::qWaitFor([&] { return window().keyButton(0)->Color() == QColor(Qt::white); }, 1000));
}

TEST_F(StartedWindow, AKeyHeldWithTheMouseIsRedAndDrawnPressedUntilReleased) {
  PianoKeyButton* key = window().keyButton(12);
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
  window().songList()->setFocus();
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(window().songList(), &down);
  EXPECT_EQ(window().songList()->currentIndex(), 2);
  EXPECT_EQ(QApplication::focusWidget(), window().panel());
}

TEST_F(StartedWindow, TheAboutButtonShowsTheVersionDialog) {
  bool shown = false;
  QTimer::singleShot(0, [&] {
    shown = QApplication::activeModalWidget() == window().aboutBox();
    window().aboutBox()->OKButton->click();
  });
  static_cast<QToolButton*>(window().control(Control::AboutButton))->click();
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace tonefield
