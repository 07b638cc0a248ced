// The factory: which kind each creator makes, the automatic choice between
// hull and triangle-mesh bodies, unusable input, the world's life, and the
// deep copies of meshes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/BodyFactory.h"
#include "engine/MeshFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/BarrierBody.h"
#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/HullBody.h"
#include "engine/bodies/TriMeshBody.h"
#include "geometry/MassProperties.h"
#include "geometry/SharedFaces.h"
#include "math/Tolerances.h"
#include "support/GeometryFixtures.h"
#include "support/SceneFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

struct BodyDeleter {
  void operator()(HardBody* body) const { delete body; }
};
using BodyPtr = std::unique_ptr<HardBody, BodyDeleter>;

// Four points on one line: no hull and no volume.
std::unique_ptr<ZOVmesh> degenerateMesh() {
  return zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {{0, 1, 2, 3}});
}

TEST(BodyFactory, AutomaticChoiceFollowsTheHullVolume) {
  auto cube = zovtest::boxMesh(MgcVector3(0.5, 1.0, 1.5));
  auto prism = zovtest::lPrismMesh();
  EXPECT_TRUE(isNearlyConvex(cube.get()));
  EXPECT_FALSE(isNearlyConvex(prism.get()));
  BodyPtr hull(createBodyFromMesh(cube.get()));
  BodyPtr triangles(createBodyFromMesh(prism.get()));
  ASSERT_NE(hull, nullptr);
  ASSERT_NE(triangles, nullptr);
  EXPECT_EQ(hull->getType(), kHullBody);
  EXPECT_EQ(triangles->getType(), kTriMeshBody);
  // The hull body's mesh is the cube's hull: the same volume.
  EXPECT_NEAR(meshVolume(*hull->getWorldMesh()), 6.0, 1e-9);
  // The triangle body's mesh is triangulated: every quad becomes two triangles.
  const ZOVmesh& triangulated = *triangles->getWorldMesh();
  EXPECT_EQ(triangulated.numFaces, 2u * prism->numFaces);
  for (std::uint32_t f = 0; f < triangulated.numFaces; ++f) EXPECT_EQ(triangulated.faces[f].numVertices, 3u);
  EXPECT_NEAR(meshVolume(*triangles->getWorldMesh()), 3.0, 1e-9);
}

TEST(BodyFactory, EachCreatorMakesItsKind) {
  auto cube = zovtest::boxMesh(MgcVector3(1.0, 1.0, 1.0));
  MgcVector3 up(0.0, 1.0, 0.0);
  struct Case {
    HardBody* body;
    eHBodyType kind;
  };
  for (const Case& c :
       {Case{createPhantomBody(cube.get()), kPhantomBody}, Case{createCapsuleBody(cube.get()), kCapsuleBody},
        Case{createHullBody(cube.get()), kHullBody}, Case{createTriMeshBody(cube.get()), kTriMeshBody},
        Case{createCrackerBody(cube.get()), kCrackerBody}, Case{createBarrierBody(MgcVector3(), up), kBarrierBody},
        Case{createPhantomBody(nullptr), kPhantomBody}, Case{createHullBody(nullptr), kHullBody},
        Case{createTriMeshBody(nullptr), kTriMeshBody}}) {
    BodyPtr body(c.body);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->getType(), c.kind);
  }
}

// Zero counts and degenerate meshes give null or a triangle-mesh body, never a
// crash; the triangle-mesh body of a degenerate mesh has no mesh volume.
TEST(BodyFactory, UnusableInputGivesNullOrAFallback) {
  EXPECT_EQ(createMesh(0, 4), nullptr);
  EXPECT_EQ(createMesh(4, 0), nullptr);
  EXPECT_EQ(createMesh3(0, 3, 1), nullptr);
  EXPECT_EQ(createDFmesh(0, 0, 1, 1, 0), nullptr);
  EXPECT_EQ(createDFmesh(3, 0, 0, 1, 0), nullptr);
  EXPECT_EQ(copyMesh(nullptr), nullptr);
  EXPECT_FALSE(allocMeshExtra(nullptr, 4));

  auto line = degenerateMesh();
  EXPECT_EQ(createHullBody(line.get()), nullptr);
  EXPECT_FALSE(isNearlyConvex(line.get()));
  BodyPtr fallback(createBodyFromMesh(line.get()));
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(fallback->getType(), kTriMeshBody);
  EXPECT_TRUE(hasNonPositiveVolume(fallback.get()));
  fallback->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));

  ZOVmesh empty;
  BodyPtr bare(createTriMeshBody(&empty));
  ASSERT_NE(bare, nullptr);
  bare->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));  // no mesh: nothing
  EXPECT_FALSE(hasNonPositiveVolume(nullptr));
}

