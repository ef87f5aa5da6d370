// The file writer where a save can go wrong: failing flushes and closes,
// files of other users and with other modes, links, shared files, and a
// process stopped half-way. Where root would see no difference, the case
// runs in a child process as the unprivileged user "nobody".
#include "DiskFaults.h"
#include "FileWrite.h"
#include "WriteWords.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <iostream>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zub {
namespace {

constexpr uid_t kNobody = 65534;
constexpr std::string_view kNew = "the new picture, every byte of it";
const std::string kOld = "an earlier picture, to be kept whole";

std::string Read(const std::string &path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<unreadable>";
}

void Put(const std::string &path, const std::string &bytes, mode_t mode = 0644) {
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  file.close();
  ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

struct stat Lstat(const std::string &path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

// Bytes without a repeating run: a writer that writes a part twice, or
// skips one, leaves a file that differs.
std::string Varied(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char &byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<char>(seed >> 24);
  }
  return bytes;
}

// Where `got` first differs from `want`, for a message that does not print
// thousands of bytes; "same" when it does not.
std::string FirstDifference(const std::string &got, const std::string &want) {
  if (got == want)
    return "same";
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at])
    ++at;
  return "differs from byte " + std::to_string(at) + " (" + std::to_string(got.size()) +
         " bytes, " + std::to_string(want.size()) + " wanted)";
}

int OpenDescriptors() {
  return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

// Runs `job` in a child process, as nobody when `asNobody`; its result is
// the child's exit status, or 128 + the signal that ended it (125 when it
// threw, as a program would abort).
int InChild(const std::function<int()> &job, bool asNobody) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (asNobody && (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
                     ::setresuid(kNobody, kNobody, kNobody) != 0))
      ::_exit(99);
    try {
      ::_exit(job());
    } catch (...) {
      ::_exit(125);
    }
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class WholeFileWrite : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    if (::geteuid() == 0) {
      // A folder of nobody's own, which nobody can reach through ours.
      ASSERT_EQ(::chmod(dir_.path().toLocal8Bit().constData(), 0711), 0);
    }
    folder_ = dir_.filePath("work").toStdString();
    ASSERT_EQ(::mkdir(folder_.c_str(), 0755), 0);
  }
  void TearDown() override { SetFileWriterCallsForTesting(nullptr); }
  std::string Path(const char *name) const { return folder_ + "/" + name; }
  QStringList Entries() const {
    return QDir(QString::fromStdString(folder_))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  }
  // Root hides what an ordinary user meets: such cases run as nobody, in a
  // folder nobody owns.
  bool BecomeNobodysFolder() {
    if (::geteuid() != 0)
      return false;
    EXPECT_EQ(::chown(folder_.c_str(), kNobody, kNobody), 0);
    return true;
  }
  QTemporaryDir dir_;
  std::string folder_;
};

int FailingFsync(int) {
  errno = EIO;
  return -1;
}
int FailingClose(int fd) {
  ::close(fd);
  errno = EIO;
  return -1;
}
// A disk that fills half-way.
ssize_t HalfThenDiskFull(int fd, const void *data, size_t size) {
  if (::lseek(fd, 0, SEEK_CUR) > 0) {
    errno = ENOSPC;
    return -1;
  }
  return ::write(fd, data, size / 2 + 1);
}

