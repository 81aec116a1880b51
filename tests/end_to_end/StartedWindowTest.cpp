// The real window after start-up, with the core and the SDL devices wired.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QAction>
#include <QMenu>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "end_to_end/EndToEndSupport.h"
#include "platform/qt/Program.h"
#include "platform/qt/SettingsDialog.h"
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

TEST_F(StartedWindow, AWaveDroppedFromTheFileManagerBecomesTheSample) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // 0.1 s of 16-bit mono at 22050 Hz.
  QByteArray wave("RIFF");
  auto le32 = [&wave](quint32 v) { for (int i = 0; i < 4; ++i) wave.append(char((v >> (8 * i)) & 0xff)); };
  auto le16 = [&wave](quint16 v) { wave.append(char(v & 0xff)).append(char(v >> 8)); };
  le32(36 + 4410);
  wave.append("WAVEfmt ");
  le32(16); le16(1); le16(1); le32(22050); le32(44100); le16(2); le16(16);
  wave.append("data");
  le32(4410);
  wave.append(QByteArray(4410, '\x10'));
  QFile file(dir.filePath(QStringLiteral("声.wav")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(wave);
  file.close();

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(file.fileName())});
  QDragEnterEvent enter(QPoint(10, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window(), &drop);
  EXPECT_EQ(program_->core().keyWaves().outputFormat.samplesPerSec, 22050u);
  EXPECT_TRUE(Text(Control::StatusLine).endsWith(QStringLiteral("声.wav"))) << Text(Control::StatusLine).toStdString();

  // ファイル ▸ 最近使ったファイル offers it once ファイル opens.
  emit window().fileMenu()->aboutToShow();
  QMenu* recent = window().recentMenu();
  EXPECT_TRUE(recent->isEnabled());
  ASSERT_FALSE(recent->actions().isEmpty());
  EXPECT_TRUE(recent->actions().front()->text().startsWith(QStringLiteral("声.wav  ("))) << recent->actions().front()->text().toStdString();
}

TEST_F(StartedWindow, TheGuideAndTheRecordingsFolderOpenOnTheDesktopFromTheMenuBar) {
  std::vector<QUrl> opened;
  program_->SetUrlOpener([&opened](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  window().menuAction(MenuCommand::Guide)->trigger();
  window().menuAction(MenuCommand::OpenRecordingFolder)->trigger();
  ASSERT_EQ(opened.size(), 2u);
  ASSERT_FALSE(Program::GuidePath().isEmpty());
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(Program::GuidePath()));
  EXPECT_EQ(QDir(opened[1].toLocalFile()), QDir(QString::fromStdString(program_->core().RecordingFolderPath())));
}

TEST_F(StartedWindow, TheSettingsCommandOfTheMenuBarOpensTheSettingsDialog) {
  QString seen;
  QTimer::singleShot(0, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      seen = dialog->objectName();
      static_cast<QDialog*>(dialog)->reject();  // nothing is saved
    }
  });
  window().menuAction(MenuCommand::Settings)->trigger();
  EXPECT_EQ(seen, QStringLiteral("settingsDialog"));
}

TEST_F(StartedWindow, DevicesBufferAndMidiChosenInTheSettingsTakeOverAtOnce) {
  ASSERT_TRUE(program_->waveOut().IsOpen());
  LaunchOptions chosen = program_->options();
  chosen.bufferSamples = 512;
  program_->ApplySettings(chosen);
  EXPECT_TRUE(program_->waveOut().IsOpen()) << "opened again";
  EXPECT_EQ(program_->waveOut().BufferSamples(), 512u);
  program_->core().OnKeyButtonDown(12);
  EXPECT_TRUE(program_->core().voices().HoldsKey(12)) << "it plays on";
  program_->core().OnKeyButtonUp(12);

  // Another device: the output plays on it at once (SDL's disk driver takes any name).
  chosen.outputDevice = "Tonefield test device";
  program_->ApplySettings(chosen);
  EXPECT_TRUE(program_->waveOut().IsOpen());
  EXPECT_EQ(program_->waveOut().deviceName(), "Tonefield test device");
  EXPECT_EQ(program_->waveOut().BufferSamples(), 512u);
  // The capture device is there from the next sample recording.
  chosen.inputDevice = "Tonefield test microphone";
  program_->ApplySettings(chosen);
  EXPECT_EQ(program_->options().inputDevice, "Tonefield test microphone");

  chosen.midiApi = MidiApi::None;
  program_->ApplySettings(chosen);
  EXPECT_FALSE(program_->midiPorts().IsOpen());
  EXPECT_EQ(program_->midiPorts().status().reason, MidiOffReason::TurnedOff);
  EXPECT_TRUE(Text(Control::StatusLine).startsWith(QStringLiteral("MIDI: オフ"))) << Text(Control::StatusLine).toStdString();
}

