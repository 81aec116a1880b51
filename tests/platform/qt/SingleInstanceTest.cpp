#include "platform/qt/SingleInstance.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace tonefield {
namespace {

constexpr int kFirst = 0, kSecond = 3;

// Every test runs in a runtime folder of its own, on X display ":91"
// unless it says otherwise; the probes are separate processes that start
// the way the program does.
class SingleInstanceGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runtime_.isValid());
    Save("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    Save("DISPLAY", ":91");
    Save("WAYLAND_DISPLAY", {});
    probe_ = qEnvironmentVariable("INSTANCE_PROBE");
    ASSERT_FALSE(probe_.isEmpty());
  }
  void TearDown() override {
    for (auto& process : probes_) {
      if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished();
      }
    }
    for (const auto& [name, value] : saved_) {
      if (value.isNull()) {
        qunsetenv(name);
      } else {
        qputenv(name, value);
      }
    }
  }
  void Save(const char* name, const QByteArray& value) {
    saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
    if (value.isEmpty()) {
      qunsetenv(name);
    } else {
      qputenv(name, value);
    }
  }
  QProcess& Probe(const QString& display, int holdMs = 0, const QString& go = {}) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (display.startsWith(QLatin1String("wayland"))) {
      env.insert(QStringLiteral("WAYLAND_DISPLAY"), display);
    } else {
      env.insert(QStringLiteral("DISPLAY"), display);
    }
    process->setProcessEnvironment(env);
    QStringList arguments{kName, QString::number(holdMs)};
    if (!go.isEmpty()) arguments << go;
    process->start(probe_, arguments);
    probes_.push_back(std::move(process));
    return *probes_.back();
  }
  static int ExitOf(QProcess& process) {
    if (!process.waitForFinished(10000)) return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  }

  static inline const QString kName = QStringLiteral("TONEFIELD TEST!");
  QTemporaryDir runtime_;
  QString probe_;
  std::vector<std::pair<const char*, QByteArray>> saved_;
  std::vector<std::unique_ptr<QProcess>> probes_;
};

TEST_F(SingleInstanceGuard, ALaterStartHandsItsFileToTheFirstAndRaisesIt) {
  SingleInstance first(kName);
  QStringList opened;
  int raises = 0;
  first.SetOnOpenRequest([&](const QString& path) { opened << path; });
  first.SetOnRaiseRequest([&] { ++raises; });
  ASSERT_TRUE(first.Acquire());
  const QString file = QStringLiteral("/home/利用者/音楽/声 1.wav");
  SingleInstance second(kName);
  EXPECT_FALSE(second.Acquire(file));
  EXPECT_TRUE(QTest::qWaitFor([&] { return raises == 1; }, 5000));
  EXPECT_EQ(opened, QStringList{file});
  SingleInstance third(kName);
  EXPECT_FALSE(third.Acquire());
  EXPECT_TRUE(QTest::qWaitFor([&] { return raises == 2; }, 5000));
  EXPECT_EQ(opened, QStringList{file}) << "a start without a file opens nothing";
}

TEST_F(SingleInstanceGuard, ALaterStartOnTheSameDisplayAsksTheFirstToComeForwardAndGivesWay) {
  SingleInstance first(kName);
  int raises = 0;
  first.SetOnRaiseRequest([&] { ++raises; });
  ASSERT_TRUE(first.Acquire());
  SingleInstance second(kName);
  EXPECT_FALSE(second.Acquire());
  EXPECT_TRUE(QTest::qWaitFor([&] { return raises == 1; }, 5000));

  // Another process, with the first instance's event loop running meanwhile.
  QElapsedTimer clock;
  clock.start();
  QProcess& later = Probe(QStringLiteral(":91"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return later.state() == QProcess::NotRunning; }, 5000));
  EXPECT_EQ(later.exitCode(), kSecond);
  EXPECT_LT(clock.elapsed(), 3000);
  EXPECT_TRUE(QTest::qWaitFor([&] { return raises == 2; }, 5000));
}

TEST_F(SingleInstanceGuard, OfTwoStartsAtTheSameMomentExactlyOneRuns) {
  for (int round = 0; round < 8; ++round) {
    const QString go = runtime_.filePath(QStringLiteral("go-%1").arg(round));
    // The first holds on long enough that a second descheduled by a busy
    // machine still finds it running.
    QProcess& a = Probe(QStringLiteral(":91"), 1000, go);
    QProcess& b = Probe(QStringLiteral(":91"), 1000, go);
    // Both are loaded and waiting for the word.
    ASSERT_TRUE(a.waitForReadyRead(10000));
    ASSERT_TRUE(b.waitForReadyRead(10000));
    QFile(go).open(QIODevice::WriteOnly);
    const int exits[] = {ExitOf(a), ExitOf(b)};
    EXPECT_EQ(std::count(std::begin(exits), std::end(exits), kFirst), 1)
        << "round " << round << ": " << exits[0] << " " << exits[1];
    EXPECT_EQ(std::count(std::begin(exits), std::end(exits), kSecond), 1) << "round " << round;
  }
}

TEST_F(SingleInstanceGuard, EachDisplayHasItsOwnInstance) {
  SingleInstance onThisDisplay(kName);
  ASSERT_TRUE(onThisDisplay.Acquire());
  EXPECT_EQ(ExitOf(Probe(QStringLiteral(":92"))), kFirst) << "another X display";
  EXPECT_EQ(ExitOf(Probe(QStringLiteral("wayland-1"))), kFirst) << "a Wayland session";
  EXPECT_EQ(ExitOf(Probe(QStringLiteral(":91.0"))), kSecond) << "another screen of the same display";
  EXPECT_EQ(ExitOf(Probe(QStringLiteral(":91"))), kSecond);
}

TEST_F(SingleInstanceGuard, TheLockOfACrashedInstanceIsTakenOver) {
  QProcess& crashing = Probe(QStringLiteral(":91"), 30000);
  SingleInstance probeView(kName);
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(probeView.LockPath()); }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(probeView.ServerName()); }, 5000));
  crashing.kill();  // leaves its lock file and its socket behind
  ASSERT_TRUE(crashing.waitForFinished());
  ASSERT_TRUE(QFile::exists(probeView.LockPath()));

  SingleInstance guard(kName);
  EXPECT_TRUE(guard.Acquire());
  EXPECT_EQ(ExitOf(Probe(QStringLiteral(":91"))), kSecond) << "the new instance now answers";
}

}  // namespace
}  // namespace tonefield
