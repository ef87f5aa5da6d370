#pragma once

#include "FileWrite.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace zub {

// The picture file formats the program writes.
enum class ImageFileFormat { Bmp, Png, Jpeg };

// The format a save under `path` asks for by its name: ".jpg" and ".jpeg"
// JPEG, ".png" PNG, anything else (no suffix included) a Windows bitmap.
// Case does not matter.
ImageFileFormat ImageFileFormatForName(const QString &path);

// `image` as the bytes of a file in `format`: a 24-bit uncompressed bitmap
// (EncodeBitmap), a PNG, or a baseline JPEG of quality 95 with full-size
// colour planes, so thin coloured edges of a logo are not smeared. Empty for
// a null image or one the format cannot hold. With `dotsPerInch` the file
// says that density (a picture drawn larger for print); without, a bitmap
// says 96 dpi, a PNG the image's own and a JPEG none, as they always have.
QByteArray EncodeImageFile(const QImage &image, ImageFileFormat format, int dotsPerInch = 0);

// Writes `image` to `path` in `format`, whatever the name ends in, by
// WriteWholeFile (FileWrite.h), the window's one way to write a file: the
// file appears complete or not at all, and an existing file keeps every
// byte on failure. Fails with NothingToWrite for a null image or one the
// format cannot hold.
WriteResult WriteImageFile(const QImage &image, const QString &path, ImageFileFormat format,
                           const WriteOptions &options = {});

// Writes the bytes of a file made elsewhere (a vector picture) the same
// way. Fails with NothingToWrite for no bytes.
WriteResult WriteFileBytes(const QByteArray &bytes, const QString &path,
                           const WriteOptions &options = {});

} // namespace zub
