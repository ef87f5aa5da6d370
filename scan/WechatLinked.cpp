// The WeChat engine's reader linked into the program (the tests and the
// benchmarks): always there.
#include "Readers.h"

namespace zub {

WechatScan FindWechatReader(ReadersProblem &problem) {
  problem = ReadersProblem{};
  return zub_wechat_scan();
}

} // namespace zub
