#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <set>

#include "platform/qt/KeyTranslator.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtTestSupport.h"

namespace tonefield {
namespace {

using testing::KeyEvent;

constexpr quint32 kXcbOffset = 8;
constexpr quint32 kEvdevZ = 44, kEvdevY = 21, kEvdevQ = 16, kEvdevLeftBrace = 26, kEvdevMinus = 12,
                  kEvdevSemicolon = 39, kEvdevComma = 51;

TEST(KeyTranslatorTable, ThePhysicalKeyDecidesWhateverTheLayout) {
  const KeyTranslator xcb(QStringLiteral("xcb"));
  struct Case {
    quint32 evdev;
    int qtKey;  // what the layout makes of the key
    int virtualKey;
  };
  const Case cases[] = {
      {kEvdevZ, Qt::Key_Z, 'Z'},            // US, JIS
      {kEvdevZ, Qt::Key_Y, 'Z'},            // German QWERTZ
      {kEvdevZ, Qt::Key_W, 'Z'},            // French AZERTY
      {kEvdevY, Qt::Key_Y, 'Y'},            // US
      {kEvdevY, Qt::Key_Z, 'Y'},            // German
      {kEvdevQ, Qt::Key_A, 'Q'},            // French
      {kEvdevLeftBrace, Qt::Key_BracketLeft, 0xC0},  // US "[" is the JIS "@"
      {kEvdevLeftBrace, Qt::Key_At, 0xC0},
      {kEvdevLeftBrace, Qt::Key_Udiaeresis, 0xC0},   // German
      {kEvdevMinus, Qt::Key_Minus, 0xBD},
      {kEvdevMinus, Qt::Key_ssharp, 0xBD},
      {kEvdevSemicolon, Qt::Key_Semicolon, 0xBB},
      {kEvdevSemicolon, Qt::Key_Odiaeresis, 0xBB},
      {kEvdevComma, Qt::Key_Comma, 0xBC},
      {kEvdevComma, Qt::Key_Semicolon, 0xBC},       // French
  };
  for (const Case& c : cases) {
    EXPECT_EQ(xcb.VirtualKey(c.evdev + kXcbOffset, c.qtKey), c.virtualKey) << c.evdev << " " << c.qtKey;
  }
  // Windows reports set-1 scan codes as they are.
  const KeyTranslator windows(QStringLiteral("windows"));
  EXPECT_EQ(windows.VirtualKey(0x2C, Qt::Key_Y), 'Z');
  // Without scan codes the Qt key is all there is.
  const KeyTranslator offscreen(QStringLiteral("offscreen"));
  EXPECT_EQ(offscreen.VirtualKey(52, Qt::Key_Q), 'Q');
  EXPECT_EQ(xcb.VirtualKey(0, Qt::Key_Comma), 0xBC);
  EXPECT_EQ(xcb.VirtualKey(0, Qt::Key_At), 0xC0);
  EXPECT_EQ(xcb.VirtualKey(0, Qt::Key_F5), 0x74);
  EXPECT_EQ(xcb.VirtualKey(0, Qt::Key_Exclam), 0);
  // A scan code outside the table (arrow keys) falls back to the Qt key.
  EXPECT_EQ(xcb.VirtualKey(113, Qt::Key_Left), 0x25);
}

TEST(KeyTranslatorTable, EveryPianoKeyHasOnePhysicalKey) {
  const int pianoKeys[] = {'Z', 'S', 'X', 'D', 'C', 'V', 'G', 'B', 'H', 'N', 'J', 'M',
                           0xBC, 'L', 0xBE, 0xBB, 0xBF, 'Q', '2', 'W', '3', 'E', '4', 'R',
                           'T', '6', 'Y', '7', 'U', 'I', '9', 'O', '0', 'P', 0xBD, 0xC0};
  for (const int vk : pianoKeys) {
    const int scan = KeyTranslator::ScanCodeOf(vk);
    EXPECT_NE(scan, 0) << vk;
    EXPECT_EQ(KeyTranslator::VirtualKeyOfScanCode(scan), vk);
  }
}

// Records the key events that reach a widget after the window's preview.
class KeySpy : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
      const auto* key = static_cast<QKeyEvent*>(event);
      seen.push_back({event->type(), key->key(), key->isAutoRepeat()});
    }
    return false;
  }
  struct Seen {
    QEvent::Type type;
    int key;
    bool autoRepeat;
  };
  std::vector<Seen> seen;
};

class KeyPreview : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.SetHandlers(&handlers_);
    window_.SetTranslator(KeyTranslator(QStringLiteral("xcb")));
    window_.keyHeld().ForceTracking();
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    window_.songList()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), window_.songList());
    window_.songList()->installEventFilter(&spy_);
  }
  void Send(QEvent::Type type, int qtKey, quint32 evdev, bool autoRepeat) {
    QKeyEvent event = KeyEvent(type, qtKey, evdev == 0 ? 0 : evdev + kXcbOffset, autoRepeat);
    QApplication::sendEvent(QApplication::focusWidget(), &event);
  }

  MainWindow window_;
  testing::RecordingHandlers handlers_;
  KeySpy spy_;
};

