// Draws every picture the windows show and writes it into the assets folder:
// the window background, the sample canvas, the default logo, the twelve
// title-bar button faces and the application icon. Run it again after a
// change here and commit the results; the program compiles them in.
//
// The texts are drawn with a CJK font (fonts-wqy-microhei), so the
// pictures look the same on machines without one.

#include "QrEncoder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

const QColor kBand(0x30, 0x91, 0xF2);  // title band, lines, idle faces
const QColor kBody(0xF0, 0xF0, 0xF0);  // body of the window
const QColor kHover(0x65, 0xB2, 0xF3); // hover faces
const QColor kPress(0x1B, 0x6A, 0xB9); // pressed faces
const QColor kCloseHover(0xF4, 0x4F, 0x34);
const QColor kClosePress(0x6C, 0x1B, 0x0D);
const QColor kAccent(0xFF, 0x9A, 0x1F);  // the logo's orange
const QColor kBandInk(0x0A, 0x1C, 0x33); // letters on the bands: 5.3 : 1 on their blue

const QString kFontFamily = QStringLiteral("WenQuanYi Micro Hei");
const QByteArray kStudioAddress = "http://www.zub.example/";
// Upper case so that it fits version 1-L in alphanumeric mode: 29 modules at
// 2 pixels each fill the bottom band.
const QByteArray kPromoText = "HTTP://WWW.ZUB.EXAMPLE";

QString outDir;

bool save(const QImage &image, const QString &name, const char *format = nullptr,
          int quality = -1) {
  const QString path = outDir + QLatin1Char('/') + name;
  if (!image.save(path, format, quality)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("wrote %s\n", qPrintable(path));
  return true;
}

// A QR code of `text`, one pixel per module with its quiet zone, as an image.
QImage symbolImage(const QByteArray &text, int ecLevel) {
  zub::QrEncoder coder;
  const zub::Picture picture =
      coder.MakeSymbol(reinterpret_cast<const std::uint8_t *>(text.constData()),
                       static_cast<int>(text.size()), 0, ecLevel, 0);
  if (picture.isNull())
    return {};
  QImage wrapped(picture.bits(), picture.width(), picture.height(), picture.bytesPerLine(),
                 QImage::Format_Grayscale8);
  return wrapped.convertToFormat(QImage::Format_RGB32); // a deep copy
}

// The application icon: a blue rounded square with three white finder marks.
QImage appIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  p.setPen(Qt::NoPen);
  p.setBrush(kBand);
  p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
  const qreal cell = s / 9.0;
  auto finder = [&](qreal x, qreal y) {
    p.setBrush(Qt::white);
    p.drawRect(QRectF(x, y, 3 * cell, 3 * cell));
    p.setBrush(kBand);
    p.drawRect(QRectF(x + cell * 0.6, y + cell * 0.6, cell * 1.8, cell * 1.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(x + cell, y + cell, cell, cell));
  };
  finder(cell, cell);
  finder(5 * cell, cell);
  finder(cell, 5 * cell);
  p.setBrush(kAccent);
  p.drawRoundedRect(QRectF(5.3 * cell, 5.3 * cell, 2.4 * cell, 2.4 * cell), cell * 0.5, cell * 0.5);
  return image;
}

// The same icon as scalable vectors, for desktops that draw it at any size:
// nine cells of 10 units a side.
QByteArray appIconSvg() {
  const auto rect = [](int x, int y, int side, const QColor &fill) {
    return QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%3\" fill=\"%4\"/>\n")
        .arg(x)
        .arg(y)
        .arg(side)
        .arg(fill.name())
        .toUtf8();
  };
  QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 90 90\" "
                   "width=\"90\" height=\"90\">\n";
  svg +=
      "  <rect width=\"90\" height=\"90\" rx=\"16.2\" fill=\"" + kBand.name().toUtf8() + "\"/>\n";
  for (const QPoint &at : {QPoint(10, 10), QPoint(50, 10), QPoint(10, 50)}) {
    svg += rect(at.x(), at.y(), 30, Qt::white);
    svg += rect(at.x() + 6, at.y() + 6, 18, kBand);
    svg += rect(at.x() + 10, at.y() + 10, 10, Qt::white);
  }
  svg += "  <rect x=\"53\" y=\"53\" width=\"24\" height=\"24\" rx=\"5\" fill=\"" +
         kAccent.name().toUtf8() + "\"/>\n</svg>\n";
  return svg;
}

bool saveBytes(const QByteArray &bytes, const QString &name) {
  QFile file(outDir + QLatin1Char('/') + name);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
    return false;
  }
  std::printf("wrote %s\n", qPrintable(file.fileName()));
  return true;
}

