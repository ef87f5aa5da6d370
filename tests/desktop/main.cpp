#include "Desktop.h"

#include <QFile>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char **argv) {
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    listing = listing || std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
  QTemporaryDir scratch;
  qputenv("XDG_RUNTIME_DIR", scratch.path().toLocal8Bit());
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  if (!listing)
    zub::test::StartDesktop();
  int status = 0;
  {
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.path());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path()));
    ::testing::InitGoogleTest(&argc, argv);
    status = RUN_ALL_TESTS();
  }
  zub::test::StopDesktop();
  return status;
}
