// The window loads the two readers when it checks its first code, not at
// start: binding them and their libraries was a good part of the start-up
// that the first paint does not need.
#include "LazyReaders.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace zub {

namespace {

constexpr const char *kModule = "zubqr-readers.so";

ReadersProblem &Problem() {
  static ReadersProblem problem;
  return problem;
}

const ReaderCalls *Load() {
  std::error_code error;
  const std::filesystem::path folder =
      std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
  // Beside the program in the build tree; under lib/zubqr-gui/ installed.
  const ReaderCalls *calls = LoadReadersFrom(
      {(folder / kModule).string(),
       (folder / ZUB_LIB_FROM_BIN / "zubqr-gui" / kModule).lexically_normal().string()},
      Problem());
  if (!calls)
    std::fprintf(stderr, "zubqr-gui: cannot load the readers: %s\n",
                 Problem().brokenAt.empty()
                     ? ("no " + Problem().module + " in " + Problem().places.front() + " or " +
                        Problem().places.back())
                           .c_str()
                     : (Problem().brokenAt + (Problem().untrusted ? ": not trusted: " : ": ") +
                        Problem().reason)
                           .c_str());
  return calls;
}

} // namespace

const ReaderCalls *LoadReadersFrom(const std::vector<std::string> &places,
                                   ReadersProblem &problem) {
  problem = ReadersProblem{kModule, places, {}, {}, false};
  for (const std::string &place : places) {
    std::error_code error;
    // A place without the module is no reason to give: the next may have it.
    // The first place that has it is the one that counts.
    if (!std::filesystem::exists(place, error))
      continue;
    void *module = OpenTrustedModule(place, problem);
    if (!module)
      return nullptr;
    using Entry = const ReaderCalls *(*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, "zub_reader_calls"));
    const ReaderCalls *calls = entry ? entry() : nullptr;
    if (!calls) {
      problem.brokenAt = place;
      problem.reason = "it has no table of readers";
      ::dlclose(module);
      return nullptr;
    }
    problem = ReadersProblem{};
    return calls;
  }
  return nullptr;
}

const ReaderCalls *LazyReaders() {
  static const ReaderCalls *const readers = Load(); // once, whichever thread asks first
  return readers;
}

const ReadersProblem &ReadersLoadProblem() {
  LazyReaders(); // the problem is known once loading was tried
  return Problem();
}

namespace {

// The window's one source of readers.
const bool registeredLazy = (RegisterReaders(&LazyReaders), true);

} // namespace

} // namespace zub
