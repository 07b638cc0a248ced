// A pile of boxes falling onto a barrier, simulated frame by frame as the
// host does (24 frames a second, 10 substeps), on 1, 2, 4 and 8 threads,
// each thread count run in turn with the same pile in Bullet on one thread,
// once with box shapes and once with convex hulls; then the state each pile
// ended in and the memory it took. And the pair passes alone on a settled
// scene of 200 bodies.
//
// BM_BoxPile runs piles of 125 and 1,000 boxes; BM_LargeBoxPile runs 8,000
// (a few minutes a thread count). BM_AwakeBoxPile runs piles of 125, 1,000
// and 8,000 boxes for their first 50 frames (the fall, the landing and 1.3 s
// of resting contact) with every body kept awake in both engines: the state
// of a scene right after it breaks, with pieces moving and touching.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <btBulletDynamicsCommon.h>

#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchMeshes.h"
#include "PileRun.h"
#include "engine/BodyFactory.h"
#include "engine/MeshFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/threads/WorkerPool.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "platform/Processors.h"
#include "support/TurnedPile.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

constexpr double kHalf = 0.5;
/// Farther than any two boxes of a pile lie apart.
constexpr double kMaxExtent = 1e9;
constexpr int kSubsteps = 10;
constexpr double kFrameTime = 1.0 / 24.0;
/// Runs of each of the three piles per thread count; the figures are their
/// medians.
constexpr int kRounds = 3;

/// How a pile plays: bodies put to sleep as each engine does over 100
/// frames, or every body kept awake over the first 50.
enum class PileMode { kSleeping = 0, kAwake = 1 };

int framesOf(PileMode mode) { return mode == PileMode::kAwake ? 50 : 100; }
int stepsOf(PileMode mode) { return framesOf(mode) * kSubsteps; }

/// Heap bytes in use (every arena), as the allocator counts them: unlike
/// the resident size, it does not depend on what earlier runs left free.
double heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd);
}

/// The process's resident anonymous bytes: heap, stacks and private
/// mappings, the memory a pile can hold. Pages of the program and its
/// libraries read for the first time while a pile plays (code that no
/// earlier frame ran) are file-backed, shared with every process that maps
/// them and counted apart, so they are left out.
double residentAnonymousBytes() {
  std::ifstream status("/proc/self/status");
  std::string field;
  while (status >> field) {
    if (field == "RssAnon:") {
      double kibibytes = 0.0;
      status >> kibibytes;
      return kibibytes * 1024.0;
    }
    status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return 0.0;
}

/// How a pile ended: speeds of its boxes (m/s), how many sleep, the heights
/// of the lowest and highest box centres, and how far the pile sank: per
/// column of the grid, the highest centre of the boxes that started in it
/// below where a column of touching boxes would have it, the median and the
/// deepest over the columns. The highest box alone tells only of the column
/// that sank least. A column whose boxes lean or slid off each other is
/// lower without any box in another, so the pile's overlap is measured too,
/// on the boxes' end poses alike for both engines: over the touching pairs
/// (two boxes, or a box and the ground, less than a millimetre apart), the
/// median and the deepest penetration; and how many boxes lean more than
/// 10 degrees (none of their axes within 10 degrees of the vertical).
struct Settled {
  double medianSpeed = 0.0;
  double maxSpeed = 0.0;
  int asleep = 0;
  double lowest = 0.0;
  double highest = 0.0;
  double medianSinking = 0.0;
  double deepestSinking = 0.0;
  double medianOverlap = 0.0;
  double deepestOverlap = 0.0;
  int leaning = 0;
};

/// A box's place at the pile's end: its centre and its three axes (the
/// columns of its rotation).
struct BoxPose {
  MgcVector3 centre;
  MgcVector3 axes[3];
};

/// The separating-axis gap of two of the pile's boxes: the largest gap
/// over their face normals and the cross products of their edges, positive
/// when they are apart, otherwise minus their penetration depth.
double boxGap(const BoxPose& a, const BoxPose& b) {
  const MgcVector3 d = b.centre - a.centre;
  double gap = -kMaxExtent;
  const auto along = [&](MgcVector3 axis) {
    const double length = axis.Length();
    if (length < 1e-9) return;
    axis /= length;
    double reach = 0.0;
    for (int k = 0; k < 3; ++k) reach += kHalf * (std::fabs(a.axes[k].Dot(axis)) + std::fabs(b.axes[k].Dot(axis)));
    gap = std::max(gap, std::fabs(d.Dot(axis)) - reach);
  };
  for (int i = 0; i < 3; ++i) {
    along(a.axes[i]);
    along(b.axes[i]);
    for (int j = 0; j < 3; ++j) along(a.axes[i].Cross(b.axes[j]));
  }
  return gap;
}

/// How far a box's lowest corner lies below the ground (negative above it).
double groundDepth(const BoxPose& box) {
  double reach = 0.0;
  for (const MgcVector3& axis : box.axes) reach += kHalf * std::fabs(axis.y);
  return reach - box.centre.y;
}

/// A pair less than this apart touches.
constexpr double kTouching = 1e-3;

/// The touching pairs of `poses` (the ground as pair partner -1), with their
/// gaps.
struct TouchingPair {
  int lower;
  int upper;
  double gap;
};
std::vector<TouchingPair> touchingPairs(const std::vector<BoxPose>& poses) {
  std::vector<TouchingPair> pairs;
  std::vector<int> order(poses.size());
  for (std::size_t i = 0; i < poses.size(); ++i) order[i] = static_cast<int>(i);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return poses[a].centre.x < poses[b].centre.x; });
  // Two unit boxes touch only when their centres lie within a diagonal.
  const double reach = 2.0 * kHalf * std::sqrt(3.0) + kTouching;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const BoxPose& a = poses[order[i]];
    const double ground = -groundDepth(a);
    if (ground < kTouching) pairs.push_back({-1, order[i], ground});
    for (std::size_t j = i + 1; j < order.size() && poses[order[j]].centre.x - a.centre.x < reach; ++j) {
      const BoxPose& b = poses[order[j]];
      if ((b.centre - a.centre).SquaredLength() > reach * reach) continue;
      const double gap = boxGap(a, b);
      if (gap >= kTouching) continue;
      const bool aLower = a.centre.y < b.centre.y;
      pairs.push_back({aLower ? order[i] : order[j], aLower ? order[j] : order[i], gap});
    }
  }
  return pairs;
}

