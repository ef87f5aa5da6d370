// Symbol geometry and capacity: sizes, module and codeword counts, alignment
// spacing, and the error-correction block tables. Compile-time constants,
// shared by every encoder; included at the end of QrEncoder.h.
#pragma once

#include "QrEncoder.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace zub {

namespace symbol_tables {

// Error correction characteristics (ISO/IEC 18004, Table 9), one row per
// version, columns L, M, Q, H: the total number of blocks of both groups...
inline constexpr std::uint8_t kEcBlocks[160] = {
    1,  1,  1,  1,  //  1
    1,  1,  1,  1,  //  2
    1,  1,  2,  2,  //  3
    1,  2,  2,  4,  //  4
    1,  2,  4,  4,  //  5
    2,  4,  4,  4,  //  6
    2,  4,  6,  5,  //  7
    2,  4,  6,  6,  //  8
    2,  5,  8,  8,  //  9
    4,  5,  8,  8,  // 10
    4,  5,  8,  11, // 11
    4,  8,  10, 11, // 12
    4,  9,  12, 16, // 13
    4,  9,  16, 16, // 14
    6,  10, 12, 18, // 15
    6,  10, 17, 16, // 16
    6,  11, 16, 19, // 17
    6,  13, 18, 21, // 18
    7,  14, 21, 25, // 19
    8,  16, 20, 25, // 20
    8,  17, 23, 25, // 21
    9,  17, 23, 34, // 22
    9,  18, 25, 30, // 23
    10, 20, 27, 32, // 24
    12, 21, 29, 35, // 25
    12, 23, 34, 37, // 26
    12, 25, 34, 40, // 27
    13, 26, 35, 42, // 28
    14, 28, 38, 45, // 29
    15, 29, 40, 48, // 30
    16, 31, 43, 51, // 31
    17, 33, 45, 54, // 32
    18, 35, 48, 57, // 33
    19, 37, 51, 60, // 34
    19, 38, 53, 63, // 35
    20, 40, 56, 66, // 36
    21, 43, 59, 70, // 37
    22, 45, 62, 74, // 38
    24, 47, 65, 77, // 39
    25, 49, 68, 81, // 40
};

// ...and the error-correction codewords per block, the same in both groups.
inline constexpr std::uint8_t kEcCodewords[160] = {
    7,  10, 13, 17, //  1
    10, 16, 22, 28, //  2
    15, 26, 18, 22, //  3
    20, 18, 26, 16, //  4
    26, 24, 18, 22, //  5
    18, 16, 24, 28, //  6
    20, 18, 18, 26, //  7
    24, 22, 22, 26, //  8
    30, 22, 20, 24, //  9
    18, 26, 24, 28, // 10
    20, 30, 28, 24, // 11
    24, 22, 26, 28, // 12
    26, 22, 24, 22, // 13
    30, 24, 20, 24, // 14
    22, 24, 30, 24, // 15
    24, 28, 24, 30, // 16
    28, 28, 28, 28, // 17
    30, 26, 28, 28, // 18
    28, 26, 26, 26, // 19
    28, 26, 30, 28, // 20
    28, 26, 28, 30, // 21
    28, 28, 30, 24, // 22
    30, 28, 30, 30, // 23
    30, 28, 30, 30, // 24
    26, 28, 30, 30, // 25
    28, 28, 28, 30, // 26
    30, 28, 30, 30, // 27
    30, 28, 30, 30, // 28
    30, 28, 30, 30, // 29
    30, 28, 30, 30, // 30
    30, 28, 30, 30, // 31
    30, 28, 30, 30, // 32
    30, 28, 30, 30, // 33
    30, 28, 30, 30, // 34
    30, 28, 30, 30, // 35
    30, 28, 30, 30, // 36
    30, 28, 30, 30, // 37
    30, 28, 30, 30, // 38
    30, 28, 30, 30, // 39
    30, 28, 30, 30, // 40
};

constexpr bool IsQrVersion(int v) {
  return v >= 1 && v <= 40;
}
constexpr bool IsMicroVersion(int v) {
  return v >= -4 && v <= -1;
}
constexpr std::size_t TableIndex(int v, int level) {
  return static_cast<std::size_t>(4 * (v - 1) + (level - 1));
}

} // namespace symbol_tables

