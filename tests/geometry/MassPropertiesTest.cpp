#include "geometry/MassProperties.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <Eigen/Geometry>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "support/MeshFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

using Face = std::vector<std::uint32_t>;

struct Polyhedron {
  std::vector<Eigen::Vector3d> points;
  std::vector<Face> faces;
};

std::unique_ptr<ZOVmesh> toMesh(const Polyhedron& p) {
  auto mesh =
      zovtest::makeMesh(static_cast<std::uint32_t>(p.points.size()), static_cast<std::uint32_t>(p.faces.size()));
  for (std::size_t i = 0; i < p.points.size(); ++i)
    mesh->vertices[i] = MgcVector3(p.points[i].x(), p.points[i].y(), p.points[i].z());
  for (std::size_t f = 0; f < p.faces.size(); ++f) {
    mesh->faces[f].numVertices = static_cast<std::uint32_t>(p.faces[f].size());
    for (std::size_t k = 0; k < p.faces[f].size(); ++k) mesh->faces[f].vertices[k] = p.faces[f][k];
  }
  return mesh;
}

std::unique_ptr<ZOV_DFmesh> toDFmesh(const Polyhedron& p) {
  auto mesh =
      zovtest::makeDFmesh(static_cast<std::uint32_t>(p.points.size()), static_cast<std::uint32_t>(p.faces.size()));
  for (std::size_t i = 0; i < p.points.size(); ++i)
    mesh->vertices[i] = MgcVector3(p.points[i].x(), p.points[i].y(), p.points[i].z());
  for (std::size_t f = 0; f < p.faces.size(); ++f) {
    DFface& face = mesh->faces[f];
    face.allocate(static_cast<std::int32_t>(p.faces[f].size()), 1, false);
    for (std::size_t k = 0; k < p.faces[f].size(); ++k) face.vertices[k] = p.faces[f][k];
    face.numVertices = static_cast<std::uint32_t>(p.faces[f].size());
  }
  return mesh;
}

// The box [low, low + size] with outward quads.
Polyhedron box(const Eigen::Vector3d& low, const Eigen::Vector3d& size) {
  Polyhedron p;
  for (int i = 0; i < 8; ++i)
    p.points.push_back(low +
                       Eigen::Vector3d((i & 1) ? size.x() : 0.0, (i & 2) ? size.y() : 0.0, (i & 4) ? size.z() : 0.0));
  p.faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  return p;
}

Polyhedron unitCube() { return box(Eigen::Vector3d::Zero(), Eigen::Vector3d::Ones()); }

// The L of three unit squares, (0,0)-(2,1) and (0,1)-(1,2), extruded from z = 0
// to z = 1: volume 3, centroid (5/6, 5/6, 1/2), vertex box middle (1, 1, 1/2).
Polyhedron lShape() {
  const std::vector<Eigen::Vector2d> outline = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  const std::uint32_t n = static_cast<std::uint32_t>(outline.size());
  Polyhedron p;
  for (double z : {0.0, 1.0})
    for (const Eigen::Vector2d& q : outline) p.points.emplace_back(q.x(), q.y(), z);
  Face bottom, top;
  for (std::uint32_t i = 0; i < n; ++i) {
    bottom.push_back(n - 1 - i);
    top.push_back(n + i);
    const std::uint32_t j = (i + 1) % n;
    p.faces.push_back({i, j, n + j, n + i});
  }
  p.faces.push_back(bottom);
  p.faces.push_back(top);
  return p;
}

// Every face gets its own copies of its corners: closed only by position.
Polyhedron unwelded(const Polyhedron& p) {
  Polyhedron out;
  for (const Face& face : p.faces) {
    Face copy;
    for (std::uint32_t index : face) {
      copy.push_back(static_cast<std::uint32_t>(out.points.size()));
      out.points.push_back(p.points[index]);
    }
    out.faces.push_back(copy);
  }
  return out;
}

