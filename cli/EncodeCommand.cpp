// zubqr encode: message bytes to the symbol picture, one pixel per module
// unless --scale says otherwise.
#include "Commands.h"

#include "Output.h"
#include "ScanRemedy.h"

#include <iostream>

namespace zub::cli {

namespace {

const char *LevelName(int level) {
  static const char *names[] = {"L", "M", "Q", "H"};
  return names[level - 1];
}

} // namespace

int UsageError(const char *command, const std::string &error, const char *usage) {
  std::cerr << "zubqr " << command << ": " << error << "\n" << usage;
  return kUsage;
}

int ParseCommand(const char *command, const char *usage, const std::vector<std::string> &args,
                 const std::vector<OptionRule> &rules, ParsedArgs &parsed) {
  std::string error;
  if (!ParseArgs(args, rules, parsed, error))
    return UsageError(command, error, usage);
  if (parsed.help) {
    std::cout << usage;
    return kOk;
  }
  if (parsed.programVersion) {
    std::cout << ProgramVersion() << "\n";
    return kOk;
  }
  return -1;
}

int ParseEncodeCommand(const char *command, const char *usage, const std::vector<std::string> &args,
                       std::vector<OptionRule> rules, EncodeOptions &options) {
  const std::vector<OptionRule> shared = EncodeOptionRules(options);
  rules.insert(rules.begin(), shared.begin(), shared.end());
  ParsedArgs parsed;
  if (const int done = ParseCommand(command, usage, args, rules, parsed); done >= 0)
    return done;
  std::string error;
  if (!FinishEncodeOptions(options, parsed, error))
    return UsageError(command, error, usage);
  return -1;
}

int SymbolFor(const char *command, const EncodeOptions &options, Message &message,
              Picture &symbol) {
  std::string error;
  if (!ReadMessage(options, message, error)) {
    std::cerr << "zubqr " << command << ": " << error << "\n";
    return kFailed;
  }
  if (message.tooLong) {
    std::cerr << "zubqr " << command << ": the message (more than " << message.bytes.size() - 1
              << " bytes) does not fit any version\n";
    return kFailed;
  }
  clsQRCode encoder;
  symbol = encoder.MakeSymbol(message.bytes.data(), static_cast<int>(message.bytes.size()),
                              options.version, options.ecLevel, options.mask, message.kanji,
                              options.eci);
  if (symbol.isNull()) {
    const std::string where =
        options.version == 0 ? "any version" : "version " + std::to_string(options.version);
    std::cerr << "zubqr " << command << ": the message (" << message.bytes.size()
              << " bytes) does not fit " << where << " at level " << LevelName(options.ecLevel)
              << "\n";
    return kFailed;
  }
  return kOk;
}

int Encode(const std::vector<std::string> &args) {
  EncodeOptions options;
  int scale = 1;
  int margin = kPictureQuietZone;
  std::vector<OptionRule> rules = {
      {"--scale", 0, true,
       [&scale](std::string_view v, std::string &error) {
         const auto n = Number(v, 1, 100);
         if (!n)
           error = "--scale takes 1 to 100 pixels a module, not '" + std::string(v) + "'";
         scale = n.value_or(scale);
         return n.has_value();
       }},
      {"--margin", 0, true,
       [&margin](std::string_view v, std::string &error) {
         const auto n = Number(v, 0, 100);
         if (!n)
           error = "--margin takes 0 to 100 modules, not '" + std::string(v) + "'";
         margin = n.value_or(margin);
         return n.has_value();
       }},
  };
  if (const int done = ParseEncodeCommand("encode", EncodeUsage(), args, rules, options); done >= 0)
    return done;
  const std::optional<OutputFormat> format = ChooseFormat(options);
  if (!format)
    return UsageError("encode",
                      "cannot tell the format of '" + options.output +
                          "' by its name: use .png, .bmp, .jpg, .svg or --format",
                      EncodeUsage());

  Message message;
  Picture symbol;
  if (SymbolFor("encode", options, message, symbol) != kOk)
    return kFailed;
  if (options.readable) {
    // Only the text matters here: the symbol alone, read at four pixels a
    // module, must give it back on both readers.
    CodeSource source;
    source.text = message.text;
    if (!message.text)
      source.raw = message.bytes;
    source.kanji = message.kanji;
    clsQRCode encoder;
    MadeCode first;
    const RemedySearch search = FindReadableSymbol(
        encoder, source,
        {options.version, options.ecLevel, options.mask, options.encoding, options.eci}, first);
    if (first.report && !first.report->checked) {
      std::cerr
          << "zubqr encode: "
          << NotCheckedText(*first.report).replace(QLatin1String("\r\n"), QString()).toStdString()
          << "\n";
      return kFailed;
    }
    if (!first.Passes()) {
      if (!search.found) {
        std::cerr
            << "zubqr encode: 没有写出文件："
            << NoRemedyText(first, search).replace(QLatin1String("\r\n"), QString()).toStdString()
            << "\n";
        return kUnreadable;
      }
      std::cerr << "zubqr encode: 已改用" << DescribeCode(*search.found).toStdString() << "生成："
                << first.report->Causes().join(QString()).toStdString() << "\n";
      symbol = encoder.MakeSymbol(
          search.found->message.data(), static_cast<int>(search.found->message.size()),
          search.found->options.version, search.found->options.ecLevel, search.found->options.mask,
          source.kanji, search.found->options.eci);
    }
  }
  QByteArray bytes;
  if (*format == OutputFormat::Svg) {
    bytes = SymbolSvg(symbol, scale, margin);
  } else if (*format == OutputFormat::Utf8) {
    bytes = SymbolText(symbol, margin);
  } else {
    const QImage image = SymbolImage(symbol, scale, margin);
    if (image.isNull()) {
      std::cerr << "zubqr encode: the picture would be more than " << kMaxPictureSide
                << " pixels a side; choose a smaller --scale\n";
      return kFailed;
    }
    bytes = RasterBytes(image, *format);
  }
  std::string error;
  if (bytes.isEmpty() || !WriteOutput(bytes, options.output, error)) {
    std::cerr << "zubqr encode: " << (error.empty() ? "cannot make the picture" : error) << "\n";
    return kFailed;
  }
  return kOk;
}

} // namespace zub::cli
