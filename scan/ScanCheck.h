#pragma once

#include "ModuleDamage.h"
#include "PhoneCaptures.h"
#include "Readers.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zub {

// What one reader made of a composite.
struct ReaderOutcome {
  bool read = false;       // it found a QR Code at all
  bool bytesExact = false; // its payload bytes are exactly the message
  bool textExact = false;  // the text it shows is the typed text (true without one)
  std::string text;        // the text it shows, UTF-8
  // When the bytes are right but the text is not: the character set the
  // reader took them for ("Shift JIS", "ISO-8859-1", ...); empty if unknown.
  QString misreadAs;

  bool Exact() const { return read && bytesExact && textExact; }
};

// A composite to judge and what it should give back.
struct ScanSubject {
  QImage composite;  // exactly as it is saved
  QImage symbol;     // the encoder's picture it was made from
  SymbolFacts facts; // that symbol's, as the encoder made it
  QRect logoBox;     // where the logo lies in the composite; empty without one
  std::vector<std::uint8_t> message;
  // The typed text the message was made of; none for raw bytes, whose
  // text no one types and so no reader can get wrong.
  std::optional<QString> text;
};

// The readers of the check, in the order they are named.
enum class ReaderName { Zxing, Zbar, Wechat };

// One reason a composite fails the check, with its figures; the front ends
// put it into words.
struct ScanCause {
  enum Kind {
    Unread,             // `reader` finds no QR Code
    WrongContent,       // `reader` finds one, with other bytes than the message
    Garbled,            // `reader` has the bytes but shows another text
    BlocksOverCapacity, // block `block` (from 0) has `wrong` wrong codewords, it corrects
                        // `capacity`
    PatternsCovered,    // the logo covers `parts` (FunctionPart bits)
    UnevenStretch,      // the stretch makes modules `minPixels` to `maxPixels` wide
    SmallModules,       // modules as small as `minPixels` (to `maxPixels`): too small for
                        // a phone at the usual distance
    CaptureMissed,      // `reader` reads the picture but not the captures `captures`
                        // (CaptureBit bits)
  };
  Kind kind = Unread;
  ReaderName reader = ReaderName::Zxing;
  QString charset; // Garbled: the character set the reader took the bytes for; empty: unknown
  int block = -1, wrong = 0, capacity = 0;
  int otherBlocks = 0; // BlocksOverCapacity: further blocks past their capacity
  unsigned parts = 0;
  int minPixels = 0, maxPixels = 0;
  unsigned captures = 0;

  bool operator==(const ScanCause &) const = default;
};

// What the readers that phones run made of the phone captures of a
// composite (PhoneCapture).
struct CaptureOutcome {
  bool read = false;        // the captures were read (not for a code whose
                            // modules are too small for a phone, nor where a
                            // report that stops at the first failure failed
                            // before them)
  unsigned zxingMissed = 0; // CaptureBit bits of the captures zxing-cpp did not read exactly
  unsigned wechatMissed = 0;

  bool Passes() const { return read && zxingMissed == 0 && wechatMissed == 0; }
};

// The verdict on a composite: three independent readers, the damage count,
// the size of its modules and what phones make of its captures.
struct ScanReport {
  ReaderOutcome zxing;
  ReaderOutcome zbar;
  ReaderOutcome wechat; // OpenCV's wechat_qrcode
  ModuleDamage damage;
  CaptureOutcome captures; // zxing-cpp's and wechat_qrcode's
  // False when the readers could not be loaded: nothing was read, which
  // says nothing of the code. Such a report never passes, and is no failure
  // either: no cause is named and no remedy sought.
  bool checked = true;
  ReadersProblem notChecked; // why, when not checked
  // Whether OpenCV's wechat_qrcode was among the readers. Its module comes
  // in a package of its own: where it is not installed, does not load or
  // is not trusted, the check stands on zxing-cpp and zbar, and the
  // captures on zxing-cpp alone (`wechat` is then not read and names no
  // cause); `withoutWechat` says why.
  bool wechatRan = true;
  ReadersProblem withoutWechat;