// The default logo: an orange "Z" on a white rounded square with a blue rim.
QImage defaultLogo(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  p.setPen(QPen(kBand, s * 0.06));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.2, s * 0.2);
  QPainterPath z;
  z.moveTo(s * 0.26, s * 0.26);
  z.lineTo(s * 0.74, s * 0.26);
  z.lineTo(s * 0.74, s * 0.36);
  z.lineTo(s * 0.40, s * 0.64);
  z.lineTo(s * 0.74, s * 0.64);
  z.lineTo(s * 0.74, s * 0.74);
  z.lineTo(s * 0.26, s * 0.74);
  z.lineTo(s * 0.26, s * 0.64);
  z.lineTo(s * 0.60, s * 0.36);
  z.lineTo(s * 0.26, s * 0.36);
  z.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kAccent);
  p.drawPath(z);
  return image;
}

// --- Windows icon files -----------------------------------------------------

void put16(QByteArray &out, int v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>((v >> 8) & 0xFF));
}
void put32(QByteArray &out, qint64 v) {
  for (int i = 0; i < 4; ++i)
    out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

struct IconImage {
  QByteArray data;
  int size = 0;
  int bitCount = 0;
};

// An icon image as a device-independent bitmap: header with double height,
// colour table (8 bits only), colour rows and the 1-bit transparency mask,
// both bottom-up.
IconImage dibImage(const QImage &source, int bitCount) {
  const int n = source.width();
  const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
  QImage indexed;
  if (bitCount == 8)
    indexed = argb.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
  IconImage out;
  out.size = n;
  out.bitCount = bitCount;
  QByteArray &d = out.data;
  put32(d, 40);
  put32(d, n);
  put32(d, 2 * n);
  put16(d, 1);
  put16(d, bitCount);
  for (int i = 0; i < 6; ++i)
    put32(d, 0);
  if (bitCount == 8) {
    QList<QRgb> table = indexed.colorTable();
    table.resize(256);
    for (QRgb c : table) {
      d.append(static_cast<char>(qBlue(c)));
      d.append(static_cast<char>(qGreen(c)));
      d.append(static_cast<char>(qRed(c)));
      d.append('\0');
    }
  }
  const int colourRow = ((n * bitCount + 31) / 32) * 4;
  for (int y = n - 1; y >= 0; --y) {
    QByteArray row;
    for (int x = 0; x < n; ++x) {
      const QRgb c = argb.pixel(x, y);
      if (bitCount == 8) {
        row.append(static_cast<char>(indexed.pixelIndex(x, y)));
      } else {
        row.append(static_cast<char>(qBlue(c)));
        row.append(static_cast<char>(qGreen(c)));
        row.append(static_cast<char>(qRed(c)));
        row.append(static_cast<char>(qAlpha(c)));
      }
    }
    row.resize(colourRow, '\0');
    d.append(row);
  }
  const int maskRow = ((n + 31) / 32) * 4;
  for (int y = n - 1; y >= 0; --y) {
    QByteArray row(maskRow, '\0');
    for (int x = 0; x < n; ++x)
      if (qAlpha(argb.pixel(x, y)) < 128)
        row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    d.append(row);
  }
  return out;
}

IconImage pngImage(const QImage &source, QImage::Format format, int bitCount) {
  IconImage out;
  out.size = source.width();
  out.bitCount = bitCount;
  QBuffer buffer(&out.data);
  buffer.open(QIODevice::WriteOnly);
  source.convertToFormat(format).save(&buffer, "PNG");
  return out;
}

bool writeIco(const QString &name, const std::vector<IconImage> &images) {
  QByteArray file;
  put16(file, 0);
  put16(file, 1);
  put16(file, static_cast<int>(images.size()));
  qint64 offset = 6 + 16 * static_cast<qint64>(images.size());
  for (const IconImage &im : images) {
    file.append(static_cast<char>(im.size >= 256 ? 0 : im.size));
    file.append(static_cast<char>(im.size >= 256 ? 0 : im.size));
    file.append('\0'); // colour count: 0 for 8 bits and more
    file.append('\0');
    put16(file, 1);
    put16(file, im.bitCount);
    put32(file, im.data.size());
    put32(file, offset);
    offset += im.data.size();
  }
  for (const IconImage &im : images)
    file.append(im.data);
  QFile f(outDir + QLatin1Char('/') + name);
  if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
    return false;
  }
  std::printf("wrote %s\n", qPrintable(f.fileName()));
  return true;
}

// 8-bit and 32-bit images of every small size, then three 256 x 256 PNGs.
bool writeIconSet(const QString &name, QImage (*draw)(int), const std::vector<int> &sizes) {
  std::vector<IconImage> images;
  for (int size : sizes)
    images.push_back(dibImage(draw(size), 8));
  for (int size : sizes)
    images.push_back(dibImage(draw(size), 32));
  const QImage big = draw(256);
  images.push_back(pngImage(big, QImage::Format_Indexed8, 8));
  images.push_back(pngImage(big, QImage::Format_RGB888, 24));
  images.push_back(pngImage(big, QImage::Format_ARGB32, 32));
  return writeIco(name, images);
}

