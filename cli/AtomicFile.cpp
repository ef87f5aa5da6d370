#include "AtomicFile.h"

#include "FileWrite.h"
#include "Messages.h"
#include "WriteWords.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace zub::cli {

bool WriteFileAtomically(const std::string &path, const void *data, std::size_t size,
                         std::string &reason, bool intoSpecialFiles) {
  WriteOptions options;
  options.intoSpecialFiles = intoSpecialFiles;
  const WriteResult result = zub::WriteFileAtomically(
      path, std::string_view(static_cast<const char *>(data), size), options);
  reason = WriteFailureWords(result, MessageLanguage());
  return static_cast<bool>(result);
}

void DeferFlush(bool defer) {
  zub::DeferFlush(defer);
}

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
