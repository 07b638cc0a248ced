// Piles of bodies of unequal sizes and masses, dropped on the ground and
// played frame by frame as the host plays them (24 frames a second, five
// substeps), in our engine and in Bullet on one thread: boxes of random
// sizes dropped in layers, and the free shards of cubes cut into Voronoi
// cells. Every body's mass is its volume, its friction 0.7 and bounciness
// 0.3, as the module's rigid bodies have by default. Debris is such a pile:
// shards of very different masses lying on each other.
//
// Each pile runs in a process of its own, in rounds that alternate which
// engine goes first; the figures are the medians of the rounds. How a pile
// ended: how many of its bodies sleep, how many still moved in its last frame
// (more than 0.1 mm), the farthest any moved in its last second, and its
// lowest and highest body centres; and the deepest any two bodies lay inside
// each other, or a body in the ground, in any frame after the landing, of
// the bodies that were at rest in that frame (no corner moved a centimetre):
// a body that lands on another at speed dips into it for a substep, which is
// no pile lying inside itself.

#include <benchmark/benchmark.h>

#include <BulletCollision/NarrowPhaseCollision/btGjkEpa2.h>
#include <btBulletDynamicsCommon.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchMeshes.h"
#include "PileRun.h"
#include "engine/BodyFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/shatter/VoronoiCarving.h"
#include "geometry/ConvexHull.h"
#include "geometry/MassProperties.h"
#include "geometry/shatter/SeedPoints.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "platform/Processors.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

constexpr int kSubsteps = 5;
constexpr double kFrameTime = 1.0 / 24.0;
/// Fifteen seconds: the piles land within the first two.
constexpr int kFrames = 360;
constexpr int kFramesPerSecond = 24;
/// The frames of the landing, after which the bodies should lie on each
/// other: overlaps are measured from the next frame on.
constexpr int kLandingFrames = 2 * kFramesPerSecond;
/// A body none of whose corners moved farther than this in a frame was at
/// rest in it, for the overlaps.
constexpr double kRestingMove = 0.01;
/// Rounds of each pile in each engine; the figures are their medians.
constexpr int kRounds = 3;
constexpr double kFriction = 0.7;
constexpr double kBounciness = 0.3;
/// A body that moved farther than this in the last frame still moves.
constexpr double kStillMove = 1e-4;
/// Half the width of the ground, a box 1 thick whose top is at 0: wide
/// enough that a box thrown off the pile stops on it.
constexpr double kGroundHalf = 100.0;

/// The piles.
enum class PileKind { kRandomBoxes = 0, kShards = 1 };

/// A body to drop: its corners about its centre of mass, where that centre
/// starts, its turn and its mass.
struct Drop {
  std::vector<MgcVector3> corners;
  MgcVector3 centre;
  MgcVector3 axis{0.0, 1.0, 0.0};
  double angle = 0.0;
  double mass = 1.0;
};

/// `count` boxes of sides drawn from 0.3 to 1.2, in layers of 10 x 10 on a
/// grid 1.5 apart, the layers 1.5 apart from 0.1 above the ground, each box
/// moved by up to 0.05 along each axis and turned by up to 0.1 about a random
/// axis; `draw` picks the random numbers.
std::vector<Drop> randomBoxes(int count, int draw) {
  std::mt19937 random(2024 + static_cast<unsigned>(draw));
  std::uniform_real_distribution<double> side(0.3, 1.2);
  std::uniform_real_distribution<double> offset(-0.05, 0.05);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_real_distribution<double> turn(-0.1, 0.1);
  std::vector<Drop> drops;
  for (int i = 0; i < count; ++i) {
    Drop drop;
    const MgcVector3 half(0.5 * side(random), 0.5 * side(random), 0.5 * side(random));
    for (int k = 0; k < 8; ++k)
      drop.corners.emplace_back(k & 1 ? half.x : -half.x, k & 2 ? half.y : -half.y, k & 4 ? half.z : -half.z);
    drop.mass = 8.0 * half.x * half.y * half.z;
    const int layer = i / 100;
    drop.centre = MgcVector3(1.5 * (i % 10) + offset(random), 0.7 + 1.5 * layer + offset(random),
                             1.5 * ((i / 10) % 10) + offset(random));
    drop.axis = MgcVector3(unit(random), unit(random), unit(random));
    if (drop.axis.Unitize(1e-6) == 0.0) drop.axis = MgcVector3(0.0, 1.0, 0.0);
    drop.angle = turn(random);
    drops.push_back(drop);
  }
  return drops;
}

