// The desktop side of an installed program: Qt's dialogs in Japanese
// whatever the locale (this program runs with LANG=C), the icon and desktop
// entry name, the user's folders and a mixer that cannot be started.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QUrl>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qt/DesktopIntegration.h"
#include "platform/qt/Glyphs.h"
#include "platform/qt/MainWindow.h"

namespace tonefield {
namespace {

// Sets an environment variable for one scope, or removes it (nullptr).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QString* value) : name_(name), had_(qEnvironmentVariableIsSet(name)) {
    old_ = qgetenv(name);
    if (value) {
      qputenv(name, value->toUtf8());
    } else {
      qunsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (had_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

class DesktopIntegration : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SetUpDesktopIntegration(); }
};

TEST_F(DesktopIntegration, TheOpenDialogSpeaksJapaneseInAnEnglishLocale) {
  ASSERT_EQ(QLocale::system().language(), QLocale::C) << "run with LANG=C to prove the locale does not matter";
  MainWindow window;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString accept, cancel, lookIn;
  bool nonNative = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    // Qt's own dialog, the one the catalogue translates, also where a desktop
    // theme (GTK's on GNOME) would offer its own in the user's language.
    nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
    if (auto* box = dialog->findChild<QDialogButtonBox*>()) {
      if (auto* b = box->button(QDialogButtonBox::Open)) accept = b->text();
      if (auto* b = box->button(QDialogButtonBox::Cancel)) cancel = b->text();
    }
    if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("lookInLabel"))) lookIn = label->text();
    dialog->reject();
  });
  FileDialogRequest open{"Waveファイルの読み込み", "Waveﾌｧｲﾙ (*.wav)|*.wav", dir.path().toStdString(), "", false};
  EXPECT_FALSE(window.RunOpenDialog(open).has_value());
  EXPECT_TRUE(nonNative);
  EXPECT_TRUE(accept.contains(QStringLiteral("開く"))) << accept.toStdString();
  EXPECT_EQ(cancel, QStringLiteral("キャンセル"));
  EXPECT_FALSE(lookIn.isEmpty());
  EXPECT_FALSE(lookIn.contains(QStringLiteral("Look"))) << lookIn.toStdString();
}

// Japanese sizes and types ("6 キロバイト", "WAV オーディオ") are wider
// than Qt's default columns: nothing is cut short at the window's font.
TEST_F(DesktopIntegration, TheFileDialogsColumnsFitTheirTextsAndItsSideBarHoldsTheMusicFolder) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString music = home.filePath(QStringLiteral("音楽"));
  ASSERT_TRUE(QDir().mkpath(music));
  ScopedEnv musicDir("XDG_MUSIC_DIR", &music);
  QFile sample(home.filePath(QStringLiteral("声.wav")));
  ASSERT_TRUE(sample.open(QIODevice::WriteOnly));
  sample.write(QByteArray(6000, 'x'));
  sample.close();

  MainWindow window;
  QList<QUrl> sidebar;
  int pixelSize = 0;
  std::vector<std::string> cut;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    sidebar = dialog->sidebarUrls();
    pixelSize = dialog->font().pixelSize();
    auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(view, nullptr);
    view->show();  // the detail view, whichever view the dialog starts in
    QHeaderView* header = view->header();
    const auto fits = [&] {
      cut.clear();
      if (view->model()->rowCount(view->rootIndex()) < 2) return false;
      for (int section = 1; section < header->count(); ++section) {
        if (header->isSectionHidden(section)) continue;
        const int needed = std::max(header->sectionSizeHint(section), static_cast<const QAbstractItemView*>(view)->sizeHintForColumn(section));
        if (header->sectionSize(section) < needed) {
          cut.push_back(view->model()->headerData(section, Qt::Horizontal).toString().toStdString() + " " +
                        std::to_string(header->sectionSize(section)) + " < " + std::to_string(needed));
        }
      }
      return cut.empty();
    };
    (void)QTest::qWaitFor(fits, 5000);
    dialog->reject();
  });
  FileDialogRequest open{"Waveファイルの読み込み", "Waveﾌｧｲﾙ (*.wav)|*.wav", home.path().toStdString(), "", false};
  EXPECT_FALSE(window.RunOpenDialog(open).has_value());
  EXPECT_TRUE(cut.empty()) << ::testing::PrintToString(cut);
  EXPECT_TRUE(sidebar.contains(QUrl::fromLocalFile(music))) << "音楽 in the side bar";
  EXPECT_EQ(pixelSize, MainWindow::WindowFont().pixelSize()) << "the window's font";
}

