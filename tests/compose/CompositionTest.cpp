#include "Composite.h"
#include "Layout.h"
#include "LogoBox.h"
#include "LogoImage.h"
#include "MessageBytes.h"
#include "QrEncoder.h"
#include "ScanCheck.h"
#include "Stretch.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <tuple>

namespace zub {
namespace {

using test::BytesOf;
using test::DecodeAll;
using test::SampleLogo;

Picture Symbol(const std::vector<std::uint8_t> &message, int version = 0, int level = kLevelM) {
  QrEncoder encoder;
  return encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), version, level, 0,
                            KanjiMode::Excluded);
}

QImage Solid(QSize size, QRgb colour) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// The top-left corner of the rounded logo region ('#' shows the logo),
// worked out from the geometry rather than taken from the library: the
// pixels whose centres lie in the 30 x 30 corner ellipse. The other three
// corners mirror it about the middle of the 79 x 79 square.
constexpr const char *kCorner[15] = {
    "...........####", "........#######", ".......########", ".....##########", "....###########",
    "...############", "...############", "..#############", ".##############", ".##############",
    ".##############", "###############", "###############", "###############", "###############",
};

// Whether pixel (x, y) of the 89 x 89 logo box shows the logo.
bool InReferenceRegion(int x, int y) {
  if (x < 0 || y < 0 || x >= 79 || y >= 79)
    return false;
  const int cx = x < 15 ? x : x >= 64 ? 78 - x : -1;
  const int cy = y < 15 ? y : y >= 64 ? 78 - y : -1;
  return cx < 0 || cy < 0 || kCorner[cy][cx] == '#';
}

// Where each module of a 29-pixel picture (version 1) begins when it is
// stretched over the 552 x 409 canvas, counted by hand: 552 / 29 = 19.03
// columns and 409 / 29 = 14.1 rows a module.
constexpr int kColumnStarts[29] = {0,   20,  39,  58,  77,  96,  115, 134, 153, 172,
                                   191, 210, 229, 248, 267, 286, 305, 324, 343, 362,
                                   381, 400, 419, 438, 457, 476, 495, 514, 533};
constexpr int kRowStarts[29] = {0,   15,  29,  43,  57,  71,  85,  99,  113, 127,
                                142, 156, 170, 184, 198, 212, 226, 240, 254, 268,
                                283, 297, 311, 325, 339, 353, 367, 381, 395};

// The pixel of a version-1 symbol picture that canvas pixel (x, y) shows.
int ModuleAt(const Picture &symbol, int x, int y) {
  auto index = [](const int(&starts)[29], int d) {
    return static_cast<int>(std::upper_bound(std::begin(starts), std::end(starts), d) -
                            std::begin(starts)) -
           1;
  };
  return symbol.pixel(index(kColumnStarts, x), index(kRowStarts, y));
}

TEST(LogoRegion, RoundedSquareOf79PixelsInThe89PixelBox) {
  struct Case {
    int x, y;
    bool inside;
  };
  for (const Case c : {Case{0, 0, false}, Case{78, 0, false}, Case{0, 78, false},
                       Case{78, 78, false}, Case{39, 0, true}, Case{39, 39, true},
                       Case{0, 39, true}, Case{78, 39, true}, Case{39, 78, true}, Case{3, 3, false},
                       Case{4, 4, true}, Case{74, 74, true}, Case{75, 75, false}})
    EXPECT_EQ(InLogoRegion(c.x, c.y, 89, 89), c.inside) << c.x << "," << c.y;
  // Every pixel of the box, in the test of a pixel and in the window shape.
  const QRegion region = LogoRegion(QSize(89, 89));
  for (int y = 0; y < 89; ++y)
    for (int x = 0; x < 89; ++x) {
      ASSERT_EQ(InLogoRegion(x, y, 89, 89), InReferenceRegion(x, y)) << x << "," << y;
      ASSERT_EQ(region.contains(QPoint(x, y)), InReferenceRegion(x, y)) << x << "," << y;
    }
}

