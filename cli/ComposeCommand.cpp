// zubqr compose: the window's main road without a window. The message
// becomes a symbol stretched over the canvas, the logo goes into its rounded
// box, and the composite is written; the pixels are the window's own.
#include "Batch.h"
#include "BatchColumns.h"
#include "CodeSupport.h"
#include "Commands.h"

#include "CodeForPrint.h"
#include "CompositeSvg.h"
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
#include "WriteWords.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <iostream>
#include <mutex>

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

// The picture's file; one drawn larger for print says its density.
QByteArray RasterBytes(const QImage &image, OutputFormat format, int scale) {
  const int dpi = scale > 1 ? CompositeDotsPerInch(scale) : 0;
  switch (format) {
  case OutputFormat::Png:
    return EncodeImageFile(image, ImageFileFormat::Png, dpi);
  case OutputFormat::Jpeg:
    return EncodeImageFile(image, ImageFileFormat::Jpeg, dpi);
  default:
    return EncodeImageFile(image, ImageFileFormat::Bmp, dpi);
  }
}

// With --verbose, a check that ran without the WeChat engine says so, once
// for the whole command rather than on every line of a batch.
void SayHowChecked(const EncodeOptions &options, const ScanReport &report) {
  if (!options.verbose)
    return;
  const std::string line = WithoutWechatMessage(report);
  if (line.empty())
    return;
  static std::once_flag said;
  std::call_once(said, [&line] {
    const std::string out = "zubqr compose: " + line + "\n";
    std::fputs(out.c_str(), stderr);
  });
}

// What the composite is drawn as: its format, how many times larger, and
// the logo's picture, which a larger or vector composite draws from.
struct Drawing {
  OutputFormat format = OutputFormat::Png;
  int scale = 1;
  QImage logo;          // the logo's picture as read; null without a logo
  QImage logoAtScale;   // LogoInBox of the box `scale` times larger, made once
  bool verbose = false; // say the printed size
};

std::string PrintedSize(const Drawing &drawing, QSize pixels, const std::string &output) {
  const Language language = MessageLanguage();
  const bool vector = drawing.format == OutputFormat::Svg;
  // A vector picture's size is given at the screen's density, its own.
  const int dpi = CompositeDotsPerInch(vector ? 1 : drawing.scale);
  return (output == "-" ? std::string() : Quoted(output) + Say("：", ": ")) +
         PrintedSizeWords(pixels.width(), pixels.height(), dpi, vector, language);
}

// Writes `code` as `drawing` says. A vector composite is judged as a
// renderer draws it: `rendered` receives that check, and with
// `onlyIfItScans` nothing is written when the drawing does not scan
// (Unreadable, without a message).
JobOutcome Write(const MadeCode &code, const CodeSource &source, const Drawing &drawing,
                 const std::string &output, std::optional<ScanReport> &rendered,
                 bool onlyIfItScans) {
  QByteArray bytes;
  QSize pixels = code.composite.size();
  if (drawing.format == OutputFormat::Svg) {
    VectorCode vector = MakeVectorCode(code, source, drawing.logo);
    if (vector.svg.isEmpty())
      return {JobOutcome::Failed, Say("无法生成矢量图", "cannot make the vector picture")};
    rendered = std::move(vector.report);
    if (onlyIfItScans && !rendered->Passes())
      return {JobOutcome::Unreadable, {}};
    bytes = std::move(vector.svg);
  } else {
    const QImage picture = PrintComposite(code, source, drawing.logoAtScale, drawing.scale);
    if (picture.isNull())
      return {JobOutcome::Failed, Say("无法生成图片", "cannot make the picture")};
    pixels = picture.size();
    bytes = RasterBytes(picture, drawing.format, drawing.scale);
  }
  std::string error;
  if (bytes.isEmpty())
    return {JobOutcome::Failed, Say("无法生成图片", "cannot make the picture")};
  if (!WriteOutput(bytes, output, error))
    return {JobOutcome::Failed, error};
  JobOutcome done;
  if (drawing.verbose)
    done.message = PrintedSize(drawing, pixels, output);
  return done;
}

// A note and another, one per line.
void AddLine(std::string &note, const std::string &line) {
  if (line.empty())
    return;
  if (!note.empty())
    note += "\n";
  note += line;
}

