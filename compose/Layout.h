#pragma once

#include <QColor>
#include <QRect>
#include <QSize>

namespace zub {

// Where the composed picture's parts lie, in pixels of the main window.

// The canvas the symbol is stretched over; the composite has its size.
inline constexpr QSize kCanvasSize{552, 409};

// The resolution the composite carries into its files: the window's pixel
// is 15 twips, 96 dots per inch, on whatever screen or none it was made.
inline constexpr int kDotsPerMeter = 3780;

// A composite can be drawn up to this many times larger, for print.
inline constexpr int kMaxCompositeScale = 16;

// The density a composite drawn `scale` times larger carries: the screen's
// 96 dpi times the scale, up to the 300 dpi of a good print. So 2x prints
// as sharp at the size of the screen's picture, and 4x and beyond print
// larger at 300 dpi (8x: 37.4 x 27.7 cm, a poster).
constexpr int CompositeDotsPerInch(int scale) {
  return scale * 96 < 300 ? scale * 96 : 300;
}
constexpr int CompositeDotsPerMeter(int scale) {
  // 96 dpi is 3780 dots a metre, as every 1x file has always said.
  return scale <= 1 ? kDotsPerMeter : (CompositeDotsPerInch(scale) * 10000 + 127) / 254;
}

// The logo box on the canvas: its outer rectangle in the canvas's coordinates.
inline constexpr QRect kLogoBoxRect{232, 152, 89, 89};

// The rounded logo leaves this many columns at the right and rows at the
// bottom of the box outside (the 89 x 89 box shows a 79 x 79 logo) ...
inline constexpr int kLogoRegionInset = 10;
// ... and cuts its corners by ellipses of this width and height.
inline constexpr int kLogoCornerDiameter = 30;

// The system window colour: behind a logo's transparent pixels, and the
// composite's background where the canvas does not reach.
inline constexpr QRgb kWindowColour = 0xFFFFFFFF;

} // namespace zub
