#include "SvgPicture.h"

#include <QPainter>
#include <QSvgRenderer>

namespace zub {

QImage RenderSvg(const QByteArray &svg, QSize size) {
  if (size.isEmpty())
    return {};
  QSvgRenderer renderer(svg);
  if (!renderer.isValid())
    return {};
  QImage picture(size, QImage::Format_RGB32);
  if (picture.isNull())
    return {};
  picture.fill(Qt::white);
  QPainter painter(&picture);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  painter.end();
  return picture;
}

} // namespace zub
