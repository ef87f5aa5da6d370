// Message bytes to the data bit stream: a minimum-cost choice of numeric,
// alphanumeric, byte and kanji segments, then the segments themselves.
#include "Segmentation.h"

#include "QrEncoder.h"

#include <algorithm>

namespace zub {

namespace {

// Mode indexes double as the tie-break order: the lower index wins.
enum Mode : int { kByte = 0, kNumeric = 1, kAlnum = 2, kKanji = 3 };
constexpr int kModes = 4;
constexpr std::uint32_t kModeIndicator[kModes] = {0b0100, 0b0001, 0b0010, 0b1000};

// Marks a cell whose byte the mode cannot carry; leaves room to add an
// opening cost without overflow.
constexpr std::int32_t kImpossible = 0x70000000;

// Per version group (1-9, 10-26, 27-40): count field widths, the most
// characters one segment can count (2^width - 1), and the cost of opening
// a segment (indicator + count + first character), by mode.
constexpr int kCountWidth[3][kModes] = {{8, 10, 9, 8}, {16, 12, 11, 10}, {16, 14, 13, 12}};
constexpr int kMaxCount[3][kModes] = {
    {255, 1023, 511, 255}, {65535, 4095, 2047, 1023}, {65535, 16383, 8191, 4095}};
constexpr int kOpenCost[3][kModes] = {{20, 18, 19, 25}, {28, 20, 21, 27}, {28, 22, 23, 29}};

int VersionGroup(int version) {
  if (version <= 9)
    return 0;
  return version <= 26 ? 1 : 2;
}

// Bits one more character adds to a segment that holds `count` of them:
// numeric 10 per three digits, alphanumeric 11 per pair.
inline int FurtherCost(int mode, int count) {
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

// CharClass of every byte value: 1 digit, 2 other alphanumeric, 0 else.
struct ClassTable {
  std::uint8_t of[256];
  constexpr ClassTable() : of{} {
    for (int b = '0'; b <= '9'; ++b)
      of[b] = 1;
    for (int b = 'A'; b <= 'Z'; ++b)
      of[b] = 2;
    for (char c : {' ', '$', '%', '*', '+', '-', '.', '/', ':'})
      of[static_cast<unsigned char>(c)] = 2;
  }
};
constexpr ClassTable kClass;

// The alphanumeric mode's value of every byte value, 0 for the others.
struct AlnumTable {
  std::uint8_t of[256];
  constexpr AlnumTable() : of{} {
    const char *characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    for (std::uint8_t value = 0; value < 45; ++value)
      of[static_cast<unsigned char>(characters[value])] = value;
  }
};
constexpr AlnumTable kAlnumValue;

} // namespace

int QrEncoder::CharClass(std::uint8_t b) {
  return kClass.of[b];
}

int QrEncoder::AlnumValue(std::uint8_t b) {
  return kAlnumValue.of[b];
}

bool QrEncoder::IsKanjiPair(std::uint8_t first, std::uint8_t second) {
  if (first < 0x81 || second < 0x40) // most text: no lead byte at all
    return false;
  return (first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xEA) ||
         (first == 0xEB && second <= 0xBF);
}

int QrEncoder::KanjiValue(std::uint8_t first, std::uint8_t second) {
  const int base = first <= 0x9F ? 0x81 : 0xC1;
  return (first - base) * 192 + (second - 0x40);
}

namespace {

using Cell = SegmentPlan::Cell;
constexpr Cell kImpossibleCell = {kImpossible, 0, 0};

// The cheapest cell of a position, the lowest mode on ties.
struct Cheapest {
  std::int32_t cost;
  int mode;
};
inline Cheapest CheapestOf(const Cell *row) {
  Cheapest c{row[0].cost, 0};
  for (int P = 1; P < kModes; ++P)
    if (row[P].cost < c.cost)
      c = {row[P].cost, P};
  return c;
}

// The cheapest way to end at the current character in mode m, given its
// predecessor position: continue that position's segment of mode m while
// its count has room, or open a new segment after any mode. Candidates are
// compared in mode order and only a strictly cheaper one replaces the
// best, so among equal costs the lowest predecessor mode wins. Opening
// after the predecessor's cheapest cell beats opening after any other, and
// continuing always beats opening after the same mode, which leaves two
// candidates. Impossible predecessors carry their mark and never win.
template <int m> inline Cell Relax(const Cell &same, Cheapest cheapest, int open, int maxCount) {
  const std::int32_t opened = cheapest.cost + open;
  if (same.run < maxCount) {
    const std::int32_t continued = same.cost + FurtherCost(m, same.run);
    if (continued < opened || (continued == opened && m < cheapest.mode))
      return {continued, static_cast<std::uint16_t>(same.run + 1), static_cast<std::int16_t>(m)};
  }
  return {opened, 1, static_cast<std::int16_t>(cheapest.mode)};
}

// The byte cell after a position whose cheapest cell is `same`, in byte
// mode: continuing always beats opening, unless the count is full.
inline Cell NextByteCell(const Cell &same, int open, int limit) {
  if (same.run < limit)
    return {same.cost + 8, static_cast<std::uint16_t>(same.run + 1), kByte};
  return {same.cost + open, 1, kByte};
}

// The last position of the stretch of bytes from t on that only byte mode
// can carry: it ends before a byte that another mode can carry or that
// completes a kanji character, and only a byte from 0x81 up leads one.
inline int ByteStretchEnd(const std::uint8_t *data, int t, int n, bool kanjiAllowed) {
  const std::uint8_t *p = data + t + 1;
  const std::uint8_t *stop = data + n;
  for (; p < stop && kClass.of[*p] == 0; ++p)
    if (p[-1] >= 0x81 && kanjiAllowed && QrEncoder::IsKanjiPair(p[-1], *p))
      break;
  return static_cast<int>(p - data) - 1;
}

// A row that only byte mode reaches.
inline void OnlyByteRow(Cell *row, Cell byteCell) {
  row[kByte] = byteCell;
  row[kNumeric] = kImpossibleCell;
  row[kAlnum] = kImpossibleCell;
  row[kKanji] = kImpossibleCell;
}

} // namespace

void SegmentPlan::Plan(const std::uint8_t *data, int n, int version, KanjiMode kanji) {
  data_ = data;
  n_ = n;
  group_ = VersionGroup(version);
  const int *open = kOpenCost[group_];
  const int *maxCount = kMaxCount[group_];
  const bool kanjiAllowed = kanji == KanjiMode::Allowed;
  table_.resize(static_cast<std::size_t>(n) * kModes);
  Cell *table = table_.data();

  // For every position t and mode m, the cheapest encoding of bytes 0..t
  // whose last character is carried in m. A kanji character ends at t and
  // starts at t - 1, so its predecessor is at t - 2. The first character
  // opens the message.
  {
    const int cls = kClass.of[data[0]];
    table[kByte] = {open[kByte], 1, -1};
    table[kNumeric] = cls == 1 ? Cell{open[kNumeric], 1, -1} : kImpossibleCell;
    table[kAlnum] = cls >= 1 ? Cell{open[kAlnum], 1, -1} : kImpossibleCell;
    table[kKanji] = kImpossibleCell;
  }
  Cheapest beforePrev{0, 0};                   // of position t - 2, for kanji
  bool prevOnlyByte = kClass.of[data[0]] == 0; // the previous row reached in byte mode alone
  for (int t = 1; t < n; ++t) {
    Cell *row = table + kModes * t;
    const Cell *prev = row - kModes;
    int cls = kClass.of[data[t]];
    const bool kanjiHere = kanjiAllowed && QrEncoder::IsKanjiPair(data[t - 1], data[t]);
    if (prevOnlyByte && cls >= 1 && !kanjiHere) {
      // After a position that only byte mode reaches, a digit or another
      // alphanumeric character continues the byte segment or opens one of
      // its own: there is no segment of its mode to continue.
      const Cell &bytes = prev[kByte];
      row[kByte] = NextByteCell(bytes, open[kByte], maxCount[kByte]);
      row[kNumeric] = cls == 1 ? Cell{bytes.cost + open[kNumeric], 1, kByte} : kImpossibleCell;
      row[kAlnum] = Cell{bytes.cost + open[kAlnum], 1, kByte};
      row[kKanji] = kImpossibleCell;
      beforePrev = {bytes.cost, kByte};
      prevOnlyByte = false;
      continue;
    }
    prevOnlyByte = false;
    if (cls >= 1 && !kanjiHere) {
      // A run of alphanumeric characters, digits among them: no kanji
      // character ends inside it (its bytes are no lead bytes), so each
      // position relaxes only the byte, alphanumeric and, at a digit,
      // numeric cell, from the cells before it held at hand. Mixed text
      // spends most of its characters here.
      // Inside the run only the cells a mode reaches are written, the
      // ones the back-trace may read; the run's last row is written whole
      // for the positions after it.
      Cell bytes = prev[kByte];
      Cell digits = prev[kNumeric];
      Cell alnum = prev[kAlnum];
      Cheapest cheapest = CheapestOf(prev);
      for (;;) {
        bytes = Relax<kByte>(bytes, cheapest, open[kByte], maxCount[kByte]);
        row[kByte] = bytes;
        if (cls == 1) {
          digits = Relax<kNumeric>(digits, cheapest, open[kNumeric], maxCount[kNumeric]);
          row[kNumeric] = digits;
        } else {
          digits = kImpossibleCell;
        }
        alnum = Relax<kAlnum>(alnum, cheapest, open[kAlnum], maxCount[kAlnum]);
        row[kAlnum] = alnum;
        beforePrev = cheapest;
        if (t + 1 == n || (cls = kClass.of[data[t + 1]]) == 0)
          break;
        cheapest = {bytes.cost, kByte};
        if (digits.cost < cheapest.cost)
          cheapest = {digits.cost, kNumeric};
        if (alnum.cost < cheapest.cost)
          cheapest = {alnum.cost, kAlnum};
        ++t;
        row += kModes;
      }
      row[kNumeric] = digits;
      row[kKanji] = kImpossibleCell;
      continue;
    }
    const Cheapest cheapest = CheapestOf(prev);
    if (cls == 0 && !kanjiHere && cheapest.mode == kByte) {
      // Where the previous position is reached cheapest in byte mode, a
      // stretch of bytes that only byte mode can carry is settled in one
      // step: the byte segment goes on through it (continuing is always
      // cheaper than opening), and where its count is full the next one
      // opens. Only the cells that a later position or the back-trace reads
      // are written: both cells around every count limit and the stretch's
      // last two rows. Long runs of ordinary text go this way.
      const int end = ByteStretchEnd(data, t, n, kanjiAllowed);
      const int limit = maxCount[kByte];
      Cell cell = prev[kByte];
      for (int p = t; p <= end;) {
        if (cell.run == limit) {
          table[kModes * (p - 1) + kByte] = cell;
          cell = {cell.cost + open[kByte], 1, kByte};
          table[kModes * p + kByte] = cell;
          ++p;
          continue;
        }
        const int k = std::min(limit - cell.run, end - p + 1);
        cell = {cell.cost + 8 * k, static_cast<std::uint16_t>(cell.run + k), kByte};
        p += k;
      }
      // The cell before the last: one byte less, or the full segment
      // before an opening.
      const Cell before =
          end == t       ? prev[kByte]
          : cell.run > 1 ? Cell{cell.cost - 8, static_cast<std::uint16_t>(cell.run - 1), kByte}
                         : Cell{cell.cost - open[kByte], static_cast<std::uint16_t>(limit), kByte};
      if (end > t)
        OnlyByteRow(table + kModes * (end - 1), before);
      OnlyByteRow(table + kModes * end, cell);
      beforePrev = {before.cost, kByte};
      prevOnlyByte = true;
      t = end;
      continue;
    }
    row[kByte] = Relax<kByte>(prev[kByte], cheapest, open[kByte], maxCount[kByte]);
    row[kNumeric] =
        cls == 1 ? Relax<kNumeric>(prev[kNumeric], cheapest, open[kNumeric], maxCount[kNumeric])
                 : kImpossibleCell;
    row[kAlnum] = cls >= 1 ? Relax<kAlnum>(prev[kAlnum], cheapest, open[kAlnum], maxCount[kAlnum])
                           : kImpossibleCell;
    if (kanjiHere)
      row[kKanji] = t >= 2 ? Relax<kKanji>((prev - kModes)[kKanji], beforePrev, open[kKanji],
                                           maxCount[kKanji])
                           : Cell{open[kKanji], 1, -1};
    else
      row[kKanji] = kImpossibleCell;
    beforePrev = cheapest;
  }

  const Cell *last = table + kModes * (n - 1);
  lastMode_ = 0;
  for (int m = 1; m < kModes; ++m)
    if (last[m].cost < last[lastMode_].cost)
      lastMode_ = m;
  length_ = last[lastMode_].cost + 4;
}

void SegmentPlan::Write(BitBuffer &bits) {
  const int n = n_;
  const std::uint8_t *data = data_;

  // Back-trace the cheapest path a segment at a time: a cell counts the
  // characters of its segment so far, and the segment's first cell knows
  // the mode before it. A kanji character's cell is at its second byte.
  segments_.clear();
  for (int pos = n - 1, mode = lastMode_; pos >= 0;) {
    const int count = table_[static_cast<std::size_t>(kModes * pos + mode)].run;
    const int bytes = mode == kKanji ? 2 * count : count;
    const int start = pos - bytes + 1;
    segments_.push_back({start, bytes, mode});
    const int firstCell = mode == kKanji ? start + 1 : start;
    mode = table_[static_cast<std::size_t>(kModes * firstCell + mode)].prevMode;
    pos = start - 1;
  }

  for (auto segment = segments_.rbegin(); segment != segments_.rend(); ++segment) {
    const int m = segment->mode;
    const int r = segment->bytes;
    const std::uint8_t *p = data + segment->start;
    bits.Put(kModeIndicator[m], 4);
    bits.Put(static_cast<std::uint32_t>(m == kKanji ? r / 2 : r), kCountWidth[group_][m]);
    switch (m) {
    case kNumeric: {
      // Three digits to 10 bits; two such groups go into the stream at once.
      const auto triple = [p](int i) {
        return static_cast<std::uint32_t>((p[i] & 0x0F) * 100 + (p[i + 1] & 0x0F) * 10 +
                                          (p[i + 2] & 0x0F));
      };
      int i = 0;
      for (; i + 6 <= r; i += 6)
        bits.Put(triple(i) << 10 | triple(i + 3), 20);
      if (i + 3 <= r) {
        bits.Put(triple(i), 10);
        i += 3;
      }
      if (r - i == 1)
        bits.Put(p[i] & 0x0Fu, 4);
      else if (r - i == 2)
        bits.Put(static_cast<std::uint32_t>((p[i] & 0x0F) * 10 + (p[i + 1] & 0x0F)), 7);
      break;
    }
    case kAlnum: {
      // Two characters to 11 bits; two such pairs go into the stream at once.
      const auto pair = [p](int i) {
        return static_cast<std::uint32_t>(45 * QrEncoder::AlnumValue(p[i]) +
                                          QrEncoder::AlnumValue(p[i + 1]));
      };
      int i = 0;
      for (; i + 4 <= r; i += 4)
        bits.Put(pair(i) << 11 | pair(i + 2), 22);
      if (i + 2 <= r) {
        bits.Put(pair(i), 11);
        i += 2;
      }
      if (i < r)
        bits.Put(static_cast<std::uint32_t>(QrEncoder::AlnumValue(p[i])), 6);
      break;
    }
    case kKanji:
      for (int i = 0; i + 1 < r; i += 2)
        bits.Put(static_cast<std::uint32_t>(QrEncoder::KanjiValue(p[i], p[i + 1])), 13);
      break;
    default:
      bits.PutBytes(p, r);
      break;
    }
  }
  bits.Put(0, 4); // terminator
}

int SegmentPlan::MinimumBits(const std::uint8_t *data, int n, KanjiMode kanji) {
  // In sixths of a bit: a digit costs at least 10/3, another alphanumeric
  // character 11/2, either byte of a kanji character 13/2, any other byte 8.
  struct SixthsTable {
    std::uint8_t of[256];
    constexpr SixthsTable() : of{} {
      constexpr std::uint8_t kByClass[3] = {48, 20, 33};
      for (int b = 0; b < 256; ++b)
        of[b] = kByClass[kClass.of[b]];
    }
  };
  static constexpr SixthsTable kSixths;
  constexpr int kKanjiSixths = 39;
  long long sixths = 0;
  unsigned anyByte = 0; // all bytes ORed: bit 7 tells whether a kanji lead byte can occur
  // Four bytes a round: the loop's own counting was a third of its cost.
#pragma GCC unroll 4
  for (int t = 0; t < n; ++t) {
    sixths += kSixths.of[data[t]];
    anyByte |= data[t];
  }
  if (kanji == KanjiMode::Allowed && (anyByte & 0x80) != 0) {
    // Bytes that could be half of a kanji character may cost less.
    for (int t = 0; t + 1 < n; ++t) {
      if (data[t] < 0x81 || !QrEncoder::IsKanjiPair(data[t], data[t + 1]))
        continue;
      for (int k = t; k <= t + 1; ++k) {
        const int cost = kSixths.of[data[k]];
        // A byte in two overlapping pairs is lowered once.
        if (cost > kKanjiSixths &&
            !(k == t && t >= 1 && QrEncoder::IsKanjiPair(data[t - 1], data[t])))
          sixths -= cost - kKanjiSixths;
      }
    }
  }
  return static_cast<int>(sixths / 6);
}

int QrEncoder::EciBits(int eci) {
  if (eci == 0)
    return 0;
  if (eci < 0 || eci > 999999)
    return -1;
  // The designator's leading bits say its length: 0 one byte (7 bits of
  // value), 10 two bytes (14 bits), 110 three bytes (21 bits).
  return 4 + (eci < 128 ? 8 : eci < 16384 ? 16 : 24);
}

void QrEncoder::PutEci(BitBuffer &bits, int eci) {
  const int width = EciBits(eci);
  if (width <= 0)
    return;
  const auto value = static_cast<std::uint32_t>(eci);
  bits.Put(0b0111, 4);
  if (width == 12)
    bits.Put(value, 8);
  else if (width == 20)
    bits.Put(0b10u << 14 | value, 16);
  else
    bits.Put(0b110u << 21 | value, 24);
}

int QrEncoder::BuildDataBits(BitBuffer &bits, const std::uint8_t *data, int n, int version,
                             bool EstimateOnly, KanjiMode kanji, int eci) const {
  const int header = EciBits(eci);
  if (header < 0)
    return -1;
  const int room = bits.capacity() - bits.size();
  if (n <= 0) {
    // The terminator alone, even when estimating; like any stream, not
    // into a buffer without room for it.
    if (header + 4 <= room) {
      PutEci(bits, eci);
      bits.Put(0, 4);
    }
    return header + 4;
  }
  SegmentPlan plan;
  plan.Plan(data, n, version, kanji);
  const int length = header + plan.length();
  if (!EstimateOnly && length <= room) {
    PutEci(bits, eci);
    plan.Write(bits);
  }
  return length;
}

} // namespace zub