/// Two 2 x 2 x 2 cubes 2.6 apart, their bottoms 1 above the ground, each cut
/// into `count / 2` Voronoi cells about seeds spread in it as the shatter
/// command spreads them (`draw` picks their seeds): the cells, each a free
/// body.
std::vector<Drop> shards(int count, int draw) {
  const std::unique_ptr<ZOV_DFmesh> cube = zovbench::shatterCubeMesh();
  std::vector<Drop> drops;
  for (int c = 0; c < 2; ++c) {
    std::vector<MgcVector3> seeds(static_cast<std::size_t>(count / 2));
    seedsInVolumeSorted(cube.get(), seeds.data(), static_cast<std::uint32_t>(seeds.size()), false,
                        static_cast<std::uint32_t>(7 + c + 2 * draw));
    const VoronoiCarving carving =
        carveVoronoiCells(cube.get(), seeds.data(), static_cast<std::uint32_t>(seeds.size()), false);
    const MgcVector3 place(c == 0 ? -1.3 : 1.3, 2.0, 0.0);
    for (const VoronoiCell& cell : carving.cells) {
      Drop drop;
      MgcVector3 centre;
      drop.mass = ComputeMassProperties(*cell.mesh, centre);
      for (std::uint32_t k = 0; k < cell.mesh->numVertices; ++k)
        drop.corners.push_back(cell.mesh->vertices[k] - centre);
      drop.centre = place + centre;
      drops.push_back(drop);
    }
  }
  return drops;
}

std::vector<Drop> dropsOf(PileKind kind, int count, int draw = 0) {
  return kind == PileKind::kShards ? shards(count, draw) : randomBoxes(count, draw);
}

/// How a pile ended.
struct End {
  int asleep = 0;
  int moving = 0;
  double lastSecondMove = 0.0;
  double lowest = 0.0;
  double highest = 0.0;
  double deepestOverlap = 0.0;
};

/// The end of a pile from its bodies' centres at its last frame and a second
/// before, and at the frame before the last.
End endOf(const std::vector<MgcVector3>& now, const std::vector<MgcVector3>& frameBefore,
          const std::vector<MgcVector3>& secondBefore, int asleep) {
  End end;
  end.asleep = asleep;
  if (now.empty()) return end;
  end.lowest = end.highest = now[0].y;
  for (std::size_t i = 0; i < now.size(); ++i) {
    if ((now[i] - frameBefore[i]).Length() > kStillMove) ++end.moving;
    end.lastSecondMove = std::max(end.lastSecondMove, (now[i] - secondBefore[i]).Length());
    end.lowest = std::min(end.lowest, now[i].y);
    end.highest = std::max(end.highest, now[i].y);
  }
  return end;
}

/// Where a body stands.
struct Pose {
  MgcVector3 position;
  MgcMatrix3 orientation = MgcMatrix3::IDENTITY;
};

/// How deep the bodies of a pile lie inside each other and inside the
/// ground (its top at 0), measured on their hulls, without Bullet's margin,
/// by Bullet's penetration depth: the same measure of both engines' piles.
class OverlapGauge {
 public:
  explicit OverlapGauge(const std::vector<Drop>& drops) {
    for (const Drop& drop : drops) {
      auto hull = std::make_unique<btConvexHullShape>();
      hull->setMargin(0.0);
      for (const MgcVector3& corner : drop.corners) hull->addPoint(btVector3(corner.x, corner.y, corner.z), false);
      hull->recalcLocalAabb();
      hulls.push_back(std::move(hull));
      corners.push_back(drop.corners);
    }
  }

