#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
  // Nothing of the user's: the process has a home of its own
  // (ScratchHome.cpp), and the window's settings live in a scratch folder.
  QTemporaryDir scratch;
  // Listing the tests happens without the tests' environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.path());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path()));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
