// The scan check against what the readers really do and against damage
// counted by hand.
#include "ScanCheck.h"
#include "CodeSearch.h"
#include "Composite.h"
#include "Layout.h"
#include "LogoImage.h"
#include "MessageBytes.h"
#include "PhoneCaptures.h"
#include "QrEncoder.h"
#include "ScanWords.h"
#include "Stretch.h"
#include "TestSupport.h"
#include "VerdictWords.h"

#include <zbar.h>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/wechat_qrcode.hpp>

#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace zub {
namespace {

// Whether `causes` holds `wanted`, figures and all.
bool Has(const std::vector<ScanCause> &causes, const ScanCause &wanted) {
  return std::find(causes.begin(), causes.end(), wanted) != causes.end();
}

ScanCause Cause(ScanCause::Kind kind, ReaderName reader = ReaderName::Zxing) {
  ScanCause c;
  c.kind = kind;
  c.reader = reader;
  return c;
}

QImage Logo(int kind) {
  QImage logo(512, 512, QImage::Format_RGB32);
  std::mt19937 rng(7);
  switch (kind) {
  case 0:
    logo.fill(Qt::white);
    break;
  case 1:
    logo.fill(Qt::black);
    break;
  case 2:
    for (int y = 0; y < 512; ++y)
      for (int x = 0; x < 512; ++x) {
        const int g = static_cast<int>(rng() % 256);
        logo.setPixel(x, y, qRgb(g, static_cast<int>(rng() % 256), g / 2));
      }
    break;
  default: {
    // The painted picture with a second hill, which touches neither the sun
    // nor the badge, and the badge lettered.
    logo = test::PaintedLogo();
    QPainter p(&logo);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 70, 30));
    p.drawEllipse(QPoint(420, 560), 260, 200);
    p.setBrush(Qt::white);
    p.drawRect(QRect(90, 90, 20, 60));
    p.drawRect(QRect(130, 90, 60, 20));
    break;
  }
  }
  return logo;
}

// What the readers do, asked directly and without the check's code: zxing
// through the tests' own decode, as it guesses unasked, zbar through its C
// interface.
struct Oracle {
  bool zxing = false;
  bool zbar = false;
};

bool ZxingGives(const QImage &composite, const std::vector<std::uint8_t> &message,
                const QString &text) {
  for (const test::Decoded &d : test::DecodeAll(composite, ""))
    if (d.bytes == message && d.text == text)
      return true;
  return false;
}

// The grey zbar's own command-line front end reads: its image library's
// intensity, the Rec. 709 weights of the colour values as they are.
QImage FrontEndGrey(const QImage &composite) {
  const QImage rgb = composite.convertToFormat(QImage::Format_RGB32);
  QImage grey(rgb.size(), QImage::Format_Grayscale8);
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) {
      const QRgb c = rgb.pixel(x, y);
      grey.scanLine(y)[x] = static_cast<uchar>(
          std::lround(0.212656 * qRed(c) + 0.715158 * qGreen(c) + 0.072186 * qBlue(c)));
    }
  return grey;
}

// The first QR Code zbar finds, as bytes or as the text it shows: in Qt's
// grey, or (`frontEnd`) in the grey of zbar's own front end.
std::optional<std::string> ZbarData(const QImage &composite, bool binary, bool frontEnd = false) {
  const QImage grey =
      frontEnd ? FrontEndGrey(composite) : composite.convertToFormat(QImage::Format_Grayscale8);
  const auto w = static_cast<unsigned>(grey.width()), h = static_cast<unsigned>(grey.height());
  std::vector<unsigned char> pixels(static_cast<std::size_t>(w) * h);
  for (unsigned y = 0; y < h; ++y)
    std::copy_n(grey.constScanLine(static_cast<int>(y)), w, pixels.data() + y * w);
  zbar::zbar_image_scanner_t *scanner = zbar::zbar_image_scanner_create();
  zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
  zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
  zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_BINARY,
                                      binary ? 1 : 0);
  zbar::zbar_image_t *image = zbar::zbar_image_create();
  zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
  zbar::zbar_image_set_size(image, w, h);
  zbar::zbar_image_set_data(image, pixels.data(), pixels.size(), nullptr);
  std::optional<std::string> data;
  if (zbar::zbar_scan_image(scanner, image) > 0) {
    const zbar::zbar_symbol_t *symbol = zbar::zbar_image_first_symbol(image);
    data =
        std::string(zbar::zbar_symbol_get_data(symbol), zbar::zbar_symbol_get_data_length(symbol));
  }
  zbar::zbar_image_destroy(image);
  zbar::zbar_image_scanner_destroy(scanner);
  return data;
}

// zbar gives the message and its text in both greys.
bool ZbarGives(const QImage &composite, const std::vector<std::uint8_t> &message,
               const QString &text) {
  for (bool frontEnd : {false, true}) {
    const auto bytes = ZbarData(composite, true, frontEnd);
    if (!bytes || std::vector<std::uint8_t>(bytes->begin(), bytes->end()) != message ||
        ZbarData(composite, false, frontEnd) != text.toStdString())
      return false;
  }
  return true;
}

// Whether OpenCV's wechat_qrcode engine, asked directly, shows `text`.
bool WechatGives(const QImage &composite, const QString &text) {
  const QImage grey = composite.convertToFormat(QImage::Format_Grayscale8);
  cv::wechat_qrcode::WeChatQRCode engine;
  const cv::Mat image(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
                      static_cast<std::size_t>(grey.bytesPerLine()));
  for (const std::string &found : engine.detectAndDecode(image))
    if (QString::fromStdString(found) == text)
      return true;
  return false;
}

CodeSource Source(const QString &text, int logoKind) {
  return {text, {}, LogoInBox(Logo(logoKind), kLogoBoxRect.size())};
}

CodeOptions Options(int version, TextEncoding encoding, int eci = 0, int level = kLevelM) {
  return {version, level, 0, encoding, eci};
}

// Every version at level M under four logos: the verdict passes exactly
// when all three readers give the typed text and no block is past what it
// corrects. Under the sanitizer, which makes the readers ten times slower,
// every third version.
TEST(ScanCheck, VerdictAgreesWithAllThreeReadersOverEveryVersionAndLogo) {
#ifdef ZUB_SANITIZED
  const int step = 3;
#else
  const int step = 1;
#endif
  QrEncoder encoder;
  int passes = 0, fails = 0;
  for (int kind = 0; kind < 4; ++kind) {
    const CodeSource base = Source(QString(), kind);
    for (int v = 1; v <= 40; v += step) {
      CodeSource source = base;
      source.text = test::TextOfSize(v, kLevelM, TextEncoding::Utf8, 0.8);
      // Half with the character set named, so that reading, not guessing,
      // decides more of the table.
      const MadeCode code =
          MakeCode(encoder, source, Options(v, TextEncoding::Utf8, v % 2 ? 0 : 26), true);
      ASSERT_TRUE(code.Made() && code.report) << v;
      const ScanReport &r = *code.report;
      const bool zx = ZxingGives(code.composite, code.message, *source.text);
      const bool zb = ZbarGives(code.composite, code.message, *source.text);
      EXPECT_EQ(r.zxing.Exact(), zx) << "logo " << kind << " version " << v;
      const bool wc = WechatGives(code.composite, *source.text);
      EXPECT_EQ(r.zbar.Exact(), zb) << "logo " << kind << " version " << v;
      EXPECT_EQ(r.wechat.Exact(), wc) << "logo " << kind << " version " << v;
      // The phone's side: modules of three pixels or more (versions up to
      // 27 on this canvas), and every capture read by the readers phones
      // run, asked here directly.
      EXPECT_EQ(r.SmallModules(), v >= 28) << "logo " << kind << " version " << v;
      // Captures of modules too small are not read: they fail already.
      EXPECT_EQ(r.captures.read, !r.SmallModules()) << "logo " << kind << " version " << v;
      bool captures = r.captures.read;
      for (CaptureKind capture : kCaptureKinds) {
        if (!r.captures.read)
          break;
        const QImage shot = PhoneCapture(code.composite, capture);
        const bool zxCapture = ZxingGives(shot, code.message, *source.text);
        const bool wcCapture = WechatGives(shot, *source.text);
        EXPECT_EQ((r.captures.zxingMissed & CaptureBit(capture)) == 0, zxCapture)
            << "logo " << kind << " version " << v << " capture " << static_cast<int>(capture);
        EXPECT_EQ((r.captures.wechatMissed & CaptureBit(capture)) == 0, wcCapture)
            << "logo " << kind << " version " << v << " capture " << static_cast<int>(capture);
        captures = captures && zxCapture && wcCapture;
      }
      EXPECT_EQ(r.Passes(),
                zx && zb && wc && !r.damage.PastCapacity() && !r.SmallModules() && captures)
          << "logo " << kind << " version " << v;
      EXPECT_EQ(r.Causes().empty(), r.Passes()) << "logo " << kind << " version " << v;
      (r.Passes() ? passes : fails)++;
    }
  }
  // The table holds both outcomes, or it tests nothing.
  EXPECT_GT(passes, 0);
  EXPECT_GT(fails, 0);
}

