#pragma once

// Judges of a data bit stream, shared by the fuzz targets and the tests:
// a reader that takes a stream apart into its segments and the bytes they
// carry, and the segmentation the encoder must choose, found the plain way.

#include "BitBuffer.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zub::fuzz {

inline constexpr int kCountWidth[3][4] = {{8, 10, 9, 8}, {16, 12, 11, 10}, {16, 14, 13, 12}};
enum Mode { kByte, kNumeric, kAlnum, kKanji };

struct Segment {
  Mode mode;
  int count; // characters
  bool operator==(const Segment &) const = default;
};
inline constexpr std::string_view kAlnumChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

inline int GroupOf(int version) {
  if (version <= 9)
    return 0;
  return version <= 26 ? 1 : 2;
}

// Reads a stream the way a reader does: segment by segment, into the bytes
// it carries. False when it is malformed. segments() lists what was read.
class StreamParser {
public:
  StreamParser(const BitBuffer &bits, int begin, int end) : bits_(bits), pos_(begin), end_(end) {}

  bool Parse(int group, bool kanjiAllowed, std::vector<std::uint8_t> &out) {
    for (;;) {
      int indicator = 0;
      if (!Read(4, indicator))
        return false;
      Mode mode;
      switch (indicator) {
      case 0b0000:
        return pos_ == end_; // the terminator ends the stream
      case 0b0100:
        mode = kByte;
        break;
      case 0b0001:
        mode = kNumeric;
        break;
      case 0b0010:
        mode = kAlnum;
        break;
      case 0b1000:
        if (!kanjiAllowed)
          return false;
        mode = kKanji;
        break;
      default:
        return false;
      }
      int count = 0;
      if (!Read(kCountWidth[group][mode], count) || count == 0)
        return false;
      segments_.push_back({mode, count});
      if (!ParseSegment(mode, count, out))
        return false;
    }
  }

  const std::vector<Segment> &segments() const { return segments_; }

private:
  bool Read(int width, int &value) {
    if (pos_ + width > end_)
      return false;
    value = 0;
    for (int i = 0; i < width; ++i)
      value = value << 1 | bits_.bit(pos_++);
    return true;
  }

  static void PutDigits(int value, int digits, std::vector<std::uint8_t> &out) {
    for (int d = digits - 1; d >= 0; --d) {
      int p = 1;
      for (int i = 0; i < d; ++i)
        p *= 10;
      out.push_back(static_cast<std::uint8_t>('0' + value / p % 10));
    }
  }

  bool ParseSegment(Mode mode, int count, std::vector<std::uint8_t> &out) {
    int value = 0;
    switch (mode) {
    case kNumeric:
      for (; count >= 3; count -= 3) {
        if (!Read(10, value) || value > 999)
          return false;
        PutDigits(value, 3, out);
      }
      if (count > 0) {
        if (!Read(count == 1 ? 4 : 7, value) || value > (count == 1 ? 9 : 99))
          return false;
        PutDigits(value, count, out);
      }
      return true;
    case kAlnum:
      for (; count >= 2; count -= 2) {
        if (!Read(11, value) || value >= 45 * 45)
          return false;
        out.push_back(static_cast<std::uint8_t>(kAlnumChars[static_cast<std::size_t>(value / 45)]));
        out.push_back(static_cast<std::uint8_t>(kAlnumChars[static_cast<std::size_t>(value % 45)]));
      }
      if (count > 0) {
        if (!Read(6, value) || value >= 45)
          return false;
        out.push_back(static_cast<std::uint8_t>(kAlnumChars[static_cast<std::size_t>(value)]));
      }
      return true;
    case kKanji:
      for (; count > 0; --count) {
        if (!Read(13, value) || value % 0xC0 > 0xBF)
          return false;
        // Undo the compaction: two bytes of Shift JIS.
        int pair = (value / 0xC0) << 8 | (value % 0xC0);
        pair += pair < 0x1F00 ? 0x8140 : 0xC140;
        out.push_back(static_cast<std::uint8_t>(pair >> 8));
        out.push_back(static_cast<std::uint8_t>(pair & 0xFF));
      }
      return true;
    default:
      for (; count > 0; --count) {
        if (!Read(8, value))
          return false;
        out.push_back(static_cast<std::uint8_t>(value));
      }
      return true;
    }
  }

