#include "render/PngFile.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace zovhost {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

/// libpng reports errors by long jumps; the message is kept for the caller.
void onPngError(png_structp png, png_const_charp message) {
  *static_cast<std::string*>(png_get_error_ptr(png)) = message;
  png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

/// The rows of the picture as RGB bytes, top row first.
std::vector<png_byte> topDownRgb(const RenderImage& image) {
  std::vector<png_byte> rgb(static_cast<size_t>(image.width) * image.height * 3);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* from = image.pixel(x, image.height - 1 - y);
      std::memcpy(&rgb[(static_cast<size_t>(y) * image.width + x) * 3], from, 3);
    }
  return rgb;
}

}  // namespace

bool writePng(const std::string& path, const RenderImage& image, std::string& error) {
  if (image.width <= 0 || image.height <= 0) {
    error = "the picture has no pixels";
    return false;
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  const std::vector<png_byte> rgb = topDownRgb(image);
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y)
    rows[y] = const_cast<png_bytep>(&rgb[static_cast<size_t>(y) * image.width * 3]);

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, onPngError, onPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    error = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    file.reset();
    std::remove(path.c_str());
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file.release()) != 0) {
    error = std::strerror(errno);
    std::remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace zovhost
