// zubqr's writes where someone or something works against them: another
// user's links, pipes and files in a shared folder such as /tmp, and a
// file size limit. Each is refused or fails as a file, with a reason; none
// sends the picture elsewhere, hangs or kills the program. Also the JPEG
// quality of what zubqr writes.
#include "CliSupport.h"
#include "JpegQuality.h"
#include "OtherUsers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace zub::clitest;
using zub::test::kOtherUid;
using zub::test::kWriterUid;

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A shared folder as /tmp is (root's, everyone's to write, sticky), the
// other user's own folder "loot", and zubqr run by the writer, as in:
//   zbm$ ln -s ~zbm/loot /shared/codes
//   zbv$ zubqr encode secret -o /shared/codes/mine.png
class SharedFolderCli : public ::testing::Test {
protected:
  void SetUp() override {
    if (!zub::test::CanPlayTwoUsers())
      GTEST_SKIP() << "only root can play the writer and another user";
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0711), 0);
    MakeFolder("shared", 0, 01777);
    MakeFolder("loot", kOtherUid, 0777);
  }
  QString File(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }
  QByteArray Name(const char *name) const { return QFile::encodeName(File(name)); }
  void MakeFolder(const char *name, uid_t owner, mode_t mode) {
    ASSERT_EQ(::mkdir(Name(name).constData(), 0700), 0);
    ASSERT_TRUE(zub::test::GiveTo(Name(name).constData(), owner, mode));
  }
  void Pipe(const char *name, uid_t owner) {
    ASSERT_EQ(::mkfifo(Name(name).constData(), 0600), 0);
    ASSERT_TRUE(zub::test::GiveTo(Name(name).constData(), owner, 0666));
  }
  // zubqr run by the writer.
  Outcome ZubqrAsWriter(const QStringList &args) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("LC_ALL"));
    p.setProcessEnvironment(env);
    zub::test::StartAsUser(p, kWriterUid);
    p.start(QStringLiteral(ZUBQR_PATH), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
      p.kill();
      p.waitForFinished();
      return {-2, "timed out", {}};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError(),
            p.readAllStandardOutput()};
  }
  QTemporaryDir dir;
};

