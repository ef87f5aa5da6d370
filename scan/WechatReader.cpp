// OpenCV's wechat_qrcode engine as a reader: the module zubqr-wechat.so of a
// package of its own, for OpenCV brings a dozen libraries of its own that
// the rest of the program does without. The tests link it directly.
#include "Readers.h"

#include <opencv2/core.hpp>
#include <opencv2/wechat_qrcode.hpp>

#include <malloc.h>

namespace zub {

namespace {

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

std::vector<std::string> WechatCodes(const QImage &grey) {
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

extern "C" zub::WechatScan zub_wechat_scan() {
  return zub::WechatCodes;
}
