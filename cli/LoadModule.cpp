#include "Module.h"

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
  Loaded loaded;
  for (const std::filesystem::path &place : places) {
    void *module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char *why = ::dlerror();
      loaded.error += (loaded.error.empty() ? "" : "; ") + std::string(why ? why : place.c_str());
      continue;
    }
    using Entry = const ModuleCalls *(*)();
    if (const auto entry = reinterpret_cast<Entry>(::dlsym(module, "zubqr_module_calls"))) {
      loaded.calls = entry();
      loaded.error.clear();
      return loaded;
    }
    loaded.error += (loaded.error.empty() ? "" : "; ") + place.string() + " has no entry";
  }
  loaded.error = "cannot load the composition module (" + loaded.error + ")";
  return loaded;
}

} // namespace

const ModuleCalls *Module(std::string &error) {
  static const Loaded loaded = Load(); // once, whichever thread asks first
  error = loaded.error;
  return loaded.calls;
}

} // namespace zub::cli
