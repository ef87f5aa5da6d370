// The WeChat engine's reader loaded from its module, zubqr-wechat.so, which
// lies beside the module that asks for it (the window's readers, the
// command line's toolkit): in lib/zubqr-gui/ once installed, where a
// package of its own puts it. Without it the check stands on the other two
// readers, and says so.
#include "Readers.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace zub {

WechatScan FindWechatReader(ReadersProblem &problem) {
  // The file this very code was loaded from.
  Dl_info self{};
  const std::filesystem::path folder =
      ::dladdr(reinterpret_cast<void *>(&FindWechatReader), &self) != 0 && self.dli_fname
          ? std::filesystem::path(self.dli_fname).parent_path()
          : std::filesystem::path();
  const std::string place = (folder / kWechatModule).string();
  problem = ReadersProblem{kWechatModule, {place}, {}, {}, false};
  std::error_code error;
  if (!std::filesystem::exists(place, error))
    return nullptr;
  void *module = OpenTrustedModule(place, problem);
  if (!module)
    return nullptr;
  using Entry = WechatScan (*)();
  const auto entry = reinterpret_cast<Entry>(::dlsym(module, "zub_wechat_scan"));
  const WechatScan scan = entry ? entry() : nullptr;
  if (!scan) {
    problem.brokenAt = place;
    problem.reason = "it has no reader";
    ::dlclose(module);
    return nullptr;
  }
  problem = ReadersProblem{};
  return scan;
}

} // namespace zub