// A failed flush or close is a failed save, in either kind of temporary
// file and in a shared file updated in place; the old file stays whole and
// nothing else is left, not even an open descriptor.
TEST_F(WholeFileWrite, FailedFlushesAndClosesAreFailedSaves) {
  struct Case {
    const char *what;
    int (*fsync)(int);
    int (*close)(int);
  };
  const Case cases[] = {{"fsync", FailingFsync, nullptr}, {"close", nullptr, FailingClose}};
  for (const Case &c : cases) {
    for (bool unnamed : {true, false}) {
      for (bool shared : {false, true}) {
        SCOPED_TRACE(std::string(c.what) + (unnamed ? " unnamed" : " named") +
                     (shared ? " shared" : ""));
        const std::string target = Path("code.png");
        Put(target, kOld);
        if (shared) {
          ASSERT_EQ(::link(target.c_str(), Path("other-name.png").c_str()), 0);
        }
        FileWriterCalls calls = RealFileWriterCalls();
        calls.unnamedTemporary = unnamed;
        if (c.fsync)
          calls.fsync = c.fsync;
        if (c.close)
          calls.close = c.close;
        SetFileWriterCallsForTesting(&calls);
        const int before = OpenDescriptors();
        const WriteResult result = WriteWholeFile(target, kNew);
        SetFileWriterCallsForTesting(nullptr);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.error, EIO);
        EXPECT_EQ(WriteFailureWords(result, Language::English),
                  "the disk reported an input/output error");
        EXPECT_EQ(OpenDescriptors(), before);
        if (!shared || c.close == nullptr) {
          // A failed close in place comes after the bytes went in: the
          // save is reported failed, what the file holds is not asserted.
          EXPECT_EQ(Read(target), kOld);
        }
        EXPECT_EQ(Entries().size(), shared ? 2 : 1) << Entries().join(" ").toStdString();
        ::unlink(Path("other-name.png").c_str());
      }
    }
  }
  // And a save that succeeds closes what it opened.
  const int before = OpenDescriptors();
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(WriteWholeFile(Path("code.png"), kNew));
  EXPECT_EQ(OpenDescriptors(), before);
}

// The replaced file keeps its mode; as root it keeps owner and group too,
// set-user-ID bit and all. An ordinary user replacing another's file
// (in a folder of its own) makes a file of its own, and never carries the
// special bits over to it.
TEST_F(WholeFileWrite, AReplacedFileKeepsModeAndOwnerOrDropsTheSpecialBits) {
  for (mode_t mode : {0600u, 0640u, 0755u}) {
    const std::string target = Path("private.png");
    Put(target, kOld, mode);
    ASSERT_TRUE(WriteWholeFile(target, kNew));
    EXPECT_EQ(Lstat(target).st_mode & 07777, mode);
    EXPECT_EQ(Read(target), kNew);
  }
  if (::geteuid() != 0) {
    std::cout << "[   NOTE   ] not root: the owner cases need another user's file\n";
    return;
  }
  const std::string theirs = Path("theirs.png");
  Put(theirs, kOld, 0755);
  ASSERT_EQ(::chown(theirs.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod(theirs.c_str(), 04755), 0);
  ASSERT_TRUE(WriteWholeFile(theirs, kNew));
  struct stat st = Lstat(theirs);
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNobody);
  EXPECT_EQ(st.st_mode & 07777, 04755);

  ASSERT_TRUE(BecomeNobodysFolder());
  const std::string roots = Path("roots.png");
  Put(roots, kOld, 0777);
  ASSERT_EQ(::chmod(roots.c_str(), 06777), 0); // root's, writable by all
  for (bool unnamed : {true, false}) {
    FileWriterCalls calls = RealFileWriterCalls();
    calls.unnamedTemporary = unnamed;
    EXPECT_EQ(InChild(
                  [&] {
                    SetFileWriterCallsForTesting(&calls);
                    return WriteWholeFile(roots, kNew) ? 0 : 1;
                  },
                  true),
              0);
    st = Lstat(roots);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_mode & 07777, 0777) << std::oct << st.st_mode;
    EXPECT_EQ(Read(roots), kNew);
  }
}

// A file this user may not write is left alone, with a reason that says
// so. Root may write anything, so the user is nobody there.
TEST_F(WholeFileWrite, RefusesAReadOnlyFile) {
  const bool asNobody = BecomeNobodysFolder();
  const std::string target = Path("read-only.png");
  Put(target, kOld, 0444);
  if (asNobody) {
    ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
  }
  const int status = InChild(
      [&] {
        const WriteResult result = WriteWholeFile(target, kNew);
        return result.failure == WriteFailure::ReadOnlyFile ? 0 : 1;
      },
      asNobody);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Read(target), kOld);
  EXPECT_EQ(Entries(), QStringList{"read-only.png"});
}

