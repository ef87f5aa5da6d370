// The contrast tests run once per desktop theme, each in a process of its
// own, since Qt reads the platform theme when the application starts:
// --theme=plain (Qt's own), --theme=light and --theme=dark (the GTK theme
// Adwaita and Adwaita:dark, as a GNOME desktop sets them).

#include "Desktop.h"
#include "Dialogs.h"
#include "ThemeContrast.h"

#include <QTemporaryDir>

#include <cstring>

// When the GTK theme sizes its widgets, pango has fontconfig make patterns
// and language sets that its caches keep for the life of the process; their
// stacks end in fontconfig, which nothing of ours calls. Only this program
// loads the GTK theme, so only its leak check is told so.
extern "C" const char *__lsan_default_suppressions() {
  return "leak:libfontconfig.so.1\n";
}

namespace zub::test {
QString theme = QStringLiteral("plain");
} // namespace zub::test

int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--theme=", 8) == 0)
      zub::test::theme = QString::fromLatin1(argv[i] + 8);
  }
  QTemporaryDir scratch;
  qunsetenv("QT_STYLE_OVERRIDE");
  if (zub::test::theme == QLatin1String("plain")) {
    qunsetenv("QT_QPA_PLATFORMTHEME");
  } else {
    qputenv("QT_QPA_PLATFORMTHEME", "gtk3");
    // GTK's settings stay in memory: no settings daemon, and no message bus
    // started for one on the display, whose end would end this process.
    qputenv("GSETTINGS_BACKEND", "memory");
    qputenv("NO_AT_BRIDGE", "1");
    qputenv("GTK_THEME", zub::test::theme == QLatin1String("dark") ? "Adwaita:dark" : "Adwaita");
  }
  // Qt's dialogs speak Chinese, as in the program.
  return zub::test::RunOnTheDesktop(argc, argv, scratch.path(),
                                    [] { zub::InstallQtTranslations(); });
}
