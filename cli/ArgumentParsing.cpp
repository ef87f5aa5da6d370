#include "ArgumentParsing.h"

#include "LevelLetter.h"
#include "Messages.h"
#include "OutputFormats.h"

namespace zub::cli {

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
      error = Say("未知的选项 ", "unknown option ") + Shown(name);
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
                   Shown(v) + Say("”", "'");
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
                 Shown(v) + Say("”", "'");
         return false;
       }},
      {"--mask", 0, true,
       [&options](std::string_view v, std::string &error) {
         if (AsciiLower(v) == "auto") {
           options.mask = -1;
         } else if (const auto n = Number(v, 0, 7)) {
           options.mask = *n;
         } else {
           error = Say("--mask 取 0 到 7 或 auto，而不是“", "--mask takes 0 to 7 or auto, not '") +
                   Shown(v) + Say("”", "'");
           return false;
         }
         return true;
       }},
      {"--encoding", 'e', true,
       [&options](std::string_view v, std::string &error) {
         const std::string e = AsciiLower(v);
         if (e == "utf8" || e == "utf-8") {
           options.encoding = TextEncoding::Utf8;
         } else if (e == "ansi" || e == "gbk" || e == "cp936") {
           options.encoding = TextEncoding::Ansi;
         } else {
           error =
               Say("--encoding 取 utf8 或 ansi，而不是“", "--encoding takes utf8 or ansi, not '") +
               Shown(v) + Say("”", "'");
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
                   Shown(v) + Say("”", "'");
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
                   Shown(v) + Say("”", "'");
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
         options.format = FormatNamed(v);
         if (!options.format)
           error = Say("--format 取 png、bmp、jpg、svg、utf8 或 utf8i，而不是“",
                       "--format takes png, bmp, jpg, svg, utf8 or utf8i, not '") +
                   Shown(v) + Say("”", "'");
         return options.format.has_value();
       }},
  };
}

bool FinishEncodeOptions(EncodeOptions &options, const ParsedArgs &parsed, std::string &error) {
  if (parsed.positionals.size() > 1) {
    error = Say("多余的参数“", "unexpected argument '") + Shown(parsed.positionals[1]) +
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
      error = Say("文字“", "the text '") + Shown(parsed.positionals[0]) +
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

} // namespace zub::cli
