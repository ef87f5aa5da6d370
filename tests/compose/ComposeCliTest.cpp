// zubqr compose as scripts use it: the composite the library makes, the exit
// statuses, and nothing written when there is nothing to compose.
#include "Composite.h"
#include "Layout.h"
#include "LogoImage.h"
#include "MessageBytes.h"
#include "QrEncoder.h"
#include "ScanCheck.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace zub {
namespace {

struct Outcome {
  int status = -1;
  QString err;
};

class ComposeCli : public ::testing::Test {
protected:
  void SetUp() override {
    logo_ = dir_.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(test::SampleLogo().save(logo_));
  }
  Outcome Run(QStringList args) {
    args.prepend(QStringLiteral("compose"));
    QProcess p;
    // Its messages in Chinese, like the window's.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZUBQR_PATH), args);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError())};
  }
  QString File(const QString &name) const { return dir_.filePath(name); }
  QTemporaryDir dir_;
  QString logo_;
};

TEST_F(ComposeCli, WritesTheLibrarysCompositeAsABitmapThatReadsBack) {
  struct Case {
    QStringList options;
    QString text;
    TextEncoding encoding;
    int version, level, mask;
  };
  const QString chinese = QStringLiteral("丂丄丅丆丏丒丗丟丠両二维码 Zub");
  for (const Case &c : {Case{{}, chinese, TextEncoding::Utf8, 0, kLevelM, -1},
                        Case{{"--encoding", "ansi", "--level", "Q", "--mask", "5"},
                             chinese,
                             TextEncoding::Ansi,
                             0,
                             kLevelQ,
                             5},
                        Case{{"--version", "7", "--level", "h"},
                             QStringLiteral("https://zub.example.cn/"),
                             TextEncoding::Utf8,
                             7,
                             kLevelH,
                             -1}}) {
    const QString out = File(QStringLiteral("二维码.bmp"));
    const Outcome r =
        Run(c.options + QStringList{"--text", c.text, "--logo", logo_, "--output", out});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    // GBK bytes come back as another character set's text on the readers:
    // written all the same, with the warning that says so.
    if (c.encoding == TextEncoding::Ansi) {
      EXPECT_TRUE(r.err.contains(QStringLiteral("乱码"))) << r.err.toStdString();
    } else {
      EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }

    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.peek(2), "BM");
    const QImage written = QImage(out, "BMP").convertToFormat(QImage::Format_RGB32);

    const std::vector<std::uint8_t> message = MessageBytes(c.text, c.encoding);
    QrEncoder encoder;
    const QImage expected =
        ComposeQRPicture(encoder.MakeSymbol(message.data(), static_cast<int>(message.size()),
                                            c.version, c.level, c.mask, KanjiMode::Excluded),
                         LoadLogo(logo_).image);
    EXPECT_EQ(written, expected);

    const auto found =
        test::DecodeAll(written, c.encoding == TextEncoding::Utf8 ? "UTF-8" : "GB18030");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].bytes, message);
    EXPECT_EQ(found[0].text, c.text);
  }
}

TEST_F(ComposeCli, InputBytesAreComposedAsTheyAre) {
  // Shift JIS for 漢字 keeps kanji mode: the bytes come back unchanged.
  const QByteArray bytes("\x8a\xbf\x8e\x9a\x8a\xbf\x8e\x9a ZUB", 13);
  const QString input = File(QStringLiteral("message.bin"));
  QFile file(input);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  file.close();
  const QString out = File(QStringLiteral("out.bmp"));
  const Outcome r = Run({"--input", input, "--logo", logo_, "--output", out});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const auto found = test::DecodeAll(QImage(out), "Shift_JIS");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].bytes, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

TEST_F(ComposeCli, RefusesWithOneLineAndWritesNothing) {
  QFile cut(File(QStringLiteral("cut.jpg")));
  ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
  QByteArray jpeg;
  {
    QFile whole(logo_);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    jpeg = whole.readAll();
  }
  cut.write(jpeg.left(jpeg.size() / 2));
  cut.close();
  const QString out = File(QStringLiteral("never.bmp"));
  struct Case {
    QStringList args;
    int status;
    QString says;
  };
  for (const Case &c :
       {Case{{"--version", "1", "--level", "H", "--text", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "--logo",
              logo_, "--output", out},
             1,
             QStringLiteral("放不进版本1")},
        Case{{"--text", "x", "--logo", File(QStringLiteral("none.jpg")), "--output", out},
             1,
             QStringLiteral("找不到Logo图片文件")},
        Case{{"--text", "x", "--logo", cut.fileName(), "--output", out},
             1,
             QStringLiteral("不完整或已损坏")},
        Case{{"--text", "x", "--output", out}, 2, QStringLiteral("缺少 --logo FILE")}}) {
    const Outcome r = Run(c.args);
    EXPECT_EQ(r.status, c.status) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("zubqr compose: "))) << r.err.toStdString();
    EXPECT_TRUE(r.err.section('\n', 0, 0).contains(c.says)) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
  }
}

