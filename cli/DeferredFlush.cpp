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
    reason = Say("无法打开文件夹以存入磁盘：", "cannot open the folder to flush it: ") +
             SystemError(errno);
    return false;
  }
  const bool ok = ::syncfs(fd) == 0;
  if (!ok)
    reason = Say("磁盘没有存下这些文件：", "the disk did not take the files: ") +
             WriteFailureWords({WriteFailure::System, errno}, MessageLanguage());
  ::close(fd);
  return ok;
}

} // namespace zub::cli
