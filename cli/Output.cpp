#include "Output.h"

#include "AtomicFile.h"
#include "ImageFile.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace zub::cli {

namespace {

// Modules a side of the symbol in `symbol`.
int Modules(const Picture &symbol) {
  return symbol.width() - 2 * kPictureQuietZone;
}

bool Dark(const Picture &symbol, int x, int y) {
  const int n = Modules(symbol);
  if (x < 0 || y < 0 || x >= n || y >= n)
    return false;
  return symbol.pixel(x + kPictureQuietZone, y + kPictureQuietZone) == Picture::kBlack;
}

} // namespace

QImage SymbolImage(const Picture &symbol, int scale, int margin) {
  const qint64 side = static_cast<qint64>(Modules(symbol) + 2 * margin) * scale;
  if (symbol.isNull() || side > kMaxPictureSide)
    return {};
  const int n = Modules(symbol);
  QImage image(static_cast<int>(side), static_cast<int>(side), QImage::Format_Grayscale8);
  image.fill(Qt::white);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      if (!Dark(symbol, x, y))
        continue;
      for (int dy = 0; dy < scale; ++dy)
        std::memset(image.scanLine((y + margin) * scale + dy) + (x + margin) * scale, 0,
                    static_cast<std::size_t>(scale));
    }
  }
  return image;
}

QByteArray SymbolSvg(const Picture &symbol, int scale, int margin) {
  const int n = Modules(symbol);
  const int side = n + 2 * margin;
  QByteArray svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 " +
         QByteArray::number(side) + " " + QByteArray::number(side) + "\" width=\"" +
         QByteArray::number(side * scale) + "\" height=\"" + QByteArray::number(side * scale) +
         "\" shape-rendering=\"crispEdges\">\n";
  svg += "<rect width=\"" + QByteArray::number(side) + "\" height=\"" + QByteArray::number(side) +
         "\" fill=\"#fff\"/>\n<path fill=\"#000\" d=\"";
  // Each row's runs of dark modules as one rectangle each.
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n;) {
      if (!Dark(symbol, x, y)) {
        ++x;
        continue;
      }
      int run = 1;
      while (Dark(symbol, x + run, y))
        ++run;
      svg += "M" + QByteArray::number(x + margin) + " " + QByteArray::number(y + margin) + "h" +
             QByteArray::number(run) + "v1h-" + QByteArray::number(run) + "z";
      x += run;
    }
  }
  svg += "\"/>\n</svg>\n";
  return svg;
}

QByteArray SymbolText(const Picture &symbol, int margin) {
  const int n = Modules(symbol);
  const auto light = [&](int x, int y) {
    return !Dark(symbol, x, y) || x < 0 || y < 0 || x >= n || y >= n;
  };
  QByteArray text;
  for (int y = -margin; y < n + margin; y += 2) {
    for (int x = -margin; x < n + margin; ++x) {
      const bool top = light(x, y);
      const bool bottom = y + 1 < n + margin && light(x, y + 1);
      text += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
    }
    text += "\n";
  }
  return text;
}

QByteArray RasterBytes(const QImage &image, OutputFormat format) {
  switch (format) {
  case OutputFormat::Png:
    return EncodeImageFile(image, ImageFileFormat::Png);
  case OutputFormat::Jpeg:
    return EncodeImageFile(image, ImageFileFormat::Jpeg);
  default:
    return EncodeImageFile(image, ImageFileFormat::Bmp);
  }
}

bool WriteOutput(const QByteArray &bytes, const std::string &output, std::string &error) {
  if (output != "-") {
    // A pipe or a device by name is written into, as a shell's ">" would.
    WriteOptions options;
    options.intoSpecialFiles = true;
    const WriteResult result = WriteFileAtomically(
        output, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        options);
    if (result)
      return true;
    error = "cannot write '" + output + "': " + WriteFailureReason(result, ReasonLanguage::English);
    return false;
  }
  if (StandardOutputClosed()) {
    error = "cannot write standard output: it is closed";
    return false;
  }
  const char *data = bytes.constData();
  std::size_t left = static_cast<std::size_t>(bytes.size());
  while (left > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, data, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error = std::string("cannot write standard output: ") + strerrordesc_np(errno);
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

} // namespace zub::cli
