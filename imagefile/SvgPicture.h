#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace zub {

// The picture an SVG file's bytes draw, rendered by Qt SVG over white at
// `size` pixels (the whole view box stretched over it): Format_RGB32. Null
// when the bytes are no SVG Qt can draw or the size is empty.
QImage RenderSvg(const QByteArray &svg, QSize size);

} // namespace zub
