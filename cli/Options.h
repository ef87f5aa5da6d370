#pragma once

#include "MessageBytes.h"
#include "clsQRCode.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zub::cli {

// Exit statuses of every command.
enum Exit : int { kOk = 0, kFailed = 1, kUsage = 2 };

// The options every encoding command shares, with the program's defaults:
// automatic version, level M, mask "auto" (mask 0), UTF-8.
struct EncodeOptions {
  int version = 0;
  int ecLevel = kLevelM;
  int mask = -1;
  TextEncoding encoding = TextEncoding::Utf8;
  std::optional<std::string> text;
  std::optional<std::string> inputFile; // "-" is standard input
  std::string output;
};

// Handles one option of a command beyond the shared ones: returns true when
// it took `name` (and its value); sets `error` for a bad value.
using ExtraOption =
    std::function<bool(std::string_view name, std::string_view value, std::string &error)>;

// Parses `args` (everything after the command's name). Options take their
// value as the next argument or after "=". False with `error` set for an
// unknown option, a missing or malformed value, or a missing --output.
bool ParseEncodeOptions(const std::vector<std::string> &args, EncodeOptions &options,
                        std::string &error, const ExtraOption &extra = {});

// No symbol holds more than 7,089 bytes (version 40-L, all digits).
inline constexpr std::size_t kMaxMessageBytes = 7089;
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
  bool tooLong = false; // reading stopped: longer than any symbol holds
};
bool ReadMessage(const EncodeOptions &options, Message &message, std::string &error);

// Call first thing: a standard stream the program was started without
// would otherwise be the number of the next file anyone opens, and message
// bytes would be read from it, or the picture written into it. Each closed
// one is held by /dev/null; a closed standard input is remembered, so
// reading the message from it fails.
void GuardStandardStreams();

// The usage text of the whole program.
const char *Usage();

} // namespace zub::cli
