#include "Output.h"

#include "FileWrite.h"
#include "Messages.h"
#include "StandardStreams.h"
#include "WriteWords.h"

#include <cerrno>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace zub::cli {

bool WriteOutput(const void *bytes, std::size_t size, const std::string &output,
                 std::string &error) {
  if (output != "-") {
    // A pipe or a device by name is written into, as a shell's ">" would.
    WriteOptions options;
    options.intoSpecialFiles = true;
    const WriteResult written =
        WriteWholeFile(output, std::string_view(static_cast<const char *>(bytes), size), options);
    if (written)
      return true;
    error = Say("无法写入", "cannot write ") + Quoted(output) + Say("：", ": ") +
            WriteFailureWords(written, MessageLanguage());
    return false;
  }
  if (StandardOutputClosed()) {
    error = Say("无法写入标准输出：它已关闭", "cannot write standard output: it is closed");
    return false;
  }
  const char *data = static_cast<const char *>(bytes);
  std::size_t left = size;
  while (left > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, data, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error = Say("无法写入标准输出：", "cannot write standard output: ") + SystemError(errno);
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

} // namespace zub::cli
