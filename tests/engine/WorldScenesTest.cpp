// Bodies fall, collide and come to rest on the ground and on each other.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "engine/FractureBody.h"
#include "engine/PrivateWorld.h"
#include "math/MgcMath.h"
#include "platform/Processors.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "support/FractureFixtures.h"
#include "support/SceneFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using namespace zovtest;

namespace {

TEST(WorldScenes, ScratchStack) {
  PrivateWorld world;
  prepareWorld(world);
  addGround(world);
  HardBody* boxes[3];
  for (int i = 0; i < 3; ++i) boxes[i] = addBox(world, MgcVector3(0.5, 0.5, 0.5), MgcVector3(0.0, 0.5 + i * 1.0, 0.0));
  for (int i = 0; i < 3000; ++i) {
    world.step(kWorldIntegrationStep);
    if (i == 10) std::printf("levels %d %d %d\n", boxes[0]->getContactLevel(), boxes[1]->getContactLevel(), boxes[2]->getContactLevel());
    world.advance(kWorldIntegrationStep, nullptr);
    if (i % 300 == 0)
      std::printf("%d y %.5f %.5f %.5f x %.5f %.5f %.5f\n", i, boxes[0]->getDyn().position.y, boxes[1]->getDyn().position.y,
                  boxes[2]->getDyn().position.y, boxes[0]->getDyn().position.x, boxes[1]->getDyn().position.x, boxes[2]->getDyn().position.x);
  }
}

TEST(WorldScenes, ScratchBounce) {
  PrivateWorld world;
  prepareWorld(world);
  addGround(world);
  HardBody* box = addBox(world, MgcVector3(0.5, 0.5, 0.5), MgcVector3(0.0, 2.5, 0.0), 1.0f, 0.5);
  world.getBarrierBodies().getFirst()->value->setRestitutionCoeff(getenv("GR") ? atof(getenv("GR")) : 0.0);
  double top = 0; bool touched = false;
  for (int i = 0; i < 600; ++i) {
    world.step(kWorldIntegrationStep);
    if (i > 187 && i < 192) std::printf("  after step vy %.5f contacts %u\n", box->getDyn().linearVelocity.y, world.getCollisionManager()->getStepPairs().getCount() ? world.getCollisionManager()->getStepPairs().getFirst()->value->contactCount : 0);
    world.advance(kWorldIntegrationStep, nullptr);
    if (i > 180 && i < 200) std::printf("%d y %.5f vy %.5f w %.5f pairs %u\n", i, box->getDyn().position.y, box->getDyn().linearVelocity.y, box->getDyn().angularVelocity.Length(), world.getCollisionManager()->getStepPairs().getCount());
    if (box->getDyn().linearVelocity.y > 0) touched = true;
    if (touched) top = std::max(top, box->getDyn().position.y - 0.5);
  }
  std::printf("bounce top %.5f\n", top);
}

TEST(WorldScenes, ScratchSlide) {
  PrivateWorld world;
  prepareWorld(world);
  addGround(world);
  HardBody* box = addBox(world, MgcVector3(0.5, 0.5, 0.5), MgcVector3(0.0, 0.5, 0.0), 1.0f, 0.0, 0.5);
  box->setLinearVelocity(MgcVector3(5.0, 0.0, 0.0));
  for (int i = 0; i < 600; ++i) {
    world.step(kWorldIntegrationStep);
    world.advance(kWorldIntegrationStep, nullptr);
    if (i % 30 == 0) std::printf("%d x %.5f vx %.5f y %.5f\n", i, box->getDyn().position.x, box->getDyn().linearVelocity.x, box->getDyn().position.y);
  }
}

TEST(WorldScenes, ScratchIncline) {
  for (double deg : {20.0, 35.0}) {
    const double th = deg * M_PI / 180.0;
    PrivateWorld world;
    prepareWorld(world);
    const MgcVector3 n(-std::sin(th), std::cos(th), 0.0);
    addGround(world, n);
    MgcMatrix3 R;
    R.FromAxisAngle(MgcVector3(0, 0, 1), th);
    HardBody* box = addBox(world, MgcVector3(0.5, 0.5, 0.5), n * 0.5, 1.0f, 0.0, 0.5, R);
    for (int i = 0; i < 900; ++i) {
      world.step(kWorldIntegrationStep);
      world.advance(kWorldIntegrationStep, nullptr);
      const MgcVector3 dn(-std::cos(th), -std::sin(th), 0.0);
      if (i % 100 == 0) std::printf("  %d along %.6f speed %.6f w %.6f\n", i, (box->getDyn().position - n*0.5).Dot(dn), box->getDyn().linearVelocity.Dot(dn), box->getDyn().angularVelocity.Length());
    }
    const MgcVector3 down(-std::cos(th), -std::sin(th), 0.0);
    std::printf("deg %.0f along %.5f speed %.5f expected accel %.5f\n", deg, (box->getDyn().position - n*0.5).Dot(down), box->getDyn().linearVelocity.Dot(down),
                10.0 * (std::sin(th) - 0.5 * std::cos(th)));
  }
}

TEST(WorldScenes, ScratchFracture) {
  auto a = cubePiece(MgcVector3(0.0, 2.5, 0.0), 1.0f, "a");
  auto b = cubePiece(MgcVector3(1.0, 2.5, 0.0), 1.0f, "b");
  PrivateWorld world;
  prepareWorld(world);
  addGround(world);
  auto* body = new FractureBody;
  std::snprintf(body->getShape().name, kBodyNameLength, "pair");
  body->attachJoint(jointAt(MgcVector3(0.5, 2.5, 0.0), a.get(), b.get(), 1));
  body->rebuildFromPieces();
  body->activate();
  world.addBody(body, 0);
  for (int i = 0; i < 900; ++i) {
    world.step(kWorldIntegrationStep);
    world.advance(kWorldIntegrationStep, nullptr);
    if (i % 100 == 0) std::printf("%d y %.5f a %.5f b %.5f\n", i, body->getDyn().position.y, a->getDyn().position.y, b->getDyn().position.y);
  }
}

}  // namespace
namespace {
TEST(WorldScenes, ScratchThreads) {
  std::vector<MgcVector3> ref;
  for (int threads : {1, 2, 4, 8}) {
    zov::platform::setProcessorCountOverride(8);
    PrivateWorld world;
    zov::platform::setProcessorCountOverride(0);
    prepareWorld(world, threads);
    addGround(world);
    std::vector<HardBody*> boxes;
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 3; ++k) {
          MgcMatrix3 R;
          R.FromAxisAngle(MgcVector3(0, 1, 0), 0.1 * (i + j + k));
          boxes.push_back(addBox(world, MgcVector3(0.5, 0.5, 0.5), MgcVector3(1.2 * i + 0.05 * k, 0.6 + 1.2 * k, 1.2 * j), 1.0f, 0.0, 0.5, R));
        }
    runSteps(world, 300);
    std::vector<MgcVector3> pos;
    for (HardBody* b : boxes) pos.push_back(b->getDyn().position);
    double miny = 1e9;
    for (auto& p : pos) miny = std::min(miny, p.y);
    std::printf("threads %d miny %.5f p0 %.6f %.6f %.6f\n", threads, miny, pos[5].x, pos[5].y, pos[5].z);
    if (ref.empty()) ref = pos; else EXPECT_EQ(pos, ref) << threads;
  }
}
}  // namespace
