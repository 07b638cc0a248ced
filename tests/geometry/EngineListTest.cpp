#include "geometry/EngineList.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <iterator>
#include <list>
#include <random>
#include <vector>

namespace {

using IntList = EngineList<int>;
using Node = IntList::Node;

std::vector<Node*> nodesOf(const IntList& list) {
  std::vector<Node*> nodes;
  for (Node* node = list.getFirst(); node != nullptr; node = node->next) nodes.push_back(node);
  return nodes;
}

std::vector<int> valuesOf(const IntList& list) {
  std::vector<int> values;
  for (Node* node : nodesOf(list)) values.push_back(node->value);
  return values;
}

// Each previous link is the predecessor (the head for the first), the last
// element is the one the forward walk ends on, and the count is the number of
// elements.
void expectConsistent(const IntList& list) {
  Node* previous = list.getHead();
  for (Node* node : nodesOf(list)) {
    ASSERT_EQ(node->prev, previous);
    previous = node;
  }
  EXPECT_EQ(list.getLast(), previous == list.getHead() ? nullptr : previous);
  EXPECT_EQ(list.getCount(), nodesOf(list).size());
}

// An element that counts its constructions: a new node constructs its value,
// a reused one only assigns it.
struct Counted {
  static int constructions;
  int id = 0;
  Counted(int i = 0) : id(i) { ++constructions; }
  Counted(const Counted& other) : id(other.id) { ++constructions; }
  Counted& operator=(const Counted& other) = default;
  bool operator==(const Counted& other) const { return id == other.id; }
};
int Counted::constructions = 0;

/// How many values and nodes the step makes.
template <typename Step>
int constructionsIn(Step step) {
  const int before = Counted::constructions;
  step();
  return Counted::constructions - before;
}

}  // namespace

// The list against a std::list model under random operations; unlinked nodes
// go to a cache from which the most recent one is taken first.
TEST(EngineList, BehavesLikeAModelAndReusesCachedNodesMostRecentFirst) {
  std::mt19937 random(20240611);
  IntList list, other;
  std::list<int> model;
  std::vector<Node*> cache;
  const auto expectTaken = [&](Node* node) {
    if (cache.empty()) return;
    EXPECT_EQ(node, cache.back()) << "a cached node is reused before allocating";
    cache.pop_back();
  };
  for (int step = 0; step < 20000; ++step) {
    const int operation = static_cast<int>(random() % 100);
    const int value = static_cast<int>(random() % 16);  // duplicates happen
    if (operation < 40) {
      list.append(value);  // iteration yields the most recent first
      model.push_front(value);
      expectTaken(list.getFirst());
    } else if (operation < 55 && !model.empty()) {
      const std::size_t index = random() % model.size();
      Node* position = nodesOf(list)[index];
      list.insertAfter(value, position);
      model.insert(std::next(model.begin(), index + 1), value);
      expectTaken(position->next);
    } else if (operation < 85) {
      // Half the removals take a present value; the first one met goes.
      const int target =
          operation % 2 == 0 && !model.empty() ? *std::next(model.begin(), random() % model.size()) : value;
      const std::vector<Node*> nodes = nodesOf(list);
      list.remove(target);
      for (auto it = model.begin(); it != model.end(); ++it)
        if (*it == target) {
          cache.push_back(nodes[std::distance(model.begin(), it)]);
          model.erase(it);
          break;
        }
    } else if (operation < 90) {
      for (Node* node : nodesOf(list)) cache.push_back(node);
      list.clear();
      model.clear();
    } else {
      other.append(value);
      for (Node* node : nodesOf(list)) cache.push_back(node);
      list = other;  // the other's order, in this list's cached nodes first
      const std::vector<int> values = valuesOf(other);
      model.assign(values.begin(), values.end());
      for (Node* node : nodesOf(list)) expectTaken(node);
    }
    expectConsistent(list);
    EXPECT_EQ(valuesOf(list), std::vector<int>(model.begin(), model.end()));
    if (::testing::Test::HasFailure()) FAIL() << "first failure at step " << step;
  }
}

TEST(EngineList, AppendAllSelfAssignmentNullPositionAndReleasedCache) {
  IntList source, target;
  for (int value : {3, 2, 1}) source.append(value);  // 1, 2, 3
  target.append(0);
  target.appendAll(source);
  EXPECT_EQ(valuesOf(target), (std::vector<int>{3, 2, 1, 0})) << "added in reverse at the front";
  EXPECT_EQ(source.getCount(), 3u);
  Node* first = target.getFirst();
  const IntList& alias = target;
  target = alias;
  EXPECT_EQ(target.getFirst(), first);
  EXPECT_EQ(valuesOf(target), (std::vector<int>{3, 2, 1, 0}));
  target.insertAfter(9, nullptr);
  EXPECT_EQ(target.getCount(), 4u);

  EngineList<Counted> counted;
  counted.append(Counted(1));
  counted.remove(Counted(1));
  counted.releaseCache();
  EXPECT_EQ(constructionsIn([&] { counted.append(Counted(2)); }), 2) << "one temporary and one new node";
}