// A process stopped by SIGINT or SIGTERM half-way leaves no temporary file,
// whether the file system gave an unnamed one or not; the old file stays.
ssize_t HalfThenStop(int fd, const void *data, size_t size) {
  const ssize_t n = ::write(fd, data, size / 2 + 1);
  ::raise(SIGTERM);
  ::raise(SIGINT);
  return n;
}

TEST_F(WholeFileWrite, AnInterruptedWriteLeavesNoTemporaryFile) {
  const std::string target = Path("big.png");
  for (bool unnamed : {true, false}) {
    for (int signal : {SIGTERM, SIGINT}) {
      SCOPED_TRACE(std::string(unnamed ? "unnamed " : "named ") + strsignal(signal));
      Put(target, kOld);
      FileWriterCalls calls = RealFileWriterCalls();
      calls.unnamedTemporary = unnamed;
      calls.write = HalfThenStop;
      const int status = InChild(
          [&] {
            // Only the signal under test stops the child.
            std::signal(signal == SIGTERM ? SIGINT : SIGTERM, SIG_IGN);
            SetFileWriterCallsForTesting(&calls);
            WriteWholeFile(target, std::string(1 << 20, 'x'));
            return 0;
          },
          false);
      EXPECT_EQ(status, 128 + signal);
      EXPECT_EQ(Read(target), kOld);
      EXPECT_EQ(Entries(), QStringList{"big.png"});
    }
  }
}

// A dangling link and a loop of links are refused and stay links; a link
// to a file has the file replaced and stays a link.
TEST_F(WholeFileWrite, LinksToNothingAndLoopsAreRefused) {
  ASSERT_EQ(::symlink("nothing-here.png", Path("dangling.png").c_str()), 0);
  ASSERT_EQ(::symlink("loop-b.png", Path("loop-a.png").c_str()), 0);
  ASSERT_EQ(::symlink("loop-a.png", Path("loop-b.png").c_str()), 0);
  ASSERT_EQ(::symlink("self.png", Path("self.png").c_str()), 0);
  struct Case {
    const char *name;
    WriteFailure failure;
    const char *says;
  };
  for (const Case &c : {Case{"dangling.png", WriteFailure::DanglingLink, "link to nothing"},
                        Case{"loop-a.png", WriteFailure::LinkLoop, "loop"},
                        Case{"self.png", WriteFailure::LinkLoop, "loop"}}) {
    SCOPED_TRACE(c.name);
    const WriteResult result = WriteWholeFile(Path(c.name), kNew);
    EXPECT_EQ(result.failure, c.failure);
    EXPECT_NE(WriteFailureWords(result, Language::English).find(c.says), std::string::npos);
    EXPECT_TRUE(S_ISLNK(Lstat(Path(c.name)).st_mode));
  }
  EXPECT_EQ(Entries(), (QStringList{"dangling.png", "loop-a.png", "loop-b.png", "self.png"}));

  Put(Path("real.png"), kOld);
  ASSERT_EQ(::symlink("real.png", Path("link.png").c_str()), 0);
  ASSERT_TRUE(WriteWholeFile(Path("link.png"), kNew));
  EXPECT_TRUE(S_ISLNK(Lstat(Path("link.png")).st_mode));
  EXPECT_EQ(Read(Path("real.png")), kNew);
}

// A file with two names is one file: both names see the new picture, as
// after cp. A save that fails leaves both with the old one whole.
TEST_F(WholeFileWrite, AFileWithTwoNamesIsUpdatedForBoth) {
  const std::string target = Path("code.png"), other = Path("same-file.png");
  Put(target, kOld, 0640);
  ASSERT_EQ(::link(target.c_str(), other.c_str()), 0);
  const ino_t inode = Lstat(target).st_ino;

  FileWriterCalls full = RealFileWriterCalls();
  full.write = HalfThenDiskFull;
  SetFileWriterCallsForTesting(&full);
  const WriteResult failed = WriteWholeFile(target, std::string(100000, 'n'));
  SetFileWriterCallsForTesting(nullptr);
  EXPECT_EQ(failed.error, ENOSPC);
  EXPECT_EQ(Read(target), kOld);
  EXPECT_EQ(Read(other), kOld);

  ASSERT_TRUE(WriteWholeFile(target, kNew));
  EXPECT_EQ(Read(other), kNew);
  EXPECT_EQ(Lstat(target).st_ino, inode);
  EXPECT_EQ(Lstat(target).st_mode & 07777, 0640);
  EXPECT_EQ(Entries(), (QStringList{"code.png", "same-file.png"}));
}

