#include "mdlFakeBarCode.h"

#include "Bytes16.h"

#include <cstring>

namespace zub {

Picture BitsToPicture(const std::uint8_t *bits, int width, int height, int left, int top, int right,
                      int bottom) {
  Bitmap bitmap = Bitmap::Allocate(left + width + right, top + height + bottom);
  if (!bitmap.pixels)
    return {};
  // Every row starts white, padding included, and the image is copied over it.
  const Bytes16 white = Bytes16{} + Picture::kWhite;
  const int stride = bitmap.stride;
  for (int y = 0; y < bitmap.height; ++y) {
    std::uint8_t *row = bitmap.scanLine(y);
    if (stride >= 16) {
      ForEachChunk16(stride, [&](int x0) { Store16(row + x0, white); });
    } else {
      std::memset(row, Picture::kWhite, static_cast<std::size_t>(stride));
    }
    if (y < top || y >= top + height)
      continue;
    // Colour table of the source: index 0 white (255), index 1 black (0).
    const std::uint8_t *src = bits + (y - top) * width;
    std::uint8_t *dst = row + left;
    if (width < 16) {
      for (int x = 0; x < width; ++x)
        dst[x] = src[x] ? Picture::kBlack : Picture::kWhite;
    } else {
      ForEachChunk16(width, [&](int x0) {
        Store16(dst + x0, reinterpret_cast<Bytes16>(Load16(src + x0) == 0));
      });
    }
  }
  return BitmapToPicture(std::move(bitmap));
}

Picture BitmapToPicture(Bitmap &&bitmap) {
  return Picture::FromBitmap(std::move(bitmap));
}

} // namespace zub
