#pragma once

#include "Language.h"
#include "ScanCheck.h"

#include <QString>

namespace zub {

// The reader as its makers name it: "zxing-cpp", "zbar", "wechat_qrcode".
QString ReaderWords(ReaderName reader);

// One technical line for `cause`, in `language`, with its figures:
// "读码器zbar把文字当作Shift JIS解读，显示成乱码。" or
// "reader zbar takes the text for Shift JIS and shows it garbled."
QString CauseWords(const ScanCause &cause, Language language);

} // namespace zub