TEST(Stretch, SymbolFillsTheCanvasInSolidBlocksOfEqualOrNeighbouringWidth) {
  const Picture symbol = Symbol(BytesOf("HELLO"), 1); // 29 x 29 pixels
  ASSERT_EQ(symbol.width(), 29);
  const QImage canvas = StretchSymbol(symbol, kCanvasSize);
  ASSERT_EQ(canvas.size(), kCanvasSize);
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const int grey = ModuleAt(symbol, x, y);
      ASSERT_EQ(canvas.pixel(x, y), qRgb(grey, grey, grey)) << x << "," << y;
    }
  EXPECT_TRUE(StretchSymbol(Picture(), kCanvasSize).isNull());
}

TEST(LogoInBox, EnlargesInBlocksShrinksSmoothlyAndShowsWhiteThroughTransparency) {
  QImage twoByTwo(2, 2, QImage::Format_ARGB32);
  twoByTwo.setPixel(0, 0, qRgb(255, 0, 0));
  twoByTwo.setPixel(1, 0, qRgb(0, 255, 0));
  twoByTwo.setPixel(0, 1, qRgb(0, 0, 255));
  twoByTwo.setPixel(1, 1, qRgba(0, 0, 0, 0)); // fully transparent
  const QImage big = LogoInBox(twoByTwo, QSize(89, 89));
  ASSERT_EQ(big.size(), QSize(89, 89));
  EXPECT_EQ(big.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(big.pixel(44, 44), qRgb(255, 0, 0));
  EXPECT_EQ(big.pixel(45, 0), qRgb(0, 255, 0));
  EXPECT_EQ(big.pixel(0, 45), qRgb(0, 0, 255));
  EXPECT_EQ(big.pixel(88, 88), kWindowColour);

  // A one-pixel checkerboard shrunk to a quarter averages to grey.
  QImage checker(356, 356, QImage::Format_RGB32);
  for (int y = 0; y < 356; ++y)
    for (int x = 0; x < 356; ++x)
      checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  const QImage small = LogoInBox(checker, QSize(89, 89));
  for (const QPoint p : {QPoint(10, 10), QPoint(44, 70)})
    EXPECT_NEAR(qGray(small.pixel(p)), 128, 8);

  // A banner shrinks across and grows down: 4 rows of 2 colours.
  QImage banner(400, 2, QImage::Format_RGB32);
  for (int x = 0; x < 400; ++x) {
    banner.setPixel(x, 0, qRgb(200, 0, 0));
    banner.setPixel(x, 1, qRgb(0, 0, 200));
  }
  const QImage stretched = LogoInBox(banner, QSize(89, 89));
  EXPECT_EQ(stretched.pixel(88, 44), qRgb(200, 0, 0));
  EXPECT_EQ(stretched.pixel(0, 45), qRgb(0, 0, 200));
}

TEST(CaptureWindowBits, HeaderAndBottomUpRowsWithOffset) {
  // A canvas whose every row has its own colour shows where rows go.
  QImage canvas(kCanvasSize, QImage::Format_RGB32);
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x)
      canvas.setPixel(x, y, qRgb(y % 256, x % 256, 7));
  const QImage noLogo;

  BitmapInfo header;
  header.bmiHeader.biXPelsPerMeter = 1234; // not the capture's to change
  std::vector<std::uint8_t> bits =
      CaptureWindowBits(LogoWindow{canvas, kLogoBoxRect, noLogo}, header, 32, 0);
  EXPECT_EQ(header.bmiHeader.biSize, 40u);
  EXPECT_EQ(header.bmiHeader.biWidth, 89);
  EXPECT_EQ(header.bmiHeader.biHeight, 89);
  EXPECT_EQ(header.bmiHeader.biPlanes, 1);
  EXPECT_EQ(header.bmiHeader.biBitCount, 32);
  EXPECT_EQ(header.bmiHeader.biCompression, 0u);
  EXPECT_EQ(header.bmiHeader.biXPelsPerMeter, 1234);
  ASSERT_EQ(bits.size(), 31684u); // 89 rows of 356 bytes
  // The first row is the box's bottom row (canvas row 152 + 88 = 240), column 232.
  EXPECT_EQ(std::vector<int>(bits.begin(), bits.begin() + 4), (std::vector<int>{7, 232, 240, 0}));
  // The last row is the box's top row: pixel (1, 0) is canvas (233, 152).
  EXPECT_EQ(std::vector<int>(bits.begin() + 88 * 356 + 4, bits.begin() + 88 * 356 + 8),
            (std::vector<int>{7, 233, 152, 0}));

  // An offset of k leaves k zero bytes in front of the same pixels.
  BitmapInfo shifted;
  const std::vector<std::uint8_t> withOffset =
      CaptureWindowBits(LogoWindow{canvas, kLogoBoxRect, noLogo}, shifted, 32, 5);
  ASSERT_EQ(withOffset.size(), 31684u + 5);
  EXPECT_EQ(std::vector<std::uint8_t>(withOffset.begin(), withOffset.begin() + 5),
            std::vector<std::uint8_t>(5, 0));
  EXPECT_TRUE(std::equal(bits.begin(), bits.end(), withOffset.begin() + 5));

  // A 3-pixel-wide window at 24 bits: rows of 9 bytes padded to 12.
  BitmapInfo narrow;
  const std::vector<std::uint8_t> narrowBits =
      CaptureWindowBits(LogoWindow{canvas, QRect(10, 20, 3, 2), noLogo}, narrow, 24, 0);
  ASSERT_EQ(narrowBits.size(), 24u);
  EXPECT_EQ(std::vector<int>(narrowBits.begin(), narrowBits.begin() + 12),
            (std::vector<int>{7, 10, 21, 7, 11, 21, 7, 12, 21, 0, 0, 0}));
  EXPECT_EQ(ImageFromBitmapBits(narrow, narrowBits, 0), canvas.copy(10, 20, 3, 2));

  // Bit counts it cannot deliver leave the header as it was.
  BitmapInfo untouched;
  EXPECT_TRUE(
      CaptureWindowBits(LogoWindow{canvas, kLogoBoxRect, noLogo}, untouched, 16, 0).empty());
  EXPECT_EQ(untouched.bmiHeader.biSize, 0u);
}

