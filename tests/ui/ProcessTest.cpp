// The real program, started as its own process on the offscreen platform.

#include "ProgramProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

class ProcessTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    env = zub::test::ProgramEnvironment(dir);
  }

  std::unique_ptr<QProcess> start() {
    return zub::test::StartProgram(env, QStringLiteral(ZUB_GUI_EXECUTABLE));
  }

  // The running instance has taken the lock once the lock file names it.
  bool holdsLock(const QProcess &p) {
    return QTest::qWaitFor(
        [&] {
          QFile lock(dir.filePath(QStringLiteral("zubqr-gui.lock")));
          return lock.open(QIODevice::ReadOnly) &&
                 lock.readLine().trimmed().toLongLong() == p.processId();
        },
        20000);
  }

  static void endWith(QProcess &p, int sig) {
    ::kill(static_cast<pid_t>(p.processId()), sig);
    ASSERT_TRUE(p.waitForFinished(20000));
  }

  QTemporaryDir dir;
  QProcessEnvironment env;
};

} // namespace

TEST_F(ProcessTest, SecondInstanceEndsAtOnceWithExitCodeZero) {
  auto first = start();
  ASSERT_TRUE(holdsLock(*first));
  auto second = start();
  ASSERT_TRUE(second->waitForFinished(20000));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("config"))).exists()); // nothing stored
  EXPECT_EQ(first->state(), QProcess::Running);

  endWith(*first, SIGTERM);
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);
}

TEST_F(ProcessTest, LockOfAKilledInstanceDoesNotBlockTheNext) {
  auto killed = start();
  ASSERT_TRUE(holdsLock(*killed));
  endWith(*killed, SIGKILL);
  auto next = start();
  ASSERT_TRUE(holdsLock(*next));
  EXPECT_EQ(next->state(), QProcess::Running);
  endWith(*next, SIGINT);
  EXPECT_EQ(next->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(next->exitCode(), 0);
}

TEST_F(ProcessTest, HangupEndsWithExitCodeZero) {
  auto p = start();
  ASSERT_TRUE(holdsLock(*p));
  endWith(*p, SIGHUP);
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p->exitCode(), 0);
}