Polyhedron transformed(Polyhedron p, const Eigen::Matrix3d& R, const Eigen::Vector3d& t) {
  for (Eigen::Vector3d& point : p.points) point = R * point + t;
  return p;
}

Polyhedron reversed(Polyhedron p) {
  for (Face& face : p.faces) std::reverse(face.begin(), face.end());
  return p;
}

Eigen::Vector3d toEigen(const MgcVector3& v) { return {v.x, v.y, v.z}; }

Eigen::Matrix3d toEigen(const MgcMatrix3& m) {
  Eigen::Matrix3d e;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) e(r, c) = m[r][c];
  return e;
}

}  // namespace

TEST(MassProperties, UnitCubeHasUnitVolumeCentreAndTextbookInertia) {
  const auto mesh = toMesh(unitCube());
  MgcVector3 center;
  EXPECT_DOUBLE_EQ(ComputeMassProperties(*mesh, center), 1.0);
  EXPECT_DOUBLE_EQ(meshVolume(*mesh), 1.0);
  EXPECT_LT((toEigen(center) - Eigen::Vector3d(0.5, 0.5, 0.5)).norm(), 1e-15);

  // About the origin corner: moments 2/3, products 1/4.
  const MgcMatrix3 tensor = computeMassPropertiesInertia(*mesh, 1.0, MgcVector3(), MgcVector3(1.0, 1.0, 1.0));
  Eigen::Matrix3d expected;
  expected << 2.0 / 3, -0.25, -0.25, -0.25, 2.0 / 3, -0.25, -0.25, -0.25, 2.0 / 3;
  EXPECT_LT((toEigen(tensor) - expected).cwiseAbs().maxCoeff(), 1e-15);
}

// A solid box of mass m and sides a, b, c about its centre: m (b^2 + c^2) / 12
// and the like, no products. The same from a scaled unit cube.
TEST(MassProperties, BoxInertiaAboutItsCentreMatchesTheFormula) {
  const double a = 0.5, b = 2.0, c = 3.0, m = 7.0;
  Eigen::Matrix3d expected = Eigen::Matrix3d::Zero();
  expected.diagonal() << m * (b * b + c * c) / 12, m * (a * a + c * c) / 12, m * (a * a + b * b) / 12;

  const auto sized = toMesh(box(Eigen::Vector3d(1.0, -2.0, 0.5), Eigen::Vector3d(a, b, c)));
  MgcVector3 center;
  EXPECT_NEAR(ComputeMassProperties(*sized, center), a * b * c, 1e-14);
  EXPECT_LT((toEigen(center) - Eigen::Vector3d(1.25, -1.0, 2.0)).norm(), 1e-14);
  const MgcMatrix3 aboutCentre = computeMassPropertiesInertia(*sized, m, center, MgcVector3(1.0, 1.0, 1.0));
  EXPECT_LT((toEigen(aboutCentre) - expected).cwiseAbs().maxCoeff(), 1e-12);

  const auto scaledCube = toMesh(box(Eigen::Vector3d(-0.5, -0.5, -0.5), Eigen::Vector3d::Ones()));
  const MgcMatrix3 fromScale = computeMassPropertiesInertia(*scaledCube, m, MgcVector3(), MgcVector3(a, b, c));
  EXPECT_LT((toEigen(fromScale) - expected).cwiseAbs().maxCoeff(), 1e-12);
}

