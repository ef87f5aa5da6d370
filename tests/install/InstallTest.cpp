// The program installed under a prefix as a Linux desktop and shell expect
// it: every file in its place, accepted by desktop-file-validate and
// appstreamcli, manual pages that man renders without a warning, a bash
// completion that completes, and a window that finds its skin there.
#include "DataFiles.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <vector>

namespace {

struct Ran {
  int status = -1;
  QByteArray out, err;
};

Ran Start(const QString &program, const QStringList &args,
          const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(program, args);
  p.closeWriteChannel();
  if (!p.waitForFinished(120000))
    return {};
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
          p.readAllStandardError()};
}

class Installed : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    prefix_ = new QTemporaryDir;
    const Ran r = Start(QStringLiteral(CMAKE_COMMAND_PATH),
                        {"--install", BUILD_DIR, "--prefix", prefix_->path()});
    installed_ = r.status == 0;
    if (!installed_)
      std::cerr << r.out.toStdString() << r.err.toStdString();
  }
  static void TearDownTestSuite() {
    delete prefix_;
    prefix_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(installed_) << "cmake --install failed"; }
  static QString File(const char *relative) {
    return prefix_->filePath(QString::fromUtf8(relative));
  }

  static inline QTemporaryDir *prefix_ = nullptr;
  static inline bool installed_ = false;
};

