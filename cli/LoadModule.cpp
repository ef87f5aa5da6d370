#include "Messages.h"
#include "Module.h"
#include "Trust.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <system_error>

namespace zub::cli {

namespace {

struct Loaded {
  const ModuleCalls *calls = nullptr;
  std::string error;
};

Loaded Load() {
  std::error_code failure;
  const std::filesystem::path folder =
      std::filesystem::read_symlink("/proc/self/exe", failure).parent_path();
  const std::filesystem::path places[] = {
      folder / "zubqr-compose.so",
      (folder / ZUB_LIB_FROM_BIN / "zubqr-gui" / "zubqr-compose.so").lexically_normal()};
  const std::string cannot = Say("无法载入合成模块：", "cannot load the composition module: ");
  Loaded loaded;
  // The first place that has the module is the one that counts: a module
  // there that is not trusted or does not load is said, not passed over.
  for (const std::filesystem::path &place : places) {
    if (!std::filesystem::exists(place, failure))
      continue;
    std::string real;
    if (const TrustCheck trust = ModuleTrust(place.string(), real); !trust) {
      loaded.error = cannot + Quoted(place.string()) + Say("不可信：", " is not trusted: ") +
                     Quoted(trust.where) +
                     Say("可能被其他用户改动，所以没有载入",
                         " may be changed by another user, so it was not loaded");
      return loaded;
    }
    void *module = ::dlopen(real.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char *why = ::dlerror();
      loaded.error = cannot + Quoted(place.string()) + Say("：", ": ") + (why ? why : "");
      return loaded;
    }
    using Entry = const ModuleCalls *(*)();
    if (const auto entry = reinterpret_cast<Entry>(::dlsym(module, "zubqr_module_calls"))) {
      loaded.calls = entry();
      return loaded;
    }
    loaded.error = cannot + Quoted(place.string()) + Say("没有入口", " has no entry");
    return loaded;
  }
  loaded.error = cannot + Say("在", "no zubqr-compose.so in ") + Quoted(places[0].string()) +
                 Say("和", " or ") + Quoted(places[1].string()) +
                 Say("中都没有 zubqr-compose.so", "");
  return loaded;
}

} // namespace

const ModuleCalls *Module(std::string &error) {
  static const Loaded loaded = Load(); // once, whichever thread asks first
  error = loaded.error;
  return loaded.calls;
}

} // namespace zub::cli
