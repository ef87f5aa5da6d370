#pragma once

#include "Layout.h"
#include "MessageBytes.h"
#include "ScanCheck.h"
#include "clsQRCode.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>
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
  Picture picture;  // the encoder's picture, as the symbol's files draw it, and
                    // its facts: version 0 when the message does not fit
  QImage symbol;    // the same as a grey image, one pixel a module
  QImage canvas;    // the symbol stretched over the canvas
  QImage logoBox;   // the logo box as captured over the canvas
  QImage composite; // the canvas with the logo box over it, as checked and
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
MadeCode MakeCode(clsQRCode &encoder, const CodeSource &source, const CodeOptions &options,
                  bool check);

// The first half of MakeCode: the message's bytes and the encoder's symbol
// (the one encoding), nothing composed; version 0 when it does not fit.
MadeCode EncodeCode(clsQRCode &encoder, const CodeSource &source, const CodeOptions &options);

// The second half: the composition of an encoded code's symbol with the
// logo and layout of `source`, its damage count and, with `check`, the
// readers' report. Nothing for a code that was not made.
void FinishCode(MadeCode &code, const CodeSource &source, bool check);

// The outcome of a search for a code that scans.
struct RemedySearch {
  std::optional<MadeCode> found; // the first candidate that passes
  int made = 0;                  // candidates made and counted
  int read = 0;                  // of them, candidates the readers ran on
  bool cancelled = false;
  bool outOfTime = false; // stopped by its time budget
  // Every candidate made, in order: the options asked for and the version
  // made (larger than asked where the level did not fit the user's version).
  struct Tried {
    CodeOptions asked;
    int version = 0;
  };
  std::vector<Tried> tried;
};

// Upper bounds of one search: candidates made, and candidates read.
inline constexpr int kMaxCandidates = 48;
inline constexpr int kMaxCandidatesRead = 12;
// And of its time: a reader that fails takes some 50 ms to give up, and
// the window waits for the answer. No candidate starts after it; the first
// one read always is.
inline constexpr int kSearchMilliseconds = 900;
// A search bounded only by its counts: what it offers then does not depend
// on how busy the machine is (the command line, whose output must be the
// same on every run, and tests that judge what is found).
inline constexpr int kNoTimeBudget = -1;

// Looks for a code of `source` that passes the scan check, starting from
// `first`, which does not. Fixed order: a higher level at the smallest
// version that fits, then larger versions; for a text that comes back
// wrong, UTF-8 instead of ANSI and then UTF-8 with ECI 26, each again in
// that order. Candidates whose damage count already fails are skipped
// without running the readers. Stops at `cancel` (checked between
// candidates) and, unless it is kNoTimeBudget, after `milliseconds`.
RemedySearch FindReadableCode(clsQRCode &encoder, const CodeSource &source, const MadeCode &first,
                              const std::atomic<bool> *cancel = nullptr,
                              int milliseconds = kSearchMilliseconds);

} // namespace zub