// The composite with the modules of `footprint` (x0, y0, x1, y1 inclusive,
// in modules) inverted: a logo whose footprint is known to the module.
QImage WithInvertedModules(const Picture &symbol, QRect footprint) {
  QImage canvas = StretchSymbol(symbol, kCanvasSize);
  const int side = symbol.width();
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const int mx = x * side / canvas.width() - 4;
      const int my = y * side / canvas.height() - 4;
      if (footprint.contains(mx, my))
        canvas.setPixel(x, y, canvas.pixel(x, y) ^ 0x00FFFFFFu);
    }
  return canvas;
}

// Counted by hand from the placement: in version 1 the first two columns
// from the right carry codewords 1 to 3 upward, the next two 4 to 6
// downward; in version 5 the rightmost pair holds codewords 1 to 7 (rows
// 9 to 36) and version 5-Q deals them to its four blocks in turn.
TEST(ModuleDamage, EqualsAHandCountForKnownFootprints) {
  QrEncoder encoder;
  const auto message = test::BytesOf("DAMAGE 1");
  struct Case {
    int version, level;
    QRect footprint;
    std::vector<int> wrong;
    int capacity;
  };
  const Case cases[] = {
      {1, kLevelM, QRect(QPoint(17, 9), QPoint(20, 20)), {6}, 4},
      {1, kLevelM, QRect(QPoint(19, 17), QPoint(20, 20)), {1}, 4},
      {1, kLevelL, QRect(QPoint(19, 9), QPoint(20, 20)), {3}, 2},
      {1, kLevelH, QRect(QPoint(19, 13), QPoint(20, 20)), {2}, 8},
      {5, kLevelQ, QRect(QPoint(35, 9), QPoint(36, 36)), {2, 2, 2, 1}, 9},
      {5, kLevelQ, QRect(QPoint(35, 33), QPoint(36, 36)), {1, 0, 0, 0}, 9},
  };
  for (const Case &c : cases) {
    const Picture symbol = encoder.MakeSymbol(message.data(), static_cast<int>(message.size()),
                                              c.version, c.level, 0, KanjiMode::Excluded);
    const ModuleDamage d = CountModuleDamage(WithInvertedModules(symbol, c.footprint),
                                             SymbolView(symbol), symbol.facts(), QRect());
    ASSERT_EQ(d.version, c.version);
    ASSERT_EQ(d.blocks.size(), c.wrong.size());
    for (std::size_t b = 0; b < c.wrong.size(); ++b) {
      EXPECT_EQ(d.blocks[b].wrong, c.wrong[b]) << c.version << " block " << b;
      EXPECT_EQ(d.blocks[b].capacity, c.capacity) << c.version << " block " << b;
    }
    EXPECT_EQ(d.wrongModules, c.footprint.width() * c.footprint.height());
    EXPECT_EQ(d.damaged, 0u); // data modules only
    EXPECT_EQ(d.PastCapacity(), c.wrong[0] > c.capacity);
  }
  // An untouched symbol, and a version-1 timing line inverted.
  const Picture v1 = encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), 1,
                                        kLevelM, 0, KanjiMode::Excluded);
  const ModuleDamage clean =
      CountModuleDamage(StretchSymbol(v1, kCanvasSize), SymbolView(v1), v1.facts(), QRect());
  EXPECT_EQ(clean.wrongModules, 0);
  EXPECT_EQ(clean.WorstBlock(), -1);
  const ModuleDamage timing = CountModuleDamage(
      WithInvertedModules(v1, QRect(QPoint(8, 6), QPoint(12, 6))), SymbolView(v1), v1.facts(), {});
  EXPECT_EQ(timing.damaged, unsigned{kTimingPart});
  EXPECT_EQ(timing.blocks[0].wrong, 0);
  // Facts that are not the picture's count nothing.
  const QImage canvas = StretchSymbol(v1, kCanvasSize);
  SymbolFacts larger = v1.facts();
  larger.version = 2;
  larger.modules = 25;
  for (const SymbolFacts &wrong : {SymbolFacts{}, larger, SymbolFacts{1, 0, 0, 21}})
    EXPECT_EQ(CountModuleDamage(canvas, SymbolView(v1), wrong, QRect()).version, 0);
}

// The reserve the smallest symbols keep against misdecoding, and the
// plain half elsewhere: the error correction capacities of the standard's
// table.
TEST(ModuleDamage, CorrectableErrorsKeepTheMisdecodeReserve) {
  QrEncoder t;
  struct Case {
    int version, level, errors;
  } const cases[] = {{1, kLevelL, 2},  {1, kLevelM, 4}, {1, kLevelQ, 6},  {1, kLevelH, 8},
                     {2, kLevelL, 4},  {2, kLevelM, 8}, {3, kLevelL, 7},  {3, kLevelM, 13},
                     {4, kLevelL, 10}, {5, kLevelQ, 9}, {40, kLevelH, 15}};
  for (const Case &c : cases)
    EXPECT_EQ(CorrectableErrors(c.version, c.level, t.EcCodewords(c.version, c.level)), c.errors)
        << c.version << "-"
        << "LMQH"[c.level - 1];
}

// The logo box covers the centre alignment pattern from version 7 on; at
// versions 2 to 6 the only one lies outside it.
TEST(ModuleDamage, SaysWhatTheLogoCovers) {
  QrEncoder encoder;
  const auto message = test::BytesOf("what lies under the logo");
  const QImage logo = Logo(1);
  for (int v : {2, 6, 7, 13, 25}) {
    const Picture symbol = encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), v,
                                              kLevelM, 0, KanjiMode::Excluded);
    const ModuleDamage d = CountModuleDamage(ComposeQRPicture(symbol, logo), SymbolView(symbol),
                                             symbol.facts(), kLogoBoxRect);
    EXPECT_EQ((d.underLogo & kAlignmentPart) != 0, v >= 7) << v;
    EXPECT_EQ(d.underLogo & kFinderPart, 0u) << v;
    EXPECT_GT(d.wrongModules, 0) << v;
  }
}

// The read-back of known fixtures: a plain symbol reads; a version-40 one
// stretched over the canvas does not; a 1-M code under a noisy photo
// reads on zxing-cpp but not on zbar, which is enough to refuse it.
TEST(ReadsBack, KnowsFixturesOfKnownReadability) {
  QrEncoder encoder;
  const auto plain = test::BytesOf("http://www.zub.cn");
  const Picture small = encoder.MakeSymbol(plain.data(), static_cast<int>(plain.size()), 0, kLevelM,
                                           0, KanjiMode::Excluded);
  EXPECT_TRUE(ReadsBack(ComposeQRPicture(small, QImage()), plain));
  EXPECT_TRUE(ReadsBack(ComposeQRPicture(small, Logo(3)), plain));
  EXPECT_FALSE(ReadsBack(ComposeQRPicture(small, Logo(3)), test::BytesOf("http://www.zub.c")));
  QImage blank(kCanvasSize, QImage::Format_RGB32); // a new QImage holds whatever the heap held
  blank.fill(Qt::white);
  EXPECT_FALSE(ReadsBack(blank, plain));
  EXPECT_FALSE(ReadsBack(QImage(), plain));

  const QString long40 = test::TextOfSize(40, kLevelM, TextEncoding::Utf8, 0.8);
  const MadeCode v40 = MakeCode(encoder, Source(long40, 0), Options(40, TextEncoding::Utf8), false);
  EXPECT_FALSE(ReadsBack(v40.composite, v40.message));

  const MadeCode noisy =
      MakeCode(encoder, Source(QStringLiteral("生成器"), 3), Options(0, TextEncoding::Utf8), false);
  ASSERT_EQ(noisy.picture.facts().version, 1);
  EXPECT_TRUE(ZxingGives(noisy.composite, noisy.message, QStringLiteral("生成器")));
  EXPECT_FALSE(ZbarData(noisy.composite, true).has_value());
  EXPECT_FALSE(ReadsBack(noisy.composite, noisy.message));
}

