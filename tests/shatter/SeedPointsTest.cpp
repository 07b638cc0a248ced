#include "geometry/shatter/SeedPoints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "geometry/BoxFits.h"
#include "geometry/ConvexHull.h"
#include "platform/CRandom.h"
#include "support/MeshFixtures.h"
#include "support/PointClouds.h"

using Mgc::MgcVector3;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A convex mesh over the points, each corner's colour id being its vertex id;
// flat points give their vertices alone.
std::unique_ptr<ZOV_DFmesh> convexMesh(const std::vector<MgcVector3>& points) {
  const auto n = static_cast<std::uint32_t>(points.size());
  auto mesh = convexHullDF(points.data(), n);
  if (!mesh) {
    mesh = zovtest::makeDFmesh(n, 0);
    std::copy(points.begin(), points.end(), mesh->vertices);
  }
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    DFface& face = mesh->faces[f];
    face.extraIndices = static_cast<std::uint32_t*>(std::calloc(face.numVertices, sizeof(std::uint32_t)));
    for (std::uint32_t k = 0; k < face.numVertices; ++k) face.extraIndices[k] = face.vertices[k];
  }
  return mesh;
}

const MgcVector3 kBoxCentre(5.0, -1.0, 2.0);
const MgcVector3 kBoxHalf(2.0, 1.5, 1.0);

std::unique_ptr<ZOV_DFmesh> boxMesh(const MgcVector3& half = kBoxHalf, const MgcVector3& centre = kBoxCentre) {
  std::vector<MgcVector3> corners = zovtest::boxCorners(half.x, half.y, half.z);
  for (MgcVector3& c : corners) c += centre;
  return convexMesh(corners);
}

bool insideBox(const MgcVector3& p) {
  const MgcVector3 d = p - kBoxCentre;
  return std::fabs(d.x) <= kBoxHalf.x + 1e-9 && std::fabs(d.y) <= kBoxHalf.y + 1e-9 &&
         std::fabs(d.z) <= kBoxHalf.z + 1e-9;
}

// A request of every pattern's inputs, writing into a NaN-filled buffer.
struct Request {
  explicit Request(std::uint16_t pattern, std::uint32_t count = 40, std::uint32_t seed = 7)
      : buffer(200, {kNaN, 0, 0}) {
    p.outPoints = buffer.data();
    p.shatterStyle = pattern;
    p.numShards = p.numPoints = count;
    p.seed = seed;
    p.center = p.centers[0] = kBoxCentre;
    p.centers[1] = kBoxCentre + MgcVector3(1.0, 0.5, 0.0);
    p.numCenters = 2;
    p.noise = 0.5;
    p.numRings = 4, p.minRings = 2;
    p.radius = 0.3, p.minRadius = 0.1;
    for (int i = -4; i <= 4; ++i) curve.push_back(kBoxCentre + MgcVector3(0.4 * i, 0.1 * i, 0.0));
    colours.assign(8, MgcVector3(0.1, 0.1, 0.1));
    colours[3] = MgcVector3(1.0, 1.0, 1.0);
    p.numGivenPoints = 8;
  }
  bool run(const ZOV_DFmesh* mesh, const ZOVbox* limit = nullptr) {
    p.pathPoints = curve.data();
    p.numPathPoints = static_cast<std::uint32_t>(curve.size());
    p.givenPoints = colours.data();
    return generateShatterSeeds(p, mesh, limit);
  }
  std::vector<MgcVector3> made() const { return {buffer.begin(), buffer.begin() + p.numPoints}; }

  zov_shatter_params p;
  std::vector<MgcVector3> buffer, curve, colours;
};

const std::uint16_t kPatterns[] = {0, 1, 2, 3, 4, 5};

bool same(const std::vector<MgcVector3>& a, const std::vector<MgcVector3>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) return false;
  return true;
}

