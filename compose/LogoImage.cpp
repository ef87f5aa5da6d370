#include "LogoImage.h"

#include "Layout.h"
#include "Stretch.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace zub {

namespace {

// A file larger than this cannot hold a picture we would accept.
constexpr qint64 kMaxLogoFileBytes = 256LL * 1024 * 1024;

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

bool Complete(const QByteArray &d) {
  if (d.size() >= 3 && Byte(d, 0) == 0xFF && Byte(d, 1) == 0xD8 && Byte(d, 2) == 0xFF)
    return JpegComplete(d);
  if (d.startsWith("BM"))
    return BmpComplete(d);
  return true;
}

LogoLoad Failure(const QString &what, const QString &path) {
  return {QImage(), what + QStringLiteral("：") + path};
}

} // namespace

LogoLoad LoadLogo(const QString &path) {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists())
    return Failure(QStringLiteral("找不到Logo图片文件"), path);
  if (!info.isFile())
    return Failure(QStringLiteral("所选的Logo不是图片文件"), path);
  if (info.size() > kMaxLogoFileBytes)
    return Failure(QStringLiteral("Logo图片文件太大，无法载入"), path);

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return Failure(QStringLiteral("无法读取Logo图片文件（没有权限或文件被占用）"), path);
  // Read at most one byte past the limit: the file may have grown.
  QByteArray data = file.read(kMaxLogoFileBytes + 1);
  if (file.error() != QFileDevice::NoError)
    return Failure(QStringLiteral("读取Logo图片文件时出错"), path);
  if (data.size() > kMaxLogoFileBytes)
    return Failure(QStringLiteral("Logo图片文件太大，无法载入"), path);

  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  reader.setAllocationLimit(kLogoAllocationLimitMB);
  if (!reader.canRead())
    return Failure(QStringLiteral("所选文件不是可以识别的图片"), path);
  const QSize size = reader.size();
  if (size.isValid() && static_cast<qint64>(size.width()) * size.height() > kMaxLogoPixels)
    return Failure(QStringLiteral("Logo图片尺寸太大，无法载入"), path);
  if (!Complete(data))
    return Failure(QStringLiteral("Logo图片文件不完整或已损坏"), path);

  QImage image = reader.read();
  if (image.isNull())
    return Failure(QStringLiteral("Logo图片文件不完整或已损坏"), path);
  return {std::move(image), QString()};
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
