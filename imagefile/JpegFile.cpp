#include "JpegFile.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace zub {

namespace {

// High enough that module edges stay crisp.
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

// Compresses into job.buffer. Nothing here may need a destructor: a libjpeg
// error jumps straight back to the setjmp.
bool Compress(JpegJob &job, int width, int height,
              const std::function<const std::uint8_t *(int y)> &row, int dotsPerInch) {
  job.info.err = jpeg_std_error(&job.error.manager);
  job.error.manager.error_exit = JumpOnJpegError;
  if (setjmp(job.error.jump) != 0)
    return false;
  jpeg_create_compress(&job.info);
  jpeg_mem_dest(&job.info, &job.buffer, &job.size);
  job.info.image_width = static_cast<JDIMENSION>(width);
  job.info.image_height = static_cast<JDIMENSION>(height);
  job.info.input_components = 3;
  job.info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&job.info);
  jpeg_set_quality(&job.info, kJpegQuality, TRUE);
  if (dotsPerInch > 0 && dotsPerInch <= 65535) {
    job.info.density_unit = 1; // dots an inch
    job.info.X_density = static_cast<UINT16>(dotsPerInch);
    job.info.Y_density = static_cast<UINT16>(dotsPerInch);
  }
  // Full-size colour planes: common writers halve them both ways.
  for (int c = 0; c < job.info.num_components; ++c) {
    job.info.comp_info[c].h_samp_factor = 1;
    job.info.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&job.info, TRUE);
  while (job.info.next_scanline < job.info.image_height) {
    JSAMPROW line = const_cast<JSAMPROW>(row(static_cast<int>(job.info.next_scanline)));
    jpeg_write_scanlines(&job.info, &line, 1);
  }
  jpeg_finish_compress(&job.info);
  return true;
}

} // namespace

std::vector<std::uint8_t> CompressJpeg(int width, int height,
                                       const std::function<const std::uint8_t *(int y)> &row,
                                       int dotsPerInch) {
  if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
    return {};
  JpegJob job;
  const bool ok = Compress(job, width, height, row, dotsPerInch);
  std::vector<std::uint8_t> out;
  if (ok && job.buffer)
    out.assign(job.buffer, job.buffer + job.size);
  jpeg_destroy_compress(&job.info);
  std::free(job.buffer);
  return out;
}

} // namespace zub