TEST_F(DesktopIntegration, TheOverwriteQuestionOfTheSaveDialogHasJapaneseButtons) {
  MainWindow window;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString existing = dir.filePath(QStringLiteral("take.wav"));
  {
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  QString yes, no;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      yes = box->button(QMessageBox::Yes)->text();
      no = box->button(QMessageBox::No)->text();
      box->button(QMessageBox::No)->click();
    });
    dialog->selectFile(existing);
    // Pressing the save button asks before replacing; "No" keeps the dialog open.
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
    dialog->reject();
  });
  FileDialogRequest save{"Waveファイルの保存", "Waveファイル (*.wav)|*.wav", dir.path().toStdString(), "wav", true};
  EXPECT_FALSE(window.RunSaveDialog(save).has_value());
  EXPECT_TRUE(yes.contains(QStringLiteral("はい"))) << yes.toStdString();
  EXPECT_TRUE(no.contains(QStringLiteral("いいえ"))) << no.toStdString();
}

TEST_F(DesktopIntegration, TheTaskBarFindsTheDesktopEntryAndTheDrawnIcon) {
  EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("tonefield"));
  const QIcon icon = MakeApplicationIcon();
  ASSERT_FALSE(icon.isNull()) << "the icon is built into the program";
  EXPECT_TRUE(icon.availableSizes().contains(QSize(256, 256)));
  EXPECT_TRUE(QApplication::windowIcon().availableSizes().contains(QSize(256, 256)));
}

TEST_F(DesktopIntegration, TheMusicFolderComesFromTheEnvironmentThenUserDirsThenHome) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString homePath = home.path();
  const QString config = home.filePath(QStringLiteral("config"));
  ASSERT_TRUE(QDir().mkpath(config));
  ScopedEnv homeEnv("HOME", &homePath);
  ScopedEnv configEnv("XDG_CONFIG_HOME", &config);

  {
    ScopedEnv music("XDG_MUSIC_DIR", nullptr);
    EXPECT_EQ(UserMusicFolder(), homePath + QStringLiteral("/Music/")) << "no user-dirs.dirs: ~/Music";

    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_MUSIC_DIR=\"$HOME/音楽\"\n");
    dirs.close();
    EXPECT_EQ(UserMusicFolder(), homePath + QStringLiteral("/音楽/"));
  }
  const QString fromEnv = home.filePath(QStringLiteral("Songs"));
  ScopedEnv music("XDG_MUSIC_DIR", &fromEnv);
  EXPECT_EQ(UserMusicFolder(), fromEnv + QStringLiteral("/"));
  MainWindow window;
  EXPECT_EQ(window.MusicDir(), (fromEnv + QStringLiteral("/")).toStdString());

  const QString relative = QStringLiteral("Songs");
  ScopedEnv relativeMusic("XDG_MUSIC_DIR", &relative);
  EXPECT_EQ(UserMusicFolder(), homePath + QStringLiteral("/音楽/")) << "a relative path is not a folder to trust";
}

TEST_F(DesktopIntegration, AFolderIsWritableWhenAFileCanBeMadeThere) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  MainWindow window;
  EXPECT_TRUE(window.IsFolderWritable(dir.path().toStdString() + "/"));
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty())
      << "the probe leaves nothing behind";
  EXPECT_FALSE(window.IsFolderWritable(dir.filePath(QStringLiteral("missing")).toStdString() + "/"));
  QFile file(dir.filePath(QStringLiteral("plain")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_FALSE(window.IsFolderWritable(file.fileName().toStdString()));
}

TEST_F(DesktopIntegration, AMixerThatIsNotInstalledGivesItsNameAndTheReason) {
  QTemporaryDir emptyBin;
  ASSERT_TRUE(emptyBin.isValid());
  const QString path = emptyBin.path();
  ScopedEnv pathEnv("PATH", &path);
  MainWindow window;
  for (const bool recordingView : {true, false}) {
    const LaunchResult launched = window.StartVolumeControl(recordingView);
    EXPECT_FALSE(launched.started);
    EXPECT_EQ(launched.program, "pavucontrol");
    EXPECT_FALSE(launched.reason.empty());
  }
}

TEST_F(DesktopIntegration, AnInstalledProgramsFolderIsNeverWrittenEvenByRoot) {
  QTemporaryDir own;
  ASSERT_TRUE(own.isValid());
  EXPECT_TRUE(MayWriteProgramFolder(own.path() + QStringLiteral("/"))) << "a folder of the user's own";
  // These tests run as root, who can write /usr/bin: still not to be used.
  for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/bin/", "/nonexistent-folder/"}) {
    EXPECT_FALSE(MayWriteProgramFolder(QString::fromLatin1(folder))) << folder;
  }
}

