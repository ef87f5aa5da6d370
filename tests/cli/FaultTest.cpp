// zubqr when things go wrong around it: writes that fail part-way, outputs
// that are not files, messages that cannot be read or never end. Each exits
// 1 with one line, and leaves what was there as it was.
#include "CliSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <iostream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

using namespace zub::clitest;

// A memory bound for zubqr where the sanitizers do not reserve address
// space of their own.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kBoundMemory = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kBoundMemory = false;
#else
constexpr bool kBoundMemory = true;
#endif
#else
constexpr bool kBoundMemory = true;
#endif

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList Entries(const QString &folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

bool OneLine(const QByteArray &err) {
  return err.endsWith('\n') && err.count('\n') == 1;
}

class CliFaults : public ::testing::Test {
protected:
  void SetUp() override {
    QImage logo(64, 48, QImage::Format_RGB32);
    logo.fill(QColor(200, 40, 40));
    ASSERT_TRUE(logo.save(File("logo.png")));
  }
  QString File(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }
  QStringList Command(const QString &which, const QString &output) const {
    QStringList args = {which, "--version", "10", "--text", "new", "--output", output};
    if (which == QLatin1String("compose"))
      args += {"--logo", File("logo.png")};
    return args;
  }
  QTemporaryDir dir;
};

TEST_F(CliFaults, AWriteThatFailsPartWayExits1AndKeepsTheOldFile) {
  // Both faults cut every write here short: the smallest output, a version
  // 10 PNG, takes over 800 bytes, the file size limit is one block of 512,
  // and the full 16 kB disk holds only the old file. Both sizes lie within
  // what a buffered writer would keep to itself until the end.
  const QString fileSizeLimit = QStringLiteral("trap '' XFSZ; ulimit -f 1; exec \"$ZUBQR\" \"$@\"");
  const QString fullDisk = QStringLiteral(
      "d=\"$FOLDER\"; mount -t tmpfs -o size=16k tmpfs \"$d\" || exit 99; "
      "cp \"$OLD\" \"$d/$NAME\"; head -c 1M /dev/zero > \"$d/fill\" 2>/dev/null; "
      "\"$ZUBQR\" \"$@\"; rc=$?; rm -f \"$d/fill\"; cp -a \"$d/.\" \"$KEEP/\"; exit $rc");
  const bool canMount = Shell("unshare -m sh -c 'mount -t tmpfs tmpfs /mnt'").status == 0;
  if (!canMount)
    std::cout << "[   NOTE   ] cannot mount a tmpfs here; the file size limit stands in\n";

  const QByteArray old = QByteArray("an earlier code, kept whole\n").repeated(100);
  struct Case {
    const char *command;
    const char *name;
    bool diskFull;
  };
  for (const Case &c : {Case{"encode", "out.bmp", false}, Case{"encode", "out.png", false},
                        Case{"compose", "out.bmp", false}, Case{"compose", "out.png", false},
                        Case{"encode", "out.bmp", true}, Case{"encode", "out.png", true},
                        Case{"compose", "out.png", true}}) {
    SCOPED_TRACE(std::string(c.command) + " " + c.name + (c.diskFull ? " full disk" : " ulimit"));
    if (c.diskFull && !canMount)
      continue;
    QTemporaryDir here;
    const QString folder = here.filePath("disk"), keep = here.filePath("kept");
    ASSERT_TRUE(QDir().mkpath(folder) && QDir().mkpath(keep));
    const QString target = folder + "/" + c.name, kept = here.filePath("old");
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(old);
    file.close();
    if (!c.diskFull) {
      ASSERT_TRUE(QFile::copy(kept, target));
    }

    Outcome r;
    if (c.diskFull) {
      qputenv("FOLDER", QFile::encodeName(folder));
      qputenv("OLD", QFile::encodeName(kept));
      qputenv("NAME", c.name);
      qputenv("KEEP", QFile::encodeName(keep));
      r = Shell("exec unshare -m sh -c '" + fullDisk + "' sh \"$@\"", Command(c.command, target));
    } else {
      r = Shell(fileSizeLimit, Command(c.command, target));
    }
    const QString seen = c.diskFull ? keep : folder;
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("zubqr " + QByteArray(c.command) + ": cannot write"))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.diskFull ? "the disk is full" : "larger than allowed"))
        << r.err.toStdString();
    EXPECT_TRUE(OneLine(r.err)) << r.err.toStdString();
    EXPECT_EQ(ReadAll(seen + "/" + c.name), old);
    EXPECT_EQ(Entries(seen), QStringList{c.name});
  }
}

