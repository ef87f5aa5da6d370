#pragma once

#include <QImage>

#include <string>
#include <vector>

namespace zub {

// Why readers are missing: the module, and either the place where it lies
// but does not load (with the loader's reason) or is not trusted (with the
// file or folder another user could change), or every place it was looked
// for.
struct ReadersProblem {
  std::string module;              // the module's file name
  std::vector<std::string> places; // where it was looked for, in order
  std::string brokenAt;            // the place where it lies but does not load
  std::string reason;              // the loader's words for that place, or what
                                   // another user could change
  bool untrusted = false;          // not loaded because others could change it
};

// OpenCV's wechat_qrcode engine (its plain detector, no model files): the
// text of every QR Code it finds in the 8-bit grey `grey`, in UTF-8.
using WechatScan = std::vector<std::string> (*)(const QImage &grey);

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
  // The WeChat engine, from a module and a package of its own (it brings
  // OpenCV and what OpenCV brings): null when that module is not installed,
  // does not load or is not trusted, `wechatProblem` then saying why.
  WechatScan wechat;
  const ReadersProblem *wechatProblem;
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

// Why Readers() is null; empty `module` while the readers load (or are
// linked in).
const ReadersProblem &ReadersLoadProblem();

// The WeChat engine's reader of the program that builds the table: linked
// in (the tests' zub_linked_readers) or loaded from its module beside the
// module that asks (WechatLoader.cpp). Null, with `problem` said, when it
// cannot be had.
WechatScan FindWechatReader(ReadersProblem &problem);

// The file name of the WeChat engine's module.
inline constexpr const char *kWechatModule = "zubqr-wechat.so";

// Opens the module at `place` (dlopen) when no one but the user and root
// can change it (trust/); else null, with `problem` saying where and why:
// not trusted, or the loader's own reason.
void *OpenTrustedModule(const std::string &place, ReadersProblem &problem);

} // namespace zub

// The table of the readers' module, as it exports it.
extern "C" const zub::ReaderCalls *zub_reader_calls();
// The WeChat engine's reader, as its module exports it.
extern "C" zub::WechatScan zub_wechat_scan();
