// The words the front ends say a form's problems in.
#include "PayloadWords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace zub::test {
namespace {

// Every problem has words in both languages, distinct within each, and
// the Chinese ones speak Chinese.
TEST(PayloadWords, EveryProblemIsSaidInBothLanguages) {
  std::set<std::string> chinese, english;
  for (int i = 0; i <= static_cast<int>(PayloadProblem::EndBeforeStart); ++i) {
    const auto problem = static_cast<PayloadProblem>(i);
    const std::string zh = PayloadProblemWords(problem, Language::Chinese);
    const std::string en = PayloadProblemWords(problem, Language::English);
    EXPECT_FALSE(zh.empty()) << i;
    EXPECT_FALSE(en.empty()) << i;
    EXPECT_TRUE(std::any_of(zh.begin(), zh.end(), [](char c) { return c & 0x80; })) << zh;
    EXPECT_TRUE(std::none_of(en.begin(), en.end(), [](char c) { return c & 0x80; })) << en;
    chinese.insert(zh);
    english.insert(en);
  }
  EXPECT_EQ(chinese.size(), english.size());
  EXPECT_EQ(chinese.size(), static_cast<std::size_t>(PayloadProblem::EndBeforeStart) + 1);
}

} // namespace
} // namespace zub::test
