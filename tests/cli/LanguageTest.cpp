// zubqr speaks its user's language: Chinese under a zh_* locale, English
// otherwise, one language a message; the plain line always, the technical
// causes with --verbose; the exit status does not depend on the language.
#include "CliSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace zub::clitest {
namespace {

using Locale = QList<QPair<QString, QString>>;

const Locale kChinese{{QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8")}};
const Locale kEnglish{{QStringLiteral("LANG"), QStringLiteral("C.UTF-8")}};

bool HasChinese(const QString &line) {
  static const QRegularExpression han(QStringLiteral("\\p{Han}"));
  return line.contains(han);
}

// English words of our own messages that have no place in a Chinese one.
bool HasEnglishWords(const QString &line) {
  static const QRegularExpression words(
      QStringLiteral("\\b(cannot|nothing|written|warning|some|phones|reader|readers|the|"
                     "shorter|logo|instead|finds|block|stretch)\\b"));
  return line.contains(words);
}

class Language : public CliScratch {};

// The messages of the scan check and of a failed write, in both languages
// and with and without --verbose: the same status, the same first line's
// meaning, one language in every line.
TEST_F(Language, EachMessageIsInTheLocalesLanguage) {
  // Fills version 40 at level L: no other version or level holds it.
  const QString longText(2900, QLatin1Char('z'));
  struct Case {
    const char *what;
    QStringList args;
    int status;
    bool written;        // the output exists afterwards
    const char *chinese; // in the first line under zh_CN
    const char *english; // in the first line under C
    bool hasCauses;      // --verbose adds lines
  } const cases[] = {
      {"a code that may not scan, written as asked",
       {"compose", QStringLiteral("中国"), "--logo", File("logo.png"), "-o", File("a.png")},
       0,
       true,
       "警告：有些",
       "warning: some",
       true},
      {"--readable changes the options",
       {"compose", "--readable", QStringLiteral("中国"), "--logo", File("logo.png"), "-o",
        File("b.png")},
       0,
       true,
       "已改用 --",
       "written with --",
       true},
      {"--readable finds nothing: compose",
       {"compose", "--readable", "--version", "40", "--level", "L", longText, "--logo",
        File("logo.png"), "-o", File("c.png")},
       3,
       false,
       "没有写出文件：",
       "nothing written: ",
       true},
      {"--readable finds nothing: encode",
       {"encode", "--readable", "--version", "1", "--level", "H", "--encoding", "ansi",
        QStringLiteral("中文字"), "-o", File("d.png")},
       3,
       false,
       "没有写出文件：",
       "nothing written: ",
       true},
      {"a file that cannot be written",
       {"encode", "hi", "-o", File("missing/e.png")},
       1,
       false,
       "无法写入“",
       "cannot write '",
       false},
  };
  for (const Case &c : cases) {
    for (bool verbose : {false, true}) {
      for (bool chinese : {true, false}) {
        SCOPED_TRACE(testing::Message()
                     << c.what << (verbose ? " --verbose" : "") << (chinese ? " zh_CN" : " C"));
        QStringList args = c.args;
        if (verbose)
          args.insert(1, QStringLiteral("--verbose"));
        QFile::remove(args.last());
        const Outcome r = Zubqr(args, {}, chinese ? kChinese : kEnglish);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_EQ(QFile::exists(args.last()), c.written);
        const QStringList lines =
            QString::fromUtf8(r.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines.first().startsWith(QStringLiteral("zubqr ")));
        EXPECT_TRUE(lines.first().contains(QString::fromUtf8(chinese ? c.chinese : c.english)))
            << r.err.toStdString();
        // One message a line; only --verbose adds the causes, indented.
        EXPECT_EQ(lines.size() > 1, verbose && c.hasCauses) << r.err.toStdString();
        for (const QString &line : lines) {
          // The file names hold no Chinese; what the user typed is not echoed.
          if (chinese) {
            EXPECT_TRUE(HasChinese(line)) << line.toStdString();
            EXPECT_FALSE(HasEnglishWords(line)) << line.toStdString();
          } else {
            EXPECT_FALSE(HasChinese(line)) << line.toStdString();
          }
        }
        if (verbose && c.hasCauses) {
          EXPECT_TRUE(r.err.contains("zbar") || r.err.contains("zxing-cpp") ||
                      r.err.contains("wechat_qrcode"))
              << r.err.toStdString();
        }
        // Nothing written is never called saveable.
        if (c.status == 3) {
          EXPECT_FALSE(r.err.contains(QStringLiteral("保存").toUtf8())) << r.err.toStdString();
          EXPECT_FALSE(r.err.contains("saved")) << r.err.toStdString();
          EXPECT_TRUE(r.err.contains(chinese ? QStringLiteral("缩短文字").toUtf8()
                                             : QByteArray("shorter text")))
              << r.err.toStdString();
          // Leaving out the logo is advised where it could help: not for
          // a text so long that every code of it has modules too small for
          // a phone, which only a shorter text mends.
          const bool tooLong = c.args.contains(longText);
          EXPECT_EQ(
              r.err.contains(chinese ? QStringLiteral("不加Logo").toUtf8() : QByteArray("no logo")),
              c.args.first() == QStringLiteral("compose") && !tooLong)
              << r.err.toStdString();
          EXPECT_EQ(r.err.contains(chinese ? QStringLiteral("点都太小").toUtf8()
                                           : QByteArray("modules too small")),
                    tooLong)
              << r.err.toStdString();
        }
      }
    }
  }
}

// The language is the one setlocale would take for messages: LC_ALL before
// LC_MESSAGES before LANG; an empty variable does not count; zh alone and
// zh_TW are Chinese too, and the locale need not be installed.
// The errors of the command line itself (usage, a message too long, a
// picture that cannot be read): the first line in the locale's language
// alone, the status the same in both.
TEST_F(Language, UsageAndInputErrorsSpeakTheLocalesLanguage) {
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
  const auto put = [this](const char *name, const QByteArray &bytes) {
    QFile file(File(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
  };
  ASSERT_TRUE(put("clash.txt", "a\tone\na\ttwo\n"));
  ASSERT_TRUE(put("jobs.txt", "one\ntwo\n"));
  ASSERT_TRUE(put("failing.txt", "one\n" + QByteArray(3000, 'x') + "\n"));
  struct Case {
    QStringList args;
    int status;
    const char *chinese;
    const char *english;
  } const cases[] = {
      {{"encode", "--level", "X", "hi", "-o", File("a.png")}, 2, "--level 取", "--level takes"},
      {{"encode", "hi"}, 2, "缺少 --output", "--output FILE is missing"},
      {{"encode", "--version", "1", "--level", "H", QString(200, QLatin1Char('a')), "-o",
        File("b.png")},
       1,
       "放不进版本1",
       "does not fit version 1 at level H"},
      {{"frob"}, 2, "未知的命令", "unknown command"},
      {{"compose", "hi", "--logo", File("none.png"), "-o", File("c.png")},
       1,
       "找不到Logo图片文件",
       "cannot find the logo file"},
      {{"read", File("none.png")}, 1, "找不到这个文件", "cannot read '"},
      {{"read", File("folder")}, 1, "这是一个文件夹", "it is a folder"},
      {{"encode", "hi", "--fg", "nope", "-o", File("d.png")}, 2, "--fg 取", "--fg takes"},
      {{"encode", "hi", "--bg", "#ffffff00", "-o", File("d.bmp")},
       2,
       "透明颜色",
       "a transparent colour"},
      {{"encode", "hi", "-o", File("d.gif")}, 2, "无法从名称看出", "cannot tell the format"},
      {{"compose", "hi", "--logo", File("logo.png"), "-o", File("d.txt")},
       2,
       "合成的图片只能写成",
       "the composite is written as png, bmp, jpg or svg only"},
      {{"encode", "hi", "--fg", "white", "--bg", "black", "-o", File("d.png")},
       0,
       "警告：二维码是反色的",
       "warning: the code is inverted"},
      {{"encode", "hi", "--fg", "#eeeeee", "--readable", "-o", File("d.png")},
       3,
       "没有写出文件：--readable 不接受",
       "nothing written: --readable refuses"},
      {{"encode", "--batch", File("none.txt"), "-o", File("out")}, 1, "无法读取", "cannot read '"},
      {{"encode", "--batch", File("clash.txt"), "-o", File("out")},
       1,
       "第1行和第2行都会写入",
       "lines 1 and 2 would both write"},
      {{"encode", "--batch", File("jobs.txt"), "-o", File("out")},
       0,
       "已写出 2 个，共 2 个",
       "2 of 2 written"},
      {{"encode", "--batch", File("failing.txt"), "-o", File("out")},
       1,
       "第2行：内容（3000字节）",
       "line 2: the message (3000 bytes)"},
  };
  for (const Case &c : cases) {
    for (bool chinese : {true, false}) {
      SCOPED_TRACE(c.args.join(QLatin1Char(' ')).left(60).toStdString() +
                   (chinese ? " zh_CN" : " C"));
      const Outcome r = Zubqr(c.args, {}, chinese ? kChinese : kEnglish);
      EXPECT_EQ(r.status, c.status) << r.err.toStdString();
      const QString first = QString::fromUtf8(r.err).section(QLatin1Char('\n'), 0, 0);
      EXPECT_TRUE(first.contains(QString::fromUtf8(chinese ? c.chinese : c.english)))
          << first.toStdString();
      EXPECT_EQ(HasChinese(first), chinese) << first.toStdString();
      if (chinese) {
        EXPECT_FALSE(HasEnglishWords(first)) << first.toStdString();
      }
    }
  }
}

TEST_F(Language, TheLocaleVariablesDecideInSetlocalesOrder) {
  const QString out = File("never/x.png");
  struct Case {
    Locale locale;
    bool chinese;
  } const cases[] = {
      {{{"LC_ALL", "C.UTF-8"}, {"LANG", "zh_CN.UTF-8"}}, false},
      {{{"LC_ALL", "zh_CN.UTF-8"}, {"LANG", "C.UTF-8"}}, true},
      {{{"LC_MESSAGES", "zh_CN.UTF-8"}, {"LANG", "en_US.UTF-8"}}, true},
      {{{"LC_MESSAGES", "en_GB.UTF-8"}, {"LANG", "zh_CN.UTF-8"}}, false},
      {{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "zh_TW.Big5"}}, true},
      {{{"LANG", "zh"}}, true},
      {{{"LANG", "zu_ZA.UTF-8"}}, false},
      {{}, false},
  };
  for (const Case &c : cases) {
    QString said;
    for (const auto &[name, value] : c.locale)
      said += name + "=" + value + " ";
    SCOPED_TRACE(said.toStdString());
    const Outcome r = Zubqr({"encode", "hi", "-o", out}, {}, c.locale);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(HasChinese(QString::fromUtf8(r.err)), c.chinese) << r.err.toStdString();
  }
}

} // namespace
} // namespace zub::clitest
