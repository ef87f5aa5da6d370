// zubqr compose: the window's main road without a window. The message
// becomes a symbol stretched over the canvas, the logo goes into its rounded
// box, and the composite is written; the pixels are the window's own.
#include "Batch.h"
#include "BatchColumns.h"
#include "CodeSupport.h"
#include "Commands.h"

#include "ImageFile.h"
#include "Layout.h"
#include "LogoImage.h"
#include "LogoWords.h"
#include "Messages.h"
#include "Output.h"
#include "OutputFormats.h"
#include "ReadableCode.h"
#include "ScanCheck.h"
#include "ScanMessages.h"
#include "Usage.h"

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

JobOutcome Write(const QImage &composite, OutputFormat format, const std::string &output) {
  const QByteArray bytes = RasterBytes(composite, format);
  std::string error;
  if (bytes.isEmpty())
    return {JobOutcome::Failed, Say("无法生成图片", "cannot make the picture")};
  if (!WriteOutput(bytes, output, error))
    return {JobOutcome::Failed, error};
  return {};
}

// The code of `encoded`, the message's symbol of the options given, with
// the logo: written, with a warning in the note when a reader cannot read
// it back; with --readable, written only when it or the first candidate of
// the search scans, the note saying what was changed.
JobOutcome ComposeCode(QrEncoder &encoder, const EncodeOptions &options, const Message &message,
                       MadeCode encoded, const QImage &logoInBox, OutputFormat format,
                       const std::string &output) {
  CodeSource source = SourceOf(message);
  source.logoInBox = logoInBox;
  if (!options.readable) {
    MadeCode &code = encoded;
    FinishCode(code, source, true);
    JobOutcome outcome = Write(code.composite, format, output);
    if (outcome.kind != JobOutcome::Done)
      return outcome;
    if (!code.report->checked)
      return {JobOutcome::Failed, NotCheckedMessage(*code.report)};
    if (!code.report->Passes())
      outcome.message = ScanWarning(*code.report, options.verbose);
    return outcome;
  }
  const ReadableCode made =
      FinishReadableCode(encoder, source, std::move(encoded), nullptr, kNoTimeBudget);
  switch (made.verdict) {
  case ReadableCode::Verdict::TooLong:
    return {JobOutcome::Failed, DoesNotFit(message, made.first.failure)};
  case ReadableCode::Verdict::NotChecked:
    return {JobOutcome::Failed, NotCheckedMessage(*made.first.report)};
  case ReadableCode::Verdict::Unreadable:
    return {JobOutcome::Unreadable,
            NothingWrittenMessage(made.first, made.search, !logoInBox.isNull(), options.verbose)};
  case ReadableCode::Verdict::Passes:
  case ReadableCode::Verdict::Remedied:
    break;
  }
  JobOutcome outcome = Write(made.code().composite, format, output);
  if (outcome.kind == JobOutcome::Done && made.changed())
    outcome.message = ChangedMessage(made.first, made.code(), options.verbose);
  return outcome;
}

// The message's symbol of the options given, the one encoding it gets
// unless --readable searches further; a message that does not fit fails.
bool EncodeFirst(QrEncoder &encoder, const EncodeOptions &options, const Message &message,
                 MadeCode &encoded, std::string &error) {
  if (message.tooLong) {
    error = DoesNotFit(message);
    return false;
  }
  // The message's bytes as reading made them: the text is not converted
  // again.
  encoded = EncodeCode(encoder, SourceOf(message), CodeOptionsOf(options), message.bytes);
  if (!encoded.Made())
    error = DoesNotFit(message, encoded.failure);
  return encoded.Made();
}

JobOutcome ComposeOne(const EncodeOptions &options, const Message &message, const QImage &logoInBox,
                      OutputFormat format, const std::string &output) {
  QrEncoder encoder;
  MadeCode encoded;
  std::string error;
  if (!EncodeFirst(encoder, options, message, encoded, error))
    return {JobOutcome::Failed, error};
  return ComposeCode(encoder, options, message, std::move(encoded), logoInBox, format, output);
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
    return UsageError("compose", Say("缺少 --logo FILE", "--logo FILE is missing"));
  const std::optional<OutputFormat> format = ChooseFormat(options);
  if (!format || (*format != OutputFormat::Png && *format != OutputFormat::Bmp &&
                  *format != OutputFormat::Jpeg))
    return UsageError("compose", Say("合成的图片只能写成 png、bmp 或 jpg；",
                                     "the composite is written as png, "
                                     "bmp or jpg only; ") +
                                     Quoted(options.output) +
                                     Say("要求的是别的格式", " asks for another format"));
  // Nothing is written unless both the symbol and the logo are there: the
  // message is encoded, once, before the logo is read.
  Message message;
  QrEncoder encoder;
  MadeCode encoded;
  if (!options.batch) {
    std::string error;
    if (!ReadMessage(options, message, error) ||
        !EncodeFirst(encoder, options, message, encoded, error)) {
      std::cerr << "zubqr compose: " << error << "\n";
      return kFailed;
    }
  }
  const LogoLoad logo = [&logoPath] {
    QuietStandardError quiet;
    return LoadLogo(QString::fromStdString(*logoPath), kLogoBoxRect.size());
  }();
  if (logo.image.isNull()) {
    std::cerr << "zubqr compose: " << Shown(LogoProblemText(logo, MessageLanguage()).toStdString())
              << "\n";
    return kFailed;
  }
  // The logo as the box shows it, made once for every code.
  const QImage logoInBox = LogoInBox(logo.image, kLogoBoxRect.size());

  if (options.batch) {
    const BatchSettings settings{
        *options.batch,
        options.output,
        FormatSuffix(*format),
        options.threads,
        ColumnsLineParser(options.batchColumns),
        [&options](int threads) { BoundCheckThreads(options.threads, threads); }};
    return RunBatch("compose", settings, [&](const BatchJob &job) {
      return ComposeOne(options, TextMessage(job.text, options.encoding), logoInBox, *format,
                        job.target);
    });
  }

  BoundCheckThreads(options.threads, 1);
  const JobOutcome outcome = ComposeCode(encoder, options, message, std::move(encoded), logoInBox,
                                         *format, options.output);
  if (!outcome.message.empty())
    std::cerr << "zubqr compose: " << outcome.message << "\n";
  if (outcome.kind == JobOutcome::Unreadable)
    return kUnreadable;
  return outcome.kind == JobOutcome::Failed ? kFailed : kOk;
}

} // namespace zub::cli
