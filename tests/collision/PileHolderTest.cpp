// The pile hold's spreading of a body's impulses into its contacts'
// friction cones: the same force and moment on the body, every impulse
// pushing and within its cone, or the impulses left as they came when no
// such set exists. And its refusal of a hold that would kick a body rather
// than stop it.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/bodies/RBDynamics.h"
#include "engine/collision/PileHolder.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

const MgcVector3 kUp(0.0, 1.0, 0.0);

/// The force and moment about the body's position of impulses at arms.
struct Load {
  MgcVector3 force;
  MgcVector3 moment;
};
Load loadOf(const std::vector<MgcVector3>& arms, const std::vector<MgcVector3>& impulses) {
  Load load;
  for (std::size_t i = 0; i < arms.size(); ++i) {
    load.force += impulses[i];
    load.moment += arms[i].Cross(impulses[i]);
  }
  return load;
}

// A unit box on the ground at its four lower corners, and a tile on an
// edge at two points of it, each given impulses that put a load on it:
// where a set of pushing impulses within the cones puts the same load (by
// hand: the box's load shared among its corners, the tile's pinch along its
// edge dropped), the impulses are moved to one; where none does (more
// sideways than the friction holds, or a pull), they are left as they were.
TEST(PileHolder, SpreadingKeepsTheLoadAndReachesTheConesWhenItCan) {
  const std::vector<MgcVector3> corners = {MgcVector3(0.5, -0.5, 0.5), MgcVector3(0.5, -0.5, -0.5),
                                           MgcVector3(-0.5, -0.5, 0.5), MgcVector3(-0.5, -0.5, -0.5)};
  const std::vector<MgcVector3> edge = {MgcVector3(0.0, -1.0, 0.5), MgcVector3(0.0, -1.0, -0.5)};
  const struct {
    const char* name;
    const std::vector<MgcVector3>& arms;
    double friction;
    std::vector<MgcVector3> impulses;
    bool spreads;
  } cases[] = {
      // Shared 0.25 a corner less a twist of 0.35 that nets no load: two
      // corners pull.
      {"box, two corners pulling", corners, 0.5, {kUp * -0.1, kUp * 0.6, kUp * 0.6, kUp * -0.1}, true},
      // A sideways load of 0.2 on a load of 1, all on one corner, where
      // 0.5 a corner holds it shared.
      {"box, sideways on one corner",
       corners,
       0.5,
       {MgcVector3(0.2, 0.25, 0.0), kUp * 0.25, kUp * 0.25, kUp * 0.25},
       true},
      // The tile's edge pinched by 0.2 from each end: across the normal,
      // beyond 0.1 of 0.5; without the pinch, nothing across it.
      {"tile, pinched edge", edge, 0.2, {MgcVector3(0.0, 0.5, -0.2), MgcVector3(0.0, 0.5, 0.2)}, true},
      // Sideways 0.8 on a load of 1: more than 0.5 of it, however shared.
      {"box, sliding",
       corners,
       0.5,
       {MgcVector3(0.2, 0.25, 0.0), MgcVector3(0.2, 0.25, 0.0), MgcVector3(0.2, 0.25, 0.0), MgcVector3(0.2, 0.25, 0.0)},
       false},
      // A pull on the whole box.
      {"box, pulled", corners, 0.5, {kUp * -0.25, kUp * -0.25, kUp * -0.25, kUp * -0.25}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto n = static_cast<std::uint32_t>(c.arms.size());
    const std::vector<MgcVector3> normals(n, kUp);
    const std::vector<double> friction(n, c.friction);
    const std::vector<std::uint8_t> out(n, 0);
    std::vector<MgcVector3> impulses = c.impulses;
    const bool spread =
        pileholding::spreadIntoCones(n, c.arms.data(), normals.data(), friction.data(), out.data(), impulses.data());
    ASSERT_EQ(spread, c.spreads);
    const Load before = loadOf(c.arms, c.impulses);
    const Load after = loadOf(c.arms, impulses);
    EXPECT_LT((after.force - before.force).Length(), 1e-9);
    EXPECT_LT((after.moment - before.moment).Length(), 1e-9);
    for (std::uint32_t i = 0; i < n; ++i) {
      if (!c.spreads) {
        EXPECT_EQ(impulses[i], c.impulses[i]) << i;
        continue;
      }
      const double along = impulses[i].Dot(kUp);
      EXPECT_GE(along, 0.0) << i;
      EXPECT_LE((impulses[i] - kUp * along).Length(), c.friction * along + 1e-12) << i;
    }
  }
}

// A tile of mass 1, 0.2 x 2 x 1 (a turn about its thin side takes
// (0.2^2 + 2^2) / 12 = 0.3367), sliding at 0.6 m/s: its kinetic energy,
// doubled, 0.36. A hold may stop it, or take it along with its supports at
// 0.8 m/s (0.64 of at most 2 x 0.36). One that takes it along at 0.9 m/s
// (0.81), or sets it turning at 4.4 rad/s by a push at its top edge (0.77 +
// 0.3367 x 4.4^2 = 7.3), puts more into it than stopping it asks: a kick.
// At rest, it may be taken along at 2 mm/s, not at 5.
TEST(PileHolder, HoldThatPutsMoreThanTwiceTheEnergyIntoABodyIsAKick) {
  RBDynamics tile;
  tile.invMass = 1.0;
  const double turn = (0.2 * 0.2 + 2.0 * 2.0) / 12.0;
  const double across = (0.2 * 0.2 + 1.0) / 12.0;
  const double along = (2.0 * 2.0 + 1.0) / 12.0;
  tile.worldInvInertia = MgcMatrix3(1.0 / across, 0.0, 0.0, 0.0, 1.0 / along, 0.0, 0.0, 0.0, 1.0 / turn);
  const MgcVector3 centre;
  const MgcVector3 top(0.0, 1.0, 0.0);
  // A push at the top edge along -x turns the tile about z: 4.4 rad/s.
  const double spin = 4.4 * turn;
  const struct {
    const char* name;
    double sliding;
    MgcVector3 arm;
    MgcVector3 impulse;
    bool kicks;
  } cases[] = {
      {"stopped", 0.6, centre, MgcVector3(-0.6, 0.0, 0.0), false},
      {"taken along at 0.8 m/s", 0.6, centre, MgcVector3(0.2, 0.0, 0.0), false},
      {"taken along at 0.9 m/s", 0.6, centre, MgcVector3(0.3, 0.0, 0.0), true},
      {"turned at its top edge", 0.6, top, MgcVector3(-spin, 0.0, 0.0), true},
      {"at rest, taken along at 2 mm/s", 0.0, centre, MgcVector3(0.002, 0.0, 0.0), false},
      {"at rest, taken along at 5 mm/s", 0.0, centre, MgcVector3(0.005, 0.0, 0.0), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tile.linearVelocity = MgcVector3(c.sliding, 0.0, 0.0);
    EXPECT_EQ(pileholding::holdKicks(tile, 1, &c.arm, &c.impulse), c.kicks);
  }
}

}  // namespace