// --- Title-bar button faces --------------------------------------------------

enum class Glyph { Bar, Triangle, Cross };

QImage face(Glyph glyph, const QColor &colour) {
  QImage image(31, 31, QImage::Format_RGB32);
  image.fill(colour);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  switch (glyph) {
  case Glyph::Bar:
    p.drawRect(QRectF(10, 19, 11, 2));
    break;
  case Glyph::Triangle:
    p.drawPolygon(QPolygonF({QPointF(9.5, 12.5), QPointF(21.5, 12.5), QPointF(15.5, 19.5)}));
    break;
  case Glyph::Cross:
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.5, 10.5), QPointF(20.5, 20.5));
    p.drawLine(QPointF(20.5, 10.5), QPointF(10.5, 20.5));
    break;
  }
  return image;
}

bool writeFaces() {
  struct Family {
    const char *name;
    Glyph glyph;
    QColor hover, pressed;
  };
  const Family families[] = {{"min", Glyph::Bar, kHover, kPress},
                             {"menu", Glyph::Triangle, kHover, kPress},
                             {"close", Glyph::Cross, kCloseHover, kClosePress}};
  bool ok = true;
  for (const Family &f : families) {
    // 0 is the face the button starts with, 1 idle, 2 hover, 3 pressed.
    const QColor colours[] = {kBand, kBand, f.hover, f.pressed};
    for (int i = 0; i < 4; ++i)
      ok &= save(face(f.glyph, colours[i]), QStringLiteral("%1%2.png").arg(f.name).arg(i));
  }
  return ok;
}

// --- Window background and sample canvas ------------------------------------

QFont font(int pixelSize, bool bold = false) {
  QFont f(kFontFamily);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  return f;
}

bool writeBackground(const QImage &promo) {
  QImage image(554, 600, QImage::Format_RGB32);
  image.fill(kBody);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.fillRect(0, 0, 554, 71, kBand);
  p.drawImage(QRect(14, 13, 44, 44),
              appIcon(256).scaled(44, 44, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  // Dark letters: white ones on the band's blue keep only 3.3 : 1.
  p.setPen(kBandInk);
  p.setFont(font(22, true));
  p.drawText(QRect(70, 10, 300, 30), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Zub二维码生成器"));
  p.setFont(font(12));
  p.drawText(QRect(71, 40, 300, 20), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("输入文字，一键生成带Logo的二维码"));
  p.fillRect(0, 126, 554, 1, kBand);
  p.fillRect(434, 71, 1, 55, kBand);
  p.fillRect(0, 535, 554, 65, kBand);
  if (!promo.isNull()) {
    p.drawImage(QRect(8, 538, 2 * promo.width(), 2 * promo.height()), promo);
  }
  p.setPen(kBandInk);
  p.setFont(font(16, true));
  p.drawText(QRect(84, 542, 460, 26), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("扫一扫，把网址、名片和祝福装进口袋"));
  p.setFont(font(12));
  p.drawText(QRect(84, 568, 460, 22), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Zub软件工作室 · Morvi软件工作室 出品"));
  p.end();
  return save(image, QStringLiteral("background.png"));
}

// The placeholder the canvas shows before the first code: what the program
// makes, a code stretched over the drawing area with the rounded logo over it.
bool writeSampleCanvas(const QImage &symbol) {
  QImage canvas(550, 407, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  if (!symbol.isNull()) {
    QPainter p(&canvas);
    p.drawImage(QRect(0, 0, 550, 407), symbol); // no smoothing: solid modules
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(232, 152, 79, 79), 15, 15);
    p.setRenderHint(QPainter::Antialiasing);
    p.setClipPath(rounded);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(232, 152, 89, 89), defaultLogo(256));
  }
  return save(canvas, QStringLiteral("sample-canvas.png"));
}

} // namespace

int main(int argc, char **argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: zub_make_assets ASSETS_FOLDER\n");
    return 2;
  }
  outDir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(outDir)) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }

  bool ok = writeFaces();
  const std::vector<int> iconSizes = {16, 24, 32, 48, 64};
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    ok &= save(appIcon(size), QStringLiteral("icon-%1.png").arg(size));
  ok &= saveBytes(appIconSvg(), QStringLiteral("icon.svg"));
  ok &= writeIconSet(QStringLiteral("zubqr.ico"), appIcon, iconSizes);
  ok &= save(defaultLogo(64), QStringLiteral("default-logo-64.png"));
  ok &= writeIconSet(QStringLiteral("default-logo.ico"), defaultLogo, {64});

  const QImage promo = symbolImage(kPromoText, zub::kLevelL);
  const QImage sample = symbolImage(kStudioAddress, zub::kLevelH);
  if (promo.isNull() || sample.isNull()) {
    std::fprintf(stderr, "the encoder made no symbol\n");
    ok = false;
  }
  ok &= writeBackground(promo);
  ok &= writeSampleCanvas(sample);
  return ok ? 0 : 1;
}
