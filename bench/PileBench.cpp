// A pile of 1,000 boxes falling onto a barrier, simulated frame by frame as
// the host does (24 frames a second, 10 substeps), on 1, 2, 4 and 8 threads,
// each run beside the same pile in Bullet on one thread; and the pair passes
// alone on a settled scene of 200 bodies.

#include <benchmark/benchmark.h>

#include <btBulletDynamicsCommon.h>

#include <malloc.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "BenchMeshes.h"
#include "engine/BodyFactory.h"
#include "engine/MeshFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/WorkerPool.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "platform/Processors.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

constexpr int kPileSide = 10;
constexpr double kPileSpacing = 1.2;
constexpr double kHalf = 0.5;
constexpr int kFrames = 100;
constexpr int kSubsteps = 10;
constexpr double kFrameTime = 1.0 / 24.0;

/// One box of the pile: its centre and its turn (axis and angle).
struct PileBox {
  MgcVector3 centre;
  MgcVector3 axis;
  double angle;
};

/// The pile's boxes: a side x side x side grid 1.2 apart, the lowest layer
/// 0.1 above the ground, each moved by up to 0.05 and turned by up to 0.1
/// about a random axis (the same every run).
std::vector<PileBox> pileBoxes(int side) {
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> offset(-0.05, 0.05);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_real_distribution<double> turn(-0.1, 0.1);
  std::vector<PileBox> boxes;
  for (int y = 0; y < side; ++y) {
    for (int z = 0; z < side; ++z) {
      for (int x = 0; x < side; ++x) {
        PileBox box;
        box.centre = MgcVector3(kPileSpacing * x + offset(random), kHalf + 0.1 + kPileSpacing * y + offset(random),
                                kPileSpacing * z + offset(random));
        box.axis = MgcVector3(unit(random), unit(random), unit(random));
        if (box.axis.Unitize(1e-6) == 0.0) box.axis = MgcVector3(0.0, 1.0, 0.0);
        box.angle = turn(random);
        boxes.push_back(box);
      }
    }
  }
  return boxes;
}

/// The pile in a world of ours, as the host's solver sets worlds up.
struct EnginePile {
  PrivateWorld world;
  std::vector<HardBody*> boxes;

  EnginePile(int side, std::uint32_t threads) {
    world.enableManagerOption();
    world.enableBodyDeactivation();
    world.setThreadCount(threads);
    MgcVector3 normal(0.0, 1.0, 0.0);
    world.addBody(createBarrierBody(MgcVector3(), normal), 0);
    const std::unique_ptr<ZOVmesh> mesh = zovbench::cubeMesh(kHalf);
    for (const PileBox& b : pileBoxes(side)) {
      HardBody* body = createHullBody(mesh.get());
      body->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
      MgcMatrix3 R;
      R.FromAxisAngle(b.axis, b.angle);
      body->setOrientation(R);
      body->setPosition(b.centre);
      body->setMass(1.0f);
      body->setFrictionCoeff(0.5);
      body->activate();
      world.addBody(body, 0);
      boxes.push_back(body);
    }
  }

  void frame() {
    const double dt = kFrameTime / kSubsteps;
    for (int s = 0; s < kSubsteps; ++s) {
      world.step(dt);
      world.advance(dt, nullptr);
    }
  }
};

/// The same pile in Bullet: boxes of mass 1, friction 0.5, on a static plane.
struct BulletPile {
  btDefaultCollisionConfiguration configuration;
  btCollisionDispatcher dispatcher{&configuration};
  btDbvtBroadphase broadphase;
  btSequentialImpulseConstraintSolver solver;
  btDiscreteDynamicsWorld world{&dispatcher, &broadphase, &solver, &configuration};
  btBoxShape box{btVector3(kHalf, kHalf, kHalf)};
  btStaticPlaneShape ground{btVector3(0, 1, 0), 0};
  std::vector<std::unique_ptr<btDefaultMotionState>> states;
  std::vector<std::unique_ptr<btRigidBody>> bodies;

  explicit BulletPile(int side) {
    world.setGravity(btVector3(0, -10, 0));
    addBody(&ground, 0.0, btTransform::getIdentity());
    btVector3 inertia;
    box.calculateLocalInertia(1.0, inertia);
    for (const PileBox& b : pileBoxes(side)) {
      btTransform at(btQuaternion(btVector3(b.axis.x, b.axis.y, b.axis.z), b.angle),
                     btVector3(b.centre.x, b.centre.y, b.centre.z));
      addBody(&box, 1.0, at, inertia);
    }
  }
  void addBody(btCollisionShape* shape, double mass, const btTransform& at, const btVector3& inertia = {0, 0, 0}) {
    states.push_back(std::make_unique<btDefaultMotionState>(at));
    btRigidBody::btRigidBodyConstructionInfo info(mass, states.back().get(), shape, inertia);
    info.m_friction = 0.5;
    bodies.push_back(std::make_unique<btRigidBody>(info));
    world.addRigidBody(bodies.back().get());
  }
  ~BulletPile() {
    for (auto& body : bodies) world.removeRigidBody(body.get());
  }
  void frame() { world.stepSimulation(kFrameTime, kSubsteps, kFrameTime / kSubsteps); }
};

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Bullet's time for the pile, measured once per program run.
double bulletPileSeconds(int side) {
  static double seconds = -1.0;
  if (seconds < 0.0) {
    BulletPile pile(side);
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) pile.frame();
    seconds = secondsSince(start);
  }
  return seconds;
}

