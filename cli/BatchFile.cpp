#include "BatchFile.h"

#include "Messages.h"
#include "StandardStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace zub::cli {

namespace {

// No batch file needs more: 10,000 lines of the longest message are 120 MB.
constexpr std::size_t kMaxBatchBytes = std::size_t{256} << 20;
// A regular file is read in pieces of this size.
constexpr std::size_t kReadPiece = std::size_t{1} << 20;

// An unnamed file, gone when closed, in TMPDIR or /tmp; -1 where the
// system makes none.
int Spool() {
  const char *folder = std::getenv("TMPDIR");
  for (const char *place : {folder && folder[0] == '/' ? folder : "/tmp", "/tmp"}) {
    const int fd = ::open(place, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
      return fd;
  }
  return -1;
}

bool WriteAll(int fd, const char *data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

} // namespace

BatchFile::~BatchFile() {
  if (fd_ >= 0 && fd_ != STDIN_FILENO)
    ::close(fd_);
}

bool BatchFile::Open(const std::string &path, std::string &error) {
  error.clear();
  const bool standardInput = path == "-";
  name_ = standardInput ? Say("标准输入", "standard input") : Quoted(path);
  if (standardInput && StandardInputClosed()) {
    error = Say("无法读取标准输入：它已关闭", "cannot read standard input: it is closed");
    return false;
  }
  fd_ = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0 || ::fstat(fd_, &opened_) != 0)
    return Failed(errno, error);
  if (S_ISDIR(opened_.st_mode)) {
    error = Cannot() + Say("这是一个文件夹", "it is a folder");
    return false;
  }
  if (S_ISREG(opened_.st_mode)) {
    start_ = ::lseek(fd_, 0, SEEK_CUR);
    if (start_ >= 0) {
      seekable_ = true;
      if (static_cast<std::size_t>(opened_.st_size - start_) > kMaxBatchBytes) {
        error = TooLarge();
        return false;
      }
      return true;
    }
  }
  // A pipe is read once, into an unnamed file of the temporary folder
  // where there is one, else into memory.
  const int spool = Spool();
  char piece[65536];
  std::size_t total = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, piece, sizeof piece);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      error = Cannot() + SystemError(errno);
    else if (total + static_cast<std::size_t>(n) > kMaxBatchBytes)
      error = TooLarge();
    else if (n > 0 && spool >= 0 && !WriteAll(spool, piece, static_cast<std::size_t>(n)))
      error = Say("无法暂存", "cannot hold ") + name_ + Say("：", ": ") + SystemError(errno);
    if (!error.empty()) {
      if (spool >= 0)
        ::close(spool);
      return false;
    }
    if (n == 0)
      break;
    total += static_cast<std::size_t>(n);
    if (spool < 0)
      held_.append(piece, static_cast<std::size_t>(n));
  }
  if (spool >= 0) {
    if (fd_ != STDIN_FILENO)
      ::close(fd_);
    fd_ = spool;
    seekable_ = true;
    start_ = 0;
    ::fstat(fd_, &opened_);
  }
  return true;
}

bool BatchFile::EachLine(const std::function<bool(std::string_view, int)> &each,
                         std::string &error) {
  int number = 0;
  if (!seekable_) {
    const std::string_view bytes = held_;
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
      if (!each(bytes.substr(at, end - at), ++number))
        return true;
      at = end + 1;
    }
    return true;
  }
  std::string carry;
  std::vector<char> piece(kReadPiece);
  std::size_t total = 0;
  for (off_t at = start_;;) {
    const ssize_t n = ::pread(fd_, piece.data(), piece.size(), at);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return Failed(errno, error);
    if (n == 0)
      break;
    at += n;
    total += static_cast<std::size_t>(n);
    if (total > kMaxBatchBytes) {
      error = TooLarge();
      return false;
    }
    const std::string_view bytes(piece.data(), static_cast<std::size_t>(n));
    std::size_t from = 0;
    for (std::size_t end; (end = bytes.find('\n', from)) != std::string_view::npos;
         from = end + 1) {
      const std::string_view line = bytes.substr(from, end - from);
      bool more = true;
      if (carry.empty()) {
        more = each(line, ++number);
      } else {
        carry.append(line);
        more = each(carry, ++number);
        carry.clear();
      }
      if (!more)
        return true;
    }
    carry.append(bytes.substr(from));
  }
  if (!carry.empty())
    each(carry, ++number);
  return true;
}

bool BatchFile::Unchanged() const {
  if (!seekable_)
    return true;
  struct stat now {};
  return ::fstat(fd_, &now) == 0 && now.st_size == opened_.st_size &&
         now.st_mtim.tv_sec == opened_.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == opened_.st_mtim.tv_nsec;
}

std::string BatchFile::Cannot() const {
  return Say("无法读取", "cannot read ") + name_ + Say("：", ": ");
}

bool BatchFile::Failed(int number, std::string &error) const {
  error = Cannot() + SystemError(number);
  return false;
}

std::string BatchFile::TooLarge() const {
  return Cannot() + Say("超过 256 MB 的批量文件不予处理", "a batch of more than 256 MB is refused");
}

} // namespace zub::cli
