#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <unistd.h>

namespace zovtest {

/// A file of the test's own in the scratch folder, named by the stem, the
/// process (builds of several variants run at once) and the extension; the
/// file is removed when the object goes.
class ScratchFile {
 public:
  ScratchFile(const std::string& stem, const std::string& extension)
      : path(::testing::TempDir() + stem + std::to_string(getpid()) + extension) {}
  ~ScratchFile() { std::remove(path.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string path;
};

}  // namespace zovtest
