#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>

namespace zub {

// The data bit stream of a symbol: bits packed most significant first, so
// that the finished stream's bytes are the data codewords themselves.
// The storage belongs to the caller and must be zero-filled; the writer
// only ORs bits in.
class BitBuffer {
public:
  BitBuffer(std::uint8_t *storage, int capacityBits) : bytes_(storage), capacity_(capacityBits) {}

  // Appends the low `width` bits of `value`, most significant first (width <= 25).
  void Put(std::uint32_t value, int width) {
    assert(width >= 0 && width <= 25 && length_ + width <= capacity_);
    if (width == 0)
      return; // nothing to add, and the alignment shift below would be 32
    std::uint8_t *p = bytes_ + (length_ >> 3);
    int used = length_ & 7;
    // Left-align the field behind the bits already in the current byte.
    std::uint32_t v = (value & ((1u << width) - 1u)) << (32 - used - width);
    int total = used + width;
    for (int shift = 24; total > 0; shift -= 8, total -= 8)
      *p++ |= static_cast<std::uint8_t>(v >> shift);
    length_ += width;
  }

  // Appends `count` whole bytes, each most significant bit first.
  void PutBytes(const std::uint8_t *data, int count) {
    assert(count >= 0 && length_ + 8 * count <= capacity_);
    std::uint8_t *p = bytes_ + (length_ >> 3);
    const int used = length_ & 7;
    if (used == 0) {
      std::memcpy(p, data, static_cast<std::size_t>(count));
    } else {
      // Eight bytes at a time: their high bits complete the current byte,
      // the rest fills the eight bytes after it (the last one partly).
      int i = 0;
      for (; i + 8 <= count; i += 8) {
        const std::uint64_t v = LoadBigEndian(data + i);
        p[i] |= static_cast<std::uint8_t>(v >> (56 + used));
        StoreBigEndian(p + i + 1, v << (8 - used));
      }
      for (; i < count; ++i) {
        p[i] |= static_cast<std::uint8_t>(data[i] >> used);
        p[i + 1] = static_cast<std::uint8_t>(data[i] << (8 - used));
      }
    }
    length_ += 8 * count;
  }

  int size() const { return length_; }
  int capacity() const { return capacity_; }
  int bit(int i) const { return (bytes_[i >> 3] >> (7 - (i & 7))) & 1; }
  const std::uint8_t *bytes() const { return bytes_; }
  std::uint8_t *bytes() { return bytes_; }

private:
  static std::uint64_t LoadBigEndian(const std::uint8_t *p) {
    std::uint64_t v = 0;
    for (int k = 0; k < 8; ++k)
      v = v << 8 | p[k];
    return v;
  }
  static void StoreBigEndian(std::uint8_t *p, std::uint64_t v) {
    for (int k = 0; k < 8; ++k)
      p[k] = static_cast<std::uint8_t>(v >> (56 - 8 * k));
  }

  std::uint8_t *bytes_;
  int capacity_;
  int length_ = 0;
};

} // namespace zub
