// The shape bodies: inertia against textbook values, placing and moving the
// reference point, replacing the shape, and the triangle tree.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "engine/BodyFactory.h"
#include "engine/bodies/BarrierBody.h"
#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/HullBody.h"
#include "engine/bodies/PhantomBody.h"
#include "engine/bodies/TriMeshBody.h"
#include "engine/bodies/ZovCrackerBody.h"
#include "geometry/MassProperties.h"
#include "math/Tolerances.h"
#include "support/BodyFixtures.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

const MgcVector3 kOne(1.0, 1.0, 1.0);

// A capsule body of mass m along z through the origin, placed at the origin.
template <typename Body>
std::unique_ptr<Body> capsuleBody(double length, double radius, double mass) {
  auto body = std::make_unique<Body>();
  setupCrackerCapsule(body.get(), MgcVector3(0, 0, -length / 2), MgcVector3(0, 0, length / 2), radius);
  body->getShape().boxSize = MgcVector3(2 * radius, 2 * radius, length + 2 * radius);
  body->setMesh(new ZOVmesh);
  body->init(MgcVector3(), MgcMatrix3::IDENTITY, kOne);
  body->setMass(static_cast<float>(mass));
  return body;
}

// Monte Carlo moments of a solid capsule along z: (Ixx, Izz) for mass m.
std::pair<double, double> sampledCapsuleInertia(double L, double r, double m) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  double xx = 0.0;
  double zz = 0.0;
  int inside = 0;
  for (int i = 0; i < 400000; ++i) {
    const MgcVector3 p(r * unit(random), r * unit(random), (L / 2 + r) * unit(random));
    const double axial = std::fmax(0.0, std::fabs(p.z) - L / 2);
    if (p.x * p.x + p.y * p.y + axial * axial > r * r) continue;
    ++inside;
    xx += p.y * p.y + p.z * p.z;
    zz += p.x * p.x + p.y * p.y;
  }
  return {m * xx / inside, m * zz / inside};
}

// The capsule's tensor is the solid capsule's: a sphere when L = 0, and the
// sampled moments otherwise (it used to be a cylinder of radius L/2 + r and
// height about 6 (L/2 + r), some eight times too large for a sphere).
TEST(ShapeBodies, CapsuleInertiaIsTheSolidCapsules) {
  auto sphere = capsuleBody<CapsuleBody>(0.0, 1.0, 1.0);
  const MgcMatrix3 I = sphere->getLocalInertiaTensor();
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(I[k][k], 0.4, 1e-12);
  for (const auto& [L, r] : {std::pair{2.0, 0.5}, std::pair{0.5, 1.0}}) {
    auto body = capsuleBody<CapsuleBody>(L, r, 3.0);
    const auto [xx, zz] = sampledCapsuleInertia(L, r, 3.0);
    EXPECT_NEAR(body->getLocalInertiaTensor()[0][0], xx, 0.01 * xx);
    EXPECT_NEAR(body->getLocalInertiaTensor()[1][1], xx, 0.01 * xx);
    EXPECT_NEAR(body->getLocalInertiaTensor()[2][2], zz, 0.01 * zz);
  }
}

