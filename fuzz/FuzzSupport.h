#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property that does not hold is a finding like a crash: report where and
// abort, so that the fuzzer keeps the input and a replay run fails. Unlike
// assert, it stays on in Release builds.
#define ZUB_CHECK(condition)                                                                       \
  do {                                                                                             \
    if (!(condition))                                                                              \
      ::zub::fuzz::Fail(__FILE__, __LINE__, #condition);                                           \
  } while (false)

namespace zub::fuzz {

[[noreturn]] inline void Fail(const char *file, int line, const char *condition) {
  std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, condition);
  std::abort();
}

// Draws the arguments of one run from the front of the fuzzer's bytes; the
// rest is the message. An exhausted input reads as zeros, so every input,
// even an empty one, is a valid run.
class FuzzInput {
public:
  FuzzInput(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  std::uint32_t Word() {
    std::uint32_t w = 0;
    for (int i = 0; i < 4; ++i)
      w = w << 8 | Byte();
    return w;
  }

  // Any 32-bit value, the extremes included.
  int Int() { return static_cast<int>(Word()); }

  // An argument as a caller might pass it: mostly lo .. lo + span - 1, with
  // the ends of the int range and arbitrary values mixed in.
  int Choice(int lo, int span) {
    const std::uint8_t b = Byte();
    switch (b) {
    case 0xFF:
      return Int();
    case 0xFE:
      return INT_MAX;
    case 0xFD:
      return INT_MIN;
    default:
      return lo + b % span;
    }
  }

  // A value in 0 .. bound - 1 (bound >= 1) from two bytes.
  int Below(int bound) {
    const int high = Byte();
    const int low = Byte();
    return (high << 8 | low) % bound;
  }

  const std::uint8_t *rest() const { return data_ + pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  void Skip(std::size_t n) { pos_ += n < remaining() ? n : remaining(); }

private:
  const std::uint8_t *data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

} // namespace zub::fuzz
