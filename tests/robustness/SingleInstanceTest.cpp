// One program at a time: programs started at the same moment leave exactly
// one window, and no lock left behind by a program that is gone keeps the
// next one from starting.

#include "SingleInstance.h"
#include "ProgramProcess.h"
#include "Trust.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <optional>
#include <poll.h>
#include <string_view>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
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

namespace zub {
namespace {

// Another user, as these tests make one: root can give files away and
// start processes as someone else.
constexpr uid_t kOtherUser = 65534;

bool CanBeAnotherUser() {
  return ::geteuid() == 0;
}

QByteArray Name(const QString &path) {
  return QFile::encodeName(path);
}

// Another user's running instance, as a process of hers: the lock file at
// `lock`, made and held by her, and her socket at `socket`, listening.
// She counts the connections made to it until the object goes.
class OtherUsersInstance {
public:
  OtherUsersInstance(const QString &lock, const QString &socket) {
    // Everything the process needs is made before it is started: after a
    // fork it makes only system calls.
    const QByteArray lockName = Name(lock), socketName = Name(socket);
    const QByteArray tail = "\n" +
                            QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() +
                            "\n" + QSysInfo::machineHostName().toUtf8() + "\n";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketName.constData(),
                std::min<std::size_t>(static_cast<std::size_t>(socketName.size()),
                                      sizeof address.sun_path - 1));
    int ready[2], stop[2];
    if (::pipe(ready) != 0 || ::pipe(stop) != 0)
      return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(stop[1]);
      if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0)
        ::_exit(1);
      const int fd = ::open(lockName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      char pid[24];
      int n = 0;
      for (pid_t p = ::getpid(); p > 0; p /= 10)
        pid[n++] = static_cast<char>('0' + p % 10);
      for (int i = 0; i < n / 2; ++i)
        std::swap(pid[i], pid[n - 1 - i]);
      if (fd < 0 || ::write(fd, pid, static_cast<std::size_t>(n)) != n ||
          ::write(fd, tail.constData(), static_cast<std::size_t>(tail.size())) != tail.size() ||
          ::flock(fd, LOCK_EX) != 0)
        ::_exit(2);
      const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (listener < 0 ||
          ::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
          ::listen(listener, 8) != 0)
        ::_exit(3);
      char connections = 0;
      if (::write(ready[1], "r", 1) != 1)
        ::_exit(4);
      for (;;) {
        pollfd wait[2] = {{listener, POLLIN, 0}, {stop[0], POLLIN, 0}};
        if (::poll(wait, 2, -1) < 0)
          continue;
        if (wait[1].revents != 0)
          break;
        const int peer = ::accept(listener, nullptr, nullptr);
        if (peer >= 0) {
          ++connections;
          ::close(peer);
        }
      }
      ::_exit(10 + connections);
    }
    ::close(ready[1]);
    ::close(stop[0]);
    stop_ = stop[1];
    pollfd wait{ready[0], POLLIN, 0};
    char byte = 0;
    ready_ = pid_ > 0 && ::poll(&wait, 1, 30000) == 1 && ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
  }

  // How many times her socket was asked; -1 when she could not run.
  int Stop() {
    if (pid_ <= 0)
      return -1;
    ::close(stop_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) >= 10 ? WEXITSTATUS(status) - 10 : -1;
  }

  ~OtherUsersInstance() { Stop(); }
  OtherUsersInstance(const OtherUsersInstance &) = delete;
  OtherUsersInstance &operator=(const OtherUsersInstance &) = delete;

  bool ready() const { return ready_; }

private:
  pid_t pid_ = -1;
  int stop_ = -1;
  bool ready_ = false;
};

// A scratch folder others may pass through, holding a shared sticky
// folder like /tmp. Another user's files in it need root; the tests that
// need none run as anyone.
class SharedFolder : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(::chmod(Name(dir.path()).constData(), 0711), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("shared")));
    ASSERT_EQ(::chmod(Name(Shared()).constData(), 01777), 0);
  }
  QString Shared(const QString &name = {}) const {
    return dir.filePath(QStringLiteral("shared")) + (name.isEmpty() ? QString() : "/" + name);
  }
  QTemporaryDir dir;
};