// Another user's link in the shared folder, standing for a folder or for
// the file, a link to her pipe among them, and her pipe itself: zubqr
// refuses each, alone or in a batch, says why, and writes nothing into her
// folder or her pipe. A batch line she did not plant anything under is
// written, and her pipe hangs no batch.
TEST_F(SharedFolderCli, AnotherUsersLinksAndPipesInASharedFolderAreRefused) {
  ASSERT_EQ(::symlink(Name("loot").constData(), Name("shared/codes").constData()), 0);
  ASSERT_TRUE(zub::test::GiveTo(Name("shared/codes").constData(), kOtherUid));
  Pipe("loot/fifo", kOtherUid);
  ASSERT_EQ(::symlink(Name("loot/fifo").constData(), Name("shared/code.png").constData()), 0);
  ASSERT_TRUE(zub::test::GiveTo(Name("shared/code.png").constData(), kOtherUid));
  Pipe("shared/pipe.png", kOtherUid);
  {
    QFile jobs(File("jobs.txt"));
    ASSERT_TRUE(jobs.open(QIODevice::WriteOnly));
    jobs.write("pipe\tfirst\nmine\tsecond\n");
  }
  // Her ears: were zubqr to open a pipe, it would not wait, and she would
  // hear the picture.
  const int ear = ::open(Name("loot/fifo").constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const int pipeEar =
      ::open(Name("shared/pipe.png").constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(ear, 0);
  ASSERT_GE(pipeEar, 0);

  struct Case {
    const char *what;
    QStringList args;
    const char *says;
  };
  const Case cases[] = {
      {"her link as the folder",
       {"encode", "secret", "-o", File("shared/codes/mine.png")},
       "a folder on the way is another user's symbolic link"},
      {"her link as a batch's folder",
       {"encode", "--batch", File("jobs.txt"), "-o", File("shared/codes")},
       "a folder on the way is another user's symbolic link"},
      {"her link to her pipe",
       {"encode", "secret", "-o", File("shared/code.png")},
       "another user's symbolic link"},
      {"her pipe", {"encode", "secret", "-o", File("shared/pipe.png")}, "another user's file"},
      {"her pipe in a batch",
       {"encode", "--batch", File("jobs.txt"), "-o", File("shared/{name}.png")},
       "line 1: cannot write"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome r = ZubqrAsWriter(c.args);
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
  }
  // The batch's other line went where it was meant to.
  EXPECT_EQ(Read(File("shared/mine.png")), std::optional<QByteArray>("second"));

  char heard[64];
  EXPECT_LE(::read(ear, heard, sizeof heard), 0);
  EXPECT_LE(::read(pipeEar, heard, sizeof heard), 0);
  ::close(ear);
  ::close(pipeEar);
  EXPECT_EQ(QDir(File("loot")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
            QStringList{"fifo"});
}

// Under a file size limit (ulimit -f) zubqr does not die of SIGXFSZ: a
// write past the limit fails with EFBIG, reported as a failed file; a batch
// writes its small files, reports the large one and ends with its summary.
// The window, too, outlives the limit: its only write without a display,
// the version, fails as a write.
TEST(FileSizeLimit, AWritePastTheLimitFailsAsAFileAndKillsNothing) {
  QTemporaryDir dir;
  const QString big = dir.filePath("big.bmp");
  {
    // Bitmaps of 24 bits at one pixel a module: 1,398 bytes for the first
    // line's, 26,094 for the second's, 2,606 for a version 1 code with its
    // margin.
    QFile jobs(dir.filePath("jobs.txt"));
    ASSERT_TRUE(jobs.open(QIODevice::WriteOnly));
    jobs.write("small\tA\nlarge\t" + QByteArray(600, 'x') + "\n");
  }
  struct Case {
    const char *what;
    QString program;
    QStringList args;
    QString output; // standard output goes to this file
    rlim_t limit;   // bytes
    const char *says;
  };
  const Case cases[] = {
      {"a file",
       ZUBQR_PATH,
       {"encode", "--scale", "1", "limited", "-o", big},
       {},
       2048,
       "cannot write"},
      {"standard output",
       ZUBQR_PATH,
       {"encode", "--scale", "1", "limited", "--format", "bmp", "-o", "-"},
       big,
       2048,
       "cannot write standard output"},
      {"a batch",
       ZUBQR_PATH,
       {"encode", "--scale", "1", "--margin", "0", "--format", "bmp", "--batch",
        dir.filePath("jobs.txt"), "-o", dir.filePath("out")},
       {},
       2048,
       "line 2: "},
      {"the window's version", ZUBQR_GUI_PATH, {"--version"}, big, 0, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    QProcess p;
    // SIGXFSZ as a shell leaves it unless told otherwise: ending the
    // program.
    const rlim_t limit = c.limit;
    p.setChildProcessModifier([limit] {
      std::signal(SIGXFSZ, SIG_DFL);
      const rlimit bound{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &bound);
    });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("LC_ALL"));
    p.setProcessEnvironment(env);
    if (!c.output.isEmpty())
      p.setStandardOutputFile(c.output);
    p.start(c.program, c.args);
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "ended by signal " << p.exitCode();
    EXPECT_EQ(p.exitCode(), 1);
    const QByteArray err = p.readAllStandardError();
    EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
    if (c.program == QLatin1String(ZUBQR_PATH)) {
      EXPECT_TRUE(err.contains("larger than allowed") || err.contains("File too large"))
          << err.toStdString();
    }
    QFile::remove(big);
  }
  // The batch's small file is there, whole.
  EXPECT_EQ(Read(dir.filePath("out/small.bmp")), std::optional<QByteArray>("A"));
  EXPECT_FALSE(QFile::exists(dir.filePath("out/large.bmp")));
}

// zubqr writes JPEG at quality 95: the file's quantisation tables are the
// standard ones scaled for 95.
TEST(JpegQuality, ZubqrWritesJpegAtQuality95) {
  QTemporaryDir dir;
  const QString path = dir.filePath("code.jpg");
  const Outcome r = Zubqr({"encode", "--scale", "4", "quality", "-o", path});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const QByteArray file = ReadAll(path);
  EXPECT_EQ(zub::test::JpegTableQualities(
                std::string_view(file.constData(), static_cast<std::size_t>(file.size()))),
            (std::map<int, int>{{0, 95}, {1, 95}}));
}

} // namespace