/// Per layer of the pile's end (the lower box's centre height, rounded down
/// to whole box heights; the ground as layer -1): the touching pairs, their
/// median and deepest penetration, the boxes of the layer that lean, and the
/// mean and largest tilt of its boxes (the angle of the box axis nearest the
/// vertical, in degrees: a box resting tilted on an edge of the one below
/// stands higher than a flat one, so a column's height tells of overlap and
/// tilt together), on standard error. What the benchmark prints when
/// ZOV_BENCH_PILE_LAYERS is set.
void printLayers(const std::vector<BoxPose>& poses, const std::vector<TouchingPair>& pairs) {
  struct Layer {
    std::vector<double> depths;
    int boxes = 0;
    int leaning = 0;
    double tiltSum = 0.0;
    double largestTilt = 0.0;
  };
  std::vector<Layer> layers;
  const auto layerOf = [&](int box) {
    const int at = box < 0 ? 0 : 1 + static_cast<int>(std::floor(poses[box].centre.y));
    if (at >= static_cast<int>(layers.size())) layers.resize(at + 1);
    return at;
  };
  for (const TouchingPair& pair : pairs) layers[layerOf(pair.lower)].depths.push_back(std::max(0.0, -pair.gap));
  for (std::size_t i = 0; i < poses.size(); ++i) {
    Layer& layer = layers[layerOf(static_cast<int>(i))];
    ++layer.boxes;
    double upright = 0.0;
    for (const MgcVector3& axis : poses[i].axes) upright = std::max(upright, std::fabs(axis.y));
    if (upright < std::cos(10.0 * M_PI / 180.0)) ++layer.leaning;
    const double tilt = std::acos(std::min(1.0, upright)) * 180.0 / M_PI;
    layer.tiltSum += tilt;
    layer.largestTilt = std::max(layer.largestTilt, tilt);
  }
  std::fprintf(
      stderr,
      "layer boxes leaning pairs median_overlap_mm deepest_overlap_mm mean_tilt_degrees largest_tilt_degrees\n");
  for (std::size_t l = 0; l < layers.size(); ++l) {
    std::vector<double>& depths = layers[l].depths;
    std::sort(depths.begin(), depths.end());
    const Layer& layer = layers[l];
    std::fprintf(stderr, "%5d %5d %7d %5zu %17.3f %18.3f %17.3f %20.3f\n", static_cast<int>(l) - 1, layer.boxes,
                 layer.leaning, depths.size(), depths.empty() ? 0.0 : 1e3 * depths[depths.size() / 2],
                 depths.empty() ? 0.0 : 1e3 * depths.back(), layer.boxes != 0 ? layer.tiltSum / layer.boxes : 0.0,
                 layer.largestTilt);
  }
}

