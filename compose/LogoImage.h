#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace zub {

// Pictures larger than this many pixels are refused before they are decoded.
inline constexpr qint64 kMaxLogoPixels = 50'000'000;
// And no decoder may allocate more than this for one picture.
inline constexpr int kLogoAllocationLimitMB = 256;

// A loaded logo, or why there is none.
struct LogoLoad {
  QImage image;  // the decoded picture; null on failure
  QString error; // one line in Chinese naming the file; empty on success
};

// Reads the logo picture at `path` (used as given, spaces kept; a path too
// long to open at once is walked folder by folder): JPEG, PNG, BMP or GIF,
// recognised by content, not by name, and turned upright as its EXIF
// orientation says. No other format is decoded. Fails with a clear reason
// when the file is missing, not a regular file, unreadable, not one of
// those pictures, truncated or damaged, or larger than kMaxLogoPixels or
// kLogoAllocationLimitMB once decoded (saying how large is allowed). Never
// throws; blocks for the time of the decode, never on a FIFO or device.
LogoLoad LoadLogo(const QString &path);

// The logo as it shows when drawn into a box of `box` pixels: the whole
// picture stretched to the box, both axes independently, over the window
// colour (which shows through transparent pixels). An axis that shrinks is
// averaged smoothly; an axis that grows repeats pixels with NearestSource,
// so an enlarged logo shows solid blocks. Format_RGB32; a null logo or an
// empty box gives a null image.
QImage LogoInBox(const QImage &logo, QSize box);

} // namespace zub
