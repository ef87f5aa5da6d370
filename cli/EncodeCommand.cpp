// zubqr encode: message bytes to the symbol picture, kDefaultScale pixels a
// module unless --scale says otherwise. Drawn and written without the toolkit;
// only --readable loads the module with the readers.
#include "ArgumentParsing.h"
#include "Batch.h"
#include "BatchColumns.h"
#include "Commands.h"
#include "Messages.h"
#include "Module.h"
#include "Output.h"
#include "OutputFormats.h"
#include "SymbolFiles.h"
#include "Usage.h"

#include <iostream>

namespace zub::cli {

namespace {

// What the command draws, besides the symbol options.
struct Drawing {
  OutputFormat format = OutputFormat::Png;
  SymbolLook look = [] {
    SymbolLook drawn;
    drawn.scale = kDefaultScale;
    return drawn;
  }();
};

// With --readable, the symbol to write: the module makes it, the one
// encoding of every candidate. Returns kOk, or kUnreadable / kFailed with
// `why` set; `note` says what was changed.
int MakeReadable(const EncodeOptions &options, const Message &message, Picture &symbol,
                 std::string &note, std::string &why) {
  std::string error;
  const ModuleCalls *module = Module(error);
  if (!module) {
    why = Say("无法检查二维码能否被扫出：", "cannot check whether the code scans: ") + error;
    return kFailed;
  }
  // A batch bounds the check as it starts.
  if (!options.batch)
    module->boundCheckThreads(options.threads, 1);
  ReadableSymbol found = module->readableSymbol(options, message);
  if (found.status != kOk) {
    why = found.note;
    return found.status;
  }
  symbol = found.symbol;
  note = found.note;
  return kOk;
}

// The file's bytes; empty when the picture cannot be made.
std::string FileBytes(const Picture &symbol, const Drawing &drawing, std::string &why) {
  const auto raster = [&](std::vector<std::uint8_t> bytes) {
    if (bytes.empty())
      why = PictureSide(symbol, drawing.look) > kMaxPictureSide
                ? Say("图片的边长会超过 ", "the picture would be more than ") +
                      std::to_string(kMaxPictureSide) +
                      Say(" 像素：请选用较小的 --scale", " pixels a side; choose a smaller --scale")
                : Say("无法生成图片", "cannot make the picture");
    return std::string(bytes.begin(), bytes.end());
  };
  switch (drawing.format) {
  case OutputFormat::Svg:
    return SymbolSvg(symbol, drawing.look);
  case OutputFormat::Utf8:
    return SymbolText(symbol, drawing.look, false);
  case OutputFormat::Utf8Inverted:
    return SymbolText(symbol, drawing.look, true);
  case OutputFormat::Png:
    return raster(SymbolPng(symbol, drawing.look));
  case OutputFormat::Jpeg:
    return raster(SymbolJpeg(symbol, drawing.look));
  case OutputFormat::Bmp:
    break;
  }
  return raster(SymbolBmp(symbol, drawing.look));
}

// One message to one file: the symbol, the --readable search, the picture
// and the write.
JobOutcome MakeFile(const EncodeOptions &options, const Drawing &drawing, const Message &message,
                    const std::string &output) {
  Picture symbol;
  JobOutcome outcome;
  if (options.readable) {
    std::string why;
    if (message.tooLong)
      return {JobOutcome::Failed, DoesNotFit(message)};
    if (const int status = MakeReadable(options, message, symbol, outcome.message, why);
        status != kOk)
      return {status == kUnreadable ? JobOutcome::Unreadable : JobOutcome::Failed, why};
  } else if (!EncodeMessage(options, message, symbol, outcome.message)) {
    return {JobOutcome::Failed, outcome.message};
  }
  std::string why;
  const std::string bytes = FileBytes(symbol, drawing, why);
  if (bytes.empty() || !WriteOutput(bytes, output, why))
    return {JobOutcome::Failed, why};
  return outcome;
}

bool Colour(std::string_view v, const char *option, std::optional<Rgba> &colour,
            std::string &error) {
  colour = ParseColour(v);
  if (!colour)
    error = std::string(option) +
            Say(" 取 #RRGGBB、#RRGGBBAA 或 CSS 颜色名称，而不是",
                " takes #RRGGBB, #RRGGBBAA or a CSS colour name, not ") +
            Quoted(v);
  return colour.has_value();
}

} // namespace

int Encode(const std::vector<std::string> &args) {
  EncodeOptions options;
  Drawing drawing;
  std::optional<Rgba> fg, bg;
  bool invert = false;
  std::vector<OptionRule> rules = {
      {"--scale", 0, true,
       [&drawing](std::string_view v, std::string &error) {
         const auto n = Number(v, 1, 100);
         if (!n)
           error = Say("--scale 取每个模块 1 到 100 像素，而不是“",
                       "--scale takes 1 to 100 pixels a module, not '") +
                   Shown(v) + Say("”", "'");
         drawing.look.scale = n.value_or(drawing.look.scale);
         return n.has_value();
       }},
      {"--margin", 0, true,
       [&drawing](std::string_view v, std::string &error) {
         const auto n = Number(v, 0, 100);
         if (!n)
           error = Say("--margin 取 0 到 100 个模块，而不是“",
                       "--margin takes 0 to 100 modules, not '") +
                   Shown(v) + Say("”", "'");
         drawing.look.margin = n.value_or(drawing.look.margin);
         return n.has_value();
       }},
      {"--fg", 0, true,
       [&fg](std::string_view v, std::string &error) { return Colour(v, "--fg", fg, error); }},
      {"--bg", 0, true,
       [&bg](std::string_view v, std::string &error) { return Colour(v, "--bg", bg, error); }},
      // The same as --format utf8i; with --format utf8 too.
      {"--invert", 0, false,
       [&invert, &options](std::string_view, std::string &) {
         invert = true;
         if (!options.format)
           options.format = OutputFormat::Utf8Inverted;
         return true;
       }},
  };
  if (const int done = ParseEncodeCommand("encode", EncodeUsage(), args, rules, options); done >= 0)
    return done;
  const std::optional<OutputFormat> format = ChooseFormat(options);
  if (!format)
    return UsageError("encode", Say("无法从名称看出", "cannot tell the format of ") +
                                    Quoted(options.output) +
                                    Say("的格式：请用 .png、.bmp、.jpg、.svg 或 --format",
                                        " by its name: use .png, .bmp, .jpg, .svg or --format"));
  drawing.format = *format;
  if (invert) {
    if (drawing.format != OutputFormat::Utf8 && drawing.format != OutputFormat::Utf8Inverted)
      return UsageError("encode", Say("--invert 只用于终端格式（utf8）",
                                      "--invert is for the terminal format (utf8) only"));
    drawing.format = OutputFormat::Utf8Inverted;
  }
  drawing.look.colours.dark = fg.value_or(drawing.look.colours.dark);
  drawing.look.colours.light = bg.value_or(drawing.look.colours.light);
  const bool transparent =
      !drawing.look.colours.dark.Opaque() || !drawing.look.colours.light.Opaque();
  if (transparent && drawing.format != OutputFormat::Png && drawing.format != OutputFormat::Svg)
    return UsageError("encode", Say("透明颜色（#RRGGBBAA）只能用于 png 和 svg",
                                    "a transparent colour (#RRGGBBAA) is for png and svg only"));
  if (const auto problem = drawing.look.colours == Colours{}
                               ? std::nullopt
                               : ColourProblem(drawing.look.colours, MessageLanguage())) {
    if (options.readable) {
      std::cerr << "zubqr encode: "
                << Say("没有写出文件：--readable 不接受这样的颜色：",
                       "nothing written: --readable refuses these colours: ")
                << *problem << "\n";
      return kUnreadable;
    }
    std::cerr << "zubqr encode: " << Say("警告：", "warning: ") << *problem << "\n";
  }

  if (options.batch) {
    const BatchSettings settings{*options.batch,
                                 options.output,
                                 FormatSuffix(drawing.format),
                                 options.threads,
                                 ColumnsLineParser(options.batchColumns),
                                 [&options](int threads) {
                                   // Only --readable checks; the module is loaded for it alone.
                                   std::string unloaded;
                                   if (const ModuleCalls *module =
                                           options.readable ? Module(unloaded) : nullptr)
                                     module->boundCheckThreads(options.threads, threads);
                                 }};
    return RunBatch("encode", settings, [&](const BatchJob &job) {
      return MakeFile(options, drawing, TextMessage(job.text, options.encoding), job.target);
    });
  }

  Message message;
  std::string error;
  if (!ReadMessage(options, message, error)) {
    std::cerr << "zubqr encode: " << error << "\n";
    return kFailed;
  }
  const JobOutcome outcome = MakeFile(options, drawing, message, options.output);
  if (outcome.kind == JobOutcome::Unreadable) {
    std::cerr << "zubqr encode: " << outcome.message << "\n";
    return kUnreadable;
  }
  if (outcome.kind == JobOutcome::Failed) {
    std::cerr << "zubqr encode: " << outcome.message << "\n";
    return kFailed;
  }
  if (!outcome.message.empty())
    std::cerr << "zubqr encode: " << outcome.message << "\n";
  return kOk;
}

} // namespace zub::cli
