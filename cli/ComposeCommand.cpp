// zubqr compose: the window's main road without a window. The message
// becomes a symbol stretched over the canvas, the logo goes into its rounded
// box, and the composite is written; the pixels are the window's own.
#include "Commands.h"

#include "Composite.h"
#include "LogoImage.h"
#include "Options.h"
#include "ScanCheck.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace zub::cli {

namespace {

// Image decoders (libpng, libjpeg through Qt) print their own complaints to
// standard error; while the logo loads they go nowhere, and the command says
// once what went wrong.
class QuietStandardError {
public:
  QuietStandardError() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0)
      dup2(null, STDERR_FILENO);
    if (null >= 0)
      close(null);
  }
  ~QuietStandardError() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }
  QuietStandardError(const QuietStandardError &) = delete;
  QuietStandardError &operator=(const QuietStandardError &) = delete;

private:
  int saved_ = -1;
};

} // namespace

int Compose(const std::vector<std::string> &args) {
  EncodeOptions options;
  std::optional<std::string> logoPath;
  std::string error;
  const auto logoOption = [&logoPath](std::string_view name, std::string_view value,
                                      std::string &) {
    if (name != "--logo")
      return false;
    logoPath = std::string(value);
    return true;
  };
  if (!ParseEncodeOptions(args, options, error, logoOption)) {
    std::cerr << "zubqr compose: " << error << "\n" << Usage();
    return kUsage;
  }
  if (!logoPath) {
    std::cerr << "zubqr compose: --logo FILE is missing\n" << Usage();
    return kUsage;
  }
  // Nothing is written unless both the symbol and the logo are there.
  Message message;
  Picture symbol;
  if (SymbolFor("compose", options, message, symbol) != kOk)
    return kFailed;
  const LogoLoad logo = [&logoPath] {
    QuietStandardError quiet;
    return LoadLogo(QString::fromStdString(*logoPath));
  }();
  if (logo.image.isNull()) {
    std::cerr << "zubqr compose: cannot use the logo: " << logo.error.toStdString() << "\n";
    return kFailed;
  }

  const QImage composite = ComposeQRPicture(symbol, logo.image);
  if (!WritePicture(composite, QString::fromStdString(options.output), error)) {
    std::cerr << "zubqr compose: cannot write '" << options.output << "': " << error << "\n";
    return kFailed;
  }
  if (!ReadsBack(composite, message.bytes))
    std::cerr << "zubqr compose: warning: "
              << ScanWarningText().replace(QLatin1String("\r\n"), QLatin1String(" ")).toStdString()
              << "\n";
  return kOk;
}

} // namespace zub::cli
