// The piano keys' labels under the X server's keyboard layouts, switched
// with setxkbmap while the window runs.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include "end_to_end/EndToEndSupport.h"
#include "end_to_end/XDesktop.h"
#include "platform/qt/Program.h"
#include "platform/qt/PianoKeyButton.h"

namespace tonefield {
namespace {

bool SetLayout(const QString& layout) {
  return QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), layout}) == 0;
}

// Keys 0..35 as the layout labels them: the Z row and the row above it,
// then the Q row and the digit row.
struct Layout {
  const char* name;
  const char* labels[36];
};

const Layout kLayouts[] = {
    {"de", {"Y", "S", "X", "D", "C", "V", "G", "B", "H", "N", "J", "M", ",", "L", ".", "Ö", "-", "Q",
            "2", "W", "3", "E", "4", "R", "T", "6", "Z", "7", "U", "I", "9", "O", "0", "P", "ß", "Ü"}},
    {"fr", {"W", "S", "X", "D", "C", "V", "G", "B", "H", "N", "J", ",", ";", "L", ":", "M", "!", "A",
            "É", "Z", "\"", "E", "'", "R", "T", "-", "Y", "È", "U", "I", "Ç", "O", "À", "P", ")", "^"}},
    // The key right of P carries "[" on a US keyboard.
    {"us", {"Z", "S", "X", "D", "C", "V", "G", "B", "H", "N", "J", "M", ",", "L", ".", ";", "/", "Q",
            "2", "W", "3", "E", "4", "R", "T", "6", "Y", "7", "U", "I", "9", "O", "0", "P", "-", "["}},
    // The labels the keys have always had.
    {"jp", {"Z", "S", "X", "D", "C", "V", "G", "B", "H", "N", "J", "M", ",", "L", ".", ";", "/", "Q",
            "2", "W", "3", "E", "4", "R", "T", "6", "Y", "7", "U", "I", "9", "O", "0", "P", "-", "@"}},
};

class KeyLabels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X server";
    ASSERT_TRUE(SetLayout(QStringLiteral("us")));
    program_ = std::make_unique<Program>();
    program_->Start();
  }
  void TearDown() override {
    if (!program_) return;
    program_->window().close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !program_->window().isVisible(); }, 5000));
    program_.reset();
    SetLayout(QStringLiteral("us"));  // the other tests type with xdotool
  }
  static QStringList LabelsOf(const char* name) {
    for (const Layout& layout : kLayouts) {
      if (qstrcmp(layout.name, name) != 0) continue;
      QStringList labels;
      for (const char* label : layout.labels) labels << QString::fromUtf8(label);
      return labels;
    }
    return {};
  }
  QStringList Labels() {
    QStringList labels;
    for (int k = 0; k < 36; ++k) labels << program_->window().keyButton(k)->text();
    return labels;
  }

  testing::DiskAudio audio_;
  std::unique_ptr<Program> program_;
};

TEST_F(KeyLabels, FollowTheLayoutWhileTheWindowRuns) {
  for (const Layout& layout : kLayouts) {
    const QStringList expected = LabelsOf(layout.name);
    ASSERT_TRUE(SetLayout(QString::fromLatin1(layout.name))) << layout.name;
    // No activation change: the window hears of the new keymap from the server.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Labels() == expected; }, 3000))
        << layout.name << ": " << Labels().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(program_->window().keyButton(0)->accessibleDescription(), QStringLiteral("PCキー ") + expected[0]);
  }
}

// Two layouts on one keyboard, switched like a layout-switch key does.
TEST_F(KeyLabels, FollowASwitchBetweenTheKeyboardsLayouts) {
  ASSERT_TRUE(SetLayout(QStringLiteral("us,de")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Labels() == LabelsOf("us"); }, 3000));
  QTest::qWait(300);  // the new keymap's news are all in
  testing::LockKeyboardGroup(1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Labels() == LabelsOf("de"); }, 3000))
      << Labels().join(QLatin1Char(' ')).toStdString();
  QTest::qWait(300);
  testing::LockKeyboardGroup(0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Labels() == LabelsOf("us"); }, 3000))
      << Labels().join(QLatin1Char(' ')).toStdString();
}

}  // namespace
}  // namespace tonefield
