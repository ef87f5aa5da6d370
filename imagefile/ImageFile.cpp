#include "ImageFile.h"

#include "BitmapFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>

namespace zub {

namespace {

// Baseline JPEG quality: high enough that module edges stay crisp.
constexpr int kJpegQuality = 95;

QString Say(ReasonLanguage language, const char *chinese, const char *english) {
  return language == ReasonLanguage::Chinese ? QString::fromUtf8(chinese)
                                             : QString::fromUtf8(english);
}

// The system's failure `error` in one language: a sentence of our own for
// the failures a user can do something about, else the system's number
// (Chinese) or its untranslated description (English).
QString ErrorText(int error, ReasonLanguage language) {
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
  if (language == ReasonLanguage::Chinese)
    return QStringLiteral("写入文件时出错（错误号 %1）").arg(error);
  const char *description = error != 0 ? strerrordesc_np(error) : nullptr;
  return QStringLiteral("writing failed: ") +
         (description ? QString::fromUtf8(description) : QStringLiteral("unknown error"));
}

// The most telling reason for a failed write of `path`; `error` is errno
// right after the failing call.
QString WriteFailureReason(const QString &path, int error, ReasonLanguage language) {
  const QFileInfo target(path);
  const QFileInfo folder(target.absolutePath());
  if (!folder.exists())
    return Say(language, "保存位置的文件夹不存在", "the folder does not exist");
  if (!folder.isDir())
    return Say(language, "保存位置不是文件夹", "what should be its folder is not a folder");
  // These say more than the permission bits below: a read-only disk also
  // makes its folders unwritable.
  if (error == ENOSPC || error == EDQUOT || error == EROFS || error == ENAMETOOLONG)
    return ErrorText(error, language);
  if (!folder.isWritable())
    return Say(language, "没有在该文件夹中写入的权限", "no permission to write in the folder");
  return ErrorText(error, language);
}

qint64 WriteAll(QIODevice &file, const QByteArray &bytes) {
  return file.write(bytes);
}

FileBytesWriter gWriter = WriteAll;

// A new, empty file in `folder` under a short name of its own, so that a
// target name as long as the system allows leaves room for it. Returns the
// descriptor (or -1 with errno set) and the name in `name`.
int CreateTemporary(const QByteArray &folder, QByteArray &name) {
  static std::atomic<int> counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + "/.zubqr-" + QByteArray::number(QCoreApplication::applicationPid()) + "-" +
           QByteArray::number(++counter) + ".tmp";
    // 0666 less the umask, as any new file gets.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  return -1;
}

// Hands `bytes` to the open file `fd`, gives it `mode` when `keepMode`,
// and has the disk hold every byte. False with errno set on any failure.
bool FillAndSync(int fd, const QByteArray &bytes, bool keepMode, mode_t mode) {
  QFile file;
  if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
    errno = EBADF;
    return false;
  }
  errno = 0;
  const qint64 written = gWriter(file, bytes);
  if (written != bytes.size()) {
    if (errno == 0)
      errno = EIO;
    return false;
  }
  if (keepMode && ::fchmod(fd, mode) != 0)
    return false;
  return ::fsync(fd) == 0;
}

// libjpeg reports a fatal error by calling error_exit, which must not return.
struct JpegErrorJump {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JumpOnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrorJump *>(info->err)->jump, 1);
}

struct JpegJob {
  jpeg_compress_struct info{};
  JpegErrorJump error{};
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
};

// Compresses the RGB888 `rgb` into job.buffer. Nothing here may need a
// destructor: a libjpeg error jumps straight back to the setjmp.
bool CompressJpeg(JpegJob &job, const QImage &rgb) {
  job.info.err = jpeg_std_error(&job.error.manager);
  job.error.manager.error_exit = JumpOnJpegError;
  if (setjmp(job.error.jump) != 0)
    return false;
  jpeg_create_compress(&job.info);
  jpeg_mem_dest(&job.info, &job.buffer, &job.size);
  job.info.image_width = static_cast<JDIMENSION>(rgb.width());
  job.info.image_height = static_cast<JDIMENSION>(rgb.height());
  job.info.input_components = 3;
  job.info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&job.info);
  jpeg_set_quality(&job.info, kJpegQuality, TRUE);
  // Full-size colour planes (4:4:4). Qt's own JPEG writer always halves
  // them both ways, and offers no option against it.
  for (int c = 0; c < job.info.num_components; ++c) {
    job.info.comp_info[c].h_samp_factor = 1;
    job.info.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&job.info, TRUE);
  while (job.info.next_scanline < job.info.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(job.info.next_scanline)));
    jpeg_write_scanlines(&job.info, &row, 1);
  }
  jpeg_finish_compress(&job.info);
  return true;
}

