#pragma once

// The four option lists of the window (version, error-correction level,
// mask, text encoding): their items, their names, and where a CodeOptions
// value stands in each. The lists and the menus show one value through
// these; the warnings name a change the same way.

#include "MadeCode.h"

#include <QString>
#include <QStringList>

#include <array>

namespace zub {

enum class OptionList { Version, Level, Mask, Encoding };
inline constexpr std::array<OptionList, 4> kOptionLists{OptionList::Version, OptionList::Level,
                                                        OptionList::Mask, OptionList::Encoding};

// The list's name as the menus and tooltips say it: "版本", "纠错等级",
// "掩码", "文字编码".
QString OptionListName(OptionList list);

// The list's items as the list holds them (its historic English
// "Automatic" included): "Automatic", "1" .. "40"; "L - 7%" .. "H - 30%";
// "Automatic", "0" .. "7"; "ANSI", "UTF-8", "UTF-8（注明编码）", which is
// UTF-8 whose symbol names its character set (ECI 26).
QStringList OptionListItems(OptionList list);

// The item of `list` that `options` selects, counted from 0.
int OptionListIndex(OptionList list, const CodeOptions &options);

// `options` with `list` set to its item `index`; out of range: unchanged.
CodeOptions WithOptionListIndex(CodeOptions options, OptionList list, int index);

// A list item as the menus and tooltips show it: "Automatic" is "自动".
QString OptionShownText(const QString &item);

// The item of `list` that `options` selects, as the menus show it:
// "自动", "Q - 25%", "UTF-8（注明编码）".
QString OptionItemWords(OptionList list, const CodeOptions &options);

// What the window starts with: automatic version and mask, level M, UTF-8.
CodeOptions WindowDefaultOptions();

} // namespace zub