// A reader whose output is only the start of the message, or runs past
// it, has not given the message: a truncated code must not pass. Both
// readers, bytes and typed text alike.
TEST(ScanCheck, OnlyTheWholeMessageCounts) {
  QrEncoder encoder;
  const QString shown = QStringLiteral("http://www.zub.cn/short");
  const MadeCode code = MakeCode(encoder, Source(shown, 0), Options(0, TextEncoding::Utf8), false);
  ASSERT_TRUE(code.Made());
  const auto message = [](const QString &t) { return MessageBytes(t, TextEncoding::Utf8); };
  ASSERT_TRUE(ReadWithZxing(code.composite, message(shown), shown).Exact());
  ASSERT_TRUE(ReadWithZbar(code.composite, message(shown), shown).Exact());
  for (const QString &wanted : {shown + QStringLiteral("了一点"), shown.left(shown.size() - 1)}) {
    for (const std::optional<QString> &text :
         {std::optional<QString>(wanted), std::optional<QString>()}) {
      const ReaderOutcome zx = ReadWithZxing(code.composite, message(wanted), text);
      const ReaderOutcome zb = ReadWithZbar(code.composite, message(wanted), text);
      EXPECT_TRUE(zx.read && zb.read);
      EXPECT_FALSE(zx.bytesExact || zx.Exact()) << wanted.toStdString();
      EXPECT_FALSE(zb.bytesExact || zb.Exact()) << wanted.toStdString();
    }
    EXPECT_FALSE(ReadsBack(code.composite, message(wanted)));
  }
}

// Uneven modules are named as the reason a code is not found while the
// narrowest is at most 3 pixels: at 3 to 4 pixels still, no more at 4 to 5,
// never when all are alike.
TEST(ScanCheck, StretchIsNamedUpToThreePixelModules) {
  struct Case {
    int narrowest, widest;
    bool named;
  } const cases[] = {{2, 3, true}, {3, 4, true}, {4, 5, false}, {3, 3, false}};
  for (const Case &c : cases) {
    ScanReport report;
    report.zbar = {true, true, true, "x", {}};
    report.damage.version = 12;
    report.damage.minModulePixels = c.narrowest;
    report.damage.maxModulePixels = c.widest;
    ScanCause stretch = Cause(ScanCause::UnevenStretch);
    stretch.minPixels = c.narrowest;
    stretch.maxPixels = c.widest;
    EXPECT_EQ(Has(report.Causes(), stretch), c.named) << c.narrowest << "-" << c.widest;
    // Named only for a code a reader did not find.
    report.zxing = report.wechat = report.zbar;
    report.zbar.textExact = false;
    EXPECT_FALSE(Has(report.Causes(), stretch)) << c.narrowest << "-" << c.widest;
  }
}

// A logo that holds a QR Code of its own: zbar finds two symbols, and its
// text verdict is about the one that carries the message, whichever it
// finds first. Here zbar shows the message's UTF-8 as Shift JIS, while the
// logo's symbol reads as the right text would.
TEST(ScanCheck, ZbarJudgesTheSymbolThatCarriesTheMessage) {
  QrEncoder encoder;
  const QString text = QStringLiteral("中国");
  const auto message = MessageBytes(text, TextEncoding::Utf8);
  const Picture ours = encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), 0,
                                          kLevelM, 0, KanjiMode::Excluded);
  const auto other = MessageBytes(QStringLiteral("LOGO CODE"), TextEncoding::Utf8);
  const Picture theirs = encoder.MakeSymbol(other.data(), static_cast<int>(other.size()), 0,
                                            kLevelM, 0, KanjiMode::Excluded);
  const QImage a = SymbolView(ours).scaled(SymbolView(ours).size() * 6);
  const QImage b = SymbolView(theirs).scaled(SymbolView(theirs).size() * 6);
  const Picture eci =
      encoder.MakeSymbol(message.data(), static_cast<int>(message.size()),
                         SymbolView(theirs).width() / 4 - 6, kLevelM, 0, KanjiMode::Excluded, 26);
  const QImage withEci = SymbolView(eci).scaled(SymbolView(eci).size() * 6);
  ASSERT_EQ(withEci.size(), b.size());
  ASSERT_EQ(ZbarData(withEci, false), text.toStdString());
  const std::optional<std::string> alone = ZbarData(a, false);
  ASSERT_TRUE(alone);
  ASSERT_NE(*alone, text.toStdString()); // the misreading this fixture needs
  // Side by side, both ways round: one of them puts the logo's symbol first.
  for (bool oursFirst : {true, false}) {
    QImage picture(a.width() + b.width(), std::max(a.height(), b.height()), QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.drawImage(oursFirst ? 0 : b.width(), 0, a);
    p.drawImage(oursFirst ? a.width() : 0, 0, b);
    p.end();
    ASSERT_EQ(ZbarMessages(picture, true).size(), 2u);
    const ReaderOutcome zb = ReadWithZbar(picture, message, text);
    EXPECT_TRUE(zb.read && zb.bytesExact) << oursFirst;
    EXPECT_FALSE(zb.textExact) << oursFirst;
    EXPECT_EQ(zb.text, *alone) << oursFirst;
    EXPECT_EQ(zb.misreadAs, QStringLiteral("Shift JIS")) << oursFirst;
    // zxing-cpp, too, judges the symbol with the message.
    EXPECT_TRUE(ReadWithZxing(picture, message, text).Exact()) << oursFirst;
    // And where zbar shows the logo's text right, that is no pass either.
    // A logo's code of the very same text, which zbar shows right (it names
    // UTF-8), does not make up for the message's code shown wrong.
    QImage same = picture;
    QPainter q(&same);
    q.drawImage(oursFirst ? a.width() : 0, 0, withEci);
    q.end();
    const ReaderOutcome twin = ReadWithZbar(same, message, text);
    EXPECT_TRUE(twin.bytesExact) << oursFirst;
    EXPECT_FALSE(twin.textExact) << oursFirst;
  }
}

// What zbar's own command-line front end reads in `picture` saved as a PNG
// file: the bytes of the first code, nothing when it finds none.
std::string ZbarimgReads(const QImage &picture) {
  QTemporaryDir dir;
  EXPECT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("code.png"));
  EXPECT_TRUE(picture.save(file));
  QProcess run;
  run.start(QStringLiteral("zbarimg"),
            {QStringLiteral("-q"), QStringLiteral("--raw"), QStringLiteral("-Sbinary"), file});
  EXPECT_TRUE(run.waitForFinished(60000)) << "zbarimg (zbar-tools) did not run";
  QByteArray out = run.readAllStandardOutput();
  if (out.endsWith('\n'))
    out.chop(1);
  return out.toStdString();
}

// zbar is judged on Qt's grey and on the grey its own front end makes of
// the saved file, and where they differ the stricter outcome holds. Found
// among a few hundred composites: one code zbar read in Qt's grey that the
// front end does not (it passed before), one the other way round; and a
// code in two colours alike in the front end's grey and far apart in Qt's.
TEST(ScanCheck, ZbarIsJudgedOnTheGreyItsOwnFrontEndMakesToo) {
  QrEncoder encoder;
  const QImage sample = LogoInBox(test::SampleLogo(), kLogoBoxRect.size());
  const QString v11 = test::TextOfSize(11, kLevelM, TextEncoding::Utf8, 0.8);
  const struct {
    const char *name;
    CodeSource source;
    CodeOptions options;
    bool inApp, frontEnd; // zbar on Qt's grey; zbarimg on the saved file
  } cases[] = {
      {"11-M under the sample logo",
       {v11, {}, sample},
       Options(11, TextEncoding::Utf8),
       true,
       false},
      {"2-M, ECI 26, under the sample logo",
       {QStringLiteral("谢谢"), {}, sample},
       Options(2, TextEncoding::Utf8, 26),
       false,
       true},
      {"no logo", {v11, {}, {}}, Options(11, TextEncoding::Utf8, 26), true, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const MadeCode code = MakeCode(encoder, c.source, c.options, true);
    ASSERT_TRUE(code.Made() && code.report);
    const std::string message(code.message.begin(), code.message.end());
    EXPECT_EQ(ZbarData(code.composite, true) == message, c.inApp);
    EXPECT_EQ(ZbarimgReads(code.composite) == message, c.frontEnd);
    EXPECT_EQ(code.report->zbar.Exact(), c.inApp && c.frontEnd);
    EXPECT_EQ(code.report->zbar.read, c.inApp && c.frontEnd);
    if (!c.frontEnd) {
      // The search offers a code the front end reads as well.
      const RemedySearch search = FindReadableCode(encoder, c.source, code, nullptr, kNoTimeBudget);
      ASSERT_TRUE(search.found);
      EXPECT_EQ(ZbarimgReads(search.found->composite),
                std::string(search.found->message.begin(), search.found->message.end()));
    }
  }

  // Qt's grey 74 and 145, the front end's 73 for both.
  const auto message = MessageBytes(QStringLiteral("two greys"), TextEncoding::Utf8);
  const Picture symbol = encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), 0,
                                            kLevelM, 0, KanjiMode::Excluded);
  QImage coloured = SymbolView(symbol).scaled(SymbolView(symbol).size() * 6);
  coloured = coloured.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < coloured.height(); ++y)
    for (int x = 0; x < coloured.width(); ++x)
      coloured.setPixel(x, y,
                        qGray(coloured.pixel(x, y)) < 128 ? qRgb(75, 75, 45) : qRgb(255, 0, 255));
  ASSERT_EQ(ZbarData(coloured, true), "two greys");
  EXPECT_EQ(ZbarimgReads(coloured), "");
  EXPECT_FALSE(ReadWithZbar(coloured, message, QStringLiteral("two greys")).read);
}

