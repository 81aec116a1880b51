// The real program started twice on one desktop: the second start says on
// standard error that Tonefield runs already and which of its options the
// running window did not take, and exits 1 (0 without options).
#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

namespace {

struct Finished {
  int exitCode = -1;
  QString errors;
};

// Standard error without the lines Qt itself may print.
QString OwnLines(const QByteArray& bytes) {
  QString own;
  for (const QString& line : QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    if (line.startsWith(QStringLiteral("tonefield:"))) own += line + QLatin1Char('\n');
  }
  return own;
}

// Silence without a file: the disk driver would write one in the working folder.
void QuietSound(QProcess& process) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
  process.setProcessEnvironment(environment);
}

Finished RunSecond(const QStringList& args) {
  QProcess second;
  QuietSound(second);
  second.start(QStringLiteral(TONEFIELD_PROGRAM), args);
  Finished result;
  if (!second.waitForFinished(10000)) {
    second.kill();
    second.waitForFinished();
    return result;
  }
  result.exitCode = second.exitCode();
  result.errors = OwnLines(second.readAllStandardError());
  return result;
}

TEST(SecondStart, SaysThatTonefieldRunsAndWhichOptionsWereNotApplied) {
  QProcess first;
  QuietSound(first);
  first.start(QStringLiteral(TONEFIELD_PROGRAM), {QStringLiteral("--midi-api"), QStringLiteral("none")});
  ASSERT_TRUE(first.waitForStarted(10000));
  // The first start holds the desktop once its window is up (a second start
  // that comes too early would itself be the first).
  QTest::qWait(3000);
  ASSERT_EQ(first.state(), QProcess::Running) << first.readAllStandardError().toStdString();
  Finished plain;
  for (int attempt = 0; attempt < 3 && !plain.errors.contains(QStringLiteral("already running")); ++attempt) {
    plain = RunSecond({});
  }
  ASSERT_TRUE(plain.errors.contains(QStringLiteral("already running"))) << plain.errors.toStdString();
  EXPECT_EQ(plain.exitCode, 0);
  EXPECT_EQ(plain.errors.toStdString(),
            "tonefield: Tonefield is already running on this desktop; its window comes to the front\n");

  const Finished withOptions =
      RunSecond({QStringLiteral("--midi-channel"), QStringLiteral("2"), QStringLiteral("--midi-api=jack")});
  EXPECT_EQ(withOptions.exitCode, 1);
  EXPECT_EQ(withOptions.errors.toStdString(),
            "tonefield: Tonefield is already running on this desktop; its window comes to the front\n"
            "tonefield: not applied (the running window keeps its settings): --midi-channel 2 --midi-api=jack\n");

  first.terminate();
  if (!first.waitForFinished(10000)) {
    first.kill();
    first.waitForFinished();
  }
}

}  // namespace
