// zubqr-gui: the QR-code generator's window.

#include "Form1.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zubqr-gui"));
  QApplication::setDesktopFileName(QStringLiteral("zubqr-gui"));
  QApplication::setWindowIcon(zub::ApplicationIcon());
  // The window speaks Chinese; so do Qt's own dialogs and buttons, where the
  // translation is installed.
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTexts);

  zub::SingleInstance instance;
  zub::Form1 form;
  zub::RouteTerminationSignals(&form, [&form] { form.Form_Unload(); });
  if (!form.Form_Load(instance))
    return 0; // another instance runs: nothing shown, nothing stored
  form.show();
  QApplication::exec();
  // Every way out ends here, with exit code 0.
  return 0;
}