TEST_F(ComposeCli, WarnsWhenTheCompositeMayNotScanButStillWritesIt) {
  const QString out = File(QStringLiteral("v40.bmp"));
  const Outcome r =
      Run({"--version", "40", "--text", QString(1500, 'z'), "--logo", logo_, "--output", out});
  EXPECT_EQ(r.status, 0);
  // The warning in the locale's language, the whole line.
  EXPECT_TRUE(r.err.startsWith(QStringLiteral("zubqr compose: 警告："))) << r.err.toStdString();
  EXPECT_EQ(r.err.count('\n'), 1);
  EXPECT_EQ(QImage(out).size(), QSize(552, 409));
}

} // namespace
} // namespace zub

namespace zub {
namespace {

// --readable writes a composite both readers give back as the text, says
// what it changed, and writes nothing (exit 3) when no option scans;
// --eci names the character set for the readers.
TEST_F(ComposeCli, ReadableWritesOnlyACodeThatScans) {
  const QString china = QStringLiteral("中国");
  const std::vector<std::uint8_t> utf8 = MessageBytes(china, TextEncoding::Utf8);
  const auto readsAsText = [&](const QString &path) {
    const QImage written = QImage(path).convertToFormat(QImage::Format_RGB32);
    return ReadWithZxing(written, utf8, china).Exact() &&
           ReadWithZbar(written, utf8, china).Exact();
  };

  // zbar takes these UTF-8 bytes for Shift JIS unless the symbol says.
  const QString plain = File(QStringLiteral("plain.png"));
  ASSERT_EQ(Run({china, "--logo", logo_, "-o", plain}).status, 0);
  EXPECT_FALSE(readsAsText(plain));
  const QString named = File(QStringLiteral("named.png"));
  ASSERT_EQ(Run({china, "--eci", "26", "--logo", logo_, "-o", named}).status, 0);
  EXPECT_TRUE(readsAsText(named));

  const QString readable = File(QStringLiteral("readable.png"));
  const Outcome r = Run({china, "--readable", "--logo", logo_, "-o", readable});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.startsWith(QStringLiteral("zubqr compose: 已改用"))) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("--eci 26"))) << r.err.toStdString();
  EXPECT_TRUE(readsAsText(readable));

  // A code that scans as it is is written as it is, without a word.
  const QString fine = File(QStringLiteral("fine.png"));
  const Outcome f = Run({"--readable", "--eci", "26", china, "--logo", logo_, "-o", fine});
  ASSERT_EQ(f.status, 0);
  EXPECT_TRUE(f.err.isEmpty()) << f.err.toStdString();
  EXPECT_EQ(QImage(fine), QImage(named));

  // Version 40 at level L stretched over the canvas, which no other
  // version or level holds: nothing scans, nothing written.
  const QString never = File(QStringLiteral("never.png"));
  const Outcome n = Run({"--readable", "--version", "40", "--level", "L",
                         QString(2900, QLatin1Char('z')), "--logo", logo_, "-o", never});
  EXPECT_EQ(n.status, 3);
  EXPECT_TRUE(n.err.startsWith(QStringLiteral("zubqr compose: 没有写出文件：")))
      << n.err.toStdString();
  // Every code that holds it has modules too small for a phone: that is
  // what is said, and only a shorter text is advised.
  EXPECT_TRUE(n.err.contains(QStringLiteral("点都太小"))) << n.err.toStdString();
  EXPECT_FALSE(n.err.contains(QStringLiteral("不加Logo"))) << n.err.toStdString();
  EXPECT_FALSE(QFile::exists(never));

  // A short text at a large fixed version, whose modules the canvas makes
  // too small for a phone: the smallest version that holds it is written,
  // and the change named.
  const QString link = QStringLiteral("https://example.com/");
  const std::vector<std::uint8_t> linkBytes = MessageBytes(link, TextEncoding::Utf8);
  for (const char *version : {"28", "34", "40"}) {
    SCOPED_TRACE(version);
    const QString small = File(QStringLiteral("v%1.png").arg(QLatin1String(version)));
    const Outcome v = Run({"--readable", "--version", version, link, "--logo", logo_, "-o", small});
    ASSERT_EQ(v.status, 0) << v.err.toStdString();
    EXPECT_TRUE(v.err.contains(QStringLiteral("--version 0"))) << v.err.toStdString();
    const QImage written = QImage(small).convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(ReadWithZxing(written, linkBytes, link).Exact());
    EXPECT_TRUE(ReadWithZbar(written, linkBytes, link).Exact());
  }
}

