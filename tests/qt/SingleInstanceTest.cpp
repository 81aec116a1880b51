#include "platform/qt/SingleInstance.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QProcess>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tonefield {
namespace {

QString UniqueName(const char* what) {
  return QStringLiteral("TONEFIELD TEST %1 %2!").arg(QLatin1String(what)).arg(QCoreApplication::applicationPid());
}

TEST(SingleInstanceGuard, ASecondStartAsksTheFirstToComeForwardAndGivesWay) {
  const QString name = UniqueName("pair");
  SingleInstance first(name);
  int raises = 0;
  first.SetOnRaiseRequest([&] { ++raises; });
  ASSERT_TRUE(first.Acquire());
  SingleInstance second(name);
  EXPECT_FALSE(second.Acquire());
  QTRY_COMPARE(raises, 1);
}

TEST(SingleInstanceGuard, ASecondProcessExitsAtOnce) {
  const QString probe = qEnvironmentVariable("INSTANCE_PROBE");
  ASSERT_FALSE(probe.isEmpty());
  const QString name = UniqueName("process");
  SingleInstance first(name);
  int raises = 0;
  first.SetOnRaiseRequest([&] { ++raises; });
  ASSERT_TRUE(first.Acquire());
  QProcess second;
  QElapsedTimer clock;
  clock.start();
  second.start(probe, {name});
  ASSERT_TRUE(second.waitForStarted());
  // The first instance keeps its event loop running while the second knocks.
  QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 5000);
  EXPECT_EQ(second.exitCode(), 3);
  EXPECT_LT(clock.elapsed(), 3000);
  QTRY_COMPARE(raises, 1);
}

TEST(SingleInstanceGuard, ANameLeftByACrashIsRemovedAndTheStartProceeds) {
  const QString name = UniqueName("stale");
  const QString path = QDir::tempPath() + QLatin1Char('/') + name;
  // A socket file that nobody listens on, as a killed instance leaves it.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray native = QFile::encodeName(path);
  ASSERT_LT(static_cast<std::size_t>(native.size()), sizeof address.sun_path);
  std::memcpy(address.sun_path, native.constData(), static_cast<std::size_t>(native.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  ASSERT_TRUE(QFile::exists(path));

  SingleInstance guard(name);
  EXPECT_TRUE(guard.Acquire());
  SingleInstance later(name);
  EXPECT_FALSE(later.Acquire()) << "the new instance now answers";
}

}  // namespace
}  // namespace tonefield