TEST_F(KeyPreview, AHeldPianoKeyStartsOnceAndItsRepeatsPassOnWithoutAKeyUp) {
  // Like the core: a stroke is consumed only when its note is not sounding yet.
  bool sounding = false;
  handlers_.consumeKeyDown = [&](int) {
    if (sounding) return false;
    sounding = true;
    return true;
  };
  Send(QEvent::KeyPress, Qt::Key_Z, kEvdevZ, false);
  EXPECT_TRUE(spy_.seen.empty()) << "consumed by the window";
  EXPECT_TRUE(window_.IsKeyHeld('Z'));
  for (int repeat = 0; repeat < 3; ++repeat) {
    Send(QEvent::KeyRelease, Qt::Key_Z, kEvdevZ, true);
    Send(QEvent::KeyPress, Qt::Key_Z, kEvdevZ, true);
  }
  EXPECT_EQ(handlers_.keyDowns, (std::vector<int>{'Z', 'Z', 'Z', 'Z'}));
  EXPECT_TRUE(handlers_.keyUps.empty()) << "a repeat's release is not a key-up";
  EXPECT_TRUE(window_.IsKeyHeld('Z'));
  ASSERT_EQ(spy_.seen.size(), 6u) << "repeats go on to the focused control";
  EXPECT_TRUE(spy_.seen[1].autoRepeat);

  Send(QEvent::KeyRelease, Qt::Key_Z, kEvdevZ, false);
  EXPECT_EQ(handlers_.keyUps, (std::vector<int>{'Z'}));
  EXPECT_FALSE(window_.IsKeyHeld('Z'));
  EXPECT_EQ(spy_.seen.size(), 6u) << "the real key-up was consumed";
}

// What the X server's auto-repeat sends while a key is held: a release and
// a press with one time stamp, the release often not flagged as a repeat
// because its press has not been read yet. Asked, the server says the key
// is still down; the release is held back until the press shows what it was.
TEST_F(KeyPreview, AReleaseWhileTheKeyIsStillDownIsNoKeyUpUnlessANewStrokeFollows) {
  std::set<int> down;
  window_.keyHeld().AnswerAsServer([&](int vk) { return down.count(vk) != 0; });
  handlers_.consumeKeyDown = [](int) { return false; };
  auto send = [&](QEvent::Type type, quint64 time) {
    QKeyEvent event = KeyEvent(type, Qt::Key_Z, kEvdevZ + kXcbOffset, false);
    event.setTimestamp(time);
    QApplication::sendEvent(QApplication::focusWidget(), &event);
  };
  down.insert('Z');
  send(QEvent::KeyPress, 100);
  for (quint64 time : {760, 800, 840}) {  // repeats
    send(QEvent::KeyRelease, time);
    send(QEvent::KeyPress, time);
  }
  EXPECT_TRUE(handlers_.keyUps.empty()) << "repeats are not key-ups";
  EXPECT_EQ(handlers_.keyDowns.size(), 4u);

  // Up and down again before the window saw the release: a new stroke.
  send(QEvent::KeyRelease, 900);
  EXPECT_TRUE(handlers_.keyUps.empty());
  send(QEvent::KeyPress, 930);
  EXPECT_EQ(handlers_.keyUps, (std::vector<int>{'Z'}));
  EXPECT_EQ(handlers_.keyDowns.size(), 5u);

  down.clear();
  send(QEvent::KeyRelease, 1200);
  EXPECT_EQ(handlers_.keyUps, (std::vector<int>{'Z', 'Z'}));
  // The next stroke starts clean.
  down.insert('Z');
  send(QEvent::KeyPress, 1500);
  EXPECT_EQ(handlers_.keyUps.size(), 2u);
}

