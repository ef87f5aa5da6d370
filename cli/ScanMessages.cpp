#include "ScanMessages.h"

#include "LevelLetter.h"
#include "Messages.h"
#include "ScanWords.h"

#include <algorithm>

namespace zub::cli {

namespace {

bool InChinese() {
  return MessageLanguage() == Language::Chinese;
}

// What someone scanning meets, worst first; then modules too small for a
// phone, or phone captures that do not read.
std::string Experience(const ScanReport *report) {
  const auto [unread, wrong, garbled, small, captures] =
      report ? ExperienceOf(report->Causes()) : ScanExperience{};
  std::string out;
  if (unread || wrong)
    out = wrong && !unread ? Say("有些手机扫出的内容与原文不同",
                                 "some phones read other content than the message")
                           : Say("有些手机扫不出这个二维码", "some phones cannot scan this code");
  else if (garbled)
    out = Say("有些扫码软件会把文字显示成乱码", "some scanning apps show the text garbled");
  if (small)
    return out.empty() ? Say("二维码的点太小，手机可能扫不出",
                             "the modules are too small: phones may not scan this code")
                       : out + Say("；二维码的点也太小", "; its modules are too small as well");
  if (out.empty())
    return captures ? Say("这个二维码作为图片能读出，但用手机对着拍时可能扫不出",
                          "the picture reads as a file, but phones held before it may not scan it")
                    : Say("有些手机扫不出这个二维码", "some phones cannot scan this code");
  return out;
}

// The causes, one indented line each, after a line break; empty unless
// verbose.
std::string Causes(const ScanReport *report, bool verbose) {
  if (!verbose || !report)
    return {};
  std::string out;
  for (const ScanCause &c : report->Causes())
    out += "\n  " + CauseWords(c, MessageLanguage()).toStdString();
  return out;
}

// The options that differ, as they are typed: "--level Q --eci 26".
std::string OptionChange(const CodeOptions &from, const CodeOptions &to) {
  std::string out;
  const auto add = [&out](const std::string &option) { out += (out.empty() ? "" : " ") + option; };
  if (from.version != to.version)
    add("--version " + std::to_string(to.version));
  if (from.ecLevel != to.ecLevel)
    add(std::string("--level ") + LevelLetter(to.ecLevel));
  if (from.encoding != to.encoding)
    add(to.encoding == TextEncoding::Utf8 ? "--encoding utf8" : "--encoding ansi");
  if (from.eci != to.eci)
    add("--eci " + std::to_string(to.eci));
  return out;
}

// All the readers of `code`'s check: three, or two without the WeChat
// engine.
bool TwoReaders(const MadeCode &code) {
  return code.report && !code.report->wechatRan;
}

std::string Code(const MadeCode &code) {
  const std::string level(1, LevelLetter(code.options.ecLevel));
  std::string encoding = code.options.encoding == TextEncoding::Utf8 ? "UTF-8" : "ANSI";
  if (code.options.eci != 0)
    encoding += " (ECI " + std::to_string(code.options.eci) + ")";
  return InChinese() ? "版本" + std::to_string(code.picture.facts().version) + "、纠错等级" +
                           level + "、" + encoding
                     : "version " + std::to_string(code.picture.facts().version) + ", level " +
                           level + ", " + encoding;
}

} // namespace

std::string ScanWarning(const ScanReport &report, bool verbose) {
  return (InChinese() ? "警告：" + Experience(&report) + "。加上 --readable 可改用能扫出的设置。"
                      : "warning: " + Experience(&report) +
                            "; --readable would choose options that scan.") +
         Causes(&report, verbose);
}

std::string NotCheckedMessage(const ScanReport &report) {
  const ReadersProblem &p = report.notChecked;
  const std::string module = p.module.empty() ? "zubqr-readers.so" : p.module;
  if (!p.brokenAt.empty() && p.untrusted)
    return InChinese() ? "无法检查二维码能否被扫出：读码模块" + p.brokenAt + "不可信：" + p.reason +
                             "可能被其他用户改动，所以没有载入。"
                       : "cannot check whether the code scans: the readers' module " + p.brokenAt +
                             " is not trusted: " + p.reason +
                             " may be changed by another user, so it was not loaded";
  if (!p.brokenAt.empty())
    return InChinese() ? "无法检查二维码能否被扫出：读码模块" + p.brokenAt + "无法载入（" +
                             p.reason + "）。"
                       : "cannot check whether the code scans: the readers' module " + p.brokenAt +
                             " does not load (" + p.reason + ")";
  std::string places;
  for (const std::string &place : p.places)
    places += (places.empty() ? "" : InChinese() ? "、" : ", ") + place;
  if (InChinese())
    return "无法检查二维码能否被扫出：找不到读码模块" + module +
           (places.empty() ? "" : "（查找过：" + places + "）") + "。";
  return "cannot check whether the code scans: the readers' module " + module + " is missing" +
         (places.empty() ? "" : " (looked in " + places + ")");
}

std::string WithoutWechatMessage(const ScanReport &report) {
  return WithoutWechatWords(report, MessageLanguage()).toStdString();
}

std::string ChangedMessage(const MadeCode &first, const MadeCode &found, bool verbose) {
  const std::string change = OptionChange(first.options, found.options);
  const std::string experience = Experience(first.report ? &*first.report : nullptr);
  std::string out = InChinese()
                        ? "已改用 " + change + " 生成：按原设置" + experience + "。"
                        : "written with " + change + " instead: as asked, " + experience + ".";
  if (verbose)
    out += Causes(first.report ? &*first.report : nullptr, true) + "\n  " +
           (InChinese()
                ? "写出的二维码：" + Code(found) +
                      (TwoReaders(found)
                           ? "，zxing-cpp和zbar都能正确读出，zxing-cpp也能读出模拟的手机拍摄画面。"
                           : "，三个读码器都能正确读出，模拟的手机拍摄画面也能读出。")
                : "written: " + Code(found) +
                      (TwoReaders(found)
                           ? ", read right by zxing-cpp and zbar, and by zxing-cpp in "
                             "phone captures."
                           : ", read right by all three readers and in phone captures."));
  return out;
}

std::string NothingWrittenMessage(const MadeCode &first, const RemedySearch &search, bool withLogo,
                                  bool verbose) {
  const ScanReport *report = first.report ? &*first.report : nullptr;
  const bool tooLong = TooLongForPhones(first, search);
  std::string out;
  if (InChinese())
    out = "没有写出文件：" + Experience(report) +
          (tooLong ? "；这段文字太长，在这个尺寸下放得下它的二维码点都太小。请缩短文字。"
                   : std::string(search.everyKindTried
                                     ? "，换用其他版本、纠错等级或编码也不能解决。"
                                     : "，试过的其他版本、纠错等级和编码中没有容易扫描的。") +
                         "请缩短文字" + (withLogo ? "，或不加Logo" : "") + "。");
  else
    out = "nothing written: " + Experience(report) +
          (tooLong ? "; the text is too long: every code that holds it has modules too small at "
                     "this size. Try a shorter text."
                   : std::string(search.everyKindTried
                                     ? ", and no other version, level or encoding helps"
                                     : ", and none of the other versions, levels or encodings "
                                       "tried helps") +
                         "; try a shorter text" + (withLogo ? " or no logo." : "."));
  if (!verbose)
    return out;
  out += Causes(first.report ? &*first.report : nullptr, true) + "\n  " +
         (InChinese() ? "原设置：" + Code(first) + "。" : "as asked: " + Code(first) + ".");
  out += "\n  ";
  if (search.made == 0)
    out += Say("更高的纠错等级或更大的版本都放不下这段内容。",
               "no higher level or larger version holds the message.");
  else
    out += InChinese() ? "试过的其他设置（" + std::to_string(search.made) + "种）都不能被" +
                             (TwoReaders(first) ? "两个" : "三个") +
                             "读码器正确读出，或点太小，或用手机拍摄时读不出。"
                       : "none of the " + std::to_string(search.made) +
                             " other options tried is read right by " +
                             (TwoReaders(first) ? "both readers" : "all three readers") +
                             " with modules large enough and in phone captures.";
  return out;
}

} // namespace zub::cli
