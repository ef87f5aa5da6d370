#include "ScanWords.h"

#include <QStringList>

namespace zub {

namespace {

QString PartsWords(unsigned parts, Language language) {
  const struct {
    unsigned bit;
    const char *chinese, *english;
  } kParts[] = {{kFinderPart, "定位图案", "a finder pattern"},
                {kAlignmentPart, "校正图案", "an alignment pattern"},
                {kTimingPart, "定时图案", "a timing line"},
                {kFormatPart, "格式信息", "the format information"},
                {kVersionPart, "版本信息", "the version information"}};
  QStringList names;
  for (const auto &p : kParts)
    if (parts & p.bit)
      names << QString::fromUtf8(language == Language::Chinese ? p.chinese : p.english);
  return names.join(language == Language::Chinese ? QStringLiteral("、") : QStringLiteral(", "));
}

// The captures in `captures` (CaptureBit bits), as a list.
QString CapturesWords(unsigned captures, Language language) {
  const struct {
    CaptureKind kind;
    const char *chinese, *english;
  } kCaptures[] = {{CaptureKind::Distant, "在约40厘米外正对拍摄", "from about 40 cm, square on"},
                   {CaptureKind::Tilted, "在约32厘米外斜着拿（转4度、上边远一些）",
                    "from about 32 cm at a slant (turned 4 degrees, top further away)"},
                   {CaptureKind::Shaky, "手抖、屏幕偏暗", "with a shaking hand and a dim screen"}};
  QStringList names;
  for (const auto &c : kCaptures)
    if (captures & CaptureBit(c.kind))
      names << QString::fromUtf8(language == Language::Chinese ? c.chinese : c.english);
  return names.join(language == Language::Chinese ? QStringLiteral("、") : QStringLiteral("; "));
}

QString Chinese(const ScanCause &cause) {
  const QString reader = ReaderWords(cause.reader);
  switch (cause.kind) {
  case ScanCause::Unread:
    return QStringLiteral("读码器%1读不出这个二维码。").arg(reader);
  case ScanCause::WrongContent:
    return QStringLiteral("读码器%1读出的内容与原文不同。").arg(reader);
  case ScanCause::Garbled:
    return cause.charset.isEmpty() ? QStringLiteral("读码器%1扫出的文字是乱码。").arg(reader)
                                   : QStringLiteral("读码器%1把文字当作%2解读，显示成乱码。")
                                         .arg(reader, cause.charset);
  case ScanCause::BlocksOverCapacity: {
    QString line = QStringLiteral("第%1块有%2个码字被Logo遮挡或读错，超过这一块能纠正的%3个")
                       .arg(cause.block + 1)
                       .arg(cause.wrong)
                       .arg(cause.capacity);
    if (cause.otherBlocks > 0)
      line += QStringLiteral("（另有%1块也超出）").arg(cause.otherBlocks);
    return line + QStringLiteral("。");
  }
  case ScanCause::PatternsCovered:
    return QStringLiteral("Logo盖住了%1，读码器可能找不到网格。")
        .arg(PartsWords(cause.parts, Language::Chinese));
  case ScanCause::SmallModules:
    return QStringLiteral(
               "二维码的点只有%1到%2像素；手机在通常的距离拍摄时，每个点要有至少%3像素。")
        .arg(cause.minPixels)
        .arg(cause.maxPixels)
        .arg(kPhoneModulePixels);
  case ScanCause::CaptureMissed:
    return QStringLiteral("读码器%1能读出图片，但读不出模拟的手机拍摄画面：%2。")
        .arg(ReaderWords(cause.reader), CapturesWords(cause.captures, Language::Chinese));
  case ScanCause::UnevenStretch:
    break;
  }
  return QStringLiteral("拉伸使模块宽%1到%2像素不等，读码器难以对准网格。")
      .arg(cause.minPixels)
      .arg(cause.maxPixels);
}

QString English(const ScanCause &cause) {
  const QString reader = ReaderWords(cause.reader);
  switch (cause.kind) {
  case ScanCause::Unread:
    return QStringLiteral("reader %1 finds no code.").arg(reader);
  case ScanCause::WrongContent:
    return QStringLiteral("reader %1 reads other bytes than the message.").arg(reader);
  case ScanCause::Garbled:
    return cause.charset.isEmpty()
               ? QStringLiteral("reader %1 shows the text garbled.").arg(reader)
               : QStringLiteral("reader %1 takes the text for %2 and shows it garbled.")
                     .arg(reader, cause.charset);
  case ScanCause::BlocksOverCapacity: {
    QString line = QStringLiteral("block %1 has %2 codewords covered by the logo or read wrong, "
                                  "more than the %3 it corrects")
                       .arg(cause.block + 1)
                       .arg(cause.wrong)
                       .arg(cause.capacity);
    if (cause.otherBlocks > 0)
      line += QStringLiteral(" (%1 more blocks too)").arg(cause.otherBlocks);
    return line + QLatin1Char('.');
  }
  case ScanCause::PatternsCovered:
    return QStringLiteral("the logo covers %1; readers may not find the grid.")
        .arg(PartsWords(cause.parts, Language::English));
  case ScanCause::SmallModules:
    return QStringLiteral("the modules are only %1 to %2 pixels; a phone at the usual distance "
                          "needs at least %3 pixels a module.")
        .arg(cause.minPixels)
        .arg(cause.maxPixels)
        .arg(kPhoneModulePixels);
  case ScanCause::CaptureMissed:
    return QStringLiteral("reader %1 reads the picture but not the simulated phone captures: %2.")
        .arg(ReaderWords(cause.reader), CapturesWords(cause.captures, Language::English));
  case ScanCause::UnevenStretch:
    break;
  }
  return QStringLiteral("the stretch makes modules %1 to %2 pixels wide; readers may not "
                        "align the grid.")
      .arg(cause.minPixels)
      .arg(cause.maxPixels);
}

} // namespace

QString ReaderWords(ReaderName reader) {
  switch (reader) {
  case ReaderName::Zxing:
    return QStringLiteral("zxing-cpp");
  case ReaderName::Zbar:
    return QStringLiteral("zbar");
  case ReaderName::Wechat:
    break;
  }
  return QStringLiteral("wechat_qrcode");
}

QString WithoutWechatWords(const ScanReport &report, Language language) {
  if (!report.checked || report.wechatRan)
    return {};
  const ReadersProblem &p = report.withoutWechat;
  const QString at = QString::fromStdString(p.brokenAt), reason = QString::fromStdString(p.reason);
  const bool chinese = language == Language::Chinese;
  if (!p.brokenAt.empty() && p.untrusted)
    return chinese
               ? QStringLiteral("OpenCV的微信扫码引擎%1不可信：%2可能被其他用户改动，所以没有载入；"
                                "这次只用zxing-cpp和zbar两个读码器检查。")
                     .arg(at, reason)
               : QStringLiteral("the WeChat engine from OpenCV, %1, is not trusted: %2 may be "
                                "changed by another user, so it was not loaded and this check "
                                "used two readers: zxing-cpp and zbar.")
                     .arg(at, reason);
  if (!p.brokenAt.empty())
    return chinese
               ? QStringLiteral("OpenCV的微信扫码引擎%1无法载入（%2），"
                                "所以这次只用zxing-cpp和zbar两个读码器检查。")
                     .arg(at, reason)
               : QStringLiteral("the WeChat engine from OpenCV, %1, does not load (%2), so this "
                                "check used two readers: zxing-cpp and zbar.")
                     .arg(at, reason);
  const QString package = QString::fromUtf8(kWechatPackage);
  return chinese ? QStringLiteral("OpenCV的微信扫码引擎没有安装（软件包%1），"
                                  "所以这次只用zxing-cpp和zbar两个读码器检查。")
                       .arg(package)
                 : QStringLiteral("the WeChat engine from OpenCV is not installed (package %1), so "
                                  "this check used two readers: zxing-cpp and zbar.")
                       .arg(package);
}

ScanExperience ExperienceOf(const std::vector<ScanCause> &causes) {
  ScanExperience e;
  for (const ScanCause &c : causes) {
    e.unread = e.unread || c.kind == ScanCause::Unread || c.kind == ScanCause::BlocksOverCapacity;
    e.wrong = e.wrong || c.kind == ScanCause::WrongContent;
    e.garbled = e.garbled || c.kind == ScanCause::Garbled;
    e.small = e.small || c.kind == ScanCause::SmallModules;
    e.captures = e.captures || c.kind == ScanCause::CaptureMissed;
  }
  return e;
}

QString CauseWords(const ScanCause &cause, Language language) {
  return language == Language::Chinese ? Chinese(cause) : English(cause);
}

} // namespace zub
