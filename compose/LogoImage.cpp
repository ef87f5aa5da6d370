#include "LogoImage.h"

#include "Layout.h"
#include "Stretch.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QList>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zub {

namespace {

// A file larger than this cannot hold a picture we would accept.

std::uint32_t Le16(const QByteArray &d, qsizetype at) {
  const auto *p = reinterpret_cast<const std::uint8_t *>(d.constData() + at);
  return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const QByteArray &d, qsizetype at) {
  return Le16(d, at) | (Le16(d, at + 2) << 16);
}

std::uint8_t Byte(const QByteArray &d, qsizetype at) {
  return static_cast<std::uint8_t>(d[at]);
}

// Qt's JPEG and BMP readers fill the missing rest of a cut-off file with
// grey or black and report success, so the file's own structure is checked
// first: whether a JPEG's markers lead to its end-of-image marker, and
// whether a BMP holds all the rows its header announces. Anything else that
// looks odd is left to the decoder.
bool JpegComplete(const QByteArray &d) {
  const qsizetype n = d.size();
  qsizetype i = 2; // after the start-of-image marker
  for (;;) {
    if (i >= n)
      return false;
    if (Byte(d, i) != 0xFF)
      return true; // not a marker where one belongs: damaged, not cut off
    while (i < n && Byte(d, i) == 0xFF)
      ++i; // fill bytes
    if (i >= n)
      return false;
    const std::uint8_t marker = Byte(d, i++);
    if (marker == 0xD9)
      return true; // end of image
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
      continue; // markers without a length
    if (i + 2 > n)
      return false;
    const qsizetype length = static_cast<qsizetype>((Byte(d, i) << 8) | Byte(d, i + 1));
    if (length < 2)
      return true;
    if (i + length > n)
      return false;
    i += length;
    if (marker != 0xDA)
      continue;
    // Entropy-coded data runs to the next marker other than a restart
    // marker; 0xFF 0x00 is a stuffed data byte.
    for (;;) {
      if (i + 1 >= n)
        return false;
      const std::uint8_t next = Byte(d, i + 1);
      if (Byte(d, i) == 0xFF && next != 0x00 && !(next >= 0xD0 && next <= 0xD7))
        break;
      ++i;
    }
  }
}

bool BmpComplete(const QByteArray &d) {
  constexpr qsizetype kFileHeader = 14;
  const qsizetype n = d.size();
  if (n < kFileHeader + 4)
    return false;
  const qint64 pixelOffset = Le32(d, 10);
  const qsizetype infoSize = static_cast<qsizetype>(Le32(d, kFileHeader));
  if (infoSize != 12 && infoSize < 40)
    return true;
  if (n < kFileHeader + infoSize)
    return false;
  qint64 width = 0, height = 0, bitCount = 0, compression = 0, imageSize = 0;
  if (infoSize == 12) {
    width = Le16(d, 18);
    height = Le16(d, 20);
    bitCount = Le16(d, 24);
  } else {
    width = static_cast<std::int32_t>(Le32(d, 18));
    height = static_cast<std::int32_t>(Le32(d, 22));
    bitCount = Le16(d, 28);
    compression = Le32(d, 30);
    imageSize = Le32(d, 34);
  }
  constexpr qint64 kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
  const qint64 available = n - pixelOffset;
  if (available < 0)
    return false;
  if (compression == kRgb || compression == kBitFields || compression == kAlphaBitFields) {
    if (width <= 0 || bitCount <= 0)
      return true;
    // A lying header can announce more than 2^63 bytes of rows: compare by
    // division, never by the product.
    const qint64 rowBytes = (width * bitCount + 31) / 32 * 4;
    const qint64 rows = std::llabs(height);
    return rows == 0 || rowBytes <= available / rows;
  }
  if (compression == kRle8 || compression == kRle4)
    return imageSize <= available;
  return true;
}

// A GIF is complete when its first picture's data runs to the block that
// closes it; Qt's reader paints what is missing black and reports success.
bool GifComplete(const QByteArray &d) {
  const qsizetype n = d.size();
  constexpr qsizetype kScreenDescriptor = 13; // signature, version, screen
  if (n < kScreenDescriptor)
    return false;
  auto colourTable = [&](std::uint8_t flags) {
    return (flags & 0x80) != 0 ? 3 * (qsizetype(2) << (flags & 0x07)) : 0;
  };
  qsizetype i = kScreenDescriptor + colourTable(Byte(d, 10));
  // Data sub-blocks, each led by its length, up to the empty one.
  auto skipSubBlocks = [&]() {
    for (;;) {
      if (i >= n)
        return false;
      const std::uint8_t length = Byte(d, i++);
      if (length == 0)
        return true;
      i += length;
    }
  };
  for (;;) {
    if (i >= n)
      return false;
    const std::uint8_t block = Byte(d, i++);
    if (block == 0x21) { // extension: label, then sub-blocks
      ++i;
      if (!skipSubBlocks())
        return false;
    } else if (block == 0x2C) { // image: descriptor, colours, code size, data
      if (i + 9 > n)
        return false;
      i += 9 + colourTable(Byte(d, i + 8)) + 1;
      return skipSubBlocks();
    } else {
      return true; // the trailer, or damage the decoder will judge
    }
  }
}

// The raster formats a logo may be in, recognised by their first bytes.
// Nothing else reaches a decoder: a vector picture could pull other files
// in, and rarer decoders are more to trust than a logo needs.
enum class Raster { None, Jpeg, Png, Bmp, Gif };

Raster Sniff(const QByteArray &d) {
  if (d.size() >= 3 && Byte(d, 0) == 0xFF && Byte(d, 1) == 0xD8 && Byte(d, 2) == 0xFF)
    return Raster::Jpeg;
  if (d.startsWith("\x89PNG\r\n\x1A\n"))
    return Raster::Png;
  if (d.startsWith("BM"))
    return Raster::Bmp;
  if (d.startsWith("GIF87a") || d.startsWith("GIF89a"))
    return Raster::Gif;
  return Raster::None;
}

QByteArray QtFormat(Raster format) {
  switch (format) {
  case Raster::Jpeg:
    return "jpeg";
  case Raster::Png:
    return "png";
  case Raster::Bmp:
    return "bmp";
  case Raster::Gif:
    return "gif";
  case Raster::None:
    break;
  }
  return {};
}

bool Complete(Raster format, const QByteArray &d) {
  switch (format) {
  case Raster::Jpeg:
    return JpegComplete(d);
  case Raster::Bmp:
    return BmpComplete(d);
  case Raster::Gif:
    return GifComplete(d);
  case Raster::Png: // the decoder refuses a cut-off PNG itself
  case Raster::None:
    break;
  }
  return true;
}

LogoLoad Failure(LogoProblem problem, const QString &path) {
  LogoLoad load;
  load.problem = problem;
  load.path = path;
  return load;
}

// How a file could not be opened.
enum class OpenError { None, Missing, Denied, PathTooLong, Other };

OpenError Classify(int error) {
  switch (error) {
  case ENOENT:
  case ENOTDIR:
    return OpenError::Missing;
  case EACCES:
  case EPERM:
    return OpenError::Denied;
  case ENAMETOOLONG:
    return OpenError::PathTooLong;
  default:
    return OpenError::Other;
  }
}

// Opens `path` for reading without waiting: a FIFO or a device would block
// a plain open. A path longer than the system takes in one call is walked
// from folder to folder, so that a logo deep in a folder tree opens like
// any other. -1 with `error` set on failure.
int OpenNoWait(const QByteArray &path, OpenError &error) {
  constexpr int kFileFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  int fd = ::open(path.constData(), kFileFlags);
  if (fd >= 0 || errno != ENAMETOOLONG) {
    error = fd >= 0 ? OpenError::None : Classify(errno);
    return fd;
  }
  const QList<QByteArray> parts = path.split('/');
  int folder = ::open(path.startsWith('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (qsizetype k = 0; folder >= 0 && k + 1 < parts.size(); ++k) {
    if (parts[k].isEmpty())
      continue;
    const int next = ::openat(folder, parts[k].constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int saved = errno;
    ::close(folder);
    folder = next;
    errno = saved;
  }
  if (folder >= 0) {
    fd = ::openat(folder, parts.last().constData(), kFileFlags);
    const int saved = errno;
    ::close(folder);
    errno = saved;
  }
  error = fd >= 0 ? OpenError::None : Classify(errno);
  return fd;
}

} // namespace

LogoLoad LoadLogo(const QString &path, QSize shownAt) {
  if (path.isEmpty())
    return Failure(LogoProblem::NotFound, path);
  OpenError openError = OpenError::None;
  const int fd = OpenNoWait(QFile::encodeName(path), openError);
  switch (openError) {
  case OpenError::None:
    break;
  case OpenError::Missing:
    return Failure(LogoProblem::NotFound, path);
  case OpenError::Denied:
    return Failure(LogoProblem::NoPermission, path);
  case OpenError::PathTooLong:
    return Failure(LogoProblem::PathTooLong, path);
  case OpenError::Other:
    return Failure(LogoProblem::ReadError, path);
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return Failure(LogoProblem::ReadError, path);
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0)
    return Failure(LogoProblem::ReadError, path);
  if (!S_ISREG(status.st_mode))
    return Failure(LogoProblem::NotAFile, path);
  if (status.st_size > kMaxLogoFileBytes)
    return Failure(LogoProblem::FileTooLarge, path);
  // A regular file: reading it waits for nothing but the disk.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

  // Read at most one byte past the limit: the file may have grown.
  QByteArray data = file.read(kMaxLogoFileBytes + 1);
  if (file.error() != QFileDevice::NoError)
    return Failure(LogoProblem::ReadError, path);
  if (data.size() > kMaxLogoFileBytes)
    return Failure(LogoProblem::FileTooLarge, path);

  // Only the allowed raster formats reach a decoder, and only their own.
  const Raster format = Sniff(data);
  if (format == Raster::None)
    return Failure(LogoProblem::NotAPicture, path);
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, QtFormat(format));
  reader.setAutoDetectImageFormat(false);
  reader.setAllocationLimit(kLogoAllocationLimitMB);
  // Phone photos are stored sideways with a note on how to turn them.
  reader.setAutoTransform(true);
  if (!reader.canRead())
    return Failure(LogoProblem::Damaged, path);
  const QSize size = reader.size();
  if (size.isValid()) {
    const qint64 pixels = static_cast<qint64>(size.width()) * size.height();
    if (pixels > kMaxLogoPixels) {
      LogoLoad load = Failure(LogoProblem::TooManyPixels, path);
      load.size = size;
      return load;
    }
    // What the decoder will allocate: a picture of many bits per pixel
    // needs more than its pixel count says.
    const QImage::Format decoded = reader.imageFormat();
    const int depth = decoded == QImage::Format_Invalid
                          ? 32
                          : static_cast<int>(QImage::toPixelFormat(decoded).bitsPerPixel());
    const qint64 bytes = pixels * depth / 8;
    if (bytes > static_cast<qint64>(kLogoAllocationLimitMB) * 1024 * 1024) {
      LogoLoad load = Failure(LogoProblem::TooMuchMemory, path);
      load.size = size;
      load.depth = depth;
      load.bytes = bytes;
      return load;
    }
  }
  if (!Complete(format, data))
    return Failure(LogoProblem::Damaged, path);

  // The JPEG decoder scales by whole steps of two while it decodes; the
  // size asked for is exactly what that step gives, so that nothing is
  // resampled a second time.
  if (format == Raster::Jpeg && size.isValid() && !shownAt.isEmpty()) {
    int step = 1;
    while (step < 8 && size.width() / (2 * step) >= 2 * shownAt.width() &&
           size.height() / (2 * step) >= 2 * shownAt.height())
      step *= 2;
    if (step > 1)
      reader.setScaledSize(
          QSize((size.width() + step - 1) / step, (size.height() + step - 1) / step));
  }
  QImage image = reader.read();
  if (image.isNull())
    return Failure(LogoProblem::Damaged, path);
  LogoLoad load;
  load.image = std::move(image);
  load.path = path;
  load.size = size;
  return load;
}

QImage LogoInBox(const QImage &logo, QSize box) {
  if (logo.isNull() || box.isEmpty())
    return {};
  // Premultiplied, so that averaging weighs colours by their coverage.
  QImage source = logo.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const int shrunkWidth = std::min(source.width(), box.width());
  const int shrunkHeight = std::min(source.height(), box.height());
  if (shrunkWidth != source.width() || shrunkHeight != source.height())
    source =
        source.scaled(shrunkWidth, shrunkHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (source.isNull())
    return {};

  QImage out(box, QImage::Format_RGB32);
  if (out.isNull())
    return {};
  const int backR = qRed(kWindowColour), backG = qGreen(kWindowColour),
            backB = qBlue(kWindowColour);
  for (int y = 0; y < box.height(); ++y) {
    const auto *in = reinterpret_cast<const QRgb *>(
        source.constScanLine(NearestSource(y, source.height(), box.height())));
    auto *row = reinterpret_cast<QRgb *>(out.scanLine(y));
    for (int x = 0; x < box.width(); ++x) {
      const QRgb p = in[NearestSource(x, source.width(), box.width())];
      // Premultiplied source over the background: c + back * (255 - a) / 255.
      const int clear = 255 - qAlpha(p);
      row[x] = qRgb(qRed(p) + (backR * clear + 127) / 255, qGreen(p) + (backG * clear + 127) / 255,
                    qBlue(p) + (backB * clear + 127) / 255);
    }
  }
  return out;
}

} // namespace zub