QByteArray EncodeJpeg(const QImage &image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  if (rgb.isNull() || rgb.width() > JPEG_MAX_DIMENSION || rgb.height() > JPEG_MAX_DIMENSION)
    return {};
  JpegJob job;
  const bool ok = CompressJpeg(job, rgb);
  QByteArray out;
  if (ok && job.buffer)
    out = QByteArray(reinterpret_cast<const char *>(job.buffer), static_cast<qsizetype>(job.size));
  jpeg_destroy_compress(&job.info);
  std::free(job.buffer);
  return out;
}

QByteArray EncodePng(const QImage &image) {
  QByteArray out;
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  return writer.write(image) ? out : QByteArray();
}

} // namespace

void SetFileWriterForTesting(FileBytesWriter writer) {
  gWriter = writer ? writer : WriteAll;
}

ImageFileFormat ImageFileFormatForName(const QString &path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
    return ImageFileFormat::Jpeg;
  if (suffix == QLatin1String("png"))
    return ImageFileFormat::Png;
  return ImageFileFormat::Bmp;
}

QByteArray EncodeImageFile(const QImage &image, ImageFileFormat format) {
  if (image.isNull())
    return {};
  switch (format) {
  case ImageFileFormat::Png:
    return EncodePng(image);
  case ImageFileFormat::Jpeg:
    return EncodeJpeg(image);
  case ImageFileFormat::Bmp:
    break;
  }
  return EncodeBitmap(image);
}

bool WriteImageFile(const QImage &image, const QString &path, ImageFileFormat format,
                    QString &reason, ReasonLanguage language) {
  const QByteArray bytes = EncodeImageFile(image, format);
  if (bytes.isEmpty()) {
    reason = Say(language, "没有可以保存的图片", "there is no picture to write");
    return false;
  }
  return WriteFileAtomically(bytes, path, reason, language);
}

bool WriteFileAtomically(const QByteArray &bytes, const QString &path, QString &reason,
                         ReasonLanguage language) {
  if (path.isEmpty() || QFileInfo(path).fileName().isEmpty()) {
    reason = Say(language, "没有给出文件名", "no file name was given");
    return false;
  }
  // The system cuts a name at its first NUL and would write another file.
  if (path.contains(QChar(0))) {
    reason = Say(language, "文件名中有不允许的字符", "the file name holds a NUL character");
    return false;
  }
  QByteArray target = QFile::encodeName(path);
  // A link is followed: the file it names is replaced, the link stays.
  if (char *real = ::realpath(target.constData(), nullptr)) {
    target = real;
    std::free(real);
  }
  struct stat existing {};
  const bool exists = ::stat(target.constData(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    reason = Say(language, "已有同名的文件夹", "a folder of that name is in the way");
    return false;
  }
  if (exists && !S_ISREG(existing.st_mode)) {
    reason = Say(language, "同名的是设备、管道等特殊文件，不能替换",
                 "it is not a regular file (a device, a pipe or a socket), and is left alone");
    return false;
  }
  if (exists && ::access(target.constData(), W_OK) != 0) {
    reason = Say(language, "原有文件是只读的，不能替换",
                 "the file there is read-only, and is left alone");
    return false;
  }

  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray folder =
      slash < 0 ? QByteArray(".") : (slash == 0 ? QByteArray("/") : target.left(slash));
  QByteArray temporary;
  const int fd = CreateTemporary(folder, temporary);
  if (fd < 0) {
    reason = WriteFailureReason(path, errno, language);
    return false;
  }
  bool ok = FillAndSync(fd, bytes, exists, existing.st_mode & 07777);
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temporary.constData());
    reason = WriteFailureReason(path, error, language);
    return false;
  }
  // The new name itself lives in the folder; have the disk hold it too.
  // Some file systems cannot sync a folder, which is no failure of the file.
  if (const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  reason.clear();
  return true;
}

} // namespace zub
