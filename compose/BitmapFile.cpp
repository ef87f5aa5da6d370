#include "BitmapFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace zub {

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr std::int32_t kPixelsPerMeter96Dpi = 3780;

void Put16(QByteArray &out, qsizetype at, std::uint32_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(QByteArray &out, qsizetype at, std::uint32_t v) {
  Put16(out, at, v & 0xFFFF);
  Put16(out, at + 2, v >> 16);
}

QString WithSystemText(const QString &reason, const QString &systemText) {
  return systemText.isEmpty() ? reason
                              : reason + QStringLiteral("（") + systemText + QStringLiteral("）");
}

// The most telling reason we can find for a failed write of `path`; `error`
// is errno right after the failing call.
QString WriteFailureReason(const QString &path, int error, const QString &systemText) {
  const QFileInfo target(path);
  const QFileInfo folder(target.absolutePath());
  if (target.fileName().isEmpty())
    return QStringLiteral("没有给出文件名");
  if (target.isDir())
    return QStringLiteral("已有同名的文件夹");
  if (!folder.exists())
    return QStringLiteral("保存位置的文件夹不存在");
  if (!folder.isDir())
    return QStringLiteral("保存位置不是文件夹");
  // These say more than the permission bits below: a read-only disk also
  // makes its folders unwritable.
  switch (error) {
  case ENOSPC:
    return WithSystemText(QStringLiteral("磁盘空间不足"), systemText);
  case EDQUOT:
    return WithSystemText(QStringLiteral("超出了磁盘配额"), systemText);
  case EROFS:
    return WithSystemText(QStringLiteral("磁盘是只读的"), systemText);
  case ENAMETOOLONG:
    return WithSystemText(QStringLiteral("文件名太长"), systemText);
  default:
    break;
  }
  if (!folder.isWritable())
    return WithSystemText(QStringLiteral("没有在该文件夹中写入的权限"), systemText);
  if (target.exists() && !target.isWritable())
    return WithSystemText(QStringLiteral("原有文件是只读的，不能替换"), systemText);
  switch (error) {
  case EACCES:
  case EPERM:
    return WithSystemText(QStringLiteral("没有写入的权限"), systemText);
  case EFBIG:
    return WithSystemText(QStringLiteral("文件超出了允许的大小"), systemText);
  default:
    return WithSystemText(QStringLiteral("写入文件时出错"), systemText);
  }
}

qint64 WriteAll(QIODevice &file, const QByteArray &bytes) {
  return file.write(bytes);
}

BitmapWriter gWriter = WriteAll;

// QSaveFile makes its temporary name from the target's by adding 7 bytes;
// the system takes names of up to 255 bytes.
constexpr qsizetype kLongestSaveFileName = 255 - 7;

// Writes `bytes` to `path` through a temporary file that replaces it only
// once everything is written. On failure returns false with `error` the
// errno of the failing call and `systemText` the system's words for it.
bool SaveAtomically(const QByteArray &bytes, const QString &path, int &error, QString &systemText) {
  QSaveFile file(path);
  // Never fall back to writing the target in place: a failure would leave
  // it truncated.
  file.setDirectWriteFallback(false);
  errno = 0;
  if (!file.open(QIODevice::WriteOnly)) {
    error = errno;
    systemText = file.errorString();
    return false;
  }
  errno = 0;
  if (gWriter(file, bytes) != bytes.size() || !file.commit()) {
    error = errno;
    // Qt knows no words of its own for a failed flush; the system's are better.
    systemText = error != 0 ? qt_error_string(error) : file.errorString();
    file.cancelWriting(); // the temporary file goes, the target stays as it was
    return false;
  }
  return true;
}

} // namespace

void SetBitmapWriterForTesting(BitmapWriter writer) {
  gWriter = writer ? writer : WriteAll;
}

