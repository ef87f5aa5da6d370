#include "Readers.h"

// zbar first: zxing-cpp defines macros named like zbar's exception classes.
#include <zbar.h>

#include <ZXing/ReadBarcode.h>

namespace zub {

namespace {

std::vector<ReaderCalls::Code> ZxingCodes(const QImage &grey, int most) {
  const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                              ZXing::ImageFormat::Lum, static_cast<int>(grey.bytesPerLine()));
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  hints.setMaxNumberOfSymbols(static_cast<std::uint8_t>(most));
  std::vector<ReaderCalls::Code> codes;
  for (const ZXing::Result &result : ZXing::ReadBarcodes(view, hints))
    if (result.isValid())
      codes.push_back({std::string(result.bytes().begin(), result.bytes().end()), result.text()});
  return codes;
}

std::vector<std::string> ZbarScan(const std::vector<std::uint8_t> &pixels, unsigned width,
                                  unsigned height, bool binary) {
  zbar::ImageScanner scanner;
  scanner.set_config(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
  scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
  scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_BINARY, binary ? 1 : 0);
  zbar::Image image(width, height, "Y800", pixels.data(), pixels.size());
  std::vector<std::string> found;
  if (scanner.scan(image) > 0)
    for (auto symbol = image.symbol_begin(); symbol != image.symbol_end(); ++symbol)
      if (symbol->get_type() == zbar::ZBAR_QRCODE)
        found.push_back(symbol->get_data());
  return found;
}

} // namespace

} // namespace zub

extern "C" const zub::ReaderCalls *zub_reader_calls() {
  // Once, whichever thread asks first: the WeChat engine's module is
  // looked for with the table.
  static const zub::ReaderCalls calls = [] {
    static zub::ReadersProblem wechatProblem;
    const zub::WechatScan wechat = zub::FindWechatReader(wechatProblem);
    return zub::ReaderCalls{zub::ZxingCodes, zub::ZbarScan, wechat, &wechatProblem};
  }();
  return &calls;
}
