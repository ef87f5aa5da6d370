#pragma once

#include "Language.h"
#include "ScanCheck.h"

#include <QString>

#include <vector>

namespace zub {

// The reader as its makers name it: "zxing-cpp", "zbar", "wechat_qrcode".
QString ReaderWords(ReaderName reader);

// What someone scanning will meet, by kind, from a verdict's causes: each
// front end says it in its own words, worst first.
struct ScanExperience {
  bool unread = false;   // some find no code (a reader, or a block past what it corrects)
  bool wrong = false;    // some read other content
  bool garbled = false;  // some show the text garbled
  bool small = false;    // the modules are too small for a phone
  bool captures = false; // a phone's capture does not read, though the picture does
};
ScanExperience ExperienceOf(const std::vector<ScanCause> &causes);

// One technical line for `cause`, in `language`, with its figures:
// "读码器zbar把文字当作Shift JIS解读，显示成乱码。" or
// "reader zbar takes the text for Shift JIS and shows it garbled."
QString CauseWords(const ScanCause &cause, Language language);

// The package that brings the WeChat engine's reader.
inline constexpr const char *kWechatPackage = "zubqr-wechat-reader";

// When the check ran without OpenCV's WeChat engine (its module not
// installed, not loading or not trusted), the one line that says so and
// which readers checked instead, in `language`; empty when all three ran
// or nothing was checked.
QString WithoutWechatWords(const ScanReport &report, Language language);

} // namespace zub
