// The real window on a real X desktop: key strokes come from the X server
// (xdotool, with the server's own auto-repeat), popups, placement and
// window states go through the window manager.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <string>
#include <thread>

#include "end_to_end/EndToEndSupport.h"
#include "end_to_end/XDesktop.h"
#include "platform/qt/Program.h"
#include "platform/qt/PianoKeyButton.h"

namespace tonefield {
namespace {

constexpr int kRate = 11025;  // the built-in tone's rate; each key wave is one second long
const QColor kRed(255, 0, 0);

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

bool Xdotool(const QStringList& arguments) { return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0; }

// A real click of the left mouse button in the middle of a widget.
void ClickOn(QWidget& widget) {
  const QPoint centre = widget.mapToGlobal(widget.rect().center());
  ASSERT_TRUE(Xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"}));
}

bool HasWindowManager() { return qEnvironmentVariable("TONEFIELD_NO_WM") != QLatin1String("1"); }

class DesktopWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!OnX11()) GTEST_SKIP() << "needs an X desktop (scripts/with-x-desktop)";
    program_ = std::make_unique<Program>();
    program_->Start();
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
  }
  void TearDown() override {
    if (!program_) return;
    window().close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window().isVisible(); }, 5000));
    program_.reset();
  }
  MainWindow& window() { return program_->window(); }
  // The recorded output as 16-bit samples (the device is closed by then).
  std::vector<std::int16_t> Played() {
    TearDown();
    const std::vector<std::uint8_t> bytes = testing::ReadAll(audio_.played.str());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return samples;
  }

  testing::DiskAudio audio_;
  std::unique_ptr<Program> program_;
};

// A key held down with the server's auto-repeat on (660 ms, 25/s) plays its
// one-second wave once: nothing sounds after the wave's end until the key
// comes up, and the key stays red until then. Three keys, one after the
// other, each held for 2.5 s.
TEST_F(DesktopWindow, AKeyHeldWithAutoRepeatPlaysItsWaveOnceUntilReleased) {
  window().songList()->setFocus();
  // A busy desktop: other programs keep the processors loaded, so the
  // window's threads do not always run the moment the server sends.
  std::atomic<bool> busy{true};
  std::vector<std::thread> load;
  for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i) {
    load.emplace_back([&busy] {
      while (busy.load(std::memory_order_relaxed)) {
      }
    });
  }
  for (const auto& [name, key] : {std::pair{"z", 0}, std::pair{"c", 4}, std::pair{"b", 7}}) {
    ASSERT_TRUE(Xdotool({"keydown", name}));
    QTest::qWait(2500);
    EXPECT_EQ(window().keyButton(key)->Color(), kRed) << name << " is still held";
    ASSERT_TRUE(Xdotool({"keyup", name}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window().keyButton(key)->Color() == QColor(Qt::white); }, 1000)) << name;
    QTest::qWait(500);
  }
  busy = false;
  for (std::thread& thread : load) thread.join();

  // Each stroke is one stretch of sound that holds no more sound than the
  // key's wave (a late block may leave a gap of silence inside it).
  const std::vector<std::int16_t> played = Played();
  struct Stretch {
    std::size_t first = 0;
    std::size_t last = 0;
    long sounding = 0;
  };
  std::vector<Stretch> stretches;
  constexpr std::size_t kGap = kRate / 4;
  for (std::size_t i = 0; i < played.size(); ++i) {
    if (played[i] == 0) continue;
    if (stretches.empty() || i - stretches.back().last > kGap) stretches.push_back({i});
    stretches.back().last = i;
    ++stretches.back().sounding;
  }
  ASSERT_FALSE(stretches.empty()) << "the keys sounded";
  std::string where;  // says whether a stroke was cut or restarted
  for (const Stretch& stretch : stretches) {
    where += " [" + std::to_string(stretch.first * 1000 / kRate) + "-" + std::to_string(stretch.last * 1000 / kRate) +
             " ms, " + std::to_string(stretch.sounding * 1000 / kRate) + " ms sounding]";
  }
  EXPECT_EQ(stretches.size(), 3u) << "one stretch of sound per stroke:" << where;
  for (const Stretch& stretch : stretches) {
    EXPECT_LE(stretch.sounding, kRate) << "a note started again: " << (stretch.sounding - kRate) * 1000 / kRate
                                       << " ms more sound than its wave";
  }
}

TEST_F(DesktopWindow, PianoKeysPlayWhileTheSongListIsDroppedDownAndDoNotMoveIt) {
  QComboBox* songs = window().songList();
  ASSERT_EQ(songs->currentIndex(), 1);
  ClickOn(*songs);
  QWidget* popup = songs->view()->window();
  ASSERT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }, 2000));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
  QTest::qWait(200);
  ASSERT_TRUE(Xdotool({"keydown", "z"}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window().keyButton(0)->Color() == kRed; }, 1000));
  ASSERT_TRUE(Xdotool({"keyup", "z"}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window().keyButton(0)->Color() == QColor(Qt::white); }, 1000));
  // W plays G; it is not a jump to "We Wish You A Merry Christmas".
  ASSERT_TRUE(Xdotool({"key", "w"}));
  QTest::qWait(200);
  EXPECT_TRUE(popup->isVisible());
  songs->hidePopup();
  EXPECT_EQ(songs->currentIndex(), 1);
  EXPECT_EQ(songs->view()->currentIndex().row(), 1);
}

