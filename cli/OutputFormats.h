#pragma once

// The formats a command writes: the one the options ask for, by --format,
// by a name --format took, or by the output's name, and each one's suffix.
#include "Options.h"

#include <optional>
#include <string>
#include <string_view>

namespace zub::cli {

// `s` with A-Z as a-z: names of formats and option values match in any case.
std::string AsciiLower(std::string_view s);

// The format --format names: "png", "bmp", "jpg"/"jpeg", "svg",
// "utf8"/"utf-8", "utf8i"/"utf-8i", in any case. Nothing for another name.
std::optional<OutputFormat> FormatNamed(std::string_view name);

// The format to write: --format when given, else by the output's name:
// ".png", ".bmp", ".jpg"/".jpeg", ".svg"; a name without a suffix is a bitmap (as the window
// saves), and standard output gets PNG. A batch's folder (an output without "{n}" or "{name}") gets
// PNG. Nothing for a suffix the program does not write.
std::optional<OutputFormat> ChooseFormat(const EncodeOptions &options);

// The suffix of a file in `format`: "png", "bmp", "jpg", "svg", "txt".
const char *FormatSuffix(OutputFormat format);

} // namespace zub::cli
