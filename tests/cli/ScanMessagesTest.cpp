// What zubqr says of a code that may not scan, from the verdict alone.
#include "ScanMessages.h"
#include "Messages.h"

#include <gtest/gtest.h>

#include <string>

namespace zub::cli {
namespace {

ReaderOutcome Exact() {
  return {true, true, true, {}, {}};
}

// The graver cause first: where one reader finds nothing and another reads
// other bytes, the warning says the code cannot be scanned, not that its
// content differs; where the readers only read other bytes, it says that.
TEST(ScanMessages, CannotScanComesBeforeOtherContent) {
  const bool chinese = MessageLanguage() == Language::Chinese;
  const std::string cannotScan = chinese ? "扫不出" : "cannot scan";
  const std::string otherContent = chinese ? "内容与原文不同" : "other content";
  ScanReport report;
  report.captures.read = true;
  report.zbar = {true, false, true, "other", {}};
  report.wechat = Exact();
  for (const bool zxingReads : {false, true}) {
    SCOPED_TRACE(zxingReads);
    report.zxing = zxingReads ? Exact() : ReaderOutcome{};
    ASSERT_TRUE(report.Fails());
    const std::string warning = ScanWarning(report, false);
    EXPECT_EQ(warning.find(cannotScan) != std::string::npos, !zxingReads) << warning;
    EXPECT_EQ(warning.find(otherContent) != std::string::npos, zxingReads) << warning;
  }
}

} // namespace
} // namespace zub::cli
