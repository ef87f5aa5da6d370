#include "Options.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zub::cli {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// A whole decimal number in [lo, hi], nothing else.
std::optional<int> Number(std::string_view s, int lo, int hi) {
  if (s.empty() || s.size() > 3)
    return std::nullopt;
  int value = 0;
  for (char c : s) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < lo || value > hi)
    return std::nullopt;
  return value;
}

// Reads what `fd` holds, at most `limit` bytes and one more, so that a
// message too long for any symbol is known at once without reading the
// rest (`/dev/zero` never ends). False with `error` set when the system
// cannot read it (a folder, an I/O error, a closed descriptor).
bool ReadBounded(int fd, std::size_t limit, std::vector<std::uint8_t> &bytes, std::string &error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = strerrordesc_np(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = "it is a folder";
    return false;
  }
  bytes.assign(limit + 1, 0);
  std::size_t have = 0;
  while (have < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      error = strerrordesc_np(errno);
      return false;
    }
    if (n == 0)
      break;
    have += static_cast<std::size_t>(n);
  }
  bytes.resize(have);
  return true;
}

bool gStandardInputClosed = false;

// Reads the message from `path` ("-" is standard input) into `bytes`.
bool ReadSource(const std::string &path, std::size_t limit, std::vector<std::uint8_t> &bytes,
                std::string &error) {
  const bool standardInput = path == "-";
  const std::string name = standardInput ? "standard input" : "'" + path + "'";
  const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::string why;
  if (standardInput && gStandardInputClosed) {
    error = "cannot read standard input: it is closed";
    return false;
  }
  if (fd < 0)
    why = strerrordesc_np(errno);
  const bool ok = fd >= 0 && ReadBounded(fd, limit, bytes, why);
  if (fd >= 0 && !standardInput)
    ::close(fd);
  if (!ok)
    error = "cannot read " + name + ": " + why;
  return ok;
}

} // namespace

void GuardStandardStreams() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    if (fd == STDIN_FILENO)
      gStandardInputClosed = true;
    // open() takes the lowest free number: this one.
    ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
  }
}

const char *Usage() {
  return "usage: zubqr encode  [--version 0-40] [--level L|M|Q|H] [--mask 0-7|auto]\n"
         "                     [--encoding utf8|ansi] (--text TEXT | --input FILE) --output FILE\n"
         "       zubqr compose [encode options] --logo FILE --output FILE\n"
         "  --text TEXT    the message as text (without --text or --input: standard input)\n"
         "  --input FILE   the message as the file's bytes, unchanged ('-' = standard input)\n"
         "  --encoding     utf8 (default) or ansi: code page 936 (GBK), '?' for what it lacks\n"
         "  --output FILE  PNG when FILE ends in .png, otherwise a Windows bitmap\n"
         "exit status: 0 done, 1 the message does not fit or a file failed, 2 bad usage\n";
}

bool ParseEncodeOptions(const std::vector<std::string> &args, EncodeOptions &options,
                        std::string &error, const ExtraOption &extra) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::string name(arg);
    std::optional<std::string> value;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      name = std::string(arg.substr(0, eq));
      value = std::string(arg.substr(eq + 1));
    }
    if (!name.starts_with("--")) {
      error = "unexpected argument '" + std::string(arg) + "'";
      return false;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        error = "option " + name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    const std::string v = *value;
    if (name == "--version") {
      const auto n = Number(v, 0, 40);
      if (!n) {
        error = "--version takes 0 (automatic) to 40, not '" + v + "'";
        return false;
      }
      options.version = *n;
    } else if (name == "--level") {
      const std::string l = Lower(v);
      const char *levels[] = {"l", "m", "q", "h"};
      int level = 0;
      for (int k = 0; k < 4; ++k)
        if (l == levels[k])
          level = k + 1;
      if (level == 0) {
        error = "--level takes L, M, Q or H, not '" + v + "'";
        return false;
      }
      options.ecLevel = level;
    } else if (name == "--mask") {
      if (Lower(v) == "auto") {
        options.mask = -1;
      } else if (const auto n = Number(v, 0, 7)) {
        options.mask = *n;
      } else {
        error = "--mask takes 0 to 7 or auto, not '" + v + "'";
        return false;
      }
    } else if (name == "--encoding") {
      const std::string e = Lower(v);
      if (e == "utf8" || e == "utf-8") {
        options.encoding = TextEncoding::Utf8;
      } else if (e == "ansi" || e == "gbk" || e == "cp936") {
        options.encoding = TextEncoding::Ansi;
      } else {
        error = "--encoding takes utf8 or ansi, not '" + v + "'";
        return false;
      }
    } else if (name == "--text") {
      options.text = v;
    } else if (name == "--input") {
      options.inputFile = v;
    } else if (name == "--output") {
      options.output = v;
    } else if (!extra || !extra(name, v, error)) {
      if (error.empty())
        error = "unknown option " + name;
      return false;
    }
  }
  if (options.text && options.inputFile) {
    error = "--text and --input exclude each other";
    return false;
  }
  if (options.output.empty()) {
    error = "--output FILE is missing";
    return false;
  }
  return true;
}

bool ReadMessage(const EncodeOptions &options, Message &message, std::string &error) {
  if (options.inputFile) {
    message.kanji = KanjiMode::Allowed;
    if (!ReadSource(*options.inputFile, kMaxMessageBytes, message.bytes, error))
      return false;
    message.tooLong = message.bytes.size() > kMaxMessageBytes;
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
  const QString text = QString::fromUtf8(reinterpret_cast<const char *>(raw.data()),
                                         static_cast<qsizetype>(raw.size()));
  message.bytes = MessageBytes(text, options.encoding);
  message.kanji = KanjiMode::Excluded;
  return true;
}

} // namespace zub::cli
