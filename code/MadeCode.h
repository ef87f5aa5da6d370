#pragma once

#include "Layout.h"
#include "MessageBytes.h"
#include "QrEncoder.h"
#include "ScanCheck.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

namespace zub {

// The choices a code is made with: the window's four option lists, and
// the ECI assignment number that may name the character set.
struct CodeOptions {
  int version = 0; // 0: the smallest that fits
  int ecLevel = kLevelM;
  int mask = 0; // as the encoder takes it
  TextEncoding encoding = TextEncoding::Utf8;
  int eci = 0; // 0: none; 26: UTF-8

  bool operator==(const CodeOptions &) const = default;
};

// What a code shows besides its options: the typed text (or raw bytes,
// which keep no text) and the logo as the logo box shows it.
struct CodeSource {
  std::optional<QString> text;    // typed text, turned into bytes by the options
  std::vector<std::uint8_t> raw;  // the message when there is no text
  QImage logoInBox;               // LogoInBox of the logo; null: no logo
  QSize canvasSize = kCanvasSize; // the composite's size
  QRect logoBox = kLogoBoxRect;   // the logo box on the canvas
  // Typed text never goes in kanji mode (readers would show Shift JIS);
  // raw bytes may.
  KanjiMode kanji = KanjiMode::Excluded;
  // Only the text matters (a symbol written without a logo or a stretch):
  // the readers read the symbol alone at four pixels a module, and a search
  // changes only the character set. Canvas and logo are not used.
  bool symbolAlone = false;
};

// One code made and judged: the value the front ends show, copy and save,
// with the options and the symbol it came from.
struct MadeCode {
  CodeOptions options;
  std::vector<std::uint8_t> message;
  Picture picture;       // the encoder's picture, as the symbol's files draw it, and
                         // its facts: version 0 when the message does not fit
  EncodeFailure failure; // when nothing was made: why, and what would fit
  QImage symbol;         // the same as a grey image, one pixel a module
  QImage canvas;         // the symbol stretched over the canvas
  QImage logoBox;        // the logo box as captured over the canvas
  QImage composite;      // the canvas with the logo box over it, as checked and
                         // saved; the symbol at four pixels a module when only
                         // the text matters
  ModuleDamage damage;
  std::optional<ScanReport> report; // the full check, when it ran

  bool Made() const { return picture.facts().version > 0; }
  bool Passes() const { return report && report->Passes(); }
};

// Makes the code of `source` with `options` (null pictures when the
// message does not fit) and counts its damage; with `check`, also runs
// the readers. The message is encoded once; the composite comes from
// ComposeCode. The same as EncodeCode followed by FinishCode.
MadeCode MakeCode(QrEncoder &encoder, const CodeSource &source, const CodeOptions &options,
                  bool check);

// The first half of MakeCode: the message's bytes and the encoder's symbol
// (the one encoding), nothing composed; version 0 when it does not fit.
MadeCode EncodeCode(QrEncoder &encoder, const CodeSource &source, const CodeOptions &options);

// The same two with the message's bytes already made: the text of `source`
// in options.encoding, or its raw bytes. The text is not converted again.
MadeCode EncodeCode(QrEncoder &encoder, const CodeSource &source, const CodeOptions &options,
                    std::vector<std::uint8_t> message);
MadeCode MakeCode(QrEncoder &encoder, const CodeSource &source, const CodeOptions &options,
                  std::vector<std::uint8_t> message, bool check);

// The message bytes of one source in each character set, each made once:
// a search that tries many options converts the text only when the
// character set changes. Those of the first code are known already.
class SourceMessages {
public:
  SourceMessages(const CodeSource &source, const MadeCode &first);
  // The message of the source with `options`: its text in their encoding,
  // or its raw bytes.
  const std::vector<std::uint8_t> &of(const CodeOptions &options);

private:
  const CodeSource &source_;
  std::optional<std::vector<std::uint8_t>> byEncoding_[2]; // Ansi, Utf8
};

// The second half: the composition of an encoded code's symbol with the
// logo and layout of `source`, its damage count and, with `check`, the
// readers' report. Nothing for a code that was not made.
void FinishCode(MadeCode &code, const CodeSource &source, bool check);

} // namespace zub
