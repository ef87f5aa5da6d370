#include "Desktop.h"

#include <QTemporaryDir>

int main(int argc, char **argv) {
  QTemporaryDir scratch;
  return zub::test::RunOnTheDesktop(argc, argv, scratch.path());
}