TEST(SeedPoints, SeededRequestsRepeatAndUnseededOnesDiffer) {
  auto mesh = boxMesh();
  for (std::uint16_t pattern : kPatterns) {
    SCOPED_TRACE(pattern);
    Request a(pattern), b(pattern), c(pattern, 40, 0), d(pattern, 40, 0);
    ASSERT_TRUE(a.run(mesh.get()) && b.run(mesh.get()) && c.run(mesh.get()) && d.run(mesh.get()));
    EXPECT_TRUE(same(a.made(), b.made()));
    EXPECT_FALSE(same(c.made(), d.made()));
  }
}

TEST(SeedPoints, EveryPointMadeLiesInTheMeshAndNoneBeyondTheCount) {
  auto box = boxMesh();
  auto sphere = convexMesh(zovtest::onSphere(1000, 3));
  const ZOVbox limit{kBoxCentre + MgcVector3(1.5, 0, 0), Mgc::MgcMatrix3::IDENTITY, {1.0, 1.0, 1.0}, 1.0};
  for (std::uint16_t pattern : kPatterns) {
    for (std::uint32_t seed = 0; seed < 4; ++seed) {
      SCOPED_TRACE(testing::Message() << "pattern " << pattern << " seed " << seed);
      Request inBox(pattern, 60, seed), inLimit(pattern, 60, seed), inSphere(pattern, 60, seed);
      inSphere.p.center = inSphere.p.centers[0] = MgcVector3(0.9, 0.0, 0.0);
      for (MgcVector3& c : inSphere.curve) c -= kBoxCentre;
      inSphere.colours.assign(1000, MgcVector3(0.9, 0.9, 0.9));
      inSphere.p.numGivenPoints = 1000;
      ASSERT_TRUE(inBox.run(box.get()) && inLimit.run(box.get(), &limit) && inSphere.run(sphere.get()));
      for (Request* r : {&inBox, &inLimit, &inSphere}) {
        EXPECT_GT(r->p.numPoints, 1u);
        for (std::uint32_t i = r->p.numPoints; i < 200; ++i) EXPECT_TRUE(std::isnan(r->buffer[i].x));
      }
      for (const MgcVector3& q : inBox.made()) EXPECT_TRUE(insideBox(q));
      // Only the uniform pattern keeps to the limit; the slab keeps its centre.
      for (const MgcVector3& q : inLimit.made())
        EXPECT_TRUE(insideBox(q) && (pattern != 0 || q.x >= kBoxCentre.x + 0.5 - 1e-9));
      for (const MgcVector3& q : inSphere.made()) EXPECT_LE(q.Length(), 1.0 + 1e-9);
    }
  }
}

TEST(SeedPoints, SortedVolumeSeedsLieInTheMeshEitherWayOfPulling) {
  auto sphere = convexMesh(zovtest::onSphere(300, 4));
  for (bool nearestFace : {false, true}) {
    std::vector<MgcVector3> out(150);
    ASSERT_TRUE(seedsInVolumeSorted(sphere.get(), out.data(), 150, nearestFace, 9));
    for (std::size_t i = 0; i < out.size(); ++i) {
      EXPECT_LE(out[i].Length(), 1.0 + 1e-9);
      if (i > 0) {
        EXPECT_LE(out[i - 1].SquaredLength(), out[i].SquaredLength());
      }
    }
  }
  EXPECT_FALSE(seedsInVolumeSorted(nullptr, nullptr, 5, false, 1));
}