// Every road of the writer carries on where a write stopped short, until
// every byte is written: the file, whole and in order, byte for byte.
TEST_F(WholeFileWrite, WritesThatTakeAPartOfTheBytesAreCarriedOn) {
  const std::string picture = Varied(25000, 7);
  enum class Road { Unnamed, Named, InPlace, Pipe };
  for (Road road : {Road::Unnamed, Road::Named, Road::InPlace, Road::Pipe}) {
    SCOPED_TRACE(static_cast<int>(road));
    const std::string target = Path("short.png"), other = Path("other-name.png");
    FileWriterCalls calls = test::kShortWrites;
    calls.unnamedTemporary = road != Road::Named;
    WriteOptions options;
    int ear = -1;
    if (road == Road::Pipe) {
      // The whole picture fits in the pipe's buffer: the writer never waits.
      ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
      ear = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      ASSERT_GE(ear, 0);
      options.intoSpecialFiles = true;
    } else {
      Put(target, kOld);
      if (road == Road::InPlace) {
        ASSERT_EQ(::link(target.c_str(), other.c_str()), 0);
      }
    }
    SetFileWriterCallsForTesting(&calls);
    const WriteResult result = WriteWholeFile(target, picture, options);
    SetFileWriterCallsForTesting(nullptr);
    EXPECT_TRUE(result) << WriteFailureWords(result, Language::English);
    std::string got;
    if (road == Road::Pipe) {
      char buffer[4096];
      for (ssize_t n; (n = ::read(ear, buffer, sizeof buffer)) > 0;)
        got.append(buffer, static_cast<std::size_t>(n));
      ::close(ear);
    } else {
      got = Read(target);
    }
    EXPECT_EQ(FirstDifference(got, picture), "same");
    if (road == Road::InPlace) {
      EXPECT_EQ(FirstDifference(Read(other), picture), "same");
    }
    ::unlink(target.c_str());
    ::unlink(other.c_str());
    EXPECT_TRUE(Entries().empty()) << Entries().join(" ").toStdString();
  }
}

// A file of two names is updated in place; a fault part-way leaves it as it
// was, every byte and its size, whether the new picture is longer or
// shorter: a disk that fills half-way, a flush that fails, a file system
// that reserves the space by writing zeros and runs out meanwhile, the
// process's file size limit.
int FailingFsyncAlways(int) {
  errno = EIO;
  return -1;
}
// A file system without a call to reserve space, where the C library
// writes a zero into each block up to the size instead, and the disk fills
// two thirds of the way.
int ReserveByZerosUntilFull(int fd, off_t size) {
  struct stat st {};
  ::fstat(fd, &st);
  for (off_t at = st.st_size; at < size * 2 / 3; at += 512)
    if (::pwrite(fd, "", 1, at) != 1)
      return errno;
  return ENOSPC;
}