// A tetrahedron of corners v0..v3 has volume det(v1-v0, v2-v0, v3-v0)/6, its
// centroid at the mean of the corners, and second moments
// ∫ x x^T = V/20 (sum v_i v_i^T + s s^T), s = sum v_i.
TEST(MassProperties, TetrahedraMatchTheClosedForm) {
  std::mt19937_64 engine(7);
  std::uniform_real_distribution<double> coordinate(-3.0, 3.0);
  for (int trial = 0; trial < 20; ++trial) {
    Polyhedron tetra;
    for (int i = 0; i < 4; ++i) tetra.points.emplace_back(coordinate(engine), coordinate(engine), coordinate(engine));
    Eigen::Matrix3d edges;
    edges << tetra.points[1] - tetra.points[0], tetra.points[2] - tetra.points[0], tetra.points[3] - tetra.points[0];
    const double volume = edges.determinant() / 6.0;
    if (std::fabs(volume) < 0.1) continue;
    if (volume > 0.0)
      tetra.faces = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    else
      tetra.faces = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
    const double V = std::fabs(volume);
    const auto mesh = toMesh(tetra);

    Eigen::Vector3d sum = Eigen::Vector3d::Zero();
    Eigen::Matrix3d outer = Eigen::Matrix3d::Zero();
    for (const Eigen::Vector3d& v : tetra.points) {
      sum += v;
      outer += v * v.transpose();
    }
    const Eigen::Matrix3d second = V / 20.0 * (outer + sum * sum.transpose());
    const Eigen::Matrix3d inertia = second.trace() * Eigen::Matrix3d::Identity() - second;

    MgcVector3 center;
    EXPECT_NEAR(ComputeMassProperties(*mesh, center), V, 1e-12);
    EXPECT_LT((toEigen(center) - sum / 4.0).norm(), 1e-12);
    const MgcMatrix3 tensor = computeMassPropertiesInertia(*mesh, V, MgcVector3(), MgcVector3(1.0, 1.0, 1.0));
    EXPECT_LT((toEigen(tensor) - inertia).cwiseAbs().maxCoeff(), 1e-10 * (1.0 + inertia.norm()));
  }
}

TEST(MassProperties, ConcaveSolidCentreIsItsCentroidNotItsBoxMiddle) {
  for (const auto& [name, solid] :
       {std::pair{"shared corners", lShape()}, std::pair{"own corners", unwelded(lShape())}}) {
    SCOPED_TRACE(name);
    MgcVector3 center;
    EXPECT_NEAR(ComputeMassProperties(*toMesh(solid), center), 3.0, 1e-14);
    EXPECT_LT((toEigen(center) - Eigen::Vector3d(5.0 / 6, 5.0 / 6, 0.5)).norm(), 1e-14);
    MgcVector3 dfCenter;
    EXPECT_NEAR(ComputeMassProperties(*toDFmesh(solid), dfCenter), 3.0, 1e-14);
    EXPECT_EQ(dfCenter, center);
    EXPECT_NEAR(meshVolume(*toDFmesh(solid)), 3.0, 1e-14);
  }
}

TEST(MassProperties, ClosedMeshVolumeDoesNotDependOnPlacement) {
  std::mt19937_64 engine(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int trial = 0; trial < 10; ++trial) {
    const Eigen::Matrix3d R =
        Eigen::Quaterniond(unit(engine), unit(engine), unit(engine), unit(engine)).normalized().toRotationMatrix();
    const Eigen::Vector3d t = 50.0 * Eigen::Vector3d(unit(engine), unit(engine), unit(engine));
    const auto mesh = toMesh(transformed(lShape(), R, t));
    MgcVector3 center;
    EXPECT_NEAR(ComputeMassProperties(*mesh, center), 3.0, 1e-11);
    EXPECT_NEAR(meshVolume(*mesh), 3.0, 1e-11);
    EXPECT_LT((toEigen(center) - (R * Eigen::Vector3d(5.0 / 6, 5.0 / 6, 0.5) + t)).norm(), 1e-11);
  }
}

