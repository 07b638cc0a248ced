#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zovhost {

/// A picture of a viewport: RGBA bytes, rows from the bottom up as OpenGL
/// reads them back.
struct RenderImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;

  RenderImage() = default;
  RenderImage(int width, int height) : width(width), height(height), rgba(static_cast<size_t>(width) * height * 4) {}

  /// The four bytes of the pixel in column x of row y (row 0 at the bottom).
  uint8_t* pixel(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
  const uint8_t* pixel(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

}  // namespace zovhost