// A local centre at (1, 2, 0) adds the parallel-axis terms m (|c|^2 E - c c^T).
TEST(ShapeBodies, OffsetCentreAddsParallelAxisTerms) {
  auto capsule = capsuleBody<CapsuleBody>(0.0, 1.0, 1.0);
  auto phantom = std::make_unique<PhantomBody>();
  phantom->getShape().boxSize = MgcVector3(1.0, 2.0, 3.0);
  phantom->setMesh(new ZOVmesh);
  phantom->init(MgcVector3(), MgcMatrix3::IDENTITY, kOne);
  auto barrier = std::make_unique<BarrierBody>();
  barrier->setPlane(MgcVector3(), MgcVector3(0.0, 1.0, 0.0));
  for (HardBody* body : std::vector<HardBody*>{capsule.get(), phantom.get(), barrier.get()}) {
    const MgcMatrix3 centred = body->getLocalInertiaTensor();
    EXPECT_NEAR(centred[0][1], 0.0, 1e-15);
    body->getShape().localCenter = MgcVector3(1.0, 2.0, 0.0);
    body->computeInertiaTensor();
    const MgcMatrix3 I = body->getLocalInertiaTensor();
    EXPECT_NEAR(I[0][1], -2.0, 1e-12);
    EXPECT_NEAR(I[1][0], -2.0, 1e-12);
    EXPECT_NEAR(I[0][2], 0.0, 1e-12);
    EXPECT_NEAR(I[1][2], 0.0, 1e-12);
    EXPECT_NEAR(I[0][0], centred[0][0] + 4.0, 1e-12);
    EXPECT_NEAR(I[2][2], centred[2][2] + 5.0, 1e-12);
  }
  // The box: m (b^2 + c^2) / 12 and so on.
  phantom->getShape().localCenter = MgcVector3();
  phantom->setMass(2.0f);
  EXPECT_NEAR(phantom->getLocalInertiaTensor()[0][0], 2.0 * 13.0 / 12.0, 1e-12);
  EXPECT_NEAR(phantom->getLocalInertiaTensor()[2][2], 2.0 * 5.0 / 12.0, 1e-12);
}

TEST(ShapeBodies, CrackerKeepsItsAngularVelocityWhereTheCapsuleTakesTheInitial) {
  auto capsule = capsuleBody<CapsuleBody>(1.0, 0.5, 1.0);
  auto cracker = capsuleBody<ZovCrackerBody>(1.0, 0.5, 1.0);
  EXPECT_EQ(cracker->getType(), kCrackerBody);
  for (HardBody* body : std::vector<HardBody*>{capsule.get(), cracker.get()}) {
    body->setAngularVelocity(MgcVector3(0.0, 0.0, 2.0));
    body->setMass(2.0f);
  }
  EXPECT_EQ(capsule->getDyn().angularVelocity, MgcVector3());
  EXPECT_EQ(cracker->getDyn().angularVelocity, MgcVector3(0.0, 0.0, 2.0));
  // The world capsule follows the body.
  cracker->setPosition(MgcVector3(5.0, 0.0, 0.0));
  EXPECT_EQ(cracker->worldCapsule()->center, MgcVector3(5.0, 0.0, 0.0));
  EXPECT_NEAR(cracker->worldCapsule()->length, 1.0, 1e-15);
}

// A capsule given in world terms and placed at p, R, s comes back from both
// world read-outs where it was given: its centre and axis exactly, its
// length and radius scaled by max |s| after max |1/s| on the way into the
// body frame (unchanged for a uniform scale). Moved rigidly afterwards, the
// capsule moves with the body.
TEST(ShapeBodies, PlacedCapsuleIsTheWorldCapsuleAtAnyScale) {
  const MgcVector3 scales[] = {{2.0, 2.0, 2.0}, {0.5, 0.5, 0.5}, {2.0, 0.5, 1.0}, {-1.5, 1.5, 1.5}};
  const MgcVector3 a(1.0, -2.0, 0.5), b(3.0, 1.0, -0.5);
  const double radius = 0.4;
  for (const MgcVector3& s : scales) {
    SCOPED_TRACE(s.x * 100 + s.y * 10 + s.z);
    CapsuleBody body;
    setupCrackerCapsule(&body, a, b, radius);
    body.getShape().boxSize = MgcVector3(2 * radius, 2 * radius, (b - a).Length() + 2 * radius);
    body.setMesh(new ZOVmesh);
    const MgcVector3 p(0.5, 1.0, -2.0);
    const MgcMatrix3 R = zovtest::rotationAbout(MgcVector3(1, 2, -1), 0.8);
    body.init(p, R, s);
    const double grow = std::max({std::fabs(s.x), std::fabs(s.y), std::fabs(s.z)}) *
                        std::max({1.0 / std::fabs(s.x), 1.0 / std::fabs(s.y), 1.0 / std::fabs(s.z)});
    MgcVector3 axis = b - a;
    axis.Unitize(zov::kUnitizeTolerance);
    ZOVcapsule expected{(a + b) * 0.5, axis, (b - a).Length() * grow, radius * grow};
    for (int move = 0; move < 2; ++move) {
      SCOPED_TRACE(move);
      ZOVcapsule placed{};
      ASSERT_TRUE(body.placedCapsule(placed));
      const ZOVcapsule world = *body.worldCapsule();
      for (const ZOVcapsule* c : std::initializer_list<const ZOVcapsule*>{&placed, &world}) {
        EXPECT_LT((c->center - expected.center).Length(), 1e-12);
        EXPECT_LT((c->axis - expected.axis).Length(), 1e-12);
        EXPECT_NEAR(c->length, expected.length, 1e-12);
        EXPECT_NEAR(c->radius, expected.radius, 1e-12);
      }
      // Then the body turns about and moves to q: the capsule goes with it.
      const MgcMatrix3 Q = zovtest::rotationAbout(MgcVector3(-1, 0, 3), 1.3);
      const MgcVector3 q(-4.0, 2.0, 1.0);
      expected.center = Q * R.Transpose() * (expected.center - p) + q;
      expected.axis = Q * R.Transpose() * expected.axis;
      body.setOrientation(Q);
      body.setPosition(q);
    }
  }
}

