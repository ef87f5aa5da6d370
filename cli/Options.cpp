#include "Options.h"

#include <QString>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

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

bool ReadAll(std::istream &in, std::vector<std::uint8_t> &bytes) {
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

} // namespace

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
    const std::string &path = *options.inputFile;
    bool ok;
    if (path == "-") {
      ok = ReadAll(std::cin, message.bytes);
    } else {
      std::ifstream file(path, std::ios::binary);
      ok = file.is_open() && ReadAll(file, message.bytes);
    }
    if (!ok)
      error = "cannot read '" + path + "'";
    return ok;
  }

  std::vector<std::uint8_t> raw;
  if (options.text) {
    raw.assign(options.text->begin(), options.text->end());
  } else if (!ReadAll(std::cin, raw)) {
    error = "cannot read standard input";
    return false;
  }
  const QString text = QString::fromUtf8(reinterpret_cast<const char *>(raw.data()),
                                         static_cast<qsizetype>(raw.size()));
  message.bytes = MessageBytes(text, options.encoding);
  message.kanji = KanjiMode::Excluded;
  return true;
}

} // namespace zub::cli