TEST_F(Installed, EveryFileIsInItsPlace) {
  struct Case {
    const char *path;
    QSize iconSize; // for pictures
  };
  const Case cases[] = {
      {"bin/zubqr", {}},
      {"bin/zubqr-gui", {}},
      {"lib/zubqr-gui/zubqr-readers.so", {}}, // the window's readers, loaded on first use
      {"lib/zubqr-gui/zubqr-compose.so", {}}, // zubqr's toolkit part, loaded on first use
      {"lib/zubqr-gui/zubqr-wechat.so", {}},  // the WeChat engine's reader, a package of its own
      {"share/zubqr-gui/she.she", {}},
      {"share/applications/zubqr-gui.desktop", {}},
      {"share/metainfo/example.zub.zubqr_gui.metainfo.xml", {}},
      {"share/man/man1/zubqr.1.gz", {}},
      {"share/man/man1/zubqr-gui.1.gz", {}},
      {"share/man/zh_CN/man1/zubqr.1.gz", {}}, // what man shows under zh_CN
      {"share/bash-completion/completions/zubqr", {}},
      {"share/icons/hicolor/16x16/apps/zubqr-gui.png", {16, 16}},
      {"share/icons/hicolor/48x48/apps/zubqr-gui.png", {48, 48}},
      {"share/icons/hicolor/128x128/apps/zubqr-gui.png", {128, 128}},
      {"share/icons/hicolor/256x256/apps/zubqr-gui.png", {256, 256}},
      {"share/icons/hicolor/scalable/apps/zubqr-gui.svg", {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_TRUE(QFileInfo(File(c.path)).isFile());
    if (c.iconSize.isValid()) {
      EXPECT_EQ(QImageReader(File(c.path)).size(), c.iconSize);
    }
  }
  EXPECT_FALSE(QFile::exists(File("bin/she.she")));
  const Ran version = Start(File("bin/zubqr"), {"-V"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "zubqr " + QByteArray(ZUB_PROJECT_VERSION) + "\n");
  // The installed program finds its module where it was installed.
  const QString picture = File("installed.png");
  ASSERT_EQ(Start(File("bin/zubqr"), {"encode", "installed", "--scale", "4", "-o", picture}).status,
            0);
  const Ran read = Start(File("bin/zubqr"), {"read", picture});
  EXPECT_EQ(read.status, 0) << read.err.toStdString();
  EXPECT_EQ(read.out, "installed\n");
}

TEST_F(Installed, TheWindowAnswersHelpAndVersionWithoutOpening) {
  // No display at all: a window could not open, and the answer needs none.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(QString::fromUtf8(name));
  for (const char *flag : {"--version", "-V"}) {
    const Ran r = Start(File("bin/zubqr-gui"), {flag}, env);
    EXPECT_EQ(r.status, 0) << flag << r.err.toStdString();
    EXPECT_EQ(r.out, "zubqr-gui " + QByteArray(ZUB_PROJECT_VERSION) + "\n");
  }
  for (const char *flag : {"--help", "-h"}) {
    const Ran r = Start(File("bin/zubqr-gui"), {flag}, env);
    EXPECT_EQ(r.status, 0) << flag << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("usage: zubqr-gui")) << r.out.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
  }
}

TEST_F(Installed, TheDesktopsValidatorsAndManAcceptTheFiles) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LC_ALL", "C.UTF-8");
  env.insert("MANWIDTH", "80");
  struct Case {
    const char *program;
    QStringList args;
  };
  const Case cases[] = {
      {"desktop-file-validate", {File("share/applications/zubqr-gui.desktop")}},
      {"appstreamcli",
       {"validate", "--pedantic", File("share/metainfo/example.zub.zubqr_gui.metainfo.xml")}},
      {"man", {"--warnings", "-l", File("share/man/man1/zubqr.1.gz")}},
      {"man", {"--warnings", "-l", File("share/man/man1/zubqr-gui.1.gz")}},
      {"man", {"--warnings", "-l", File("share/man/zh_CN/man1/zubqr.1.gz")}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.args.last().toStdString());
    const Ran r = Start(QString::fromUtf8(c.program), c.args, env);
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    // desktop-file-validate says nothing on success; appstreamcli may add
    // notes ("I:") but no warning or error; man nothing on standard error.
    if (QByteArray(c.program) == "desktop-file-validate") {
      EXPECT_TRUE(r.out.isEmpty() && r.err.isEmpty()) << r.out.toStdString();
    }
    if (QByteArray(c.program) == "appstreamcli") {
      EXPECT_FALSE(r.out.contains("\nW:") || r.out.startsWith("W:") || r.out.contains("E:"))
          << r.out.toStdString();
    }
    if (QByteArray(c.program) == "man") {
      EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
      EXPECT_TRUE(r.out.contains("SYNOPSIS") || r.out.contains("用法"));
      if (c.args.last().endsWith(QStringLiteral("/zubqr.1.gz"))) {
        EXPECT_TRUE(r.out.contains("--wifi")) << "the forms are in each manual of zubqr";
      }
    }
  }
}

// The batch file's escapes as the user types them into the file: one
// backslash before n and t, two for a backslash itself (groff wants \e for
// each one in the source). The installed manuals, as man renders them.
TEST_F(Installed, TheManualsShowTheBatchEscapesAsTyped) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LC_ALL", "C.UTF-8");
  env.insert("MANWIDTH", "80");
  const struct {
    const char *page, *line;
  } cases[] = {
      {"share/man/man1/zubqr.1.gz",
       "In both fields \\n, \\t and \\\\ stand for a line break, a tab and a backslash"},
      {"share/man/zh_CN/man1/zubqr.1.gz", "两个字段中的 \\n、 \\t 和 \\\\"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.page);
    const Ran r = Start(QStringLiteral("man"), {"-l", File(c.page)}, env);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString page = QString::fromUtf8(r.out).simplified();
    EXPECT_TRUE(page.contains(QString::fromUtf8(c.line))) << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("\\\\n")));
  }
}

// The manuals say what becomes of the check without the WeChat engine's
// package, and the window's what a second start does.
TEST_F(Installed, TheManualsNameTheReadersPackageAndTheSecondStart) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LC_ALL", "C.UTF-8");
  env.insert("MANWIDTH", "1000");
  const struct {
    const char *page;
    std::vector<const char *> said;
  } cases[] = {
      {"share/man/man1/zubqr.1.gz",
       {"zubqr-wechat-reader; without it the check uses zxing-cpp and zbar alone"}},
      {"share/man/zh_CN/man1/zubqr.1.gz",
       {"zubqr-wechat-reader 中；没有安装它时，检查只用 zxing-cpp 和 zbar"}},
      {"share/man/man1/zubqr-gui.1.gz",
       {"Without that package the check uses zxing-cpp and zbar",
        "a second start opens no window of its own; it asks the running window to come to the "
        "front"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.page);
    const Ran r = Start(QStringLiteral("man"), {"-l", File(c.page)}, env);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString page = QString::fromUtf8(r.out).simplified();
    for (const char *said : c.said) {
      EXPECT_TRUE(page.contains(QString::fromUtf8(said))) << said << "\n" << page.toStdString();
    }
  }
}

