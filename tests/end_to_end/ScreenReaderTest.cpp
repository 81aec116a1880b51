// The window as a screen reader meets it: Qt's AT-SPI bridge switched on
// by scripts/with-accessibility-bus (a private D-Bus session with the
// accessibility bus).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QTest>

#include "end_to_end/EndToEndSupport.h"
#include "platform/qt/Program.h"

namespace tonefield {
namespace {

std::vector<std::pair<QObject*, QAccessible::Event>> gEvents;

TEST(ScreenReader, HearsTheStatusLineWhenItSaysSomethingNew) {
  if (!qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON")) GTEST_SKIP() << "no accessibility bus";
  testing::DiskAudio audio;
  Program program;
  program.Start();
  ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }, 5000)) << "the bridge came up";
  auto* status = static_cast<QLabel*>(program.window().control(Control::StatusLine));
  gEvents.clear();
  QAccessible::installUpdateHandler(
      [](QAccessibleEvent* event) { gEvents.emplace_back(event->object(), event->type()); });
  program.window().SetStatusText("演奏中です。");
  program.window().SetStatusText("演奏中です。");  // nothing new
  program.window().SetStatusText("準備完了");
  EXPECT_EQ(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), QStringLiteral("準備完了"));
  QAccessible::installUpdateHandler(nullptr);
  const auto news = std::count(gEvents.begin(), gEvents.end(),
                               std::pair<QObject*, QAccessible::Event>(status, QAccessible::NameChanged));
  EXPECT_EQ(news, 2);
  program.window().close();
}

}  // namespace
}  // namespace tonefield
