#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <cstdint>
#include <vector>

namespace zub {

// Whether pixel (x, y) of a logo box of `boxWidth` x `boxHeight` pixels lies
// in the rounded region that shows the logo: the rectangle from (0, 0) to
// (boxWidth - 10, boxHeight - 10), right and bottom exclusive, whose corners
// are cut by ellipses 30 pixels wide and high (narrower when the rectangle
// is). A pixel belongs to a corner ellipse when its centre lies on or inside
// it. For the 89 x 89 box: (0, 0) and (78, 0) outside, (39, 0) inside, every
// pixel of columns or rows 79 .. 88 outside. At `scale` the box is that many
// times larger and so are the inset and the corners: the same shape drawn
// with finer pixels.
bool InLogoRegion(int x, int y, int boxWidth, int boxHeight, int scale = 1);

// The pixels of InLogoRegion as a region, for clipping and window shapes.
QRegion LogoRegion(QSize box);

// The device-independent bitmap description a capture fills in: the 40-byte
// information header followed by one colour entry, laid out as in a bitmap
// file.
struct BitmapInfoHeader {
  std::uint32_t biSize = 0;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0; // positive: rows bottom-up; negative: top-down
  std::uint16_t biPlanes = 0;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};
struct BitmapInfo {
  BitmapInfoHeader bmiHeader;
  std::uint32_t bmiColors[1] = {0};
};

// What an unobstructed screen shows of the logo box: the canvas's backing
// image beneath the box, and inside the rounded region the logo drawn
// stretched to the box (LogoInBox). A null logo shows the canvas alone. Box
// pixels beyond the canvas show the window colour.
struct LogoWindow {
  const QImage &canvas; // the canvas's backing image
  QRect box;            // the box's outer rectangle in canvas coordinates
  const QImage &logo;   // the logo holder's picture, or null
};

// The pixels of `window` as a bitmap in memory, built from the images above
// rather than read from a screen, so that it gives the same on any platform.
//   header: biSize 40, biWidth W, biHeight H (positive: bottom-up rows),
//           biPlanes 1, biBitCount = bitCount, biCompression 0; other
//           fields are left as they are.
//   bitCount: 24 (blue, green, red) or 32 (blue, green, red, 0).
//   offset: bytes left zero in front of the pixel data (>= 0).
// Returns offset + S * H bytes, S = ((W * bitCount + 31) & ~31) / 8 the
// padded row length, the first row the bottom one. Returns an empty buffer
// and leaves the header untouched for another bit count, a negative offset
// or an empty box.
std::vector<std::uint8_t> CaptureWindowBits(const LogoWindow &window, BitmapInfo &header,
                                            int bitCount, int offset);

// The image that bitmap bits describe (24 or 32 bits per pixel, no
// compression, either row order), read from `bits` at `offset`:
// Format_RGB32. Null when the header is not such a bitmap or the buffer is
// too short for it.
QImage ImageFromBitmapBits(const BitmapInfo &header, const std::vector<std::uint8_t> &bits,
                           int offset);

} // namespace zub
