#include "Options.h"
#include "Messages.h"

#include "LevelLetter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
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

} // namespace

bool ReadBounded(int fd, std::size_t limit, std::vector<std::uint8_t> &bytes, std::string &error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = strerrordesc_np(errno);
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

namespace {

bool gStandardInputClosed = false;
bool gStandardOutputClosed = false;

// Reads the message from `path` ("-" is standard input) into `bytes`.
bool ReadSource(const std::string &path, std::size_t limit, std::vector<std::uint8_t> &bytes,
                std::string &error) {
  const bool standardInput = path == "-";
  const std::string name =
      standardInput ? Say("标准输入", "standard input") : Say("“", "'") + path + Say("”", "'");
  const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::string why;
  if (standardInput && gStandardInputClosed) {
    error = Say("无法读取标准输入：它已关闭", "cannot read standard input: it is closed");
    return false;
  }
  if (fd < 0)
    why = strerrordesc_np(errno);
  const bool ok = fd >= 0 && ReadBounded(fd, limit, bytes, why);
  if (fd >= 0 && !standardInput)
    ::close(fd);
  if (!ok)
    error = Say("无法读取", "cannot read ") + name + Say("：", ": ") + why;
  return ok;
}

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

std::optional<int> Number(std::string_view s, int lo, int hi) {
  // Enough digits for the widest range asked for; more would overflow.
  if (s.empty() || s.size() > 9)
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
  std::cerr << who << ": cannot write standard output: "
            << (error == EBADF ? "it is closed" : strerrordesc_np(error)) << "\n";
  return kFailed;
}

bool ParseArgs(const std::vector<std::string> &args, const std::vector<OptionRule> &rules,
               ParsedArgs &parsed, std::string &error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
      parsed.positionals.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      return true;
    }
    if (arg == "-V") {
      parsed.programVersion = true;
      return true;
    }
    const bool isLong = arg.starts_with("--");
    std::string_view name = arg;
    std::optional<std::string_view> value;
    if (isLong) {
      if (const auto eq = arg.find('='); eq != std::string_view::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
      }
    } else if (arg.size() > 2) {
      name = arg.substr(0, 2);
      value = arg.substr(2);
    }
    const OptionRule *rule = nullptr;
    for (const OptionRule &candidate : rules)
      if (isLong ? candidate.name == name
                 : (candidate.shortName != 0 && name.size() == 2 && name[1] == candidate.shortName))
        rule = &candidate;
    if (!rule) {
      error = Say("未知的选项 ", "unknown option ") + std::string(name);
      return false;
    }
    std::string shown(name);
    if (!isLong)
      shown.append(" (").append(rule->name).append(")");
    if (!rule->takesValue) {
      if (value) {
        error = Say("选项 ", "option ") + shown + Say(" 不带值", " takes no value");
        return false;
      }
      value = std::string_view();
    } else if (!value) {
      if (i + 1 >= args.size()) {
        error = Say("选项 ", "option ") + shown + Say(" 需要一个值", " needs a value");
        return false;
      }
      value = args[++i];
    }
    if (!rule->apply(*value, error))
      return false;
  }
  return true;
}

std::vector<OptionRule> EncodeOptionRules(EncodeOptions &options) {
  return {
      {"--version", 0, true,
       [&options](std::string_view v, std::string &error) {
         const auto n = Number(v, 0, 40);
         if (!n)
           error = Say("--version 取 0（自动）到 40，而不是“",
                       "--version takes 0 (automatic) to 40, not '") +
                   std::string(v) + Say("”", "'");
         else
           options.version = *n;
         return n.has_value();
       }},
      {"--level", 'l', true,
       [&options](std::string_view v, std::string &error) {
         if (const int level = v.size() == 1 ? LevelOfLetter(v[0]) : 0; level != 0) {
           options.ecLevel = level;
           return true;
         }
         error = Say("--level 取 L、M、Q 或 H，而不是“", "--level takes L, M, Q or H, not '") +
                 std::string(v) + Say("”", "'");
         return false;
       }},
      {"--mask", 0, true,
       [&options](std::string_view v, std::string &error) {
         if (Lower(v) == "auto") {
           options.mask = -1;
         } else if (const auto n = Number(v, 0, 7)) {
           options.mask = *n;
         } else {
           error = Say("--mask 取 0 到 7 或 auto，而不是“", "--mask takes 0 to 7 or auto, not '") +
                   std::string(v) + Say("”", "'");
           return false;
         }
         return true;
       }},
      {"--encoding", 'e', true,
       [&options](std::string_view v, std::string &error) {
         const std::string e = Lower(v);
         if (e == "utf8" || e == "utf-8") {
           options.encoding = TextEncoding::Utf8;
         } else if (e == "ansi" || e == "gbk" || e == "cp936") {
           options.encoding = TextEncoding::Ansi;
         } else {
           error =
               Say("--encoding 取 utf8 或 ansi，而不是“", "--encoding takes utf8 or ansi, not '") +
               std::string(v) + Say("”", "'");
           return false;
         }
         return true;
       }},
      {"--eci", 0, true,
       [&options](std::string_view v, std::string &error) {
         const auto n = Number(v, 0, 999999);
         if (!n)
           error = Say("--eci 取 0（不用）到 999999，而不是“",
                       "--eci takes 0 (none) to 999999, not '") +
                   std::string(v) + Say("”", "'");
         else
           options.eci = *n;
         return n.has_value();
       }},
      {"--readable", 0, false,
       [&options](std::string_view, std::string &) {
         options.readable = true;
         return true;
       }},
      {"--verbose", 'v', false,
       [&options](std::string_view, std::string &) {
         options.verbose = true;
         return true;
       }},
      {"--batch", 0, true,
       [&options](std::string_view v, std::string &) {
         options.batch = std::string(v);
         return true;
       }},
      {"--threads", 0, true,
       [&options](std::string_view v, std::string &error) {
         const auto n = Number(v, 1, 256);
         if (!n)
           error = Say("--threads 取 1 到 256，而不是“", "--threads takes 1 to 256, not '") +
                   std::string(v) + Say("”", "'");
         else
           options.threads = *n;
         return n.has_value();
       }},
      {"--text", 0, true,
       [&options](std::string_view v, std::string &) {
         options.text = std::string(v);
         return true;
       }},
      {"--input", 0, true,
       [&options](std::string_view v, std::string &) {
         options.inputFile = std::string(v);
         return true;
       }},
      {"--output", 'o', true,
       [&options](std::string_view v, std::string &) {
         options.output = std::string(v);
         return true;
       }},
      {"--format", 0, true,
       [&options](std::string_view v, std::string &error) {
         const std::string f = Lower(v);
         if (f == "png") {
           options.format = OutputFormat::Png;
         } else if (f == "bmp") {
           options.format = OutputFormat::Bmp;
         } else if (f == "jpg" || f == "jpeg") {
           options.format = OutputFormat::Jpeg;
         } else if (f == "svg") {
           options.format = OutputFormat::Svg;
         } else if (f == "utf8" || f == "utf-8") {
           options.format = OutputFormat::Utf8;
         } else if (f == "utf8i" || f == "utf-8i") {
           options.format = OutputFormat::Utf8Inverted;
         } else {
           error = Say("--format 取 png、bmp、jpg、svg、utf8 或 utf8i，而不是“",
                       "--format takes png, bmp, jpg, svg, utf8 or utf8i, not '") +
                   std::string(v) + Say("”", "'");
           return false;
         }
         return true;
       }},
  };
}

