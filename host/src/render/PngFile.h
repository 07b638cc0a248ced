#pragma once

#include <zovhost/RenderImage.h>

#include <string>

namespace zovhost {

/// Writes a picture as an 8-bit RGB PNG file, its top row first (alpha is
/// left out). False, with `error` saying why, when the file cannot be written.
bool writePng(const std::string& path, const RenderImage& image, std::string& error);

}  // namespace zovhost
