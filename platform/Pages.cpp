#include "platform/Pages.h"

#include <sys/mman.h>

namespace zov::platform {

void* mapPages(std::size_t bytes) {
  if (bytes == 0) return nullptr;
  void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

void unmapPages(void* pages, std::size_t bytes) {
  if (pages != nullptr) munmap(pages, bytes);
}

}  // namespace zov::platform