constexpr int QrEncoder::SymbolSize(int v) {
  if (symbol_tables::IsQrVersion(v))
    return 4 * v + 17;
  if (symbol_tables::IsMicroVersion(v))
    return 9 - 2 * v;
  return 0;
}

constexpr int QrEncoder::AlignmentCount(int v) {
  if (v >= 2 && v <= 40)
    return v / 7 + 2;
  return 1;
}

constexpr int QrEncoder::AlignmentPatterns(int v) {
  const int k = AlignmentCount(v);
  return (symbol_tables::IsQrVersion(v) && k > 1) ? k * k - 3 : 0;
}

constexpr int QrEncoder::DataModules(int v) {
  const int n = SymbolSize(v);
  if (symbol_tables::IsMicroVersion(v))
    return n * n + 4 * v - 81;
  if (!symbol_tables::IsQrVersion(v))
    return 0;
  const int k = AlignmentCount(v);
  int modules = n * (n - 2) - 191; // finders, separators, timing, format areas, dark module
  if (k > 1)
    modules -= 25 * k * k - 10 * k - 55; // alignment patterns, less their overlap with timing
  if (k >= 3)
    modules -= 36; // the two version areas
  return modules;
}

constexpr int QrEncoder::TotalCodewords(int v) {
  if (symbol_tables::IsMicroVersion(v))
    return (DataModules(v) + 4) / 8; // M1 and M3 end in a half codeword
  return DataModules(v) / 8;
}

namespace symbol_tables {

// Distance between neighbouring alignment centres, counted from the
// bottom/right; 255 leaves versions 1-6 with at most one pattern.
inline constexpr std::array<std::uint8_t, 40> kAlignStep = [] {
  std::array<std::uint8_t, 40> steps{};
  for (int v = 1; v <= 40; ++v) {
    int step;
    if (v <= 6)
      step = 255;
    else if (v <= 13)
      step = 2 * v + 2;
    else if (v <= 20)
      step = ((2 * v + 4) / 3) * 2;
    else if (v <= 27)
      step = (v + 2) & ~1;
    else if (v <= 34)
      step = (v / 3) * 2 + 6;
    else
      step = (v / 3) * 2 + 2;
    steps[static_cast<std::size_t>(v - 1)] = static_cast<std::uint8_t>(step);
  }
  return steps;
}();

// The data codewords: the total less the check codewords.
inline constexpr std::array<std::int16_t, 160> kDataCodewords = [] {
  std::array<std::int16_t, 160> data{};
  for (std::size_t i = 0; i < 160; ++i) {
    const int v = static_cast<int>(i / 4) + 1;
    data[i] =
        static_cast<std::int16_t>(QrEncoder::TotalCodewords(v) - kEcBlocks[i] * kEcCodewords[i]);
  }
  return data;
}();

} // namespace symbol_tables

constexpr int QrEncoder::AlignStep(int v) {
  return symbol_tables::kAlignStep[static_cast<std::size_t>(v - 1)];
}
constexpr int QrEncoder::EcBlocks(int v, int level) {
  return symbol_tables::kEcBlocks[symbol_tables::TableIndex(v, level)];
}
constexpr int QrEncoder::EcCodewords(int v, int level) {
  return symbol_tables::kEcCodewords[symbol_tables::TableIndex(v, level)];
}
constexpr int QrEncoder::DataCodewords(int v, int level) {
  return symbol_tables::kDataCodewords[symbol_tables::TableIndex(v, level)];
}

constexpr QrEncoder::Blocks QrEncoder::BlocksOf(int v, int level) {
  const int B = EcBlocks(v, level);
  const int D = DataCodewords(v, level);
  const int r = D % B;
  return {B, EcCodewords(v, level), D, (D + B - 1) / B, r > 0 ? B - r : 0};
}

} // namespace zub
