// zubqr read: the messages of the QR codes in pictures, by the readers the
// program's own scan check uses.
#include "Commands.h"
#include "LevelLetter.h"
#include "Messages.h"

#include "StandardStreams.h"
#include "SymbolReader.h"
#include "Usage.h"

#include <QBuffer>
#include <QImageReader>
#include <QString>

#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

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

// Standard input is read up to this much: the image reader's own
// allocation limit, so no picture it would accept is cut short, and an
// endless input is refused in bounded memory.
constexpr std::size_t kMaxPictureInput = 256u << 20;

// Why a picture could not be read. Qt's own words are English; a Chinese
// message names the common causes itself rather than mix the two.
std::string ReaderError(const QImageReader &reader) {
  if (MessageLanguage() == Language::English)
    return reader.errorString().toStdString();
  switch (reader.error()) {
  case QImageReader::FileNotFoundError:
    return "找不到这个文件";
  case QImageReader::DeviceError:
    return "文件无法打开";
  case QImageReader::UnsupportedFormatError:
    return "不是能读取的图片格式";
  default:
    return "图片已损坏或无法解码";
  }
}

} // namespace

int Read(const std::vector<std::string> &args) {
  bool hex = false, verbose = false, null = false;
  const std::vector<OptionRule> rules = {
      {"--bytes", 0, false,
       [&hex](std::string_view, std::string &) {
         hex = true;
         return true;
       }},
      {"--null", '0', false,
       [&null](std::string_view, std::string &) {
         null = true;
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
    return UsageError("read", Say("没有要读取的图片", "no IMAGE to read"));

  const bool terminal = ::isatty(STDOUT_FILENO) == 1;
  int status = kOk;
  for (const std::string &path : parsed.positionals) {
    QImageReader reader;
    QByteArray piped;
    QBuffer pipe(&piped);
    std::string why;
    if (path == "-") {
      // "-" is standard input, as a pipe from `zubqr encode -o -` gives it.
      std::vector<std::uint8_t> bytes;
      if (!ReadBounded(STDIN_FILENO, kMaxPictureInput, bytes, why)) {
        why = Say("无法读取标准输入：", "cannot read standard input: ") + why;
      } else if (bytes.size() > kMaxPictureInput) {
        why = Say("标准输入超过 ", "standard input holds more than ") +
              std::to_string(kMaxPictureInput >> 20) +
              Say(" MB，比任何能读取的图片都大", " MB, more than any picture it reads");
      } else {
        piped = QByteArray(reinterpret_cast<const char *>(bytes.data()),
                           static_cast<qsizetype>(bytes.size()));
        pipe.open(QIODevice::ReadOnly);
        reader.setDevice(&pipe);
      }
    } else {
      struct stat st {};
      if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        why = Say("无法读取", "cannot read ") + Quoted(path) +
              Say("：这是一个文件夹", ": it is a folder");
      else
        reader.setFileName(QString::fromStdString(path));
    }
    QImage image;
    if (why.empty()) {
      image = reader.read();
      if (image.isNull())
        why =
            Say("无法读取", "cannot read ") + Quoted(path) + Say("：", ": ") + ReaderError(reader);
    }
    if (!why.empty()) {
      std::cerr << "zubqr read: " << why << "\n";
      status = kFailed;
      continue;
    }
    const std::vector<FoundSymbol> found = ReadSymbols(image);
    if (found.empty()) {
      std::cerr << "zubqr read: " << Say("在", "no QR code found in ") << Quoted(path)
                << Say("中没有找到二维码", "") << "\n";
      status = kFailed;
      continue;
    }
    for (const FoundSymbol &symbol : found) {
      if (verbose)
        std::cerr << Shown(path) << Say("：版本 ", ": version ")
                  << (symbol.version ? std::to_string(symbol.version) : "?")
                  << Say("，纠错等级 ", ", level ")
                  << (symbol.ecLevel ? std::string(1, LevelLetter(symbol.ecLevel)) : "?")
                  << Say("，掩码 ", ", mask ")
                  << (symbol.mask >= 0 ? std::to_string(symbol.mask) : "?") << Say("，", ", ")
                  << symbol.bytes.size() << Say(" 字节（", " bytes (") << symbol.reader
                  << Say("）", ")") << "\n";
      const std::string shown = hex                 ? Hex(symbol.bytes)
                                : terminal && !null ? ForTerminal(symbol.text)
                                                    : symbol.text;
      std::cout << shown;
      if (null)
        std::cout << '\0';
      else
        std::cout << '\n';
    }
  }
  std::cout.flush();
  if (!std::cout || StandardOutputClosed()) {
    std::cerr << "zubqr read: " << Say("无法写入标准输出", "cannot write standard output") << "\n";
    return kFailed;
  }
  return status;
}

} // namespace zub::cli