  // All the readers that ran give exactly the message (and its text), no block
  // has more wrong codewords than it corrects, the modules are large enough
  // for a phone and the readers phones run read every capture.
  bool Passes() const;
  // The modules are smaller than kPhoneModulePixels in either direction.
  bool SmallModules() const { return damage.SmallModules(); }
  // The check ran and the code did not pass it.
  bool Fails() const { return checked && !Passes(); }
  // Why it does not: the readers in order, then the worst block past its
  // capacity, then (when a reader finds nothing) what the logo covers and an
  // uneven stretch, then modules too small for a phone and the captures a
  // reader misses though it reads the picture. Empty when it passes or was
  // not checked.
  std::vector<ScanCause> Causes() const;
};

// How much of a composite CheckScan reads.
enum class ScanDepth {
  Whole, // every reader, for a report that names every cause
  // Only as far as it takes to know whether the code passes: OpenCV's
  // wechat_qrcode, much the slowest reader where it finds nothing, is
  // asked only when the other two read exactly, no block is past what it
  // corrects and the modules are large enough; the captures only then, and
  // wechat_qrcode on them only when zxing-cpp reads them all, one at a time
  // until one fails. What was not asked says nothing of the code (not
  // read); a report that passes is whole.
  UntilItFails,
};

// Judges `subject`; not checked when the readers cannot be loaded. Makes
// the greys once, runs zbar, wechat_qrcode and the captures on the thread
// pool beside zxing-cpp and counts the damage.
ScanReport CheckScan(const ScanSubject &subject, ScanDepth depth = ScanDepth::Whole);

// What zxing-cpp and zbar make of `picture`, each on its own.
ReaderOutcome ReadWithZxing(const QImage &picture, const std::vector<std::uint8_t> &message,
                            const std::optional<QString> &text);
// zbar is asked about the grey picture Qt makes and, where it differs,
// about the one zbar's own command-line front end makes of the saved file
// (Rec. 709 weights of the colour values as they are): the stricter
// outcome of the two holds.
ReaderOutcome ReadWithZbar(const QImage &picture, const std::vector<std::uint8_t> &message,
                           const std::optional<QString> &text);

// What OpenCV's wechat_qrcode engine makes of `picture`. It gives text
// only: its bytes are right when the text is the message read in some
// character set (the typed text, for typed text).
ReaderOutcome ReadWithWechat(const QImage &picture, const std::vector<std::uint8_t> &message,
                             const std::optional<QString> &text);

// Every QR Code zbar finds in `picture`: its data as bytes (`binary`) or as
// the text zbar makes of them, in zbar's order.
std::vector<std::string> ZbarMessages(const QImage &picture, bool binary);

// Whether all the readers there are (three, or two without the WeChat
// engine's module) find, in `picture` as it is, a QR Code whose content is
// exactly `message`. Changes nothing.
bool ReadsBack(const QImage &picture, const std::vector<std::uint8_t> &message);

// The threads the check may run its readers and captures on beside the
// thread that calls it: 0 runs all of them on the calling thread, one after
// another. Unset, as many as the machine has cores (two at the least). A
// program that bounds its threads (zubqr --threads) sets it before it
// checks, to what its own threads leave; the verdicts do not depend on it.
void SetCheckHelperThreads(int helpers);

// While one lives, the check asks `calls` instead of the program's readers:
// the check without the WeChat engine's module is tested with the others
// as they are, and tests watch how the check calls them.
class ReadersForTest {
public:
  explicit ReadersForTest(const ReaderCalls &calls);
  ~ReadersForTest();
  ReadersForTest(const ReadersForTest &) = delete;
  ReadersForTest &operator=(const ReadersForTest &) = delete;

private:
  ReaderCalls calls_;
};

// While one lives, the check runs as if the readers could not be loaded,
// for `problem`: what the window and the commands do then is tested without
// taking their module away.
class ReadersMissingForTest {
public:
  explicit ReadersMissingForTest(ReadersProblem problem);
  ~ReadersMissingForTest();
  ReadersMissingForTest(const ReadersMissingForTest &) = delete;
  ReadersMissingForTest &operator=(const ReadersMissingForTest &) = delete;

private:
  ReadersProblem problem_;
};

} // namespace zub
