#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/MassProperties.h"
#include "support/MeshFixtures.h"
#include "support/reference/EigenReference.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovref::Mat3;
using zovref::Vec3;

namespace {

using Face = std::vector<std::uint32_t>;

struct Polyhedron {
  std::vector<Vec3> points;
  std::vector<Face> faces;
};

template <typename Mesh>
void fillVertices(Mesh& mesh, const Polyhedron& p) {
  for (std::size_t i = 0; i < p.points.size(); ++i)
    mesh.vertices[i] = MgcVector3(p.points[i].x(), p.points[i].y(), p.points[i].z());
}

std::unique_ptr<ZOVmesh> toMesh(const Polyhedron& p) {
  auto mesh =
      zovtest::makeMesh(static_cast<std::uint32_t>(p.points.size()), static_cast<std::uint32_t>(p.faces.size()));
  fillVertices(*mesh, p);
  for (std::size_t f = 0; f < p.faces.size(); ++f) {
    mesh->faces[f].numVertices = static_cast<std::uint32_t>(p.faces[f].size());
    for (std::size_t k = 0; k < p.faces[f].size(); ++k) mesh->faces[f].vertices[k] = p.faces[f][k];
  }
  return mesh;
}

std::unique_ptr<ZOV_DFmesh> toDFmesh(const Polyhedron& p) {
  auto mesh =
      zovtest::makeDFmesh(static_cast<std::uint32_t>(p.points.size()), static_cast<std::uint32_t>(p.faces.size()));
  fillVertices(*mesh, p);
  for (std::size_t f = 0; f < p.faces.size(); ++f) {
    DFface& face = mesh->faces[f];
    face.allocate(static_cast<std::int32_t>(p.faces[f].size()), 1, false);
    for (std::size_t k = 0; k < p.faces[f].size(); ++k) face.vertices[k] = p.faces[f][k];
    face.numVertices = static_cast<std::uint32_t>(p.faces[f].size());
  }
  return mesh;
}

// The box [0, size] with outward faces whose top is cut in two at x = size.x/2
// and whose front (y = 0) at z = size.z/2; the back, left and right faces
// carry the cut's new corners on their edges, so that every edge is shared.
Polyhedron cutBox(const Vec3& size) {
  Polyhedron p;
  for (int i = 0; i < 8; ++i)
    p.points.emplace_back((i & 1) ? size.x() : 0.0, (i & 2) ? size.y() : 0.0, (i & 4) ? size.z() : 0.0);
  const double a = size.x(), b = size.y(), c = size.z();
  p.points.emplace_back(a / 2, 0, c);  // 8, on the top's front edge
  p.points.emplace_back(a / 2, b, c);  // 9, on the top's back edge
  p.points.emplace_back(0, 0, c / 2);  // 10, on the front's left edge
  p.points.emplace_back(a, 0, c / 2);  // 11, on the front's right edge
  p.faces = {
      {0, 2, 3, 1},                         // bottom
      {4, 8, 9, 6},     {8, 5, 7, 9},       // top, in two
      {0, 1, 11, 10},   {10, 11, 5, 8, 4},  // front, in two
      {2, 6, 9, 7, 3},                      // back, whole with 9 on an edge
      {0, 10, 4, 6, 2}, {1, 3, 7, 5, 11},   // left and right carry 10 and 11
  };
  return p;
}

// The same box with plain rectangles for back, left and right: the cut faces
// meet their edges half-way, at three T-junctions, as face subdivision leaves.
Polyhedron tJunctionBox(const Vec3& size) {
  Polyhedron p = cutBox(size);
  p.faces[5] = {2, 6, 7, 3};
  p.faces[6] = {0, 4, 6, 2};
  p.faces[7] = {1, 3, 7, 5};
  return p;
}

Mat3 toRef(const MgcMatrix3& m) {
  Mat3 e;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) e(r, c) = m[r][c];
  return e;
}

Vec3 toRef(const MgcVector3& v) { return {v.x, v.y, v.z}; }

// The inertia of a solid box of mass m and edges `size` about its centre.
Mat3 boxInertia(double m, const Vec3& size) {
  const Vec3 s2 = cwiseProduct(size, size);
  return Mat3::diagonal({s2.y() + s2.z(), s2.x() + s2.z(), s2.x() + s2.y()}) * (m / 12.0);
}

}  // namespace