TEST(CaptureWindowBits, ReadBackGivesTheBoxAsAnUnobstructedScreenShowsIt) {
  const QImage canvas = StretchSymbol(Symbol(BytesOf("CAPTURE")), kCanvasSize);
  const QImage logo = SampleLogo();
  BitmapInfo header;
  const std::vector<std::uint8_t> bits =
      CaptureWindowBits(LogoWindow{canvas, kLogoBoxRect, logo}, header, 32, 3);
  const QImage box = ImageFromBitmapBits(header, bits, 3);
  const QImage drawn = LogoInBox(logo, kLogoBoxRect.size());
  ASSERT_EQ(box.size(), QSize(89, 89));
  for (int y = 0; y < 89; ++y)
    for (int x = 0; x < 89; ++x) {
      const QRgb expected =
          InReferenceRegion(x, y) ? drawn.pixel(x, y) : canvas.pixel(232 + x, 152 + y);
      ASSERT_EQ(box.pixel(x, y), expected) << x << "," << y;
    }

  // The same bits described top-down, and too few bits.
  BitmapInfo topDown = header;
  topDown.bmiHeader.biHeight = -89;
  EXPECT_EQ(ImageFromBitmapBits(topDown, bits, 3), box.mirrored(false, true));
  EXPECT_TRUE(ImageFromBitmapBits(header, bits, 4).isNull());
}

