#pragma once

// The message's bytes: typed text converted by --encoding, or read from a
// file or standard input, never more than a little past what any symbol
// holds.
#include "Options.h"
#include "QrEncoder.h"
#include "TextBytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zub::cli {

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

// Reads what `fd` holds, at most `limit` bytes and one more, so that an
// input too long is known at once without reading the rest (`/dev/zero`
// never ends). False with `error` set when the system cannot read it (a
// folder, an I/O error, a closed descriptor).
bool ReadBounded(int fd, std::size_t limit, std::vector<std::uint8_t> &bytes, std::string &error);

} // namespace zub::cli
