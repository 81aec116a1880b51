#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/qt/MainWindow.h"
#include "platform/qt/AboutBox.h"
#include "platform/qt/SplashScreen.h"

namespace tonefield {
namespace {

struct BoxSeen {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
};

TEST(Dialogs, ErrorBoxHasItsTitleErrorIconAndOneOkButton) {
  MainWindow window;
  BoxSeen seen;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen = {box->windowTitle(), box->text(), box->icon(), static_cast<int>(box->buttons().size())};
    box->button(QMessageBox::Ok)->click();
  });
  window.ShowError("waveOutOpenエラー\r\n\r\nno device");
  EXPECT_EQ(seen.title, QStringLiteral("エラー"));
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_EQ(seen.text, QStringLiteral("waveOutOpenエラー\n\nno device"));
}

TEST(Dialogs, ApplicationErrorBoxUsesTheApplicationsTitle) {
  MainWindow window;
  BoxSeen seen;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen = {box->windowTitle(), box->text(), box->icon(), static_cast<int>(box->buttons().size())};
    box->button(QMessageBox::Ok)->click();
  });
  window.ShowApplicationError("ファイル /tmp/x.txt は開けません");
  EXPECT_EQ(seen.title, QGuiApplication::applicationDisplayName());
  EXPECT_EQ(seen.text, QStringLiteral("ファイル /tmp/x.txt は開けません"));
  EXPECT_EQ(seen.buttons, 1);
}

TEST(Dialogs, BoxesShowFileNamesAsTheyAreNeverAsMarkup) {
  MainWindow window;
  const QString text = QStringLiteral("ファイル /tmp/<b>x</b>.txt は開けません");
  for (const bool general : {false, true}) {
    QString shown;
    int width = 0, needed = 0;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      ASSERT_NE(label, nullptr);
      shown = label->text();
      width = label->sizeHint().width();
      needed = label->fontMetrics().horizontalAdvance(text);
      box->button(QMessageBox::Ok)->click();
    });
    if (general) {
      window.ShowApplicationError(text.toStdString());
    } else {
      window.ShowError(text.toStdString());
    }
    EXPECT_EQ(shown, text);
    EXPECT_GE(width, needed) << "every character is shown";
  }
}

TEST(Dialogs, AboutBoxShowsIconNameVersionCopyrightAndClosesWithOk) {
  MainWindow window;
  AboutBox* about = window.aboutBox();
  EXPECT_EQ(about->ProductName->text(), QStringLiteral("Tonefield"));
  EXPECT_EQ(about->Version->text(), QStringLiteral("V0.7"));
  EXPECT_FALSE(about->Copyright->text().isEmpty());
  EXPECT_FALSE(about->ProgramIcon->pixmap().isNull());
  bool wasModal = false;
  QTimer::singleShot(0, [&] {
    wasModal = QApplication::activeModalWidget() == about;
    about->OKButton->click();
  });
  window.ShowAboutBox();
  EXPECT_TRUE(wasModal);
  EXPECT_FALSE(about->isVisible());
}

TEST(Dialogs, SplashIsShownWithItsTextsAndFreed) {
  MainWindow window;
  window.ShowSplash();
  SplashScreen* splash = window.splash();
  ASSERT_NE(splash, nullptr);
  EXPECT_TRUE(splash->isVisible());
  EXPECT_EQ(splash->size(), QSize(297, 89));
  EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(splash->titleLabel->text(), QStringLiteral("Tonefield V0.7"));
  EXPECT_EQ(splash->waitLabel->text(), QStringLiteral("初期化中です。しばらくお待ちください..."));
  EXPECT_EQ(splash->titleLabel->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
  EXPECT_EQ(splash->titleLabel->y(), 24);
  EXPECT_EQ(splash->waitLabel->y(), 56);
  window.FreeSplash();
  EXPECT_EQ(window.splash(), nullptr);
}

TEST(Dialogs, FileFiltersBecomeQtNameFilters) {
  const std::pair<const char*, const char*> cases[] = {
      {"ﾃｷｽﾄﾌｧｲﾙ (*.txt)|*.txt", "ﾃｷｽﾄﾌｧｲﾙ (*.txt)"},
      {"Waveファイル|*.wav", "Waveファイル (*.wav)"},
      {"Sound|*.wav;*.wave", "Sound (*.wav *.wave)"},
      {"ﾃｷｽﾄﾌｧｲﾙ・MIDI ﾌｧｲﾙ (*.txt;*.mid;*.midi)|*.txt;*.mid;*.midi", "ﾃｷｽﾄﾌｧｲﾙ・MIDI ﾌｧｲﾙ (*.txt *.mid *.midi)"},
      {"Sound (*.wav *.wave)|*.wav;*.wave", "Sound (*.wav *.wave)"},
      {"*.txt", "*.txt"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(MainWindow::NameFilter(in), QString::fromUtf8(out)) << in;
}

TEST(Dialogs, FileDialogsGetTitleFilterFolderExtensionAndOverwritePrompt) {
  MainWindow window;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  struct Seen {
    QString title, filter, folder, suffix;
    bool confirmsOverwrite = false;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  } seen;
  auto answer = [&](bool accept) {
    QTimer::singleShot(0, [&, accept] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      seen = {dialog->windowTitle(), dialog->nameFilters().value(0),
              QDir(dialog->directory()).canonicalPath(), dialog->defaultSuffix(),
              !dialog->testOption(QFileDialog::DontConfirmOverwrite), dialog->acceptMode()};
      if (accept) {
        dialog->selectFile(dir.filePath(QStringLiteral("take")));
        static_cast<QDialog*>(dialog)->accept();
      } else {
        dialog->reject();
      }
    });
  };
  FileDialogRequest save{"Waveファイルの保存", "Waveファイル (*.wav)|*.wav", dir.path().toStdString(), "wav", true};
  answer(true);
  const auto chosen = window.RunSaveDialog(save);
  EXPECT_EQ(seen.title, QStringLiteral("Waveファイルの保存"));
  EXPECT_EQ(seen.filter, QStringLiteral("Waveファイル (*.wav)"));
  EXPECT_EQ(seen.folder, QDir(dir.path()).canonicalPath());
  EXPECT_EQ(seen.suffix, QStringLiteral("wav"));
  EXPECT_TRUE(seen.confirmsOverwrite);
  EXPECT_EQ(seen.mode, QFileDialog::AcceptSave);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(QFileInfo(QString::fromStdString(*chosen)).fileName(), QStringLiteral("take.wav"));

  FileDialogRequest open{"楽譜ファイルの読み込み", "ﾃｷｽﾄﾌｧｲﾙ (*.txt)|*.txt", dir.path().toStdString(), "", false};
  answer(false);
  EXPECT_FALSE(window.RunOpenDialog(open).has_value()) << "cancelled";
  EXPECT_EQ(seen.title, QStringLiteral("楽譜ファイルの読み込み"));
  EXPECT_EQ(seen.filter, QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ (*.txt)"));
  EXPECT_EQ(seen.mode, QFileDialog::AcceptOpen);
}

TEST(Dialogs, HostAnswersFromTheDesktop) {
  MainWindow window;
  const std::string dir = window.ExecutableDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  const LocalTime now = window.Now();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
}

}  // namespace
}  // namespace tonefield
