// zubqr-gui: the QR-code generator's window.

#include "Dialogs.h"
#include "MainWindow.h"
#include "OwnPictures.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"
#include "Theme.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

// bench/startup.sh times the start-up to the first painted window: with
// ZUBQR_MARK_FIRST_PAINT set, the wall-clock time in milliseconds once the
// window has painted for the first time goes to standard error.
class FirstPaintMark : public QObject {
public:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Paint) {
      watched->removeEventFilter(this);
      // Once the paint has been handed to the window system.
      QTimer::singleShot(0, [] {
        std::fprintf(stderr, "zubqr-gui: first paint %lld\n",
                     static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
        std::fflush(stderr);
      });
    }
    return false;
  }
};

// --help and --version are answered on standard output without a window
// (and without a display); anything else the window ignores, as it did.
bool AnsweredWithoutWindow(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs("usage: zubqr-gui\n"
                 "Opens the Zub QR Code Generator window (Zub二维码生成器); it takes no\n"
                 "options. The command line of the same codes is zubqr (zubqr --help).\n"
                 "  -h, --help     this text\n"
                 "  -V, --version  the program's version\n",
                 stdout);
      return true;
    }
    if (arg == "--version" || arg == "-V") {
      std::fputs("zubqr-gui " ZUB_VERSION "\n", stdout);
      return true;
    }
  }
  return false;
}

} // namespace

int main(int argc, char **argv) {
  // A save that reaches the file size limit (ulimit -f) fails with EFBIG
  // and is told like any other failed save, instead of ending the program
  // with the picture unsaved.
  std::signal(SIGXFSZ, SIG_IGN);
  if (AnsweredWithoutWindow(argc, argv))
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  // Decoded while the application object connects to the display.
  zub::PrefetchOwnPictures();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zubqr-gui"));
  QApplication::setDesktopFileName(QStringLiteral("zubqr-gui"));
  QApplication::setWindowIcon(zub::ApplicationIcon());
  // The window speaks Chinese; so do Qt's own dialogs and buttons.
  zub::InstallQtTranslations();

  // The skin the window loads is set before its controls exist: set later,
  // every control already made would be styled a second time.
  zub::ApplySkinFile(zub::DefaultSkinPath());
  zub::MakeThemeReadable();
  zub::SingleInstance instance;
  zub::MainWindow form;
  zub::RouteTerminationSignals(&form, [&form] { form.unload(); });
  if (!form.load(instance))
    return 0; // another instance runs: nothing shown, nothing stored
  FirstPaintMark mark;
  if (qEnvironmentVariableIsSet("ZUBQR_MARK_FIRST_PAINT"))
    form.installEventFilter(&mark);
  form.show();
  QApplication::exec();
  // Every way out ends here, with exit code 0. Work of a generation that
  // still runs (a large logo being decoded) cannot be interrupted, and its
  // result is no longer wanted: the process ends without waiting for it.
  if (form.generating()) {
    instance.release();
    std::fflush(nullptr);
    std::_Exit(0);
  }
  return 0;
}