TEST(Composite, LogoInTheRoundedRectangleAt232And152OverTheStretchedSymbol) {
  const Picture symbol = Symbol(BytesOf("HTTPS://ZUB.CN/"), 1);
  ASSERT_EQ(symbol.width(), 29);
  const QRgb red = qRgb(220, 20, 20);
  const QImage composite = ComposeQRPicture(symbol, Solid(QSize(300, 200), red));
  ASSERT_EQ(composite.size(), kCanvasSize);
  ASSERT_EQ(composite.format(), QImage::Format_RGB32);
  for (int y = 0; y < kCanvasSize.height(); ++y)
    for (int x = 0; x < kCanvasSize.width(); ++x) {
      const int grey = ModuleAt(symbol, x, y);
      const bool logo = InReferenceRegion(x - 232, y - 152);
      ASSERT_EQ(composite.pixel(x, y), logo ? red : qRgb(grey, grey, grey)) << x << "," << y;
    }
  EXPECT_EQ(composite.pixel(232 + 39, 152), red);
  EXPECT_EQ(composite.pixel(232 + 39, 152 + 39), red);
  // Without a logo the composite is the canvas itself.
  EXPECT_EQ(ComposeQRPicture(symbol, QImage()), StretchSymbol(symbol, kCanvasSize));
}

// Half-transparent logo pixels blend over the window's white to exact
// values, whether the logo is enlarged, kept or shrunk into the box.
TEST(Composite, HalfTransparentLogoPixelsBlendOverWhiteExactly) {
  const Picture symbol = Symbol(BytesOf("HTTPS://ZUB.CN/"), 1);
  const QRgb blended = qRgb(255, 127, 127); // red at alpha 128 over white
  for (const QSize size : {QSize(2, 2), QSize(89, 89), QSize(300, 200), QSize(40, 400)}) {
    QImage logo(size, QImage::Format_ARGB32);
    logo.fill(qRgba(255, 0, 0, 128));
    const QImage box = LogoInBox(logo, QSize(89, 89));
    const QImage composite = ComposeQRPicture(symbol, logo);
    for (int y = 0; y < 89; ++y)
      for (int x = 0; x < 89; ++x) {
        ASSERT_EQ(box.pixel(x, y), blended)
            << size.width() << "x" << size.height() << " " << x << "," << y;
        if (InReferenceRegion(x, y)) {
          ASSERT_EQ(composite.pixel(232 + x, 152 + y), blended)
              << size.width() << "x" << size.height() << " " << x << "," << y;
        }
      }
  }
}

TEST(Composite, CanvasLargerThanTheCompositeIsCutNotScaled) {
  const QImage canvas = Solid(QSize(600, 450), qRgb(1, 2, 3));
  QImage marked = canvas;
  marked.setPixel(551, 408, qRgb(9, 9, 9));
  const QImage composite = ComposeComposite(marked, QImage(), kLogoBoxRect, kCanvasSize);
  ASSERT_EQ(composite.size(), kCanvasSize);
  EXPECT_EQ(composite.pixel(551, 408), qRgb(9, 9, 9));
  EXPECT_EQ(composite.pixel(0, 0), qRgb(1, 2, 3));
}

class DecodeTable : public ::testing::TestWithParam<std::tuple<int, TextEncoding>> {};

// The composite with a logo, read as it is by zxing-cpp, gives back exactly
// the message at every level and encoding for versions 1 to 20. Level L at
// versions 1 and 2 is the exception: the logo hides more codewords than it
// corrects for most messages; there the read-back check must agree with
// the reader.
TEST_P(DecodeTable, CompositeReadsBackUpToVersion20) {
  const auto [level, encoding] = GetParam();
  const QImage logo = SampleLogo();
  for (int version = 1; version <= 20; ++version) {
    const QString text = test::TextOfSize(version, level, encoding, 0.8);
    const std::vector<std::uint8_t> message = MessageBytes(text, encoding);
    const Picture symbol = Symbol(message, version, level);
    ASSERT_FALSE(symbol.isNull()) << version;
    ASSERT_EQ(symbol.width(), 4 * version + 25);
    const QImage composite = ComposeQRPicture(symbol, logo);
    const auto found = DecodeAll(composite, encoding == TextEncoding::Utf8 ? "UTF-8" : "GB18030");
    if (level == kLevelL && version <= 2) {
      EXPECT_EQ(ReadWithZxing(composite, message, std::nullopt).Exact(),
                found.size() == 1 && found[0].bytes == message);
      continue;
    }
    EXPECT_TRUE(ReadWithZxing(composite, message, std::nullopt).Exact()) << "version " << version;
    ASSERT_EQ(found.size(), 1u) << "version " << version;
    EXPECT_EQ(found[0].bytes, message) << "version " << version;
    EXPECT_EQ(found[0].text, text) << "version " << version;
  }
}

