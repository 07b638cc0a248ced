#include "geometry/EngineList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <list>
#include <random>
#include <vector>

#include "math/MgcVector3.h"

namespace {

// An element that counts its constructions. A node is made by constructing its
// value in place, while a reused node only has its value assigned, so the
// count (minus the head's) is the number of nodes the list allocated.
struct Counted {
  static int constructions;
  int id = 0;
  Counted() { ++constructions; }
  Counted(int i) : id(i) { ++constructions; }
  Counted(const Counted& other) : id(other.id) { ++constructions; }
  Counted& operator=(const Counted& other) = default;
  bool operator==(const Counted& other) const { return id == other.id; }
};
int Counted::constructions = 0;

using CountedList = EngineList<Counted>;
using Node = CountedList::Node;

std::vector<Node*> nodesOf(const CountedList& list) {
  std::vector<Node*> nodes;
  for (Node* node = list.getFirst(); node != nullptr; node = node->next) nodes.push_back(node);
  return nodes;
}

std::vector<int> idsOf(const CountedList& list) {
  std::vector<int> ids;
  for (Node* node = list.getFirst(); node != nullptr; node = node->next) ids.push_back(node->value.id);
  return ids;
}

// The list's links agree with each other: each element's previous link is its
// predecessor (the head for the first), and the count is the element count.
void expectConsistent(const CountedList& list) {
  Node* previous = list.getHead();
  std::uint32_t count = 0;
  for (Node* node = list.getFirst(); node != nullptr; node = node->next) {
    ASSERT_EQ(node->prev, previous);
    previous = node;
    ++count;
  }
  EXPECT_EQ(list.getCount(), count);
}

// Drives an EngineList and a std::list model with the same operations and
// predicts, for the list, which node each insertion takes: the most recently
// cached one while there is any, else a new allocation.
class ListModel {
 public:
  explicit ListModel(CountedList& list) : list_(list) {}

  void append(int id) {
    list_.append(Counted(id));
    model_.push_front(id);
    expectTaken(list_.getFirst());
  }

  void insertAfter(std::size_t index, int id) {
    Node* position = nodesOf(list_)[index];
    list_.insertAfter(Counted(id), position);
    auto it = model_.begin();
    std::advance(it, index + 1);
    model_.insert(it, id);
    expectTaken(position->next);
  }

  void remove(int id) {
    const std::vector<Node*> nodes = nodesOf(list_);
    list_.remove(Counted(id));
    std::size_t index = 0;
    for (auto it = model_.begin(); it != model_.end(); ++it, ++index) {
      if (*it == id) {
        cache_.push_back(nodes[index]);
        model_.erase(it);
        break;
      }
    }
  }

  void clear() {
    for (Node* node : nodesOf(list_)) cache_.push_back(node);
    list_.clear();
    model_.clear();
  }

  // Assigns `source` to the list; `source` keeps its own order and nodes.
  void assign(const CountedList& source) {
    for (Node* node : nodesOf(list_)) cache_.push_back(node);
    list_ = source;
    const std::vector<int> ids = idsOf(source);
    model_.assign(ids.begin(), ids.end());
    for (Node* node : nodesOf(list_)) expectTaken(node);
  }

  void check() const {
    expectConsistent(list_);
    EXPECT_EQ(idsOf(list_), std::vector<int>(model_.begin(), model_.end()));
    // The last element, and every element from it back to the head.
    std::vector<int> backwards;
    for (auto* node = list_.getLast(); node != nullptr && node != list_.getHead(); node = node->prev) {
      backwards.push_back(node->value.id);
    }
    EXPECT_EQ(backwards, std::vector<int>(model_.rbegin(), model_.rend()));
    EXPECT_EQ(Counted::constructions - constructionsAtStart_, allocations_ + otherConstructions_);
  }

  // Constructions that are not node allocations (temporaries made by the test).
  void countTemporaries(int n) { otherConstructions_ += n; }
  std::size_t size() const { return model_.size(); }
  int valueAt(std::size_t index) const {
    auto it = model_.begin();
    std::advance(it, index);
    return *it;
  }

 private:
  void expectTaken(Node* node) {
    if (cache_.empty()) {
      ++allocations_;
      return;
    }
    EXPECT_EQ(node, cache_.back()) << "a cached node must be reused before allocating";
    cache_.pop_back();
  }

  CountedList& list_;
  std::list<int> model_;
  std::vector<Node*> cache_;
  int allocations_ = 0;
  int otherConstructions_ = 0;
  const int constructionsAtStart_ = Counted::constructions;
};

}  // namespace

TEST(EngineList, BehavesLikeAModelUnderRandomOperations) {
  std::mt19937 random(20240611);
  CountedList list;
  CountedList other;
  ListModel model(list);
  for (int step = 0; step < 20000; ++step) {
    const int operation = static_cast<int>(random() % 100);
    const int id = static_cast<int>(random() % 16);  // small range: duplicates happen
    if (operation < 40) {
      model.append(id);
      model.countTemporaries(1);
    } else if (operation < 55 && model.size() > 0) {
      model.insertAfter(random() % model.size(), id);
      model.countTemporaries(1);
    } else if (operation < 85) {
      // Half the removals take a present value, half may miss.
      const int target = (operation % 2 == 0 && model.size() > 0) ? model.valueAt(random() % model.size()) : id;
      model.remove(target);
      model.countTemporaries(1);
    } else if (operation < 90) {
      model.clear();
    } else if (operation < 95) {
      const int before = Counted::constructions;
      other.append(Counted(id));
      model.countTemporaries(Counted::constructions - before);
      model.assign(other);
    } else {
      // Iterating twice yields the same sequence and changes nothing.
      EXPECT_EQ(idsOf(list), idsOf(list));
    }
    model.check();
    if (::testing::Test::HasFailure()) FAIL() << "first failure at step " << step;
  }
}

