#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

namespace zub {

// The picture file formats the program writes.
enum class ImageFileFormat { Bmp, Png, Jpeg };

// The language of the reasons a failed write gives: Chinese for the window,
// English for the command line.
enum class ReasonLanguage { Chinese, English };

// The format a save under `path` asks for by its name: ".jpg" and ".jpeg"
// JPEG, ".png" PNG, anything else (no suffix included) a Windows bitmap.
// Case does not matter.
ImageFileFormat ImageFileFormatForName(const QString &path);

// `image` as the bytes of a file in `format`: a 24-bit uncompressed bitmap
// (EncodeBitmap), a PNG, or a baseline JPEG of quality 95 with full-size
// colour planes, so thin coloured edges of a logo are not smeared. Empty for
// a null image or one the format cannot hold.
QByteArray EncodeImageFile(const QImage &image, ImageFileFormat format);

// Writes `image` to `path` in `format`, whatever the name ends in.
//
// The file appears complete or not at all: the bytes go to a temporary file
// beside the target; every write and the final flush to the disk are
// checked, and only then does the temporary file replace the target. On any
// failure the temporary file is removed and an existing file keeps every
// byte. A symbolic link is followed and the file it names is replaced; an
// existing target that is not a regular file (a folder, a device, a pipe) is
// refused and left alone. On failure returns false with `reason` one
// sentence in `language` saying why; on success `reason` is empty.
bool WriteImageFile(const QImage &image, const QString &path, ImageFileFormat format,
                    QString &reason, ReasonLanguage language = ReasonLanguage::Chinese);

// Writes `bytes` to `path` the same way, for files whose bytes are already
// made (a vector picture, say).
bool WriteFileAtomically(const QByteArray &bytes, const QString &path, QString &reason,
                         ReasonLanguage language = ReasonLanguage::Chinese);

// How the bytes are handed to the temporary file: like QIODevice::write,
// the count written or -1, with errno set on failure. Tests put a failing
// one here to see a full disk without filling one; nullptr restores the
// real write.
using FileBytesWriter = qint64 (*)(QIODevice &file, const QByteArray &bytes);
void SetFileWriterForTesting(FileBytesWriter writer);

} // namespace zub