  const BitBuffer &bits_;
  int pos_;
  int end_;
  std::vector<Segment> segments_;
};

// Whether a mode can carry the character that ends at data[t] (two bytes
// for kanji: Shift JIS 0x8140-0x9FFC and 0xE040-0xEBBF, with any second byte
// from 0x40 up, as the encoder accepts).
inline bool Carries(Mode mode, const std::uint8_t *data, int t) {
  const std::uint8_t b = data[t];
  switch (mode) {
  case kNumeric:
    return b >= '0' && b <= '9';
  case kAlnum:
    return b != 0 && kAlnumChars.find(static_cast<char>(b)) != std::string_view::npos;
  case kKanji: {
    if (t < 1 || b < 0x40)
      return false;
    const std::uint8_t first = data[t - 1];
    return (first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xEA) ||
           (first == 0xEB && b <= 0xBF);
  }
  default:
    return true;
  }
}

// Bits one more character adds to a segment that holds `count` of them:
// numeric 10 per three digits (4, 3, 3), alphanumeric 11 per pair (6, 5).
inline int FurtherBits(Mode mode, int count) {
  switch (mode) {
  case kNumeric:
    return count % 3 == 0 ? 4 : 3;
  case kAlnum:
    return count % 2 == 0 ? 6 : 5;
  case kKanji:
    return 13;
  default:
    return 8;
  }
}

// The segmentation the encoder chooses, found the plain way, and its bits
// without the terminator. For every character and every mode that can
// carry it: the cheapest stream up to that character whose last segment
// has that mode, either continuing the segment of that mode before the
// character (while its count has room) or opening a new one after any
// mode, with the lowest mode before winning among equal costs. The stream
// ends in the cheapest mode of the last character, the lowest on ties.
inline std::vector<Segment> PlainSegmentation(const std::uint8_t *data, int n, int group,
                                              bool kanjiAllowed, int &bits) {
  struct Cell {
    long long cost = -1; // -1: the mode cannot carry the character
    int run = 0;         // characters of the last segment
    int before = -1;     // mode of the character before, -1 at the start
  };
  std::vector<std::array<Cell, 4>> cells(static_cast<std::size_t>(n));
  const auto at = [&cells](int t) -> std::array<Cell, 4> & {
    return cells[static_cast<std::size_t>(t)];
  };
  for (int t = 0; t < n; ++t)
    for (int m = kByte; m <= kKanji; ++m) {
      const Mode mode = static_cast<Mode>(m);
      if (!Carries(mode, data, t) || (mode == kKanji && !kanjiAllowed))
        continue;
      const int width = kCountWidth[group][mode];
      const int opening = 4 + width + FurtherBits(mode, 0);
      const int previous = mode == kKanji ? t - 2 : t - 1; // the character before
      Cell &cell = at(t)[static_cast<std::size_t>(m)];
      if (previous < 0) {
        cell = {opening, 1, -1};
        continue;
      }
      for (int p = kByte; p <= kKanji; ++p) {
        const Cell &from = at(previous)[static_cast<std::size_t>(p)];
        if (from.cost < 0)
          continue;
        const bool continues = p == m && from.run < (1 << width) - 1;
        const long long cost = from.cost + (continues ? FurtherBits(mode, from.run) : opening);
        if (cell.cost < 0 || cost < cell.cost)
          cell = {cost, continues ? from.run + 1 : 1, p};
      }
    }

  int mode = kByte;
  for (int m = kNumeric; m <= kKanji; ++m) {
    const long long cost = at(n - 1)[static_cast<std::size_t>(m)].cost;
    if (cost >= 0 && cost < at(n - 1)[static_cast<std::size_t>(mode)].cost)
      mode = m;
  }
  bits = static_cast<int>(at(n - 1)[static_cast<std::size_t>(mode)].cost);
  // Back from the last character: a segment ends where its cell's run is
  // counted, and its first character says the mode before it.
  std::vector<Segment> segments;
  for (int t = n - 1; t >= 0;) {
    const int run = at(t)[static_cast<std::size_t>(mode)].run;
    const int unit = mode == kKanji ? 2 : 1;
    const int first = t - unit * (run - 1);
    segments.insert(segments.begin(), Segment{static_cast<Mode>(mode), run});
    mode = at(first)[static_cast<std::size_t>(mode)].before;
    t = first - unit;
  }
  return segments;
}

} // namespace zub::fuzz
