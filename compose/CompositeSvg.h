#pragma once

#include "Layout.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>

namespace zub {

// The composite as a vector picture (SVG 1.1), for print at any size and
// for sharing: `canvasSize` user units (pixels at 96 dpi) wide and high.
//   - The window colour, then the dark modules of `symbol` (one pixel a
//     module, as ComposeCode takes it) as one path, each module the
//     rectangle of canvas pixels the stretch gives it, so neighbours share
//     edges exactly: no hairline between them at any zoom, and drawn at
//     1x the path covers exactly the composite's dark pixels.
//   - The logo, when `logo` is not null, embedded as a PNG data URI (never
//     a link to a file), stretched over `logoBox` and cut to its rounded
//     region by a clip path; the picture's own pixels outside that region
//     are transparent as well, for renderers that ignore clip paths. It is
//     LogoInBox of `logo` at up to 8 times the box, as sharp as the logo's
//     picture allows.
// Empty for a null symbol or an empty canvas.
QByteArray CompositeSvg(const QImage &symbol, const QImage &logo, QSize canvasSize = kCanvasSize,
                        const QRect &logoBox = kLogoBoxRect);

// The largest scale of the box CompositeSvg embeds a logo at.
inline constexpr int kSvgLogoMaxScale = 8;

} // namespace zub
