#include "VerdictWords.h"

#include "LevelLetter.h"
#include "OptionWords.h"
#include "ScanWords.h"

#include <QStringList>

#include <algorithm>

namespace zub {

namespace {

// What someone scanning meets, worst first: no code at all, another
// content, then a garbled text; then modules too small for a phone, or
// phone captures that do not read.
QString ExperienceWords(const std::vector<ScanCause> &causes) {
  const auto [unread, wrong, garbled, small, captures] = ExperienceOf(causes);
  QString first = unread  ? QStringLiteral("有些手机扫不出这个二维码")
                  : wrong ? QStringLiteral("有些手机扫出的内容与原文不同")
                          : QString();
  if (garbled)
    first = first.isEmpty() ? QStringLiteral("有些扫码软件会把文字显示成乱码")
                            : first + QStringLiteral("，有些会把文字显示成乱码");
  if (small)
    first = first.isEmpty() ? QStringLiteral("二维码的点太小，手机可能扫不出")
                            : first + QStringLiteral("；二维码的点也太小");
  else if (captures && first.isEmpty())
    first = QStringLiteral("这个二维码作为图片能读出，但用手机对着拍时可能扫不出");
  return first.isEmpty() ? QStringLiteral("有些手机可能扫不出这个二维码。")
                         : first + QStringLiteral("。");
}

// The causes, one a line, after the line that says the check ran without
// the WeChat engine when it did.
QString CausesDetails(const MadeCode &first) {
  QStringList lines;
  if (first.report)
    for (const ScanCause &c : first.report->Causes())
      lines << CauseWords(c, Language::Chinese);
  if (lines.isEmpty())
    lines << QStringLiteral("读取检查没有读出原文。");
  if (first.report) {
    if (const QString without = WithoutWechatWords(*first.report, Language::Chinese);
        !without.isEmpty())
      lines.prepend(without);
  }
  return lines.join(QLatin1Char('\n'));
}

// The readers of the check, as a count: "三个读码器", or two without the
// WeChat engine.
QString ReadersCount(const MadeCode &code) {
  return code.report && !code.report->wechatRan ? QStringLiteral("两个读码器")
                                                : QStringLiteral("三个读码器");
}

// "版本12、纠错等级Q、UTF-8编码（ECI 26）": the code as made, for the details.
QString TechnicalCode(const MadeCode &code) {
  QString encoding = code.options.encoding == TextEncoding::Utf8 ? QStringLiteral("UTF-8编码")
                                                                 : QStringLiteral("ANSI编码");
  if (code.options.eci != 0)
    encoding += QStringLiteral("（ECI %1）").arg(code.options.eci);
  return QStringLiteral("版本%1、纠错等级%2、%3")
      .arg(code.picture.facts().version)
      .arg(QLatin1Char(LevelLetter(code.options.ecLevel)))
      .arg(encoding);
}

} // namespace

QString OptionChangeWords(const CodeOptions &from, const CodeOptions &to) {
  QStringList changed;
  for (OptionList list : kOptionLists) {
    const QString before = OptionItemWords(list, from), after = OptionItemWords(list, to);
    if (before != after)
      changed << OptionListName(list) + QStringLiteral("“") + after + QStringLiteral("”");
  }
  return changed.join(QStringLiteral("、"));
}

VerdictWords RemedyOfferWords(const MadeCode &first, const MadeCode &found) {
  const std::vector<ScanCause> causes =
      first.report ? first.report->Causes() : std::vector<ScanCause>{};
  VerdictWords words;
  words.text = ExperienceWords(causes) + QLatin1Char('\n') + QStringLiteral("建议改用推荐设置：") +
               OptionChangeWords(first.options, found.options) + QStringLiteral("。");
  words.details = CausesDetails(first) + QLatin1Char('\n') + QStringLiteral("当前二维码：") +
                  TechnicalCode(first) + QStringLiteral("。\n推荐的二维码：") +
                  TechnicalCode(found) + QStringLiteral("。\n") +
                  (found.report && !found.report->wechatRan
                       ? QStringLiteral("zxing-cpp和zbar都能正确读出推荐的二维码，\n"
                                        "zxing-cpp也能读出模拟的手机拍摄画面。")
                       : QStringLiteral("zxing-cpp、zbar和wechat_qrcode都能正确读出推荐的二维码，\n"
                                        "模拟的手机拍摄画面也能读出。"));
  return words;
}

VerdictWords NoRemedyWords(const MadeCode &first, const RemedySearch &search, bool withLogo) {
  const std::vector<ScanCause> causes =
      first.report ? first.report->Causes() : std::vector<ScanCause>{};
  VerdictWords words;
  const bool tooLong = TooLongForPhones(first, search);
  words.text =
      ExperienceWords(causes) + QLatin1Char('\n') +
      // "Nothing helps" only where every kind of change was tried; a search
      // stopped early says what it knows. A text too long for modules a
      // phone resolves is helped only by a shorter one: the logo does not
      // make the modules smaller.
      (tooLong
           ? QStringLiteral("这段文字太长：在这张图片上，放得下它的二维码点都太小。建议缩短文字。")
           : (search.everyKindTried
                  ? QStringLiteral("换用其他版本、纠错等级或文字编码都不能解决；")
                  : QStringLiteral("在试过的版本、纠错等级和文字编码中没有找到容易扫描的设置；")) +
                 (withLogo ? QStringLiteral("建议缩短文字，或改用“生成二维码（不加Logo）”。")
                           : QStringLiteral("建议缩短文字。")));
  QStringList details{CausesDetails(first),
                      QStringLiteral("当前二维码：") + TechnicalCode(first) + QStringLiteral("。")};
  if (search.made == 0)
    details << QStringLiteral("更高的纠错等级或更大的版本都放不下这段内容。");
  else if (search.made == 1 && !search.tried.empty())
    details << QStringLiteral("唯一可改用的设置（版本%1、%2）也不能被%3都正确读出。")
                   .arg(search.tried.front().version)
                   .arg(QStringLiteral("纠错等级") +
                            OptionItemWords(OptionList::Level, search.tried.front().asked),
                        ReadersCount(first));
  else if (tooLong)
    details << QStringLiteral("已尝试%1种其他设置（版本、纠错等级和文字编码的组合），"
                              "放得下这段文字的二维码，点都小于%2像素。")
                   .arg(search.made)
                   .arg(kPhoneModulePixels);
  else
    details << QStringLiteral("已尝试%1种其他设置（版本、纠错等级和文字编码的组合），"
                              "都不能被%2都正确读出，或用手机拍摄时读不出。")
                   .arg(search.made)
                   .arg(ReadersCount(first));
  words.details = details.join(QLatin1Char('\n'));
  return words;
}

VerdictWords NotCheckedWords(const ScanReport &report) {
  const ReadersProblem &p = report.notChecked;
  const QString module = QString::fromStdString(p.module.empty() ? "zubqr-readers.so" : p.module);
  VerdictWords words;
  words.text = QStringLiteral("无法检查这个二维码能否被手机扫出：检查所需的组件没有装好。\n"
                              "二维码没有经过检查，仍然可以保存。");
  if (!p.brokenAt.empty() && p.untrusted) {
    words.details = QStringLiteral("读码模块%1不可信：%2可能被其他用户改动，所以没有载入。")
                        .arg(QString::fromStdString(p.brokenAt), QString::fromStdString(p.reason));
  } else if (!p.brokenAt.empty()) {
    words.details = QStringLiteral("读码模块%1无法载入（%2）。")
                        .arg(QString::fromStdString(p.brokenAt), QString::fromStdString(p.reason));
  } else {
    QStringList places;
    for (const std::string &place : p.places)
      places << QString::fromStdString(place);
    words.details = places.isEmpty() ? QStringLiteral("找不到读码模块%1。").arg(module)
                                     : QStringLiteral("找不到读码模块%1（查找过：%2）。")
                                           .arg(module, places.join(QStringLiteral("、")));
  }
  return words;
}

QString ChangeNote(const MadeCode &first, const MadeCode &found) {
  return QStringLiteral("已改用推荐设置：") + OptionChangeWords(first.options, found.options) +
         QStringLiteral("，扫码更可靠。");
}

} // namespace zub
