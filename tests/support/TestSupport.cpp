#include "TestSupport.h"

#include "Layout.h"

#include "QrEncoder.h"

#include <QPainter>

#include <ZXing/ReadBarcode.h>

namespace zub::test {

QImage PaintedLogo() {
  QImage logo(512, 512, QImage::Format_RGB32);
  QPainter p(&logo);
  QLinearGradient sky(0, 0, 0, 512);
  sky.setColorAt(0, QColor(90, 150, 230));
  sky.setColorAt(1, QColor(240, 220, 180));
  p.fillRect(logo.rect(), sky);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 200, 40));
  p.drawEllipse(QPoint(360, 140), 80, 80);
  p.setBrush(QColor(40, 120, 50));
  p.drawEllipse(QPoint(120, 520), 300, 200);
  p.setBrush(QColor(200, 30, 30));
  p.drawRoundedRect(QRect(60, 60, 180, 120), 30, 30);
  return logo;
}

std::vector<Decoded> DecodeAll(const QImage &image, const std::string &charset) {
  const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
  const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                              ZXing::ImageFormat::Lum, static_cast<int>(grey.bytesPerLine()));
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  hints.setCharacterSet(charset);
  std::vector<Decoded> found;
  for (const ZXing::Result &r : ZXing::ReadBarcodes(view, hints))
    if (r.isValid())
      found.push_back({std::vector<std::uint8_t>(r.bytes().begin(), r.bytes().end()),
                       QString::fromStdString(r.text())});
  return found;
}

QString TextOfSize(int version, int level, TextEncoding encoding, double fraction) {
  const int countBits = version < 10 ? 8 : 16;
  const int capacity = (8 * QrEncoder::DataCodewords(version, level) - 4 - countBits) / 8;
  const QString pattern = QStringLiteral("Zub二维码生成器 https://zub.example.cn/第页?id=");
  QString text;
  for (int i = 0;; ++i) {
    const QString next = text + pattern[i % pattern.size()];
    if (static_cast<double>(MessageBytes(next, encoding).size()) > fraction * capacity)
      return text;
    text = next;
  }
}

QImage SampleLogo(int variant) {
  QImage logo(160, 120, QImage::Format_RGB32);
  for (int y = 0; y < logo.height(); ++y)
    for (int x = 0; x < logo.width(); ++x) {
      const bool ring = ((x - 80) * (x - 80) + (y - 60) * (y - 60)) / 400 % 2 == variant % 2;
      logo.setPixel(
          x, y, ring ? qRgb(230, 40 + x, 30 + 50 * variant) : qRgb(20 + 60 * variant, 90 + y, 200));
    }
  return logo;
}

int DifferencesOutsideTheLogoBox(const QImage &small, const QImage &large, int scale) {
  const QImage a = small.convertToFormat(QImage::Format_RGB32);
  const QImage b = large.convertToFormat(QImage::Format_RGB32);
  if (scale < 1 || b.size() != a.size() * scale)
    return -1;
  const QRect box(kLogoBoxRect.topLeft() * scale, kLogoBoxRect.size() * scale);
  int differ = 0;
  for (int y = 0; y < b.height(); ++y) {
    const auto *row = reinterpret_cast<const QRgb *>(b.constScanLine(y));
    const auto *base = reinterpret_cast<const QRgb *>(a.constScanLine(y / scale));
    for (int x = 0; x < b.width(); ++x)
      differ += !box.contains(x, y) && row[x] != base[x / scale];
  }
  return differ;
}

} // namespace zub::test
