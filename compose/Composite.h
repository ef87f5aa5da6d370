#pragma once

#include "Layout.h"
#include "Picture.h"

#include <QImage>
#include <QRect>
#include <QSize>

namespace zub {

// The composite picture: a `size` image of the window colour, the canvas's
// backing image drawn at its natural size from (0, 0) (cut at the right and
// bottom, never scaled), and the logo box's backing image drawn over `box`
// stretched to its size. Format_RGB32, at kDotsPerMeter.
QImage ComposeComposite(const QImage &canvas, const QImage &logoBox, const QRect &box, QSize size);

// One code's composition, each step's picture made once: what the window's
// controls show, and the composite that is checked, shown, copied and saved.
struct Composition {
  QImage canvas;    // the symbol stretched over the canvas (StretchPicture)
  QImage logoBox;   // the logo box as captured (CaptureWindowBits): the
                    // rounded logo over the canvas beneath it
  QImage composite; // the canvas with the logo box over it (ComposeComposite)
};

// The only road from a symbol to its composite, the window's generate
// command without a window: `symbol` (one pixel a module) stretched over a
// canvas of `canvasSize`, the logo box `logoBox` captured with `logo` in its
// rounded region, and both composed. `logo` is the logo holder's picture of
// any size, or the logo as the box shows it (LogoInBox, taken as it is); a
// null logo composes the symbol alone. All null for a null symbol or an
// empty canvas.
Composition ComposeCode(const QImage &symbol, const QImage &logo, QSize canvasSize = kCanvasSize,
                        const QRect &logoBox = kLogoBoxRect);

// The composite of `made` drawn `scale` (1 .. kMaxCompositeScale) times
// larger, for print: outside the logo every pixel of made.composite becomes
// a solid scale x scale block, so the stretched modules keep their exact
// shape; inside the logo's rounded region, itself drawn at that size, the
// logo is drawn from `logo` (its picture, not the 1x box) at the box's
// larger size. `logo` is as ComposeCode takes it, or LogoInBox of the
// larger box; null for a code without a logo. Carries
// CompositeDotsPerMeter(scale). Scale 1 gives made.composite itself; null
// for another scale, a null composite, or too many pixels.
QImage ScaleComposite(const Composition &made, const QImage &logo, int scale,
                      const QRect &logoBox = kLogoBoxRect);

// The composite of ComposeCode for the encoder's picture, in the window's
// layout.
QImage ComposeQRPicture(const Picture &symbol, const QImage &logo);

} // namespace zub
