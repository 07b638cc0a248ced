// The seed plan the shatter, its preview and the preview locator share.
#include <maya/MGlobal.h>

#include <vector>

#include "CommandFixture.h"
#include "ShatterSupport.h"
#include "src/shatter/shatterPlan.h"

namespace {

using namespace zovhost::testing;

class ShatterPlanTest : public CommandTest {};

// The generator is given at least the single-precision 0.01 (widened to
// 0.009999999776482582) as its spread width, and a ring holds at most 300
// seeds: 3000 seeds on 5 rings become 10 rings, with the warning.
TEST_F(ShatterPlanTest, WidthsAndRingsAreHeldToWhatTheGeneratorTakes) {
  struct Case {
    double width;
    std::uint32_t count, rings;
    double givenWidth;
    std::uint32_t givenRings;
    bool warns;
  };
  const Case cases[] = {{0.0, 64, 0, 0.009999999776482582, 0, false},
                        {0.005, 64, 1, 0.009999999776482582, 1, false},
                        {0.01, 3000, 5, 0.01, 10, true},
                        {0.5, 600, 3, 0.5, 3, false},
                        {2.0, 900, 2, 2.0, 3, true}};
  for (const Case& c : cases) {
    zovhost::testing::clearLogs();
    SeedPattern pattern;
    pattern.style = kStyleRadial;
    pattern.count = c.count;
    pattern.width = c.width;
    pattern.ringCount = c.rings;
    ShatterPlan plan(pattern, Mgc::MgcVector3());
    plan.holdSeedsPerRing();
    EXPECT_EQ(plan.width(), c.givenWidth) << c.width;
    EXPECT_EQ(plan.ringCount(), c.givenRings) << c.count << " on " << c.rings;
    EXPECT_EQ(hasMessage(MessageKind::Warning, "number of rings increased"), c.warns) << c.count;
  }
}

// A seeded plan makes the same distinct seeds inside the mesh each time;
// one asking for nothing makes none.
TEST_F(ShatterPlanTest, ASeededPlanMakesTheSameDistinctSeedsInsideTheMesh) {
  meshtest::makeCube("block", 2.0);
  const meshtest::MeshPtr mesh = shattertest::engineOf(meshtest::pathOf("blockShape"));
  ASSERT_TRUE(mesh);
  SeedPattern pattern;
  pattern.count = 20;
  pattern.seed = 7;
  ShatterPlan first(pattern, Mgc::MgcVector3());
  ShatterPlan second(pattern, Mgc::MgcVector3());
  const std::vector<Mgc::MgcVector3> seeds = first.seeds(*mesh);
  ASSERT_EQ(seeds.size(), 20u);
  EXPECT_EQ(first.madeCount(), 20u);
  EXPECT_EQ(second.seeds(*mesh), seeds);
  for (size_t i = 0; i < seeds.size(); ++i) {
    for (int axis = 0; axis < 3; ++axis) EXPECT_LE(std::fabs(seeds[i][axis]), 1.0) << i;
    for (size_t j = 0; j < i; ++j) EXPECT_GE((seeds[i] - seeds[j]).SquaredLength(), 1e-5) << i << " " << j;
  }
  pattern.count = 0;
  EXPECT_TRUE(ShatterPlan(pattern, Mgc::MgcVector3()).seeds(*mesh).empty());
}

}  // namespace