// Pairs stop one short of the request; rings make (count / rings) x rings
// points, at least one ring; fewer than 3 ring points fall back to pairs.
TEST(SeedPoints, PatternsReportTheNumberOfPointsTheyMade) {
  auto mesh = boxMesh(MgcVector3(4, 4, 4));
  struct Case {
    std::uint16_t pattern;
    std::uint32_t count, rings, centres, made;
    bool onOneRing;
  } cases[] = {{1, 10, 1, 1, 10, false}, {1, 9, 1, 1, 8, false},   {1, 1, 1, 1, 0, false}, {1, 0, 1, 1, 0, false},
               {1, 20, 1, 9, 20, false}, {2, 20, 3, 1, 18, false}, {2, 5, 3, 1, 3, false}, {2, 2, 1, 1, 2, false},
               {2, 20, 0, 1, 20, true},  {2, 7, 1, 1, 7, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "pattern " << c.pattern << " count " << c.count << " rings " << c.rings);
    Request r(c.pattern, c.count);
    r.p.numRings = r.p.minRings = c.rings;
    r.p.numCenters = c.centres;
    r.p.radius = r.p.minRadius = 0.0;
    ASSERT_TRUE(r.run(mesh.get()));
    EXPECT_EQ(r.p.numPoints, c.made);
    const std::vector<MgcVector3> points = r.made();
    const double first = points.empty() ? 0.0 : (points[0] - kBoxCentre).Length();
    bool oneRing = c.made > 1;
    for (const MgcVector3& q : points) oneRing = oneRing && std::fabs((q - kBoxCentre).Length() - first) < 1e-9;
    EXPECT_EQ(oneRing, c.onOneRing);
  }
}

TEST(SeedPoints, ClustersUseTheFirstFiveCentresOnly) {
  auto mesh = boxMesh(MgcVector3(4, 4, 4));
  Request r(1, 40);
  r.p.numCenters = 9;
  r.p.noise = 0.05;
  for (int j = 0; j < 5; ++j) r.p.centers[j] = kBoxCentre + MgcVector3(j - 2.0, 0.0, 0.0);
  ASSERT_TRUE(r.run(mesh.get()));
  EXPECT_EQ(r.p.numCenters, 5u);
  std::vector<int> nearest(5, 0);  // 40 points, 8 around each centre
  for (const MgcVector3& q : r.made()) {
    int best = 0;
    for (int j = 1; j < 5; ++j) best = (q - r.p.centers[j]).Length() < (q - r.p.centers[best]).Length() ? j : best;
    ++nearest[best];
  }
  EXPECT_EQ(nearest, std::vector<int>(5, 8));
}

TEST(SeedPoints, RingsLieAroundTheCentreWithTheLastTwelveOnTheOutermostRadius) {
  auto mesh = boxMesh(MgcVector3(4, 3, 2));
  Request r(2, 20);
  r.p.numRings = r.p.minRings = 3;
  r.p.radius = r.p.minRadius = 0.0;
  r.p.noise = 1.0;
  ASSERT_TRUE(r.run(mesh.get()));
  ASSERT_EQ(r.p.numPoints, 18u);
  const double inner = (r.buffer[0] - kBoxCentre).Length();
  EXPECT_GT(inner, 0.5);
  for (std::uint32_t i = 0; i < 18; ++i)
    EXPECT_NEAR((r.buffer[i] - kBoxCentre).Length(), i < 6 ? inner : 2 * inner, 1e-9);
}

TEST(SeedPoints, SlabKeepsOnePercentOfTheHeldAxis) {
  auto mesh = boxMesh(MgcVector3(4, 3, 2));
  const std::vector<MgcVector3> corners = zovtest::boxCorners(4, 3, 2);
  ZOVbox box;
  fitOrientedBox(box, 8, corners.data());
  Request r(3, 100);
  r.p.radialAxis = 1;
  ASSERT_TRUE(r.run(mesh.get()));
  for (const MgcVector3& q : r.made()) {
    EXPECT_LE(std::fabs((q - kBoxCentre).Dot(box.axes.GetColumn(1))), 0.01 * box.extents.y + 1e-9);
    EXPECT_LE(std::fabs((q - kBoxCentre).Dot(box.axes.GetColumn(2))), 0.5 * box.extents.z + 1e-9);
  }
}

TEST(SeedPoints, CurvesOutsideTheMeshOrWithoutLengthAreHandled) {
  auto mesh = boxMesh();
  Request outside(4);
  for (MgcVector3& c : outside.curve) c += MgcVector3(0.0, 10.0, 0.0);
  EXPECT_FALSE(outside.run(mesh.get()));
  EXPECT_EQ(outside.p.numPoints, 0u);
  Request still(4);
  for (MgcVector3& c : still.curve) c = kBoxCentre;
  ASSERT_TRUE(still.run(mesh.get()));
  for (const MgcVector3& q : still.made()) EXPECT_TRUE(insideBox(q));
}