// Her lock is not obeyed and her socket never asked, where she could put
// them in a shared folder; in a folder of the user's own, her lock is
// taken away.
TEST_F(SharedFolder, AnotherUsersLockAndSocketAreNeverObeyed) {
  if (!CanBeAnotherUser())
    GTEST_SKIP() << "another user's files need root to make";
  const QString lock = Shared(QStringLiteral("zubqr-gui.lock"));
  OtherUsersInstance hers(lock, Shared(QStringLiteral("zubqr-gui.socket")));
  ASSERT_TRUE(hers.ready());
  {
    SingleInstance mine(lock);
    EXPECT_TRUE(mine.acquire());
    EXPECT_FALSE(mine.askToRaise());
  }
  EXPECT_EQ(hers.Stop(), 0);

  const QString own = dir.filePath(QStringLiteral("own"));
  ASSERT_TRUE(QDir().mkpath(own));
  ASSERT_EQ(::chmod(Name(own).constData(), 0700), 0);
  const QString planted = own + QStringLiteral("/zubqr-gui.lock");
  WriteLock(planted,
            QByteArray::number(QCoreApplication::applicationPid()) + "\n" +
                QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + "\n" +
                QSysInfo::machineHostName().toUtf8() + "\n",
            0);
  ASSERT_EQ(::chown(Name(planted).constData(), kOtherUser, kOtherUser), 0);
  SingleInstance mine(planted);
  EXPECT_TRUE(mine.acquire());
  EXPECT_EQ(LockOwner(planted), QCoreApplication::applicationPid());
}

// The lock lives in a folder that belongs to the user and is closed to
// everyone else, wherever the environment points and whatever another
// user made there first.
TEST_F(SharedFolder, TheDefaultLockLivesInAFolderOfTheUsersOwn) {
  const QString uid = QString::number(::geteuid());
  enum class Runtime { Own, Open, Hers, None };
  enum class Temporary { Free, Hers, Link, OwnOpen };
  struct Case {
    const char *what;
    Runtime runtime;
    Temporary temporary;
    bool cacheVariable; // XDG_CACHE_HOME set, else ~/.cache
    const char *folder; // where the lock goes: runtime, temporary, cache or home
  };
  const Case cases[] = {
      {"a runtime folder of the user's own", Runtime::Own, Temporary::Free, true, "runtime"},
      {"a runtime folder others may enter", Runtime::Open, Temporary::Free, true, "temporary"},
      {"another user's runtime folder", Runtime::Hers, Temporary::Free, true, "temporary"},
      {"no runtime folder", Runtime::None, Temporary::Free, true, "temporary"},
      {"her folder of the user's name", Runtime::None, Temporary::Hers, true, "cache"},
      {"a link of the user's name", Runtime::None, Temporary::Link, false, "home"},
      {"the user's folder, left open", Runtime::None, Temporary::OwnOpen, true, "temporary"},
  };
  const QByteArrayList variables = {"XDG_RUNTIME_DIR", "TMPDIR", "HOME", "XDG_CACHE_HOME"};
  QList<std::optional<QByteArray>> saved;
  for (const QByteArray &v : variables)
    saved << (qEnvironmentVariableIsSet(v.constData())
                  ? std::optional<QByteArray>(qgetenv(v.constData()))
                  : std::nullopt);
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    if ((c.runtime == Runtime::Hers || c.temporary == Temporary::Hers) && !CanBeAnotherUser()) {
      std::cout << "skipped (another user's folder needs root to make): " << c.what << "\n";
      continue;
    }
    const QString root = dir.filePath(QStringLiteral("case%1").arg(n++));
    const QString runtime = root + "/runtime", temporary = root + "/tmp", cache = root + "/cache",
                  home = root + "/home";
    for (const QString &folder : {runtime, temporary, cache, home})
      ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::chmod(Name(temporary).constData(), 01777), 0);
    ASSERT_EQ(::chmod(Name(runtime).constData(), c.runtime == Runtime::Open ? 0755 : 0700), 0);
    if (c.runtime == Runtime::Hers) {
      ASSERT_EQ(::chown(Name(runtime).constData(), kOtherUser, kOtherUser), 0);
    }
    const QString mine = temporary + "/zubqr-gui-" + uid;
    if (c.temporary == Temporary::Hers) {
      ASSERT_TRUE(QDir().mkdir(mine));
      ASSERT_EQ(::chmod(Name(mine).constData(), 0777), 0);
      ASSERT_EQ(::chown(Name(mine).constData(), kOtherUser, kOtherUser), 0);
    } else if (c.temporary == Temporary::Link) {
      ASSERT_TRUE(QFile::link(runtime, mine));
    } else if (c.temporary == Temporary::OwnOpen) {
      ASSERT_TRUE(QDir().mkdir(mine));
      ASSERT_EQ(::chmod(Name(mine).constData(), 0755), 0);
    }
    if (c.runtime == Runtime::None)
      qunsetenv("XDG_RUNTIME_DIR");
    else
      qputenv("XDG_RUNTIME_DIR", Name(runtime));
    qputenv("TMPDIR", Name(temporary));
    qputenv("HOME", Name(home));
    if (c.cacheVariable)
      qputenv("XDG_CACHE_HOME", Name(cache));
    else
      qunsetenv("XDG_CACHE_HOME");

    const QString path = SingleInstance::DefaultLockPath();
    const QString expected = std::string_view(c.folder) == "runtime"     ? runtime
                             : std::string_view(c.folder) == "temporary" ? mine
                             : std::string_view(c.folder) == "cache"
                                 ? cache + "/zubqr-gui-instance"
                                 : home + "/.cache/zubqr-gui-instance";
    EXPECT_EQ(path, expected + "/zubqr-gui.lock");
    const QString folder = QFileInfo(path).path();
    EXPECT_TRUE(OwnFolder(Name(folder).toStdString())) << folder.toStdString();
  }
  for (int i = 0; i < variables.size(); ++i) {
    if (saved[i])
      qputenv(variables[i].constData(), *saved[i]);
    else
      qunsetenv(variables[i].constData());
  }
}

