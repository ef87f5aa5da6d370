#pragma once

// Reading a command line: the options against their rules, the options
// every encoding command takes, and the checks once all are read.
#include "Options.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zub::cli {

// Parses `args` (everything after the command's name) against `rules`.
// A long option takes its value as the next argument or after "=", a short
// one as the next argument or attached ("-oFILE"). "-h", "--help" and "-V"
// are known to every command and end the parsing. "--" ends the options;
// "-" alone is a plain argument. False with `error` set for an unknown
// option, a missing value or one `apply` refuses.
bool ParseArgs(const std::vector<std::string> &args, const std::vector<OptionRule> &rules,
               ParsedArgs &parsed, std::string &error);

// The options of `options` that every encoding command takes: --version,
// --level/-l, --mask, --encoding/-e, --eci, --text, --input, --output/-o,
// --format, --readable, --verbose/-v, --batch, --threads. Commands append their own to the list.
std::vector<OptionRule> EncodeOptionRules(EncodeOptions &options);

// After parsing: takes a plain argument as the text, and checks that the
// message has one source and that there is an output. False with `error`.
bool FinishEncodeOptions(EncodeOptions &options, const ParsedArgs &parsed, std::string &error);

// A whole decimal number in [lo, hi], nothing else.
std::optional<int> Number(std::string_view s, int lo, int hi);

} // namespace zub::cli
