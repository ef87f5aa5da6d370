#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace zub {

// A baseline JPEG of quality 95 with full-size colour planes (4:4:4), so
// thin coloured edges (a logo's, a module's) are not smeared, of a width x
// height RGB picture: `row(y)` gives pixel row y, 3 bytes a pixel, top row
// first; the row must stay valid until the next call. Empty when libjpeg
// fails or a side is outside 1 .. JPEG_MAX_DIMENSION. Uses the standard
// library and libjpeg alone, so the lean command line writes the same files
// as the window. With `dotsPerInch` the file says its density (for print);
// without, it says none, as it always has.
std::vector<std::uint8_t> CompressJpeg(int width, int height,
                                       const std::function<const std::uint8_t *(int y)> &row,
                                       int dotsPerInch = 0);

} // namespace zub