// The damage count charges every codeword the encoder places, data and
// check alike, of every version and level, to the block the encoder took
// it from.
TEST(ModuleDamage, DeinterleavingUndoesTheEncodersInterleaving) {
  const QrEncoder t;
  std::vector<std::uint8_t> blockOf;
  for (int v = 1; v <= 40; ++v)
    for (int level = kLevelL; level <= kLevelH; ++level) {
      QrEncoder::CodewordBlocks(v, level, blockOf);
      const int total = QrEncoder::TotalCodewords(v);
      const int B = t.EcBlocks(v, level), E = t.EcCodewords(v, level);
      const int D = t.DataCodewords(v, level);
      ASSERT_EQ(D, total - B * E);
      const int K = (D + B - 1) / B, S = D % B > 0 ? B - D % B : 0;
      std::vector<int> seen(static_cast<std::size_t>(total), 0);
      for (int h = 0; h < B; ++h) {
        const int length = h < S ? K - 1 : K;
        std::vector<int> positions;
        for (int k = 0; k < length; ++k)
          positions.push_back(QrEncoder::InterleavedDataPosition(B, K, S, h, k));
        for (int m = 0; m < E; ++m)
          positions.push_back(QrEncoder::InterleavedCheckPosition(D, B, h, m));
        for (int p : positions) {
          ASSERT_TRUE(p >= 0 && p < total) << v << "-" << level;
          ++seen[static_cast<std::size_t>(p)];
          ASSERT_EQ(blockOf.size(), static_cast<std::size_t>(total));
          ASSERT_EQ(blockOf[static_cast<std::size_t>(p)], h)
              << "version " << v << " level " << level << " position " << p;
        }
      }
      // Every position carries exactly one codeword.
      EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), total) << v << "-" << level;
    }
}

// Without its readers the check says so and nothing else: no cause, no
// remedy; the words name the module and where it was looked for, or where
// it lies and does not load.
TEST(ScanCheck, WithoutReadersTheCodeIsNotCheckedRatherThanFailed) {
  QrEncoder encoder;
  const CodeSource source = Source(QStringLiteral("中国"), 3); // fails when checked
  {
    const ReadersMissingForTest missing(
        {"zubqr-readers.so", {"/opt/a/zubqr-readers.so", "/opt/lib/zubqr-readers.so"}, {}, {}});
    const MadeCode first = MakeCode(encoder, source, Options(0, TextEncoding::Utf8), true);
    ASSERT_TRUE(first.report);
    EXPECT_FALSE(first.report->checked);
    EXPECT_FALSE(first.Passes());
    EXPECT_FALSE(first.report->Fails());
    EXPECT_TRUE(first.report->Causes().empty());
    const RemedySearch search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
    EXPECT_FALSE(search.found);
    EXPECT_EQ(search.made, 0);
    EXPECT_EQ(first.report->notChecked.places,
              (std::vector<std::string>{"/opt/a/zubqr-readers.so", "/opt/lib/zubqr-readers.so"}));
  }
  {
    const ReadersMissingForTest broken({"zubqr-readers.so",
                                        {"/opt/a/zubqr-readers.so", "/opt/lib/zubqr-readers.so"},
                                        "/opt/a/zubqr-readers.so",
                                        "file too short"});
    const MadeCode first = MakeCode(encoder, source, Options(0, TextEncoding::Utf8), true);
    EXPECT_FALSE(first.report->checked);
    EXPECT_EQ(first.report->notChecked.brokenAt, "/opt/a/zubqr-readers.so");
    EXPECT_EQ(first.report->notChecked.reason, "file too short");
  }
  // Back with the readers: checked, and failing.
  const MadeCode again = MakeCode(encoder, source, Options(0, TextEncoding::Utf8), true);
  EXPECT_TRUE(again.report->checked);
  EXPECT_TRUE(again.report->Fails());
}

// Without the WeChat engine's module (a package of its own) the check runs
// with the other two readers, as they are: a real verdict, a pass or a
// failure naming only them, never "not checked"; the words say once that
// two readers checked and why, in both languages.
TEST(ScanCheck, WithoutTheWechatEngineTwoReadersCheckAndSaySo) {
  QrEncoder encoder;
  const CodeSource good = Source(QStringLiteral("http://www.zub.cn"), 0);
  const CodeSource bad = Source(QStringLiteral("中国"), 3); // fails when checked
  const MadeCode three = MakeCode(encoder, good, Options(0, TextEncoding::Utf8), true);
  ASSERT_TRUE(three.report);
  EXPECT_TRUE(three.report->wechatRan);
  EXPECT_TRUE(three.report->wechat.Exact());
  EXPECT_TRUE(WithoutWechatWords(*three.report, Language::Chinese).isEmpty());

  const struct {
    const char *what;
    ReadersProblem problem;
    const char *chinese, *english;
  } cases[] = {
      {"not installed",
       {"zubqr-wechat.so", {"/usr/lib/zubqr-gui/zubqr-wechat.so"}, {}, {}, false},
       "OpenCV的微信扫码引擎没有安装（软件包zubqr-wechat-reader），"
       "所以这次只用zxing-cpp和zbar两个读码器检查。",
       "the WeChat engine from OpenCV is not installed (package zubqr-wechat-reader), so this "
       "check used two readers: zxing-cpp and zbar."},
      {"broken",
       {"zubqr-wechat.so",
        {"/usr/lib/zubqr-gui/zubqr-wechat.so"},
        "/usr/lib/zubqr-gui/zubqr-wechat.so",
        "libopencv_core.so.406: cannot open shared object file",
        false},
       "OpenCV的微信扫码引擎/usr/lib/zubqr-gui/zubqr-wechat.so无法载入（libopencv_core.so.406: "
       "cannot open shared object file），所以这次只用zxing-cpp和zbar两个读码器检查。",
       "the WeChat engine from OpenCV, /usr/lib/zubqr-gui/zubqr-wechat.so, does not load "
       "(libopencv_core.so.406: cannot open shared object file), so this check used two readers: "
       "zxing-cpp and zbar."},
      {"untrusted",
       {"zubqr-wechat.so", {"/opt/z/zubqr-wechat.so"}, "/opt/z/zubqr-wechat.so", "/opt/z", true},
       "OpenCV的微信扫码引擎/opt/z/zubqr-wechat.so不可信：/opt/z可能被其他用户改动，所以没有载入；"
       "这次只用zxing-cpp和zbar两个读码器检查。",
       "the WeChat engine from OpenCV, /opt/z/zubqr-wechat.so, is not trusted: /opt/z may be "
       "changed by another user, so it was not loaded and this check used two readers: zxing-cpp "
       "and zbar."},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    ReaderCalls two = *Readers();
    two.wechat = nullptr;
    two.wechatProblem = &c.problem;
    const ReadersForTest without(two);

    // What all three read, two read: it passes, and wechat_qrcode was not
    // asked, nor named.
    const MadeCode passes = MakeCode(encoder, good, Options(0, TextEncoding::Utf8), true);
    ASSERT_TRUE(passes.report);
    const ScanReport &p = *passes.report;
    EXPECT_TRUE(p.checked);
    EXPECT_FALSE(p.wechatRan);
    EXPECT_TRUE(p.Passes());
    EXPECT_FALSE(p.wechat.read);
    EXPECT_TRUE(p.captures.read);
    EXPECT_EQ(p.captures.wechatMissed, 0u);
    EXPECT_EQ(p.withoutWechat.brokenAt, c.problem.brokenAt);
    EXPECT_EQ(WithoutWechatWords(p, Language::Chinese), QString::fromUtf8(c.chinese));
    EXPECT_EQ(WithoutWechatWords(p, Language::English), QString::fromUtf8(c.english));
    EXPECT_TRUE(ReadsBack(passes.composite, passes.message));

    // A code that fails fails for the two readers and the damage alone; the
    // window's details say once that two readers checked.
    const MadeCode fails = MakeCode(encoder, bad, Options(0, TextEncoding::Utf8), true);
    ASSERT_TRUE(fails.report);
    EXPECT_TRUE(fails.report->checked);
    EXPECT_TRUE(fails.report->Fails());
    for (const ScanCause &cause : fails.report->Causes()) {
      EXPECT_FALSE((cause.kind == ScanCause::Unread || cause.kind == ScanCause::WrongContent ||
                    cause.kind == ScanCause::Garbled || cause.kind == ScanCause::CaptureMissed) &&
                   cause.reader == ReaderName::Wechat);
    }
    const RemedySearch search = FindReadableCode(encoder, bad, fails, nullptr, kNoTimeBudget);
    const VerdictWords words =
        search.found ? RemedyOfferWords(fails, *search.found) : NoRemedyWords(fails, search, true);
    EXPECT_EQ(words.details.count(QString::fromUtf8(c.chinese)), 1) << words.details.toStdString();
    EXPECT_FALSE(words.details.contains(QStringLiteral("三个读码器")));
    EXPECT_FALSE(words.details.contains(QStringLiteral("wechat_qrcode都能")));
    EXPECT_FALSE(words.text.contains(QStringLiteral("没有经过检查")));
    if (search.found) {
      EXPECT_FALSE(search.found->report->wechatRan);
      EXPECT_TRUE(search.found->report->Passes());
    }
  }
  // Back with the engine: three readers again.
  const MadeCode again = MakeCode(encoder, good, Options(0, TextEncoding::Utf8), true);
  EXPECT_TRUE(again.report->wechatRan);
  EXPECT_TRUE(again.report->wechat.Exact());
}

