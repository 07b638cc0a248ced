#pragma once

#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "platform/Assert.h"

/// The engine's one container: a doubly-linked list of values with a sentinel
/// head, a count and a cache of spare nodes. Unlinked nodes go to the cache and
/// are reused by the next insertion, so a list in steady use allocates nothing.
///
/// Appending links the new node right after the head: iteration, which runs
/// from the head's next link along next links to null, yields the most
/// recently appended value first. Bodies, joints, pairs and meshes are held as
/// pointers (the list never owns what they point to); the list-based mesh
/// record holds `MgcVector3` values.
///
/// Owners that iterate from outside keep a node pointer as cursor: start at
/// `getFirst()`, step along `next`, stop at null.
///
/// Not thread-safe: the owner makes sure one thread at a time uses a list.
template <typename T>
class EngineList {
 public:
  /// One link of the list; the head is a node of the same shape.
  struct Node {
    T value;
    Node* next;
    /// Towards the head for linked nodes; towards the previous cached node in
    /// the cache (null for the cache's first node).
    Node* prev;
  };

  /// An empty list with its head allocated (throws std::bad_alloc when even
  /// the head cannot be allocated).
  EngineList() : count_(0), head_(new Node{T{}, nullptr, nullptr}), freeCache_(nullptr) { head_->prev = head_; }

  /// Clears, frees every cached node, then the head.
  ~EngineList() {
    clear();
    releaseCache();
    delete head_;
    head_ = nullptr;
  }

  // A list owns its nodes; copying the head pointer would free them twice.
  // Copy values with operator= instead.
  EngineList(const EngineList&) = delete;

  /// Replaces this list's values by the other's, in the other's order, reusing
  /// this list's cached nodes first. Assigning a list to itself changes nothing.
  EngineList& operator=(const EngineList& other) {
    if (&other == this) return *this;
    Node* position = head_;
    clear();
    for (const Node* node = other.head_->next; node != nullptr; node = node->next) {
      Node* inserted = linkAfter(position, node->value);
      if (inserted != nullptr) position = inserted;
    }
    return *this;
  }

  /// Links `value` right after the head, so that it comes first in iteration.
  /// When no node can be had the value is dropped and the list is unchanged.
  void append(const T& value) { linkAfter(head_, value); }

  /// Links `value` right after `position`, which must be the head or a linked
  /// node of this list; a null position does nothing.
  void insertAfter(const T& value, Node* position) {
    if (position == nullptr) return;
    ZOV_ASSERT(holds(position));
    linkAfter(position, value);
  }

  /// Unlinks the first node (from the head) whose value equals `value` and
  /// caches it; nothing when the value is absent.
  void remove(const T& value) {
    for (Node* node = head_->next; node != nullptr; node = node->next) {
      if (node->value == value) {
        ZOV_ASSERT(count_ > 0);
        unlink(node);
        pushToCache(node);
        --count_;
        return;
      }
    }
  }

  /// Moves every node into the cache, first element first, so that the former
  /// last element ends at the cache's front.
  void clear() {
    while (head_->next != nullptr) {
      Node* node = head_->next;
      unlink(node);
      pushToCache(node);
      --count_;
    }
    ZOV_ASSERT(count_ == 0);
    count_ = 0;
  }

  /// Appends the other list's values one by one from its first element; they
  /// end up at the front of this list in reverse order.
  void appendAll(const EngineList& other) {
    for (const Node* node = other.head_->next; node != nullptr; node = node->next) append(node->value);
  }

  /// Moves the first element to the front of `to`, node and all, as remove
  /// and append would place it: neither list allocates or caches a node.
  /// False when this list is empty.
  bool moveFirstTo(EngineList& to) { return head_->next != nullptr && (&to == this || moveFirstRunTo(to, 1) == 1); }

  /// Moves the first n elements (every one when the list holds fewer) to
  /// the front of `to`, nodes and all, keeping their order: neither list
  /// allocates or caches a node. Steps along n links to find the run's end,
  /// none when the whole list moves. Returns how many moved.
  std::uint32_t moveFirstRunTo(EngineList& to, std::uint32_t n) {
    if (n == 0 || count_ == 0 || &to == this) return 0;
    if (n > count_) n = count_;
    Node* first = head_->next;
    Node* last = n == count_ ? head_->prev : first;
    for (std::uint32_t i = 1; i < n && n != count_; ++i) last = last->next;
    ZOV_ASSERT(last != nullptr && last != head_);
    head_->next = last->next;
    if (last->next != nullptr) {
      last->next->prev = head_;
    } else {
      head_->prev = head_;
    }
    count_ -= n;
    first->prev = to.head_;
    last->next = to.head_->next;
    if (to.head_->next != nullptr) {
      to.head_->next->prev = last;
    } else {
      to.head_->prev = last;
    }
    to.head_->next = first;
    to.count_ += n;
    return n;
  }

