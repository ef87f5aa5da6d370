// The window loads the two readers when it checks its first code, not at
// start: binding them and their libraries was a good part of the start-up
// that the first paint does not need.
#include "Readers.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace zub {

namespace {

const ReaderCalls *Load() {
  std::error_code error;
  const std::filesystem::path folder =
      std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
  // Beside the program in the build tree; under lib/zubqr-gui/ installed.
  const std::filesystem::path places[] = {
      folder / "zubqr-readers.so",
      (folder / ZUB_LIB_FROM_BIN / "zubqr-gui" / "zubqr-readers.so").lexically_normal()};
  for (const std::filesystem::path &place : places) {
    void *module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
      continue;
    using Entry = const ReaderCalls *(*)();
    if (const auto entry = reinterpret_cast<Entry>(::dlsym(module, "zub_reader_calls")))
      return entry();
  }
  const char *reason = ::dlerror();
  std::fprintf(stderr, "zubqr-gui: cannot load the readers: %s\n", reason ? reason : "");
  return nullptr;
}

const ReaderCalls *LazyReaders() {
  static const ReaderCalls *const readers = Load(); // once, whichever thread asks first
  return readers;
}

// The window's one source of readers.
const bool registeredLazy = (RegisterReaders(&LazyReaders), true);

} // namespace

} // namespace zub
