// Every symbol must read back, byte for byte, with a real decoder.
#include "QrEncoder.h"

#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using zub::KanjiMode;
using zub::Picture;
using zub::QrEncoder;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Reads a symbol picture enlarged by a whole factor: readers miss large
// versions at one or two pixels a module. The first symbol found.
ZXing::Result Read(const Picture &p, int scale = 4) {
  const int w = p.width() * scale;
  const int h = p.height() * scale;
  std::vector<std::uint8_t> lum(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      lum[static_cast<std::size_t>(y * w + x)] = p.pixel(x / scale, y / scale);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  return ZXing::ReadBarcode({lum.data(), w, h, ZXing::ImageFormat::Lum}, hints);
}

// Its bytes, when it reads.
std::optional<Bytes> Decode(const Picture &p, int scale = 4) {
  const ZXing::Result result = Read(p, scale);
  if (!result.isValid())
    return std::nullopt;
  return Bytes(result.bytes().begin(), result.bytes().end());
}

enum class Content { Numeric, Alphanumeric, Byte, Kanji, Mixed };
const char *Name(Content c) {
  switch (c) {
  case Content::Numeric:
    return "numeric";
  case Content::Alphanumeric:
    return "alphanumeric";
  case Content::Byte:
    return "byte";
  case Content::Kanji:
    return "kanji";
  default:
    return "mixed";
  }
}

// A message of `length` bytes that exercises one mode, or all of them.
Bytes Message(Content c, int length) {
  static const std::string alnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:0123456789";
  static const Bytes mixed = [] {
    Bytes m;
    for (char ch : std::string("Mixed: 3141592653 SEGMENTS/AND-MODES "))
      m.push_back(static_cast<std::uint8_t>(ch));
    for (int b : {0x93, 0x5F, 0x88, 0x9F, 0xE4, 0xAA, 0x00, 0xFF, 0x0A})
      m.push_back(static_cast<std::uint8_t>(b));
    return m;
  }();
  Bytes m;
  for (int i = 0; i < length; ++i) {
    switch (c) {
    case Content::Numeric:
      m.push_back(static_cast<std::uint8_t>('0' + (i * 7) % 10));
      break;
    case Content::Alphanumeric:
      m.push_back(static_cast<std::uint8_t>(alnum[static_cast<std::size_t>(i) % alnum.size()]));
      break;
    case Content::Byte:
      m.push_back(static_cast<std::uint8_t>((i * 37 + 11) & 0xFF));
      break;
    case Content::Kanji: {
      // Shift JIS pairs from both lead-byte ranges.
      const int k = i / 2;
      const std::uint8_t lead =
          static_cast<std::uint8_t>(k % 3 == 2 ? 0xE0 + k % 11 : 0x81 + k % 31);
      const std::uint8_t trail = static_cast<std::uint8_t>(0x40 + (k * 13) % 0xBD);
      m.push_back(i % 2 == 0 ? lead : trail);
      break;
    }
    case Content::Mixed:
      m.push_back(mixed[static_cast<std::size_t>(i) % mixed.size()]);
      break;
    }
  }
  return m;
}

bool Fits(QrEncoder &qr, const Bytes &m, int version, int level) {
  return !qr.MakeSymbol(m.data(), static_cast<int>(m.size()), version, level, 0).isNull();
}

} // namespace

// Every version at every level, at its fullest: the longest message of one
// kind that fits must read back; one byte more must give no symbol.
TEST(RoundTrip, EveryVersionAndLevelAtCapacity) {
  QrEncoder qr;
  const Content kinds[] = {Content::Numeric, Content::Alphanumeric, Content::Byte, Content::Kanji,
                           Content::Mixed};
  for (int v = 1; v <= 40; ++v) {
    for (int level = 1; level <= 4; ++level) {
      const Content kind = kinds[(v + level) % 5];
      const int mask = (4 * v + level) % 8;
      int lo = 0, hi = 8000; // Fits(lo), !Fits(hi)
      while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        (Fits(qr, Message(kind, mid), v, level) ? lo : hi) = mid;
      }
      const Bytes fits = Message(kind, lo);
      const Picture p = qr.MakeSymbol(fits.data(), lo, v, level, mask);
      ASSERT_FALSE(p.isNull());
      ASSERT_EQ(p.width(), 4 * v + 25);
      EXPECT_EQ(Decode(p), fits) << "version " << v << " level " << level << " mask " << mask << " "
                                 << Name(kind) << " x" << lo;
      const Bytes tooLong = Message(kind, hi);
      EXPECT_TRUE(qr.MakeSymbol(tooLong.data(), hi, v, level, mask).isNull());
    }
  }
}

