#pragma once

#include "Language.h"
#include "LogoImage.h"

#include <QString>

namespace zub {

// Why the logo of `load` could not be loaded, one line naming the file:
// "找不到Logo图片文件：/path" or "cannot find the logo file: /path". Empty
// when it loaded.
QString LogoProblemText(const LogoLoad &load, Language language = Language::Chinese);

} // namespace zub
