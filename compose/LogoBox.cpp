#include "LogoBox.h"

#include "Layout.h"
#include "LogoImage.h"

#include <algorithm>
#include <cstring>

namespace zub {

namespace {

// Bitmap rows are padded to whole 32-bit words.
qint64 RowBytes(qint64 width, int bitCount) {
  return ((width * bitCount + 31) & ~31LL) / 8;
}

} // namespace

bool InLogoRegion(int x, int y, int boxWidth, int boxHeight, int scale) {
  const int w = boxWidth - kLogoRegionInset * scale;
  const int h = boxHeight - kLogoRegionInset * scale;
  if (x < 0 || y < 0 || x >= w || y >= h)
    return false;
  // Work in doubled coordinates so that pixel centres (2x + 1) and ellipse
  // centres are integers.
  const qint64 a = std::min(kLogoCornerDiameter * scale, w); // ellipse width
  const qint64 b = std::min(kLogoCornerDiameter * scale, h); // ellipse height
  const qint64 px = 2 * x + 1, py = 2 * y + 1;
  qint64 dx = 0, dy = 0;
  if (px < a)
    dx = px - a;
  else if (px > 2 * w - a)
    dx = px - (2 * w - a);
  if (py < b)
    dy = py - b;
  else if (py > 2 * h - b)
    dy = py - (2 * h - b);
  if (dx == 0 || dy == 0)
    return true; // not in a corner
  // (dx / a)^2 + (dy / b)^2 <= 1, with a and b the doubled semi-axes.
  return dx * dx * b * b + dy * dy * a * a <= a * a * b * b;
}

QRegion LogoRegion(QSize box) {
  // One rectangle per run of inside pixels of a row.
  QRegion region;
  for (int y = 0; y < box.height(); ++y) {
    int x = 0;
    while (x < box.width()) {
      if (!InLogoRegion(x, y, box.width(), box.height())) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < box.width() && InLogoRegion(x, y, box.width(), box.height()))
        ++x;
      region += QRect(start, y, x - start, 1);
    }
  }
  return region;
}

std::vector<std::uint8_t> CaptureWindowBits(const LogoWindow &window, BitmapInfo &header,
                                            int bitCount, int offset) {
  const int w = window.box.width();
  const int h = window.box.height();
  if ((bitCount != 24 && bitCount != 32) || offset < 0 || w <= 0 || h <= 0)
    return {};
  header.bmiHeader.biSize = 40;
  header.bmiHeader.biWidth = w;
  header.bmiHeader.biHeight = h;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = static_cast<std::uint16_t>(bitCount);
  header.bmiHeader.biCompression = 0;

  const qint64 stride = RowBytes(w, bitCount);
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(offset + stride * h), 0);
  const QImage logo = LogoInBox(window.logo, window.box.size());
  const QImage &canvas = window.canvas;
  const int bytesPerPixel = bitCount / 8;
  for (int y = 0; y < h; ++y) {
    std::uint8_t *row = bits.data() + offset + (h - 1 - y) * stride;
    const int cy = window.box.top() + y;
    for (int x = 0; x < w; ++x) {
      const int cx = window.box.left() + x;
      QRgb p = kWindowColour;
      if (!logo.isNull() && InLogoRegion(x, y, w, h))
        p = logo.pixel(x, y);
      else if (canvas.valid(cx, cy))
        p = canvas.pixel(cx, cy);
      std::uint8_t *px = row + x * bytesPerPixel;
      px[0] = static_cast<std::uint8_t>(qBlue(p));
      px[1] = static_cast<std::uint8_t>(qGreen(p));
      px[2] = static_cast<std::uint8_t>(qRed(p));
    }
  }
  return bits;
}

QImage ImageFromBitmapBits(const BitmapInfo &header, const std::vector<std::uint8_t> &bits,
                           int offset) {
  const BitmapInfoHeader &info = header.bmiHeader;
  const int bitCount = info.biBitCount;
  if (info.biSize < 40 || info.biPlanes != 1 || info.biCompression != 0 ||
      (bitCount != 24 && bitCount != 32) || info.biWidth <= 0 || info.biHeight == 0 ||
      info.biHeight == INT32_MIN || offset < 0)
    return {};
  const int w = info.biWidth;
  const bool bottomUp = info.biHeight > 0;
  const int h = bottomUp ? info.biHeight : -info.biHeight;
  const qint64 stride = RowBytes(w, bitCount);
  if (static_cast<qint64>(bits.size()) < offset + stride * h)
    return {};
  QImage image(w, h, QImage::Format_RGB32);
  if (image.isNull())
    return {};
  const int bytesPerPixel = bitCount / 8;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t *row = bits.data() + offset + (bottomUp ? h - 1 - y : y) * stride;
    auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const std::uint8_t *px = row + x * bytesPerPixel;
      out[x] = qRgb(px[2], px[1], px[0]);
    }
  }
  return image;
}

} // namespace zub
