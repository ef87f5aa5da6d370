#pragma once

#include "Picture.h"

#include <QImage>
#include <QRect>
#include <QSize>

namespace zub {

// The composite picture: a `size` image of the window colour, the canvas's
// backing image drawn at its natural size from (0, 0) (cut at the right and
// bottom, never scaled), and the logo box's backing image drawn over `box`
// stretched to its size. Format_RGB32.
QImage ComposeComposite(const QImage &canvas, const QImage &logoBox, const QRect &box, QSize size);

// The whole composition without a window, step for step as the main window
// does it: the symbol stretched over the canvas (kCanvasSize), the logo box
// (kLogoBoxRect) captured with the logo in its rounded region, and both
// composed. A null logo composes the symbol alone. Null for a null symbol.
QImage ComposeQRPicture(const Picture &symbol, const QImage &logo);

} // namespace zub
