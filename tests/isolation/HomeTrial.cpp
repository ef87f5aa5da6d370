// Started by the isolation tests with a home of their making: its one test
// does to a file what ZUB_TRIAL says ("write PATH", "write-at-exit PATH",
// "write-and-remove PATH", "remove PATH", "read PATH"; a PATH starting with
// "~/" is in the home the process has while it runs, its scratch home).

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string target;

void Write() {
  std::ofstream(target) << "written\n";
}

TEST(Trial, Act) {
  const char *trial = std::getenv("ZUB_TRIAL");
  if (trial == nullptr)
    GTEST_SKIP() << "started without ZUB_TRIAL";
  const std::string what(trial);
  const auto space = what.find(' ');
  ASSERT_NE(space, std::string::npos);
  const std::string act = what.substr(0, space);
  target = what.substr(space + 1);
  if (target.rfind("~/", 0) == 0)
    target = std::string(std::getenv("HOME")) + target.substr(1);
  if (act == "write") {
    Write();
  } else if (act == "write-at-exit") {
    std::atexit(Write);
  } else if (act == "write-and-remove") {
    Write();
    ASSERT_EQ(std::remove(target.c_str()), 0);
  } else if (act == "remove") {
    ASSERT_EQ(std::remove(target.c_str()), 0);
  } else if (act == "read") {
    std::string text;
    ASSERT_TRUE(std::getline(std::ifstream(target), text));
  } else {
    FAIL() << "no such act: " << act;
  }
}

} // namespace
