#pragma once

// What the command line can ask for: the options every encoding command
// shares, the rule of one option, and what a parsed command line holds.
#include "QrEncoder.h"
#include "TextBytes.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zub::cli {

// What a command writes: pictures, a vector picture, or text for a terminal.
// Utf8Inverted draws the dark modules, for a terminal with a light ground.
enum class OutputFormat { Png, Bmp, Jpeg, Svg, Utf8, Utf8Inverted };

// The options every encoding command shares, with the program's defaults:
// automatic version, level M, mask "auto" (mask 0), UTF-8.
struct EncodeOptions {
  int version = 0;
  int ecLevel = kLevelM;
  int mask = -1;
  TextEncoding encoding = TextEncoding::Utf8;
  std::optional<std::string> text;      // --text or the plain argument
  std::optional<std::string> inputFile; // "-" is standard input
  std::string output;                   // "-" is standard output
  std::optional<OutputFormat> format;   // --format; else by the output's name
  int eci = 0;                          // --eci: the ECI assignment number, 0 none
  bool readable = false;                // --readable: write only a code that scans
  std::optional<std::string> batch;     // --batch FILE: one job a line, "-" standard input
  int threads = 0;                      // --threads: a batch's threads, 0 every core
  bool verbose = false;                 // --verbose: the scan check's technical causes too
  // --columns KIND: a batch's lines are the columns of that kind of form
  // ("wifi", "contact"...; PayloadOptions.h), not texts.
  std::optional<std::string> batchColumns;
};

// One option of a command. `apply` receives the value (empty for a flag)
// and returns false with `error` set for a bad one.
struct OptionRule {
  std::string_view name; // "--output"
  char shortName = 0;    // 'o' for "-o", or 0
  bool takesValue = true;
  std::function<bool(std::string_view value, std::string &error)> apply;
};

// What the command line asked for besides its options.
struct ParsedArgs {
  bool help = false;                    // -h or --help: print the usage, exit 0
  bool programVersion = false;          // -V: print the program's version, exit 0
  std::vector<std::string> positionals; // plain arguments, in order
};

} // namespace zub::cli