  /// The deepest overlap of the bodies at rest (kRestingMove) between
  /// `before` and `now`, their poses in the order of the drops: 0 when none
  /// overlaps.
  double deepest(const std::vector<Pose>& now, const std::vector<Pose>& before) const {
    struct Extent {
      MgcVector3 low;
      MgcVector3 high;
      std::size_t body;
    };
    std::vector<Extent> extents;
    double deepest = 0.0;
    for (std::size_t i = 0; i < now.size(); ++i) {
      Extent extent{now[i].position, now[i].position, i};
      double moved = 0.0;
      for (const MgcVector3& corner : corners[i]) {
        const MgcVector3 at = now[i].orientation * corner + now[i].position;
        moved = std::max(moved, (at - (before[i].orientation * corner + before[i].position)).Length());
        for (int k = 0; k < 3; ++k) {
          extent.low[k] = std::min(extent.low[k], at[k]);
          extent.high[k] = std::max(extent.high[k], at[k]);
        }
      }
      if (moved > kRestingMove) continue;
      deepest = std::max(deepest, -extent.low.y);
      extents.push_back(extent);
    }
    // Swept along x: only bodies whose boxes meet can overlap.
    std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) { return a.low.x < b.low.x; });
    for (std::size_t i = 0; i < extents.size(); ++i) {
      for (std::size_t j = i + 1; j < extents.size() && extents[j].low.x <= extents[i].high.x; ++j) {
        const Extent& a = extents[i];
        const Extent& b = extents[j];
        if (a.high.y < b.low.y || b.high.y < a.low.y || a.high.z < b.low.z || b.high.z < a.low.z) continue;
        btGjkEpaSolver2::sResults result;
        const btTransform atA = transformOf(now[a.body]);
        const btTransform atB = transformOf(now[b.body]);
        if (btGjkEpaSolver2::Penetration(hulls[a.body].get(), atA, hulls[b.body].get(), atB,
                                         atB.getOrigin() - atA.getOrigin(), result, false)) {
          deepest = std::max(deepest, -static_cast<double>(result.distance));
        }
      }
    }
    return deepest;
  }

 private:
  static btTransform transformOf(const Pose& pose) {
    const MgcMatrix3& R = pose.orientation;
    const btMatrix3x3 basis(R[0][0], R[0][1], R[0][2], R[1][0], R[1][1], R[1][2], R[2][0], R[2][1], R[2][2]);
    return btTransform(basis, btVector3(pose.position.x, pose.position.y, pose.position.z));
  }

  std::vector<std::unique_ptr<btConvexHullShape>> hulls;
  std::vector<std::vector<MgcVector3>> corners;
};

/// The pile in a world of ours, as the host's solver sets worlds up.
struct EnginePile {
  PrivateWorld world;
  std::vector<HardBody*> bodies;