TEST_F(WholeFileWrite, AFileOfTwoNamesThatCannotBeUpdatedKeepsItsBytesAndSize) {
  enum class Fault { DiskFillsHalfWay, FlushFails, ReservingFills, FileSizeLimit };
  struct Case {
    const char *what;
    Fault fault;
    int error;
  };
  const std::string target = Path("code.png"), other = Path("same-file.png");
  for (const Case &c : {Case{"disk fills half-way", Fault::DiskFillsHalfWay, ENOSPC},
                        Case{"flush fails", Fault::FlushFails, EIO},
                        Case{"reserving fills the disk", Fault::ReservingFills, ENOSPC},
                        Case{"file size limit", Fault::FileSizeLimit, EFBIG}}) {
    for (const std::size_t oldSize : {std::size_t(245), std::size_t(30000)}) {
      SCOPED_TRACE(std::string(c.what) + ", old file of " + std::to_string(oldSize));
      // Longer than the old file, or shorter: a failure must neither leave
      // it grown nor cut its end.
      const std::string old = Varied(oldSize, 3);
      const std::string picture = Varied(oldSize == 245 ? 10240 : 10000, 4);
      if (c.fault == Fault::ReservingFills && picture.size() < old.size())
        continue; // nothing to reserve
      Put(target, old, 0640);
      ASSERT_EQ(::link(target.c_str(), other.c_str()), 0);
      FileWriterCalls calls = RealFileWriterCalls();
      if (c.fault == Fault::DiskFillsHalfWay)
        calls.write = test::WriteUntilDiskFull;
      if (c.fault == Fault::FlushFails)
        calls.fsync = FailingFsyncAlways;
      if (c.fault == Fault::ReservingFills)
        calls.reserve = ReserveByZerosUntilFull;
      const int status = InChild(
          [&] {
            if (c.fault == Fault::FileSizeLimit) {
              // Below either picture: the write reaches the limit part-way.
              std::signal(SIGXFSZ, SIG_IGN);
              const rlimit limit{8192, 8192};
              ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            SetFileWriterCallsForTesting(&calls);
            const WriteResult result = WriteWholeFile(target, picture);
            return result ? 0 : result.error;
          },
          false);
      EXPECT_EQ(status, c.error);
      EXPECT_EQ(Lstat(target).st_size, static_cast<off_t>(old.size()));
      EXPECT_EQ(FirstDifference(Read(target), old), "same");
      EXPECT_EQ(Lstat(target).st_nlink, 2u);
      EXPECT_EQ(Entries(), (QStringList{"code.png", "same-file.png"}));
      ::unlink(other.c_str());
    }
  }
}

// The same on a disk that is really full: a small file system of the
// test's own, in a mount namespace of a child process.
TEST_F(WholeFileWrite, AFileOfTwoNamesOnAFullDiskKeepsItsBytesAndSize) {
  const std::string disk = Path("disk");
  ASSERT_EQ(::mkdir(disk.c_str(), 0755), 0);
  const std::string target = disk + "/code.png", other = disk + "/same-file.png";
  const std::string old = Varied(245, 5), picture = Varied(10240, 6);
  enum { kFine, kWritten, kOtherError, kSizeChanged, kBytesChanged, kNoMount = 77 };
  const int status = InChild(
      [&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
          return int(kNoMount);
        Put(target, old);
        if (::link(target.c_str(), other.c_str()) != 0)
          return int(kNoMount);
        // Fill every block that is left.
        const int fill = ::open((disk + "/fill").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const std::string block(4096, 'f');
        while (::write(fill, block.data(), block.size()) > 0) {
        }
        while (::write(fill, block.data(), 1) > 0) {
        }
        ::close(fill);
        const WriteResult result = WriteWholeFile(target, picture);
        if (result)
          return int(kWritten);
        if (result.error != ENOSPC)
          return int(kOtherError);
        if (Lstat(target).st_size != static_cast<off_t>(old.size()))
          return int(kSizeChanged);
        return Read(other) == old ? int(kFine) : int(kBytesChanged);
      },
      false);
  if (status == kNoMount)
    GTEST_SKIP() << "cannot mount a small file system here";
  EXPECT_EQ(status, kFine);
}

// Ctrl-C (SIGINT), a termination or a hang-up while a file of two names is
// updated in place: the file ends whole, the new picture or the old one,
// never the new bytes followed by the old end. The signal comes to the
// writing thread itself, as in zubqr writing one file, or to the process
// while another thread is there to take it, as in a batch. The program
// still ends by that signal.
int gStopSignal = 0;
bool gToProcess = false;
ssize_t HalfThenSignal(int fd, const void *data, size_t size) {
  const ssize_t n = ::write(fd, data, size / 2 + 1);
  if (gToProcess)
    ::kill(::getpid(), gStopSignal);
  else
    ::raise(gStopSignal);
  return n;
}

TEST_F(WholeFileWrite, AnInterruptedUpdateOfAFileOfTwoNamesEndsWhole) {
  const std::string target = Path("code.png"), other = Path("same-file.png");
  const std::string old = Varied(300000, 8), picture = Varied(100000, 9);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const bool toProcess : {false, true}) {
      SCOPED_TRACE(std::string(strsignal(signal)) + (toProcess ? " to the process" : ""));
      Put(target, old);
      ASSERT_EQ(::link(target.c_str(), other.c_str()), 0);
      FileWriterCalls calls = RealFileWriterCalls();
      calls.write = HalfThenSignal;
      const int status = InChild(
          [&] {
            gStopSignal = signal;
            gToProcess = toProcess;
            if (toProcess) {
              // A thread that takes whatever signal comes, as a batch's
              // other workers would.
              std::thread([] {
                for (;;)
                  ::pause();
              }).detach();
            }
            SetFileWriterCallsForTesting(&calls);
            WriteWholeFile(target, picture);
            // The thread that took the signal ends the program once the
            // file is whole; it may not have done so yet. Ten seconds at
            // most, for a signal that was lost.
            for (int wait = 0; wait < 10000; ++wait)
              ::usleep(1000);
            return 0;
          },
          false);
      EXPECT_EQ(status, 128 + signal);
      const std::string now = Read(target);
      EXPECT_TRUE(now == old || now == picture)
          << "neither picture: " << FirstDifference(now, picture) << ", "
          << FirstDifference(now, old);
      EXPECT_EQ(Read(other), now);
      EXPECT_EQ(Entries(), (QStringList{"code.png", "same-file.png"}));
      ::unlink(other.c_str());
    }
  }
}