// On a busy machine the window may handle a repeat pair only after the key
// came up: whether Qt paired them (both flagged) or not (the release looks
// real and goes on as the key-up), the pair's press must not start the
// note again; the real release that follows changes nothing.
TEST_F(KeyPreview, ARepeatHandledAfterTheKeyCameUpStartsNoNote) {
  std::set<int> down;
  window_.keyHeld().AnswerAsServer([&](int vk) { return down.count(vk) != 0; });
  handlers_.consumeKeyDown = [](int) { return false; };
  auto send = [&](QEvent::Type type, quint64 time, bool autoRepeat) {
    QKeyEvent event = KeyEvent(type, Qt::Key_Z, kEvdevZ + kXcbOffset, autoRepeat);
    event.setTimestamp(time);
    QApplication::sendEvent(QApplication::focusWidget(), &event);
  };
  for (const bool paired : {true, false}) {
    handlers_.keyDowns.clear();
    handlers_.keyUps.clear();
    down.insert('Z');
    send(QEvent::KeyPress, 100, false);
    down.clear();  // the key comes up before the window reads the repeat
    send(QEvent::KeyRelease, 760, paired);
    send(QEvent::KeyPress, 760, paired);
    send(QEvent::KeyRelease, 790, false);
    EXPECT_EQ(handlers_.keyDowns, (std::vector<int>{'Z'})) << (paired ? "paired" : "unpaired");
    EXPECT_FALSE(handlers_.keyUps.empty()) << (paired ? "paired" : "unpaired");
    // A later stroke plays as ever.
    down.insert('Z');
    send(QEvent::KeyPress, 2000, false);
    EXPECT_EQ(handlers_.keyDowns.size(), 2u);
    down.clear();
    send(QEvent::KeyRelease, 2100, false);
  }
}

TEST_F(KeyPreview, KeysTheCoreDoesNotConsumeReachTheFocusedControl) {
  handlers_.consumeKeyDown = [](int) { return false; };
  handlers_.consumeKeyUp = false;
  Send(QEvent::KeyPress, Qt::Key_F5, 0, false);
  Send(QEvent::KeyPress, Qt::Key_Exclam, 0, false);  // no virtual-key code at all
  EXPECT_EQ(handlers_.keyDowns, (std::vector<int>{0x74}));
  ASSERT_EQ(spy_.seen.size(), 2u);
  EXPECT_EQ(spy_.seen[0].key, Qt::Key_F5);
  EXPECT_EQ(spy_.seen[1].key, Qt::Key_Exclam);
}

TEST_F(KeyPreview, TheSamePhysicalKeyPlaysTheSameNoteUnderTwoLayouts) {
  handlers_.consumeKeyDown = [](int) { return true; };
  Send(QEvent::KeyPress, Qt::Key_Y, kEvdevY, false);  // US
  Send(QEvent::KeyRelease, Qt::Key_Y, kEvdevY, false);
  Send(QEvent::KeyPress, Qt::Key_Z, kEvdevY, false);  // German
  Send(QEvent::KeyRelease, Qt::Key_Z, kEvdevY, false);
  EXPECT_EQ(handlers_.keyDowns, (std::vector<int>{'Y', 'Y'}));
  EXPECT_EQ(handlers_.keyUps, (std::vector<int>{'Y', 'Y'}));
}

TEST_F(KeyPreview, LosingActivationForgetsTrackedKeys) {
  Send(QEvent::KeyPress, Qt::Key_Z, kEvdevZ, false);
  ASSERT_TRUE(window_.IsKeyHeld('Z'));
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_FALSE(window_.IsKeyHeld('Z'));
}

TEST_F(KeyPreview, AKeyUpThatGoesToAnotherWindowStillEndsTheHeldState) {
  handlers_.consumeKeyDown = [](int) { return true; };
  Send(QEvent::KeyPress, Qt::Key_Z, kEvdevZ, false);
  ASSERT_TRUE(window_.IsKeyHeld('Z'));
  // Another window of the program (one holding a keyboard grab, say) takes
  // the key-up while this one stays active.
  QWidget other;
  QKeyEvent repeat = KeyEvent(QEvent::KeyRelease, Qt::Key_Z, kEvdevZ + kXcbOffset, true);
  QApplication::sendEvent(&other, &repeat);
  EXPECT_TRUE(window_.IsKeyHeld('Z')) << "a repeat's release is not a key-up";
  QKeyEvent release = KeyEvent(QEvent::KeyRelease, Qt::Key_Z, kEvdevZ + kXcbOffset, false);
  QApplication::sendEvent(&other, &release);
  EXPECT_FALSE(window_.IsKeyHeld('Z'));
  EXPECT_TRUE(handlers_.keyUps.empty()) << "strokes of other windows are not previewed";
}

// Strokes come in through the window system, which hands them to the open
// popup's list while the window's focus stays on the panel.
TEST_F(KeyPreview, TheWindowStillPreviewsStrokesWhileTheSongListIsOpen) {
  handlers_.consumeKeyDown = [](int key) { return key == 'Z'; };
  handlers_.consumeKeyUp = false;
  window_.AddSongItem("きらきら星");
  window_.AddSongItem("かえるの合唱");
  window_.FocusPanel();
  window_.songList()->showPopup();
  QWidget* list = window_.songList()->view();
  ASSERT_TRUE(list->isVisible());
  KeySpy listSpy;
  list->installEventFilter(&listSpy);
  QTest::keyPress(window_.windowHandle(), Qt::Key_Z);
  QTest::keyPress(window_.windowHandle(), Qt::Key_Down);
  QTest::keyRelease(window_.windowHandle(), Qt::Key_Z);
  EXPECT_EQ(handlers_.keyDowns, (std::vector<int>{'Z', 0x28}));
  EXPECT_EQ(handlers_.keyUps, (std::vector<int>{'Z'}));
  ASSERT_EQ(listSpy.seen.size(), 2u) << "the consumed note start stays out of the list";
  EXPECT_EQ(listSpy.seen[0].key, Qt::Key_Down);
  window_.songList()->hidePopup();
}