// Moving the reference point leaves every vertex where it is in the world.
TEST(ShapeBodies, MovingTheReferencePointKeepsTheMeshInPlace) {
  auto cube = zovtest::boxMesh(MgcVector3(0.5, 1.0, 1.5));
  const MgcMatrix3 R = zovtest::rotationAbout(MgcVector3(1.0, 2.0, 3.0), 0.7);
  for (HardBody* made : {createHullBody(cube.get()), createTriMeshBody(cube.get()), createPhantomBody(cube.get()),
                         createCapsuleBody(cube.get())}) {
    std::unique_ptr<HardBody> body(made);
    body->init(MgcVector3(1.0, 0.0, 0.0), R, kOne);
    body->updateWorldData();
    const ZOVmesh& mesh = *body->getWorldMesh();
    std::vector<MgcVector3> before(mesh.worldVertices, mesh.worldVertices + mesh.numVertices);
    body->moveCenterOfMass(MgcVector3(0.3, -0.2, 0.5));
    EXPECT_EQ(body->getDyn().position, MgcVector3(0.3, -0.2, 0.5));
    const ZOVmesh& after = *body->getWorldMesh();
    for (std::uint32_t i = 0; i < after.numVertices; ++i) {
      EXPECT_NEAR((after.worldVertices[i] - before[i]).Length(), 0.0, 1e-12) << body->getType();
    }
  }
}

TEST(ShapeBodies, HullReplacementBudgetsLargeMeshes) {
  std::mt19937 random(3);
  std::normal_distribution<double> gauss;
  auto sphereMesh = [&](std::uint32_t n) {
    std::vector<MgcVector3> points(n);
    for (MgcVector3& p : points) {
      p = MgcVector3(gauss(random), gauss(random), gauss(random));
      p.Unitize(zov::kUnitizeTolerance);
    }
    return zovtest::polygonMesh(points, {{0, 1, 2}});
  };
  auto cube = zovtest::boxMesh(MgcVector3(1.0, 1.0, 1.0));
  std::unique_ptr<HardBody> body(createHullBody(cube.get()));
  body->init(MgcVector3(), MgcMatrix3::IDENTITY, kOne);
  auto many = sphereMesh(600);
  body->modify(many.get());
  EXPECT_LE(body->getWorldMesh()->numVertices, 512u);
  auto few = sphereMesh(100);
  body->modify(few.get());
  EXPECT_EQ(body->getWorldMesh()->numVertices, 100u);
  EXPECT_NE(static_cast<HullBody*>(body.get())->getBoundingMesh()->getMesh(), nullptr);
  body->modify(nullptr);
  EXPECT_EQ(body->getWorldMesh()->numVertices, 100u);
}

