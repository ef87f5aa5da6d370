#pragma once

#include <QByteArray>
#include <QImage>

namespace zub {

// `image` as the bytes of an uncompressed Windows bitmap file: "BM", a
// 14-byte file header, a 40-byte information header, then 24-bit blue-green-
// red pixels in bottom-up rows padded to 4 bytes, at `dotsPerInch` (0: 96
// dpi). Empty for a null image or one too large for the format.
QByteArray EncodeBitmap(const QImage &image, int dotsPerInch = 0);

} // namespace zub
