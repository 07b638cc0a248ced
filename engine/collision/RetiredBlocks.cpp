#include "engine/collision/RetiredBlocks.h"

#include <cstring>
#include <new>

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

bool ParkedBlocks::prepare() {
  discard();
  std::size_t wanted = lastAsked + lastAsked / 2;
  if (wanted < kLeastRoom) wanted = kLeastRoom;
  room.reset(new (std::nothrow) unsigned char[wanted]);
  if (!room) return false;
  size = wanted;
  return true;
}

unsigned char* ParkedBlocks::take(std::size_t bytes, CollisionPair* owner) {
  const std::size_t needed = sizeof(Entry) + rounded(bytes);
  asked += needed;
  if (!room || size - used < needed) return nullptr;
  const Entry entry{owner, bytes};
  unsigned char* at = room.get() + used;
  std::memcpy(at, &entry, sizeof entry);
  used += needed;
  return at + sizeof(Entry);
}

void ParkedBlocks::discard() {
  room.reset();
  size = 0;
  used = 0;
  if (asked != 0) lastAsked = asked;
  asked = 0;
}
