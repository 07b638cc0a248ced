#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

/// A PNG file decoded to 8-bit RGB, top row first; width 0 when the file is
/// missing or not a PNG file.
struct DecodedPng {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;

  /// The pixel in column x of row y, counting rows from the top.
  const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

inline DecodedPng readPng(const std::string& path) {
  DecodedPng decoded;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return decoded;
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return decoded;
  }
  decoded.width = static_cast<int>(image.width);
  decoded.height = static_cast<int>(image.height);
  decoded.rgb = std::move(rgb);
  return decoded;
}