// The code of `encoded`, the message's symbol of the options given, with
// the logo: written, with a warning in the note when a reader cannot read
// it back; with --readable, written only when it or the first candidate of
// the search scans, the note saying what was changed.
JobOutcome ComposeCode(QrEncoder &encoder, const EncodeOptions &options, const Message &message,
                       MadeCode encoded, const QImage &logoInBox, const Drawing &drawing,
                       const std::string &output) {
  CodeSource source = SourceOf(message);
  source.logoInBox = logoInBox;
  std::optional<ScanReport> rendered;
  if (!options.readable) {
    MadeCode &code = encoded;
    FinishCode(code, source, true);
    JobOutcome outcome = Write(code, source, drawing, output, rendered, false);
    if (outcome.kind != JobOutcome::Done)
      return outcome;
    if (!code.report->checked)
      return {JobOutcome::Failed, NotCheckedMessage(*code.report)};
    SayHowChecked(options, *code.report);
    // A vector composite is judged as a renderer draws it.
    const ScanReport &judged = rendered ? *rendered : *code.report;
    if (!judged.Passes()) {
      std::string note = ScanWarning(judged, options.verbose);
      AddLine(note, outcome.message);
      outcome.message = note;
    }
    return outcome;
  }
  const ReadableCode made =
      FinishReadableCode(encoder, source, std::move(encoded), nullptr, kNoTimeBudget);
  if (made.first.report)
    SayHowChecked(options, *made.first.report);
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
  // Only a vector picture whose drawing scans is written.
  JobOutcome outcome = Write(made.code(), source, drawing, output, rendered, true);
  if (outcome.kind == JobOutcome::Unreadable)
    return {JobOutcome::Unreadable,
            Say("没有写入文件：矢量图画出来后扫不出。", "nothing written: the vector picture "
                                                        "does not scan as drawn. ") +
                ScanWarning(*rendered, options.verbose)};
  if (outcome.kind == JobOutcome::Done && made.changed()) {
    std::string note = ChangedMessage(made.first, made.code(), options.verbose);
    AddLine(note, outcome.message);
    outcome.message = note;
  }
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
                      const Drawing &drawing, const std::string &output) {
  QrEncoder encoder;
  MadeCode encoded;
  std::string error;
  if (!EncodeFirst(encoder, options, message, encoded, error))
    return {JobOutcome::Failed, error};
  return ComposeCode(encoder, options, message, std::move(encoded), logoInBox, drawing, output);
}

} // namespace

int Compose(const std::vector<std::string> &args) {
  EncodeOptions options;
  std::optional<std::string> logoPath;
  Drawing drawing;
  const std::vector<OptionRule> rules = {
      {"--logo", 0, true,
       [&logoPath](std::string_view value, std::string &) {
         logoPath = std::string(value);
         return true;
       }},
      {"--scale", 0, true, [&drawing](std::string_view value, std::string &error) {
         int n = 0;
         const auto [end, failed] = std::from_chars(value.data(), value.data() + value.size(), n);
         if (failed != std::errc() || end != value.data() + value.size() || n < 1 ||
             n > kMaxCompositeScale) {
           error = Say("--scale 取 1 到 16 倍，而不是“", "--scale takes 1 to 16 times, not '") +
                   Shown(value) + Say("”", "'");
           return false;
         }
         drawing.scale = n;
         return true;
       }}};
  if (const int done = ParseEncodeCommand("compose", ComposeUsage(), args, rules, options);
      done >= 0)
    return done;
  if (!logoPath)
    return UsageError("compose", Say("缺少 --logo FILE", "--logo FILE is missing"));
  const std::optional<OutputFormat> format = ChooseFormat(options);
  if (!format || (*format != OutputFormat::Png && *format != OutputFormat::Bmp &&
                  *format != OutputFormat::Jpeg && *format != OutputFormat::Svg))
    return UsageError("compose", Say("合成的图片只能写成 png、bmp、jpg 或 svg；",
                                     "the composite is written as png, "
                                     "bmp, jpg or svg only; ") +
                                     Quoted(options.output) +
                                     Say("要求的是别的格式", " asks for another format"));
  if (*format == OutputFormat::Svg && drawing.scale != 1)
    return UsageError("compose",
                      Say("矢量图（svg）可任意放大，不用 --scale",
                          "a vector picture (svg) enlarges to any size without --scale"));
  drawing.format = *format;
  drawing.verbose = options.verbose;
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
  // A larger or vector composite draws the logo larger: a large photo is
  // decoded with the pixels that size needs.
  const int logoScale = *format == OutputFormat::Svg ? kSvgLogoMaxScale : drawing.scale;
  const LogoLoad logo = [&logoPath, logoScale] {
    QuietStandardError quiet;
    return LoadLogo(QString::fromStdString(*logoPath), kLogoBoxRect.size() * logoScale);
  }();
  if (logo.image.isNull()) {
    std::cerr << "zubqr compose: " << Shown(LogoProblemText(logo, MessageLanguage()).toStdString())
              << "\n";
    return kFailed;
  }
  // The logo as the box shows it, made once for every code, and at the
  // larger size the same.
  const QImage logoInBox = LogoInBox(logo.image, kLogoBoxRect.size());
  drawing.logo = logo.image;
  drawing.logoAtScale =
      drawing.scale == 1 ? logoInBox : LogoInBox(logo.image, kLogoBoxRect.size() * drawing.scale);

  if (options.batch) {
    const BatchSettings settings{
        *options.batch,
        options.output,
        FormatSuffix(*format),
        options.threads,
        ColumnsLineParser(options.batchColumns),
        [&options](int threads) { BoundCheckThreads(options.threads, threads); }};
    return RunBatch("compose", settings, [&](const BatchJob &job) {
      return ComposeOne(options, TextMessage(job.text, options.encoding), logoInBox, drawing,
                        job.target);
    });
  }

  BoundCheckThreads(options.threads, 1);
  const JobOutcome outcome = ComposeCode(encoder, options, message, std::move(encoded), logoInBox,
                                         drawing, options.output);
  if (!outcome.message.empty())
    std::cerr << "zubqr compose: " << outcome.message << "\n";
  if (outcome.kind == JobOutcome::Unreadable)
    return kUnreadable;
  return outcome.kind == JobOutcome::Failed ? kFailed : kOk;
}

} // namespace zub::cli