// Every mask at every level with the automatic version choice.
TEST(RoundTrip, EveryMaskAndLevelWithAutomaticVersion) {
  QrEncoder qr;
  const Bytes message = Message(Content::Mixed, 150);
  for (int level = 1; level <= 4; ++level)
    for (int mask = 0; mask <= 7; ++mask) {
      const Picture p = qr.MakeSymbol(message.data(), 150, 0, level, mask);
      ASSERT_FALSE(p.isNull());
      EXPECT_EQ(Decode(p), message) << "level " << level << " mask " << mask;
    }
}

TEST(RoundTrip, SmallAndSpecialMessages) {
  QrEncoder qr;
  const Bytes cases[] = {
      {},
      Bytes(34, '9'),
      {'H', 'E', 'L', 'L', 'O', ' ', 'W', 'O', 'R', 'L', 'D'},
      {0xE6, 0x96, 0x87, 0xE6, 0x96, 0x87, 0xE6, 0x96, 0x87}, // UTF-8 that passes the kanji test
      {0x81, 0x7F, 0xEB, 0xBF, 0x81, 0x40},
      Bytes(1273, 'a'),
  };
  for (const Bytes &m : cases) {
    const int level = m.size() > 1000 ? 4 : 2;
    for (KanjiMode kanji : {KanjiMode::Allowed, KanjiMode::Excluded}) {
      const Picture p = qr.MakeSymbol(m.data(), static_cast<int>(m.size()), 0, level, -1, kanji);
      ASSERT_FALSE(p.isNull()) << m.size();
      EXPECT_EQ(Decode(p), m) << m.size() << " bytes";
    }
  }
}

// With an ECI number the reader knows the character set instead of
// guessing it; the header's bits count when the version is chosen, and
// without one nothing changes.
TEST(RoundTrip, EciTellsTheReaderTheCharacterSet) {
  QrEncoder qr;
  const std::string text =
      "中文二维码"; // UTF-8; short Chinese texts are easily taken for another set
  const Bytes utf8(text.begin(), text.end());
  const Picture p = qr.MakeSymbol(utf8.data(), static_cast<int>(utf8.size()), 0, zub::kLevelM, 0,
                                  KanjiMode::Excluded, 26);
  ASSERT_FALSE(p.isNull());
  const ZXing::Result result = Read(p);
  ASSERT_TRUE(result.isValid());
  EXPECT_TRUE(result.hasECI());
  EXPECT_EQ(result.text(), text);
  EXPECT_EQ(Decode(p), utf8);

  // 14 bytes fill version 1-M exactly; the 12 header bits push them to 2.
  const Bytes full(14, 'a');
  zub::Symbol plain, withEci, zero;
  ASSERT_TRUE(qr.MakeMatrix(full.data(), 14, 0, zub::kLevelM, 3, KanjiMode::Excluded, plain));
  ASSERT_TRUE(qr.MakeMatrix(full.data(), 14, 0, zub::kLevelM, 3, KanjiMode::Excluded, withEci, 26));
  ASSERT_TRUE(qr.MakeMatrix(full.data(), 14, 0, zub::kLevelM, 3, KanjiMode::Excluded, zero, 0));
  EXPECT_EQ(plain.version, 1);
  EXPECT_EQ(withEci.version, 2);
  EXPECT_EQ(zero.modules.cells, plain.modules.cells);
  EXPECT_FALSE(
      qr.MakeMatrix(full.data(), 14, 1, zub::kLevelM, 3, KanjiMode::Excluded, withEci, 26));
  EXPECT_TRUE(qr.MakeSymbol(full.data(), 14, 0, zub::kLevelM, 3, KanjiMode::Excluded, -5).isNull());
}
