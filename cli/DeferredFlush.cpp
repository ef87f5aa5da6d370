#include "DeferredFlush.h"

#include "FileWrite.h"
#include "Messages.h"
#include "WriteWords.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zub::cli {

bool FlushDeferred(const std::string &folder, std::string &reason) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::string("cannot open the folder to flush it: ") + strerrordesc_np(errno);
    return false;
  }
  const bool ok = ::syncfs(fd) == 0;
  if (!ok)
    reason = "the disk did not take the files: " +
             WriteFailureWords({WriteFailure::System, errno}, MessageLanguage());
  ::close(fd);
  return ok;
}

} // namespace zub::cli
