#pragma once
// The quality a JPEG file was written at, read from the file itself: its
// quantisation tables are the standard ones (the JPEG standard's example
// tables) scaled for the quality, as libjpeg scales them. A writer that
// sets the quality where the library's defaults later reset it writes 75
// whatever it asked for; a decoder cannot tell, the tables can.

#include <array>
#include <cstdint>
#include <map>
#include <string_view>

namespace zub::test {

namespace jpegquality {

// The standard luminance and chrominance tables, row by row.
constexpr std::array<int, 64> kLuminance = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr std::array<int, 64> kChrominance = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
// Where each value of a table stored in a file (in zigzag order) stands in
// the rows.
constexpr std::array<int, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The standard table `base` at `quality`, as libjpeg makes it for a
// baseline file.
inline int Scaled(int base, int quality) {
  const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
  const int value = (base * scale + 50) / 100;
  return value < 1 ? 1 : value > 255 ? 255 : value;
}

} // namespace jpegquality

// The quality (1-100) that gives the table `stored` (as a file holds it),
// scaled from the luminance or the chrominance table; 0 when none does.
inline int QualityOfTable(const std::array<int, 64> &stored, bool chrominance) {
  using namespace jpegquality;
  const std::array<int, 64> &base = chrominance ? kChrominance : kLuminance;
  for (int quality = 1; quality <= 100; ++quality) {
    bool same = true;
    for (int k = 0; k < 64 && same; ++k)
      same = stored[static_cast<std::size_t>(k)] ==
             Scaled(base[static_cast<std::size_t>(kZigzag[static_cast<std::size_t>(k)])], quality);
    if (same)
      return quality;
  }
  return 0;
}

// The quantisation tables of the JPEG file `bytes` by their number, each
// with the quality it implies: table 0 is taken for luminance, the others
// for chrominance, as writers number them. Empty when there are none.
inline std::map<int, int> JpegTableQualities(std::string_view bytes) {
  std::map<int, int> qualities;
  const auto byte = [&bytes](std::size_t at) {
    return at < bytes.size() ? static_cast<int>(static_cast<std::uint8_t>(bytes[at])) : -1;
  };
  std::size_t at = 2; // past the start of image
  while (byte(at) == 0xFF) {
    const int marker = byte(at + 1);
    if (marker == 0xDA || marker < 0)
      break; // the scan: no table comes after
    const std::size_t length = static_cast<std::size_t>(byte(at + 2) << 8 | byte(at + 3));
    if (marker == 0xDB) {
      for (std::size_t table = at + 4; table + 65 <= at + 2 + length; table += 65) {
        if (byte(table) >> 4 != 0)
          break; // 16-bit values: no writer of ours makes them
        std::array<int, 64> stored{};
        for (std::size_t k = 0; k < 64; ++k)
          stored[k] = byte(table + 1 + k);
        const int number = byte(table) & 15;
        qualities[number] = QualityOfTable(stored, number != 0);
      }
    }
    at += 2 + length;
  }
  return qualities;
}

} // namespace zub::test
