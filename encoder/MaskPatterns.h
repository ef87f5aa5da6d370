#pragma once

#include <cstdint>

namespace zub {

// Whether data mask `mask` (0..7) inverts the module in column x, row y.
template <int mask> constexpr bool MaskInverts(unsigned x, unsigned y) {
  if constexpr (mask == 1)
    return y % 2 == 0;
  else if constexpr (mask == 2)
    return x % 3 == 0;
  else if constexpr (mask == 3)
    return (x + y) % 3 == 0;
  else if constexpr (mask == 4)
    return (y / 2 + x / 3) % 2 == 0;
  else if constexpr (mask == 5)
    return (x * y) % 2 + (x * y) % 3 == 0;
  else if constexpr (mask == 6)
    return ((x * y) % 2 + (x * y) % 3) % 2 == 0;
  else if constexpr (mask == 7)
    return ((x + y) % 2 + (x * y) % 3) % 2 == 0;
  else
    return (x + y) % 2 == 0;
}

// Every mask repeats after 12 rows. MaskPlane[mask][y % 12] holds, for
// every column x of the widest symbol, whether the mask inverts (x, y).
constexpr int kMaskRowPeriod = 12;
constexpr int kMaskColumns = 4 * 40 + 17;
struct MaskPlaneTable {
  std::uint8_t of[8][kMaskRowPeriod][kMaskColumns];
  constexpr MaskPlaneTable() : of{} {
    for (unsigned y = 0; y < kMaskRowPeriod; ++y)
      for (unsigned x = 0; x < kMaskColumns; ++x) {
        of[0][y][x] = MaskInverts<0>(x, y);
        of[1][y][x] = MaskInverts<1>(x, y);
        of[2][y][x] = MaskInverts<2>(x, y);
        of[3][y][x] = MaskInverts<3>(x, y);
        of[4][y][x] = MaskInverts<4>(x, y);
        of[5][y][x] = MaskInverts<5>(x, y);
        of[6][y][x] = MaskInverts<6>(x, y);
        of[7][y][x] = MaskInverts<7>(x, y);
      }
  }
};
inline constexpr MaskPlaneTable kMaskPlane;

// Calls f.template operator()<mask>() with `mask` as a compile-time
// constant, so that loops over modules test the pattern without a switch
// per module. Masks outside 0..7 are mask 0.
template <typename F> decltype(auto) WithMask(int mask, F &&f) {
  switch (mask) {
  case 1:
    return f.template operator()<1>();
  case 2:
    return f.template operator()<2>();
  case 3:
    return f.template operator()<3>();
  case 4:
    return f.template operator()<4>();
  case 5:
    return f.template operator()<5>();
  case 6:
    return f.template operator()<6>();
  case 7:
    return f.template operator()<7>();
  default:
    return f.template operator()<0>();
  }
}

} // namespace zub
