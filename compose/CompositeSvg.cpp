#include "CompositeSvg.h"

#include "ImageFile.h"
#include "LogoBox.h"
#include "LogoImage.h"

#include <QColor>

#include <algorithm>
#include <string>

namespace zub {

namespace {

// The first canvas pixel that shows source pixel `p` when `sourceLength`
// pixels are stretched over `targetLength` (NearestSource's inverse):
// ceil(p * targetLength / sourceLength).
int FirstTargetPixel(int p, int sourceLength, int targetLength) {
  const std::int64_t n = static_cast<std::int64_t>(p) * targetLength;
  return static_cast<int>((n + sourceLength - 1) / sourceLength);
}

void AppendNumber(std::string &out, int n) {
  out += std::to_string(n);
}

// ` name="value"`, for the attributes of an element.
void AppendAttribute(std::string &out, const char *name, int value) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendNumber(out, value);
  out += '"';
}

// The attributes x, y, width and height of `rect`.
void AppendGeometry(std::string &out, const QRect &rect) {
  AppendAttribute(out, "x", rect.left());
  AppendAttribute(out, "y", rect.top());
  AppendAttribute(out, "width", rect.width());
  AppendAttribute(out, "height", rect.height());
}

// One rectangle of a path, drawn clockwise.
void AppendRectangle(std::string &d, int left, int top, int right, int below) {
  d += 'M';
  AppendNumber(d, left);
  d += ' ';
  AppendNumber(d, top);
  d += 'H';
  AppendNumber(d, right);
  d += 'V';
  AppendNumber(d, below);
  d += 'H';
  AppendNumber(d, left);
  d += 'Z';
}

// The dark modules as one path: each row's runs of dark modules, each run
// continued down while the rows below have the same run. Rectangles are
// drawn clockwise, so under the nonzero rule overlapping edges never cancel.
std::string ModulePath(const QImage &symbol, QSize canvas) {
  const QImage grey = symbol.convertToFormat(QImage::Format_Grayscale8);
  const int w = grey.width(), h = grey.height();
  auto dark = [&grey](int x, int y) { return grey.constScanLine(y)[x] < 128; };
  auto at = [w](int x, int y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
  };
  std::vector<std::uint8_t> done(at(0, h), 0);
  std::string d;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w;) {
      if (!dark(x, y) || done[at(x, y)]) {
        ++x;
        continue;
      }
      int end = x;
      while (end < w && dark(end, y) && !done[at(end, y)])
        ++end;
      // Rows below that have exactly this run (dark from x to end, light
      // or the edge on both sides) join it.
      auto sameRun = [&](int row) {
        for (int k = x; k < end; ++k)
          if (!dark(k, row) || done[at(k, row)])
            return false;
        return (x == 0 || !dark(x - 1, row)) && (end == w || !dark(end, row));
      };
      int bottom = y + 1;
      while (bottom < h && sameRun(bottom))
        ++bottom;
      for (int row = y; row < bottom; ++row)
        std::fill(done.begin() + static_cast<std::ptrdiff_t>(at(x, row)),
                  done.begin() + static_cast<std::ptrdiff_t>(at(end, row)), std::uint8_t{1});
      const int left = FirstTargetPixel(x, w, canvas.width());
      const int right = FirstTargetPixel(end, w, canvas.width());
      const int top = FirstTargetPixel(y, h, canvas.height());
      const int below = FirstTargetPixel(bottom, h, canvas.height());
      if (right > left && below > top)
        AppendRectangle(d, left, top, right, below);
      x = end;
    }
  }
  return d;
}

// The logo as the box shows it, at `scale` times the box, with the pixels
// outside the rounded region transparent: a PNG.
QByteArray LogoPng(const QImage &logo, QSize box, int scale) {
  const QImage shown = LogoInBox(logo, box * scale);
  if (shown.isNull())
    return {};
  QImage cut = shown.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < cut.height(); ++y) {
    auto *row = reinterpret_cast<QRgb *>(cut.scanLine(y));
    for (int x = 0; x < cut.width(); ++x)
      if (!InLogoRegion(x, y, cut.width(), cut.height(), scale))
        row[x] = 0;
  }
  return EncodeImageFile(cut, ImageFileFormat::Png);
}

} // namespace

QByteArray CompositeSvg(const QImage &symbol, const QImage &logo, QSize canvasSize,
                        const QRect &logoBox) {
  if (symbol.isNull() || canvasSize.isEmpty())
    return {};
  const QString window = QColor(kWindowColour).name();
  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" "
         "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\"";
  AppendAttribute(svg, "width", canvasSize.width());
  AppendAttribute(svg, "height", canvasSize.height());
  svg += " viewBox=\"0 0 ";
  AppendNumber(svg, canvasSize.width());
  svg += ' ';
  AppendNumber(svg, canvasSize.height());
  svg += "\" shape-rendering=\"crispEdges\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"" + window.toStdString() + "\"/>\n";
  svg += "<path fill=\"#000000\" d=\"" + ModulePath(symbol, canvasSize) + "\"/>\n";
  if (!logo.isNull() && !logoBox.isEmpty()) {
    // As sharp as the logo's picture: each of its pixels at least one of
    // the embedded picture's, up to kSvgLogoMaxScale.
    const int longest = std::max(logo.width(), logo.height());
    const int boxLongest = std::max(logoBox.width(), logoBox.height());
    const int scale = std::clamp((longest + boxLongest - 1) / boxLongest, 1, kSvgLogoMaxScale);
    const QByteArray png = LogoPng(logo, logoBox.size(), scale);
    if (png.isEmpty())
      return {};
    const int shownWidth = logoBox.width() - kLogoRegionInset;
    const int shownHeight = logoBox.height() - kLogoRegionInset;
    const int corner = std::min({kLogoCornerDiameter, shownWidth, shownHeight}) / 2;
    svg += "<clipPath id=\"logo-region\"><rect";
    AppendGeometry(svg, QRect(logoBox.topLeft(), QSize(shownWidth, shownHeight)));
    AppendAttribute(svg, "rx", corner);
    AppendAttribute(svg, "ry", corner);
    svg += "/></clipPath>\n";
    // The canvas beneath the box stays: the logo is drawn over it.
    svg += "<image";
    AppendGeometry(svg, logoBox);
    svg += " preserveAspectRatio=\"none\" clip-path=\"url(#logo-region)\" "
           "xlink:href=\"data:image/png;base64,";
    svg += png.toBase64().toStdString();
    svg += "\"/>\n";
  }
  svg += "</svg>\n";
  return QByteArray::fromStdString(svg);
}

} // namespace zub