  explicit EnginePile(const std::vector<Drop>& drops) {
    world.enableManagerOption();
    world.enableBodyDeactivation();
    world.setThreadCount(1);
    // The ground as a user makes it: a passive box, its top at 0.
    std::vector<MgcVector3> corners;
    for (int k = 0; k < 8; ++k) {
      corners.emplace_back(k & 1 ? kGroundHalf : -kGroundHalf, k & 2 ? 0.5 : -0.5, k & 4 ? kGroundHalf : -kGroundHalf);
    }
    const std::unique_ptr<ZOVmesh> groundHull = convexHull(corners.data(), 8);
    HardBody* ground = createHullBody(groundHull.get());
    ground->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
    ground->setPosition(MgcVector3(0.0, -0.5, 0.0));
    ground->setFrictionCoeff(kFriction);
    ground->setRestitutionCoeff(kBounciness);
    ground->enableStatic();
    world.addBody(ground, 0);
    for (const Drop& drop : drops) {
      const std::unique_ptr<ZOVmesh> hull =
          convexHull(drop.corners.data(), static_cast<std::uint32_t>(drop.corners.size()));
      HardBody* body = createHullBody(hull.get());
      body->init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
      MgcMatrix3 R;
      R.FromAxisAngle(drop.axis, drop.angle);
      body->setOrientation(R);
      body->setPosition(drop.centre);
      body->setMass(static_cast<float>(drop.mass));
      body->setFrictionCoeff(kFriction);
      body->setRestitutionCoeff(kBounciness);
      body->activate();
      world.addBody(body, 0);
      bodies.push_back(body);
    }
  }
  void frame() {
    const double dt = kFrameTime / kSubsteps;
    for (int s = 0; s < kSubsteps; ++s) {
      world.step(dt);
      world.advance(dt, nullptr);
    }
  }
  std::vector<MgcVector3> centres() const {
    std::vector<MgcVector3> out;
    for (const HardBody* body : bodies) out.push_back(body->getDyn().position);
    return out;
  }
  std::vector<Pose> poses() const {
    std::vector<Pose> out;
    for (const HardBody* body : bodies) out.push_back(Pose{body->getDyn().position, body->getDyn().orientation});
    return out;
  }
  int asleep() const {
    int count = 0;
    for (const HardBody* body : bodies) count += body->isActive() ? 0 : 1;
    return count;
  }
};

/// The pile in Bullet, on a static plane: the same surface under the pile
/// as our box (on a box as wide, Bullet's piles of shards do not sleep).
/// Bullet takes the product of two bodies' frictions and bouncinesses for
/// their contact, ours the larger friction and the smaller bounciness:
/// every body and the ground get the square roots, so that each contact has
/// 0.7 and 0.3 in both engines.
struct BulletPile {
  btDefaultCollisionConfiguration configuration;
  btCollisionDispatcher dispatcher{&configuration};
  btDbvtBroadphase broadphase;
  btSequentialImpulseConstraintSolver solver;
  btDiscreteDynamicsWorld world{&dispatcher, &broadphase, &solver, &configuration};
  btStaticPlaneShape ground{btVector3(0, 1, 0), 0};
  std::vector<std::unique_ptr<btCollisionShape>> shapes;
  std::vector<std::unique_ptr<btDefaultMotionState>> states;
  std::vector<std::unique_ptr<btRigidBody>> bodies;