TEST(EngineList, AppendIteratesMostRecentFirst) {
  EngineList<int*> list;
  int a = 0, b = 0, c = 0;
  list.append(&a);
  list.append(&b);
  list.append(&c);
  EXPECT_EQ(list.getCount(), 3u);
  std::vector<int*> order;
  for (auto* node = list.getFirst(); node != nullptr; node = node->next) order.push_back(node->value);
  EXPECT_EQ(order, (std::vector<int*>{&c, &b, &a}));
  EXPECT_EQ(list.getHead()->value, nullptr) << "the head holds no element";
}

TEST(EngineList, RemoveEdgeCases) {
  EngineList<int*> list;
  int a = 0, b = 0, c = 0, absent = 0;
  list.append(&a);
  list.append(&b);
  list.append(&a);  // duplicate: the most recent one is met first
  list.append(&c);
  auto* firstA = list.getFirst()->next;

  list.remove(&absent);
  EXPECT_EQ(list.getCount(), 4u);

  list.remove(&a);
  EXPECT_EQ(list.getCount(), 3u);
  std::vector<int*> order;
  for (auto* node = list.getFirst(); node != nullptr; node = node->next) order.push_back(node->value);
  EXPECT_EQ(order, (std::vector<int*>{&c, &b, &a}));
  // The removed node was the one nearer the head, and is reused next.
  list.append(&absent);
  EXPECT_EQ(list.getFirst(), firstA);

  // Removing the first element makes the second one first, linked to the head.
  auto* second = list.getFirst()->next;
  list.remove(&absent);
  EXPECT_EQ(list.getHead()->next, second);
  EXPECT_EQ(second->prev, list.getHead());
}

TEST(EngineList, ClearCachesNodesAndReusesTheFormerLastFirst) {
  EngineList<int*> list;
  int a = 0, b = 0, c = 0;
  list.append(&a);
  list.append(&b);
  list.append(&c);
  auto* last = list.getFirst()->next->next;  // holds &a
  list.clear();
  EXPECT_EQ(list.getCount(), 0u);
  EXPECT_EQ(list.getHead()->next, nullptr);
  list.append(&b);
  EXPECT_EQ(list.getFirst(), last);
}

TEST(EngineList, AssignmentKeepsOrderAndSelfAssignmentChangesNothing) {
  EngineList<int*> source, target;
  int a = 0, b = 0, c = 0, x = 0;
  source.append(&c);
  source.append(&b);
  source.append(&a);  // iteration order a, b, c
  target.append(&x);
  auto* cached = target.getFirst();

  target = source;
  std::vector<int*> order;
  for (auto* node = target.getFirst(); node != nullptr; node = node->next) order.push_back(node->value);
  EXPECT_EQ(order, (std::vector<int*>{&a, &b, &c}));
  EXPECT_EQ(target.getFirst(), cached) << "the target's cached node is used first";
  EXPECT_EQ(target.getCount(), 3u);

  auto* firstBefore = target.getFirst();
  auto& alias = target;
  target = alias;
  EXPECT_EQ(target.getFirst(), firstBefore);
  EXPECT_EQ(target.getCount(), 3u);
}

TEST(EngineList, AppendAllAddsInReverseAtTheFront) {
  EngineList<int*> source, target;
  int a = 0, b = 0, c = 0, x = 0;
  source.append(&c);
  source.append(&b);
  source.append(&a);  // a, b, c
  target.append(&x);
  target.appendAll(source);
  std::vector<int*> order;
  for (auto* node = target.getFirst(); node != nullptr; node = node->next) order.push_back(node->value);
  EXPECT_EQ(order, (std::vector<int*>{&c, &b, &a, &x}));
  EXPECT_EQ(source.getCount(), 3u);
}

TEST(EngineList, InsertAfterNullPositionDoesNothing) {
  EngineList<int*> list;
  int a = 0;
  list.insertAfter(&a, nullptr);
  EXPECT_EQ(list.getCount(), 0u);
  EXPECT_EQ(list.getFirst(), nullptr);
  list.insertAfter(&a, list.getHead());
  EXPECT_EQ(list.getCount(), 1u);
  EXPECT_EQ(list.getFirst()->value, &a);
}

TEST(EngineList, ReleasedCacheIsNotReused) {
  CountedList list;
  list.append(Counted(1));
  list.remove(Counted(1));
  list.releaseCache();
  const int before = Counted::constructions;
  list.append(Counted(2));
  EXPECT_EQ(Counted::constructions - before, 2) << "one temporary and one new node";
}

TEST(EngineList, VectorValuesAreRemovedByValue) {
  using Mgc::MgcVector3;
  EngineList<MgcVector3> list;
  EXPECT_EQ(list.getHead()->value, MgcVector3::ZERO);
  list.append(MgcVector3(1.0, 2.0, 3.0));
  list.append(MgcVector3(4.0, 5.0, 6.0));
  list.remove(MgcVector3(1.0, 2.0, 3.0));
  ASSERT_EQ(list.getCount(), 1u);
  EXPECT_EQ(list.getFirst()->value, MgcVector3(4.0, 5.0, 6.0));
  EXPECT_EQ(list.getFirst()->next, nullptr);
}
