#include "OptionWords.h"

#include <algorithm>

namespace zub {

namespace {

constexpr int kMaxVersion = 40;
constexpr int kMaxMask = 7;
constexpr int kEciUtf8 = 26;

} // namespace

QString OptionListName(OptionList list) {
  switch (list) {
  case OptionList::Version:
    return QStringLiteral("版本");
  case OptionList::Level:
    return QStringLiteral("纠错等级");
  case OptionList::Mask:
    return QStringLiteral("掩码");
  case OptionList::Encoding:
    break;
  }
  return QStringLiteral("文字编码");
}

QStringList OptionListItems(OptionList list) {
  QStringList items;
  switch (list) {
  case OptionList::Version:
    items << QStringLiteral("Automatic");
    for (int v = 1; v <= kMaxVersion; ++v)
      items << QString::number(v);
    break;
  case OptionList::Level:
    items << QStringLiteral("L - 7%") << QStringLiteral("M - 15%") << QStringLiteral("Q - 25%")
          << QStringLiteral("H - 30%");
    break;
  case OptionList::Mask:
    items << QStringLiteral("Automatic");
    for (int m = 0; m <= kMaxMask; ++m)
      items << QString::number(m);
    break;
  case OptionList::Encoding:
    items << QStringLiteral("ANSI") << QStringLiteral("UTF-8")
          << QStringLiteral("UTF-8（注明编码）");
    break;
  }
  return items;
}

int OptionListIndex(OptionList list, const CodeOptions &options) {
  switch (list) {
  case OptionList::Version:
    return std::clamp(options.version, 0, kMaxVersion);
  case OptionList::Level:
    return std::clamp(options.ecLevel, int{kLevelL}, int{kLevelH}) - 1;
  case OptionList::Mask:
    return std::clamp(options.mask, -1, kMaxMask) + 1;
  case OptionList::Encoding:
    break;
  }
  if (options.encoding == TextEncoding::Ansi)
    return 0;
  return options.eci == kEciUtf8 ? 2 : 1;
}

CodeOptions WithOptionListIndex(CodeOptions options, OptionList list, int index) {
  if (index < 0 || index >= OptionListItems(list).size())
    return options;
  switch (list) {
  case OptionList::Version:
    options.version = index;
    break;
  case OptionList::Level:
    options.ecLevel = index + 1;
    break;
  case OptionList::Mask:
    options.mask = index - 1;
    break;
  case OptionList::Encoding:
    options.encoding = index >= 1 ? TextEncoding::Utf8 : TextEncoding::Ansi;
    options.eci = index == 2 ? kEciUtf8 : 0;
    break;
  }
  return options;
}

QString OptionShownText(const QString &item) {
  // The lists keep their historic English item; the menus and tooltips
  // speak Chinese.
  return item == QLatin1String("Automatic") ? QStringLiteral("自动") : item;
}

QString OptionItemWords(OptionList list, const CodeOptions &options) {
  return OptionShownText(OptionListItems(list).value(OptionListIndex(list, options)));
}

CodeOptions WindowDefaultOptions() {
  CodeOptions options;
  options.version = 0;
  options.ecLevel = kLevelM;
  options.mask = -1;
  options.encoding = TextEncoding::Utf8;
  options.eci = 0;
  return options;
}

} // namespace zub