// What a desktop's search finds the program by.
TEST_F(Installed, TheDesktopEntryIsFoundByWhatPeopleType) {
  QFile file(File("share/applications/zubqr-gui.desktop"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  std::map<QString, QString> entry;
  for (const QString &line : QString::fromUtf8(file.readAll()).split('\n'))
    if (const qsizetype eq = line.indexOf('='); eq > 0)
      entry[line.left(eq)] = line.mid(eq + 1);
  const QString keywords = entry["Keywords"], chineseKeywords = entry["Keywords[zh_CN]"];
  for (const char *word : {"二维码", "QR", "QR码", "条码", "Logo"}) {
    EXPECT_TRUE(keywords.contains(QString::fromUtf8(word))) << word;
    EXPECT_TRUE(chineseKeywords.contains(QString::fromUtf8(word))) << word;
  }
  EXPECT_FALSE(entry["GenericName"].isEmpty());
  EXPECT_EQ(entry["GenericName[zh_CN]"], QStringLiteral("二维码生成器"));
  const QStringList mainCategories = {
      "AudioVideo", "Audio",  "Video",   "Development", "Education", "Game",   "Graphics",
      "Network",    "Office", "Science", "Settings",    "System",    "Utility"};
  const QString categories = entry["Categories"];
  int main = 0;
  for (const QString &category : categories.split(';', Qt::SkipEmptyParts))
    main += mainCategories.contains(category) ? 1 : 0;
  EXPECT_EQ(main, 1) << categories.toStdString();
}

// The window finds its skin beside itself (the build tree) or, installed,
// under share/.
TEST(FindDataFile, BesideTheProgramThenUnderShare) {
  struct Case {
    bool beside, shared;
    const char *found;
  };
  for (const Case &c :
       {Case{true, true, "bin/she.she"}, Case{false, true, "share/zubqr-gui/she.she"},
        Case{true, false, "bin/she.she"}, Case{false, false, "bin/she.she"}}) {
    QTemporaryDir prefix;
    ASSERT_TRUE(QDir(prefix.path()).mkpath("bin") && QDir(prefix.path()).mkpath("share/zubqr-gui"));
    if (c.beside) {
      ASSERT_TRUE(QFile(prefix.filePath("bin/she.she")).open(QIODevice::WriteOnly));
    }
    if (c.shared) {
      ASSERT_TRUE(QFile(prefix.filePath("share/zubqr-gui/she.she")).open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(zub::FindDataFile(prefix.filePath("bin"), "she.she"),
              prefix.filePath(QString::fromUtf8(c.found)))
        << c.beside << c.shared;
  }
}

// Commands, options and their values complete.
TEST(BashCompletion, CompletesCommandsOptionsAndValues) {
  struct Case {
    const char *line; // the words typed; the last is being completed
    const char *expected;
  };
  const Case cases[] = {
      {"zubqr ", "encode compose read -h --help -V --version"},
      {"zubqr co", "compose"},
      {"zubqr encode --sc", "--scale"},
      {"zubqr encode --l", "--level"},
      {"zubqr encode --r", "--readable"},
      {"zubqr encode --b", "--batch --body --bg"},
      {"zubqr compose --b", "--batch --body"},
      {"zubqr encode --w", "--wifi"},
      {"zubqr compose --co", "--contact --columns"},
      {"zubqr encode --wifi x --security ", "wpa wep none"},
      {"zubqr encode --columns ", "wifi tel sms mail geo contact"},
      {"zubqr compose --l", "--level --logo"},
      {"zubqr read --", "--bytes --null --verbose --help"},
      {"zubqr encode -l ", "L M Q H"},
      {"zubqr encode --format ", "png bmp jpg svg utf8 utf8i"},
      {"zubqr compose --format ", "png bmp jpg svg"},
      {"zubqr compose --sc", "--scale"},
      {"zubqr encode -e ", "utf8 ansi"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    const QString script = QStringLiteral("source \"$1\"; read -ra COMP_WORDS <<< \"$2\"; "
                                          "[[ $2 == *' ' ]] && COMP_WORDS+=(''); "
                                          "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _zubqr; "
                                          "echo \"${COMPREPLY[*]}\"");
    const Ran r = Start("bash", {"-c", script, "bash", COMPLETION_PATH, c.line});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), c.expected);
  }
}

} // namespace