  explicit BulletPile(const std::vector<Drop>& drops) {
    world.setGravity(btVector3(0, -10, 0));
    addBody(&ground, 0.0, btTransform::getIdentity(), btVector3(0, 0, 0));
    for (const Drop& drop : drops) {
      auto hull = std::make_unique<btConvexHullShape>();
      // A thin margin: the hull's corners stand for the body's own.
      hull->setMargin(0.005);
      for (const MgcVector3& corner : drop.corners) hull->addPoint(btVector3(corner.x, corner.y, corner.z), false);
      hull->recalcLocalAabb();
      btVector3 inertia;
      hull->calculateLocalInertia(drop.mass, inertia);
      const btTransform at(btQuaternion(btVector3(drop.axis.x, drop.axis.y, drop.axis.z), drop.angle),
                           btVector3(drop.centre.x, drop.centre.y, drop.centre.z));
      addBody(hull.get(), drop.mass, at, inertia);
      shapes.push_back(std::move(hull));
    }
  }
  void addBody(btCollisionShape* shape, double mass, const btTransform& at, const btVector3& inertia) {
    states.push_back(std::make_unique<btDefaultMotionState>(at));
    btRigidBody::btRigidBodyConstructionInfo info(mass, states.back().get(), shape, inertia);
    info.m_friction = std::sqrt(kFriction);
    info.m_restitution = std::sqrt(kBounciness);
    bodies.push_back(std::make_unique<btRigidBody>(info));
    world.addRigidBody(bodies.back().get());
  }
  ~BulletPile() {
    for (auto& body : bodies) world.removeRigidBody(body.get());
  }
  void frame() { world.stepSimulation(kFrameTime, kSubsteps, kFrameTime / kSubsteps); }
  // The ground first.
  std::vector<MgcVector3> centres() const {
    std::vector<MgcVector3> out;
    for (std::size_t i = 1; i < bodies.size(); ++i) {
      const btVector3& at = bodies[i]->getWorldTransform().getOrigin();
      out.emplace_back(at.x(), at.y(), at.z());
    }
    return out;
  }
  std::vector<Pose> poses() const {
    std::vector<Pose> out;
    for (std::size_t i = 1; i < bodies.size(); ++i) {
      const btTransform& at = bodies[i]->getWorldTransform();
      const btMatrix3x3& R = at.getBasis();
      Pose pose;
      pose.position = MgcVector3(at.getOrigin().x(), at.getOrigin().y(), at.getOrigin().z());
      for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) pose.orientation[r][c] = R[r][c];
      }
      out.push_back(pose);
    }
    return out;
  }
  int asleep() const {
    int count = 0;
    for (std::size_t i = 1; i < bodies.size(); ++i) count += bodies[i]->getActivationState() == ISLAND_SLEEPING;
    return count;
  }
};

/// One run of a pile: its time and how it ended.
struct Run {
  double seconds = 0.0;
  End end;
};

template <typename Pile>
Run play(const std::vector<Drop>& drops) {
  Pile pile(drops);
  const OverlapGauge gauge(drops);
  Run run;
  std::vector<MgcVector3> frameBefore;
  std::vector<MgcVector3> secondBefore;
  double deepest = 0.0;
  for (int f = 1; f <= kFrames; ++f) {
    if (f == kFrames) frameBefore = pile.centres();
    if (f == kFrames + 1 - kFramesPerSecond) secondBefore = pile.centres();
    // Only the frames are timed: the overlaps cost as much again.
    const std::vector<Pose> previous = pile.poses();
    const auto start = std::chrono::steady_clock::now();
    pile.frame();
    run.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (f > kLandingFrames) deepest = std::max(deepest, gauge.deepest(pile.poses(), previous));
  }
  run.end = endOf(pile.centres(), frameBefore, secondBefore, pile.asleep());
  run.end.deepestOverlap = deepest;
  return run;
}

/// The environment variable of a run: "<engine 0 ours, 1 Bullet> <kind>
/// <bodies> [<draw>]". The benchmark plays draw 0; other draws give piles
/// of the same kind, whose costs a change is judged over: a pile of unequal
/// bodies is chaotic, and one draw may end a change's cost 20% up or down.
constexpr const char* kRunVariable = "ZOV_BENCH_UNEQUAL_PILE_RUN";

bool runInFreshProcess(int engine, PileKind kind, int count, Run& run) {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return false;
  self[length] = '\0';
  const std::string command = std::string(kRunVariable) + "='" + std::to_string(engine) + " " +
                              std::to_string(static_cast<int>(kind)) + " " + std::to_string(count) + "' '" + self + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  const bool read =
      std::fscanf(pipe, "%lf %d %d %lf %lf %lf %lf", &run.seconds, &run.end.asleep, &run.end.moving,
                  &run.end.lastSecondMove, &run.end.lowest, &run.end.highest, &run.end.deepestOverlap) == 7;
  return pclose(pipe) == 0 && read;
}

double medianSeconds(std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  return runs.empty() ? 0.0 : runs[runs.size() / 2].seconds;
}

