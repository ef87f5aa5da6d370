#include "QrEncoder.h"

#include <gtest/gtest.h>

#include <vector>

using zub::QrEncoder;

TEST(Tables, SizeFunctionsAtTheirEdges) {
  struct Case {
    int v, size, alignCount, alignPatterns;
  };
  const Case cases[] = {{1, 21, 1, 0},  {2, 25, 2, 1},   {6, 41, 2, 1},    {7, 45, 3, 6},
                        {13, 69, 3, 6}, {14, 73, 4, 13}, {40, 177, 7, 46}, {0, 0, 1, 0},
                        {41, 0, 1, 0},  {-1, 11, 1, 0},  {-4, 17, 1, 0}};
  for (const Case &c : cases) {
    EXPECT_EQ(QrEncoder::SymbolSize(c.v), c.size) << c.v;
    EXPECT_EQ(QrEncoder::AlignmentCount(c.v), c.alignCount) << c.v;
    EXPECT_EQ(QrEncoder::AlignmentPatterns(c.v), c.alignPatterns) << c.v;
  }
}

TEST(Tables, ModulesAndCodewordsOfEveryVersion) {
  const std::vector<int> modules = {208,   359,   567,   807,   1079,  1383,  1568,  1936,
                                    2336,  2768,  3232,  3728,  4256,  4651,  5243,  5867,
                                    6523,  7211,  7931,  8683,  9252,  10068, 10916, 11796,
                                    12708, 13652, 14628, 15371, 16411, 17483, 18587, 19723,
                                    20891, 22091, 23008, 24272, 25568, 26896, 28256, 29648};
  const std::vector<int> codewords = {26,   44,   70,   100,  134,  172,  196,  242,  292,  346,
                                      404,  466,  532,  581,  655,  733,  815,  901,  991,  1085,
                                      1156, 1258, 1364, 1474, 1588, 1706, 1828, 1921, 2051, 2185,
                                      2323, 2465, 2611, 2761, 2876, 3034, 3196, 3362, 3532, 3706};
  for (int v = 1; v <= 40; ++v) {
    EXPECT_EQ(QrEncoder::DataModules(v), modules[static_cast<std::size_t>(v - 1)]) << v;
    EXPECT_EQ(QrEncoder::TotalCodewords(v), codewords[static_cast<std::size_t>(v - 1)]) << v;
  }
  EXPECT_EQ(QrEncoder::DataModules(14) % 8, 3);
  const int micro[] = {36, 80, 132, 192};
  const int microCodewords[] = {5, 10, 17, 24};
  for (int m = 1; m <= 4; ++m) {
    EXPECT_EQ(QrEncoder::DataModules(-m), micro[m - 1]);
    EXPECT_EQ(QrEncoder::TotalCodewords(-m), microCodewords[m - 1]);
  }
  EXPECT_EQ(QrEncoder::TotalCodewords(0), 0);
  EXPECT_EQ(QrEncoder::DataModules(41), 0);
}

// The tables belong to no encoder object: they are known at compile time.
static_assert(QrEncoder::DataCodewords(40, zub::kLevelL) == 2956);
static_assert(QrEncoder::AlignStep(7) == 16 && QrEncoder::SymbolSize(40) == 177);

TEST(Tables, AlignStepAndBlocks) {
  const QrEncoder qr;
  const std::vector<int> steps = {255, 255, 255, 255, 255, 255, 16, 18, 20, 22, 24, 26, 28, 20,
                                  22,  24,  24,  26,  28,  28,  22, 24, 24, 26, 26, 28, 28, 24,
                                  24,  26,  26,  26,  28,  28,  24, 26, 26, 26, 28, 28};
  for (int v = 1; v <= 40; ++v)
    EXPECT_EQ(qr.AlignStep(v), steps[static_cast<std::size_t>(v - 1)]) << v;

  struct Row {
    int v, blocks[4], ecc[4];
  };
  const Row rows[] = {{1, {1, 1, 1, 1}, {7, 10, 13, 17}},
                      {5, {1, 2, 4, 4}, {26, 24, 18, 22}},
                      {7, {2, 4, 6, 5}, {20, 18, 18, 26}},
                      {40, {25, 49, 68, 81}, {30, 28, 30, 30}}};
  for (const Row &r : rows)
    for (int level = 1; level <= 4; ++level) {
      EXPECT_EQ(qr.EcBlocks(r.v, level), r.blocks[level - 1]) << r.v << "/" << level;
      EXPECT_EQ(qr.EcCodewords(r.v, level), r.ecc[level - 1]) << r.v << "/" << level;
    }
  const int v1[] = {19, 16, 13, 9};
  for (int level = 1; level <= 4; ++level)
    EXPECT_EQ(qr.DataCodewords(1, level), v1[level - 1]);
  EXPECT_EQ(qr.DataCodewords(40, 1), 2956);
  EXPECT_EQ(qr.DataCodewords(40, 4), 1276);
  EXPECT_EQ(qr.DataCodewords(5, 3), 62);

  // Every level holds data, and no block is longer than the 255 symbols a
  // code over GF(256) allows.
  for (int v = 1; v <= 40; ++v)
    for (int level = 1; level <= 4; ++level) {
      const int D = qr.DataCodewords(v, level);
      const int B = qr.EcBlocks(v, level);
      EXPECT_GT(D, 0);
      EXPECT_LE((D + B - 1) / B + qr.EcCodewords(v, level), 255);
    }
}

TEST(Tables, FormatAndVersionWords) {
  struct Format {
    int level, mask;
    const char *bits;
  };
  const Format formats[] = {{2, 0, "101010000010010"},
                            {1, 0, "111011111000100"},
                            {3, 0, "011010101011111"},
                            {4, 0, "001011010001001"},
                            {1, 5, "110001100011000"}};
  auto binary = [](int value, int width) {
    std::string s;
    for (int i = width - 1; i >= 0; --i)
      s += ((value >> i) & 1) ? '1' : '0';
    return s;
  };
  for (const Format &f : formats)
    EXPECT_EQ(binary(QrEncoder::FormatBits(f.level, f.mask), 15), f.bits);
  EXPECT_EQ(binary(QrEncoder::VersionBits(7), 18), "000111110010010100");
  EXPECT_EQ(binary(QrEncoder::VersionBits(8), 18), "001000010110111100");
  EXPECT_EQ(binary(QrEncoder::VersionBits(40), 18), "101000110001101001");
  EXPECT_EQ(QrEncoder::BchRemainder(0, 0x537, 0x400, 10), 0);
}