// A mesh that does not bound a solid is refused: its volume is reported as it
// sums up, and the centre falls back to the middle of its vertex box.
TEST(MassProperties, MeshesThatBoundNoSolidGetTheBoxMiddle) {
  Polyhedron openCup = box(Eigen::Vector3d(-0.2, -0.3, -0.4), Eigen::Vector3d::Ones());
  openCup.faces.erase(openCup.faces.begin() + 1);  // no lid at the top
  Polyhedron oneFaceFlipped = box(Eigen::Vector3d(-0.2, -0.3, -0.4), Eigen::Vector3d::Ones());
  std::reverse(oneFaceFlipped.faces[2].begin(), oneFaceFlipped.faces[2].end());
  Polyhedron noFaces = lShape();
  noFaces.faces.clear();
  Polyhedron segments = lShape();
  for (Face& face : segments.faces) face.resize(2);
  Polyhedron badIndex = lShape();
  badIndex.faces[0][1] = 99;
  Polyhedron flat;  // a square seen from both sides
  flat.points = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}};
  flat.faces = {{0, 1, 2, 3}, {3, 2, 1, 0}};

  struct Case {
    const char* name;
    Polyhedron mesh;
    double volume;
    Eigen::Vector3d boxMiddle;
  };
  const std::vector<Case> cases = {
      {"inside-out cube", reversed(unitCube()), -1.0, {0.5, 0.5, 0.5}},
      {"inside-out L", reversed(lShape()), -3.0, {1.0, 1.0, 0.5}},
      // Faces across the x axis add no volume: these sum to the full 1.
      {"open cup", openCup, 1.0, {0.3, 0.2, 0.1}},
      {"one face flipped", oneFaceFlipped, 1.0, {0.3, 0.2, 0.1}},
      {"no faces", noFaces, 0.0, {1.0, 1.0, 0.5}},
      {"faces of two corners", segments, 0.0, {1.0, 1.0, 0.5}},
      {"index out of range", badIndex, 3.0, {1.0, 1.0, 0.5}},
      {"flat", flat, 0.0, {1.0, 0.5, 0.0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto mesh = toMesh(c.mesh);
    MgcVector3 center;
    const double volume = ComputeMassProperties(*mesh, center);
    EXPECT_NEAR(volume, c.volume, 1e-14);
    EXPECT_LT((toEigen(center) - c.boxMiddle).norm(), 1e-15);
    EXPECT_FALSE(isClosedMesh(*mesh) && volume > 0.0);
  }
  EXPECT_TRUE(isClosedMesh(*toMesh(unitCube())));
  EXPECT_TRUE(isClosedMesh(*toDFmesh(unwelded(lShape()))));
  EXPECT_FALSE(isClosedMesh(*toDFmesh(openCup)));
}

// What bounds no solid weighs as equal point masses at its vertices.
TEST(MassProperties, InertiaOfAMeshThatBoundsNoSolidComesFromItsVertices) {
  Polyhedron openCup = box(Eigen::Vector3d(-0.5, -0.5, -0.5), Eigen::Vector3d::Ones());
  openCup.faces.erase(openCup.faces.begin() + 1);
  Polyhedron flat;
  flat.points = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}, {1, 0.5, 0}};
  flat.faces = {{0, 1, 2, 3}};
  for (const Polyhedron& p : {openCup, flat}) {
    const double mass = 5.0;
    const Eigen::Vector3d scale(2.0, 1.0, 0.5);
    const Eigen::Vector3d c(0.1, -0.2, 0.3);
    // Point masses about the origin, then moved to c as the parallel-axis
    // theorem moves a tensor from the origin to a centre of mass c.
    const auto pointInertia = [](double m, const Eigen::Vector3d& r) {
      return m * (r.squaredNorm() * Eigen::Matrix3d::Identity() - r * r.transpose());
    };
    Eigen::Matrix3d aboutOrigin = Eigen::Matrix3d::Zero();
    for (const Eigen::Vector3d& point : p.points)
      aboutOrigin += pointInertia(mass / p.points.size(), point.cwiseProduct(scale));
    const Eigen::Matrix3d returned = aboutOrigin - pointInertia(mass, c);
    const MgcMatrix3 tensor = computeMassPropertiesInertia(*toMesh(p), mass, MgcVector3(c.x(), c.y(), c.z()),
                                                           MgcVector3(scale.x(), scale.y(), scale.z()));
    EXPECT_LT((toEigen(tensor) - returned).cwiseAbs().maxCoeff(), 1e-12);
  }
}
