#include "mdlFakeBarCode.h"

namespace zub {

Picture BitsToPicture(const std::uint8_t *bits, int width, int height, int left, int top, int right,
                      int bottom) {
  Bitmap bitmap = Bitmap::Create(left + width + right, top + height + bottom, Picture::kWhite);
  if (!bitmap.pixels)
    return {};
  // Colour table of the source: index 0 white, index 1 black.
  for (int y = 0; y < height; ++y) {
    const std::uint8_t *src = bits + y * width;
    std::uint8_t *dst = bitmap.scanLine(top + y) + left;
    for (int x = 0; x < width; ++x)
      dst[x] = src[x] ? Picture::kBlack : Picture::kWhite;
  }
  return BitmapToPicture(std::move(bitmap));
}

Picture BitmapToPicture(Bitmap &&bitmap) {
  return Picture::FromBitmap(std::move(bitmap));
}

} // namespace zub
