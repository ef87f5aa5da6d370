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

// The message bytes the options name, and whether kanji mode may carry them:
// text is converted by --encoding and excludes kanji mode (readers would
// turn kanji segments into Shift JIS); --input bytes are taken as they are.
struct Message {
  std::vector<std::uint8_t> bytes;
  KanjiMode kanji = KanjiMode::Allowed;
};
bool ReadMessage(const EncodeOptions &options, Message &message, std::string &error);

// The usage text of the whole program.
const char *Usage();

} // namespace zub::cli