// A file of two names far larger than any picture (a terabyte, sparse) is
// updated without its old content being read whole: it is the picture
// after, under both names.
TEST_F(WholeFileWrite, AHugeFileOfTwoNamesIsUpdatedWithoutBeingReadWhole) {
  const std::string target = Path("huge.png"), other = Path("same-huge.png");
  Put(target, kOld);
  if (::truncate(target.c_str(), off_t(1) << 40) != 0)
    GTEST_SKIP() << "this file system holds no sparse terabyte";
  ASSERT_EQ(::link(target.c_str(), other.c_str()), 0);
  const int status = InChild([&] { return WriteWholeFile(target, kNew) ? 0 : 1; }, false);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Read(target), kNew);
  EXPECT_EQ(Read(other), kNew);
}

// In a shared folder with the sticky bit, another user's link is not
// followed (the kernel's protected-symlinks rule): it could aim the save at
// any file of the writer's. The writer's own link, and the folder owner's,
// are.
TEST_F(WholeFileWrite, ALinkPlantedInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0) {
    std::cout << "[   NOTE   ] not root: cannot make a link of another user's\n";
    return;
  }
  const std::string shared = Path("shared");
  ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  const std::string thesis = Path("thesis.txt");
  Put(thesis, kOld);
  const std::string planted = shared + "/qr.png";
  ASSERT_EQ(::symlink(thesis.c_str(), planted.c_str()), 0);
  ASSERT_EQ(::lchown(planted.c_str(), kNobody, kNobody), 0);
  const WriteResult refused = WriteWholeFile(planted, kNew);
  EXPECT_EQ(refused.failure, WriteFailure::UnsafeLink);
  EXPECT_EQ(Read(thesis), kOld);
  EXPECT_TRUE(S_ISLNK(Lstat(planted).st_mode));

  // The folder's owner's link is followed, as is the writer's own.
  ASSERT_EQ(::chown(shared.c_str(), kNobody, kNobody), 0);
  EXPECT_TRUE(WriteWholeFile(planted, kNew));
  EXPECT_EQ(Read(thesis), kNew);
  ASSERT_EQ(::chown(shared.c_str(), 0, 0), 0);
  ASSERT_EQ(::lchown(planted.c_str(), 0, 0), 0);
  EXPECT_TRUE(WriteWholeFile(planted, kOld));
  EXPECT_EQ(Read(thesis), kOld);
}

} // namespace
} // namespace zub
