// Mesh volumes are built and let go on several threads at once (bodies and
// fracture pieces are made while others go); volumes over meshes of one shape
// share their tables, so the sharing itself must be free of races.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "geometry/BVmesh.h"
#include "support/GeometryFixtures.h"

namespace {

constexpr int kTables = kMeshEdgeTable | kMeshVertexTable;

/// Every edge of the volume as its two ends, in table order.
std::vector<std::pair<std::uint32_t, std::uint32_t>> edgeEnds(BVmesh& volume) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ends;
  for (std::uint32_t e = 0; e < volume.getNumEdges(); ++e)
    ends.emplace_back(volume.getConnectEdges(e).vertexA, volume.getConnectEdges(e).vertexB);
  return ends;
}

}  // namespace

TEST(SharedTablesThreads, VolumesMadeAndDroppedAtOnceShareTablesThatReadAsTheirOwn) {
  auto box = zovtest::boxMesh({1.0, 1.0, 1.0});
  BVmesh reference;
  ASSERT_TRUE(reference.init(box.get(), kTables));
  const auto expected = edgeEnds(reference);
  ASSERT_EQ(expected.size(), 12u);

  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::atomic<int> ready{0};
  std::atomic<int> wrong{0};
  std::atomic<int> unshared{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread its own meshes of the box's shape, of its own size.
      auto mine = zovtest::boxMesh({1.0 + t, 2.0, 0.5});
      // And of a shape no volume keeps, whose tables come and go.
      auto square = zovtest::polygonMesh({{0, 0, 0}, {1.0 + t, 0, 0}, {1.0 + t, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}});
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int round = 0; round < kRounds; ++round) {
        auto volume = std::make_unique<BVmesh>();
        if (!volume->init(mine.get(), kTables)) ++wrong;
        if (edgeEnds(*volume) != expected) ++wrong;
        if (volume->getConnectVertex(round % 8).numEdges != 3u) ++wrong;
        if (!volume->sharesEdgeTable(reference) || !volume->sharesVertexTable(reference)) ++unshared;
        BVmesh passing;
        if (!passing.init(square.get(), kTables) || passing.getNumEdges() != 4u) ++wrong;
        if (passing.getConnectVertex(round % 4).numEdges != 2u) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  // The reference volume holds its tables all along: every other volume of
  // the shape takes them.
  EXPECT_EQ(unshared.load(), 0);
}
