#pragma once

#include <string>

namespace zovhost {

/// True when path names a regular file.
bool fileExists(const std::string& path);
/// Reads a file's text; false when it cannot be read.
bool readFile(const std::string& path, std::string& text);

}  // namespace zovhost