QByteArray Contents(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(ComposeCli, ScaleDrawsTheSameCompositeLargerForPrint) {
  const QString text = QStringLiteral("https://zub.example.cn/海报");
  const QString plain = File(QStringLiteral("plain.png")), one = File(QStringLiteral("one.png"));
  ASSERT_EQ(Run({text, "--logo", logo_, "-o", plain}).status, 0);
  ASSERT_EQ(Run({text, "--logo", logo_, "--scale", "1", "-o", one}).status, 0);
  EXPECT_EQ(Contents(plain), Contents(one));

  struct Case {
    const char *scale;
    const char *name;
    QString says; // with --verbose
  };
  for (const Case &c :
       {Case{"4", "four.png",
             QStringLiteral("2208 × 1636 像素，300 dpi，打印尺寸 18.7 × 13.9 厘米")},
        Case{"2", "two.bmp", QStringLiteral("1104 × 818 像素，192 dpi，打印尺寸 14.6 × 10.8 厘米")},
        Case{"3", "three.jpg", QStringLiteral("1656 × 1227 像素，288 dpi")}}) {
    SCOPED_TRACE(c.scale);
    const QString out = File(QString::fromLatin1(c.name));
    const Outcome r = Run({text, "--logo", logo_, "--scale", c.scale, "--verbose", "-o", out});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    const QImage large(out);
    const int scale = QString::fromLatin1(c.scale).toInt();
    if (!out.endsWith(QLatin1String(".jpg"))) {
      EXPECT_EQ(test::DifferencesOutsideTheLogoBox(QImage(plain), large, scale), 0);
    }
    EXPECT_NEAR(large.dotsPerMeterX() * 0.0254, std::min(96 * scale, 300), 0.5);
    const auto found = test::DecodeAll(large);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].text, text);
  }

  const QString never = File(QStringLiteral("never.png"));
  for (const char *bad : {"0", "17", "2x", "", "-3"}) {
    const Outcome r = Run({text, "--logo", logo_, "--scale", bad, "-o", never});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_TRUE(r.err.contains(QStringLiteral("--scale 取 1 到 16 倍"))) << r.err.toStdString();
  }
  const Outcome vector =
      Run({text, "--logo", logo_, "--scale", "2", "-o", File(QStringLiteral("never.svg"))});
  EXPECT_EQ(vector.status, 2);
  EXPECT_TRUE(vector.err.contains(QStringLiteral("矢量图"))) << vector.err.toStdString();
  EXPECT_FALSE(QFile::exists(never));
}

TEST_F(ComposeCli, SvgIsAVectorPictureThatRendersAsTheCompositeAndReads) {
  const QString text = QStringLiteral("二维码 Zub https://zub.example.cn/");
  const QString svg = File(QStringLiteral("code.svg")), png = File(QStringLiteral("code.png"));
  const Outcome r = Run({text, "--logo", logo_, "--verbose", "-o", svg});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("矢量图，打印尺寸 14.6 × 10.8 厘米")))
      << r.err.toStdString();
  ASSERT_EQ(Run({text, "--logo", logo_, "-o", png}).status, 0);
  const QByteArray bytes = Contents(svg);
  EXPECT_TRUE(bytes.startsWith("<?xml")) << bytes.left(60).toStdString();
  EXPECT_TRUE(bytes.contains("data:image/png;base64,"));

  // Drawn by rsvg-convert at its own size and at 4x.
  for (const int zoom : {1, 4}) {
    const QString drawn = File(QStringLiteral("drawn%1.png").arg(zoom));
    QProcess p;
    p.start(QStringLiteral("rsvg-convert"),
            {QStringLiteral("-z"), QString::number(zoom), QStringLiteral("-o"), drawn, svg});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << "rsvg-convert is needed (scripts/install-deps.sh)";
    const QImage picture(drawn);
    EXPECT_EQ(test::DifferencesOutsideTheLogoBox(QImage(png), picture, zoom), 0);
    const auto found = test::DecodeAll(picture);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].text, text);
  }

  // Asked for by name, to standard output.
  QProcess p;
  p.start(QStringLiteral(ZUBQR_PATH), {QStringLiteral("compose"), text, QStringLiteral("--logo"),
                                       logo_, QStringLiteral("--format"), QStringLiteral("SVG"),
                                       QStringLiteral("-o"), QStringLiteral("-")});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_EQ(p.readAllStandardOutput(), bytes);
}

} // namespace
} // namespace zub
