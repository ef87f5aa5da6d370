// zubqr compose: the window's main road without a window. The message
// becomes a symbol stretched over the canvas, the logo goes into its rounded
// box, and the composite is written; the pixels are the window's own.
#include "Commands.h"

#include "Composite.h"
#include "Layout.h"
#include "LogoImage.h"
#include "Options.h"
#include "Output.h"
#include "ScanCheck.h"
#include "ScanRemedy.h"
#include "Stretch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace zub::cli {

namespace {

// Image decoders (libpng, libjpeg through Qt) print their own complaints to
// standard error; while the logo loads they go nowhere, and the command says
// once what went wrong.
class QuietStandardError {
public:
  QuietStandardError() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0)
      dup2(null, STDERR_FILENO);
    if (null >= 0)
      close(null);
  }
  ~QuietStandardError() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }
  QuietStandardError(const QuietStandardError &) = delete;
  QuietStandardError &operator=(const QuietStandardError &) = delete;

private:
  int saved_ = -1;
};

std::string OneLine(const QString &text) {
  return QString(text).replace(QLatin1String("\r\n"), QLatin1String("")).toStdString();
}

// --readable: the composite of the options given when it scans, else the
// first candidate that does; nothing when none does.
int ComposeReadable(const EncodeOptions &options, const Message &message, const QImage &logo,
                    OutputFormat format) {
  CodeSource source;
  source.text = message.text;
  if (!message.text)
    source.raw = message.bytes;
  source.kanji = message.kanji;
  source.logoInBox = LogoInBox(logo, kLogoBoxRect.size());
  clsQRCode encoder;
  const MadeCode first = MakeCode(
      encoder, source,
      {options.version, options.ecLevel, options.mask, options.encoding, options.eci}, true);
  const MadeCode *chosen = &first;
  RemedySearch search;
  if (first.report && !first.report->checked) {
    std::cerr << "zubqr compose: " << OneLine(NotCheckedText(*first.report)) << "\n";
    return kFailed;
  }
  if (!first.Passes()) {
    search = FindReadableCode(encoder, source, first);
    if (!search.found) {
      std::cerr << "zubqr compose: 没有写出文件：" << OneLine(NoRemedyText(first, search)) << "\n";
      return kUnreadable;
    }
    chosen = &*search.found;
  }
  std::string error;
  if (!WriteOutput(RasterBytes(chosen->composite, format), options.output, error)) {
    std::cerr << "zubqr compose: " << error << "\n";
    return kFailed;
  }
  if (chosen != &first)
    std::cerr << "zubqr compose: 已改用" << DescribeCode(*chosen).toStdString() << "生成："
              << first.report->Causes().join(QString()).toStdString() << "\n";
  return kOk;
}

} // namespace

int Compose(const std::vector<std::string> &args) {
  EncodeOptions options;
  std::optional<std::string> logoPath;
  const std::vector<OptionRule> rules = {
      {"--logo", 0, true, [&logoPath](std::string_view value, std::string &) {
         logoPath = std::string(value);
         return true;
       }}};
  if (const int done = ParseEncodeCommand("compose", ComposeUsage(), args, rules, options);
      done >= 0)
    return done;
  if (!logoPath)
    return UsageError("compose", "--logo FILE is missing", ComposeUsage());
  const std::optional<OutputFormat> format = ChooseFormat(options);
  if (!format || *format == OutputFormat::Svg || *format == OutputFormat::Utf8)
    return UsageError("compose",
                      "the composite is written as png, bmp or jpg only; '" + options.output +
                          "' asks for another format",
                      ComposeUsage());
  // Nothing is written unless both the symbol and the logo are there.
  Message message;
  Picture symbol;
  if (SymbolFor("compose", options, message, symbol) != kOk)
    return kFailed;
  const LogoLoad logo = [&logoPath] {
    QuietStandardError quiet;
    return LoadLogo(QString::fromStdString(*logoPath));
  }();
  if (logo.image.isNull()) {
    // The logo's reasons are the window's, in Chinese: the whole line is.
    std::cerr << "zubqr compose: " << logo.error.toStdString() << "\n";
    return kFailed;
  }

  if (options.readable)
    return ComposeReadable(options, message, logo.image, *format);

  const QImage composite = ComposeQRPicture(symbol, logo.image);
  std::string error;
  if (!WriteOutput(RasterBytes(composite, *format), options.output, error)) {
    std::cerr << "zubqr compose: " << error << "\n";
    return kFailed;
  }
  const ScanReport report = CheckScan({composite, SymbolView(symbol).copy(), options.ecLevel,
                                       kLogoBoxRect, message.bytes, message.text});
  if (!report.checked) {
    std::cerr << "zubqr compose: " << OneLine(NotCheckedText(report)) << "\n";
    return kFailed;
  }
  if (!report.Passes())
    std::cerr << "zubqr compose: 警告：" << OneLine(ScanWarningText(report)) << "\n";
  return kOk;
}

} // namespace zub::cli