INSTANTIATE_TEST_SUITE_P(LevelsAndEncodings, DecodeTable,
                         ::testing::Combine(::testing::Values(kLevelL, kLevelM, kLevelQ, kLevelH),
                                            ::testing::Values(TextEncoding::Utf8,
                                                              TextEncoding::Ansi)),
                         [](const auto &param) {
                           const int level = std::get<0>(param.param);
                           return std::string(1, "LMQH"[level - 1]) +
                                  (std::get<1>(param.param) == TextEncoding::Utf8 ? "_Utf8"
                                                                                  : "_Gbk");
                         });

TEST(ReadsBack, AgreesWithTheReaderBeyondVersion20AndRefusesOtherContent) {
  const std::vector<std::uint8_t> message = BytesOf("http://www.zub.cn");
  const QImage composite = ComposeQRPicture(Symbol(message), SampleLogo());
  EXPECT_TRUE(ReadsBack(composite, message));
  EXPECT_FALSE(ReadsBack(composite, BytesOf("http://www.zub.c")));
  EXPECT_FALSE(ReadsBack(Solid(kCanvasSize, kWindowColour), message));
  EXPECT_FALSE(ReadsBack(QImage(), message));

  // From about version 25 the stretch alone leaves modules too uneven for the
  // reader; the check reports exactly what the reader finds.
  for (int version : {25, 31, 40}) {
    const std::vector<std::uint8_t> long_ = MessageBytes(
        test::TextOfSize(version, kLevelM, TextEncoding::Utf8, 0.8), TextEncoding::Utf8);
    const QImage big = ComposeQRPicture(Symbol(long_, version), QImage());
    bool found = false;
    for (const auto &d : DecodeAll(big))
      found = found || d.bytes == long_;
    EXPECT_EQ(ReadsBack(big, long_), found) << version;
  }
  const std::vector<std::uint8_t> v40 =
      MessageBytes(test::TextOfSize(40, kLevelM, TextEncoding::Utf8, 0.8), TextEncoding::Utf8);
  EXPECT_FALSE(ReadsBack(ComposeQRPicture(Symbol(v40, 40), QImage()), v40));
}

// Readers turn kanji segments into Shift JIS text, so a Chinese message must
// not be carried in kanji mode; the bytes alone would survive, the text not.
TEST(ChineseText, ReadsBackAsItsOwnTextInUtf8AndGbkOnlyWithoutKanjiMode) {
  struct Case {
    QString text;
    TextEncoding encoding;
    std::string charset;
  };
  // The UTF-8 of 文 (E6 96 87) and the GBK of 丂 (81 40) pass the kanji test,
  // and runs of them are shorter in kanji mode.
  for (const Case &c :
       {Case{QStringLiteral("文文文二维码生成器"), TextEncoding::Utf8, "UTF-8"},
        Case{QStringLiteral("丂丄丅丆丏丒丗丟丠両二维码"), TextEncoding::Ansi, "GB18030"}}) {
    const std::vector<std::uint8_t> message = MessageBytes(c.text, c.encoding);
    ASSERT_TRUE(QrEncoder::IsKanjiPair(message[0], message[1]));
    QrEncoder encoder;
    for (KanjiMode kanji : {KanjiMode::Allowed, KanjiMode::Excluded}) {
      const Picture symbol = encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), 0,
                                                kLevelM, 0, kanji);
      const auto found = DecodeAll(ComposeQRPicture(symbol, SampleLogo()), c.charset);
      ASSERT_EQ(found.size(), 1u);
      EXPECT_EQ(found[0].bytes, message);
      EXPECT_EQ(found[0].text == c.text, kanji == KanjiMode::Excluded) << c.charset;
    }
  }
}

} // namespace
} // namespace zub
