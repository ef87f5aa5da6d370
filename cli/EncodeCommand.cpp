// zubqr encode: message bytes to the symbol picture, one pixel per module.
#include "Commands.h"

#include "BitmapFile.h"
#include "Options.h"
#include "Stretch.h"

#include <QImageWriter>
#include <QSaveFile>

#include <iostream>

namespace zub::cli {

namespace {

const char *LevelName(int level) {
  static const char *names[] = {"L", "M", "Q", "H"};
  return names[level - 1];
}

} // namespace

bool WritePicture(const QImage &image, const QString &path, std::string &error) {
  QString reason;
  if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
    if (WriteBitmapFile(image, path, reason))
      return true;
    error = reason.toStdString();
    return false;
  }
  QSaveFile file(path);
  file.setDirectWriteFallback(false);
  QImageWriter writer(&file, "png");
  if (!file.open(QIODevice::WriteOnly) || !writer.write(image) || !file.commit()) {
    error =
        (writer.error() != QImageWriter::UnknownError ? writer.errorString() : file.errorString())
            .toStdString();
    return false;
  }
  return true;
}

std::string DoesNotFit(const EncodeOptions &options, std::size_t bytes) {
  std::string where =
      options.version == 0 ? "any version" : "version " + std::to_string(options.version);
  return "the message (" + std::to_string(bytes) + " bytes) does not fit " + where + " at level " +
         LevelName(options.ecLevel);
}

int Encode(const std::vector<std::string> &args) {
  EncodeOptions options;
  std::string error;
  if (!ParseEncodeOptions(args, options, error)) {
    std::cerr << "zubqr encode: " << error << "\n" << Usage();
    return kUsage;
  }
  Message message;
  if (!ReadMessage(options, message, error)) {
    std::cerr << "zubqr encode: " << error << "\n";
    return kFailed;
  }

  clsQRCode encoder;
  const Picture symbol =
      encoder.MakeSymbol(message.bytes.data(), static_cast<int>(message.bytes.size()),
                         options.version, options.ecLevel, options.mask, message.kanji);
  if (symbol.isNull()) {
    std::cerr << "zubqr encode: " << DoesNotFit(options, message.bytes.size()) << "\n";
    return kFailed;
  }
  if (!WritePicture(SymbolView(symbol), QString::fromStdString(options.output), error)) {
    std::cerr << "zubqr encode: cannot write '" << options.output << "': " << error << "\n";
    return kFailed;
  }
  return kOk;
}

} // namespace zub::cli
