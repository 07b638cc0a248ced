// A fracture body of 1,000 unit cubes (10 x 10 x 10, joined where their
// faces touch) hit by a heavy box and broken, on 1, 2, 4 and 8 threads:
// each iteration restores the world to its start and steps it until the
// body has split, then two steps more.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "BenchMeshes.h"
#include "engine/BodyFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "platform/Processors.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

constexpr int kBlockSide = 10;
constexpr double kTouchDistance = 0.01;
constexpr double kStep = kWorldIntegrationStep;
constexpr int kMostSteps = 60;

/// The block on a ground and the box flying at it, in a world of ours as
/// the host's solver sets worlds up. The world owns every body, the pieces
/// included once the block is released at the end.
struct BrokenBlock {
  PrivateWorld world;
  FractureBody* block = new FractureBody;
  HardBody* box = nullptr;

  explicit BrokenBlock(std::uint32_t threads) {
    world.enableManagerOption();
    world.setThreadCount(threads);
    MgcVector3 up(0.0, 1.0, 0.0);
    world.addBody(createBarrierBody(MgcVector3(), up), 0);
    const std::unique_ptr<ZOVmesh> cube = zovbench::cubeMesh(0.5);
    block->getShape().setName("block");
    for (int l = 0; l < kBlockSide; ++l) {
      for (int r = 0; r < kBlockSide; ++r) {
        for (int c = 0; c < kBlockSide; ++c) {
          auto* piece = static_cast<PrivateHardBody*>(createHullBody(cube.get()));
          piece->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
          piece->setPosition(MgcVector3(c, r + 0.5, l));
          piece->setMass(1.0f);
          char name[32];
          std::snprintf(name, sizeof name, "c%d_%d_%d", l, r, c);
          piece->getShape().setName(name);
          block->addUniqueToList(piece);
        }
      }
    }
    block->createJoints(kTouchDistance, false, false);
    for (auto* node = block->getActiveJoints().getFirst(); node != nullptr; node = node->next)
      node->value->enableBreakableByForce();
    block->setGlobalStressThreshold(1.0);
    block->rebuildFromPieces();
    block->saveDynamics(kSaveAll);
    world.addBody(block, 0);

    const std::unique_ptr<ZOVmesh> boxMesh = zovbench::cubeMesh(1.0);
    box = createHullBody(boxMesh.get());
    box->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
    box->setPosition(MgcVector3(4.5, 5.0, -1.6));
    box->setMass(200.0f);
    box->setLinearVelocity(MgcVector3(0.0, 0.0, 10.0));
    box->activate();
    box->saveDynamics(kSaveAll);
    world.addBody(box, 0);
  }
  ~BrokenBlock() {
    world.restoreBody(block);
    world.removeBody(block);
    delete block;
  }

  void restart() {
    world.rebuild();
    world.restoreBody(block);
    world.activateBody(block);
    block->resetCrackCount();
    world.restoreBody(box);
  }
  /// Steps until the block split (and two steps more); the steps run.
  int breakIt() {
    int steps = 0;
    for (int after = -1; steps < kMostSteps && after < 2; ++steps) {
      world.step(kStep);
      world.advance(kStep, nullptr);
      if (after >= 0 || block->isSplitted()) ++after;
    }
    return steps;
  }
};

void BM_FractureBlockBreak(benchmark::State& state) {
  const auto threads = static_cast<std::uint32_t>(state.range(0));
  // A machine of 8 processors is assumed so that every count has its
  // workers.
  zov::platform::setProcessorCountOverride(8);
  BrokenBlock scene(threads);
  zov::platform::setProcessorCountOverride(0);
  int steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    scene.restart();
    state.ResumeTiming();
    steps = scene.breakIt();
  }
  state.counters["steps"] = steps;
  state.counters["fragments"] = scene.block->getNFBodies();
  state.counters["released"] = scene.block->numDisconectBodies();
  state.counters["broken_joints"] = scene.block->getBrokenJointCount();
}
BENCHMARK(BM_FractureBlockBreak)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