// With no spread every cluster point lands on the centre; each but the last
// is then pushed along y by ten times its difference plus 1e-4 until apart.
TEST(SeedPoints, CoincidentPointsArePushedApart) {
  auto mesh = boxMesh();
  Request r(1, 6);
  r.p.noise = 0.0;
  r.p.numCenters = 1;
  ASSERT_TRUE(r.run(mesh.get()));
  MgcVector3 pushed = kBoxCentre;
  do pushed += (pushed - kBoxCentre) * 10.0 + MgcVector3(0.0, 1e-4, 0.0);
  while ((pushed - kBoxCentre).SquaredLength() < 0.001);
  for (std::uint32_t i = 0; i < 6; ++i) EXPECT_EQ((r.buffer[i] - (i < 5 ? pushed : kBoxCentre)).Length(), 0.0);

  // A push out through the top face is taken back into the mesh.
  Request top(1, 6);
  top.p.noise = 0.0;
  top.p.numCenters = 1;
  top.p.centers[0] = kBoxCentre + MgcVector3(0.0, kBoxHalf.y, 0.0);
  ASSERT_TRUE(top.run(mesh.get()));
  for (const MgcVector3& q : top.made()) EXPECT_TRUE(insideBox(q));
}

// Rings that all miss the mesh: each point is kept after one ring of misses,
// brought into the mesh.
TEST(SeedPoints, RingsWiderThanTheMeshStillLieInIt) {
  auto mesh = boxMesh();
  Request r(2, 8);
  r.p.numRings = r.p.minRings = 1;
  r.p.noise = 5.0;
  r.p.center = kBoxCentre + kBoxHalf;
  ASSERT_TRUE(r.run(mesh.get()));
  EXPECT_EQ(r.p.numPoints, 8u);
  for (const MgcVector3& q : r.made()) EXPECT_TRUE(insideBox(q));
}

TEST(SeedPoints, FlatOrUncolouredMeshesGiveNoPoints) {
  auto small = boxMesh(MgcVector3(0.02, 0.02, 0.02));
  auto thin = boxMesh(MgcVector3(1.0, 1.0, 1e-7));
  for (std::uint16_t pattern : kPatterns) {
    Request r(pattern), s(pattern);
    EXPECT_EQ(r.run(small.get()), pattern == 5) << pattern;  // the colour pattern takes the full box volume
    EXPECT_FALSE(s.run(thin.get()));
    EXPECT_EQ(s.p.numPoints, 0u);
  }
  auto mesh = boxMesh();
  Request uncoloured(5);
  uncoloured.p.numGivenPoints = 0;  // every colour id beyond the table
  EXPECT_FALSE(uncoloured.run(mesh.get()));
}

TEST(SeedPoints, ColoursDrawPointsTowardsTheLightVertex) {
  auto sphere = convexMesh(zovtest::onSphere(1000, 5));
  Request r(5, 50);
  r.colours.assign(1000, MgcVector3(0.2, 0.1, 0.0));
  r.colours[17] = MgcVector3(0.9, 0.8, 0.7);
  r.p.numGivenPoints = 1000;
  ASSERT_TRUE(r.run(sphere.get()));
  for (const MgcVector3& q : r.made()) EXPECT_LT((q - sphere->vertices[17]).Length(), 1.0);
}

// More light vertices than points: every point goes round them by its first
// draw, and a draw of -1 must still pick one of them.
TEST(SeedPoints, ColourFallbackStaysAmongTheLightVertices) {
  std::uint32_t seed = 1;
  for (zov::platform::crtSrand(seed); zov::platform::crtRand() != 0; zov::platform::crtSrand(++seed)) {
  }
  auto mesh = boxMesh();
  Request r(5, 4, seed);
  r.colours.assign(8, MgcVector3(1.0, 1.0, 1.0));
  ASSERT_TRUE(r.run(mesh.get()));
  for (const MgcVector3& q : r.made()) EXPECT_TRUE(insideBox(q));
}

}  // namespace
