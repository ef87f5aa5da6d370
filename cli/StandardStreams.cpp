#include "StandardStreams.h"

#include "ExitStatus.h"
#include "Messages.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace zub::cli {

namespace {

bool gStandardInputClosed = false;
bool gStandardOutputClosed = false;

} // namespace

bool StandardOutputClosed() {
  return gStandardOutputClosed;
}

bool StandardInputClosed() {
  return gStandardInputClosed;
}

void SetStandardStreamsClosed(bool input, bool output) {
  gStandardInputClosed = input;
  gStandardOutputClosed = output;
}

void GuardStandardStreams() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    if (fd == STDIN_FILENO)
      gStandardInputClosed = true;
    if (fd == STDOUT_FILENO)
      gStandardOutputClosed = true;
    // open() takes the lowest free number: this one.
    ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
  }
}

int PrintOrFail(const char *who, std::string_view text) {
  std::cout.flush();
  const char *data = text.data();
  std::size_t left = text.size();
  int error = StandardOutputClosed() ? EBADF : 0;
  while (left > 0 && error == 0) {
    const ssize_t n = ::write(STDOUT_FILENO, data, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (error == 0)
    return kOk;
  std::cerr << who << ": " << Say("无法写入标准输出：", "cannot write standard output: ")
            << (error == EBADF ? Say("它已关闭", "it is closed") : SystemError(error)) << "\n";
  return kFailed;
}

} // namespace zub::cli