/// `poses` in the order of pileBoxes.
Settled settledState(std::vector<double> speeds, const std::vector<BoxPose>& poses, int asleep) {
  Settled out;
  if (speeds.empty()) return out;
  std::vector<double> heights;
  for (const BoxPose& pose : poses) heights.push_back(pose.centre.y);
  const std::vector<TouchingPair> pairs = touchingPairs(poses);
  std::vector<double> depths;
  for (const TouchingPair& pair : pairs) depths.push_back(std::max(0.0, -pair.gap));
  std::sort(depths.begin(), depths.end());
  if (!depths.empty()) {
    out.medianOverlap = depths[depths.size() / 2];
    out.deepestOverlap = depths.back();
  }
  for (const BoxPose& pose : poses) {
    double upright = 0.0;
    for (const MgcVector3& axis : pose.axes) upright = std::max(upright, std::fabs(axis.y));
    if (upright < std::cos(10.0 * M_PI / 180.0)) ++out.leaning;
  }
  if (std::getenv("ZOV_BENCH_PILE_LAYERS") != nullptr) printLayers(poses, pairs);
  std::sort(speeds.begin(), speeds.end());
  out.medianSpeed = speeds[speeds.size() / 2];
  out.maxSpeed = speeds.back();
  out.asleep = asleep;
  out.lowest = *std::min_element(heights.begin(), heights.end());
  out.highest = *std::max_element(heights.begin(), heights.end());

  const auto side = static_cast<std::size_t>(std::lround(std::cbrt(static_cast<double>(heights.size()))));
  const std::size_t columns = side * side;
  if (columns == 0 || columns * side != heights.size()) return out;
  std::vector<double> sinking;
  for (std::size_t c = 0; c < columns; ++c) {
    double top = heights[c];
    for (std::size_t y = 1; y < side; ++y) top = std::max(top, heights[y * columns + c]);
    sinking.push_back(static_cast<double>(side) * 2.0 * kHalf - kHalf - top);
  }
  std::sort(sinking.begin(), sinking.end());
  out.medianSinking = sinking[sinking.size() / 2];
  out.deepestSinking = sinking.back();
  return out;
}

/// One run of a pile: its time, its end, the most pairs any of its steps
/// held and its memory (heap bytes per body once built, heap growth up to
/// the step with the most pairs per pair, growth of resident anonymous
/// memory from before it was built to its end per body).
struct PileRun {
  double seconds = 0.0;
  /// Processor time of every thread of the process while the pile played,
  /// in our code and in the kernel.
  double userSeconds = 0.0;
  double systemSeconds = 0.0;
  Settled settled;
  double pairs = 0.0;
  double heapPerBody = 0.0;
  double heapPerPair = 0.0;
  double residentPerBody = 0.0;
};

/// The pile in a world of ours, as the host's solver sets worlds up.
struct EnginePile {
  PrivateWorld world;
  std::vector<HardBody*> boxes;

  EnginePile(std::uint32_t threads, PileMode mode) {
    world.enableManagerOption();
    if (mode == PileMode::kSleeping) world.enableBodyDeactivation();
    world.setThreadCount(threads);
    MgcVector3 normal(0.0, 1.0, 0.0);
    world.addBody(createBarrierBody(MgcVector3(), normal), 0);
  }