TEST_F(DesktopIntegration, TheDocumentsFolderComesFromTheEnvironmentThenUserDirsThenHome) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString homePath = home.path();
  const QString config = home.filePath(QStringLiteral("config"));
  ASSERT_TRUE(QDir().mkpath(config));
  ScopedEnv homeEnv("HOME", &homePath);
  ScopedEnv configEnv("XDG_CONFIG_HOME", &config);
  ScopedEnv documents("XDG_DOCUMENTS_DIR", nullptr);
  EXPECT_EQ(UserDocumentsFolder(), homePath + QStringLiteral("/Documents/"));
  QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
  ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
  dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/ドキュメント\"\n");
  dirs.close();
  EXPECT_EQ(UserDocumentsFolder(), homePath + QStringLiteral("/ドキュメント/"));
  MainWindow window;
  EXPECT_EQ(window.DocumentsDir(), (homePath + QStringLiteral("/ドキュメント/")).toStdString());
}

TEST_F(DesktopIntegration, SettingsOutliveTheWindowInTheUsersConfigFolder) {
  QTemporaryDir config;
  ASSERT_TRUE(config.isValid());
  const QString path = config.path();
  // Qt reads $XDG_CONFIG_HOME once per process; this is how a test moves it.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
  struct Restore {
    ~Restore() {
      QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                         QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }
  } restore;
  {
    MainWindow window;
    EXPECT_EQ(window.ReadSetting("folders/samples"), "");
    window.WriteSetting("folders/samples", "/home/利用者/音楽/");
  }
  EXPECT_TRUE(QFile::exists(path + QStringLiteral("/tonefield/tonefield.conf")));
  MainWindow later;
  EXPECT_EQ(later.ReadSetting("folders/samples"), "/home/利用者/音楽/");
}

TEST_F(DesktopIntegration, AMixerThatGivesUpWithinASecondIsReportedWithItsLastWords) {
  QTemporaryDir bin;
  ASSERT_TRUE(bin.isValid());
  struct Case {
    const char* script;
    const char* reason;  // nullptr: nothing is reported
  };
  const Case cases[] = {
      {"echo 'Gtk-WARNING: cannot open display' >&2\necho 'Connection to PulseAudio failed' >&2\nexit 1\n",
       "Connection to PulseAudio failed"},
      {"exit 3\n", "終了コード 3 で終了しました。"},
      {"exit 0\n", nullptr},                // closed by its user at once
      {"sleep 1.5\nexit 1\n", nullptr},    // ran for a while: not a failure to start
  };
  for (const Case& c : cases) {
    QFile script(bin.filePath(QStringLiteral("pavucontrol")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write(QByteArray("#!/bin/sh\n") + c.script);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString pathValue = bin.path() + QStringLiteral(":/usr/bin:/bin");
    ScopedEnv pathEnv("PATH", &pathValue);
    std::vector<LaunchResult> reports;
    const LaunchResult launched = StartVolumeControlProgram(true, [&](const LaunchResult& r) { reports.push_back(r); });
    EXPECT_TRUE(launched.started) << c.script;
    QTest::qWait(c.reason ? 500 : 2200);
    if (c.reason) {
      ASSERT_EQ(reports.size(), 1u) << c.script;
      EXPECT_FALSE(reports[0].started);
      EXPECT_EQ(reports[0].program, "pavucontrol");
      EXPECT_EQ(reports[0].reason, c.reason);
    } else {
      EXPECT_TRUE(reports.empty()) << c.script;
    }
  }
}

}  // namespace
}  // namespace tonefield