bool FinishEncodeOptions(EncodeOptions &options, const ParsedArgs &parsed, std::string &error) {
  if (parsed.positionals.size() > 1) {
    error = Say("多余的参数“", "unexpected argument '") + parsed.positionals[1] +
            Say("”（含空格的文字请加引号）", "' (quote a text with spaces)");
    return false;
  }
  if (options.batch && (!parsed.positionals.empty() || options.text || options.inputFile)) {
    error = Say("--batch 从它的文件读取内容，不能再给出 TEXT、--text 或 --input",
                "--batch takes the messages from its file, not from TEXT, --text or --input");
    return false;
  }
  if (options.batch && options.output == "-") {
    error = Say("--batch 写出多个文件：-o 应是一个文件夹，或含 {n} 或 {name} 的名称模式",
                "--batch writes files: -o names a folder or a pattern with {n} or {name}");
    return false;
  }
  if (!parsed.positionals.empty()) {
    if (options.text || options.inputFile) {
      error = Say("文字“", "the text '") + parsed.positionals[0] +
              Say("”与 --text 或 --input 重复", "' comes besides --text or --input");
      return false;
    }
    options.text = parsed.positionals[0];
  }
  if (options.text && options.inputFile) {
    error = Say("--text 和 --input 不能同时使用", "--text and --input exclude each other");
    return false;
  }
  // Text for a terminal goes to the terminal unless told otherwise.
  if (options.output.empty() && !options.batch &&
      (options.format == OutputFormat::Utf8 || options.format == OutputFormat::Utf8Inverted))
    options.output.assign(1, '-');
  if (options.output.empty()) {
    error = Say("缺少 --output FILE", "--output FILE is missing");
    return false;
  }
  return true;
}

std::optional<OutputFormat> ChooseFormat(const EncodeOptions &options) {
  if (options.format)
    return options.format;
  if (options.output == "-")
    return OutputFormat::Png;
  if (options.batch && options.output.find("{n}") == std::string::npos &&
      options.output.find("{name}") == std::string::npos)
    return OutputFormat::Png;
  const std::string name = options.output.substr(options.output.find_last_of('/') + 1);
  const auto dot = name.find_last_of('.');
  // No suffix: a bitmap, as the window saves.
  if (dot == std::string::npos)
    return OutputFormat::Bmp;
  const std::string suffix = Lower(std::string_view(name).substr(dot + 1));
  if (suffix == "png")
    return OutputFormat::Png;
  if (suffix == "bmp")
    return OutputFormat::Bmp;
  if (suffix == "jpg" || suffix == "jpeg")
    return OutputFormat::Jpeg;
  if (suffix == "svg")
    return OutputFormat::Svg;
  return std::nullopt;
}

const char *FormatSuffix(OutputFormat format) {
  switch (format) {
  case OutputFormat::Png:
    return "png";
  case OutputFormat::Bmp:
    return "bmp";
  case OutputFormat::Jpeg:
    return "jpg";
  case OutputFormat::Svg:
    return "svg";
  case OutputFormat::Utf8:
  case OutputFormat::Utf8Inverted:
    break;
  }
  return "txt";
}

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
