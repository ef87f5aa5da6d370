#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace zub {

// Pictures larger than this many pixels are refused before they are decoded.
inline constexpr qint64 kMaxLogoPixels = 50'000'000;
// And no decoder may allocate more than this for one picture.
inline constexpr int kLogoAllocationLimitMB = 256;

// Files larger than this are refused before they are read.
inline constexpr qint64 kMaxLogoFileBytes = 256LL * 1024 * 1024;

// Why a logo could not be loaded; the front ends put it into words.
enum class LogoProblem {
  None,
  NotFound,      // no such file (or an empty name)
  NoPermission,  // not allowed to read it
  PathTooLong,   // a folder or file name over 255 bytes
  ReadError,     // the system failed while reading
  NotAFile,      // a folder, a FIFO, a device
  FileTooLarge,  // over kMaxLogoFileBytes
  NotAPicture,   // none of JPEG, PNG, BMP or GIF
  Damaged,       // cut off or corrupt
  TooManyPixels, // over kMaxLogoPixels: `size` says how many
  TooMuchMemory, // its decode would need over kLogoAllocationLimitMB: `size`,
                 // `depth` and `bytes` say how much
};

// A loaded logo, or why there is none, with the figures of the problem.
struct LogoLoad {
  QImage image; // the decoded picture; null on failure
  LogoProblem problem = LogoProblem::None;
  QString path;     // the file asked for
  QSize size;       // the picture's pixels in its file, where they were read
  int depth = 0;    // bits per pixel of its decode
  qint64 bytes = 0; // memory its decode would take
};

// Reads the logo picture at `path` (used as given, spaces kept; a path too
// long to open at once is walked folder by folder): JPEG, PNG, BMP or GIF,
// recognised by content, not by name, and turned upright as its EXIF
// orientation says. No other format is decoded. Fails with a clear reason
// when the file is missing, not a regular file, unreadable, not one of
// those pictures, truncated or damaged, or larger than kMaxLogoPixels or
// kLogoAllocationLimitMB once decoded (saying how large is allowed). Never
// throws; blocks for the time of the decode, never on a FIFO or device.
// With `shownAt`, the size of the box the logo is drawn into, a large JPEG
// is decoded at a half, a quarter or an eighth of its size while it still
// has twice the box's pixels each way: a phone photo then takes tens of
// milliseconds instead of seconds, and shows the same in the box.
LogoLoad LoadLogo(const QString &path, QSize shownAt = QSize());

// The logo as it shows when drawn into a box of `box` pixels: the whole
// picture stretched to the box, both axes independently, over the window
// colour (which shows through transparent pixels). An axis that shrinks is
// averaged smoothly; an axis that grows repeats pixels with NearestSource,
// so an enlarged logo shows solid blocks. Format_RGB32; a null logo or an
// empty box gives a null image.
QImage LogoInBox(const QImage &logo, QSize box);

} // namespace zub