// The whole pile, 100 frames, on state.range(0) threads (a machine of 8
// processors is assumed so that every count has its workers).
void BM_BoxPile(benchmark::State& state) {
  const auto threads = static_cast<std::uint32_t>(state.range(0));
  const double reference = bulletPileSeconds(kPileSide);
  double seconds = 0.0;
  double lowest = 0.0;
  double highest = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    zov::platform::setProcessorCountOverride(8);
    auto pile = std::make_unique<EnginePile>(kPileSide, threads);
    zov::platform::setProcessorCountOverride(0);
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) pile->frame();
    seconds = secondsSince(start);
    state.PauseTiming();
    lowest = 1e300;
    highest = -1e300;
    for (HardBody* body : pile->boxes) {
      lowest = std::min(lowest, body->getDyn().position.y);
      highest = std::max(highest, body->getDyn().position.y);
    }
    pile.reset();
    state.ResumeTiming();
  }
  state.counters["zov_s"] = seconds;
  state.counters["bullet_s"] = reference;
  state.counters["ratio"] = seconds / reference;
  state.counters["lowest_y"] = lowest;
  state.counters["highest_y"] = highest;
  std::printf("box pile, %u thread(s): zov %.3f s, bullet (1 thread) %.3f s, ratio %.2f\n", threads, seconds, reference,
              seconds / reference);
}
BENCHMARK(BM_BoxPile)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Memory of the pile, 24 frames in, on state.range(0) threads: the heap in
// use (malloc's own count, so that what earlier runs freed does not hide it)
// of the empty world with its barrier; per body, what the boxes added to it;
// per pair in contact, what the frames added: pair records, pools,
// manifolds, lists and workspaces. mallinfo2 sees the main thread's arena
// only, where the helpers make records of their own, so the pair records
// made per pair in contact are counted too.
std::size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void BM_PileMemory(benchmark::State& state) {
  const auto threads = static_cast<std::uint32_t>(state.range(0));
  double world = 0.0;
  double perBody = 0.0;
  double perPair = 0.0;
  std::uint32_t pairs = 0;
  std::uint32_t records = 0;
  zov::platform::setProcessorCountOverride(8);
  for (auto _ : state) {
    std::size_t empty = heapInUse();
    {
      const EnginePile bare(0, threads);
      world = static_cast<double>(heapInUse() - empty);
    }
    empty = heapInUse();
    auto pile = std::make_unique<EnginePile>(kPileSide, threads);
    const std::size_t built = heapInUse();
    for (int f = 0; f < 24; ++f) pile->frame();
    const std::size_t stepped = heapInUse();
    pairs = pile->world.getCollisionManager()->getStepPairs().getCount();
    records = pile->world.getCollisionManager()->pairRecordCount();
    perBody = (static_cast<double>(built - empty) - world) / static_cast<double>(pile->boxes.size());
    perPair = pairs == 0 ? 0.0 : static_cast<double>(stepped - built) / pairs;
  }
  zov::platform::setProcessorCountOverride(0);
  state.counters["world_bytes"] = world;
  state.counters["bytes_per_body"] = perBody;
  state.counters["bytes_per_pair"] = perPair;
  state.counters["pairs"] = pairs;
  state.counters["records_per_pair"] = pairs == 0 ? 0.0 : static_cast<double>(records) / pairs;
}
BENCHMARK(BM_PileMemory)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The step's passes alone (contact pass and hit processing) on 200 boxes
// settled on the ground, on state.range(0) threads.
void BM_PairPasses(benchmark::State& state) {
  const auto threads = static_cast<std::uint32_t>(state.range(0));
  zov::platform::setProcessorCountOverride(8);
  EnginePile pile(0, threads);
  zov::platform::setProcessorCountOverride(0);
  const std::unique_ptr<ZOVmesh> mesh = zovbench::cubeMesh(kHalf);
  for (int i = 0; i < 200; ++i) {
    HardBody* body = createHullBody(mesh.get());
    body->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
    body->setPosition(MgcVector3(1.01 * (i % 10), 0.5 + 1.0 * (i / 50), 1.01 * ((i / 10) % 5)));
    body->setFrictionCoeff(0.5);
    body->activate();
    pile.world.addBody(body, 0);
  }
  pile.world.disableBodyDeactivation();
  for (int f = 0; f < 10; ++f) pile.frame();
  const double dt = kFrameTime / kSubsteps;
  for (auto _ : state) pile.world.step(dt);
  state.counters["pairs"] = pile.world.getCollisionManager()->getStepPairs().getCount();
}
BENCHMARK(BM_PairPasses)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

namespace {

// What a phase pays to hand work to the helpers: one empty job on the
// persistent pool, beside starting and joining as many threads for it.
void BM_HelperWake(benchmark::State& state) {
  const auto helpers = static_cast<std::uint32_t>(state.range(0));
  WorkerPool pool;
  for (auto _ : state) pool.run(helpers, [](std::uint32_t) {});
}
BENCHMARK(BM_HelperWake)->Arg(1)->Arg(3)->Arg(7)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ThreadStartJoin(benchmark::State& state) {
  const auto helpers = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    std::vector<std::thread> threads;
    for (std::uint32_t k = 0; k < helpers; ++k) threads.emplace_back([] {});
    for (std::thread& thread : threads) thread.join();
  }
}
BENCHMARK(BM_ThreadStartJoin)->Arg(1)->Arg(3)->Arg(7)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