// SDL's dummy driver has only its default device: any other name fails to open.
TEST(SettingsInForce, AChosenOutputThatCannotOpenLeavesTheDefaultPlayingAndSaysSo) {
  testing::ScopedEnv driver{"SDL_AUDIODRIVER", "dummy"};
  Program program;
  program.Start();
  ASSERT_TRUE(program.waveOut().IsOpen());
  LaunchOptions chosen = program.options();
  chosen.outputDevice = "Tonefield test: no such device";
  program.ApplySettings(chosen);
  EXPECT_TRUE(program.waveOut().IsOpen());
  EXPECT_EQ(program.waveOut().deviceName(), "");
  auto* status = qobject_cast<QLabel*>(program.window().control(Control::StatusLine));
  EXPECT_EQ(status->text(), QStringLiteral("出力デバイス Tonefield test: no such device を開けません。既定のデバイスで再生します。"));
  program.window().close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
}

TEST(SettingsInForce, TheCommandLineStillWinsForItsRun) {
  testing::DiskAudio audio;
  LaunchOptions options;
  options.bufferSamples = 256;
  options.given = {"--buffer"};
  Program program(options);
  program.Start();
  ASSERT_TRUE(program.waveOut().IsOpen());
  LaunchOptions chosen = program.options();
  chosen.bufferSamples = 1024;
  chosen.midiTranspose = 5;
  program.ApplySettings(chosen);
  EXPECT_EQ(program.waveOut().BufferSamples(), 256u);
  EXPECT_EQ(program.options().bufferSamples, 256u);
  EXPECT_EQ(program.options().midiTranspose, 5) << "what the command line did not give applies";
  program.window().close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program.window().isVisible(); }, 5000));
}

TEST(SettingsDialogTest, ShowsTheSavedChoicesAndGivesBackWhatTheUserSet) {
  LaunchOptions saved;
  saved.outputDevice = "Headset (unplugged)";
  saved.bufferSamples = 512;
  saved.midiApi = MidiApi::None;
  saved.midiTranspose = -12;
  saved.midiVelocity = false;
  SettingsDialog dialog(saved, {"Built-in Audio", "USB Audio"}, {"Microphone"});
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("設定"));
  auto* output = dialog.findChild<QComboBox*>(QStringLiteral("outputDevice"));
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(output->count(), 4) << "the default, two devices, and the saved one that is missing";
  EXPECT_TRUE(output->currentText().startsWith(QStringLiteral("Headset (unplugged)")));
  LaunchOptions chosen = dialog.Chosen();
  EXPECT_EQ(chosen.outputDevice, saved.outputDevice);
  EXPECT_EQ(chosen.inputDevice, "");
  EXPECT_EQ(chosen.bufferSamples, 512u);
  EXPECT_EQ(chosen.midiApi, MidiApi::None);
  EXPECT_EQ(chosen.midiTranspose, -12);
  EXPECT_FALSE(chosen.midiVelocity);

  output->setCurrentIndex(2);
  dialog.findChild<QComboBox*>(QStringLiteral("inputDevice"))->setCurrentIndex(1);
  dialog.findChild<QComboBox*>(QStringLiteral("buffer"))->setCurrentIndex(0);
  dialog.findChild<QSpinBox*>(QStringLiteral("midiTranspose"))->setValue(200);
  dialog.findChild<QCheckBox*>(QStringLiteral("midiVelocity"))->setChecked(true);
  chosen = dialog.Chosen();
  EXPECT_EQ(chosen.outputDevice, "USB Audio");
  EXPECT_EQ(chosen.inputDevice, "Microphone");
  EXPECT_EQ(chosen.bufferSamples, 0u) << "automatic";
  EXPECT_EQ(chosen.midiTranspose, 127) << "held to the range the command line takes";
  EXPECT_TRUE(chosen.midiVelocity);
}

TEST(UsersGuide, IsFoundFromTheBuildTree) {
  const QString guide = Program::GuidePath();
  ASSERT_FALSE(guide.isEmpty());
  QFile file(guide);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(file.readAll());
  EXPECT_LT(html.indexOf(QStringLiteral("Tonefield の使い方")), html.indexOf(QStringLiteral("Tonefield user's guide")))
      << "Japanese first";
}

TEST_F(StartedWindow, ShowsTheWelcomeTheFirstSongAndEveryControlEnabled) {
  EXPECT_EQ(window().windowTitle(), QStringLiteral("Tonefield "));
  // The described client area below the menu bar.
  const int menu = window().MenuBarHeight();
  EXPECT_EQ(window().size(), QSize(630, menu + 223));
  EXPECT_EQ(window().panel()->geometry(), QRect(0, menu, 630, 73));
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
  const int menu = window().MenuBarHeight();
  EXPECT_EQ(window().keyButton(0)->geometry(), QRect(0, menu + 73, 30, 150));
  EXPECT_EQ(window().keyButton(1)->geometry(), QRect(17, menu + 73, 26, 85));
  EXPECT_EQ(window().keyButton(35)->geometry(), QRect(600, menu + 73, 30, 150));
  EXPECT_EQ(window().keyButton(12)->text(), QStringLiteral(","));
  EXPECT_EQ(window().keyButton(0)->text(), QStringLiteral("Z"));  // the other labels follow the layout (KeyLabelsTest)
  EXPECT_EQ(window().keyButton(1)->Color(), QColor(Qt::black));
  EXPECT_EQ(window().keyButton(1)->FontColor(), QColor(Qt::white));
  EXPECT_EQ(window().keyButton(0)->Color(), QColor(Qt::white));
  EXPECT_EQ(window().childAt(30, menu + 100), window().keyButton(1));
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
