#include "Readers.h"

// zbar first: zxing-cpp defines macros named like zbar's exception classes.
#include <zbar.h>

#include <ZXing/ReadBarcode.h>

#include <opencv2/core.hpp>
#include <opencv2/wechat_qrcode.hpp>

#include <malloc.h>

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

// The engine takes some seven megabytes for a canvas-sized picture, in
// pieces of about a megabyte, and gives them back at the end. With the C
// library's default thresholds the heap returned them to the system after
// every picture and took them fresh for the next, every page faulting in
// again: half the engine's time, and a third of the whole check's. Pieces
// up to 4 MB now come from the heap, and up to 16 MB of free heap is kept;
// larger pictures (a big logo) are still mapped and unmapped on their own.
void KeepTheHeapForTheNextPicture() {
  static const bool once = [] {
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
    return true;
  }();
  (void)once;
}

std::vector<std::string> WechatScan(const QImage &grey) {
  KeepTheHeapForTheNextPicture();
  // The engine keeps no state between pictures, but one detector per
  // thread spares building it for every picture.
  thread_local cv::wechat_qrcode::WeChatQRCode detector;
  const cv::Mat image(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
                      static_cast<std::size_t>(grey.bytesPerLine()));
  try {
    return detector.detectAndDecode(image);
  } catch (const cv::Exception &) {
    return {};
  }
}

} // namespace

} // namespace zub

extern "C" const zub::ReaderCalls *zub_reader_calls() {
  static const zub::ReaderCalls calls{zub::ZxingCodes, zub::ZbarScan, zub::WechatScan};
  return &calls;
}
