// Opening a module of code: only one no one but the user and root can
// change, as every loader of this program's modules requires.
#include "Readers.h"
#include "Trust.h"

#include <dlfcn.h>

namespace zub {

void *OpenTrustedModule(const std::string &place, ReadersProblem &problem) {
  // Code another user could have put there, or could change, is not run.
  std::string real;
  if (const TrustCheck trust = ModuleTrust(place, real); !trust) {
    problem.brokenAt = place;
    problem.untrusted = true;
    problem.reason = trust.where;
    return nullptr;
  }
  void *module = ::dlopen(real.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char *reason = ::dlerror();
    problem.brokenAt = place;
    problem.reason = reason ? reason : "";
  }
  return module;
}

} // namespace zub