// The window itself, with no runtime folder and another user first in the
// shared temporary folder: her lock and socket where the lock used to go,
// her folders of the user's name. The window starts, and she hears nothing.
TEST_F(SharedFolder, AnotherUsersLockInTheTemporaryFolderDoesNotKeepTheWindowOut) {
  if (!CanBeAnotherUser())
    GTEST_SKIP() << "another user's files need root to make";
  const QString home = dir.filePath(QStringLiteral("home"));
  ASSERT_TRUE(QDir().mkpath(home));
  for (const QString &name :
       {QStringLiteral("zubqr-gui-%1").arg(::geteuid()),
        QStringLiteral("runtime-%1").arg(QString::fromLocal8Bit(qgetenv("USER")))}) {
    ASSERT_TRUE(QDir().mkdir(Shared(name)));
    ASSERT_EQ(::chown(Name(Shared(name)).constData(), kOtherUser, kOtherUser), 0);
  }
  OtherUsersInstance hers(Shared(QStringLiteral("zubqr-gui.lock")),
                          Shared(QStringLiteral("zubqr-gui.socket")));
  ASSERT_TRUE(hers.ready());

  QProcessEnvironment env = zub::test::ProgramEnvironment(dir);
  env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
  env.insert(QStringLiteral("TMPDIR"), Shared());
  env.insert(QStringLiteral("HOME"), home);
  env.insert(QStringLiteral("XDG_CACHE_HOME"), home + "/.cache");
  auto window = zub::test::StartProgram(env, QStringLiteral(ZUB_GUI_EXECUTABLE));
  ASSERT_TRUE(window->waitForStarted(30000));
  const QString lock = home + "/.cache/zubqr-gui-instance/zubqr-gui.lock";
  EXPECT_TRUE(QTest::qWaitFor([&] { return LockOwner(lock) == window->processId(); }, 30000));
  EXPECT_EQ(window->state(), QProcess::Running);
  ASSERT_GT(window->processId(), 0);
  ::kill(static_cast<pid_t>(window->processId()), SIGTERM);
  ASSERT_TRUE(window->waitForFinished(30000));
  EXPECT_EQ(window->exitCode(), 0);
  EXPECT_EQ(hers.Stop(), 0);
}

} // namespace
} // namespace zub
