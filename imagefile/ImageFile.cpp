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

WriteResult WriteImageFile(const QImage &image, const QString &path, ImageFileFormat format,
                           const WriteOptions &options) {
  const QByteArray bytes = EncodeImageFile(image, format);
  if (bytes.isEmpty())
    return {WriteFailure::NothingToWrite, 0};
  return WriteFileAtomically(bytes, path, options);
}

WriteResult WriteFileAtomically(const QByteArray &bytes, const QString &path,
                                const WriteOptions &options) {
  // The system's own encoding of the name; a NUL survives it, and is refused.
  const QByteArray name = QFile::encodeName(path);
  return WriteFileAtomically(
      std::string(name.constData(), static_cast<std::size_t>(name.size())),
      std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), options);
}

} // namespace zub
