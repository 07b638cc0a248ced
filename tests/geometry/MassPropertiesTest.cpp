#include "geometry/MassProperties.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "support/MathTestUtil.h"
#include "support/MeshFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovref::Mat3;
using zovref::Vec3;
using zovtest::maxDifference;
using zovtest::toRef;

namespace {

using Face = std::vector<std::uint32_t>;

struct Polyhedron {
  std::vector<MgcVector3> points;
  std::vector<Face> faces;
};

// Only vertices and faces: faces of fewer than three corners are allowed.
std::unique_ptr<ZOVmesh> toMesh(const Polyhedron& p) {
  auto mesh =
      zovtest::makeMesh(static_cast<std::uint32_t>(p.points.size()), static_cast<std::uint32_t>(p.faces.size()));
  std::copy(p.points.begin(), p.points.end(), mesh->vertices);
  for (std::size_t f = 0; f < p.faces.size(); ++f) {
    mesh->faces[f].numVertices = static_cast<std::uint32_t>(p.faces[f].size());
    std::copy(p.faces[f].begin(), p.faces[f].end(), mesh->faces[f].vertices);
  }
  return mesh;
}

// The box [low, low + size] with outward quads.
Polyhedron box(const MgcVector3& low, const MgcVector3& size) {
  Polyhedron p;
  for (int i = 0; i < 8; ++i)
    p.points.push_back(low + MgcVector3((i & 1) ? size.x : 0.0, (i & 2) ? size.y : 0.0, (i & 4) ? size.z : 0.0));
  p.faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  return p;
}

// The L of three unit squares, (0,0)-(2,1) and (0,1)-(1,2), from z = 0 to 1:
// volume 3, centroid (5/6, 5/6, 1/2), vertex box middle (1, 1, 1/2).
Polyhedron lShape() {
  const double outline[6][2] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  Polyhedron p;
  for (double z : {0.0, 1.0})
    for (const auto& q : outline) p.points.emplace_back(q[0], q[1], z);
  p.faces = {{5, 4, 3, 2, 1, 0}, {6, 7, 8, 9, 10, 11}};
  for (std::uint32_t i = 0; i < 6; ++i) p.faces.push_back({i, (i + 1) % 6, (i + 1) % 6 + 6, i + 6});
  return p;
}

// Every face gets its own copies of its corners: closed only by position.
Polyhedron unwelded(const Polyhedron& p) {
  Polyhedron out;
  for (const Face& face : p.faces) {
    out.faces.emplace_back();
    for (std::uint32_t index : face) {
      out.faces.back().push_back(static_cast<std::uint32_t>(out.points.size()));
      out.points.push_back(p.points[index]);
    }
  }
  return out;
}

Polyhedron reversed(Polyhedron p) {
  for (Face& face : p.faces) std::reverse(face.begin(), face.end());
  return p;
}

// The inertia of point masses about the origin.
Mat3 pointInertia(double m, const Vec3& r) { return m * (squaredNorm(r) * Mat3::identity() - zovref::outer(r, r)); }

}  // namespace

// A solid box of mass m and sides a, b, c about its centre: m (b^2 + c^2) / 12
// and the like, no products; the same from a scaled unit cube. A unit cube
// about its corner: moments 2/3, products 1/4.
TEST(MassProperties, BoxesMatchTheTextbookFormulas) {
  const double a = 0.5, b = 2.0, c = 3.0, m = 7.0;
  const MgcMatrix3 expected(m * (b * b + c * c) / 12, 0, 0, 0, m * (a * a + c * c) / 12, 0, 0, 0,
                            m * (a * a + b * b) / 12);
  const auto sized = toMesh(box({1.0, -2.0, 0.5}, {a, b, c}));
  MgcVector3 center;
  EXPECT_NEAR(ComputeMassProperties(*sized, center), a * b * c, 1e-14);
  EXPECT_NEAR(meshVolume(*sized), a * b * c, 1e-14);
  EXPECT_LT((center - MgcVector3(1.25, -1.0, 2.0)).Length(), 1e-14);
  EXPECT_LT(maxDifference(computeMassPropertiesInertia(*sized, m, center, {1, 1, 1}), expected), 1e-12);
  const auto centred = toMesh(box({-0.5, -0.5, -0.5}, {1, 1, 1}));
  EXPECT_LT(maxDifference(computeMassPropertiesInertia(*centred, m, MgcVector3(), {a, b, c}), expected), 1e-12);
  const auto cube = toMesh(box({0, 0, 0}, {1, 1, 1}));
  const MgcMatrix3 aboutCorner(2.0 / 3, -0.25, -0.25, -0.25, 2.0 / 3, -0.25, -0.25, -0.25, 2.0 / 3);
  EXPECT_LT(maxDifference(computeMassPropertiesInertia(*cube, 1.0, MgcVector3(), {1, 1, 1}), aboutCorner), 1e-15);
}

