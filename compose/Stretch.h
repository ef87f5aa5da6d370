#pragma once

#include "Picture.h"

#include <QImage>
#include <QRect>
#include <QSize>

#include <cstdint>

namespace zub {

// The one nearest-neighbour mapping of every stretch in the composition:
// when `sourceLength` pixels are stretched over `targetLength`, target pixel
// d (0 <= d < targetLength) shows source pixel floor(d * sourceLength /
// targetLength). Enlarging turns each source pixel into a solid block of
// floor or ceil(targetLength / sourceLength) pixels; nothing is smoothed.
constexpr int NearestSource(int d, int sourceLength, int targetLength) {
  return static_cast<int>(static_cast<std::int64_t>(d) * sourceLength / targetLength);
}

// Draws the whole of `source` into `target` over `dest`, both axes stretched
// independently with NearestSource; the part of `dest` outside `target` is
// clipped. `target` must be Format_RGB32; `source` may be any format (it is
// converted to opaque RGB32 first). Nothing happens for a null image or an
// empty `dest`.
void DrawStretched(QImage &target, const QRect &dest, const QImage &source);

// `picture` stretched over a whole drawing area of `size` with
// NearestSource, as the canvas shows the symbol: Format_RGB32. A null
// picture or an empty size gives a null image.
QImage StretchPicture(const QImage &picture, QSize size);

// The same for the encoder's picture: black and white.
QImage StretchSymbol(const Picture &symbol, QSize size);

// A read-only view of the symbol picture's pixels as a grey image; valid
// while `symbol` lives.
QImage SymbolView(const Picture &symbol);

} // namespace zub
