#include "engine/collision/RetiredBlocks.h"

#include <cstring>

void RetiredBlocks::add(std::unique_ptr<unsigned char[]> block) {
  if (!block) return;
  unsigned char* taken = block.release();
  std::memcpy(taken, &head, sizeof head);
  head = taken;
  ++count;
}

void RetiredBlocks::freeAll() {
  while (head != nullptr) {
    unsigned char* next = nullptr;
    std::memcpy(&next, head, sizeof next);
    delete[] head;
    head = next;
  }
  count = 0;
}
