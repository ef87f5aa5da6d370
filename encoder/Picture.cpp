#include "Picture.h"

#include <cstring>
#include <new>

namespace zub {

Bitmap Bitmap::Allocate(int width, int height) {
  Bitmap b;
  if (width <= 0 || height <= 0)
    return b;
  const int stride = (width + 3) & ~3;
  const auto size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
  try {
    // One allocation for the count and the pixels, and no zero-fill that the
    // caller would overwrite.
    b.pixels = std::make_shared_for_overwrite<std::uint8_t[]>(size);
  } catch (const std::bad_alloc &) {
    return b;
  }
  b.width = width;
  b.height = height;
  b.stride = stride;
  return b;
}

Bitmap Bitmap::Create(int width, int height, std::uint8_t fill) {
  Bitmap b = Allocate(width, height);
  // Row by row: short fills are plain vector stores.
  for (int y = 0; y < b.height; ++y)
    std::memset(b.scanLine(y), fill, static_cast<std::size_t>(b.stride));
  return b;
}

Picture Picture::FromBitmap(Bitmap &&bitmap, const SymbolFacts &facts) {
  Picture p;
  if (!bitmap.pixels)
    return p;
  p.pixels_ = std::move(bitmap.pixels);
  p.width_ = bitmap.width;
  p.height_ = bitmap.height;
  p.stride_ = bitmap.stride;
  p.facts_ = facts;
  return p;
}

} // namespace zub