// A list holds its head and its linked nodes, and neither a node it has
// cached nor another list's node. Where checks are on, inserting after a
// node the list does not hold stops the program.
TEST(EngineList, HoldsItsHeadAndLinkedNodesOnlyAndChecksInsertionPositions) {
  IntList list, other;
  for (int value : {1, 2, 3}) list.append(value);
  other.append(7);
  Node* cached = list.getFirst();
  list.remove(cached->value);
  const struct {
    const char* what;
    const Node* node;
    bool held;
  } cases[] = {
      {"head", list.getHead(), true}, {"first", list.getFirst(), true},          {"last", list.getLast(), true},
      {"cached", cached, false},      {"other list's", other.getFirst(), false}, {"other head", other.getHead(), false},
      {"null", nullptr, false},
  };
  for (const auto& c : cases) EXPECT_EQ(list.holds(c.node), c.held) << c.what;
  IntList empty;
  EXPECT_TRUE(empty.holds(empty.getHead()));
  EXPECT_FALSE(empty.holds(list.getFirst()));
#if ZOV_ASSERTS_ON
  EXPECT_EXIT(list.insertAfter(5, other.getFirst()), testing::KilledBySignal(SIGABRT),
              "assertion failed: holds\\(position\\)");
  EXPECT_EXIT(list.insertAfter(5, cached), testing::KilledBySignal(SIGABRT), "assertion failed");
#endif
  EXPECT_EQ(valuesOf(list), (std::vector<int>{2, 1}));
}

// Moving the first element puts its own node at the front of the other list,
// as remove and append would put the value; a list's spare nodes move to
// another's cache, where its next insertions reuse them instead of making
// new ones.
TEST(EngineList, MovingTheFirstElementTakesItsNodeAndSpareNodesMoveBetweenCaches) {
  IntList from, to;
  for (int value : {1, 2, 3}) from.append(value);  // 3, 2, 1
  to.append(9);
  Node* moved = from.getFirst();
  ASSERT_TRUE(from.moveFirstTo(to));
  EXPECT_EQ(to.getFirst(), moved);
  EXPECT_EQ(valuesOf(to), (std::vector<int>{3, 9}));
  EXPECT_EQ(valuesOf(from), (std::vector<int>{2, 1}));
  expectConsistent(from);
  expectConsistent(to);
  ASSERT_TRUE(from.moveFirstTo(to));
  ASSERT_TRUE(from.moveFirstTo(to));
  EXPECT_FALSE(from.moveFirstTo(to)) << "nothing left";
  EXPECT_EQ(valuesOf(to), (std::vector<int>{1, 2, 3, 9}));
  expectConsistent(from);
  expectConsistent(to);
  IntList empty;
  ASSERT_TRUE(to.moveFirstTo(empty));
  EXPECT_EQ(empty.getLast(), empty.getFirst()) << "the one element is the last";
  expectConsistent(empty);

  // Two spare nodes in `giver`; one moves to `taker`.
  EngineList<Counted> giver, taker;
  giver.append(Counted(1));
  giver.append(Counted(2));
  giver.remove(Counted(1));
  giver.remove(Counted(2));
  giver.giveCacheTo(taker, 1);
  EXPECT_EQ(constructionsIn([&] { taker.append(Counted(5)); }), 1) << "the temporary only: a moved node";
  EXPECT_EQ(constructionsIn([&] { taker.append(Counted(6)); }), 2) << "the temporary and a new node";
  EXPECT_EQ(constructionsIn([&] { giver.append(Counted(7)); }), 1) << "the node the giver kept";
  // Every spare node, whatever the count.
  taker.remove(Counted(5));
  taker.remove(Counted(6));
  taker.giveCacheTo(giver);
  EXPECT_EQ(constructionsIn([&] {
              giver.append(Counted(8));
              giver.append(Counted(9));
            }),
            2)
      << "both temporaries only";
}

