#include "Picture.h"

#include <cstring>
#include <new>

namespace zub {

Bitmap Bitmap::Create(int width, int height, std::uint8_t fill) {
  Bitmap b;
  if (width <= 0 || height <= 0)
    return b;
  const int stride = (width + 3) & ~3;
  const auto size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
  try {
    // One allocation for the count and the pixels, and no zero-fill that the
    // fill would overwrite.
    b.pixels = std::make_shared_for_overwrite<std::uint8_t[]>(size);
  } catch (const std::bad_alloc &) {
    return b;
  }
  std::memset(b.pixels.get(), fill, size);
  b.width = width;
  b.height = height;
  b.stride = stride;
  return b;
}

Picture Picture::FromBitmap(Bitmap &&bitmap) {
  Picture p;
  if (!bitmap.pixels)
    return p;
  p.pixels_ = std::move(bitmap.pixels);
  p.width_ = bitmap.width;
  p.height_ = bitmap.height;
  p.stride_ = bitmap.stride;
  return p;
}

} // namespace zub
