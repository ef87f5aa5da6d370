#include "OwnPictures.h"

#include <QDirIterator>
#include <QImageReader>
#include <QResource>

#include <png.h>

#include <future>
#include <map>
#include <utility>

namespace zub {

namespace {

using Pictures = std::map<QString, QImage>;

const QString kFolder = QStringLiteral(":/assets/");

// Every compiled-in picture is a PNG. Named, the format needs no guessing: a
// reader left to guess loads and asks every image plugin on the system.
QImage Read(const QString &name) {
  QImageReader reader(kFolder + name, "png");
  reader.setAutoDetectImageFormat(false);
  return reader.read();
}

std::future<Pictures> &Prefetched() {
  static std::future<Pictures> pictures;
  return pictures;
}

} // namespace

QImage DecodePng(const QByteArray &bytes) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.constData(),
                                        static_cast<png_size_t>(bytes.size())))
    return {};
  const bool alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  // B, G, R, A in memory is what QImage's 32-bit formats hold on this byte
  // order; opaque pictures get A = 255, which RGB32 wants.
  png.format = PNG_FORMAT_BGRA;
  QImage image(static_cast<int>(png.width), static_cast<int>(png.height),
               alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (image.isNull() ||
      !png_image_finish_read(&png, nullptr, image.bits(),
                             static_cast<png_int_32>(image.bytesPerLine()), nullptr)) {
    png_image_free(&png);
    return {};
  }
  return image;
}

void PrefetchOwnPictures() {
  static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "BGRA bytes are QImage's 32-bit pixels");
  if (Prefetched().valid())
    return;
  Prefetched() = std::async(std::launch::async, [] {
    Pictures pictures;
    // No name filter: it would compile a regular expression.
    QDirIterator it(kFolder, QDir::Files);
    while (it.hasNext()) {
      const QString path = it.next();
      if (!path.endsWith(QLatin1String(".png")))
        continue;
      const QImage image = DecodePng(QResource(path).uncompressedData());
      if (!image.isNull())
        pictures.emplace(path.mid(kFolder.size()), image);
    }
    return pictures;
  });
}

QImage OwnPicture(const QString &name) {
  // Each prefetched picture is handed out once, so that none stays in
  // memory after the window has taken its copy; asked again, it is read
  // anew.
  static Pictures prefetched;
  if (Prefetched().valid())
    prefetched = Prefetched().get(); // waits while still decoding
  if (auto found = prefetched.extract(name))
    return std::move(found.mapped());
  return Read(name);
}

} // namespace zub