// The order of the search where the user fixed the version: the smallest
// version that fits at the user's level, then at each higher and lower
// level; the user's version at the higher levels; a few versions between;
// then larger ones. Every candidate is spoilt by a logo over nearly the
// whole canvas, so the damage count rules them all out without a reader,
// and the search, having tried every kind of change, may say that none
// helps.
TEST(ScanRemedy, SmallestVersionsFirstThenTheUsersThenBetweenThenLarger) {
  QrEncoder encoder;
  struct Case {
    int version;
    double fill; // of the version's capacity at level M
  } const cases[] = {{5, 0.3}, {5, 1.0}, {12, 0.95}, {30, 0.1}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.version);
    CodeSource source = Source(test::TextOfSize(c.version, kLevelM, TextEncoding::Utf8, c.fill), 1);
    source.logoBox = QRect(QPoint(8, 8), kCanvasSize - QSize(16, 16));
    source.logoInBox = LogoInBox(Logo(1), source.logoBox.size());
    const MadeCode first = MakeCode(encoder, source, Options(c.version, TextEncoding::Utf8), true);
    ASSERT_TRUE(first.Made());
    ASSERT_TRUE(first.report->Fails());
    const RemedySearch search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
    EXPECT_FALSE(search.found);
    EXPECT_EQ(search.read, 0);
    EXPECT_TRUE(search.everyKindTried);
    EXPECT_EQ(search.made, static_cast<int>(search.tried.size()));
    EXPECT_LE(search.made, kMaxCandidates);
    // In the user's own character set (a text that a reader did not read
    // is also tried with ECI 26, that character set first at the user's
    // size and level).
    if (search.tried.front().asked.eci == 26) {
      EXPECT_EQ(search.tried.front().asked.version, c.version);
      EXPECT_EQ(search.tried.front().asked.ecLevel, kLevelM);
    }
    std::vector<RemedySearch::Tried> tried;
    for (const RemedySearch::Tried &t : search.tried)
      if (t.asked.eci == 0)
        tried.push_back(t);
    // The smallest version that fits, at M, Q, H and L, each the version
    // the encoder picks for that level; at M it may be the user's own code,
    // which is not made again.
    std::vector<std::pair<int, int>> smallestFirst; // level, version
    for (int level : {kLevelM, kLevelQ, kLevelH, kLevelL}) {
      CodeOptions automatic = Options(0, TextEncoding::Utf8, 0, level);
      const int v = EncodeCode(encoder, source, automatic).picture.facts().version;
      if (v > 0 && !(level == kLevelM && v == c.version))
        smallestFirst.emplace_back(level, v);
    }
    ASSERT_GE(tried.size(), smallestFirst.size());
    for (std::size_t k = 0; k < smallestFirst.size(); ++k) {
      EXPECT_EQ(tried[k].asked.version, 0);
      EXPECT_EQ(tried[k].asked.ecLevel, smallestFirst[k].first);
      EXPECT_EQ(tried[k].version, smallestFirst[k].second);
    }
    // Then the user's version at the higher levels that it holds, the
    // versions between, and larger ones: each made as asked.
    std::size_t i = smallestFirst.size();
    for (; i < tried.size() && tried[i].asked.version == c.version; ++i)
      EXPECT_GT(tried[i].asked.ecLevel, kLevelM);
    const int smallest =
        EncodeCode(encoder, source, Options(0, TextEncoding::Utf8)).picture.facts().version;
    int between = 0;
    for (; i < tried.size() && tried[i].asked.version < c.version; ++i) {
      EXPECT_GT(tried[i].asked.version, smallest);
      EXPECT_EQ(tried[i].asked.ecLevel, kLevelM);
      ++between;
    }
    EXPECT_EQ(between, std::min(4, std::max(0, c.version - smallest - 1)));
    // At each larger version the user's level first, then the higher ones:
    // a level the user did not ask for is no reason to change.
    int lastVersion = 0, lastLevel = 0;
    for (; i < tried.size(); ++i) {
      EXPECT_GT(tried[i].asked.version, c.version);
      EXPECT_EQ(tried[i].version, tried[i].asked.version);
      if (tried[i].asked.version != lastVersion)
        EXPECT_EQ(tried[i].asked.ecLevel, kLevelM) << "version " << tried[i].asked.version;
      else
        EXPECT_GT(tried[i].asked.ecLevel, lastLevel) << "version " << tried[i].asked.version;
      lastVersion = tried[i].asked.version;
      lastLevel = tried[i].asked.ecLevel;
    }
  }
  // Nothing fits: raw bytes that fill 40-L, which no higher level holds and
  // no smaller version either.
  CodeSource full;
  full.raw.assign(static_cast<std::size_t>(QrEncoder().DataCodewords(40, kLevelL) - 3), 0xA5);
  const MadeCode first = MakeCode(encoder, full, Options(40, TextEncoding::Utf8, 0, kLevelL), true);
  ASSERT_TRUE(first.Made());
  ASSERT_TRUE(first.report->Fails());
  const RemedySearch none = FindReadableCode(encoder, full, first, nullptr, kNoTimeBudget);
  EXPECT_EQ(none.made, 0);
  EXPECT_FALSE(none.found);
  EXPECT_TRUE(none.everyKindTried);
}

// A version fixed far above what the text needs can spoil a code that its
// smallest version keeps readable: the search offers that version, and
// "nothing helps" is never said while something does.
TEST(ScanRemedy, ALargeFixedVersionIsMendedByASmallerOne) {
  QrEncoder encoder;
  int failed = 0;
  for (int logo = 0; logo < 4; ++logo)
    for (int version : {40, 36, 32, 28}) {
      SCOPED_TRACE(testing::Message() << "logo " << logo << " version " << version);
      const CodeSource source = Source(QStringLiteral("https://example.com/"), logo);
      const MadeCode first = MakeCode(encoder, source, Options(version, TextEncoding::Utf8), true);
      ASSERT_TRUE(first.Made());
      if (first.Passes())
        continue;
      ++failed;
      const RemedySearch search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
      ASSERT_TRUE(search.found);
      EXPECT_FALSE(search.everyKindTried);
      EXPECT_LT(search.found->picture.facts().version, version);
      EXPECT_TRUE(ZxingGives(search.found->composite, search.found->message, *source.text));
      const VerdictWords words = RemedyOfferWords(first, *search.found);
      EXPECT_FALSE(words.text.contains(QStringLiteral("都不能解决")));
    }
  // The fixture is of use only where a large version fails.
  EXPECT_GT(failed, 0);
}

