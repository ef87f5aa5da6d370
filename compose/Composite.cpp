#include "Composite.h"

#include "LogoBox.h"
#include "Stretch.h"

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

QImage ComposeQRPicture(const Picture &symbol, const QImage &logo) {
  return ComposeCode(SymbolView(symbol), logo).composite;
}

} // namespace zub
