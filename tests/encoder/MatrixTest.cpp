#include "Picture.h"
#include "QrEncoder.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using zub::KanjiMode;
using zub::ModuleMatrix;
using zub::Picture;
using zub::QrEncoder;
using zub::Symbol;

using zub::test::BytesOf;

namespace {

int FreeCells(const ModuleMatrix &m) {
  int count = 0;
  for (int y = 0; y < m.n; ++y)
    for (int x = 0; x < m.n; ++x)
      count += m.at(x, y) == 0;
  return count;
}

} // namespace

TEST(FunctionPatterns, LeaveExactlyTheDataModulesFree) {
  const QrEncoder qr;
  for (int v = 1; v <= 40; ++v) {
    ModuleMatrix m(QrEncoder::SymbolSize(v));
    qr.DrawFunctionPatterns(m, v);
    EXPECT_EQ(FreeCells(m), QrEncoder::DataModules(v)) << "version " << v;
    EXPECT_EQ(m.at(8, m.n - 8), 1) << "dark module, version " << v;
    for (int i = 0; i < m.stride; ++i) {
      for (int extra = m.n; extra < m.stride; ++extra) {
        ASSERT_EQ(m.at(extra, i), 0);
        ASSERT_EQ(m.at(i, extra), 0);
      }
    }
  }
  ModuleMatrix none(21);
  qr.DrawFunctionPatterns(none, 0);
  qr.DrawFunctionPatterns(none, -1);
  EXPECT_EQ(FreeCells(none), 21 * 21);
}

TEST(FunctionPatterns, Version7AlignmentAndVersionAreas) {
  const QrEncoder qr;
  ModuleMatrix m(45);
  qr.DrawFunctionPatterns(m, 7);
  const int centres[][2] = {{22, 6}, {6, 22}, {22, 22}, {38, 22}, {22, 38}, {38, 38}};
  for (const auto &c : centres) {
    EXPECT_EQ(m.at(c[0], c[1]), 1);
    EXPECT_EQ(m.at(c[0] + 1, c[1]), 2);
    EXPECT_EQ(m.at(c[0] + 2, c[1] + 2), 1);
  }
  for (int y = 34; y <= 36; ++y)
    for (int x = 0; x <= 5; ++x) {
      EXPECT_EQ(m.at(x, y), 2);
      EXPECT_EQ(m.at(y, x), 2);
    }
  EXPECT_EQ(m.at(6, 34), 1) << "timing module crosses the version area";
  // No pattern on the finders: (38, 6) stays timing, not alignment.
  EXPECT_EQ(m.at(38, 6), 1);
  EXPECT_EQ(m.at(38, 7), 2) << "separator of the top-right finder";
}

// The map of the patterns marks exactly the modules drawn, each with the
// pattern that was drawn last there: the timing line through the version
// area, the alignment pattern over the timing line but never on a finder,
// the dark module in the format area.
TEST(FunctionPatterns, MapNamesThePatternOfEveryDrawnModule) {
  for (int v = 1; v <= 40; ++v) {
    ModuleMatrix drawn(QrEncoder::SymbolSize(v)), map(QrEncoder::SymbolSize(v));
    QrEncoder::DrawFunctionPatterns(drawn, v);
    QrEncoder::MapFunctionPatterns(map, v);
    for (std::size_t i = 0; i < drawn.cells.size(); ++i)
      ASSERT_EQ(drawn.cells[i] != 0, map.cells[i] != 0) << "version " << v << " cell " << i;
  }
  ModuleMatrix m(45);
  QrEncoder::MapFunctionPatterns(m, 7);
  const struct {
    int x, y;
    QrEncoder::FunctionPattern pattern;
  } cells[] = {
      {0, 0, QrEncoder::kFinderPattern},     {7, 7, QrEncoder::kFinderPattern},
      {38, 7, QrEncoder::kFinderPattern},    {8, 8, QrEncoder::kFormatArea},
      {8, 44, QrEncoder::kFormatArea},       {8, 37, QrEncoder::kDarkModule},
      {5, 34, QrEncoder::kVersionArea},      {36, 0, QrEncoder::kVersionArea},
      {6, 34, QrEncoder::kTimingPattern},    {8, 6, QrEncoder::kTimingPattern},
      {36, 6, QrEncoder::kTimingPattern},    {22, 6, QrEncoder::kAlignmentPattern},
      {20, 6, QrEncoder::kAlignmentPattern}, {40, 40, QrEncoder::kAlignmentPattern},
      {9, 9, QrEncoder::kNoPattern},         {38, 6, QrEncoder::kFinderPattern},
  };
  for (const auto &c : cells)
    EXPECT_EQ(m.at(c.x, c.y), c.pattern) << c.x << ", " << c.y;
}

