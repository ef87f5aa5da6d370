// What zubqr says when it fails: a usage error is two lines, what is wrong
// and where the usage is; every message is in the locale's language alone,
// the names the user typed or must type (options, files, formats) aside.
#include "CliSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

namespace zub::clitest {
namespace {

using Locale = QList<QPair<QString, QString>>;

const Locale kChinese{{QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8")}};
const Locale kEnglish{{QStringLiteral("LANG"), QStringLiteral("C")}};

QStringList Lines(const QByteArray &err) {
  return QString::fromUtf8(err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class ErrorWords : public CliScratch {
protected:
  void SetUp() override {
    CliScratch::SetUp();
    ASSERT_TRUE(Put("notes.txt", "not a picture\n"));
    ASSERT_TRUE(Put("escape.txt", "fine\nbad \\q escape\n"));
    ASSERT_TRUE(Put("clash.txt", "a\tone\na\ttwo\n"));
    ASSERT_TRUE(Put("slash.txt", "x/y\tone\n"));
    ASSERT_TRUE(Put("long.txt", QByteArray(3000, 'x') + "\n"));
    ASSERT_TRUE(Put("wifi.txt", "w\tnet\tpw\tbogus\n"));
  }
  bool Put(const char *name, const QByteArray &bytes) {
    QFile file(File(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
  }

  // Malformed command lines: the command whose --help is named (empty: the
  // program's), and a word of the first line under zh_CN and under C.
  struct UsageCase {
    QStringList args;
    const char *command;
    const char *chinese;
    const char *english;
  };
  std::vector<UsageCase> UsageCases() const {
    const QString png = File("a.png");
    return {
        {{}, "", "没有给出命令", "no command given"},
        {{"frob"}, "", "未知的命令“frob”", "unknown command 'frob'"},
        {{"encode", "--bogus", "hi", "-o", png},
         "encode",
         "未知的选项 --bogus",
         "unknown option --bogus"},
        {{"encode", "hi"}, "encode", "缺少 --output", "--output FILE is missing"},
        {{"encode", "--level", "X", "hi", "-o", png}, "encode", "--level 取", "--level takes"},
        {{"encode", "--version", "41", "hi", "-o", png},
         "encode",
         "--version 取",
         "--version takes"},
        {{"encode", "--mask", "9", "hi", "-o", png}, "encode", "--mask", "--mask"},
        {{"encode", "--eci", "x", "hi", "-o", png}, "encode", "--eci", "--eci"},
        {{"encode", "--scale", "0", "hi", "-o", png}, "encode", "--scale 取", "--scale takes"},
        {{"encode", "--margin", "101", "hi", "-o", png}, "encode", "--margin 取", "--margin takes"},
        {{"encode", "--fg", "nope", "hi", "-o", png}, "encode", "--fg 取", "--fg takes"},
        {{"encode", "--threads", "0", "hi", "-o", png},
         "encode",
         "--threads 取",
         "--threads takes"},
        {{"encode", "--format", "gif", "hi"}, "encode", "--format 取", "--format takes"},
        {{"encode", "--encoding", "latin9", "hi", "-o", png}, "encode", "--encoding", "--encoding"},
        {{"encode", "--text"}, "encode", "需要一个值", "needs a value"},
        {{"encode", "--readable=yes", "hi", "-o", png}, "encode", "不带值", "takes no value"},
        {{"encode", "hi", "-o", File("x.gif")},
         "encode",
         "无法从名称看出",
         "cannot tell the format"},
        {{"encode", "--format", "png", "--invert", "hi", "-o", png},
         "encode",
         "--invert 只用于",
         "--invert is for"},
        {{"encode", "--bg", "#ffffff00", "hi", "-o", File("a.bmp")},
         "encode",
         "透明颜色",
         "a transparent colour"},
        {{"encode", "--wifi", "net", "--tel", "1", "-o", png},
         "encode",
         "一次只能用一个",
         "at a time"},
        {{"encode", "--contact", "-o", png}, "encode", "--name", "--name"},
        {{"encode", "--geo", "north", "-o", png}, "encode", "--geo", "--geo"},
        {{"encode", "--password", "pw", "hi", "-o", png}, "encode", "--password", "--password"},
        {{"encode", "--columns", "fax", "--batch", File("wifi.txt"), "-o", File("out")},
         "encode",
         "--columns 取",
         "--columns takes"},
        {{"compose", "hi", "-o", png}, "compose", "缺少 --logo", "--logo FILE is missing"},
        {{"compose", "hi", "--logo", File("logo.png"), "-o", File("x.gif")},
         "compose",
         "只能写成 png、bmp、jpg 或 svg",
         "written as png, bmp, jpg or svg only"},
        {{"compose", "--scale", "17", "hi", "--logo", File("logo.png"), "-o", png},
         "compose",
         "--scale 取 1 到 16 倍",
         "--scale takes 1 to 16 times"},
        {{"compose", "--scale", "2", "hi", "--logo", File("logo.png"), "-o", File("x.svg")},
         "compose",
         "矢量图（svg）可任意放大",
         "a vector picture (svg) enlarges"},
        {{"compose", "--bogus", "hi", "--logo", File("logo.png"), "-o", png},
         "compose",
         "未知的选项 --bogus",
         "unknown option --bogus"},
        {{"read"}, "read", "没有要读取的图片", "no IMAGE to read"},
        {{"read", "--bogus", File("a.png")},
         "read",
         "未知的选项 --bogus",
         "unknown option --bogus"},
    };
  }

  // Whether `line` holds English words once the names in it are gone: what
  // the user gave (in quotes, or the scratch folder's files), options,
  // formats and the names of readers, fields and placeholders.
  bool HasEnglishWords(QString line) const {
    line.remove(dir.path());
    static const QRegularExpression names(QStringLiteral(
        "“[^”]*”|'[^']*'|(^|[\\s（(，、：])-{1,2}[A-Za-z][A-Za-z0-9_-]*|\\{[a-z]+\\}|"
        "[A-Za-z0-9_.-]+\\.(txt|png|bmp|jpg|gif|so)\\b|"
        "zxing-cpp|wechat_qrcode|UTF-8|Wi-Fi|#RRGGBB(AA)?"));
    line.remove(names);
    static const QRegularExpression words(QStringLiteral("[A-Za-z][A-Za-z0-9]*"));
    static const QStringList allowed = {
        "zubqr", "encode", "compose", "read", "png", "bmp", "jpg", "jpeg", "svg", "utf8", "utf8i",
        "gif", "PNG", "JPEG", "BMP", "GIF", "GBK", "ECI", "CSS", "Logo", "FILE", "TEXT", "IMAGE",
        "NAME", "KIND", "SSID", "wifi", "tel", "sms", "mail", "geo", "contact", "wpa", "wep",
        "none", "yes", "auto", "ansi", "zbar", "MECARD", "vCard", "LAT", "LON", "TAB", "NUL",
        // The columns of a batch of forms, named as the help names them.
        "password", "security", "hidden", "number", "body", "subject", "address", "latitude",
        "longitude", "name", "phone", "email", "org", "url", "note",
        // A picture's density, as print dialogs name it.
        "dpi"};
    for (auto it = words.globalMatch(line); it.hasNext();) {
      const QString word = it.next().captured();
      static const QRegularExpression threeLetters(QStringLiteral("[A-Za-z]{3}"));
      if (word.contains(threeLetters) && !allowed.contains(word))
        return true;
    }
    return false;
  }
};

bool HasChinese(const QString &text) {
  static const QRegularExpression han(QStringLiteral("[\\p{Han}，。！？：；（）“”、]"));
  return text.contains(han);
}

// Each malformed command line, in both languages: status 2, nothing on
// standard output, and on standard error exactly two lines: "zubqr
// COMMAND: " with what is wrong, then the command's --help to run.
TEST_F(ErrorWords, AUsageErrorIsTwoLines) {
  for (const UsageCase &c : UsageCases()) {
    for (bool chinese : {true, false}) {
      SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString() + (chinese ? " zh_CN" : " C"));
      const Outcome r = Zubqr(c.args, {}, chinese ? kChinese : kEnglish);
      EXPECT_EQ(r.status, 2);
      EXPECT_TRUE(r.out.isEmpty());
      const QStringList lines = Lines(r.err);
      ASSERT_EQ(lines.size(), 2) << r.err.toStdString();
      const QString who =
          *c.command ? QStringLiteral("zubqr ") + QString::fromUtf8(c.command) : "zubqr";
      EXPECT_TRUE(lines[0].startsWith(who + QStringLiteral(": "))) << lines[0].toStdString();
      EXPECT_TRUE(lines[0].contains(QString::fromUtf8(chinese ? c.chinese : c.english)))
          << lines[0].toStdString();
      EXPECT_EQ(lines[1], chinese
                              ? QStringLiteral("请运行“%1 --help”查看用法。").arg(who)
                              : QStringLiteral("Try '%1 --help' for more information.").arg(who));
      // The help it names is there, and is the command's own.
      if (chinese) {
        const Outcome help = Zubqr(who.split(QLatin1Char(' ')).mid(1) << "--help", {}, kEnglish);
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.out.startsWith("usage: " + who.toUtf8()))
            << help.out.left(80).toStdString();
      }
    }
  }
}

// Every message of a failing call under zh_CN is Chinese, the names in it
// aside; under C it is English, without a Chinese character or full-width
// mark. Option values, batch lines, files that cannot be read or written,
// a logo that is no picture and a module that is not there.
TEST_F(ErrorWords, EveryMessageIsInTheLocalesLanguage) {
  std::vector<QStringList> calls;
  for (const UsageCase &c : UsageCases())
    calls.push_back(c.args);
  const QString png = File("a.png");
  const QStringList failing[] = {
      {"encode", "hi", "-o", File("missing/a.png")},
      {"encode", "--version", "1", "--level", "H", QString(200, QLatin1Char('a')), "-o", png},
      {"encode", "--input", File("none.txt"), "-o", png},
      {"encode", "--batch", File("none.txt"), "-o", File("out")},
      {"encode", "--batch", File("escape.txt"), "-o", File("out1")},
      {"encode", "--batch", File("clash.txt"), "-o", File("out2")},
      {"encode", "--batch", File("slash.txt"), "-o", File("out3")},
      {"encode", "--batch", File("long.txt"), "-o", File("out4")},
      {"encode", "--batch", File("escape.txt"), "-o", File("notes.txt")},
      {"encode", "--columns", "wifi", "--batch", File("wifi.txt"), "-o", File("out5")},
      {"encode", "--readable", "--version", "1", "--level", "H", "--encoding", "ansi",
       QStringLiteral("中文字"), "-o", png},
      {"encode", "--fg", "#eeeeee", "hi", "-o", png},
      {"compose", "hi", "--logo", File("none.png"), "-o", png},
      {"compose", "hi", "--logo", File("notes.txt"), "-o", png},
      {"compose", "hi", "--logo", File("logo.png"), "-o", File("missing/a.png")},
      {"compose", "-v", "hi", "--logo", File("logo.png"), "-o", File("b.png")},
      {"read", File("none.png")},
      {"read", File("notes.txt")},
      {"read", "-v", File("logo.png")},
  };
  for (const QStringList &call : failing)
    calls.push_back(call);
  // Something zubqr reads back with --verbose, for the lines it adds.
  ASSERT_EQ(Zubqr({"encode", "--scale", "4", "hi", "-o", File("code.png")}).status, 0);
  calls.push_back({"read", "-v", File("code.png")});

  for (const QStringList &args : calls) {
    for (bool chinese : {true, false}) {
      SCOPED_TRACE(args.join(QLatin1Char(' ')).left(100).toStdString() +
                   (chinese ? " zh_CN" : " C"));
      const Outcome r = Zubqr(args, {}, chinese ? kChinese : kEnglish);
      EXPECT_FALSE(r.err.isEmpty());
      for (const QString &line : Lines(r.err)) {
        if (chinese) {
          EXPECT_FALSE(HasEnglishWords(line)) << line.toStdString();
        } else {
          QString unquoted = line;
          unquoted.remove(dir.path());
          EXPECT_FALSE(HasChinese(unquoted.remove(QStringLiteral("中文字")))) << line.toStdString();
        }
      }
    }
  }

  // Without its module: compose cannot start; said in the locale's words.
  for (bool chinese : {true, false}) {
    const Outcome r = Shell(
        QStringLiteral("cp \"$ZUBQR\" \"$1/zubqr\" && unset LC_ALL LC_MESSAGES LANGUAGE; "
                       "LANG=$2 \"$1/zubqr\" compose hi --logo \"$1/logo.png\" -o \"$1/m.png\""),
        {dir.path(), chinese ? "zh_CN.UTF-8" : "C"});
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    const QStringList lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 1) << r.err.toStdString();
    if (chinese)
      EXPECT_FALSE(HasEnglishWords(lines[0])) << lines[0].toStdString();
    else
      EXPECT_FALSE(HasChinese(QString(lines[0]).remove(dir.path()))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("zubqr-compose.so"))) << lines[0].toStdString();
  }
}

} // namespace
} // namespace zub::clitest
