#include "Desktop.h"

#include <QTemporaryDir>

int main(int argc, char **argv) {
  QTemporaryDir scratch;
  qputenv("XDG_RUNTIME_DIR", scratch.path().toLocal8Bit());
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  return zub::test::RunOnTheDesktop(argc, argv, scratch.path());
}