// The order codeword bits fill the free cells in: every one once, up the
// rightmost column pair first (right cell before left), then down the next,
// the vertical timing column never used as the right one of a pair.
TEST(Placement, OrderVisitsEveryFreeCellOnceInZigZag) {
  for (int v = 1; v <= 40; ++v) {
    ModuleMatrix m(QrEncoder::SymbolSize(v));
    QrEncoder::DrawFunctionPatterns(m, v);
    std::vector<std::uint16_t> order{1, 2, 3}; // replaced, not appended to
    QrEncoder::PlacementOrder(m, order);
    ASSERT_EQ(order.size(), static_cast<std::size_t>(QrEncoder::DataModules(v))) << v;
    std::vector<int> seen(m.cells.size(), 0);
    for (std::uint16_t offset : order) {
      ASSERT_EQ(m.cells[offset], 0) << "a function module, version " << v;
      ASSERT_EQ(seen[offset]++, 0) << "twice, version " << v;
      ASSERT_NE(offset % m.stride, 6) << "the timing column, version " << v;
    }
  }
  ModuleMatrix m(21);
  QrEncoder::DrawFunctionPatterns(m, 1);
  std::vector<std::uint16_t> order;
  QrEncoder::PlacementOrder(m, order);
  auto at = [&m](int x, int y) { return static_cast<std::uint16_t>(y * m.stride + x); };
  // Rows 20 to 9 of columns 20 and 19 (the format row 8 and the finder above
  // end the way up), then down columns 18 and 17 from row 9.
  EXPECT_EQ(order[0], at(20, 20));
  EXPECT_EQ(order[1], at(19, 20));
  EXPECT_EQ(order[2], at(20, 19));
  EXPECT_EQ(order[23], at(19, 9));
  EXPECT_EQ(order[24], at(18, 9));
  EXPECT_EQ(order[25], at(17, 9));
  EXPECT_EQ(order.back(), at(0, 12)); // the last cell: up the leftmost pair to row 9
}

TEST(Masks, PatternsInvertTheRightCells) {
  const int n = 6;
  for (int mask : {-1, 0, 1, 2, 8, 100}) {
    std::vector<std::uint8_t> cells(n * n, 0);
    const int used = QrEncoder::ApplyMask(cells.data(), n, n, mask);
    EXPECT_EQ(used, (mask == 1 || mask == 2) ? mask : 0);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const bool inverted = cells[static_cast<std::size_t>(y * n + x)] == 1;
        const bool expected = used == 1 ? y % 2 == 0 : used == 2 ? x % 3 == 0 : (x + y) % 2 == 0;
        EXPECT_EQ(inverted, expected) << mask << " at " << x << "," << y;
      }
  }
}

TEST(Picture, Version1HasTheQuietZoneAndFinderPixels) {
  QrEncoder qr;
  const auto text = BytesOf("HELLO WORLD");
  const Picture p = qr.MakeSymbol(text.data(), static_cast<int>(text.size()), 0, 2, -1);
  ASSERT_FALSE(p.isNull());
  ASSERT_EQ(p.width(), 29);
  ASSERT_EQ(p.height(), 29);
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < 29; ++x) {
      const std::uint8_t v = p.pixel(x, y);
      ASSERT_TRUE(v == Picture::kBlack || v == Picture::kWhite);
      if (x < 4 || y < 4 || x > 24 || y > 24) {
        ASSERT_EQ(v, Picture::kWhite) << x << "," << y;
      }
    }
  EXPECT_EQ(p.pixel(4, 4), Picture::kBlack);
  EXPECT_EQ(p.pixel(7, 7), Picture::kBlack);
  EXPECT_EQ(p.pixel(5, 5), Picture::kWhite);
  EXPECT_EQ(p.bytesPerLine() % 4, 0);

  // A symbol drawn as text rows: the top-left finder with its separator and
  // the format bits of level M, mask 0 (101010000010010) in row 8.
  const char *rows[] = {"11111110", "10000010", "10111010", "10111010",
                        "10111010", "10000010", "11111110", "00000000"};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(p.pixel(4 + x, 4 + y) == Picture::kBlack, rows[y][x] == '1') << x << "," << y;
  const char *format = "101010000010010";
  const int formatColumns[] = {0, 1, 2, 3, 4, 5, 7, 8};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(p.pixel(4 + formatColumns[i], 4 + 8) == Picture::kBlack, format[i] == '1') << i;
}

