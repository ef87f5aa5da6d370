#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

namespace zub::test {

// The X desktop of this run: an Xvfb server with openbox on it, both ended
// with the run. `ready` is false, with the reason, when a program is missing
// (the tests then skip) or when they are installed but do not come up (the
// tests then fail: a broken desktop must not pass for a missing one).
struct Desktop {
  bool ready = false;
  bool installed = false;
  QString why;
  QString display; // ":N"
};

const Desktop &TheDesktop();

// Starts the desktop and points DISPLAY and the Qt platform at it; the X
// server's compiled keymaps go to a folder in `scratch`. Called once by main,
// before the application object exists.
void StartDesktop(const QString &scratch);
void StopDesktop();

// The main() of a desktop test program: the desktop up (unless the tests
// are only listed), an application whose settings and the X server's
// keymaps live in `scratch`,
// `started` once it exists, every test run, the desktop down.
int RunOnTheDesktop(int argc, char **argv, const QString &scratch, void (*started)() = nullptr);

// Runs xdotool with `args` on the desktop; true when it succeeded.
bool Xdo(const QStringList &args);
// The pointer is warped to `at` (screen pixels).
bool MovePointer(QPoint at);

} // namespace zub::test