// "Nothing helps" is said only by a search that tried every kind of change;
// one stopped early says only that what it tried did not help.
TEST(ScanRemedy, NothingHelpsIsSaidOnlyAfterEveryKindWasTried) {
  QrEncoder encoder;
  const CodeSource source = Source(QStringLiteral("生成器"), 3);
  const MadeCode first = MakeCode(encoder, source, Options(0, TextEncoding::Utf8), true);
  ASSERT_FALSE(first.Passes());
  for (const bool everyKind : {true, false}) {
    RemedySearch search;
    search.made = 5;
    search.everyKindTried = everyKind;
    for (const bool withLogo : {true, false}) {
      const QString text = NoRemedyWords(first, search, withLogo).text;
      EXPECT_EQ(text.contains(QStringLiteral("都不能解决")), everyKind) << text.toStdString();
      EXPECT_TRUE(text.contains(QStringLiteral("建议缩短文字"))) << text.toStdString();
    }
  }
}

// One fixture per cause: what the check says, and what the search offers.
TEST(ScanRemedy, EachCauseIsNamedAndRemediedWhereARemedyExists) {
  QrEncoder encoder;

  // 1. The logo spoils more codewords than 1-M corrects: zbar gives up,
  // zxing-cpp still reads; one level higher scans on both.
  {
    const CodeSource source = Source(QStringLiteral("生成器"), 3);
    const MadeCode first = MakeCode(encoder, source, Options(0, TextEncoding::Utf8), true);
    ASSERT_FALSE(first.Passes());
    EXPECT_TRUE(first.report->zxing.Exact());
    EXPECT_FALSE(first.report->zbar.read);
    const std::vector<ScanCause> causes = first.report->Causes();
    EXPECT_TRUE(Has(causes, Cause(ScanCause::Unread, ReaderName::Zbar)));
    ScanCause blocks = Cause(ScanCause::BlocksOverCapacity);
    blocks.block = 0;
    blocks.wrong = 5;
    blocks.capacity = 4;
    EXPECT_TRUE(Has(causes, blocks));
    const RemedySearch search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
    ASSERT_TRUE(search.found);
    EXPECT_EQ(search.found->options, Options(0, TextEncoding::Utf8, 0, kLevelQ));
    EXPECT_EQ(search.found->picture.facts().version, 1);
    EXPECT_TRUE(ZxingGives(search.found->composite, search.found->message, *source.text));
    EXPECT_TRUE(ZbarGives(search.found->composite, search.found->message, *source.text));
  }

  // 2. GBK bytes come back as another character set's text on both
  // readers; UTF-8 at the same size scans.
  {
    const CodeSource source = Source(QStringLiteral("中文"), 3);
    const MadeCode first = MakeCode(encoder, source, Options(0, TextEncoding::Ansi), true);
    ASSERT_FALSE(first.Passes());
    EXPECT_TRUE(first.report->zbar.bytesExact);
    EXPECT_FALSE(first.report->zbar.textExact);
    ScanCause big5 = Cause(ScanCause::Garbled, ReaderName::Zbar);
    big5.charset = QStringLiteral("Big5");
    EXPECT_TRUE(Has(first.report->Causes(), big5));
    const RemedySearch search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
    ASSERT_TRUE(search.found);
    EXPECT_EQ(search.found->options, Options(0, TextEncoding::Utf8));
    EXPECT_TRUE(ZbarGives(search.found->composite, search.found->message, *source.text));
  }

  // 3. A short Chinese text in UTF-8 that zbar takes for Shift JIS: with
  // ECI 26 both readers show it right.
  {
    const CodeSource source = Source(QStringLiteral("中国"), 3);
    const MadeCode first = MakeCode(encoder, source, Options(0, TextEncoding::Utf8), true);
    ASSERT_FALSE(first.Passes());
    EXPECT_TRUE(first.report->zxing.Exact());
    ScanCause shiftJis = Cause(ScanCause::Garbled, ReaderName::Zbar);
    shiftJis.charset = QStringLiteral("Shift JIS");
    EXPECT_TRUE(Has(first.report->Causes(), shiftJis));
    const RemedySearch search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
    ASSERT_TRUE(search.found);
    EXPECT_EQ(search.found->options, Options(0, TextEncoding::Utf8, 26));
    EXPECT_TRUE(ZxingGives(search.found->composite, search.found->message, *source.text));
    EXPECT_TRUE(ZbarGives(search.found->composite, search.found->message, *source.text));
  }

  // 4. Version 40 over the canvas: modules 2 or 3 pixels wide, which no
  // reader follows; nothing larger exists and no higher level holds it.
  // Every setting that holds the text leaves modules too small for a
  // phone: nothing is found, and the search knows it was the text's length.
  {
    const CodeSource source = Source(test::TextOfSize(40, kLevelM, TextEncoding::Utf8, 0.8), 3);
    const MadeCode first = MakeCode(encoder, source, Options(40, TextEncoding::Utf8), true);
    ASSERT_FALSE(first.Passes());
    EXPECT_FALSE(first.report->zxing.read);
    EXPECT_FALSE(first.report->zbar.read);
    ScanCause stretch = Cause(ScanCause::UnevenStretch);
    stretch.minPixels = 2;
    stretch.maxPixels = 3;
    EXPECT_TRUE(Has(first.report->Causes(), stretch));
    ScanCause small = Cause(ScanCause::SmallModules);
    small.minPixels = 2;
    small.maxPixels = 3;
    EXPECT_TRUE(Has(first.report->Causes(), small));
    const RemedySearch search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
    EXPECT_FALSE(search.found);
    EXPECT_TRUE(search.everyKindTried);
    EXPECT_FALSE(search.largeModulesMade);
    EXPECT_EQ(search.read, 0); // none was worth the readers' time
    const VerdictWords words = NoRemedyWords(first, search, true);
    EXPECT_TRUE(words.text.startsWith(QStringLiteral("二维码的点太小，手机可能扫不出")) ||
                words.text.startsWith(QStringLiteral("有些手机扫不出这个二维码；二维码的点也太小")))
        << words.text.toStdString();
    EXPECT_TRUE(words.text.contains(QStringLiteral("建议缩短文字")));
    EXPECT_FALSE(words.text.contains(QStringLiteral("都不能解决")));
    EXPECT_FALSE(words.text.contains(QStringLiteral("不加Logo")));
  }
}

// Composites that zxing-cpp and zbar read but wechat_qrcode does not: the
// check flags them for that reader alone, and the search offers one that
// all three read.
TEST(ScanRemedy, ACompositeOnlyTheThirdReaderMissesIsFlaggedAndRemedied) {
  QrEncoder encoder;
  int seen = 0;
  for (int v : {29, 30, 36}) {
    const CodeSource source = Source(test::TextOfSize(v, kLevelM, TextEncoding::Utf8, 0.8), 0);
    const MadeCode first = MakeCode(encoder, source, Options(v, TextEncoding::Utf8, 26), true);
    ASSERT_TRUE(first.Made() && first.report) << v;
    const ScanReport &r = *first.report;
    if (!(r.zxing.Exact() && r.zbar.Exact() && !r.wechat.Exact()))
      continue;
    ++seen;
    EXPECT_TRUE(ZxingGives(first.composite, first.message, *source.text)) << v;
    EXPECT_TRUE(ZbarGives(first.composite, first.message, *source.text)) << v;
    EXPECT_FALSE(WechatGives(first.composite, *source.text)) << v;
    EXPECT_FALSE(r.Passes()) << v;
    EXPECT_EQ(r.Causes().front(), Cause(ScanCause::Unread, ReaderName::Wechat)) << v;
    const RemedySearch search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
    // A smaller version holds the text, but those whose modules are large
    // enough may still fail a phone's captures: then nothing is offered,
    // after every kind of change was tried.
    if (!search.found) {
      EXPECT_TRUE(search.everyKindTried) << v;
      continue;
    }
    const MadeCode &found = *search.found;
    EXPECT_TRUE(ZxingGives(found.composite, found.message, *source.text)) << v;
    EXPECT_TRUE(ZbarGives(found.composite, found.message, *source.text)) << v;
    EXPECT_TRUE(WechatGives(found.composite, *source.text)) << v;
  }
  EXPECT_GT(seen, 0); // the fixture shows what it is for
}