TEST(BodyFactory, BarrierWithZeroNormalFacesUp) {
  MgcVector3 normal;
  BodyPtr body(createBarrierBody(MgcVector3(0.0, -1.0, 0.0), normal));
  auto* barrier = static_cast<BarrierBody*>(body.get());
  EXPECT_EQ(normal, MgcVector3(0.0, 1.0, 0.0));
  EXPECT_EQ(barrier->getPlaneNormal(), MgcVector3(0.0, 1.0, 0.0));
  EXPECT_TRUE(barrier->isStatic());
  EXPECT_TRUE(barrier->isActive());
  EXPECT_EQ(barrier->getShape().scale, MgcVector3(1.0, 1.0, 1.0));
  EXPECT_DOUBLE_EQ(barrier->getRestitutionCoeff(), static_cast<double>(0.3f));
  EXPECT_DOUBLE_EQ(barrier->getFrictionCoeff(), static_cast<double>(0.7f));
}

// A capsule fitted to one point has coincident ends: its axis becomes x.
TEST(BodyFactory, CapsuleWithCoincidentEndsTakesTheXAxis) {
  auto point = zovtest::polygonMesh({{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, {{0, 1, 2}});
  for (HardBody* made : {createCapsuleBody(point.get()), createCrackerBody(point.get())}) {
    BodyPtr body(made);
    const MgcMatrix3& R = body->getShape().boxRotation;
    EXPECT_EQ(R.GetColumn(2), MgcVector3(1.0, 0.0, 0.0));
    EXPECT_EQ(body->getShape().localCenter, MgcVector3(1.0, 2.0, 3.0));
  }
}

TEST(BodyFactory, WorldLifeAndBodyDeletion) {
  PublicWorld* null = nullptr;
  deleteWorld(&null);
  EXPECT_EQ(theWorld, nullptr);

  HardBody* loose = createPhantomBody(nullptr);
  deleteBody(&loose);  // no world: still deleted
  EXPECT_EQ(loose, nullptr);

  ASSERT_NE(createWorld(), nullptr);
  EXPECT_TRUE(enableWorldManagerOption());
  auto cube = zovtest::boxMesh(MgcVector3(1.0, 1.0, 1.0));
  HardBody* body = createHullBody(cube.get());
  body->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
  theWorld->addBody(body, 0);
  EXPECT_EQ(theWorld->getNumberOfBodies(), 1);
  deleteBody(&body);  // taken out of the world first
  EXPECT_EQ(theWorld->getNumberOfBodies(), 0);
  deleteWorld(&theWorld);
  EXPECT_EQ(theWorld, nullptr);
  EXPECT_FALSE(disableWorldManagerOption());
}

// Bodies of every kind on every list, stepped and then left to the world:
// its destruction frees each exactly once (AddressSanitizer and
// LeakSanitizer check the variant built with them).
TEST(BodyFactory, WorldTeardownDeletesBodiesOfEveryKindOnEveryList) {
  auto cube = zovtest::boxMesh(MgcVector3(1.0, 1.0, 1.0));
  auto prism = zovtest::lPrismMesh();
  PublicWorld* world = createWorld();
  ASSERT_NE(world, nullptr);
  auto place = [&](HardBody* body, double x) {
    body->init(MgcVector3(x, 0.0, 0.0), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
    return body;
  };
  HardBody* awake = place(createHullBody(cube.get()), 0.0);
  HardBody* passive = place(createTriMeshBody(prism.get()), 5.0);
  HardBody* idle = place(createCapsuleBody(cube.get()), 10.0);
  HardBody* sleeper = place(createPhantomBody(cube.get()), 15.0);
  HardBody* woken = place(createBodyFromMesh(prism.get()), 20.0);
  HardBody* cracker = place(createCrackerBody(cube.get()), 25.0);
  MgcVector3 up(0.0, 1.0, 0.0);
  HardBody* ground = createBarrierBody(MgcVector3(0.0, -5.0, 0.0), up);
  passive->enableStatic();
  idle->deActivate();
  for (HardBody* body : {awake, passive, idle, sleeper, woken, cracker, ground}) world->addBody(body, 0);
  sleeper->deActivate();
  woken->deActivate();
  world->step(0.01);
  world->advance(0.01, nullptr);
  world->activateBody(woken);
  world->step(0.01);
  world->advance(0.01, nullptr);
  auto* lists = static_cast<PrivateWorld*>(world);
  EXPECT_TRUE(lists->getSleepingBodies().contains(sleeper));
  EXPECT_TRUE(lists->getInactiveBodies().contains(idle));
  EXPECT_TRUE(lists->getDynamicBodies().contains(woken));
  EXPECT_TRUE(lists->getCrackerBodies().contains(cracker));
  deleteWorld(&world);
  EXPECT_EQ(theWorld, nullptr);
}

TEST(BodyFactory, MeshCopiesAreDeep) {
  auto cube = zovtest::boxMesh(MgcVector3(1.0, 2.0, 3.0));
  std::unique_ptr<ZOVmesh> copy(copyMesh(cube.get()));
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->vertices, cube->vertices);
  cube->vertices[0] = MgcVector3(9.0, 9.0, 9.0);
  EXPECT_NE(copy->vertices[0], cube->vertices[0]);
  EXPECT_NEAR(meshVolume(*copy), 48.0, 1e-9);
  EXPECT_EQ(copy->hasVertexData, 0);

  ZOV_DFmesh* df = createDFmesh(4, 6, 2, 3, 5);
  ASSERT_NE(df, nullptr);
  EXPECT_EQ(df->dfFlags, kDFmeshMultipleUVLayers | kDFmeshHasExtraPoints);
  EXPECT_NE(df->uvLayers[1], nullptr);
  EXPECT_EQ(df->uvLayers[2], nullptr);
  allocateBufferChannels(&df->faces[0], 3, 3, false);
  df->faces[0].numVertices = 3;
  df->faces[0].vertices[2] = 3;
  df->faces[0].layerUVIndices[1][1] = 5;
  EXPECT_TRUE(allocMeshExtra(df, 2));
  EXPECT_TRUE(allocMeshExtra(df, 3));  // the first array is freed, not leaked
  ZOV_DFmesh* dfCopy = copyDFmesh(df);
  ASSERT_NE(dfCopy, nullptr);
  EXPECT_NE(dfCopy->faces[0].vertices, df->faces[0].vertices);
  EXPECT_EQ(dfCopy->faces[0].vertices[2], 3u);
  EXPECT_EQ(dfCopy->faces[0].layerUVIndices[1][1], 5u);
  EXPECT_EQ(dfCopy->numExtraPoints, 5u);
  deleteDFmesh(&df);
  deleteDFmesh(&dfCopy);
  EXPECT_EQ(df, nullptr);
}

// Hull bodies made from meshes of one shape hold one copy of their faces,
// still after a pile of them has fallen and settled; and they move exactly
// as bodies that each own a copy do.
TEST(BodyFactory, HullBodiesOfOneShapeShareTheirFacesAndMoveAsIfEachOwnedThem) {
  const std::size_t before = sharedFaceTableCount();
  constexpr int kSide = 3;
  PrivateWorld shared;
  PrivateWorld owned;
  std::vector<HardBody*> sharing;
  std::vector<HardBody*> owning;
  for (PrivateWorld* world : {&shared, &owned}) {
    zovtest::prepareWorld(*world);
    zovtest::addGround(*world);
    for (int i = 0; i < kSide * kSide * kSide; ++i) {
      const MgcVector3 at(1.2 * (i % kSide) + 0.01 * i, 0.6 + 1.2 * (i / (kSide * kSide)), 1.2 * ((i / kSide) % kSide));
      MgcMatrix3 R;
      R.FromAxisAngle(MgcVector3(0.3, 1.0, 0.1), 0.02 * i);
      HardBody* box = zovtest::addBox(*world, MgcVector3(0.5, 0.5, 0.5), at, 1.0f, 0.0, 0.5, R);
      (world == &shared ? sharing : owning).push_back(box);
    }
  }
  for (HardBody* box : owning) ASSERT_TRUE(ownFaceTables(*box->getWorldMesh()));
  EXPECT_EQ(sharedFaceTableCount(), before + 1);

  zovtest::runSteps(shared, 300);
  zovtest::runSteps(owned, 300);
  for (std::size_t i = 0; i < sharing.size(); ++i) {
    const ZOVmesh* mesh = sharing[i]->getWorldMesh();
    EXPECT_TRUE(hasSharedFaces(*mesh)) << i;
    EXPECT_EQ(mesh->faces, sharing[0]->getWorldMesh()->faces) << i;
    EXPECT_FALSE(hasSharedFaces(*owning[i]->getWorldMesh())) << i;
    EXPECT_EQ(std::memcmp(&sharing[i]->getDyn(), &owning[i]->getDyn(), sizeof(RBDynamics)), 0) << i;
    EXPECT_EQ(std::memcmp(&sharing[i]->getLastDyn(), &owning[i]->getLastDyn(), sizeof(RBDynamics)), 0) << i;
  }
  // The pile did fall: the top layer is lower than it started.
  EXPECT_LT(sharing.back()->getDyn().position.y, 0.6 + 1.2 * (kSide - 1) - 0.05);
  EXPECT_EQ(sharedFaceTableCount(), before + 1);
}

}  // namespace
