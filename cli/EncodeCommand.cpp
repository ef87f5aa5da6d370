// zubqr encode: message bytes to the symbol picture, one pixel per module.
#include "Commands.h"

#include "ImageFile.h"
#include "Options.h"
#include "Stretch.h"

#include <iostream>

namespace zub::cli {

namespace {

const char *LevelName(int level) {
  static const char *names[] = {"L", "M", "Q", "H"};
  return names[level - 1];
}

} // namespace

bool WritePicture(const QImage &image, const QString &path, std::string &error) {
  const ImageFileFormat format = path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
                                     ? ImageFileFormat::Png
                                     : ImageFileFormat::Bmp;
  QString reason;
  if (WriteImageFile(image, path, format, reason, ReasonLanguage::English))
    return true;
  error = reason.toStdString();
  return false;
}

int SymbolFor(const char *command, const EncodeOptions &options, Message &message,
              Picture &symbol) {
  std::string error;
  if (!ReadMessage(options, message, error)) {
    std::cerr << "zubqr " << command << ": " << error << "\n";
    return kFailed;
  }
  if (message.tooLong) {
    std::cerr << "zubqr " << command << ": the message (more than " << message.bytes.size() - 1
              << " bytes) does not fit any version\n";
    return kFailed;
  }
  clsQRCode encoder;
  symbol = encoder.MakeSymbol(message.bytes.data(), static_cast<int>(message.bytes.size()),
                              options.version, options.ecLevel, options.mask, message.kanji);
  if (symbol.isNull()) {
    const std::string where =
        options.version == 0 ? "any version" : "version " + std::to_string(options.version);
    std::cerr << "zubqr " << command << ": the message (" << message.bytes.size()
              << " bytes) does not fit " << where << " at level " << LevelName(options.ecLevel)
              << "\n";
    return kFailed;
  }
  return kOk;
}

int Encode(const std::vector<std::string> &args) {
  EncodeOptions options;
  std::string error;
  if (!ParseEncodeOptions(args, options, error)) {
    std::cerr << "zubqr encode: " << error << "\n" << Usage();
    return kUsage;
  }
  Message message;
  Picture symbol;
  if (SymbolFor("encode", options, message, symbol) != kOk)
    return kFailed;
  if (!WritePicture(SymbolView(symbol), QString::fromStdString(options.output), error)) {
    std::cerr << "zubqr encode: cannot write '" << options.output << "': " << error << "\n";
    return kFailed;
  }
  return kOk;
}

} // namespace zub::cli