// The replacement of a triangle-mesh body writes the fan of every polygon and
// grows the mesh's arrays to hold them (it used to write past the old ones
// and drop vertices the faces still named).
TEST(ShapeBodies, TriangleReplacementFansFacesIntoGrownArrays) {
  auto triangle = zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  std::unique_ptr<HardBody> body(createTriMeshBody(triangle.get()));
  body->init(MgcVector3(), MgcMatrix3::IDENTITY, kOne);
  auto quad = zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}});
  body->modify(quad.get());
  const ZOVmesh& mesh = *body->getWorldMesh();
  ASSERT_EQ(mesh.numFaces, 2u);
  ASSERT_EQ(mesh.numVertices, 4u);
  const std::uint32_t expected[2][3] = {{0, 1, 2}, {0, 2, 3}};
  for (std::uint32_t f = 0; f < 2; ++f) {
    for (std::uint32_t k = 0; k < 3; ++k) EXPECT_EQ(mesh.faces[f].vertices[k], expected[f][k]);
    EXPECT_EQ(mesh.faceNormals[f], quad->faceNormals[0]);
  }
  auto cube = zovtest::boxMesh(MgcVector3(1.0, 1.0, 1.0));
  body->modify(cube.get());
  EXPECT_EQ(body->getWorldMesh()->numFaces, 12u);
  EXPECT_NEAR(meshVolume(*body->getWorldMesh()), 8.0, 1e-9);
}

// n small triangles side by side along x, 3 apart.
std::unique_ptr<ZOVmesh> triangleRow(std::uint32_t n) {
  std::vector<MgcVector3> points;
  std::vector<std::vector<std::uint32_t>> faces;
  for (std::uint32_t i = 0; i < n; ++i) {
    const double x = 3.0 * i;
    points.insert(points.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0.5}});
    faces.push_back({3 * i, 3 * i + 1, 3 * i + 2});
  }
  return zovtest::polygonMesh(points, faces);
}

TEST(ShapeBodies, TriangleTreeSplitsFromThirteenFaces) {
  for (std::uint32_t n : {12u, 13u, 200u}) {
    auto row = triangleRow(n);
    BVmesh volume;
    ASSERT_TRUE(volume.init(row.get(), kMeshVertexTable));
    BoxTree tree;
    ASSERT_TRUE(tree.buildTriangleTree(&volume));
    EXPECT_TRUE(tree.isBuilt());
    EXPECT_EQ(tree.getRoot()->isLeaf(), n < 13) << n;
    // Every face in exactly one leaf, and inside the leaf's box.
    std::vector<int> seen(n, 0);
    std::vector<const BoxTreeNode*> pending{tree.getRoot()};
    while (!pending.empty()) {
      const BoxTreeNode* node = pending.back();
      pending.pop_back();
      if (node->hasChildren()) {
        pending.push_back(node->firstChild.get());
        pending.push_back(node->secondChild.get());
        continue;
      }
      EXPECT_LT(node->itemCount, 13u);
      for (std::uint32_t i = 0; i < node->itemCount; ++i) ++seen[node->faceIndices[i]];
    }
    for (int count : seen) EXPECT_EQ(count, 1);
    EXPECT_TRUE(tree.refitTriangleTree(&volume));
  }
}

TEST(ShapeBodies, BarrierIgnoresModifyAndMovesOnlyItsPlanePoint) {
  auto barrier = std::make_unique<BarrierBody>();
  barrier->setPlane(MgcVector3(0.0, 1.0, 0.0), MgcVector3(0.0, 1.0, 0.0));
  auto cube = zovtest::boxMesh(MgcVector3(1.0, 1.0, 1.0));
  barrier->modify(cube.get());
  EXPECT_EQ(barrier->getWorldMesh(), nullptr);
  barrier->moveCenterOfMass(MgcVector3(0.0, 2.0, 0.0));
  EXPECT_EQ(barrier->getPlanePoint(), MgcVector3(0.0, 2.0, 0.0));
  EXPECT_EQ(barrier->getDyn().position, MgcVector3(0.0, 1.0, 0.0));
}

TEST(ShapeBodies, CapsuleReplacementWithoutDirectionTakesTheIdentity) {
  auto capsule = capsuleBody<CapsuleBody>(1.0, 0.5, 1.0);
  auto point = zovtest::polygonMesh({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {{0, 1, 2}});
  capsule->modify(point.get());
  const MgcMatrix3& R = capsule->getShape().boxRotation;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(R[r][c], r == c ? 1.0 : 0.0);
}

}  // namespace