QByteArray EncodeBitmap(const QImage &image) {
  if (image.isNull())
    return {};
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  const qint64 w = rgb.width(), h = rgb.height();
  const qint64 stride = (w * 3 + 3) & ~3LL;
  const qint64 pixelBytes = stride * h;
  const qint64 fileBytes = kFileHeaderBytes + kInfoHeaderBytes + pixelBytes;
  if (fileBytes > std::numeric_limits<std::int32_t>::max())
    return {};

  QByteArray out(static_cast<qsizetype>(fileBytes), '\0');
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, static_cast<std::uint32_t>(fileBytes));
  Put32(out, 10, kFileHeaderBytes + kInfoHeaderBytes); // where the pixels start
  Put32(out, 14, kInfoHeaderBytes);
  Put32(out, 18, static_cast<std::uint32_t>(w));
  Put32(out, 22, static_cast<std::uint32_t>(h)); // positive: bottom-up rows
  Put16(out, 26, 1);                             // planes
  Put16(out, 28, 24);                            // bits per pixel
  Put32(out, 30, 0);                             // no compression
  Put32(out, 34, static_cast<std::uint32_t>(pixelBytes));
  Put32(out, 38, kPixelsPerMeter96Dpi);
  Put32(out, 42, kPixelsPerMeter96Dpi);

  auto *pixels = reinterpret_cast<std::uint8_t *>(out.data()) + kFileHeaderBytes + kInfoHeaderBytes;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
    std::uint8_t *row = pixels + (h - 1 - y) * stride;
    for (int x = 0; x < rgb.width(); ++x) {
      row[3 * x] = static_cast<std::uint8_t>(qBlue(in[x]));
      row[3 * x + 1] = static_cast<std::uint8_t>(qGreen(in[x]));
      row[3 * x + 2] = static_cast<std::uint8_t>(qRed(in[x]));
    }
  }
  return out;
}

bool WriteBitmapFile(const QImage &image, const QString &path, QString &reason) {
  const QByteArray bytes = EncodeBitmap(image);
  if (bytes.isEmpty()) {
    reason = QStringLiteral("没有可以保存的图片");
    return false;
  }
  if (path.isEmpty()) {
    reason = QStringLiteral("没有给出文件名");
    return false;
  }
  // The system cuts a name at its first NUL and would write another file.
  if (path.contains(QChar(0))) {
    reason = QStringLiteral("文件名中有不允许的字符");
    return false;
  }
  // QSaveFile replaces an existing file through a name 7 bytes longer than
  // the target's, which a name near the system's limit of 255 bytes does not
  // leave room for. Such a file is written under a short name beside it,
  // then renamed over it: as complete, and as atomic.
  int error = 0;
  QString systemText;
  const QFileInfo existing(path);
  const QString target = existing.exists() ? existing.canonicalFilePath() : path;
  if (existing.exists() && !existing.isDir() &&
      QFile::encodeName(QFileInfo(target).fileName()).size() > kLongestSaveFileName) {
    // QSaveFile leaves a read-only file alone; so does this way.
    if (!existing.isWritable()) {
      reason = WriteFailureReason(path, EACCES, QString());
      return false;
    }
    const QString beside = QFileInfo(target).absolutePath() + QStringLiteral("/.zubqr-") +
                           QString::number(QCoreApplication::applicationPid()) +
                           QStringLiteral(".tmp");
    if (!SaveAtomically(bytes, beside, error, systemText)) {
      reason = WriteFailureReason(path, error, systemText);
      return false;
    }
    QFile::setPermissions(beside, QFileInfo(target).permissions());
    if (std::rename(QFile::encodeName(beside).constData(), QFile::encodeName(target).constData()) !=
        0) {
      error = errno;
      QFile::remove(beside);
      reason = WriteFailureReason(path, error, qt_error_string(error));
      return false;
    }
    reason.clear();
    return true;
  }
  if (!SaveAtomically(bytes, path, error, systemText)) {
    reason = WriteFailureReason(path, error, systemText);
    return false;
  }
  reason.clear();
  return true;
}

} // namespace zub
