// Message bytes to the data bit stream: a minimum-cost choice of numeric,
// alphanumeric, byte and kanji segments, then the segments themselves.
#include "clsQRCode.h"

#include <memory>
#include <new>

namespace zub {

namespace {

// Mode indexes double as the tie-break order: the lower index wins.
enum Mode : int { kByte = 0, kNumeric = 1, kAlnum = 2, kKanji = 3 };
constexpr int kModes = 4;
constexpr std::uint32_t kModeIndicator[kModes] = {0b0100, 0b0001, 0b0010, 0b1000};

constexpr std::int32_t kImpossible = 0x70000000;

// Per version group (1-9, 10-26, 27-40): count field widths and the cost
// of opening a segment (indicator + count + first character), by mode.
constexpr int kCountWidth[3][kModes] = {{8, 10, 9, 8}, {16, 12, 11, 10}, {16, 14, 13, 12}};
constexpr int kOpenCost[3][kModes] = {{20, 18, 19, 25}, {28, 20, 21, 27}, {28, 22, 23, 29}};

int VersionGroup(int version) {
  if (version <= 9)
    return 0;
  return version <= 26 ? 1 : 2;
}

// Bits a character adds to a segment that already holds `count` of them.
int FurtherCost(int mode, int count) {
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

struct ModeCell {
  std::int32_t PrevMode;
  std::int32_t Cost;
  std::int32_t RunLength;
};

} // namespace

int clsQRCode::CharClass(std::uint8_t b) {
  if (b >= '0' && b <= '9')
    return 1;
  if (b >= 'A' && b <= 'Z')
    return 2;
  switch (b) {
  case ' ':
  case '$':
  case '%':
  case '*':
  case '+':
  case '-':
  case '.':
  case '/':
  case ':':
    return 2;
  default:
    return 0;
  }
}

int clsQRCode::AlnumValue(std::uint8_t b) {
  if (b >= '0' && b <= '9')
    return b - '0';
  if (b >= 'A' && b <= 'Z')
    return b - 'A' + 10;
  switch (b) {
  case ' ':
    return 36;
  case '$':
    return 37;
  case '%':
    return 38;
  case '*':
    return 39;
  case '+':
    return 40;
  case '-':
    return 41;
  case '.':
    return 42;
  case '/':
    return 43;
  case ':':
    return 44;
  default:
    return 0;
  }
}

bool clsQRCode::IsKanjiPair(std::uint8_t first, std::uint8_t second) {
  if (second < 0x40)
    return false;
  return (first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xEA) ||
         (first == 0xEB && second <= 0xBF);
}

int clsQRCode::KanjiValue(std::uint8_t first, std::uint8_t second) {
  const int base = first <= 0x9F ? 0x81 : 0xC1;
  return (first - base) * 192 + (second - 0x40);
}

int clsQRCode::BuildDataBits(BitBuffer &bits, const std::uint8_t *data, int n, int version,
                             bool EstimateOnly, KanjiMode kanji) const {
  if (n <= 0) {
    bits.Put(0, 4); // the terminator alone, even when estimating
    return 4;
  }
  const int start = bits.size();
  const int group = VersionGroup(version);
  const int *openCost = kOpenCost[group];
  std::int32_t MaxCount[kModes];
  for (int m = 0; m < kModes; ++m)
    MaxCount[m] = Pow2_[static_cast<std::size_t>(kCountWidth[group][m])] - 1;
  const bool kanjiAllowed = kanji == KanjiMode::Allowed;

  // The segmentation table: for every position and mode, the cheapest
  // encoding of bytes 0..t whose last character is in that mode.
  std::unique_ptr<ModeCell[]> table(new (std::nothrow)
                                        ModeCell[static_cast<std::size_t>(n) * kModes]);
  if (!table)
    return 0x7fffffff; // cannot even plan the stream: fits nothing
  auto cell = [&](int t, int m) -> ModeCell & {
    return table[static_cast<std::size_t>(t) * kModes + static_cast<std::size_t>(m)];
  };

  for (int t = 0; t < n; ++t) {
    const int cls = CharClass(data[t]);
    const bool possible[kModes] = {true, cls == 1, cls >= 1,
                                   kanjiAllowed && t >= 1 && IsKanjiPair(data[t - 1], data[t])};
    for (int m = 0; m < kModes; ++m) {
      ModeCell &c = cell(t, m);
      if (!possible[m]) {
        c = {0, kImpossible, 0};
        continue;
      }
      const int s = m == kKanji ? t - 2 : t - 1;
      if (s < 0) {
        c = {-1, openCost[m], 1};
        continue;
      }
      std::int32_t best = 0x7fffffff;
      int winner = 0;
      bool continued = false;
      for (int P = 0; P < kModes; ++P) {
        const ModeCell &prev = cell(s, P);
        const bool extends = P == m && prev.RunLength < MaxCount[m];
        const std::int32_t candidate =
            prev.Cost + (extends ? FurtherCost(m, prev.RunLength) : openCost[m]);
        if (candidate < best) {
          best = candidate;
          winner = P;
          continued = extends;
        }
      }
      c = {winner, best, continued ? cell(s, winner).RunLength + 1 : 1};
    }
  }

  int last = 0;
  for (int m = 1; m < kModes; ++m)
    if (cell(n - 1, m).Cost < cell(n - 1, last).Cost)
      last = m;
  const int length = cell(n - 1, last).Cost + 4;
  if (EstimateOnly || length > bits.capacity() - bits.size())
    return length;

  // Back-trace the cheapest path into one mode per byte.
  std::unique_ptr<std::uint8_t[]> ByteMode(new (std::nothrow)
                                               std::uint8_t[static_cast<std::size_t>(n)]);
  if (!ByteMode)
    return 0x7fffffff;
  for (int pos = n - 1, mode = last; pos >= 0;) {
    const int prev = cell(pos, mode).PrevMode;
    ByteMode[static_cast<std::size_t>(pos)] = static_cast<std::uint8_t>(mode);
    if (mode == kKanji) {
      ByteMode[static_cast<std::size_t>(pos - 1)] = kKanji;
      pos -= 2;
    } else {
      pos -= 1;
    }
    mode = prev;
  }
  table.reset();

  // Kanji runs are counted in bytes while writing.
  MaxCount[kKanji] *= 2;
  for (int t = 0; t < n;) {
    const int m = ByteMode[static_cast<std::size_t>(t)];
    int r = 1;
    while (t + r <= n - 1 && ByteMode[static_cast<std::size_t>(t + r)] == m && r < MaxCount[m])
      ++r;
    const std::uint8_t *p = data + t;
    bits.Put(kModeIndicator[m], 4);
    bits.Put(static_cast<std::uint32_t>(m == kKanji ? r / 2 : r), kCountWidth[group][m]);
    switch (m) {
    case kNumeric: {
      int i = 0;
      for (; i + 3 <= r; i += 3)
        bits.Put(static_cast<std::uint32_t>((p[i] & 0x0F) * 100 + (p[i + 1] & 0x0F) * 10 +
                                            (p[i + 2] & 0x0F)),
                 10);
      if (r - i == 1)
        bits.Put(p[i] & 0x0Fu, 4);
      else if (r - i == 2)
        bits.Put(static_cast<std::uint32_t>((p[i] & 0x0F) * 10 + (p[i + 1] & 0x0F)), 7);
      break;
    }
    case kAlnum: {
      int i = 0;
      for (; i + 2 <= r; i += 2)
        bits.Put(static_cast<std::uint32_t>(45 * AlnumValue(p[i]) + AlnumValue(p[i + 1])), 11);
      if (i < r)
        bits.Put(static_cast<std::uint32_t>(AlnumValue(p[i])), 6);
      break;
    }
    case kKanji:
      for (int i = 0; i + 1 < r; i += 2)
        bits.Put(static_cast<std::uint32_t>(KanjiValue(p[i], p[i + 1])), 13);
      break;
    default:
      for (int i = 0; i < r; ++i)
        bits.Put(p[i], 8);
      break;
    }
    t += r;
  }
  bits.Put(0, 4); // terminator
  return bits.size() - start;
}

} // namespace zub
