#include "Composite.h"

#include "LogoBox.h"
#include "LogoImage.h"
#include "Stretch.h"

#include <algorithm>
#include <cstring>

namespace zub {

QImage ComposeComposite(const QImage &canvas, const QImage &logoBox, const QRect &box, QSize size) {
  QImage composite(size, QImage::Format_RGB32);
  if (composite.isNull())
    return {};
  composite.fill(kWindowColour);
  composite.setDotsPerMeterX(kDotsPerMeter);
  composite.setDotsPerMeterY(kDotsPerMeter);
  if (!canvas.isNull())
    DrawStretched(composite, QRect(QPoint(0, 0), canvas.size()), canvas);
  DrawStretched(composite, box, logoBox);
  return composite;
}

Composition ComposeCode(const QImage &symbol, const QImage &logo, QSize canvasSize,
                        const QRect &logoBox) {
  Composition made;
  made.canvas = StretchPicture(symbol, canvasSize);
  if (made.canvas.isNull())
    return {};
  // The logo box is built from the canvas beneath it and the logo, as an
  // unobstructed screen shows it, and read back through the bitmap bits the
  // screen capture delivers.
  BitmapInfo header;
  const std::vector<std::uint8_t> bits =
      CaptureWindowBits(LogoWindow{made.canvas, logoBox, logo}, header, 32, 0);
  made.logoBox = ImageFromBitmapBits(header, bits, 0);
  made.composite = ComposeComposite(made.canvas, made.logoBox, logoBox, canvasSize);
  return made;
}

QImage ScaleComposite(const Composition &made, const QImage &logo, int scale,
                      const QRect &logoBox) {
  if (made.composite.isNull() || scale < 1 || scale > kMaxCompositeScale)
    return {};
  if (scale == 1)
    return made.composite;
  const QImage &small = made.composite;
  QImage large(small.size() * scale, QImage::Format_RGB32);
  if (large.isNull())
    return {};
  large.setDotsPerMeterX(CompositeDotsPerMeter(scale));
  large.setDotsPerMeterY(CompositeDotsPerMeter(scale));
  // Each row of blocks: the first row drawn pixel by pixel, the others
  // copied from it.
  const std::size_t rowBytes = static_cast<std::size_t>(large.width()) * sizeof(QRgb);
  for (int y = 0; y < small.height(); ++y) {
    const auto *in = reinterpret_cast<const QRgb *>(small.constScanLine(y));
    auto *first = reinterpret_cast<QRgb *>(large.scanLine(y * scale));
    for (int x = 0; x < small.width(); ++x)
      std::fill_n(first + static_cast<std::ptrdiff_t>(x) * scale, scale, in[x]);
    for (int k = 1; k < scale; ++k)
      std::memcpy(large.scanLine(y * scale + k), first, rowBytes);
  }
  if (logo.isNull())
    return large;

  // The logo box again, at the larger size: the logo inside its rounded
  // region, and elsewhere the canvas beneath, enlarged like the rest.
  const QRect box(logoBox.topLeft() * scale, logoBox.size() * scale);
  const QImage shown = LogoInBox(logo, box.size());
  if (shown.isNull())
    return {};
  const QImage canvas = made.canvas.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < box.height(); ++y) {
    const int ly = box.top() + y;
    if (ly < 0 || ly >= large.height())
      continue;
    const auto *logoRow = reinterpret_cast<const QRgb *>(shown.constScanLine(y));
    auto *out = reinterpret_cast<QRgb *>(large.scanLine(ly));
    const int cy = ly / scale;
    const auto *canvasRow =
        cy < canvas.height() ? reinterpret_cast<const QRgb *>(canvas.constScanLine(cy)) : nullptr;
    for (int x = 0; x < box.width(); ++x) {
      const int lx = box.left() + x;
      if (lx < 0 || lx >= large.width())
        continue;
      if (InLogoRegion(x, y, box.width(), box.height(), scale))
        out[lx] = logoRow[x];
      else
        out[lx] = canvasRow && lx / scale < canvas.width() ? canvasRow[lx / scale] : kWindowColour;
    }
  }
  return large;
}

QImage ComposeQRPicture(const Picture &symbol, const QImage &logo) {
  return ComposeCode(SymbolView(symbol), logo).composite;
}

} // namespace zub
