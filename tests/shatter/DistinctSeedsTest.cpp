#include "geometry/shatter/DistinctSeeds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/RandomGeometry.h"

using Mgc::MgcVector3;

namespace {

/// The rule written out the slow way: each seed against every kept one.
std::vector<MgcVector3> bruteForce(const std::vector<MgcVector3>& added, const std::vector<MgcVector3>& earlier) {
  std::vector<MgcVector3> kept;
  for (const MgcVector3& p : added) {
    bool near = false;
    for (const MgcVector3& q : earlier) near = near || (p - q).SquaredLength() < 1e-5;
    for (const MgcVector3& q : kept) near = near || (p - q).SquaredLength() < 1e-5;
    if (!near) kept.push_back(p);
  }
  return kept;
}

bool same(const std::vector<MgcVector3>& a, const std::vector<MgcVector3>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!(a[i] == b[i])) return false;
  return true;
}

TEST(DistinctSeeds, KeepsTheFirstOfEachCoincidentRunAsTheSlowRuleDoes) {
  zovtest::Random random(55);
  // Clusters tighter and looser than the coincidence distance (about
  // 0.00316), far from the origin too, where the sweep's window rounds.
  for (const double spread : {1e-4, 2e-3, 4e-3, 0.05})
    for (const double offset : {0.0, 1e6}) {
      std::vector<MgcVector3> centres, added, earlier;
      for (int c = 0; c < 12; ++c) centres.push_back(random.vector() + MgcVector3(offset, 0.0, 0.0));
      for (int i = 0; i < 300; ++i) added.push_back(centres[random.index(12)] + random.vector(-spread, spread));
      for (int i = 0; i < 20; ++i) earlier.push_back(centres[random.index(12)] + random.vector(-spread, spread));
      EXPECT_TRUE(same(distinctSeeds(added), bruteForce(added, {}))) << spread << " " << offset;
      EXPECT_TRUE(same(distinctSeeds(added, earlier), bruteForce(added, earlier))) << spread << " " << offset;
    }
}

TEST(DistinctSeeds, ExactRepeatsGoAndTheDistanceItselfStays) {
  const double d = std::sqrt(1e-5);
  const MgcVector3 a(1.0, 2.0, 3.0);
  const std::vector<MgcVector3> added = {a, a, a + MgcVector3(0.0, d * 0.999, 0.0), a + MgcVector3(0.0, 0.0, d * 1.001),
                                         a};
  const std::vector<MgcVector3> kept = distinctSeeds(added);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_TRUE(kept[0] == a);
  EXPECT_TRUE(kept[1] == added[3]);
  // A seed repeating an earlier one goes even when it is the first added.
  EXPECT_TRUE(distinctSeeds({a, MgcVector3(5.0, 5.0, 5.0)}, {a}).size() == 1u);
  EXPECT_TRUE(distinctSeeds({}, {a}).empty());
}

TEST(DistinctSeeds, SeedsThatAreNotFiniteCoincideWithNone) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<MgcVector3> added = {
      {nan, 0.0, 0.0}, {nan, 0.0, 0.0}, {inf, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
  EXPECT_EQ(distinctSeeds(added).size(), 4u);
  EXPECT_EQ(distinctSeeds({{0.0, 0.0, 0.0}}, {{nan, 0.0, 0.0}}).size(), 1u);
}

}  // namespace