// The search reads a candidate only as far as its verdict: the same
// verdict as the whole check's, and where it passes the same report. Codes
// that pass, that zxing-cpp or zbar miss, and that only wechat_qrcode
// misses.
TEST(ScanCheck, ReadingUntilItFailsGivesTheWholeChecksVerdict) {
  QrEncoder encoder;
  const struct {
    CodeSource source;
    CodeOptions options;
  } cases[] = {
      {Source(QStringLiteral("first click here"), 3), Options(0, TextEncoding::Utf8)},
      {Source(QStringLiteral("生成器"), 3), Options(0, TextEncoding::Utf8)},
      {Source(QStringLiteral("中国"), 3), Options(0, TextEncoding::Utf8)},
      {Source(test::TextOfSize(30, kLevelM, TextEncoding::Utf8, 0.8), 0),
       Options(30, TextEncoding::Utf8, 26)},
      {Source(test::TextOfSize(40, kLevelM, TextEncoding::Utf8, 0.8), 3),
       Options(40, TextEncoding::Utf8)},
  };
  int passes = 0, fails = 0;
  for (const auto &c : cases) {
    const MadeCode code = MakeCode(encoder, c.source, c.options, false);
    ASSERT_TRUE(code.Made());
    const ScanSubject subject{code.composite, code.symbol,  code.picture.facts(),
                              kLogoBoxRect,   code.message, c.source.text};
    const ScanReport whole = CheckScan(subject);
    const ScanReport quick = CheckScan(subject, ScanDepth::UntilItFails);
    SCOPED_TRACE(c.source.text->left(20).toStdString());
    EXPECT_EQ(quick.Passes(), whole.Passes());
    EXPECT_EQ(quick.zxing.Exact(), whole.zxing.Exact());
    EXPECT_EQ(quick.zbar.Exact(), whole.zbar.Exact());
    if (whole.Passes()) {
      EXPECT_TRUE(quick.wechat.Exact());
    }
    // wechat_qrcode is asked exactly when the others pass.
    EXPECT_EQ(quick.wechat.read, whole.zxing.Exact() && whole.zbar.Exact() &&
                                     !whole.damage.PastCapacity() && whole.wechat.read);
    (whole.Passes() ? passes : fails)++;
  }
  EXPECT_GT(passes, 0);
  EXPECT_GT(fails, 1);
}

TEST(ScanRemedy, StopsWhenCancelledAndStaysBounded) {
  QrEncoder encoder;
  const CodeSource source = Source(QStringLiteral("中国"), 3);
  const MadeCode first = MakeCode(encoder, source, Options(0, TextEncoding::Ansi), true);
  const std::atomic<bool> cancel{true};
  const RemedySearch stopped = FindReadableCode(encoder, source, first, &cancel);
  EXPECT_TRUE(stopped.cancelled);
  EXPECT_EQ(stopped.made, 0);
  EXPECT_FALSE(stopped.found);

  // A code no option mends: the search ends within its bounds.
  const CodeSource noisy = Source(test::TextOfSize(30, kLevelM, TextEncoding::Utf8, 0.8), 2);
  const MadeCode v30 = MakeCode(encoder, noisy, Options(30, TextEncoding::Ansi), true);
  const RemedySearch bounded = FindReadableCode(encoder, noisy, v30, nullptr, kNoTimeBudget);
  EXPECT_LE(bounded.made, kMaxCandidates);
  EXPECT_LE(bounded.read, kMaxCandidatesRead);
}

// A search converts the text once per character set: the first code's
// bytes serve every candidate of its set, the other set's are made once
// and kept, and raw bytes are the message in any set.
TEST(ScanRemedy, MessagesAreMadeOncePerCharacterSet) {
  QrEncoder encoder;
  const QString text = QStringLiteral("二维码 text");
  CodeSource source;
  source.text = text;
  const MadeCode first = EncodeCode(encoder, source, Options(0, TextEncoding::Ansi));
  ASSERT_TRUE(first.Made());
  SourceMessages messages(source, first);
  const std::vector<std::uint8_t> &ansi = messages.of(Options(7, TextEncoding::Ansi, 0, kLevelH));
  EXPECT_EQ(ansi, first.message);
  const std::vector<std::uint8_t> &utf8 = messages.of(Options(0, TextEncoding::Utf8));
  EXPECT_EQ(utf8, MessageBytes(text, TextEncoding::Utf8));
  EXPECT_NE(utf8, ansi);
  EXPECT_EQ(&messages.of(Options(3, TextEncoding::Utf8, 26)), &utf8);
  EXPECT_EQ(&messages.of(Options(0, TextEncoding::Ansi, 26)), &ansi);

  CodeSource raw;
  raw.raw = {0x93, 0x5F, 'x'};
  const MadeCode rawFirst = EncodeCode(encoder, raw, Options(0, TextEncoding::Ansi));
  SourceMessages rawMessages(raw, rawFirst);
  for (TextEncoding encoding : {TextEncoding::Ansi, TextEncoding::Utf8})
    EXPECT_EQ(rawMessages.of(Options(0, encoding)), raw.raw);
}

// A code that is not made carries the encoder's reason and what would fit.
TEST(ScanRemedy, ACodeNotMadeCarriesTheEncodersFailure) {
  QrEncoder encoder;
  CodeSource source;
  source.text = QString(400, QLatin1Char('A')); // version 10 holds 395 at L
  const MadeCode code = EncodeCode(encoder, source, Options(10, TextEncoding::Utf8));
  ASSERT_FALSE(code.Made());
  EXPECT_EQ(code.failure.reason, EncodeFailure::Reason::TooLong);
  EXPECT_EQ(code.failure.version, 10);
  EXPECT_EQ(code.failure.ecLevel, kLevelM);
  EXPECT_FALSE(code.failure.lowestLevelFits);
  EXPECT_GT(code.failure.smallestVersion, 10);
  EXPECT_GT(code.failure.smallestVersionAtL, 10);
  EXPECT_EQ(MakeCode(encoder, source, Options(0, TextEncoding::Utf8), false).failure,
            EncodeFailure{});
}

} // namespace
} // namespace zub

