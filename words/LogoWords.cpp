#include "LogoWords.h"

namespace zub {

namespace {

QString Megabytes(qint64 bytes) {
  return QString::number((bytes + 1024 * 1024 - 1) / (1024 * 1024));
}

// The reason in `language`, without the file's name.
QString Reason(const LogoLoad &l, Language language) {
  const bool zh = language == Language::Chinese;
  switch (l.problem) {
  case LogoProblem::None:
    return {};
  case LogoProblem::NotFound:
    return zh ? QStringLiteral("找不到Logo图片文件") : QStringLiteral("cannot find the logo file");
  case LogoProblem::NoPermission:
    return zh ? QStringLiteral("无法读取Logo图片文件（没有权限或文件被占用）")
              : QStringLiteral("cannot read the logo file (no permission, or it is in use)");
  case LogoProblem::PathTooLong:
    return zh ? QStringLiteral("Logo图片文件的路径太长（其中有超过255字节的文件夹名或文件名），"
                               "无法打开")
              : QStringLiteral("cannot open the logo file: a folder or file name in its path is "
                               "longer than 255 bytes");
  case LogoProblem::ReadError:
    return zh ? QStringLiteral("读取Logo图片文件时出错")
              : QStringLiteral("the logo file could not be read");
  case LogoProblem::NotAFile:
    return zh ? QStringLiteral("所选的Logo不是图片文件")
              : QStringLiteral("the logo chosen is not a picture file");
  case LogoProblem::FileTooLarge:
    return (zh ? QStringLiteral("Logo图片文件太大，无法载入（最大%1MB）")
               : QStringLiteral("the logo file is too large to load (at most %1 MB)"))
        .arg(Megabytes(kMaxLogoFileBytes));
  case LogoProblem::NotAPicture:
    return zh ? QStringLiteral("所选文件不是可以识别的图片（Logo只能是JPEG、PNG、BMP或GIF图片）")
              : QStringLiteral(
                    "the file is not a picture the logo can be (JPEG, PNG, BMP or GIF only)");
  case LogoProblem::Damaged:
    return zh ? QStringLiteral("Logo图片文件不完整或已损坏")
              : QStringLiteral("the logo file is cut off or damaged");
  case LogoProblem::TooManyPixels:
    return zh ? QStringLiteral("Logo图片尺寸太大，无法载入（%1×%2像素，最多允许%3万像素）")
                    .arg(l.size.width())
                    .arg(l.size.height())
                    .arg(kMaxLogoPixels / 10'000)
              : QStringLiteral("the logo is too large to load (%1 x %2 pixels, at most %3 million)")
                    .arg(l.size.width())
                    .arg(l.size.height())
                    .arg(kMaxLogoPixels / 1'000'000);
  case LogoProblem::TooMuchMemory:
    return (zh ? QStringLiteral("Logo图片太大，无法载入（%1×%2像素、每像素%3位，需要%4MB内存，"
                                "最多允许%5MB）")
               : QStringLiteral("the logo is too large to load (%1 x %2 pixels at %3 bits, %4 MB "
                                "of memory, at most %5 MB)"))
        .arg(l.size.width())
        .arg(l.size.height())
        .arg(l.depth)
        .arg(Megabytes(l.bytes))
        .arg(kLogoAllocationLimitMB);
  }
  return {};
}

} // namespace

QString LogoProblemText(const LogoLoad &load, Language language) {
  if (load.problem == LogoProblem::None)
    return {};
  return Reason(load, language) +
         (language == Language::Chinese ? QStringLiteral("：") : QStringLiteral(": ")) + load.path;
}

} // namespace zub
