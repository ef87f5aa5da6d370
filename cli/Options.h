#pragma once

#include "QrEncoder.h"
#include "TextBytes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zub::cli {

// Exit statuses of every command.
// kUnreadable: --readable found no options whose code both readers read
// back exactly; nothing was written.
enum Exit : int { kOk = 0, kFailed = 1, kUsage = 2, kUnreadable = 3 };

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

// The format to write: --format when given, else by the output's name:
// ".png", ".bmp", ".jpg"/".jpeg", ".svg"; a name without a suffix is a bitmap (as the window
// saves), and standard output gets PNG. A batch's folder (an output without "{n}" or "{name}") gets
// PNG. Nothing for a suffix the program does not write.
std::optional<OutputFormat> ChooseFormat(const EncodeOptions &options);

// Text from standard input is read as UTF-8 before --encoding converts it;
// GBK turns a 4-byte character into one "?", so a text that fits may be up
// to four times a byte-mode symbol's 2,953 bytes.
inline constexpr std::size_t kMaxTextBytes = 4 * 2953;

// The message bytes the options name, and whether kanji mode may carry them:
// text is converted by --encoding and excludes kanji mode (readers would
// turn kanji segments into Shift JIS); --input bytes are taken as they are.
//
// Reading stops a little past what any symbol holds, so a message that
// cannot fit is known at once and in constant memory; the encoder then says
// it does not fit. False with `error` ("cannot read ...") when the file or
// standard input cannot be read, a folder included.
struct Message {
  std::vector<std::uint8_t> bytes;
  KanjiMode kanji = KanjiMode::Allowed;
  bool tooLong = false;            // reading stopped: longer than any symbol holds
  std::optional<std::string> text; // the text (UTF-8) the bytes were made of; none for --input
};
bool ReadMessage(const EncodeOptions &options, Message &message, std::string &error);

// The message of one batch line: `text` converted by --encoding.
Message TextMessage(const std::string &text, TextEncoding encoding);

// Call first thing: a standard stream the program was started without
// would otherwise be the number of the next file anyone opens, and message
// bytes would be read from it, or the picture written into it. Each closed
// one is held by /dev/null; a closed standard input is remembered, so
// reading the message from it fails; so is a closed standard output, and
// writing the picture to it fails (StandardOutputClosed).
void GuardStandardStreams();
bool StandardOutputClosed();
bool StandardInputClosed();
// What GuardStandardStreams found, handed to the toolkit module.
void SetStandardStreamsClosed(bool input, bool output);

// Writes `text` to standard output at once (help, the version). Returns
// kOk, or kFailed with "`who`: cannot write standard output: why" on
// standard error when it could not (a full disk, a closed pipe).
int PrintOrFail(const char *who, std::string_view text);

// Reads what `fd` holds, at most `limit` bytes and one more, so that an
// input too long is known at once without reading the rest (`/dev/zero`
// never ends). False with `error` set when the system cannot read it (a
// folder, an I/O error, a closed descriptor).
bool ReadBounded(int fd, std::size_t limit, std::vector<std::uint8_t> &bytes, std::string &error);

// The usage texts: the whole program's, and each command's.
const char *Usage();
const char *EncodeUsage();
const char *ComposeUsage();
const char *ReadUsage();

// The suffix of a file in `format`: "png", "bmp", "jpg", "svg", "txt".
const char *FormatSuffix(OutputFormat format);

// "zubqr 1.0.0"
const char *ProgramVersion();

} // namespace zub::cli
