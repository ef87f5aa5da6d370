#include "Composite.h"

#include "Layout.h"
#include "Stretch.h"
#include "logomd.h"

namespace zub {

QImage ComposeComposite(const QImage &canvas, const QImage &logoBox, const QRect &box, QSize size) {
  QImage composite(size, QImage::Format_RGB32);
  if (composite.isNull())
    return {};
  composite.fill(kWindowColour);
  if (!canvas.isNull())
    DrawStretched(composite, QRect(QPoint(0, 0), canvas.size()), canvas);
  DrawStretched(composite, box, logoBox);
  return composite;
}

QImage ComposeQRPicture(const Picture &symbol, const QImage &logo) {
  const QImage canvas = StretchSymbol(symbol, kCanvasSize);
  if (canvas.isNull())
    return {};
  BitmapInfo header;
  const std::vector<std::uint8_t> bits =
      CaptureWindowBits(LogoWindow{canvas, kLogoBoxRect, logo}, header, 32, 0);
  const QImage logoBox = ImageFromBitmapBits(header, bits, 0);
  return ComposeComposite(canvas, logoBox, kLogoBoxRect, kCanvasSize);
}

} // namespace zub
