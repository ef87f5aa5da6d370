#include "BitmapFile.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace zub {

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr std::int32_t kPixelsPerMeter96Dpi = 3780;

void Put16(QByteArray &out, qsizetype at, std::uint32_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(QByteArray &out, qsizetype at, std::uint32_t v) {
  Put16(out, at, v & 0xFFFF);
  Put16(out, at + 2, v >> 16);
}

} // namespace

QByteArray EncodeBitmap(const QImage &image, int dotsPerInch) {
  if (image.isNull())
    return {};
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  const qint64 w = rgb.width(), h = rgb.height();
  const qint64 stride = (w * 3 + 3) & ~3LL;
  const qint64 pixelBytes = stride * h;
  const qint64 fileBytes = kFileHeaderBytes + kInfoHeaderBytes + pixelBytes;
  if (fileBytes > std::numeric_limits<std::int32_t>::max())
    return {};

  QByteArray out(static_cast<qsizetype>(fileBytes), '\0');
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, static_cast<std::uint32_t>(fileBytes));
  Put32(out, 10, kFileHeaderBytes + kInfoHeaderBytes); // where the pixels start
  Put32(out, 14, kInfoHeaderBytes);
  Put32(out, 18, static_cast<std::uint32_t>(w));
  Put32(out, 22, static_cast<std::uint32_t>(h)); // positive: bottom-up rows
  Put16(out, 26, 1);                             // planes
  Put16(out, 28, 24);                            // bits per pixel
  Put32(out, 30, 0);                             // no compression
  Put32(out, 34, static_cast<std::uint32_t>(pixelBytes));
  const auto density = static_cast<std::uint32_t>(
      dotsPerInch > 0 ? std::lround(dotsPerInch / 0.0254) : kPixelsPerMeter96Dpi);
  Put32(out, 38, density);
  Put32(out, 42, density);

  auto *pixels = reinterpret_cast<std::uint8_t *>(out.data()) + kFileHeaderBytes + kInfoHeaderBytes;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
    std::uint8_t *row = pixels + (h - 1 - y) * stride;
    for (int x = 0; x < rgb.width(); ++x) {
      row[3 * x] = static_cast<std::uint8_t>(qBlue(in[x]));
      row[3 * x + 1] = static_cast<std::uint8_t>(qGreen(in[x]));
      row[3 * x + 2] = static_cast<std::uint8_t>(qRed(in[x]));
    }
  }
  return out;
}

} // namespace zub