void printRuns(const char* name, const std::vector<Run>& runs, int bodies) {
  const End& end = runs.back().end;
  std::printf(
      "  %-7s %8.3f ms a step | end: %d of %d asleep, %d still moving, farthest move in the last second %.4f, lowest "
      "%.3f highest %.3f | deepest overlap after the landing %.1f mm\n",
      name, 1e3 * medianSeconds(runs) / (kFrames * kSubsteps), end.asleep, bodies, end.moving, end.lastSecondMove,
      end.lowest, end.highest, 1e3 * end.deepestOverlap);
}

void compareUnequalPiles(benchmark::State& state, PileKind kind) {
  const auto count = static_cast<int>(state.range(0));
  std::vector<Run> ours;
  std::vector<Run> bullet;
  const auto add = [&](int engine, std::vector<Run>& runs) {
    Run run;
    if (!runInFreshProcess(engine, kind, count, run)) return false;
    runs.push_back(run);
    return true;
  };
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      const bool played = round % 2 == 0 ? add(0, ours) && add(1, bullet) : add(1, bullet) && add(0, ours);
      if (!played) {
        state.SkipWithError("a pile's process failed");
        return;
      }
    }
    state.SetIterationTime(medianSeconds(ours));
  }
  const int steps = kFrames * kSubsteps;
  const int bodies = static_cast<int>(dropsOf(kind, count).size());
  state.counters["zov_ms_step"] = 1e3 * medianSeconds(ours) / steps;
  state.counters["bullet_ms_step"] = 1e3 * medianSeconds(bullet) / steps;
  state.counters["ratio"] = medianSeconds(ours) / medianSeconds(bullet);
  state.counters["asleep"] = ours.back().end.asleep;
  state.counters["moving"] = ours.back().end.moving;
  state.counters["overlap_mm"] = 1e3 * ours.back().end.deepestOverlap;
  std::printf("%s of %d, 1 thread, %d frames, medians of %d runs: ratio %.2f to Bullet\n",
              kind == PileKind::kShards ? "free shards" : "random boxes", bodies, kFrames, kRounds,
              medianSeconds(ours) / medianSeconds(bullet));
  printRuns("zov", ours, bodies);
  printRuns("bullet", bullet, bodies);
}

// 300 and 500 boxes of random sizes, dropped in three and five layers.
void BM_RandomBoxPile(benchmark::State& state) { compareUnequalPiles(state, PileKind::kRandomBoxes); }
BENCHMARK(BM_RandomBoxPile)
    ->ArgName("boxes")
    ->Arg(300)
    ->Arg(500)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// Two cubes cut into 64 shards each, and into 150.
void BM_FreeShardPile(benchmark::State& state) { compareUnequalPiles(state, PileKind::kShards); }
BENCHMARK(BM_FreeShardPile)
    ->ArgName("shards")
    ->Arg(128)
    ->Arg(300)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace

bool zovbench::runRequestedUnequalPile(int& status) {
  const char* request = std::getenv(kRunVariable);
  if (request == nullptr) return false;
  int engine = -1;
  int kind = -1;
  int count = 0;
  int draw = 0;
  status = 1;
  const int fields = std::sscanf(request, "%d %d %d %d", &engine, &kind, &count, &draw);
  if (fields < 3 || count <= 0 || draw < 0 || (engine != 0 && engine != 1) ||
      (kind != static_cast<int>(PileKind::kRandomBoxes) && kind != static_cast<int>(PileKind::kShards))) {
    return true;
  }
  const std::vector<Drop> drops = dropsOf(static_cast<PileKind>(kind), count, draw);
  const Run run = engine == 0 ? play<EnginePile>(drops) : play<BulletPile>(drops);
  std::printf("%.17g %d %d %.17g %.17g %.17g %.17g\n", run.seconds, run.end.asleep, run.end.moving,
              run.end.lastSecondMove, run.end.lowest, run.end.highest, run.end.deepestOverlap);
  status = 0;
  return true;
}