TEST_F(DesktopWindow, TheSongListDropsDownBelowItselfAndLeavesTheStatusLineFree) {
  QComboBox* songs = window().songList();
  songs->showPopup();
  QWidget* popup = songs->view()->window();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
  QTest::qWait(100);
  const QRect list = popup->frameGeometry();
  const QPoint below = songs->mapToGlobal(QPoint(0, songs->height()));
  const QWidget* status = window().control(Control::StatusLine);
  const QRect statusOnScreen(status->mapToGlobal(QPoint(0, 0)), status->size());
  EXPECT_GE(list.top(), below.y() - 1) << "the list opens downward";
  EXPECT_FALSE(list.intersects(statusOnScreen));
  EXPECT_GE(list.width(), songs->view()->minimumWidth());
  songs->hidePopup();
}

TEST_F(DesktopWindow, TheRecordingClockShowsItsTimeClearOfItsFrame) {
  auto* clock = static_cast<QLabel*>(window().control(Control::RecordingClock));
  const int text = clock->fontMetrics().horizontalAdvance(QStringLiteral("00:00"));
  EXPECT_GE(clock->contentsRect().width(), text + 2) << "a pixel of room each side of the digits";
  EXPECT_GT(clock->geometry().left(), window().tempo()->geometry().right());
  EXPECT_LT(clock->geometry().right(), window().control(Control::RecordPerformanceButton)->geometry().left());
}

TEST_F(DesktopWindow, TheFixedWindowCanBeNeitherMaximisedNorMadeFullScreen) {
  if (!HasWindowManager()) GTEST_SKIP() << "no window manager";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !testing::AllowedActions(window().winId()).isEmpty(); }, 2000));
  const QStringList actions = testing::AllowedActions(window().winId());
  for (const char* action : {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"}) {
    EXPECT_FALSE(actions.contains(QLatin1String(action))) << action;
  }
  const QRect before = window().geometry();
  for (const char* state : {"_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_MAXIMIZED_VERT"}) {
    testing::RequestWindowState(window().winId(), state);
    QTest::qWait(500);
    EXPECT_EQ(window().windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized), Qt::WindowNoState) << state;
    EXPECT_EQ(window().geometry(), before) << state;
  }
}

// Tab from the panel walks its controls row by row, the song list included.
TEST_F(DesktopWindow, TabWalksThePanelsControlsInOrder) {
  const Control order[] = {Control::OpenWaveButton, Control::SaveSampleButton,    Control::RecordSampleButton,
                           Control::InputVolumeButton, Control::OutputVolumeButton, Control::SongBox,
                           Control::OpenScoreButton, Control::PlayButton,    Control::TempoBar,
                           Control::RecordPerformanceButton, Control::AboutButton,   Control::QuitButton};
  window().FocusPanel();
  for (Control c : order) {
    ASSERT_TRUE(Xdotool({"key", "Tab"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == window().control(c); }, 1000))
        << window().control(c)->objectName().toStdString() << " after Tab; focus on "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "nothing");
  }
}

// Without a sound server the output cannot open while the window is being
// built; the box that says so stands in the middle of the screen.
TEST(DesktopStartUp, TheStartUpErrorBoxIsCentredOnTheScreen) {
  if (!OnX11()) GTEST_SKIP() << "needs an X desktop (scripts/with-x-desktop)";
  testing::DiskAudio audio;
  testing::ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  QRect seen;
  QString text;
  QTimer poll;
  poll.setInterval(20);
  int shownFor = 0;
  int steadyFor = 0;
  QRect last;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    // Give the window manager time to place it: on a loaded machine the
    // frame can still read 1x1 for a while after the box is shown, so wait
    // until its geometry holds the box and has stopped changing.
    // A window manager that never reports the frame leaves it at 1x1; the
    // box's own geometry, which follows every move, is judged then.
    ++shownFor;
    const QRect frame = box->frameGeometry();
    const bool framed = frame.width() >= box->width() && frame.height() >= box->height();
    const QRect now = (framed || shownFor < 100) ? frame : box->geometry();
    const bool settled = now.width() >= box->width() && now.height() >= box->height();
    steadyFor = (settled && now == last) ? steadyFor + 1 : 0;
    last = now;
    if ((shownFor < 15 || steadyFor < 5) && shownFor < 250) return;
    if (!seen.isValid()) {  // the first box: the one raised while the window is built
      seen = now;
      text = box->text();
    }
    box->button(QMessageBox::Ok)->click();
  });
  poll.start();
  Program program;
  program.Start();
  ASSERT_TRUE(seen.isValid()) << "the box was shown";
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint offset = seen.center() - screen.center();
  EXPECT_LE(std::abs(offset.x()), 30) << seen.x() << "," << seen.y() << " " << text.toStdString();
  EXPECT_LE(std::abs(offset.y()), 30) << seen.width() << "x" << seen.height();
  program.window().close();
}

}  // namespace
}  // namespace tonefield