// A tetrahedron of corners v0..v3 has volume det(v1-v0, v2-v0, v3-v0)/6, its
// centroid at the mean of the corners, and second moments
// V/20 (sum v_i v_i^T + s s^T), s = sum v_i.
TEST(MassProperties, TetrahedraMatchTheClosedForm) {
  zovtest::Random random(7);
  for (int trial = 0; trial < 20; ++trial) {
    Polyhedron tetra;
    for (int i = 0; i < 4; ++i) tetra.points.push_back(random.vector(-3.0, 3.0));
    const MgcVector3* v = tetra.points.data();
    const double volume = MgcMatrix3(v[1] - v[0], v[2] - v[0], v[3] - v[0]).Determinant() / 6.0;
    if (std::fabs(volume) < 0.1) continue;
    tetra.faces = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    if (volume < 0.0) tetra = reversed(tetra);
    const double V = std::fabs(volume);
    Vec3 sum;
    Mat3 outer;
    for (const MgcVector3& p : tetra.points) {
      sum += toRef(p);
      outer += zovref::outer(toRef(p), toRef(p));
    }
    const Mat3 second = V / 20.0 * (outer + zovref::outer(sum, sum));
    const Mat3 inertia = trace(second) * Mat3::identity() - second;
    const auto mesh = toMesh(tetra);
    MgcVector3 center;
    EXPECT_NEAR(ComputeMassProperties(*mesh, center), V, 1e-12);
    EXPECT_LT(norm(toRef(center) - sum / 4.0), 1e-12);
    EXPECT_LT(maxDifference(computeMassPropertiesInertia(*mesh, V, MgcVector3(), {1, 1, 1}), inertia),
              1e-10 * (1.0 + norm(inertia)));
  }
}

// The centre is the centroid, not the middle of the vertex box, for shared or
// own corners, either record, anywhere in space.
TEST(MassProperties, ConcaveSolidCentreIsItsCentroidWherever) {
  zovtest::Random random(11);
  for (int trial = 0; trial < 8; ++trial) {
    const MgcMatrix3 R = trial < 2 ? MgcMatrix3::IDENTITY : random.rotation();
    const MgcVector3 t = trial < 2 ? MgcVector3::ZERO : random.vector(-50, 50);
    Polyhedron solid = trial % 2 ? unwelded(lShape()) : lShape();
    for (MgcVector3& p : solid.points) p = R * p + t;
    const auto mesh = toMesh(solid);
    const auto dfMesh = zovtest::dfMeshOf(*mesh);
    MgcVector3 center, dfCenter;
    EXPECT_NEAR(ComputeMassProperties(*mesh, center), 3.0, 1e-11);
    EXPECT_LT((center - (R * MgcVector3(5.0 / 6, 5.0 / 6, 0.5) + t)).Length(), 1e-11);
    EXPECT_NEAR(ComputeMassProperties(*dfMesh, dfCenter), 3.0, 1e-11);
    EXPECT_EQ(dfCenter, center);
    EXPECT_NEAR(meshVolume(*dfMesh), 3.0, 1e-11);
    EXPECT_TRUE(isClosedMesh(*dfMesh));
  }
}

// A mesh that does not bound a solid is refused: its volume is reported as it
// sums up, the centre falls back to the middle of its vertex box, and the
// inertia is that of equal point masses at its vertices.
TEST(MassProperties, MeshesThatBoundNoSolidGetTheBoxMiddleAndPointMasses) {
  Polyhedron openCup = box({-0.2, -0.3, -0.4}, {1, 1, 1}), flipped = openCup;
  openCup.faces.erase(openCup.faces.begin() + 1);  // no lid at the top
  std::reverse(flipped.faces[2].begin(), flipped.faces[2].end());
  Polyhedron noFaces = lShape(), segments = lShape(), badIndex = lShape();
  noFaces.faces.clear();
  for (Face& face : segments.faces) face.resize(2);
  badIndex.faces[0][1] = 99;
  const Polyhedron flat = {{{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}, {3, 2, 1, 0}}};
  struct Case {
    Polyhedron mesh;
    double volume;
    MgcVector3 boxMiddle;
    bool pointMasses = false;  // check the inertia too
  };
  const Case cases[] = {
      {reversed(box({0, 0, 0}, {1, 1, 1})), -1.0, {0.5, 0.5, 0.5}},
      {reversed(lShape()), -3.0, {1.0, 1.0, 0.5}},
      {openCup, 1.0, {0.3, 0.2, 0.1}, true},  // faces across the x axis add no volume
      {flipped, 1.0, {0.3, 0.2, 0.1}, true},
      {noFaces, 0.0, {1.0, 1.0, 0.5}},
      {segments, 0.0, {1.0, 1.0, 0.5}},
      {badIndex, 3.0, {1.0, 1.0, 0.5}},
      {flat, 0.0, {1.0, 0.5, 0.0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    const auto mesh = toMesh(c.mesh);
    MgcVector3 center;
    const double volume = ComputeMassProperties(*mesh, center);
    EXPECT_NEAR(volume, c.volume, 1e-14);
    EXPECT_LT((center - c.boxMiddle).Length(), 1e-15);
    EXPECT_FALSE(isClosedMesh(*mesh) && volume > 0.0);
    if (c.pointMasses) {  // moved to the centre of mass by the parallel-axis theorem
      const double mass = 5.0;
      const Vec3 scale(2.0, 1.0, 0.5), com(0.1, -0.2, 0.3);
      Mat3 expected = -pointInertia(mass, com);
      for (const MgcVector3& p : c.mesh.points)
        expected += pointInertia(mass / c.mesh.points.size(), cwiseProduct(toRef(p), scale));
      EXPECT_LT(maxDifference(computeMassPropertiesInertia(*mesh, mass, zovtest::fromRef(com), zovtest::fromRef(scale)),
                              expected),
                1e-12);
    }
  }
  EXPECT_TRUE(isClosedMesh(*toMesh(box({0, 0, 0}, {1, 1, 1}))));
}