TEST_F(CliFaults, OutputsThatAreNotRegularFilesAreRefused) {
  ASSERT_EQ(::mkfifo(QFile::encodeName(File("fifo")).constData(), 0644), 0);
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  // A private copy of the null device, where this user may make one.
  const bool haveDevice =
      ::mknod(QFile::encodeName(File("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  struct Case {
    QString path;
    mode_t type;
    const char *says;
  };
  std::vector<Case> cases = {
      {File("fifo"), S_IFIFO, "not a regular file"},
      {File("folder"), S_IFDIR, "a folder of that name"},
  };
  if (haveDevice)
    cases.push_back({File("null"), S_IFCHR, "not a regular file"});
  else
    std::cout << "[   NOTE   ] cannot make a device node here; the pipe stands in\n";
  const QStringList before = Entries(dir.path());
  for (const Case &c : cases) {
    for (const char *command : {"encode", "compose"}) {
      SCOPED_TRACE(c.path.toStdString() + " " + command);
      const Outcome r = Zubqr(Command(command, c.path));
      EXPECT_EQ(r.status, 1);
      EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
      EXPECT_TRUE(OneLine(r.err)) << r.err.toStdString();
      EXPECT_TRUE(r.out.isEmpty());
      struct stat st {};
      ASSERT_EQ(::lstat(QFile::encodeName(c.path).constData(), &st), 0);
      EXPECT_EQ(st.st_mode & S_IFMT, c.type);
    }
  }
  EXPECT_EQ(Entries(dir.path()), before);

  // "-o -" with standard output closed is a failed write, not a success.
  for (const char *command : {"encode", "compose"}) {
    const Outcome r = Shell("\"$ZUBQR\" \"$@\" >&-", Command(command, "-"));
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_TRUE(r.err.contains("cannot write standard output: it is closed"))
        << r.err.toStdString();
  }
}

TEST_F(CliFaults, AMessageThatCannotBeReadExits1AndWritesNothing) {
  const QString out = File("never.png");
  struct Case {
    const char *what;
    QString script;
    const char *says;
  };
  const Case cases[] = {
      {"--input a folder", "\"$ZUBQR\" \"$@\" --input \"$FOLDER\"", "cannot read '"},
      {"--input with a read error", "\"$ZUBQR\" \"$@\" --input /proc/self/mem", "cannot read '"},
      {"--input - on a folder", "\"$ZUBQR\" \"$@\" --input - < \"$FOLDER\"",
       "cannot read standard input"},
      {"text from a folder", "\"$ZUBQR\" \"$@\" < \"$FOLDER\"", "cannot read standard input"},
      {"text from a closed input", "\"$ZUBQR\" \"$@\" <&-", "cannot read standard input"},
      {"--input - closed", "\"$ZUBQR\" \"$@\" --input - <&-", "cannot read standard input"},
  };
  qputenv("FOLDER", QFile::encodeName(dir.path()));
  for (const Case &c : cases) {
    for (const char *command : {"encode", "compose"}) {
      SCOPED_TRACE(std::string(c.what) + " " + command);
      QStringList args = {command, "--output", out};
      if (QByteArray(command) == "compose")
        args += {"--logo", File("logo.png")};
      const Outcome r = Shell(c.script, args);
      EXPECT_EQ(r.status, 1) << r.err.toStdString();
      EXPECT_TRUE(r.err.startsWith("zubqr " + QByteArray(command) + ": " + c.says))
          << r.err.toStdString();
      EXPECT_TRUE(OneLine(r.err)) << r.err.toStdString();
      EXPECT_FALSE(QFile::exists(out));
    }
  }
}

// No symbol holds more than 7,089 bytes, so reading stops just past that:
// an endless input is refused at once, in little memory, and the last
// byte that can fit still does.
TEST_F(CliFaults, EndlessMessagesStopAtWhatASymbolHolds) {
  const QString out = File("out.png");
  const QString bound = kBoundMemory ? QStringLiteral("ulimit -v 1000000; ") : QString();
  struct Case {
    const char *what;
    QString script;
    int status;
  };
  const Case cases[] = {
      {"--input /dev/zero", bound + "exec \"$ZUBQR\" \"$@\" --input /dev/zero", 1},
      {"digits without end on standard input", bound + "yes 1234567890 | \"$ZUBQR\" \"$@\"", 1},
      {"--input - without end", bound + "yes | \"$ZUBQR\" \"$@\" --input -", 1},
      {"7,089 digits fit", "head -c 7089 /dev/zero | tr '\\0' 7 | \"$ZUBQR\" \"$@\" --level L", 0},
      {"7,090 do not", "head -c 7090 /dev/zero | tr '\\0' 7 | \"$ZUBQR\" \"$@\" --level L", 1},
      // Each 4-byte character becomes one "?" in GBK: 2,953 of them, 11,812
      // bytes read, fill a byte-mode symbol; one more does not fit.
      {"2,953 emoji as GBK fit",
       "yes 😀 | tr -d '\\n' | head -c 11812 | \"$ZUBQR\" \"$@\" --level L --encoding ansi", 0},
      {"2,954 do not",
       "yes 😀 | tr -d '\\n' | head -c 11816 | \"$ZUBQR\" \"$@\" --level L --encoding ansi", 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome r = Shell(c.script, {"encode", "--output", out}, 30000);
    EXPECT_EQ(r.status, c.status) << r.err.toStdString();
    EXPECT_EQ(QFile::exists(out), c.status == 0);
    if (c.status == 1) {
      EXPECT_TRUE(r.err.contains("does not fit any version")) << r.err.toStdString();
      EXPECT_TRUE(OneLine(r.err)) << r.err.toStdString();
    }
    QFile::remove(out);
  }
}

} // namespace
