#include "MessageInput.h"

#include "Messages.h"
#include "StandardStreams.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zub::cli {

bool ReadBounded(int fd, std::size_t limit, std::vector<std::uint8_t> &bytes, std::string &error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = SystemError(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = Say("这是一个文件夹", "it is a folder");
    return false;
  }
  bytes.assign(limit + 1, 0);
  std::size_t have = 0;
  while (have < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      error = SystemError(errno);
      return false;
    }
    if (n == 0)
      break;
    have += static_cast<std::size_t>(n);
  }
  bytes.resize(have);
  return true;
}

namespace {

// Reads the message from `path` ("-" is standard input) into `bytes`.
bool ReadSource(const std::string &path, std::size_t limit, std::vector<std::uint8_t> &bytes,
                std::string &error) {
  const bool standardInput = path == "-";
  const std::string name = standardInput ? Say("标准输入", "standard input") : Quoted(path);
  const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::string why;
  if (standardInput && StandardInputClosed()) {
    error = Say("无法读取标准输入：它已关闭", "cannot read standard input: it is closed");
    return false;
  }
  if (fd < 0)
    why = SystemError(errno);
  const bool ok = fd >= 0 && ReadBounded(fd, limit, bytes, why);
  if (fd >= 0 && !standardInput)
    ::close(fd);
  if (!ok)
    error = Say("无法读取", "cannot read ") + name + Say("：", ": ") + why;
  return ok;
}

} // namespace

Message TextMessage(const std::string &text, TextEncoding encoding) {
  Message message;
  if (text.size() > kMaxTextBytes) {
    message.tooLong = true;
    message.bytes.assign(text.begin(), text.begin() + kMaxTextBytes + 1);
    return message;
  }
  message.bytes = TextBytes(Utf16FromUtf8(text), encoding);
  message.kanji = KanjiMode::Excluded;
  message.text = text;
  return message;
}

bool ReadMessage(const EncodeOptions &options, Message &message, std::string &error) {
  if (options.inputFile) {
    message.kanji = KanjiMode::Allowed;
    if (!ReadSource(*options.inputFile, std::size_t{kMaxMessageBytes}, message.bytes, error))
      return false;
    message.tooLong = message.bytes.size() > std::size_t{kMaxMessageBytes};
    return true;
  }

  std::vector<std::uint8_t> raw;
  if (options.text) {
    raw.assign(options.text->begin(), options.text->end());
  } else if (!ReadSource("-", kMaxTextBytes, raw, error)) {
    return false;
  } else if (raw.size() > kMaxTextBytes) {
    message.tooLong = true;
    message.bytes = std::move(raw);
    return true;
  }
  message = TextMessage(std::string(raw.begin(), raw.end()), options.encoding);
  return true;
}

} // namespace zub::cli
