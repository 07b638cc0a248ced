#include "engine/collision/RetiredBlocks.h"

#include <cstring>
#include <new>

#include "platform/Pages.h"

void RetiredBlocks::push(unsigned char*& head, unsigned char* block) {
  std::memcpy(block, &head, sizeof head);
  head = block;
}

void RetiredBlocks::freeChain(unsigned char*& head) {
  while (head != nullptr) {
    unsigned char* next = nullptr;
    std::memcpy(&next, head, sizeof next);
    delete[] head;
    head = next;
  }
}

void RetiredBlocks::add(std::unique_ptr<unsigned char[]> block, std::size_t bytes) {
  if (!block) return;
  ++count;
  for (std::size_t k = 0; k < sizesUsed; ++k) {
    if (chains[k].bytes == bytes) {
      push(chains[k].head, block.release());
      return;
    }
  }
  if (sizesUsed == kSizes) {
    push(others, block.release());
    return;
  }
  chains[sizesUsed].bytes = bytes;
  push(chains[sizesUsed].head, block.release());
  ++sizesUsed;
}

std::unique_ptr<unsigned char[]> RetiredBlocks::take(std::size_t bytes) {
  for (std::size_t k = 0; k < sizesUsed; ++k) {
    Chain& chain = chains[k];
    if (chain.bytes != bytes || chain.head == nullptr) continue;
    unsigned char* block = chain.head;
    std::memcpy(&chain.head, block, sizeof chain.head);
    --count;
    return std::unique_ptr<unsigned char[]>(block);
  }
  return nullptr;
}

void RetiredBlocks::freeAll() {
  for (std::size_t k = 0; k < sizesUsed; ++k) {
    freeChain(chains[k].head);
    chains[k].bytes = 0;
  }
  sizesUsed = 0;
  freeChain(others);
  count = 0;
}

bool ParkedBlocks::prepare(std::size_t expected) {
  discard();
  const std::size_t base = lastAsked > expected ? lastAsked : expected;
  const std::size_t wanted = 2 * base + kLeastRoom;
  if (mappedBytes < wanted || mappedBytes / kMostSpare > wanted) {
    // Twice the room wanted, so that the rooms of a pile that gathers pairs
    // step by step fit the pages many passes in a row.
    release();
    pages = static_cast<unsigned char*>(zov::platform::mapPages(2 * wanted));
    if (pages == nullptr) return false;
    mappedBytes = 2 * wanted;
  }
  room = pages;
  size = wanted;
  return true;
}

unsigned char* ParkedBlocks::take(std::size_t bytes, CollisionPair* owner) {
  const std::size_t needed = roomFor(bytes);
  asked.fetch_add(needed, std::memory_order_relaxed);
  // Claimed only where the whole entry fits, so that the room holds no
  // entry left unwritten.
  std::size_t at = used.load(std::memory_order_relaxed);
  do {
    if (room == nullptr || size - at < needed) return nullptr;
  } while (!used.compare_exchange_weak(at, at + needed, std::memory_order_relaxed));
  const Entry entry{owner, bytes};
  unsigned char* place = room + at;
  std::memcpy(place, &entry, sizeof entry);
  return place + sizeof(Entry);
}

void ParkedBlocks::discard() {
  room = nullptr;
  size = 0;
  used = 0;
  const std::size_t passAsked = asked.exchange(0);
  if (passAsked != 0) lastAsked = passAsked;
}

void ParkedBlocks::release() {
  discard();
  zov::platform::unmapPages(pages, mappedBytes);
  pages = nullptr;
  mappedBytes = 0;
}
