// One program at a time: programs started at the same moment leave exactly
// one window, and no lock left behind by a program that is gone keeps the
// next one from starting.

#include "SingleInstance.h"
#include "ProgramProcess.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <vector>

namespace zub {
namespace {

void WriteLock(const QString &path, const QByteArray &content, int ageSeconds) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(content);
  ASSERT_TRUE(file.flush()); // a later flush would make it new again
  ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                               QFileDevice::FileModificationTime));
}

qint64 LockOwner(const QString &path) {
  QFile lock(path);
  return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : 0;
}

TEST(SingleInstanceLock, AbandonedLockFilesDoNotKeepTheProgramOut) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("zubqr-gui.lock"));
  const QByteArray host = QSysInfo::machineHostName().toUtf8();
  const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
  const struct {
    const char *what;
    QByteArray content;
    int age;
    bool starts;
  } cases[] = {
      // Killed between making the file and writing it, or a full disk.
      {"empty", "", 60, true},
      {"garbage", "\x01\x02 no lock here\n\xff", 60, true},
      {"names a process that is gone", "999999999\nzubqr-gui\n" + host + "\n", 0, true},
      {"names a process of another program", self + "\nzubqr-gui\n" + host + "\n", 0, true},
      {"written under another host name", "999999999\nzubqr-gui\nold-name\n", 60, true},
      // A starting program makes the file a moment before it takes the lock.
      {"empty and brand new", "", 0, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    WriteLock(path, c.content, c.age);
    {
      SingleInstance instance(path);
      EXPECT_EQ(instance.acquire(), c.starts);
      if (c.starts) {
        EXPECT_EQ(LockOwner(path), QCoreApplication::applicationPid());
      }
    }
    QFile::remove(path);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".rmlock")));
  }
}

TEST(SingleInstanceLock, TheLockOfARunningProgramHoldsHoweverOld) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("zubqr-gui.lock"));
  SingleInstance running(path);
  ASSERT_TRUE(running.acquire());
  const QByteArray content = [&] {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-3),
                                 QFileDevice::FileModificationTime));
  }
  SingleInstance second(path);
  EXPECT_FALSE(second.acquire());
  EXPECT_FALSE(second.acquire());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), content);
}

class InstanceProcess : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    env = zub::test::ProgramEnvironment(dir);
  }

  std::unique_ptr<QProcess> Start() {
    return zub::test::StartProgram(env, QStringLiteral(ZUB_GUI_EXECUTABLE));
  }

  QString LockPath() const { return dir.filePath(QStringLiteral("zubqr-gui.lock")); }

  // The program holds the lock once the lock file names it.
  bool HoldsLock(const QProcess &p) const {
    return QTest::qWaitFor([&] { return LockOwner(LockPath()) == p.processId(); }, 30000);
  }

  static void Terminate(QProcess &p) {
    ASSERT_GT(p.processId(), 0); // kill(0) would reach the whole process group
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
  }

  QTemporaryDir dir;
  QProcessEnvironment env;
};

TEST_F(InstanceProcess, StartedAtTheSameMomentExactlyOneStays) {
  std::vector<std::unique_ptr<QProcess>> programs;
  for (int i = 0; i < 4; ++i)
    programs.push_back(Start());
  for (const auto &p : programs)
    ASSERT_TRUE(p->waitForStarted(30000));

  auto ended = [&] {
    int n = 0;
    for (const auto &p : programs)
      n += p->state() == QProcess::NotRunning;
    return n;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended() == 3; }, 60000)) << ended() << " ended";
  QTest::qWait(500); // the one left stays
  ASSERT_EQ(ended(), 3);
  for (const auto &p : programs) {
    if (p->state() != QProcess::NotRunning) {
      EXPECT_TRUE(HoldsLock(*p));
      Terminate(*p);
      continue;
    }
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 0);
  }
}

TEST_F(InstanceProcess, EmptyLockOfAProgramKilledWhileStartingDoesNotKeepTheNextOut) {
  WriteLock(LockPath(), QByteArray(), 60);
  auto p = Start();
  ASSERT_TRUE(p->waitForStarted(30000));
  ASSERT_TRUE(HoldsLock(*p));
  EXPECT_EQ(p->state(), QProcess::Running);
  Terminate(*p);
}

} // namespace
} // namespace zub
