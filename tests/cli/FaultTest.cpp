// zubqr when things go wrong around it: writes that fail part-way, outputs
// that are not files, messages that cannot be read or never end. Each exits
// 1 with one line, and leaves what was there as it was.
#include "CliSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

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

// A pipe or a device named as the output is written into, where it is, as
// a shell's ">" would: a reader at the other end of the pipe gets the
// picture, a device stays a device. A folder is refused. Every node here is
// the test's own; afterwards each is still what it was.
TEST_F(CliFaults, PipesAndDevicesAreWrittenIntoAndFoldersRefused) {
  const QString fifo = File("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  // A private copy of the null device, where this user may make one.
  const bool haveDevice =
      ::mknod(QFile::encodeName(File("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  if (!haveDevice)
    std::cout << "[   NOTE   ] cannot make a device node here; the device case is skipped\n";
  qputenv("FIFO", QFile::encodeName(fifo));
  qputenv("GOT", QFile::encodeName(File("got.png")));
  const QStringList before = Entries(dir.path());

  for (const char *command : {"encode", "compose"}) {
    SCOPED_TRACE(command);
    // The pipe: a reader takes what zubqr writes into it.
    QFile::remove(File("got.png"));
    Outcome r = Shell("cat \"$FIFO\" > \"$GOT\" & reader=$!; \"$ZUBQR\" \"$@\"; rc=$?; "
                      "wait $reader; exit $rc",
                      Command(command, fifo));
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(Read(File("got.png")), std::optional<QByteArray>("new"));
    QFile::remove(File("got.png"));

    if (haveDevice) {
      r = Zubqr(Command(command, File("null")));
      EXPECT_EQ(r.status, 0) << r.err.toStdString();
    }

    r = Zubqr(Command(command, File("folder")));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("a folder of that name")) << r.err.toStdString();
    EXPECT_TRUE(OneLine(r.err)) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
  }
  struct Node {
    const char *name;
    mode_t type;
  };
  for (const Node &n : {Node{"fifo", S_IFIFO}, Node{"folder", S_IFDIR}, Node{"null", S_IFCHR}}) {
    if (n.type == S_IFCHR && !haveDevice)
      continue;
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(File(n.name)).constData(), &st), 0) << n.name;
    EXPECT_EQ(st.st_mode & S_IFMT, n.type) << n.name;
  }
  EXPECT_EQ(Entries(dir.path()), before);

  // encode into a pipe, read from it: the pipeline of `-o /dev/stdout |
  // zubqr read -`, with the test's own pipe standing in for the machine's.
  const Outcome pipeline = Shell(
      "\"$ZUBQR\" read - < \"$FIFO\" & reader=$!; \"$ZUBQR\" encode piped -o \"$FIFO\" || exit 9; "
      "wait $reader");
  EXPECT_EQ(pipeline.status, 0) << pipeline.err.toStdString();
  EXPECT_EQ(pipeline.out, "piped\n");
  // And bash's process substitution, which names a pipe of its own.
  if (Shell("command -v bash").status == 0) {
    const Outcome substituted = Shell(
        "exec bash -c '\"$ZUBQR\" encode substituted -o >(cat > \"$GOT\"); rc=$?; wait; exit $rc'");
    EXPECT_EQ(substituted.status, 0) << substituted.err.toStdString();
    EXPECT_EQ(Read(File("got.png")), std::optional<QByteArray>("substituted"));
    QFile::remove(File("got.png"));
  }

  // "-o -" with standard output closed is a failed write, not a success.
  for (const char *command : {"encode", "compose"}) {
    const Outcome closed = Shell("\"$ZUBQR\" \"$@\" >&-", Command(command, "-"));
    EXPECT_EQ(closed.status, 1) << command;
    EXPECT_TRUE(closed.err.contains("cannot write standard output: it is closed"))
        << closed.err.toStdString();
  }
}

// Help and the version into a full disk (the test's own copy of the full
// device) fail with the write error, status 1.
TEST_F(CliFaults, HelpAndVersionThatCannotBeWrittenExit1) {
  const QByteArray full = QFile::encodeName(File("full"));
  if (::mknod(full.constData(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
    std::cout << "[   NOTE   ] cannot make a device node here; skipped\n";
    return;
  }
  qputenv("FULL", full);
  for (const QStringList &args :
       {QStringList{"--help"}, QStringList{"-V"}, QStringList{"--version"},
        QStringList{"encode", "--help"}, QStringList{"read", "-h"}, QStringList{"compose", "-V"}}) {
    SCOPED_TRACE(args.join(' ').toStdString());
    const Outcome r = Shell("\"$ZUBQR\" \"$@\" > \"$FULL\"", args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("cannot write standard output: No space left on device"))
        << r.err.toStdString();
    EXPECT_TRUE(OneLine(r.err)) << r.err.toStdString();
  }
  struct stat st {};
  ASSERT_EQ(::lstat(full.constData(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// A read-only disk is said to be one, not blamed on the file.
TEST_F(CliFaults, AReadOnlyDiskIsNamedAsSuch) {
  if (Shell("unshare -m sh -c 'mount -t tmpfs tmpfs /mnt'").status != 0) {
    std::cout << "[   NOTE   ] cannot mount a tmpfs here; skipped\n";
    return;
  }
  qputenv("FOLDER", QFile::encodeName(File("disk")));
  ASSERT_TRUE(QDir(dir.path()).mkdir("disk"));
  for (const char *name : {"old.png", "new.png"}) {
    SCOPED_TRACE(name);
    const Outcome r = Shell("exec unshare -m sh -c 'mount -t tmpfs tmpfs \"$FOLDER\" && "
                            "echo old > \"$FOLDER/old.png\" && "
                            "mount -o remount,ro \"$FOLDER\" && exec \"$ZUBQR\" \"$@\"' sh "
                            "\"$@\"",
                            Command("encode", File("disk/") + name));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("the disk is read-only")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("the file there")) << r.err.toStdString();
  }
}

// zubqr read: standard input is read only as far as a picture can go, so
// an endless one is refused in bounded memory; a folder is called one.
TEST_F(CliFaults, ReadRefusesEndlessInputAndNamesFolders) {
  const QString bound = kBoundMemory ? QStringLiteral("ulimit -v 1500000; ") : QString();
  struct Case {
    const char *what;
    QString script;
    const char *says;
  };
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.png"));
  qputenv("FOLDER", QFile::encodeName(File("folder.png")));
  const Case cases[] = {
      {"endless", bound + "exec \"$ZUBQR\" read - < /dev/zero",
       "standard input holds more than 256 MB"},
      {"a folder", "exec \"$ZUBQR\" read \"$FOLDER\"", "it is a folder"},
      {"a folder on standard input", "exec \"$ZUBQR\" read - < \"$FOLDER\"",
       "cannot read standard input: it is a folder"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome r = Shell(c.script, {}, 60000);
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("zubqr read: ")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    EXPECT_TRUE(OneLine(r.err)) << r.err.toStdString();
  }
}

// A terminal of the test's own, in raw mode, named by $PTS for the scripts
// the tests run: what a program writes to it is read back, as it came, from
// its other side.
class TestTerminal {
public:
  TestTerminal() = default;
  TestTerminal(const TestTerminal &) = delete;
  TestTerminal &operator=(const TestTerminal &) = delete;
  ~TestTerminal() { Close(); }

  bool Open() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
      return false;
    const QByteArray slave = ::ptsname(master_);
    held_ = ::open(slave.constData(), O_RDWR | O_NOCTTY);
    termios raw{};
    if (held_ < 0 || ::tcgetattr(held_, &raw) != 0)
      return false;
    ::cfmakeraw(&raw);
    if (::tcsetattr(held_, TCSANOW, &raw) != 0)
      return false;
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    qputenv("PTS", slave);
    return true;
  }

  // What reached the terminal since the last call.
  QByteArray Shown() {
    QByteArray shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master_, buffer, sizeof buffer)) > 0;)
      shown.append(buffer, n);
    return shown;
  }

  void Close() {
    for (int *fd : {&held_, &master_})
      if (*fd >= 0) {
        ::close(*fd);
        *fd = -1;
      }
  }

private:
  int master_ = -1;
  int held_ = -1;
};

// What a code holds reaches a terminal with its control characters shown
// as escapes: no title change, no cursor moves, one line a code. Scripts
// get the bytes as they are, with -0 a NUL after each; --bytes is hex as
// ever.
TEST_F(CliFaults, ReadShowsControlCharactersEscapedOnATerminal) {
  const QByteArray message = "a\x1b]0;owned\x07"
                             "b\r\nc\\d\x7f\xc2\x9b"
                             "2J";
  QFile input(File("message"));
  ASSERT_TRUE(input.open(QIODevice::WriteOnly));
  input.write(message);
  input.close();
  ASSERT_EQ(Zubqr({"encode", "--input", File("message"), "-o", File("code.png")}).status, 0);

  TestTerminal terminal;
  ASSERT_TRUE(terminal.Open());
  const auto onTerminal = [&](const QStringList &args) {
    const Outcome r = Shell("exec \"$ZUBQR\" \"$@\" > \"$PTS\"", args);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    return terminal.Shown();
  };
  EXPECT_EQ(onTerminal({"read", File("code.png")}),
            "a\\x1b]0;owned\\x07b\\r\\nc\\\\d\\x7f\\u009b2J\n");
  EXPECT_EQ(onTerminal({"read", "--bytes", File("code.png")}), message.toHex() + "\n");
  EXPECT_EQ(onTerminal({"read", "-0", File("code.png")}), message + QByteArray(1, '\0'));
  // The edges of C1: U+0080 and U+009F escaped, the signs after it shown.
  ASSERT_EQ(Zubqr({"encode", "\xc2\x80\xc2\x9f\xc2\xa0\xc2\xa9\xc2\xb0\xc2\xb1\xc2\xbd", "-o",
                   File("signs.png")})
                .status,
            0);
  EXPECT_EQ(onTerminal({"read", File("signs.png")}),
            "\\u0080\\u009f\xc2\xa0\xc2\xa9\xc2\xb0\xc2\xb1\xc2\xbd\n");
  terminal.Close();

  // Not a terminal: the text as it is.
  EXPECT_EQ(Zubqr({"read", File("code.png")}).out, message + "\n");
  EXPECT_EQ(Zubqr({"read", "--null", File("code.png"), File("code.png")}).out,
            message + QByteArray(1, '\0') + message + QByteArray(1, '\0'));
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

// Names in messages come from the user or from a batch file: on a terminal
// their control characters are shown escaped, as `read` shows a code's, so
// that none can retitle the window or clear the screen.
TEST_F(CliFaults, NamesInMessagesAreEscapedOnATerminal) {
  const QByteArray evil = "x\x1b]0;PWNED\x07";
  QFile jobs(File("jobs.txt"));
  ASSERT_TRUE(jobs.open(QIODevice::WriteOnly));
  jobs.write(evil + "\ttext\n");
  jobs.close();
  ASSERT_EQ(Zubqr({"encode", "hi", "-o", File("code.png")}).status, 0);

  TestTerminal terminal;
  ASSERT_TRUE(terminal.Open());
  const QString name = QString::fromUtf8(evil);
  struct Case {
    const char *what;
    QStringList args;
  };
  const Case cases[] = {
      {"a batch line's name", {"encode", "--batch", File("jobs.txt"), "-o", File("out")}},
      {"an output that cannot be written", {"encode", "hi", "-o", File("none/") + name + ".png"}},
      {"a picture that cannot be read", {"read", File("code.png"), File(evil.constData())}},
      {"a colour", {"encode", "hi", "--fg", name, "-o", File("x.png")}},
      {"an unknown option", {"encode", "hi", "--" + name, "-o", File("x.png")}},
      {"a format by the output's name", {"encode", "hi", "-o", File("x.") + name}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome r = Shell("exec \"$ZUBQR\" \"$@\" 2> \"$PTS\"", c.args);
    EXPECT_NE(r.status, 0);
    const QByteArray shown = terminal.Shown();
    EXPECT_TRUE(shown.contains("x\\x1b]0;PWNED\\x07")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("\x1b]")) << shown.toStdString();
    EXPECT_FALSE(shown.contains('\x07')) << shown.toStdString();
  }
  terminal.Close();
  EXPECT_FALSE(QFile::exists(File("out/") + name + ".png"));
}
