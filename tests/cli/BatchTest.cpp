// zubqr encode/compose --batch as scripts use them, the lean start of
// `encode`, and its colours.
#include "CliSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <QFileInfo>

#include <fcntl.h>
#include <functional>
#include <iostream>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace zub::clitest;

class Batch : public ::testing::Test {
protected:
  QString File(const QString &name) const { return dir.filePath(name); }
  void Put(const QString &name, const QByteArray &bytes) {
    QFile file(File(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  QByteArray Get(const QString &path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // Every file under `folder` by name, with its bytes.
  std::map<QString, QByteArray> Files(const QString &folder) const {
    std::map<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
      files[name] = Get(QDir(folder).filePath(name));
    return files;
  }
  QTemporaryDir dir;
};

Outcome ZubqrWith(const QStringList &args, const QString &name, const QString &value,
                  const QByteArray &input = {}) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(name, value);
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(ZUBQR_PATH), args);
  p.write(input);
  p.closeWriteChannel();
  p.waitForFinished(120000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError(),
          p.readAllStandardOutput()};
}

} // namespace

TEST_F(Batch, EachLineBecomesAFileThatReadsAsItsText) {
  // Names and escapes; an empty line is no job; a CRLF line loses its CR.
  Put("jobs.txt", "first\nticket-7\tline\\tone\\nline two\r\n\nback\\\\slash\n");
  const Outcome r =
      Zubqr({"encode", "--batch", File("jobs.txt"), "--scale", "4", "-o", File("out")});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(Files(File("out")).size(), 3u);
  EXPECT_EQ(Decode(QImage(File("out/1.png")), false), "first");
  EXPECT_EQ(Decode(QImage(File("out/ticket-7.png")), false), "line\tone\nline two");
  EXPECT_EQ(Decode(QImage(File("out/4.png")), false), "back\\slash");
  // Not a terminal: the summary alone.
  EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
  EXPECT_TRUE(r.err.startsWith("zubqr encode: 3 of 3 written")) << r.err.toStdString();
}

TEST_F(Batch, PatternsNumberAndNameTheFilesInAnyFormat) {
  QByteArray jobs;
  for (int i = 1; i <= 12; ++i)
    jobs += i == 5 ? "five\tFIVE\n" : "code " + QByteArray::number(i) + "\n";
  // From standard input; {n} padded to the width of 12.
  const Outcome r =
      Zubqr({"encode", "--batch", "-", "--scale", "4", "-o", File("{n}-{name}.bmp")}, jobs);
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(Decode(QImage(File("01-01.bmp")), false), "code 1");
  EXPECT_EQ(Decode(QImage(File("05-five.bmp")), false), "FIVE");
  EXPECT_EQ(Decode(QImage(File("12-12.bmp")), false), "code 12");
  EXPECT_EQ(Get(File("01-01.bmp")).left(2), "BM");

  const Outcome svg =
      Zubqr({"encode", "--batch", "-", "--format", "svg", "-o", File("svg")}, "a\nb\n");
  ASSERT_EQ(svg.status, 0) << svg.err.toStdString();
  EXPECT_TRUE(Get(File("svg/1.svg")).startsWith("<?xml"));
  EXPECT_TRUE(Get(File("svg/2.svg")).startsWith("<?xml"));
}

TEST_F(Batch, AFailingLineIsReportedAndTheOthersAreWritten) {
  const QByteArray tooLong(3000, 'x');
  Put("jobs.txt", "good one\n" + tooLong + "\nbad/name\ttext\nbad \\q escape\ngood two\n");
  const Outcome r = Zubqr({"encode", "--batch", File("jobs.txt"), "-o", File("out/{name}.png")});
  EXPECT_EQ(r.status, 1);
  const QString err = QString::fromUtf8(r.err);
  EXPECT_TRUE(err.contains("line 2: the message (3000 bytes) does not fit")) << err.toStdString();
  EXPECT_TRUE(err.contains("line 3: the name 'bad/name' is refused")) << err.toStdString();
  EXPECT_TRUE(err.contains("line 4: unknown escape '\\q'")) << err.toStdString();
  EXPECT_TRUE(err.contains("2 of 5 written, 3 failed")) << err.toStdString();
  const auto files = Files(File("out"));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(Read(File("out/1.png")), "good one");
  EXPECT_EQ(Read(File("out/5.png")), "good two");
}

TEST_F(Batch, TwoLinesForOneFileStopTheBatchBeforeAnyWrite) {
  Put("jobs.txt", "a\tone\nb\ttwo\na\tthree\nc\tfour\n");
  const Outcome r = Zubqr({"encode", "--batch", File("jobs.txt"), "-o", File("out")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.contains("lines 1 and 3 would both write")) << r.err.toStdString();
  EXPECT_TRUE(Files(File("out")).empty());
  // So does a pattern that leaves the lines nothing to tell them apart.
  const Outcome same = Zubqr({"encode", "--batch", File("jobs.txt"), "-o", File("x{name}.png")});
  EXPECT_EQ(same.status, 1);
  EXPECT_FALSE(QFile::exists(File("xb.png")));
}

TEST_F(Batch, OutputsDoNotDependOnTheNumberOfThreads) {
  QByteArray jobs;
  for (int i = 0; i < 40; ++i)
    jobs += "https://example.com/item/" + QByteArray::number(i * 7919) + "\n";
  jobs += QByteArray(8000, '9') + "\n"; // one failure among them
  Put("jobs.txt", jobs);
  for (const char *format : {"png", "jpg", "bmp", "svg", "utf8"}) {
    SCOPED_TRACE(format);
    const QStringList args = {"encode",  "--batch", File("jobs.txt"), "--format", format,
                              "--scale", "2",       "--fg",           "darkgreen"};
    const QString one = File(QStringLiteral("one-") + format);
    const QString all = File(QStringLiteral("all-") + format);
    const Outcome r1 = ZubqrWith(args + QStringList{"-o", one}, "ZUBQR_THREADS", "1");
    const Outcome r2 = Zubqr(args + QStringList{"--threads", "8", "-o", all});
    EXPECT_EQ(r1.status, 1);
    EXPECT_EQ(r2.status, 1);
    const auto a = Files(one), b = Files(all);
    EXPECT_EQ(a.size(), 40u);
    EXPECT_TRUE(a == b);
    // The reports come in line order whatever thread finished first.
    EXPECT_EQ(r1.err.left(r1.err.lastIndexOf("41 written")),
              r2.err.left(r2.err.lastIndexOf("41 written")));
  }
}

TEST_F(Batch, ComposeWritesWhatSingleCallsWrite) {
  QImage logo(96, 96, QImage::Format_RGB32);
  logo.fill(Qt::white);
  QPainter painter(&logo);
  painter.setBrush(QColor(200, 30, 30));
  painter.drawEllipse(8, 8, 80, 80);
  painter.end();
  ASSERT_TRUE(logo.save(File("logo.png")));
  Put("jobs.txt", "first text\nticket\thttps://example.com/t/42\n");
  const Outcome r = Zubqr({"compose", "--batch", File("jobs.txt"), "--logo", File("logo.png"), "-o",
                           File("out/{name}.png")});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  for (const auto &[name, text] :
       {std::pair{"1.png", "first text"}, std::pair{"ticket.png", "https://example.com/t/42"}}) {
    const QString single = File(QStringLiteral("single-") + name);
    const Outcome s = Zubqr({"compose", text, "--logo", File("logo.png"), "-o", single});
    ASSERT_EQ(s.status, 0) << s.err.toStdString();
    EXPECT_EQ(Get(File(QStringLiteral("out/") + name)), Get(single)) << name;
  }
}

TEST_F(Batch, BatchAsksForFilesNotATextOrStandardOutput) {
  for (const QStringList &args :
       {QStringList{"encode", "--batch", "-", "TEXT", "-o", "x"},
        QStringList{"encode", "--batch", "-", "-o", "-"},
        QStringList{"compose", "--batch", "-", "--text", "t", "--logo", "l", "-o", "x"}}) {
    const Outcome r = Zubqr(args);
    EXPECT_EQ(r.status, 2) << args.join(' ').toStdString() << r.err.toStdString();
  }
  Put("file", "x");
  const Outcome notFolder = Zubqr({"encode", "--batch", "-", "-o", File("file")}, "a\n");
  EXPECT_EQ(notFolder.status, 1);
  EXPECT_EQ(Get(File("file")), "x");
}

TEST_F(Batch, EncodeLoadsNoToolkitAndComposeDoes) {
  // The dynamic loader names every library it maps, dlopen's included.
  for (const char *format : {"png", "bmp", "jpg", "svg", "utf8", "utf8i"}) {
    const Outcome lean =
        ZubqrWith({"encode", "lean", "--format", format, "--fg", "navy", "-o", File("a")},
                  "LD_DEBUG", "files");
    ASSERT_EQ(lean.status, 0) << format;
    EXPECT_TRUE(lean.err.contains("libpng")) << "the loader said nothing";
    EXPECT_FALSE(lean.err.contains("libQt6")) << format << lean.err.toStdString();
    EXPECT_FALSE(lean.err.contains("ZXing")) << format << lean.err.toStdString();
    EXPECT_FALSE(lean.err.contains("zubqr-compose")) << format << lean.err.toStdString();
  }
  for (const char *arg : {"-V", "--help"}) {
    const Outcome answer = ZubqrWith({arg}, "LD_DEBUG", "files");
    EXPECT_EQ(answer.status, 0);
    EXPECT_FALSE(answer.err.contains("libQt6")) << arg;
  }
  ASSERT_EQ(Zubqr({"encode", "lean", "-o", File("a.png")}).status, 0);

  const Outcome read = ZubqrWith({"read", File("a.png")}, "LD_DEBUG", "files");
  EXPECT_EQ(read.status, 0) << read.err.toStdString();
  EXPECT_TRUE(read.err.contains("libQt6Gui"));
  EXPECT_TRUE(read.out.contains("lean"));
}

TEST_F(Batch, EveryFormatTakesTheColours) {
  const QStringList colours = {"--fg", "#102080", "--bg", "lightyellow", "--scale", "4"};
  for (const char *name : {"c.png", "c.bmp", "c.jpg"}) {
    const Outcome r = Zubqr(QStringList{"encode", "colour", "-o", File(name)} + colours);
    ASSERT_EQ(r.status, 0) << name << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    const QImage image(File(name));
    const QColor dark = image.pixelColor(4 * 4 + 1, 4 * 4 + 1); // inside the finder's corner
    const QColor light = image.pixelColor(1, 1);
    const int slack = QByteArray(name).endsWith("jpg") ? 6 : 0;
    EXPECT_NEAR(dark.red(), 0x10, slack) << name;
    EXPECT_NEAR(dark.blue(), 0x80, slack) << name;
    EXPECT_NEAR(light.red(), 0xff, slack) << name;
    EXPECT_NEAR(light.blue(), 0xe0, slack) << name;
    EXPECT_EQ(Decode(image, false), "colour") << name;
  }
  const Outcome svg = Zubqr(QStringList{"encode", "colour", "-o", File("c.svg")} + colours);
  ASSERT_EQ(svg.status, 0);
  const QByteArray text = Get(File("c.svg"));
  EXPECT_TRUE(text.contains("fill=\"#ffffe0\"") && text.contains("fill=\"#102080\""))
      << text.data();

  const Outcome utf8 = Zubqr(QStringList{"encode", "colour", "--format", "utf8"} + colours);
  ASSERT_EQ(utf8.status, 0);
  EXPECT_TRUE(utf8.out.startsWith("\x1b[38;2;255;255;224m\x1b[48;2;16;32;128m"));

  // Transparency: PNG keeps it, SVG says it, the others refuse it.
  const Outcome png = Zubqr({"encode", "glass", "-o", File("t.png"), "--bg", "#ffffff00"});
  ASSERT_EQ(png.status, 0) << png.err.toStdString();
  EXPECT_EQ(QImage(File("t.png")).pixelColor(0, 0).alpha(), 0);
  const Outcome svgAlpha = Zubqr({"encode", "glass", "-o", File("t.svg"), "--fg", "#00000080"});
  ASSERT_EQ(svgAlpha.status, 0);
  EXPECT_TRUE(Get(File("t.svg")).contains("fill-opacity=\"0.502\""));
  const Outcome bmp = Zubqr({"encode", "glass", "-o", File("t.bmp"), "--bg", "#ffffff00"});
  EXPECT_EQ(bmp.status, 2);
  EXPECT_FALSE(QFile::exists(File("t.bmp")));
}

TEST_F(Batch, PoorColoursWarnAndReadableRefusesThem) {
  struct Case {
    QStringList colours;
    const char *word;
  };
  const Case cases[] = {{{"--fg", "#aaaaaa"}, "contrast"},
                        {{"--fg", "white", "--bg", "black"}, "inverted"},
                        {{"--fg", "yellow", "--bg", "lightyellow"}, "contrast"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.colours.join(' ').toStdString());
    const Outcome warned = Zubqr(QStringList{"encode", "poor", "-o", File("w.png")} + c.colours);
    EXPECT_EQ(warned.status, 0);
    EXPECT_TRUE(warned.err.contains("warning")) << warned.err.toStdString();
    EXPECT_TRUE(warned.err.contains(c.word)) << warned.err.toStdString();
    EXPECT_TRUE(QFile::exists(File("w.png")));

    const Outcome refused =
        Zubqr(QStringList{"encode", "poor", "--readable", "-o", File("r.png")} + c.colours);
    EXPECT_EQ(refused.status, 3);
    EXPECT_FALSE(QFile::exists(File("r.png")));
  }
}

TEST_F(Batch, InvertedTerminalTextIsForLightGrounds) {
  const Outcome dark = Zubqr({"encode", "HI", "--format", "utf8", "--margin", "0"});
  const Outcome light = Zubqr({"encode", "HI", "--format", "utf8i", "--margin", "0"});
  const Outcome flag = Zubqr({"encode", "HI", "--invert", "--margin", "0"});
  ASSERT_EQ(dark.status, 0);
  ASSERT_EQ(light.status, 0);
  EXPECT_EQ(light.out, flag.out);
  EXPECT_NE(light.out, dark.out);
  // The top-left finder's dark outer row is drawn when inverted, not otherwise.
  EXPECT_TRUE(light.out.startsWith("\u2588\u2580\u2580\u2580\u2580\u2580\u2588"));
  EXPECT_TRUE(dark.out.startsWith(" \u2584\u2584\u2584\u2584\u2584 "));
  EXPECT_EQ(Zubqr({"encode", "HI", "--invert", "-o", File("x.png"), "--format", "png"}).status, 2);
}

TEST_F(Batch, ATerminalSeesTheProgressAndAPipeOnlyTheSummary) {
  QByteArray jobs;
  for (int i = 0; i < 30; ++i)
    jobs += "progress " + QByteArray::number(i) + "\n";
  Put("jobs.txt", jobs);
  // script(1) gives zubqr a terminal; what it shows comes back on standard
  // output, and its own record stays in the test's folder.
  const Outcome shown = Shell("script -qec \"$ZUBQR encode --batch '$1' -o '$2'\" \"$3\"",
                              {File("jobs.txt"), File("tty"), File("typescript")});
  ASSERT_EQ(shown.status, 0) << shown.err.toStdString() << shown.out.toStdString();
  EXPECT_TRUE(shown.out.contains("\r[")) << shown.out.toStdString();
  EXPECT_TRUE(shown.out.contains("/s")) << shown.out.toStdString();
  EXPECT_TRUE(shown.out.contains("30 of 30 written")) << shown.out.toStdString();
  const Outcome piped = Zubqr({"encode", "--batch", File("jobs.txt"), "-o", File("pipe")});
  EXPECT_FALSE(piped.err.contains("\r")) << piped.err.toStdString();
  EXPECT_FALSE(piped.err.contains("/s")) << piped.err.toStdString();
}

TEST_F(Batch, WithoutItsModuleEncodeWorksAndTheRestSaysWhy) {
  // The program alone, with no zubqr-compose.so beside it or under lib/.
  ASSERT_TRUE(QDir(dir.path()).mkpath("bin"));
  const QString alone = File("bin/zubqr");
  ASSERT_TRUE(QFile::copy(QStringLiteral(ZUBQR_PATH), alone));
  QProcess p;
  p.start(alone, {"encode", "alone", "--scale", "4", "-o", File("a.png")});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  EXPECT_EQ(Decode(QImage(File("a.png")), false), "alone");
  for (const QStringList &args :
       {QStringList{"read", File("a.png")},
        QStringList{"encode", "x", "--readable", "-o", File("r.png")},
        QStringList{"compose", "x", "--logo", File("a.png"), "-o", File("c.png")}}) {
    p.start(alone, args);
    ASSERT_TRUE(p.waitForFinished(60000));
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 1) << args.join(' ').toStdString() << err.toStdString();
    EXPECT_TRUE(err.contains("cannot load the composition module")) << err.toStdString();
    EXPECT_TRUE(err.contains("zubqr-compose.so")) << err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(File("r.png")));
  EXPECT_FALSE(QFile::exists(File("c.png")));
}

TEST_F(Batch, AnInterruptedBatchLeavesNoTemporaryFiles) {
  // Large bitmaps (41 MB each) on two threads: most of the time a temporary
  // file is being written when the signal comes.
  QByteArray jobs;
  for (int i = 0; i < 12; ++i)
    jobs += "large " + QByteArray::number(i) + "\n";
  Put("jobs.txt", jobs);
  int interrupted = 0;
  for (const int delayMs : {250, 500, 800}) {
    // Not SIGINT: a shell starts background commands with it ignored.
    for (const char *signal : {"TERM", "HUP"}) {
      SCOPED_TRACE(std::string(signal) + " after " + std::to_string(delayMs) + " ms");
      const QString out = File(QStringLiteral("out-%1-%2").arg(signal).arg(delayMs));
      const Outcome r = Shell(QStringLiteral("\"$ZUBQR\" encode --batch \"$1\" --version 40 "
                                             "--scale 20 --format bmp --threads 2 -o \"$2\" & "
                                             "sleep %1; kill -%2 $!; wait $!")
                                  .arg(delayMs / 1000.0)
                                  .arg(QString::fromLatin1(signal)),
                              {File("jobs.txt"), out});
      interrupted += r.status > 128;
      for (const QString &name : QDir(out).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(name.endsWith(".tmp")) << name.toStdString();
    }
  }
  EXPECT_GT(interrupted, 0) << "no run was interrupted: the batch ended too soon";
}

namespace {

// The user another user's files belong to in these tests.
constexpr uid_t kOtherUser = 65534;

// A shell script run as Shell runs it, with the peak memory of the process
// it ran (itself and every program it waited for) in kB.
struct Measured {
  Outcome outcome;
  long peakKb = 0;
};

Measured MeasuredShell(const QString &script, const QStringList &args, const QString &errFile) {
  QByteArrayList words = {"sh", "-c", script.toUtf8(), "sh"};
  for (const QString &arg : args)
    words += arg.toUtf8();
  std::vector<char *> argv;
  for (QByteArray &word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ZUBQR"), QStringLiteral(ZUBQR_PATH));
  for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
    env.remove(QString::fromLatin1(name));
  env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
  QByteArrayList pairs;
  for (const QString &pair : env.toStringList())
    pairs += pair.toUtf8();
  std::vector<char *> envp;
  for (QByteArray &pair : pairs)
    envp.push_back(pair.data());
  envp.push_back(nullptr);
  const QByteArray errPath = QFile::encodeName(errFile);
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    const int err = ::open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::execve("/bin/sh", argv.data(), envp.data());
    ::_exit(127);
  }
  Measured measured;
  int status = 0;
  rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
    return measured;
  measured.outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  measured.peakKb = usage.ru_maxrss;
  QFile err(errFile);
  if (err.open(QIODevice::ReadOnly))
    measured.outcome.err = err.readAll();
  return measured;
}

} // namespace

// Two lines that reach one file, as two equal names do, stop the batch
// before anything is written: two hard links of one file, or a link to the
// other line's file, there already or not yet. Whatever the threads do.
TEST_F(Batch, LinesReachingOneFileByLinksStopTheBatchBeforeAnyWrite) {
  Put("jobs.txt", "a\tone\nb\ttwo\nc\tthree\n");
  struct Case {
    const char *what;
    std::function<bool(const QString &folder)> setUp;
  };
  const auto old = [](const QString &path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("old") == 3;
  };
  const Case cases[] = {
      {"two hard links of one file",
       [&](const QString &out) {
         return old(out + "/a.png") &&
                ::link(QFile::encodeName(out + "/a.png"), QFile::encodeName(out + "/b.png")) == 0;
       }},
      {"a link to the other line's file",
       [&](const QString &out) {
         return old(out + "/a.png") && QFile::link("a.png", out + "/b.png");
       }},
      {"a link to the other line's file, not made yet",
       [&](const QString &out) { return QFile::link("a.png", out + "/b.png"); }},
      {"a link to a link to the other line's file",
       [&](const QString &out) {
         return old(out + "/c.png") && QFile::link("c.png", out + "/x.png") &&
                QFile::link("x.png", out + "/a.png");
       }},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const QString out = File(QStringLiteral("out%1").arg(n++));
    ASSERT_TRUE(QDir().mkpath(out));
    ASSERT_TRUE(c.setUp(out));
    const auto before = Files(out);
    const QStringList links = QDir(out).entryList(QDir::System | QDir::Files, QDir::Name);
    for (const char *threads : {"1", "8"}) {
      const Outcome r =
          Zubqr({"encode", "--batch", File("jobs.txt"), "--threads", threads, "-o", out});
      EXPECT_EQ(r.status, 1) << r.err.toStdString();
      EXPECT_TRUE(r.err.contains("would both write")) << r.err.toStdString();
      EXPECT_TRUE(r.err.contains("nothing was written")) << r.err.toStdString();
      EXPECT_TRUE(Files(out) == before);
      EXPECT_EQ(QDir(out).entryList(QDir::System | QDir::Files, QDir::Name), links);
    }
  }
}

// A line named "-" is a file called "-", not standard output.
TEST_F(Batch, ANameFromABatchIsAlwaysAFile) {
  Put("jobs.txt", "-\tdash\n");
  const Outcome r =
      Shell("cd \"$1\" && exec \"$ZUBQR\" encode --batch jobs.txt -o '{name}'", {dir.path()});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.isEmpty());
  EXPECT_EQ(Read(File("-")), "dash");
}

// A batch holds a few numbers a line, not the line: a million lines, and
// 256 MB of short ones (the most a batch may be) in 3 GB of address space.
TEST_F(Batch, MemoryDoesNotGrowWithTheLines) {
  const int lines = kSanitized ? 100000 : 1000000;
  const QString many = QString::number(lines);
  {
    QFile named(File("named.txt")), failing(File("failing.txt"));
    ASSERT_TRUE(named.open(QIODevice::WriteOnly) && failing.open(QIODevice::WriteOnly));
    for (int i = 1; i <= lines; ++i) {
      const QByteArray url = "https://example.com/item/" + QByteArray::number(i) + "\n";
      named.write("n" + QByteArray::number(i) + "\t" + url);
      failing.write(url);
    }
    named.write("n1\tagain\n");
  }
  struct Case {
    const char *what;
    QString script;
    QString says;
    bool bounded; // also under an address-space limit
  };
  std::vector<Case> cases = {
      {"a million named lines, the last with the first one's name",
       "exec \"$ZUBQR\" encode --batch \"$1\" -o \"$2\"",
       QStringLiteral("lines 1 and %1 would both write").arg(lines + 1), false},
      {"the same from a pipe", "cat \"$1\" | \"$ZUBQR\" encode --batch - -o \"$2\"",
       QStringLiteral("lines 1 and %1 would both write").arg(lines + 1), false},
      {"a million lines, each failing in its turn",
       "\"$ZUBQR\" encode --batch \"$3\" --version 1 --level H -o \"$2\" 2>\"$4\"; s=$?; "
       "tail -n 1 \"$4\" >&2; rm -f \"$4\"; exit $s",
       QStringLiteral("0 of %1 written, %1 failed").arg(many), false},
  };
  if (!kSanitized) {
    // Lines that fail cheaply, and two that stop the batch at once: the
    // time goes into reading them, the memory into what is kept of them.
    QFile big(File("big.txt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write("x\tclash\n");
    const QByteArray block = QByteArray("\\q\n").repeated(1 << 20);
    while (big.size() + block.size() + 8 <= (qint64{256} << 20))
      big.write(block);
    big.write("x\tclash\n");
    big.close();
    cases.push_back({"256 MB of short lines in 3 GB",
                     "ulimit -v 3145728; exec \"$ZUBQR\" encode --batch \"$5\" -o \"$2\"",
                     QStringLiteral("would both write"), true});
  }
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const Measured m = MeasuredShell(
        c.script,
        {File("named.txt"), File("out"), File("failing.txt"), File("tail.txt"), File("big.txt")},
        File("err.txt"));
    EXPECT_EQ(m.outcome.status, 1) << m.outcome.err.right(2000).toStdString();
    EXPECT_TRUE(QString::fromUtf8(m.outcome.err).contains(c.says))
        << m.outcome.err.right(2000).toStdString();
    EXPECT_TRUE(Files(File("out")).empty());
    if (!kSanitized) {
      EXPECT_LT(m.peakKb, 100 * 1024) << "kB at the peak";
    }
    std::cout << c.what << ": " << m.peakKb << " kB at the peak\n";
  }
}

// zubqr runs its module's code as the user: a module another user put
// beside it, or could change, is not loaded, and says so.
TEST_F(Batch, AModuleOthersCouldChangeIsNotLoaded) {
  ASSERT_EQ(Zubqr({"encode", "trusted", "--scale", "4", "-o", File("code.png")}).status, 0);
  const bool root = ::geteuid() == 0;
  struct Case {
    const char *what;
    mode_t folderMode, moduleMode;
    bool othersModule; // the module belongs to another user
    bool loads;
  };
  const Case cases[] = {
      {"beside a copy in a shared sticky folder", 01777, 0755, false, false},
      {"put beside a copy in a shared sticky folder by another user", 01777, 0755, true, false},
      {"in a folder of the user's that everyone may write", 0777, 0755, false, false},
      {"in a folder of the user's that the group may write", 0775, 0755, false, false},
      {"in a folder of the user's, writable by everyone itself", 0755, 0666, false, false},
      {"in a folder of the user's, another user's module", 0755, 0755, true, false},
      {"in a folder of the user's own", 0755, 0755, false, true},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    if (c.othersModule && !root) {
      std::cout << "skipped (giving a file to another user needs root): " << c.what << "\n";
      continue;
    }
    const QString folder = File(QStringLiteral("place%1").arg(n++));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + "/zubqr", module = folder + "/zubqr-compose.so";
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZUBQR_PATH), program));
    ASSERT_TRUE(QFile::copy(
        QFileInfo(QStringLiteral(ZUBQR_PATH)).dir().filePath("zubqr-compose.so"), module));
    ASSERT_EQ(::chmod(QFile::encodeName(module).constData(), c.moduleMode), 0);
    if (c.othersModule) {
      ASSERT_EQ(::chown(QFile::encodeName(module).constData(), kOtherUser, kOtherUser), 0);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), c.folderMode), 0);
    QProcess p;
    p.start(program, {"read", File("code.png")});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QByteArray err = p.readAllStandardError();
    if (c.loads) {
      EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
      EXPECT_EQ(p.readAllStandardOutput(), "trusted\n");
    } else {
      EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
      EXPECT_TRUE(err.contains("is not trusted")) << err.toStdString();
      EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    }
  }
}
