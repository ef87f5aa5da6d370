#include "ImageFile.h"

#include "BitmapFile.h"
#include "JpegFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zub {

namespace {

QByteArray EncodeJpeg(const QImage &image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  if (rgb.isNull())
    return {};
  const std::vector<std::uint8_t> jpeg =
      CompressJpeg(rgb.width(), rgb.height(), [&rgb](int y) { return rgb.constScanLine(y); });
  if (jpeg.empty())
    return {};
  return QByteArray(reinterpret_cast<const char *>(jpeg.data()),
                    static_cast<qsizetype>(jpeg.size()));
}

QByteArray EncodePng(const QImage &image) {
  QByteArray out;
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  return writer.write(image) ? out : QByteArray();
}

} // namespace

ImageFileFormat ImageFileFormatForName(const QString &path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
    return ImageFileFormat::Jpeg;
  if (suffix == QLatin1String("png"))
    return ImageFileFormat::Png;
  return ImageFileFormat::Bmp;
}

QByteArray EncodeImageFile(const QImage &image, ImageFileFormat format) {
  if (image.isNull())
    return {};
  switch (format) {
  case ImageFileFormat::Png:
    return EncodePng(image);
  case ImageFileFormat::Jpeg:
    return EncodeJpeg(image);
  case ImageFileFormat::Bmp:
    break;
  }
  return EncodeBitmap(image);
}

WriteResult WriteImageFile(const QImage &image, const QString &path, ImageFileFormat format,
                           const WriteOptions &options) {
  const QByteArray bytes = EncodeImageFile(image, format);
  if (bytes.isEmpty())
    return {WriteFailure::NothingToWrite, 0};
  // The system's own encoding of the name; a NUL survives it, and is refused.
  const QByteArray name = QFile::encodeName(path);
  return WriteWholeFile(std::string(name.constData(), static_cast<std::size_t>(name.size())),
                        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                        options);
}

} // namespace zub
