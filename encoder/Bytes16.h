#pragma once

#include <cstdint>
#include <cstring>

namespace zub {

// Sixteen bytes handled as one value, for loops over rows of modules and
// pixels that the compiler would otherwise leave byte by byte.
typedef std::uint8_t Bytes16 __attribute__((vector_size(16)));

inline Bytes16 Load16(const std::uint8_t *p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void Store16(std::uint8_t *p, Bytes16 v) {
  std::memcpy(p, &v, sizeof v);
}

// Calls f(x0) for the 16-byte chunks that cover 0 .. length-1 (length >= 16),
// the last one moved back to end at length: f must give the same result
// when it sees a byte twice.
template <typename F> inline void ForEachChunk16(int length, F &&f) {
  const int last = length - 16;
  for (int x0 = 0; x0 < last; x0 += 16)
    f(x0);
  f(last);
}

// Sets `count` bytes to `value`, 16 at a time: a plain fill the library
// might do with a string instruction that costs one step per byte.
inline void FillBytes(std::uint8_t *p, int count, std::uint8_t value) {
  if (count < 16) {
    std::memset(p, value, static_cast<std::size_t>(count));
    return;
  }
  const Bytes16 fill = Bytes16{} + value;
  ForEachChunk16(count, [&](int x0) { Store16(p + x0, fill); });
}

} // namespace zub
