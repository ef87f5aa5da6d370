#include "Picture.h"

#include "Bytes16.h"

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

Picture BitsToPicture(const std::uint8_t *bits, int width, int height, int left, int top, int right,
                      int bottom) {
  Bitmap bitmap = Bitmap::Allocate(left + width + right, top + height + bottom);
  if (!bitmap.pixels)
    return {};
  // The quiet zone white, the image through its colour table (index 0
  // white, 1 black). Margins of up to 16 pixels take one white store each,
  // before the image is drawn over what they cover of it.
  const int stride = bitmap.stride;
  const int margin = stride - left - width; // the right margin and the row padding
  const bool narrow = width >= 16 && stride >= 16 && left <= 16 && margin <= 16;
  const Bytes16 white = Bytes16{} + Picture::kWhite;
  for (int y = 0; y < bitmap.height; ++y) {
    std::uint8_t *row = bitmap.scanLine(y);
    if (y < top || y >= top + height) {
      FillBytes(row, stride, Picture::kWhite);
      continue;
    }
    const std::uint8_t *src = bits + (y - top) * width;
    std::uint8_t *dst = row + left;
    if (narrow) {
      Store16(row, white);
      Store16(row + stride - 16, white);
      ForEachChunk16(width, [&](int x0) {
        Store16(dst + x0, reinterpret_cast<Bytes16>(Load16(src + x0) == 0));
      });
      continue;
    }
    FillBytes(row, stride, Picture::kWhite);
    for (int x = 0; x < width; ++x)
      dst[x] = src[x] ? Picture::kBlack : Picture::kWhite;
  }
  return BitmapToPicture(std::move(bitmap));
}

Picture BitmapToPicture(Bitmap &&bitmap) {
  return Picture::FromBitmap(std::move(bitmap));
}

} // namespace zub
