#pragma once

#include "BitBuffer.h"

#include <cstdint>
#include <vector>

namespace zub {

enum class KanjiMode;

// The minimum-cost segmentation of one message for one version group
// (versions 1-9, 10-26, 27-40 share their count-field widths).
//
// Plan() fills the table once; length() is then the stream's length and
// Write() back-traces the table into the bit stream, so choosing a version
// and writing the stream share one pass over the message. The table's
// storage is kept for the next message.
class SegmentPlan {
public:
  // Plans `n` bytes of `data` (n >= 1) for the group of `version`. The
  // data must stay alive until Write.
  void Plan(const std::uint8_t *data, int n, int version, KanjiMode kanji);

  // Bits of the whole stream, the 4-bit terminator included.
  int length() const { return length_; }

  // Appends the segments and the terminator to `bits`, which must have room
  // for length() more bits.
  void Write(BitBuffer &bits);

  // A lower bound of the stream's bits before its terminator, from the
  // cheapest mode each byte could possibly take: a quick test that a
  // message cannot fit, without planning it.
  static int MinimumBits(const std::uint8_t *data, int n, KanjiMode kanji);

  struct Cell {
    std::int32_t cost;     // bits of the cheapest encoding of bytes 0..t ending in this mode
    std::uint16_t run;     // characters of this mode in that encoding's last segment
    std::int16_t prevMode; // mode of the character before, -1 at the message start
  };

private:
  const std::uint8_t *data_ = nullptr;
  int n_ = 0;
  int group_ = 0;
  int lastMode_ = 0;
  int length_ = 0;
  struct Segment {
    int start; // first byte
    int bytes;
    int mode;
  };
  std::vector<Cell> table_;       // 4 cells per byte
  std::vector<Segment> segments_; // the back-traced path, last segment first
};

} // namespace zub
