#include "OutputFormats.h"

#include <string>

namespace zub::cli {

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::optional<OutputFormat> FormatNamed(std::string_view name) {
  const std::string f = AsciiLower(name);
  if (f == "png")
    return OutputFormat::Png;
  if (f == "bmp")
    return OutputFormat::Bmp;
  if (f == "jpg" || f == "jpeg")
    return OutputFormat::Jpeg;
  if (f == "svg")
    return OutputFormat::Svg;
  if (f == "utf8" || f == "utf-8")
    return OutputFormat::Utf8;
  if (f == "utf8i" || f == "utf-8i")
    return OutputFormat::Utf8Inverted;
  return std::nullopt;
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
  // A suffix names a picture; text for a terminal is only asked for.
  const auto format = FormatNamed(std::string_view(name).substr(dot + 1));
  if (format == OutputFormat::Utf8 || format == OutputFormat::Utf8Inverted)
    return std::nullopt;
  return format;
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

} // namespace zub::cli
