#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

namespace zub {

// `image` as the bytes of an uncompressed Windows bitmap file: "BM", a
// 14-byte file header, a 40-byte information header, then 24-bit blue-green-
// red pixels in bottom-up rows padded to 4 bytes, 96 dpi. Empty for a null
// image or one too large for the format.
QByteArray EncodeBitmap(const QImage &image);

// Writes `image` to `path` as a Windows bitmap whatever the name ends in.
// The file appears complete or not at all: the bytes go to a temporary file
// beside the target, which replaces the target only once everything is
// written, so an existing file is never left truncated. On failure returns
// false with `reason` a Chinese sentence saying why (the system's own
// words in brackets where it has some).
bool WriteBitmapFile(const QImage &image, const QString &path, QString &reason);

// How WriteBitmapFile hands the bytes to the temporary file: like
// QIODevice::write, the count written or -1, with errno set on failure.
// Tests put a failing one here to see a full disk without filling one;
// nullptr restores the real write.
using BitmapWriter = qint64 (*)(QIODevice &file, const QByteArray &bytes);
void SetBitmapWriterForTesting(BitmapWriter writer);

} // namespace zub
