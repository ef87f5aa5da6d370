#include "Stretch.h"

#include <vector>

namespace zub {

namespace {

std::vector<int> SourceColumns(int sourceWidth, int targetWidth) {
  std::vector<int> map(static_cast<std::size_t>(targetWidth));
  for (int x = 0; x < targetWidth; ++x)
    map[static_cast<std::size_t>(x)] = NearestSource(x, sourceWidth, targetWidth);
  return map;
}

} // namespace

void DrawStretched(QImage &target, const QRect &dest, const QImage &source) {
  if (target.isNull() || source.isNull() || dest.isEmpty())
    return;
  Q_ASSERT(target.format() == QImage::Format_RGB32);
  const QImage src = source.convertToFormat(QImage::Format_RGB32);
  const QRect visible = dest.intersected(target.rect());
  if (visible.isEmpty())
    return;
  const std::vector<int> columns = SourceColumns(src.width(), dest.width());
  for (int y = visible.top(); y <= visible.bottom(); ++y) {
    const int sy = NearestSource(y - dest.top(), src.height(), dest.height());
    const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(sy));
    auto *out = reinterpret_cast<QRgb *>(target.scanLine(y));
    for (int x = visible.left(); x <= visible.right(); ++x)
      out[x] = in[columns[static_cast<std::size_t>(x - dest.left())]];
  }
}

QImage SymbolView(const Picture &symbol) {
  if (symbol.isNull())
    return {};
  return QImage(symbol.bits(), symbol.width(), symbol.height(), symbol.bytesPerLine(),
                QImage::Format_Grayscale8);
}

QImage StretchPicture(const QImage &picture, QSize size) {
  if (picture.isNull() || size.isEmpty())
    return {};
  QImage stretched(size, QImage::Format_RGB32);
  DrawStretched(stretched, QRect(QPoint(0, 0), size), picture);
  return stretched;
}

QImage StretchSymbol(const Picture &symbol, QSize size) {
  return StretchPicture(SymbolView(symbol), size);
}

} // namespace zub