// The picture says what it shows: the version as its size has it, the
// level and mask made (after the fallbacks), the modules a side; the same
// facts as the matrix of the same call. Other pictures are no symbol.
TEST(Picture, CarriesTheFactsOfTheSymbolItShows) {
  QrEncoder qr;
  const auto text = BytesOf("FACTS 0123456789 facts");
  struct Case {
    int version, level, mask;
    zub::SymbolFacts made;
  } const cases[] = {
      {0, zub::kLevelH, 5, {3, 4, 5, 29}},
      {0, zub::kLevelL, 7, {2, 1, 7, 25}},
      {7, zub::kLevelQ, 3, {7, 3, 3, 45}},
      {40, 9, -2, {40, 2, 0, 177}}, // fallbacks: M, mask 0
  };
  for (const Case &c : cases) {
    const Picture p =
        qr.MakeSymbol(text.data(), static_cast<int>(text.size()), c.version, c.level, c.mask);
    ASSERT_FALSE(p.isNull());
    EXPECT_EQ(p.facts(), c.made) << c.version << "/" << c.level << "/" << c.mask;
    EXPECT_EQ(p.width(), c.made.modules + 2 * zub::kQuietZone);
    EXPECT_EQ((p.width() - 25) / 4, p.facts().version);
    Symbol s;
    ASSERT_TRUE(qr.MakeMatrix(text.data(), static_cast<int>(text.size()), c.version, c.level,
                              c.mask, KanjiMode::Allowed, s));
    EXPECT_EQ(s.facts(), p.facts());
  }
  const std::uint8_t bits[] = {1, 0, 0, 1};
  EXPECT_EQ(zub::BitsToPicture(bits, 2, 2, 1, 1, 1, 1).facts(), zub::SymbolFacts{});
  const std::vector<std::uint8_t> tooLong(200, 'x');
  EXPECT_EQ(qr.MakeSymbol(tooLong.data(), 200, 1, 1, 0).facts(), zub::SymbolFacts{}); // null
}

TEST(Picture, SizesFollowTheVersionAndBitsToPictureKeepsPixels) {
  QrEncoder qr;
  const auto text = BytesOf("x");
  for (int v : {1, 7, 40}) {
    const Picture p = qr.MakeSymbol(text.data(), 1, v, 1, 0);
    ASSERT_FALSE(p.isNull());
    EXPECT_EQ(p.width(), 4 * v + 25);
    EXPECT_EQ(p.height(), 4 * v + 25);
  }
  const std::uint8_t bits[] = {1, 0, 0, 1, 1, 1, 0, 0};
  const Picture small = zub::BitsToPicture(bits, 4, 2, 2, 1, 3, 4);
  ASSERT_EQ(small.width(), 9);
  ASSERT_EQ(small.height(), 7);
  EXPECT_EQ(small.pixel(2, 1), Picture::kBlack);
  EXPECT_EQ(small.pixel(3, 1), Picture::kWhite);
  EXPECT_EQ(small.pixel(3, 2), Picture::kBlack);
  EXPECT_EQ(small.pixel(0, 0), Picture::kWhite);
  EXPECT_TRUE(zub::BitmapToPicture({}).isNull());
}

TEST(Driver, VersionChoiceAndCapacityEdges) {
  QrEncoder qr;
  Symbol s;
  auto version = [&](const std::vector<std::uint8_t> &data, int v, int level) {
    return qr.MakeMatrix(data.data(), static_cast<int>(data.size()), v, level, 0,
                         KanjiMode::Allowed, s)
               ? s.version
               : -1;
  };
  EXPECT_EQ(version(std::vector<std::uint8_t>(34, '9'), 0, 2), 1);
  EXPECT_EQ(version(std::vector<std::uint8_t>(35, '9'), 0, 2), 2);
  EXPECT_EQ(version(std::vector<std::uint8_t>(1273, 'a'), 0, 4), 40);
  EXPECT_EQ(version(std::vector<std::uint8_t>(1274, 'a'), 0, 4), -1);
  EXPECT_EQ(version(std::vector<std::uint8_t>(17, 'a'), 1, 1), 1);
  EXPECT_EQ(version(std::vector<std::uint8_t>(18, 'a'), 1, 1), -1);
  EXPECT_EQ(version({}, 0, 2), 1);
  EXPECT_EQ(version(std::vector<std::uint8_t>(10, 'a'), 41, 2), 1);
  EXPECT_EQ(version(std::vector<std::uint8_t>(10, 'a'), -1, 2), -1);

  // Out-of-range level and mask fall back to M and mask 0.
  const auto text = BytesOf("FALLBACK");
  ASSERT_TRUE(qr.MakeMatrix(text.data(), 8, 3, 2, 0, KanjiMode::Allowed, s));
  const std::vector<std::uint8_t> reference = s.modules.cells;
  for (int level : {0, 5})
    for (int mask : {-1, 8}) {
      ASSERT_TRUE(qr.MakeMatrix(text.data(), 8, 3, level, mask, KanjiMode::Allowed, s));
      EXPECT_EQ(s.modules.cells, reference) << level << "/" << mask;
      EXPECT_EQ(s.mask, 0);
    }
}

