#include "png_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

// libpng reports errors by longjmp; the message is kept for the caller.
void on_png_error(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  *error = message;
  std::longjmp(png_jmpbuf(png), 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// Everything libpng touches between setjmp and a longjmp lives outside this frame's locals.
bool encode(std::FILE* file, int width, int height, const unsigned char* rgb, std::string& error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, on_png_error,
                                            on_png_warning);
  if (png == nullptr) return error = "out of memory", false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    if (error.empty()) error = "out of memory";
    return false;
  }
  png_init_io(png, file);
  // Flat colours compress well even at the fastest level and unfiltered, which keeps a frame
  // cheap: choosing a filter for every row took more than half the time of a large picture.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  for (int row = height - 1; row >= 0; --row) {  // PNG stores the top row first
    png_write_row(png, rgb + static_cast<std::size_t>(row) * row_bytes);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool write_png_file(const std::string& path, int width, int height, const unsigned char* rgb,
                    std::string& error) {
  const std::string partial = path + ".part";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return error = std::strerror(errno), false;
  error.clear();
  bool written = encode(file, width, height, rgb, error);
  if (written && std::fflush(file) != 0) written = false, error = std::strerror(errno);
  if (std::fclose(file) != 0 && written) written = false, error = std::strerror(errno);
  if (written && std::rename(partial.c_str(), path.c_str()) != 0) {
    written = false, error = std::strerror(errno);
  }
  if (!written) std::remove(partial.c_str());
  return written;
}