// A closed mesh whose faces meet at T-junctions bounds its solid like any
// other: exact volume, centroid and solid-body inertia, placed anywhere.
TEST(MassPropertiesValidity, ClosedMeshWithTJunctionsIsASolid) {
  const Vec3 size(2.0, 1.0, 3.0);
  const Mat3 R = zovref::axisAngleMatrix(0.7, normalized(Vec3(1, -2, 0.5)));
  const Vec3 t(10.0, -4.0, 7.5);
  for (const Polyhedron& shape : {cutBox(size), tJunctionBox(size)}) {
    Polyhedron placed = shape;
    for (Vec3& point : placed.points) point = R * point + t;
    const Vec3 centroid = R * (size / 2) + t;

    const auto mesh = toMesh(placed);
    const auto dfMesh = toDFmesh(placed);
    EXPECT_TRUE(isClosedMesh(*mesh));
    EXPECT_TRUE(isClosedMesh(*dfMesh));
    MgcVector3 center, dfCenter;
    EXPECT_NEAR(ComputeMassProperties(*mesh, center), prod(size), 1e-11);
    EXPECT_NEAR(ComputeMassProperties(*dfMesh, dfCenter), prod(size), 1e-11);
    EXPECT_LT(norm(toRef(center) - centroid), 1e-11);
    EXPECT_LT(norm(toRef(dfCenter) - centroid), 1e-11);

    const double mass = 4.0;
    const MgcMatrix3 tensor = computeMassPropertiesInertia(*mesh, mass, center, MgcVector3(1.0, 1.0, 1.0));
    const Mat3 expected = R * boxInertia(mass, size) * transpose(R);
    EXPECT_LT(maxAbs(toRef(tensor) - expected), 1e-9);
  }
  // Scaled by the body's scale the T-junction box is a box of scaled edges.
  const Vec3 scale(0.5, 2.0, 1.5);
  const MgcMatrix3 tensor = computeMassPropertiesInertia(*toMesh(tJunctionBox(size)), 2.0, MgcVector3(0.5, 1.0, 2.25),
                                                         MgcVector3(scale.x(), scale.y(), scale.z()));
  EXPECT_LT(maxAbs(toRef(tensor) - boxInertia(2.0, cwiseProduct(size, scale))), 1e-12);
}

// What is open, or wound inconsistently, stays refused with T-junctions or
// without: the centre falls back to the vertex box middle and the inertia to
// point masses.
TEST(MassPropertiesValidity, OpenOrMisorientedTJunctionMeshesAreNotSolids) {
  const Vec3 size(2.0, 1.0, 3.0);
  Polyhedron halfTopMissing = tJunctionBox(size);
  halfTopMissing.faces.erase(halfTopMissing.faces.begin() + 2);
  Polyhedron halfFrontFlipped = tJunctionBox(size);
  std::reverse(halfFrontFlipped.faces[3].begin(), halfFrontFlipped.faces[3].end());
  Polyhedron bottomMissing = tJunctionBox(size);
  bottomMissing.faces.erase(bottomMissing.faces.begin());
  Polyhedron slit = tJunctionBox(size);  // the back face stops short of the top
  slit.points.emplace_back(0, 1, 2.9);
  slit.points.emplace_back(2, 1, 2.9);
  slit.faces[5] = {2, 12, 13, 3};

  for (const Polyhedron& p : {halfTopMissing, halfFrontFlipped, bottomMissing, slit}) {
    const auto mesh = toMesh(p);
    EXPECT_FALSE(isClosedMesh(*mesh));
    EXPECT_FALSE(isClosedMesh(*toDFmesh(p)));
    MgcVector3 center;
    ComputeMassProperties(*mesh, center);
    EXPECT_LT(norm(toRef(center) - size / 2), 1e-15);

    const double mass = 3.0;
    Mat3 pointMasses;
    for (const Vec3& r : p.points)
      pointMasses += (mass / p.points.size()) * (squaredNorm(r) * Mat3::identity() - zovref::outer(r, r));
    const MgcMatrix3 tensor = computeMassPropertiesInertia(*mesh, mass, MgcVector3(), MgcVector3(1.0, 1.0, 1.0));
    EXPECT_LT(maxAbs(toRef(tensor) - pointMasses), 1e-12);
  }
}