  void fill(int side) {
    const std::unique_ptr<ZOVmesh> mesh = zovbench::cubeMesh(kHalf);
    for (const zovtest::BoxPlacement& b : zovtest::turnedPile(side, zovtest::kBenchmarkPileSeed)) {
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

  Settled settled() const {
    std::vector<double> speeds;
    std::vector<BoxPose> poses;
    int asleep = 0;
    for (HardBody* body : boxes) {
      const RBDynamics& state = body->getDyn();
      speeds.push_back(state.linearVelocity.Length());
      BoxPose pose;
      pose.centre = state.position;
      for (int k = 0; k < 3; ++k) pose.axes[k] = state.orientation.GetColumn(k);
      poses.push_back(pose);
      if (!body->isActive()) ++asleep;
    }
    return settledState(speeds, poses, asleep);
  }
  double pairs() { return world.getCollisionManager()->getStepPairs().getCount(); }
};

/// The shape Bullet's boxes have.
enum class BulletShape { kBox, kHull };

/// The same pile in Bullet: boxes of mass 1, friction 0.5, on a static plane,
/// sleeping on (Bullet's default) unless the pile is kept awake.
struct BulletPile {
  BulletShape kind;
  PileMode mode;
  btDefaultCollisionConfiguration configuration;
  btCollisionDispatcher dispatcher{&configuration};
  btDbvtBroadphase broadphase;
  btSequentialImpulseConstraintSolver solver;
  btDiscreteDynamicsWorld world{&dispatcher, &broadphase, &solver, &configuration};
  btBoxShape box{btVector3(kHalf, kHalf, kHalf)};
  btConvexHullShape hull;
  btStaticPlaneShape ground{btVector3(0, 1, 0), 0};
  std::vector<std::unique_ptr<btDefaultMotionState>> states;
  std::vector<std::unique_ptr<btRigidBody>> bodies;

  BulletPile(BulletShape kind, PileMode mode) : kind(kind), mode(mode) {
    world.setGravity(btVector3(0, -10, 0));
    addBody(&ground, 0.0, btTransform::getIdentity());
    // The hull's corners drawn in by its margin, which rounds it out again
    // to the box's size.
    const btScalar inner = static_cast<btScalar>(kHalf) - hull.getMargin();
    for (int i = 0; i < 8; ++i) {
      hull.addPoint(btVector3((i & 1) ? inner : -inner, (i & 2) ? inner : -inner, (i & 4) ? inner : -inner), false);
    }
    hull.recalcLocalAabb();
  }
  void fill(int side) {
    btCollisionShape* shape = kind == BulletShape::kBox ? static_cast<btCollisionShape*>(&box) : &hull;
    btVector3 inertia;
    shape->calculateLocalInertia(1.0, inertia);
    for (const zovtest::BoxPlacement& b : zovtest::turnedPile(side, zovtest::kBenchmarkPileSeed)) {
      btTransform at(btQuaternion(btVector3(b.axis.x, b.axis.y, b.axis.z), b.angle),
                     btVector3(b.centre.x, b.centre.y, b.centre.z));
      addBody(shape, 1.0, at, inertia);
    }
  }
  void addBody(btCollisionShape* shape, double mass, const btTransform& at, const btVector3& inertia = {0, 0, 0}) {
    states.push_back(std::make_unique<btDefaultMotionState>(at));
    btRigidBody::btRigidBodyConstructionInfo info(mass, states.back().get(), shape, inertia);
    info.m_friction = 0.5;
    bodies.push_back(std::make_unique<btRigidBody>(info));
    if (mode == PileMode::kAwake && mass > 0.0) bodies.back()->setActivationState(DISABLE_DEACTIVATION);
    world.addRigidBody(bodies.back().get());
  }
  ~BulletPile() {
    for (auto& body : bodies) world.removeRigidBody(body.get());
  }
  void frame() { world.stepSimulation(kFrameTime, kSubsteps, kFrameTime / kSubsteps); }

  Settled settled() const {
    std::vector<double> speeds;
    std::vector<BoxPose> poses;
    int asleep = 0;
    // The ground first.
    for (std::size_t i = 1; i < bodies.size(); ++i) {
      const btRigidBody& body = *bodies[i];
      speeds.push_back(body.getLinearVelocity().length());
      const btTransform& at = body.getWorldTransform();
      BoxPose pose;
      pose.centre = MgcVector3(at.getOrigin().x(), at.getOrigin().y(), at.getOrigin().z());
      for (int k = 0; k < 3; ++k) {
        const btVector3 axis = at.getBasis().getColumn(k);
        pose.axes[k] = MgcVector3(axis.x(), axis.y(), axis.z());
      }
      poses.push_back(pose);
      if (body.getActivationState() == ISLAND_SLEEPING) ++asleep;
    }
    return settledState(speeds, poses, asleep);
  }
  /// Manifolds with contacts: Bullet keeps one for every pair of
  /// overlapping bounds.
  double pairs() {
    int touching = 0;
    for (int i = 0; i < dispatcher.getNumManifolds(); ++i) {
      if (dispatcher.getManifoldByIndexInternal(i)->getNumContacts() > 0) ++touching;
    }
    return touching;
  }
};

/// The process's processor time so far, in seconds.
struct Cpu {
  double user = 0.0;
  double system = 0.0;
};
Cpu cpuTime() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * t.tv_usec; };
  return Cpu{seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Makes an empty world with `make`, fills it with the pile, plays its
/// `frames` frames and measures it; the pile is gone when this returns. What the
/// world costs without bodies (Bullet's pools, our worker tables) counts
/// for neither bodies nor pairs.
template <typename Make>
PileRun runPile(int side, int frames, Make&& make) {
  PileRun run;
  // What earlier runs left free goes back to the system first, so that this
  // run's allocations and page faults are those of a fresh process.
  malloc_trim(0);
  auto pile = make();
  const double heapBefore = heapInUse();
  const double residentBefore = residentAnonymousBytes();
  pile->fill(side);
  const int bodies = side * side * side;
  const double heapBuilt = heapInUse();
  const auto start = std::chrono::steady_clock::now();
  const Cpu cpuStart = cpuTime();
  // Pairs are counted where the pile holds the most of them: a pile that
  // went to sleep holds none at its end. Reading the counts costs a few
  // microseconds a frame.
  double heapAtMostPairs = heapBuilt;
  for (int f = 0; f < frames; ++f) {
    pile->frame();
    const double pairs = pile->pairs();
    if (pairs > run.pairs) {
      run.pairs = pairs;
      heapAtMostPairs = heapInUse();
    }
  }
  run.seconds = secondsSince(start);
  const Cpu cpuEnd = cpuTime();
  run.userSeconds = cpuEnd.user - cpuStart.user;
  run.systemSeconds = cpuEnd.system - cpuStart.system;
  run.settled = pile->settled();
  run.heapPerBody = (heapBuilt - heapBefore) / bodies;
  run.heapPerPair = run.pairs > 0.0 ? (heapAtMostPairs - heapBuilt) / run.pairs : 0.0;
  run.residentPerBody = (residentAnonymousBytes() - residentBefore) / bodies;
  return run;
}

PileRun runEngine(int side, std::uint32_t threads, PileMode mode) {
  return runPile(side, framesOf(mode), [&] {
    // A machine of 8 processors is assumed so that every count has its
    // workers.
    zov::platform::setProcessorCountOverride(8);
    auto pile = std::make_unique<EnginePile>(threads, mode);
    zov::platform::setProcessorCountOverride(0);
    return pile;
  });
}

PileRun runBullet(int side, BulletShape shape, PileMode mode) {
  return runPile(side, framesOf(mode), [&] { return std::make_unique<BulletPile>(shape, mode); });
}

/// Which pile a run plays.
enum class PileEngine { kZov = 0, kBulletBox = 1, kBulletHull = 2 };

/// The environment variable of a pile run: "<engine> <side> <threads>
/// <mode>".
constexpr const char* kPileRunVariable = "ZOV_BENCH_PILE_RUN";

/// A run's figures as one line of text, and back.
std::string runLine(const PileRun& run) {
  char line[512];
  std::snprintf(line, sizeof line,
                "%.17g %.17g %.17g %.17g %.17g %d %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %d\n",
                run.seconds, run.userSeconds, run.systemSeconds, run.settled.medianSpeed, run.settled.maxSpeed,
                run.settled.asleep, run.settled.lowest, run.settled.highest, run.pairs, run.heapPerBody,
                run.heapPerPair, run.residentPerBody, run.settled.medianSinking, run.settled.deepestSinking,
                run.settled.medianOverlap, run.settled.deepestOverlap, run.settled.leaning);
  return line;
}

bool readRunLine(std::FILE* in, PileRun& run) {
  return std::fscanf(in, "%lf %lf %lf %lf %lf %d %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf %d", &run.seconds,
                     &run.userSeconds, &run.systemSeconds, &run.settled.medianSpeed, &run.settled.maxSpeed,
                     &run.settled.asleep, &run.settled.lowest, &run.settled.highest, &run.pairs, &run.heapPerBody,
                     &run.heapPerPair, &run.residentPerBody, &run.settled.medianSinking, &run.settled.deepestSinking,
                     &run.settled.medianOverlap, &run.settled.deepestOverlap, &run.settled.leaning) == 17;
}

/// Runs the pile in a new process of this program; false when that process
/// could not be started or gave no figures.
bool runInFreshProcess(PileEngine engine, int side, std::uint32_t threads, PileMode mode, PileRun& run) {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return false;
  self[length] = '\0';
  const std::string command = std::string(kPileRunVariable) + "='" + std::to_string(static_cast<int>(engine)) + " " +
                              std::to_string(side) + " " + std::to_string(threads) + " " +
                              std::to_string(static_cast<int>(mode)) + "' '" + self + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  const bool read = readRunLine(pipe, run);
  return pclose(pipe) == 0 && read;
}

}  // namespace

bool zovbench::runRequestedPile(int& status) {
  const char* request = std::getenv(kPileRunVariable);
  if (request == nullptr) return false;
  int engine = -1;
  int side = 0;
  unsigned threads = 0;
  int modeValue = -1;
  status = 1;
  if (std::sscanf(request, "%d %d %u %d", &engine, &side, &threads, &modeValue) != 4 || side <= 0 || threads == 0 ||
      (modeValue != static_cast<int>(PileMode::kSleeping) && modeValue != static_cast<int>(PileMode::kAwake))) {
    return true;
  }
  const auto mode = static_cast<PileMode>(modeValue);
  PileRun run;
  switch (static_cast<PileEngine>(engine)) {
    case PileEngine::kZov:
      run = runEngine(side, threads, mode);
      break;
    case PileEngine::kBulletBox:
      run = runBullet(side, BulletShape::kBox, mode);
      break;
    case PileEngine::kBulletHull:
      run = runBullet(side, BulletShape::kHull, mode);
      break;
    default:
      return true;
  }
  std::fputs(runLine(run).c_str(), stdout);
  status = 0;
  return true;
}

namespace {

/// The median of the runs by `field`.
template <typename Field>
double median(const std::vector<PileRun>& runs, Field&& field) {
  std::vector<double> values;
  for (const PileRun& run : runs) values.push_back(field(run));
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

void printRuns(const char* name, const std::vector<PileRun>& runs, int steps) {
  const Settled& end = runs.back().settled;
  std::printf(
      "  %-12s %8.3f ms a step, %5.2f threads busy, %4.1f%% in the kernel | end: speed median %.4f max %.4f m/s, %d "
      "asleep, lowest %.3f highest %.3f, columns sink %.3f (median) %.3f (deepest), touching boxes overlap %.4f "
      "(median) %.4f (deepest), %d leaning | "
      "%.0f pairs, heap %.0f B a body, %.0f B a pair, resident anonymous %.0f B a body\n",
      name, 1e3 * median(runs, [](const PileRun& r) { return r.seconds; }) / steps,
      median(runs, [](const PileRun& r) { return (r.userSeconds + r.systemSeconds) / r.seconds; }),
      100.0 * median(runs, [](const PileRun& r) { return r.systemSeconds / (r.userSeconds + r.systemSeconds); }),
      end.medianSpeed, end.maxSpeed, end.asleep, end.lowest, end.highest, end.medianSinking, end.deepestSinking,
      end.medianOverlap, end.deepestOverlap, end.leaning, runs.back().pairs,
      median(runs, [](const PileRun& r) { return r.heapPerBody; }),
      median(runs, [](const PileRun& r) { return r.heapPerPair; }),
      median(runs, [](const PileRun& r) { return r.residentPerBody; }));
}

// The pile of state.range(0) boxes on state.range(1) threads, beside
// Bullet's on one thread: kRounds rounds of the three piles, each round in
// the other order than the last, so that a machine whose load drifts
// weighs on both engines alike; each pile in a process of its own, so that
// nothing run before it changes its figures.
void comparePiles(benchmark::State& state, PileMode mode) {
  const auto bodies = static_cast<int>(state.range(0));
  const auto threads = static_cast<std::uint32_t>(state.range(1));
  const int side = static_cast<int>(std::lround(std::cbrt(static_cast<double>(bodies))));
  std::vector<PileRun> ours;
  std::vector<PileRun> box;
  std::vector<PileRun> hull;
  const auto play = [&](PileEngine engine, std::vector<PileRun>& runs) {
    PileRun run;
    if (!runInFreshProcess(engine, side, threads, mode, run)) return false;
    runs.push_back(run);
    return true;
  };
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      const bool played = round % 2 == 0 ? play(PileEngine::kZov, ours) && play(PileEngine::kBulletBox, box) &&
                                               play(PileEngine::kBulletHull, hull)
                                         : play(PileEngine::kBulletHull, hull) && play(PileEngine::kBulletBox, box) &&
                                               play(PileEngine::kZov, ours);
      if (!played) {
        state.SkipWithError("a pile's process failed");
        return;
      }
    }
    state.SetIterationTime(median(ours, [](const PileRun& r) { return r.seconds; }));
  }
  const auto seconds = [](const PileRun& r) { return r.seconds; };
  const double zov = median(ours, seconds);
  const double bulletBox = median(box, seconds);
  const double bulletHull = median(hull, seconds);
  const int steps = stepsOf(mode);
  state.counters["zov_ms_step"] = 1e3 * zov / steps;
  state.counters["bullet_box_ms_step"] = 1e3 * bulletBox / steps;
  state.counters["bullet_hull_ms_step"] = 1e3 * bulletHull / steps;
  state.counters["ratio_box"] = zov / bulletBox;
  state.counters["ratio_hull"] = zov / bulletHull;
  state.counters["zov_kernel_share"] =
      median(ours, [](const PileRun& r) { return r.systemSeconds / (r.userSeconds + r.systemSeconds); });
  state.counters["asleep"] = ours.back().settled.asleep;
  state.counters["median_speed"] = ours.back().settled.medianSpeed;
  state.counters["heap_B_body"] = median(ours, [](const PileRun& r) { return r.heapPerBody; });
  state.counters["heap_B_pair"] = median(ours, [](const PileRun& r) { return r.heapPerPair; });
  std::printf(
      "%s box pile of %d, %u thread(s), %d frames, medians of %d runs (Bullet on 1 thread): ratio %.2f to boxes, %.2f "
      "to hulls\n",
      mode == PileMode::kAwake ? "awake" : "sleeping", side * side * side, threads, framesOf(mode), kRounds,
      zov / bulletBox, zov / bulletHull);
  printRuns("zov", ours, steps);
  printRuns("bullet box", box, steps);
  printRuns("bullet hull", hull, steps);
}

void BM_BoxPile(benchmark::State& state) { comparePiles(state, PileMode::kSleeping); }
BENCHMARK(BM_BoxPile)
    ->ArgNames({"boxes", "threads"})
    ->ArgsProduct({{125, 1000}, {1, 2, 4, 8}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

void BM_LargeBoxPile(benchmark::State& state) { comparePiles(state, PileMode::kSleeping); }
BENCHMARK(BM_LargeBoxPile)
    ->ArgNames({"boxes", "threads"})
    ->ArgsProduct({{8000}, {1, 2, 4, 8}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseManualTime();

// The awake pile: 125 and 1,000 boxes take seconds a thread count, 8,000
// some minutes.
void BM_AwakeBoxPile(benchmark::State& state) { comparePiles(state, PileMode::kAwake); }
BENCHMARK(BM_AwakeBoxPile)
    ->ArgNames({"boxes", "threads"})
    ->ArgsProduct({{125, 1000, 8000}, {1, 2, 4, 8}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// The step's passes alone (contact pass and hit processing) on 200 boxes
// settled on the ground, on state.range(0) threads.
void BM_PairPasses(benchmark::State& state) {
  const auto threads = static_cast<std::uint32_t>(state.range(0));
  zov::platform::setProcessorCountOverride(8);
  EnginePile pile(threads, PileMode::kSleeping);
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