TEST(Driver, OversizedMessagesGiveNullWithoutOverrun) {
  QrEncoder qr;
  const std::vector<std::uint8_t> huge(100 * 1024, '1');
  for (int v : {0, 1, 40})
    EXPECT_TRUE(qr.MakeSymbol(huge.data(), static_cast<int>(huge.size()), v, 1, 0).isNull());
  // Just beyond what the write buffer could ever need, and just below.
  const std::vector<std::uint8_t> digits(7089, '1');
  EXPECT_FALSE(qr.MakeSymbol(digits.data(), 7089, 40, 1, 0).isNull());
  EXPECT_TRUE(qr.MakeSymbol(digits.data(), 7090, 40, 1, 0).isNull());
  const std::vector<std::uint8_t> letters(4000, 'z');
  EXPECT_TRUE(qr.MakeSymbol(letters.data(), 4000, 5, 2, 0).isNull());
  // The encoder stays usable.
  EXPECT_FALSE(qr.MakeSymbol(digits.data(), 10, 0, 2, 0).isNull());
}

TEST(Driver, RepeatedCallsGiveIdenticalSymbols) {
  QrEncoder qr;
  const auto a = BytesOf("first message 123");
  const auto b = BytesOf("ANOTHER ONE");
  Symbol first, again;
  ASSERT_TRUE(
      qr.MakeMatrix(a.data(), static_cast<int>(a.size()), 0, 3, 5, KanjiMode::Allowed, first));
  ASSERT_TRUE(
      qr.MakeMatrix(b.data(), static_cast<int>(b.size()), 12, 4, 2, KanjiMode::Allowed, again));
  ASSERT_TRUE(
      qr.MakeMatrix(a.data(), static_cast<int>(a.size()), 0, 3, 5, KanjiMode::Allowed, again));
  EXPECT_EQ(first.modules.cells, again.modules.cells);
}

// Readers take whichever copy of the format information and of the version
// survives, so a read-back never sees a wrong second copy; a reader meets it
// when a logo or a scratch spoils the first. Each copy is read from the
// finished matrix on its own, bit by bit.
TEST(FunctionPatterns, BothFormatCopiesAndBothVersionBlocksCarryTheirBits) {
  QrEncoder qr;
  const std::vector<std::uint8_t> message = BytesOf("Zub");
  auto make = [&](int version, int level, int mask) {
    Symbol s;
    EXPECT_TRUE(qr.MakeMatrix(message.data(), static_cast<int>(message.size()), version, level,
                              mask, KanjiMode::Excluded, s));
    return s.modules;
  };
  // Bit i (0 = least significant) of a copy, read where it is placed.
  auto formatAroundTopLeft = [](const ModuleMatrix &m) {
    int bits = 0;
    for (int i = 0; i < 15; ++i) {
      const int x = i <= 7 ? 8 : i == 8 ? 7 : 14 - i;
      const int y = i <= 5 ? i : i == 6 ? 7 : 8;
      bits |= m.at(x, y) << i;
    }
    return bits;
  };
  auto formatBesideTheOthers = [](const ModuleMatrix &m) {
    int bits = 0;
    for (int i = 0; i < 15; ++i)
      bits |= (i <= 7 ? m.at(m.n - 1 - i, 8) : m.at(8, m.n - 15 + i)) << i;
    return bits;
  };
  for (int version : {1, 7, 40})
    for (int level = 1; level <= 4; ++level)
      for (int mask = 0; mask < 8; ++mask) {
        const ModuleMatrix m = make(version, level, mask);
        const int want = QrEncoder::FormatBits(level, mask);
        EXPECT_EQ(formatAroundTopLeft(m), want) << version << "/" << level << "/" << mask;
        EXPECT_EQ(formatBesideTheOthers(m), want) << version << "/" << level << "/" << mask;
        EXPECT_EQ(m.at(8, m.n - 8), 1) << "dark module";
      }

  for (int version = 7; version <= 40; ++version) {
    const ModuleMatrix m = make(version, 2, 5);
    int aboveBottomLeft = 0, leftOfTopRight = 0;
    for (int i = 0; i < 18; ++i) {
      aboveBottomLeft |= m.at(i / 3, m.n - 11 + i % 3) << i;
      leftOfTopRight |= m.at(m.n - 11 + i % 3, i / 3) << i;
    }
    EXPECT_EQ(aboveBottomLeft, QrEncoder::VersionBits(version)) << "version " << version;
    EXPECT_EQ(leftOfTopRight, QrEncoder::VersionBits(version)) << "version " << version;
  }
}
