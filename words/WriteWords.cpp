// What a failed write means, in the words of the window or of the command
// line: the writer itself reports a code and the system's error number.
#include "WriteWords.h"

#include <cmath>

#include <cerrno>
#include <cstring>

namespace zub {

namespace {

std::string Say(Language language, const char *chinese, const char *english) {
  return language == Language::Chinese ? chinese : english;
}

// The system's failure `error`: a sentence of our own for the failures a
// user can do something about, else the system's number (Chinese) or its
// untranslated description (English).
std::string ErrorText(int error, Language language) {
  switch (error) {
  case ENOSPC:
    return Say(language, "磁盘空间不足", "the disk is full");
  case EDQUOT:
    return Say(language, "超出了磁盘配额", "the disk quota is used up");
  case EROFS:
    return Say(language, "磁盘是只读的", "the disk is read-only");
  case ENAMETOOLONG:
    return Say(language, "文件名太长", "the file name is too long");
  case EACCES:
  case EPERM:
    return Say(language, "没有写入的权限", "permission denied");
  case EFBIG:
    return Say(language, "文件超出了允许的大小", "the file is larger than allowed");
  case EIO:
    return Say(language, "磁盘读写出错", "the disk reported an input/output error");
  default:
    break;
  }
  if (language == Language::Chinese)
    return "写入文件时出错（错误号 " + std::to_string(error) + "）";
  const char *description = error != 0 ? strerrordesc_np(error) : nullptr;
  return std::string("writing failed: ") + (description ? description : "unknown error");
}

} // namespace

std::string WriteFailureWords(const WriteResult &result, Language language) {
  switch (result.failure) {
  case WriteFailure::None:
    return {};
  case WriteFailure::NoName:
    return Say(language, "没有给出文件名", "no file name was given");
  case WriteFailure::NulInName:
    return Say(language, "文件名中有不允许的字符", "the file name holds a NUL character");
  case WriteFailure::FolderMissing:
    return Say(language, "保存位置的文件夹不存在", "the folder does not exist");
  case WriteFailure::FolderNotFolder:
    return Say(language, "保存位置不是文件夹", "what should be its folder is not a folder");
  case WriteFailure::FolderReadOnly:
    return Say(language, "没有在该文件夹中写入的权限", "no permission to write in the folder");
  case WriteFailure::IsFolder:
    return Say(language, "已有同名的文件夹", "a folder of that name is in the way");
  case WriteFailure::NotRegular:
    return Say(language, "同名的是设备、管道等特殊文件，不能替换",
               "it is not a regular file (a device, a pipe or a socket), and is left alone");
  case WriteFailure::ReadOnlyFile:
    return Say(language, "原有文件是只读的，不能替换",
               "the file there is read-only, and is left alone");
  case WriteFailure::DanglingLink:
    return Say(language, "这是一个指向不存在文件的符号链接，链接未改动",
               "it is a symbolic link to nothing, and is left alone");
  case WriteFailure::LinkLoop:
    return Say(language, "符号链接形成了循环，链接未改动",
               "it is a symbolic link that leads round in a loop, and is left alone");
  case WriteFailure::UnsafeLink:
    return Say(language, "这是他人在共享文件夹中放置的符号链接，为安全起见不跟随",
               "it is another user's symbolic link in a shared folder, which is not followed");
  case WriteFailure::UnsafeFolderLink:
    return Say(language, "路径中的一个文件夹是他人在共享文件夹中放置的符号链接，为安全起见不跟随",
               "a folder on the way is another user's symbolic link in a shared folder, which is "
               "not followed");
  case WriteFailure::OthersFile:
    return Say(language, "这是他人在共享文件夹中放置的文件，为安全起见不写入",
               "it is another user's file in a shared folder, which is not written into");
  case WriteFailure::NothingToWrite:
    return Say(language, "没有可以保存的图片", "there is no picture to write");
  case WriteFailure::System:
    break;
  }
  return ErrorText(result.error, language);
}

namespace {

// Centimetres to one decimal place, as a print dialog shows them.
std::string Centimetres(int pixels, int dotsPerInch) {
  const long tenths = std::lround(pixels * 25.4 / dotsPerInch);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

} // namespace

std::string PrintedSizeWords(int width, int height, int dotsPerInch, bool vector,
                             Language language) {
  if (width <= 0 || height <= 0 || dotsPerInch <= 0)
    return {};
  const std::string size =
      Centimetres(width, dotsPerInch) + " × " + Centimetres(height, dotsPerInch);
  const bool chinese = language == Language::Chinese;
  if (vector)
    return chinese ? "矢量图，打印尺寸 " + size + " 厘米，可任意放大而不模糊"
                   : "a vector picture, printed " + size + " cm, enlarges without blurring";
  const std::string pixels = std::to_string(width) + " × " + std::to_string(height);
  const std::string dpi = std::to_string(dotsPerInch) + " dpi";
  return chinese ? pixels + " 像素，" + dpi + "，打印尺寸 " + size + " 厘米"
                 : pixels + " pixels, " + dpi + ", printed " + size + " cm";
}

} // namespace zub
