// zubqr compose: the window's main road without a window. The message
// becomes a symbol stretched over the canvas, the logo goes into its rounded
// box, and the composite is written; the pixels are the window's own.
#include "Batch.h"
#include "Commands.h"

#include "Composite.h"
#include "ImageFile.h"
#include "Layout.h"
#include "LogoImage.h"
#include "Messages.h"
#include "Options.h"
#include "Output.h"
#include "ScanCheck.h"
#include "ScanMessages.h"
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

QByteArray RasterBytes(const QImage &image, OutputFormat format) {
  switch (format) {
  case OutputFormat::Png:
    return EncodeImageFile(image, ImageFileFormat::Png);
  case OutputFormat::Jpeg:
    return EncodeImageFile(image, ImageFileFormat::Jpeg);
  default:
    return EncodeImageFile(image, ImageFileFormat::Bmp);
  }
}

CodeSource SourceOf(const Message &message) {
  CodeSource source;
  if (message.text)
    source.text = QString::fromStdString(*message.text);
  else
    source.raw = message.bytes;
  source.kanji = message.kanji;
  return source;
}

JobOutcome Write(const QImage &composite, OutputFormat format, const std::string &output) {
  const QByteArray bytes = RasterBytes(composite, format);
  std::string error;
  if (bytes.isEmpty())
    return {JobOutcome::Failed, Say("无法生成图片", "cannot make the picture")};
  if (!WriteOutput(bytes, output, error))
    return {JobOutcome::Failed, error};
  return {};
}

// --readable: the composite of the options given when it scans, else the
// first candidate that does; nothing when none does. The note says what
// was changed.
JobOutcome ComposeReadable(const EncodeOptions &options, const Message &message,
                           const QImage &logoInBox, OutputFormat format,
                           const std::string &output) {
  CodeSource source = SourceOf(message);
  source.logoInBox = logoInBox;
  clsQRCode encoder;
  const MadeCode first = MakeCode(
      encoder, source,
      {options.version, options.ecLevel, options.mask, options.encoding, options.eci}, true);
  const MadeCode *chosen = &first;
  RemedySearch search;
  if (first.report && !first.report->checked)
    return {JobOutcome::Failed, NotCheckedMessage(*first.report)};
  if (!first.Passes()) {
    search = FindReadableCode(encoder, source, first, nullptr, kNoTimeBudget);
    if (!search.found)
      return {JobOutcome::Unreadable,
              NothingWrittenMessage(first, search, !logoInBox.isNull(), options.verbose)};
    chosen = &*search.found;
  }
  JobOutcome outcome = Write(chosen->composite, format, output);
  if (outcome.kind == JobOutcome::Done && chosen != &first)
    outcome.message = ChangedMessage(first, *chosen, options.verbose);
  return outcome;
}

// Without --readable: the composite of the options given, written, with a
// warning in the note when a reader cannot read it back.
JobOutcome ComposePlain(const EncodeOptions &options, const Message &message, const Picture &symbol,
                        const QImage &logo, OutputFormat format, const std::string &output) {
  const QImage composite = ComposeQRPicture(symbol, logo);
  JobOutcome outcome = Write(composite, format, output);
  if (outcome.kind != JobOutcome::Done)
    return outcome;
  const std::optional<QString> text =
      message.text ? std::optional<QString>(QString::fromStdString(*message.text)) : std::nullopt;
  const ScanReport report = CheckScan(
      {composite, SymbolView(symbol).copy(), options.ecLevel, kLogoBoxRect, message.bytes, text});
  if (!report.checked)
    return {JobOutcome::Failed, NotCheckedMessage(report)};
  if (!report.Passes())
    outcome.message = ScanWarning(report, options.verbose);
  return outcome;
}

JobOutcome ComposeOne(const EncodeOptions &options, const Message &message, const QImage &logo,
                      const QImage &logoInBox, OutputFormat format, const std::string &output) {
  Picture symbol;
  std::string error;
  if (!EncodeMessage(options, message, symbol, error))
    return {JobOutcome::Failed, error};
  if (options.readable)
    return ComposeReadable(options, message, logoInBox, format, output);
  return ComposePlain(options, message, symbol, logo, format, output);
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
  if (!format || (*format != OutputFormat::Png && *format != OutputFormat::Bmp &&
                  *format != OutputFormat::Jpeg))
    return UsageError("compose",
                      "the composite is written as png, bmp or jpg only; '" + options.output +
                          "' asks for another format",
                      ComposeUsage());
  // Nothing is written unless both the symbol and the logo are there.
  Message message;
  Picture symbol;
  if (!options.batch && SymbolFor("compose", options, message, symbol) != kOk)
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
  const QImage logoInBox = options.readable ? LogoInBox(logo.image, kLogoBoxRect.size()) : QImage();

  if (options.batch) {
    const BatchSettings settings{*options.batch, options.output, FormatSuffix(*format),
                                 options.threads};
    return RunBatch("compose", settings, [&](const BatchJob &job) {
      return ComposeOne(options, TextMessage(job.text, options.encoding), logo.image, logoInBox,
                        *format, job.target);
    });
  }

  const JobOutcome outcome =
      options.readable
          ? ComposeReadable(options, message, logoInBox, *format, options.output)
          : ComposePlain(options, message, symbol, logo.image, *format, options.output);
  if (!outcome.message.empty())
    std::cerr << "zubqr compose: " << outcome.message << "\n";
  if (outcome.kind == JobOutcome::Unreadable)
    return kUnreadable;
  return outcome.kind == JobOutcome::Failed ? kFailed : kOk;
}

} // namespace zub::cli
