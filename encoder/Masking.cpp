// Data masks, and the BCH-protected format and version information.
#include "QrEncoder.h"

#include "MaskPatterns.h"

namespace zub {

namespace {
constexpr int kFormatPoly = 0x537;   // x^10 + x^8 + x^5 + x^4 + x^2 + x + 1
constexpr int kFormatXor = 0x5412;   // keeps the format word from being all zero
constexpr int kVersionPoly = 0x1F25; // x^12 + x^11 + x^10 + x^9 + x^8 + x^5 + x^2 + 1

} // namespace

int QrEncoder::ApplyMask(std::uint8_t *matrix, int n, int stride, int mask) {
  if (mask < 0 || mask > 7)
    mask = 0;
  const auto size = static_cast<unsigned>(n);
  WithMask(mask, [&]<int m>() {
    for (unsigned y = 0; y < size; ++y) {
      std::uint8_t *row = matrix + static_cast<std::ptrdiff_t>(y) * stride;
      for (unsigned x = 0; x < size; ++x)
        row[x] ^= static_cast<std::uint8_t>(MaskInverts<m>(x, y));
    }
  });
  return mask;
}

int QrEncoder::BchRemainder(int value, int poly, int topBit, int count) {
  for (int i = 0; i < count; ++i) {
    value *= 2;
    if (value & topBit)
      value = (value ^ poly) & (topBit - 1);
  }
  return value;
}

int QrEncoder::FormatBits(int ecLevel, int mask) {
  const int indicator = (ecLevel - 1) ^ 1; // L 01, M 00, Q 11, H 10
  const int data = indicator * 8 | mask;
  const int check = BchRemainder(data, kFormatPoly, 0x400, 10);
  return (data * 1024 | check) ^ kFormatXor;
}

int QrEncoder::VersionBits(int v) {
  return v * 4096 | BchRemainder(v, kVersionPoly, 0x1000, 12);
}

void QrEncoder::WriteVersionAndFormat(ModuleMatrix &m, int v, int ecLevel, int mask) {
  const int n = m.n;
  if (v >= 7) {
    const int bits = VersionBits(v);
    for (int j = 0; j <= 5; ++j)
      for (int k = 0; k <= 2; ++k) {
        const auto bit = static_cast<std::uint8_t>((bits >> (3 * j + k)) & 1);
        m.at(j, n - 11 + k) = bit; // above the bottom-left finder
        m.at(n - 11 + k, j) = bit; // left of the top-right finder
      }
  }

  const int format = FormatBits(ecLevel, mask);
  auto bit = [format](int i) { return static_cast<std::uint8_t>((format >> i) & 1); };
  // First copy around the top-left finder, skipping the timing modules.
  for (int i = 14; i >= 9; --i)
    m.at(14 - i, 8) = bit(i);
  m.at(7, 8) = bit(8);
  m.at(8, 8) = bit(7);
  m.at(8, 7) = bit(6);
  for (int i = 5; i >= 0; --i)
    m.at(8, i) = bit(i);
  // Second copy: bits 14-8 up the left of the bottom-left finder, 7-0 along
  // the top-right finder.
  for (int i = 14; i >= 8; --i)
    m.at(8, n - 1 - (14 - i)) = bit(i);
  for (int i = 7; i >= 0; --i)
    m.at(n - 1 - i, 8) = bit(i);
}

} // namespace zub