  /// Moves the last n elements (every one when the list holds fewer) to
  /// the back of `to`, nodes and all, keeping their order: neither list
  /// allocates or caches a node. Steps back along n links to find the run's
  /// start, none when the whole list moves. Returns how many moved.
  std::uint32_t moveLastRunTo(EngineList& to, std::uint32_t n) {
    if (n == 0 || count_ == 0 || &to == this) return 0;
    if (n > count_) n = count_;
    Node* last = head_->prev;
    Node* first = n == count_ ? head_->next : last;
    for (std::uint32_t i = 1; i < n && n != count_; ++i) first = first->prev;
    ZOV_ASSERT(first != head_);
    Node* before = first->prev;
    before->next = nullptr;
    head_->prev = before;  // the head itself once the list is empty
    count_ -= n;
    Node* toLast = to.head_->prev;  // the head of an empty list
    toLast->next = first;
    first->prev = toLast;
    to.head_->prev = last;
    to.count_ += n;
    return n;
  }

  /// Exchanges the two lists' elements and spare nodes whole, neither
  /// touching a node.
  void swap(EngineList& other) {
    std::swap(count_, other.count_);
    std::swap(head_, other.head_);
    std::swap(freeCache_, other.freeCache_);
  }

  /// Turns the elements' order around in place, their nodes kept.
  void reverse() {
    Node* first = head_->next;
    if (first == nullptr) return;
    Node* last = head_->prev;
    for (Node* node = first; node != nullptr;) {
      Node* next = node->next;
      node->next = node->prev;
      node->prev = next;
      node = next;
    }
    // The old first element ends the list, the old last follows the head.
    first->next = nullptr;
    last->prev = head_;
    head_->next = last;
    head_->prev = first;
  }

  /// Moves up to n of the cached spare nodes to the cache of `to`.
  void giveCacheTo(EngineList& to, std::uint32_t n = UINT32_MAX) {
    for (; n != 0 && freeCache_ != nullptr; --n) {
      Node* node = freeCache_;
      freeCache_ = node->next;
      if (freeCache_ != nullptr) freeCache_->prev = nullptr;
      to.pushToCache(node);
    }
  }

  /// Whether `node` is the head or a linked node of this list (not a cached
  /// node, nor one of another list): its next links lead to this list's last
  /// element. Walks from the node to the end of the list.
  bool holds(const Node* node) const {
    if (node == head_) return true;
    if (node == nullptr || head_->next == nullptr) return false;
    while (node->next != nullptr) node = node->next;
    return node == head_->prev;
  }

  /// Whether some element equals `value`.
  bool contains(const T& value) const {
    for (const Node* node = head_->next; node != nullptr; node = node->next)
      if (node->value == value) return true;
    return false;
  }

  /// Fills the cache of spare nodes up to `n` nodes, so that the next `n`
  /// insertions allocate nothing; stops early when memory runs out.
  void reserve(std::uint32_t n) {
    std::uint32_t cached = 0;
    for (const Node* node = freeCache_; node != nullptr; node = node->next) ++cached;
    for (; cached < n; ++cached) {
      Node* node = new (std::nothrow) Node{T{}, nullptr, nullptr};
      if (node == nullptr) return;
      pushToCache(node);
    }
  }

  /// Frees every cached node (the owner's way to give back memory early).
  void releaseCache() {
    while (freeCache_ != nullptr) {
      Node* node = freeCache_;
      freeCache_ = node->next;
      delete node;
    }
  }

  /// Number of elements.
  std::uint32_t getCount() const { return count_; }
  /// The sentinel; its next link is the first element. Never null while the
  /// list lives.
  Node* getHead() const { return head_; }
  /// The first element, null for an empty list.
  Node* getFirst() const { return head_->next; }
  /// The last element, null for an empty list. Walking back along `prev`
  /// from it reaches the head.
  Node* getLast() const { return head_->prev == head_ ? nullptr : head_->prev; }

 private:
  // A node holding `value`: the cache's first node, or a new one. Null when
  // the allocation fails.
  Node* takeNode(const T& value) {
    Node* node = freeCache_;
    if (node != nullptr) {
      node->value = value;
      freeCache_ = node->next;
      if (freeCache_ != nullptr) freeCache_->prev = nullptr;
      node->next = nullptr;
      return node;
    }
    return new (std::nothrow) Node{value, nullptr, nullptr};
  }

  Node* linkAfter(Node* position, const T& value) {
    Node* node = takeNode(value);
    if (node == nullptr) return nullptr;
    node->next = position->next;
    node->prev = position;
    if (position->next != nullptr) {
      position->next->prev = node;
    } else {
      head_->prev = node;  // the head's prev link marks the last element
    }
    position->next = node;
    ++count_;
    return node;
  }

  // Linked nodes always have a predecessor: the head or another element.
  void unlink(Node* node) {
    ZOV_ASSERT(node != head_ && node->prev != nullptr);
    node->prev->next = node->next;
    if (node->next != nullptr) {
      node->next->prev = node->prev;
    } else {
      head_->prev = node->prev;
    }
  }

  void pushToCache(Node* node) {
    node->next = freeCache_;
    if (freeCache_ != nullptr) freeCache_->prev = node;
    node->prev = nullptr;
    freeCache_ = node;
  }

  std::uint32_t count_;
  Node* head_;
  Node* freeCache_;
};

/// The list's values in iteration order: a snapshot to walk while the list
/// itself changes.
template <typename T>
std::vector<T> valuesOf(const EngineList<T>& list) {
  std::vector<T> values;
  values.reserve(list.getCount());
  for (auto* node = list.getFirst(); node != nullptr; node = node->next) values.push_back(node->value);
  return values;
}