TEST_F(KeyPreview, NoControlHandsItsStrokesToAnInputMethod) {
  // An input method would swallow key strokes (key-ups too) before the window sees them.
  QList<QWidget*> widgets = window_.findChildren<QWidget*>();
  widgets << &window_ << window_.songList()->view() << window_.songList()->view()->window();
  for (QWidget* widget : widgets) {
    EXPECT_FALSE(widget->testAttribute(Qt::WA_InputMethodEnabled)) << widget->metaObject()->className();
  }
}

TEST_F(KeyPreview, ControlsAndTimerCallTheirHandlers) {
  static_cast<QToolButton*>(window_.control(Control::PlayButton))->click();
  static_cast<QToolButton*>(window_.control(Control::QuitButton))->click();
  static_cast<QToolButton*>(window_.control(Control::OpenWaveButton))->click();
  window_.tempo()->setValue(7);
  window_.AddSongItem("きらきら星");
  window_.AddSongItem("かえるの合唱");
  window_.SelectSong(0);
  handlers_.onSongChange = [this] { window_.FocusPanel(); };
  Send(QEvent::KeyPress, Qt::Key_Down, 0, false);  // the list takes it
  EXPECT_EQ(window_.SelectedSong(), 1);
  EXPECT_EQ(QApplication::focusWidget(), window_.panel());
  EXPECT_EQ(handlers_.log, (std::vector<std::string>{"playButton", "quitButton", "openWaveButton", "tempoBar",
                                                      "OnSongChanged", "OnSongListLeft"}));
  window_.StartTimer();
  ASSERT_TRUE(QTest::qWaitFor([&] { return handlers_.ticks >= 2; }, 2000));
}

TEST_F(KeyPreview, CloseGoesThroughTheCloseQueryAndClosesOnce) {
  handlers_.allowClose = false;
  EXPECT_FALSE(window_.close());
  EXPECT_TRUE(window_.isVisible());
  handlers_.allowClose = true;
  window_.RequestClose();
  EXPECT_FALSE(window_.isVisible());
  EXPECT_EQ(handlers_.log, (std::vector<std::string>{"closeQuery", "closeQuery", "close"}));
  window_.close();
  EXPECT_EQ(handlers_.log.size(), 3u);
}

}  // namespace
}  // namespace tonefield

namespace tonefield {
namespace {

// Runs only on a real X server (e.g. QT_QPA_PLATFORM=xcb under Xvfb).
TEST(KeyHeldOnX11, AsksTheServerAndFindsNoKeyDown) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "not on X11";
  KeyHeldQuery query;
  ASSERT_TRUE(query.AsksServer());
  query.Pressed('Z');  // events do not matter when the server answers
  EXPECT_FALSE(query.IsHeld('Z'));
  EXPECT_FALSE(query.IsHeld(0xC0));
  EXPECT_FALSE(query.IsHeld(0));
}

}  // namespace
}  // namespace tonefield

namespace tonefield {
namespace {

// The panel's buttons are speed buttons: clicking one leaves the keyboard
// focus where it was, so a later Space (no piano key) cannot press it again.
// (Tab still reaches them.)
TEST(GlyphButtonFocus, ClickingAButtonLeavesTheFocusAndSpaceDoesNotPressIt) {
  MainWindow window;
  testing::RecordingHandlers handlers;
  handlers.consumeKeyDown = [](int) { return false; };
  handlers.consumeKeyUp = false;
  window.SetHandlers(&handlers);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  window.FocusPanel();
  handlers.log.clear();
  auto* play = static_cast<QToolButton*>(window.control(Control::PlayButton));
  QTest::mouseClick(play, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), window.panel());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_EQ(handlers.log, (std::vector<std::string>{"playButton"}));
  for (Control c : {Control::OpenWaveButton, Control::SaveSampleButton, Control::RecordSampleButton, Control::InputVolumeButton,
                    Control::OutputVolumeButton, Control::OpenScoreButton, Control::PlayButton, Control::RecordPerformanceButton,
                    Control::AboutButton, Control::QuitButton}) {
    EXPECT_FALSE(window.control(c)->focusPolicy() & Qt::ClickFocus) << static_cast<int>(c);
  }
}

}  // namespace
}  // namespace tonefield
