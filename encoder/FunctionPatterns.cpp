// Function patterns: finders with separators, format and version areas,
// the dark module, timing patterns and alignment patterns.
#include "QrEncoder.h"

namespace zub {

namespace {
constexpr std::uint8_t kDark = 1;
constexpr std::uint8_t kLight = 2;

// A finder pattern with its separator, seen from its corner: a dark 7 x 7
// border, a light ring, a dark 3 x 3 centre, and a light row and column 7.
struct FinderBlock {
  std::uint8_t at[8][8]; // [row][column]
  constexpr FinderBlock() : at{} {
    for (int r = 0; r <= 7; ++r)
      for (int c = 0; c <= 7; ++c) {
        const bool light = ((c == 1 || c == 5) && r >= 1 && r <= 5) ||
                           ((r == 1 || r == 5) && c >= 1 && c <= 5) || c == 7 || r == 7;
        at[r][c] = light ? kLight : kDark;
      }
  }
};
constexpr FinderBlock kFinder;
} // namespace

template <class Put> void QrEncoder::ForEachFunctionModule(int n, int v, Put put) {
  // 1. Finder patterns with their separators, at three corners, mirrored
  // so that the separators face the symbol.
  for (int r = 0; r <= 7; ++r) {
    for (int c = 0; c <= 7; ++c) {
      const std::uint8_t value = kFinder.at[r][c];
      put(c, r, value, kFinderPattern);
      put(n - 1 - c, r, value, kFinderPattern);
      put(c, n - 1 - r, value, kFinderPattern);
    }
  }

  // 2. Format areas, filled in after masking.
  for (int i = 0; i <= 7; ++i) {
    put(i, 8, kLight, kFormatArea);
    put(8, i, kLight, kFormatArea);
    put(n - 1 - i, 8, kLight, kFormatArea);
    put(8, n - 1 - i, kLight, kFormatArea);
  }
  put(8, 8, kLight, kFormatArea);

  // 3. The dark module.
  put(8, n - 8, kDark, kDarkModule);

  // 4. Version areas (6 x 3 each once the timing pattern crosses column/row 6).
  if (v >= 7) {
    for (int y = n - 11; y <= n - 9; ++y) {
      for (int x = 0; x <= 6; ++x) {
        put(x, y, kLight, kVersionArea);
        put(y, x, kLight, kVersionArea);
      }
    }
  }

  // 5. Timing patterns; they also take (8, 6) and (6, 8) from the format areas.
  for (int j = 8; j <= n - 9; ++j) {
    const std::uint8_t value = (j % 2 == 0) ? kDark : kLight;
    put(j, 6, value, kTimingPattern);
    put(6, j, value, kTimingPattern);
  }

  // 6. Alignment patterns, drawn last.
  if (v >= 2) {
    auto pattern = [&put](int cx, int cy) {
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
          const bool dark = dx == 2 || dx == -2 || dy == 2 || dy == -2 || (dx == 0 && dy == 0);
          put(cx + dx, cy + dy, dark ? kDark : kLight, kAlignmentPattern);
        }
    };
    const int s = AlignStep(v);
    for (int cy = n - 7; cy >= 18; cy -= s)
      for (int cx = n - 7; cx >= 18; cx -= s)
        pattern(cx, cy);
    for (int c = n - 7 - s; c >= 18; c -= s) {
      pattern(c, 6);
      pattern(6, c);
    }
  }
}

void QrEncoder::DrawFunctionPatterns(ModuleMatrix &m, int v) {
  if (v < 1 || v > 40)
    return;
  ForEachFunctionModule(
      m.n, v, [&m](int x, int y, std::uint8_t colour, FunctionPattern) { m.at(x, y) = colour; });
}

void QrEncoder::MapFunctionPatterns(ModuleMatrix &m, int v) {
  if (v < 1 || v > 40)
    return;
  ForEachFunctionModule(
      m.n, v, [&m](int x, int y, std::uint8_t, FunctionPattern pattern) { m.at(x, y) = pattern; });
}

} // namespace zub
