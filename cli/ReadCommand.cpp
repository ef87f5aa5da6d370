// zubqr read: the messages of the QR codes in pictures, by the readers the
// program's own scan check uses.
#include "Commands.h"

#include "SymbolReader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QString>

#include <iostream>

namespace zub::cli {

namespace {

std::string Hex(const std::vector<std::uint8_t> &bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

} // namespace

int Read(const std::vector<std::string> &args) {
  bool hex = false, verbose = false;
  const std::vector<OptionRule> rules = {
      {"--bytes", 0, false,
       [&hex](std::string_view, std::string &) {
         hex = true;
         return true;
       }},
      {"--verbose", 'v', false,
       [&verbose](std::string_view, std::string &) {
         verbose = true;
         return true;
       }},
  };
  ParsedArgs parsed;
  if (const int done = ParseCommand("read", ReadUsage(), args, rules, parsed); done >= 0)
    return done;
  if (parsed.positionals.empty())
    return UsageError("read", "no IMAGE to read", ReadUsage());

  static const char *const levels[] = {"L", "M", "Q", "H"};
  int status = kOk;
  for (const std::string &path : parsed.positionals) {
    // "-" is standard input, as a pipe from `zubqr encode -o -` gives it.
    QFile input;
    QByteArray piped;
    QBuffer pipe(&piped);
    if (path == "-" && input.open(stdin, QIODevice::ReadOnly)) {
      piped = input.readAll();
      pipe.open(QIODevice::ReadOnly);
    }
    QImageReader reader;
    if (path == "-")
      reader.setDevice(&pipe);
    else
      reader.setFileName(QString::fromStdString(path));
    const QImage image = reader.read();
    if (image.isNull()) {
      std::cerr << "zubqr read: cannot read '" << path
                << "': " << reader.errorString().toStdString() << "\n";
      status = kFailed;
      continue;
    }
    const std::vector<FoundSymbol> found = ReadSymbols(image);
    if (found.empty()) {
      std::cerr << "zubqr read: no QR code found in '" << path << "'\n";
      status = kFailed;
      continue;
    }
    for (const FoundSymbol &symbol : found) {
      if (verbose)
        std::cerr << path << ": version " << (symbol.version ? std::to_string(symbol.version) : "?")
                  << ", level " << (symbol.ecLevel ? levels[symbol.ecLevel - 1] : "?") << ", mask "
                  << (symbol.mask >= 0 ? std::to_string(symbol.mask) : "?") << ", "
                  << symbol.bytes.size() << " bytes (" << symbol.reader << ")\n";
      std::cout << (hex ? Hex(symbol.bytes) : symbol.text) << "\n";
    }
  }
  std::cout.flush();
  if (!std::cout || StandardOutputClosed()) {
    std::cerr << "zubqr read: cannot write standard output\n";
    return kFailed;
  }
  return status;
}

} // namespace zub::cli
