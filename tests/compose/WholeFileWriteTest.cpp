// The file writer where a save can go wrong: failing flushes and closes,
// files of other users and with other modes, links, shared files, and a
// process stopped half-way. Where root would see no difference, the case
// runs in a child process as the unprivileged user "nobody".
#include "FileWrite.h"
#include "WriteWords.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <functional>
#include <grp.h>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
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

int OpenDescriptors() {
  return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

// Runs `job` in a child process, as nobody when `asNobody`; its result is
// the child's exit status, or 128 + the signal that ended it.
int InChild(const std::function<int()> &job, bool asNobody) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (asNobody && (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
                     ::setresuid(kNobody, kNobody, kNobody) != 0))
      ::_exit(99);
    ::_exit(job());
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
