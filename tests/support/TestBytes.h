#pragma once
// Byte helpers on the standard library alone, for the encoder's tests as
// much as for the window's.

#include <cstdint>
#include <string_view>
#include <vector>

namespace zub::test {

// Bytes of a string literal, for readable expectations.
inline std::vector<std::uint8_t> BytesOf(std::string_view s) {
  return {s.begin(), s.end()};
}

} // namespace zub::test