// A run of the first or last n elements moves whole, nodes and all, in its
// order: to the front of the other list from the front, to the back from the
// back. Both lists stay consistent (links, last element, count), neither
// makes or caches a node, and asking for more than a list holds moves all of
// it; n = 0, an empty list and a list moved to itself move nothing.
TEST(EngineList, RunsOfElementsMoveWholeInTheirOrder) {
  struct Case {
    bool fromFront;
    std::uint32_t n;
    std::vector<int> target;
    std::uint32_t moved;
    std::vector<int> sourceAfter;
    std::vector<int> targetAfter;
  };
  // The source holds 1 .. 5 in iteration order.
  const Case cases[] = {
      {true, 2, {8, 9}, 2, {3, 4, 5}, {1, 2, 8, 9}}, {true, 1, {}, 1, {2, 3, 4, 5}, {1}},
      {true, 5, {9}, 5, {}, {1, 2, 3, 4, 5, 9}},     {true, 7, {}, 5, {}, {1, 2, 3, 4, 5}},
      {true, 0, {9}, 0, {1, 2, 3, 4, 5}, {9}},       {false, 2, {8, 9}, 2, {1, 2, 3}, {8, 9, 4, 5}},
      {false, 1, {}, 1, {1, 2, 3, 4}, {5}},          {false, 5, {9}, 5, {}, {9, 1, 2, 3, 4, 5}},
      {false, 9, {}, 5, {}, {1, 2, 3, 4, 5}},        {false, 0, {}, 0, {1, 2, 3, 4, 5}, {}},
  };
  for (const Case& c : cases) {
    EngineList<Counted> from, to;
    // Appending puts each value first: append in reverse for the order wanted.
    for (int value = 5; value >= 1; --value) from.append(Counted(value));
    for (auto it = c.target.rbegin(); it != c.target.rend(); ++it) to.append(Counted(*it));
    std::vector<const void*> runNodes;
    for (auto* node = from.getFirst(); node != nullptr; node = node->next) runNodes.push_back(node);
    std::uint32_t moved = 0;
    EXPECT_EQ(
        constructionsIn([&] { moved = c.fromFront ? from.moveFirstRunTo(to, c.n) : from.moveLastRunTo(to, c.n); }), 0)
        << "no value or node made";
    EXPECT_EQ(moved, c.moved);
    std::vector<int> sourceValues, targetValues;
    for (auto* node = from.getFirst(); node != nullptr; node = node->next) sourceValues.push_back(node->value.id);
    for (auto* node = to.getFirst(); node != nullptr; node = node->next) targetValues.push_back(node->value.id);
    EXPECT_EQ(sourceValues, c.sourceAfter) << c.fromFront << " " << c.n;
    EXPECT_EQ(targetValues, c.targetAfter) << c.fromFront << " " << c.n;
    // The moved elements keep their nodes.
    const std::size_t firstMoved = c.fromFront ? 0 : runNodes.size() - moved;
    const void* firstNode = moved == 0 ? nullptr : runNodes[firstMoved];
    bool found = firstNode == nullptr;
    for (auto* node = to.getFirst(); node != nullptr && !found; node = node->next) found = node == firstNode;
    EXPECT_TRUE(found) << c.fromFront << " " << c.n;
    for (const EngineList<Counted>* list : {&from, &to}) {
      const void* previous = list->getHead();
      std::uint32_t count = 0;
      for (auto* node = list->getFirst(); node != nullptr; node = node->next, ++count) {
        ASSERT_EQ(node->prev, previous);
        previous = node;
      }
      EXPECT_EQ(list->getLast(), previous == list->getHead() ? nullptr : previous);
      EXPECT_EQ(list->getCount(), count);
    }
    // Neither list cached a node: the next insertion into the emptied
    // source makes one, beside the temporary.
    if (from.getCount() == 0) {
      EXPECT_EQ(constructionsIn([&] { from.append(Counted(0)); }), 2) << "the temporary and a new node";
    }
  }
  EngineList<Counted> self;
  self.append(Counted(1));
  EXPECT_EQ(self.moveFirstRunTo(self, 1), 0u);
  EXPECT_EQ(self.moveLastRunTo(self, 1), 0u);
  EXPECT_EQ(self.getCount(), 1u);
}

// Swapping exchanges two lists' elements and spare nodes without making or
// moving a node; reversing turns the order around in place with the same
// nodes, the list consistent afterwards (links, last element, count), for
// lists of no, one and several elements.
TEST(EngineList, SwappingAndReversingKeepTheNodes) {
  for (int size : {0, 1, 2, 5}) {
    IntList list;
    for (int value = 1; value <= size; ++value) list.append(value);  // size .. 1
    const std::vector<Node*> before = nodesOf(list);
    list.reverse();
    expectConsistent(list);
    std::vector<Node*> reversed(before.rbegin(), before.rend());
    EXPECT_EQ(nodesOf(list), reversed) << size;
    std::vector<int> ascending;
    for (int value = 1; value <= size; ++value) ascending.push_back(value);
    EXPECT_EQ(valuesOf(list), ascending) << size;
    list.reverse();
    EXPECT_EQ(nodesOf(list), before) << size;
    expectConsistent(list);
  }
  // A list of two with one spare node against an empty one with none.
  EngineList<Counted> full, empty;
  for (int id : {1, 2, 3}) full.append(Counted(id));
  full.remove(Counted(2));
  const auto* firstNode = full.getFirst();
  full.swap(empty);
  EXPECT_EQ(full.getCount(), 0u);
  EXPECT_EQ(full.getFirst(), nullptr);
  EXPECT_EQ(full.getLast(), nullptr);
  ASSERT_EQ(empty.getCount(), 2u);
  EXPECT_EQ(empty.getFirst(), firstNode);
  EXPECT_EQ(empty.getFirst()->value.id, 3);
  EXPECT_EQ(empty.getLast()->value.id, 1);
  // The spare node went with the elements: the emptied list makes a node.
  EXPECT_EQ(constructionsIn([&] { full.append(Counted(4)); }), 2) << "the temporary and a new node";
  EXPECT_EQ(constructionsIn([&] { empty.append(Counted(5)); }), 1) << "the temporary only: the spare node";
}