namespace zub {
namespace {

// The captures are a fixed set: the same picture gives the same bytes on
// every run, each capture differs from the others and from the picture,
// and a null picture gives nothing.
TEST(PhoneCaptures, AreTheSameOnEveryRun) {
  QrEncoder encoder;
  const CodeSource source = Source(QStringLiteral("https://zub.example.cn/phone"), 3);
  const MadeCode code = MakeCode(encoder, source, Options(0, TextEncoding::Utf8), false);
  std::vector<QImage> shots;
  for (CaptureKind kind : kCaptureKinds) {
    const QImage shot = PhoneCapture(code.composite, kind);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(PhoneCapture(code.composite, kind), shot) << static_cast<int>(kind);
    // From a copy made another way: the same again.
    EXPECT_EQ(PhoneCapture(code.composite.convertToFormat(QImage::Format_ARGB32), kind), shot);
    for (const QImage &other : shots)
      EXPECT_NE(other, shot);
    shots.push_back(shot);
  }
  EXPECT_TRUE(PhoneCapture(QImage(), CaptureKind::Tilted).isNull());
}

// The captures' pixels, pinned: the check's verdicts rest on them, and
// making a capture faster must not move a single grey level of it.
TEST(PhoneCaptures, KeepTheirPixels) {
  const auto digest = [](const QImage &image) {
    std::uint64_t hash = 14695981039346656037ull;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        hash = (hash ^ image.constScanLine(y)[x]) * 1099511628211ull;
    return hash;
  };
  QrEncoder encoder;
  const struct {
    const char *text;
    int logoKind;
    std::uint64_t digests[kCaptureKinds.size()];
  } cases[] = {
      {"https://zub.example.cn/phone",
       3,
       {8880377458802794101ull, 18130369070593291715ull, 10644021512011518300ull}},
      {"Ticket 7, seat 8, gate 0",
       1,
       {3215073165859188351ull, 2103628186312086033ull, 17327570320209363623ull}},
  };
  for (const auto &c : cases) {
    const MadeCode code = MakeCode(encoder, Source(QString::fromUtf8(c.text), c.logoKind),
                                   Options(0, TextEncoding::Utf8), false);
    for (std::size_t i = 0; i < kCaptureKinds.size(); ++i)
      EXPECT_EQ(digest(PhoneCapture(code.composite, kCaptureKinds[i])), c.digests[i])
          << c.text << " capture " << i;
  }
}

// The size of the canvas's modules: from version 28 on, some are 2 pixels
// high, which a phone at the usual distance does not resolve; the cause
// says so with its figures, in plain words first.
TEST(PhoneCheck, ModulesUnderThreePixelsAreACauseFromVersion28) {
  QrEncoder encoder;
  for (int v = 20; v <= 40; ++v) {
    const CodeSource source = Source(QStringLiteral("v"), 3);
    const MadeCode code = MakeCode(encoder, source, Options(v, TextEncoding::Utf8), false);
    ASSERT_TRUE(code.Made()) << v;
    EXPECT_EQ(code.damage.SmallModules(), v >= 28)
        << v << ": " << code.damage.minModulePixels << " to " << code.damage.maxModulePixels;
  }
  ScanReport report;
  report.zxing = report.zbar = report.wechat = ReaderOutcome{true, true, true, {}, {}};
  report.captures.read = true;
  report.damage.version = 30;
  report.damage.minModulePixels = 2;
  report.damage.maxModulePixels = 4;
  ASSERT_TRUE(report.Fails());
  ScanCause small = Cause(ScanCause::SmallModules);
  small.minPixels = 2;
  small.maxPixels = 4;
  ASSERT_EQ(report.Causes(), std::vector<ScanCause>{small});
  const QString chinese = CauseWords(small, Language::Chinese);
  const QString english = CauseWords(small, Language::English);
  EXPECT_TRUE(chinese.contains(QStringLiteral("2到4像素")) &&
              chinese.contains(QStringLiteral("3像素")))
      << chinese.toStdString();
  EXPECT_TRUE(english.contains(QStringLiteral("2 to 4 pixels"))) << english.toStdString();
  for (QChar c : english)
    EXPECT_LT(c.unicode(), 0x80) << english.toStdString();
  EXPECT_FALSE(chinese.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3,}"))))
      << chinese.toStdString();
}

// A composite that all three readers read as a file but that a phone's
// reader misses in a capture fails the check, said for phones in plain
// words with the captures named in the details; one that reads in every
// capture passes. The fixture is the first of a few dense codes just
// below the module limit that shows it.
TEST(PhoneCheck, ACodeThatReadsAsAFileButNotAsACaptureIsWarnedAbout) {
  QrEncoder encoder;
  std::optional<MadeCode> missed;
  QString missedText;
  for (int v : {26, 27, 25})
    for (int variant : {0, 1}) {
      if (missed)
        break;
      CodeSource source{test::TextOfSize(v, kLevelM, TextEncoding::Utf8, 0.9),
                        {},
                        LogoInBox(test::SampleLogo(variant), kLogoBoxRect.size())};
      MadeCode code = MakeCode(encoder, source, Options(v, TextEncoding::Utf8), true);
      const ScanReport &r = *code.report;
      if (r.zxing.Exact() && r.zbar.Exact() && r.wechat.Exact() && !r.damage.PastCapacity() &&
          !r.SmallModules() && !r.captures.Passes()) {
        missed = std::move(code);
        missedText = *source.text;
      }
    }
  ASSERT_TRUE(missed) << "no fixture shows a capture missed";
  const ScanReport &r = *missed->report;
  EXPECT_TRUE(r.Fails());
  const std::vector<ScanCause> causes = r.Causes();
  ASSERT_FALSE(causes.empty());
  for (const ScanCause &c : causes) {
    EXPECT_EQ(c.kind, ScanCause::CaptureMissed);
    EXPECT_NE(c.captures, 0u);
    EXPECT_NE(c.reader, ReaderName::Zbar); // judged on the picture alone
  }
  // The check's account of each capture is what the readers say when asked
  // directly.
  for (CaptureKind kind : kCaptureKinds) {
    const QImage shot = PhoneCapture(missed->composite, kind);
    EXPECT_EQ((r.captures.zxingMissed & CaptureBit(kind)) == 0,
              ZxingGives(shot, missed->message, missedText))
        << static_cast<int>(kind);
    EXPECT_EQ((r.captures.wechatMissed & CaptureBit(kind)) == 0, WechatGives(shot, missedText))
        << static_cast<int>(kind);
  }
  const RemedySearch none;
  const VerdictWords words = NoRemedyWords(*missed, none, true);
  EXPECT_TRUE(words.text.startsWith(
      QStringLiteral("这个二维码作为图片能读出，但用手机对着拍时可能扫不出。")))
      << words.text.toStdString();
  EXPECT_TRUE(words.details.contains(QStringLiteral("模拟的手机拍摄画面")))
      << words.details.toStdString();

  // A short text with the same logo reads in every capture: no warning.
  const CodeSource plain{QStringLiteral("https://example.com/"),
                         {},
                         LogoInBox(test::SampleLogo(0), kLogoBoxRect.size())};
  const MadeCode good = MakeCode(encoder, plain, Options(0, TextEncoding::Utf8), true);
  EXPECT_TRUE(good.report->captures.read);
  EXPECT_EQ(good.report->captures.zxingMissed | good.report->captures.wechatMissed, 0u);
  EXPECT_TRUE(good.Passes());
}

} // namespace
} // namespace zub

namespace zub {
namespace {

// The character sets the search tries after a first code no reader reads
// (a logo over nearly the whole canvas: every candidate is ruled out
// without a reader, so every one planned is made): after ANSI, UTF-8 and
// UTF-8 with ECI 26; after UTF-8, UTF-8 with ECI 26; after UTF-8 with ECI
// 26, no other.
TEST(ScanRemedy, TheOtherCharacterSetsAreTriedAfterAnAnsiOrAUtf8FirstCode) {
  QrEncoder encoder;
  const struct {
    TextEncoding encoding;
    int eci;
    std::vector<std::pair<TextEncoding, int>> others;
  } cases[] = {
      {TextEncoding::Ansi, 0, {{TextEncoding::Utf8, 0}, {TextEncoding::Utf8, 26}}},
      {TextEncoding::Utf8, 0, {{TextEncoding::Utf8, 26}}},
      {TextEncoding::Utf8, 26, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.encoding) << " eci " << c.eci);
    CodeSource source = Source(QStringLiteral("中文字"), 1);
    source.logoBox = QRect(QPoint(8, 8), kCanvasSize - QSize(16, 16));
    source.logoInBox = LogoInBox(Logo(1), source.logoBox.size());
    const MadeCode first = MakeCode(encoder, source, Options(0, c.encoding, c.eci), true);
    ASSERT_TRUE(first.report->Fails());
    const RemedySearch search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
    std::vector<std::pair<TextEncoding, int>> seen;
    for (const RemedySearch::Tried &t : search.tried) {
      const std::pair<TextEncoding, int> charset{t.asked.encoding, t.asked.eci};
      if (charset != std::pair{c.encoding, c.eci} &&
          std::find(seen.begin(), seen.end(), charset) == seen.end())
        seen.push_back(charset);
    }
    EXPECT_EQ(seen, c.others);
    // Each other character set first at the user's own size and level.
    if (!c.others.empty()) {
      EXPECT_EQ(search.tried.front().asked.encoding, c.others.front().first);
      EXPECT_EQ(search.tried.front().asked.eci, c.others.front().second);
    }
  }
}

// Every cause in both languages: the Chinese line holds no English words
// but the names of readers, character sets and the logo; the English line
// no Chinese; both number blocks from 1, as a user counts.
TEST(ScanWords, EachCauseSpeaksOneLanguageAndCountsBlocksFromOne) {
  std::vector<ScanCause> causes;
  for (ScanCause::Kind kind :
       {ScanCause::Unread, ScanCause::WrongContent, ScanCause::Garbled,
        ScanCause::BlocksOverCapacity, ScanCause::PatternsCovered, ScanCause::UnevenStretch,
        ScanCause::SmallModules, ScanCause::CaptureMissed})
    for (ReaderName reader : {ReaderName::Zxing, ReaderName::Zbar, ReaderName::Wechat}) {
      ScanCause c = Cause(kind, reader);
      c.charset = QStringLiteral("Shift JIS");
      c.block = 0;
      c.wrong = 7;
      c.capacity = 5;
      c.otherBlocks = 2;
      c.parts = kFinderPart | kAlignmentPart | kTimingPart | kFormatPart | kVersionPart;
      c.minPixels = 2;
      c.maxPixels = 3;
      c.captures = CaptureBit(CaptureKind::Distant) | CaptureBit(CaptureKind::Tilted) |
                   CaptureBit(CaptureKind::Shaky);
      causes.push_back(c);
    }
  const QRegularExpression names(QStringLiteral("zxing-cpp|zbar|wechat_qrcode|Shift JIS|Logo"));
  for (const ScanCause &c : causes) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    QString chinese = CauseWords(c, Language::Chinese);
    const QString english = CauseWords(c, Language::English);
    chinese.remove(names);
    EXPECT_FALSE(chinese.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}"))))
        << CauseWords(c, Language::Chinese).toStdString();
    EXPECT_FALSE(english.contains(
        QRegularExpression(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"))))
        << english.toStdString();
    if (c.kind == ScanCause::BlocksOverCapacity) {
      EXPECT_TRUE(CauseWords(c, Language::Chinese).contains(QStringLiteral("第1块")));
      EXPECT_TRUE(english.contains(QStringLiteral("block 1 ")));
    }
  }
}

} // namespace
} // namespace zub
