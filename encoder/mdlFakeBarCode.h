#pragma once

#include "Picture.h"

#include <cstdint>

namespace zub {

// Copies a width x height image of one byte per pixel (0 white, 1 black,
// rows of exactly `width` bytes, top-down) 1:1 into a white bitmap of
// (left + width + right) x (top + height + bottom) pixels at (left, top).
// Null when the bitmap cannot be made.
Picture BitsToPicture(const std::uint8_t *bits, int width, int height, int left, int top, int right,
                      int bottom);

// Hands a finished bitmap over to a picture that owns it; null when the
// bitmap has no pixels.
Picture BitmapToPicture(Bitmap &&bitmap);

} // namespace zub
