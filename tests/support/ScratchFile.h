#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace zovtest {

/// The folder scratch files go to: the system's temporary folder, which
/// TMPDIR names for the test and for the programs it starts (ctest gives
/// each suite program one of its own and fails when a test leaves anything
/// in it).
inline std::string scratchFolder() { return std::filesystem::temp_directory_path().string(); }

/// A file of the test's own in the scratch folder, named by the stem, the
/// process (builds of several variants run at once) and the extension; the
/// file is removed when the object goes.
class ScratchFile {
 public:
  ScratchFile(const std::string& stem, const std::string& extension)
      : path(scratchFolder() + "/" + stem + std::to_string(getpid()) + extension) {}
  ~ScratchFile() { std::remove(path.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string path;
};

/// A folder of the test's own in the scratch folder, named by the stem and
/// the process, made empty; it goes with all it holds when the object goes.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& stem) : path(scratchFolder() + "/" + stem + std::to_string(getpid())) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string path;
};

}  // namespace zovtest
