#include "ScanCheck.h"

#include <ZXing/ReadBarcode.h>

#include <QString>

#include <algorithm>

namespace zub {

bool ReadsBack(const QImage &picture, const std::vector<std::uint8_t> &message) {
  if (picture.isNull())
    return false;
  const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
  const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                              ZXing::ImageFormat::Lum, static_cast<int>(grey.bytesPerLine()));
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  for (const ZXing::Result &result : ZXing::ReadBarcodes(view, hints)) {
    const ZXing::ByteArray &bytes = result.bytes();
    if (result.isValid() && bytes.size() == message.size() &&
        std::equal(bytes.begin(), bytes.end(), message.begin()))
      return true;
  }
  return false;
}

QString ScanWarningText() {
  return QStringLiteral("生成的二维码可能无法被扫描识别：读取检查没有读出原文。\r\n"
                        "请缩短文字内容，或选择更高的纠错等级后重新生成。\r\n"
                        "二维码仍然可以保存。");
}

} // namespace zub
