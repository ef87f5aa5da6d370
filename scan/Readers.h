#pragma once

#include <QImage>

#include <string>
#include <vector>

namespace zub {

// The scan check's only calls into its readers: zxing-cpp, zbar and
// OpenCV's wechat_qrcode.
// They sit behind this table so that the window can load them on first use
// (from a module of their own) instead of at start; the command line and
// the tests have them linked in.
struct ReaderCalls {
  struct Code {
    std::string bytes; // the data as the symbol carries it
    std::string text;  // as zxing-cpp shows it (UTF-8)
  };
  // zxing-cpp's valid QR Codes in the 8-bit grey `grey`, at most `most`.
  std::vector<Code> (*zxing)(const QImage &grey, int most);
  // zbar's QR Codes in unpadded 8-bit grey pixels: their bytes as they are
  // (`binary`), or the text zbar makes of them, guessing the character set
  // unless the symbol names it.
  std::vector<std::string> (*zbar)(const std::vector<std::uint8_t> &pixels, unsigned width,
                                   unsigned height, bool binary);
  // OpenCV's wechat_qrcode engine (its plain detector, no model files): the
  // text of every QR Code it finds in the 8-bit grey `grey`, in UTF-8.
  std::vector<std::string> (*wechat)(const QImage &grey);
};

// Where a program's readers come from: linked in (zub_linked_readers) or
// loaded on first use (the window's loader). Null when they cannot be had.
using ReaderSource = const ReaderCalls *(*)();

// Names the program's one source of readers. Each program registers exactly
// one, before main() runs, from the object library it links; a second,
// different source is a fault of the build and stops the program.
void RegisterReaders(ReaderSource source);

// The readers of this program, from its registered source. Null when none
// is registered or they cannot be loaded.
const ReaderCalls *Readers();

// The source of zub_linked_readers: the readers linked into the program.
const ReaderCalls *LinkedReaders();

// Why Readers() is null: the module, and either the place where it lies but
// does not load (with the loader's reason) or is not trusted (with the file
// or folder another user could change), or every place it was looked for.
struct ReadersProblem {
  std::string module;              // the module's file name
  std::vector<std::string> places; // where it was looked for, in order
  std::string brokenAt;            // the place where it lies but does not load
  std::string reason;              // the loader's words for that place, or what
                                   // another user could change
  bool untrusted = false;          // not loaded because others could change it
};
// Empty `module` while the readers load (or are linked in).
const ReadersProblem &ReadersLoadProblem();

} // namespace zub

// The table of the readers' module, as it exports it.
extern "C" const zub::ReaderCalls *zub_reader_calls();
