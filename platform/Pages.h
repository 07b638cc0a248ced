#pragma once

// Memory of whole pages mapped for one caller and given back to the system
// when unmapped. A large working block freed to the C runtime's heap may
// stay in it, resident, long after (the Linux allocator serves blocks of a
// size it has seen freed from its heap, and keeps the pages of its heap);
// pages of their own are resident only while mapped, and only those touched.

#include <cstddef>

namespace zov::platform {

/// `bytes` (rounded up to whole pages) of zeroed memory, aligned to a page;
/// null for 0 bytes or when the system refuses.
void* mapPages(std::size_t bytes);

/// Gives back pages mapPages(bytes) returned; nothing for null.
void unmapPages(void* pages, std::size_t bytes);

}  // namespace zov::platform
