// Stacks of boxes made as a user makes them, set down or dropped, judged by
// statics: a body stands where the centre of mass of it and what it bears
// lies over the region its supports hold it on, and tips where it lies
// past. The layouts: a board across a table's edge with a cube on its outer
// end, three boxes lying across the edge, a staircase of three cubes on
// flat ground, stacks on a ramp, and towers of cubes of alternating masses.
// Each is swept over the overhang of its common centre, from inside the
// edge to well past it, and over its masses, with free bodies and with one
// body made of two halves glued into a fracture body.
//
// The tests run a fixed sample of the sweep; ZOV_STACK_SWEEP=all runs all of
// it (gtest's --gtest_list_tests counts its cases).
#include <maya/MMatrix.h>
#include <maya/MVector.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "support/HostLookups.h"

namespace {

enum class Layout { kBoardAndCube, kThreeBoxes, kStaircase, kRampOfTwo, kRampOfThree, kTower };
const char* const kLayoutNames[] = {"BoardAndCube", "ThreeBoxes", "Staircase", "RampOfTwo", "RampOfThree", "Tower"};

struct StackCase {
  Layout layout;
  /// How far the common centre of mass of the bodies that tip lies past the
  /// edge that bears them (m), negative inside; a tower has none.
  double overhang;
  /// The mass of the layout's heavy body: the cube on the board, the middle
  /// of the three boxes, the staircase's top cube, the top of a ramp's
  /// stack, every other cube of a tower.
  double mass;
  /// Which body, counted from the bottom, is two halves glued into a
  /// fracture body of its mass; -1 for none.
  int fractured;
  /// How far the layout starts above where it rests, as one; a tower's
  /// cubes each that far above the one below.
  double drop;
  /// Whether every body starts sliding sideways at 0.05 m/s.
  bool push;
};

/// What statics says of a body: it stays where it was set, it leaves, or
/// (beside bodies that leave, which may strike it) either.
enum class Fate { kStands, kFalls, kEither };

/// A box: its size, centre where it rests, turn about z (degrees), mass and
/// fate.
struct Block {
  std::string name;
  double width, height, depth;
  MVector at;
  double turn;
  double mass;
  Fate fate;
};

struct Scene {
  std::string ground;  // the lines that make the passive ground "ground"
  std::vector<Block> blocks;
};

constexpr double kDegrees = 180.0 / M_PI;

/// A passive box of the size with its centre at `at`, turned by `turn`
/// degrees about z.
std::string groundLine(double width, double height, double depth, const MVector& at, double turn) {
  char line[256];
  std::snprintf(line, sizeof line,
                "polyCube -w %g -h %g -d %g -n ground; setAttr ground.translate %.17g %.17g %.17g; "
                "setAttr ground.rotate 0 0 %.17g",
                width, height, depth, at.x, at.y, at.z, turn);
  return line;
}

/// The ramp's angle (degrees) at which a stack of unit cubes of the masses
/// has its centre `overhang` past its base's downhill edge.
double rampAngle(const std::vector<double>& masses, double overhang) {
  double mass = 0.0;
  double moment = 0.0;
  for (std::size_t i = 0; i < masses.size(); ++i) {
    mass += masses[i];
    moment += masses[i] * (static_cast<double>(i) + 0.5);
  }
  return std::atan((0.5 + overhang) / (moment / mass)) * kDegrees;
}

/// Dropped within this (m) inside its tipping point, a stack on a ramp or a
/// staircase may be tipped by its landing (see sceneOf).
constexpr double kLandingMargin = 0.035;

/// A stack of unit cubes of the masses on a 20 x 20 ramp of `angle` degrees
/// whose top runs through the origin, the top cube leaving when `topFalls`,
/// every cube free to stand or leave when `landingMayTip`.
Scene rampStack(const std::vector<double>& masses, double angle, bool topFalls, bool landingMayTip = false) {
  const double a = angle / kDegrees;
  const MVector up(-std::sin(a), std::cos(a), 0.0);
  Scene scene{groundLine(20, 1, 20, up * -0.5, angle), {}};
  for (std::size_t i = 0; i < masses.size(); ++i) {
    const Fate fate = i + 1 < masses.size() ? Fate::kEither : topFalls ? Fate::kFalls : Fate::kStands;
    scene.blocks.push_back(
        {std::string("cube") + "ABC"[i], 1, 1, 1, up * (static_cast<double>(i) + 0.5), angle, masses[i], fate});
  }
  // Inside, every cube stands.
  if (!topFalls)
    for (Block& block : scene.blocks) block.fate = landingMayTip ? Fate::kEither : Fate::kStands;
  return scene;
}

Scene sceneOf(const StackCase& c) {
  const double m = c.mass;
  const bool past = c.overhang > 0.0;
  // Past, the bodies carried over the edge leave; the lowest of them may
  // rock back once they have slid off it.
  const Fate carried = past ? Fate::kFalls : Fate::kStands;
  const Fate base = past ? Fate::kEither : Fate::kStands;
  // Dropped a few centimetres inside its tipping point, a stack of cubes may
  // be tipped by its landing. On a ramp it lands sliding down it, and
  // friction stops its foot, below its centre, which turns it downhill. On
  // a staircase the upper cubes' centres need rise but a few millimetres to
  // pass over the edges they lie inside (2.5 mm for the top cube, 5 cm
  // inside the middle one's), which an impact spread unevenly over the
  // contacts gives them. Bullet, playing the scenes as the benchmarks run
  // it, tips both.
  const bool landingMayTip = c.drop > 0.0 && !past && -c.overhang < kLandingMargin;
  // A table: a passive box whose top is at 0 and whose edge runs along x = 0.
  const std::string table = groundLine(10, 1, 10, MVector(-5, -0.5, 0), 0);
  const std::string flat = groundLine(20, 1, 20, MVector(0, -0.5, 0), 0);
  switch (c.layout) {
    case Layout::kBoardAndCube: {
      // A 2 x 0.3 x 1 board of mass 1, a 0.5 cube 0.7 from its centre.
      const double board = c.overhang - 0.7 * m / (1.0 + m);
      return {table,
              {{"board", 2, 0.3, 1, MVector(board, 0.15, 0), 0, 1.0, base},
               {"cube", 0.5, 0.5, 0.5, MVector(board + 0.7, 0.55, 0), 0, m, carried}}};
    }
    case Layout::kThreeBoxes: {
      // Boxes 1 x 0.25 x 1 of masses 1, m and 2, the middle 0.35 further out
      // than the lowest, the top 0.2.
      const double low = c.overhang - (0.35 * m + 0.4) / (m + 3.0);
      return {table,
              {{"low", 1, 0.25, 1, MVector(low, 0.125, 0), 0, 1.0, base},
               {"mid", 1, 0.25, 1, MVector(low + 0.35, 0.375, 0), 0, m, carried},
               {"top", 1, 0.25, 1, MVector(low + 0.2, 0.625, 0), 0, 2.0, carried}}};
    }
    case Layout::kStaircase: {
      // Unit cubes: B on A, C 0.45 further on B; B and C's centre lies
      // `overhang` past A's edge at x = 0.5.
      const double b = 0.5 + c.overhang - 0.45 * m / (1.0 + m);
      return {flat,
              {{"cubeA", 1, 1, 1, MVector(0, 0.5, 0), 0, 1.0, past ? Fate::kEither : Fate::kStands},
               {"cubeB", 1, 1, 1, MVector(b, 1.5, 0), 0, 1.0, landingMayTip ? Fate::kEither : base},
               {"cubeC", 1, 1, 1, MVector(b + 0.45, 2.5, 0), 0, m, landingMayTip ? Fate::kEither : carried}}};
    }
    case Layout::kRampOfTwo:
    case Layout::kRampOfThree: {
      std::vector<double> masses(c.layout == Layout::kRampOfTwo ? 2 : 3, 1.0);
      masses.back() = m;
      return rampStack(masses, rampAngle(masses, c.overhang), past, landingMayTip);
    }
    case Layout::kTower: {
      Scene scene{flat, {}};
      for (int i = 0; i < 8; ++i)
        scene.blocks.push_back({std::string("tower") + static_cast<char>('A' + i), 1, 1, 1, MVector(0, 0.5 + i, 0), 0,
                                i % 2 == 0 ? 1.0 : m, Fate::kStands});
      return scene;
    }
  }
  return {};
}

std::string caseName(const StackCase& c) {
  char text[160];
  std::snprintf(text, sizeof text, "%s_%s%gcm_mass%g", kLayoutNames[static_cast<int>(c.layout)],
                c.overhang > 0.0 ? "Past" : "Inside", std::fabs(c.overhang) * 100.0, c.mass);
  std::string name(text);
  if (c.fractured >= 0) name += "_Fractured" + std::to_string(c.fractured);
  if (c.drop > 0.0) name += "_Dropped";
  if (c.push) name += "_Pushed";
  std::replace(name.begin(), name.end(), '.', 'p');
  return name;
}

void PrintTo(const StackCase& c, std::ostream* out) { *out << caseName(c); }

/// The whole sweep: every layout over overhangs from inside its edge to well
/// past it and masses from 1 to 100, free and with each body that matters
/// glued from halves, set down and dropped 0.1.
std::vector<StackCase> wholeSweep() {
  std::vector<StackCase> cases;
  const auto add = [&](Layout layout, std::initializer_list<double> overhangs, std::initializer_list<double> masses,
                       std::initializer_list<int> fractured, bool pushes) {
    for (const double overhang : overhangs)
      for (const double mass : masses)
        for (const int body : fractured)
          for (const double drop : {0.0, 0.1})
            for (const bool push : {false, true}) {
              if (push && !pushes) continue;
              // Dropped, a stack lands a few millimetres from where it was
              // set: it is judged from a centimetre inside.
              if (drop > 0.0 && overhang < 0.0 && overhang > -0.01) continue;
              cases.push_back({layout, overhang, mass, body, drop, push});
            }
  };
  add(Layout::kBoardAndCube, {-0.1, -0.03, 0.02, 0.05, 0.15, 0.39}, {1, 2, 5, 10, 30, 100}, {-1, 0, 1}, false);
  add(Layout::kThreeBoxes, {-0.1, -0.03, 0.02, 0.05, 0.24}, {1, 5, 20, 100}, {-1, 0, 1}, false);
  add(Layout::kStaircase, {-0.03, -0.005, 0.02, 0.05}, {1, 5}, {-1, 1, 2}, true);
  add(Layout::kRampOfTwo, {-0.03, -0.01, 0.03, 0.077, 0.1}, {1, 3, 10, 30}, {-1, 0, 1}, false);
  add(Layout::kRampOfThree, {-0.03, 0.03, 0.1}, {1, 5}, {-1, 0, 2}, false);
  for (const double r : {1, 2, 5, 10, 20, 22, 25, 27, 29, 30, 31, 50, 100})
    for (const int body : {-1, 0, 1})
      for (const double drop : {0.0, 0.1}) cases.push_back({Layout::kTower, 0.0, r, body, drop, false});
  return cases;
}

/// The sample the tests run: every layout past its edge, free, glued from
/// halves, set down, dropped and pushed, each of which stood on the code this
/// sweep was written against; beside them every layout inside, towers, and
/// a heavy box on a light one across the table's edge, set down past it and
/// dropped inside it onto one glued from halves.
std::vector<StackCase> sweep() {
  const char* all = std::getenv("ZOV_STACK_SWEEP");
  if (all != nullptr && std::strcmp(all, "all") == 0) return wholeSweep();
  return {{Layout::kBoardAndCube, 0.05, 1, -1, 0.0, false},  {Layout::kBoardAndCube, 0.39, 100, 0, 0.0, false},
          {Layout::kBoardAndCube, 0.05, 5, 0, 0.1, false},   {Layout::kThreeBoxes, 0.24, 20, -1, 0.0, false},
          {Layout::kThreeBoxes, 0.24, 5, 0, 0.0, false},     {Layout::kStaircase, 0.02, 1, -1, 0.0, false},
          {Layout::kStaircase, 0.02, 5, -1, 0.0, true},      {Layout::kStaircase, 0.05, 1, 2, 0.0, false},
          {Layout::kRampOfTwo, 0.077, 1, 0, 0.0, false},     {Layout::kRampOfTwo, 0.077, 1, 1, 0.0, false},
          {Layout::kRampOfTwo, 0.077, 1, 0, 0.1, false},     {Layout::kRampOfThree, 0.1, 1, 2, 0.0, false},
          {Layout::kBoardAndCube, -0.03, 30, 1, 0.0, false}, {Layout::kThreeBoxes, -0.03, 5, 0, 0.1, false},
          {Layout::kStaircase, -0.005, 1, -1, 0.0, false},   {Layout::kRampOfTwo, -0.03, 10, 0, 0.0, false},
          {Layout::kTower, 0.0, 27, -1, 0.1, false},         {Layout::kTower, 0.0, 29, -1, 0.1, false},
          {Layout::kTower, 0.0, 100, 0, 0.0, false},         {Layout::kThreeBoxes, 0.02, 100, -1, 0.0, false},
          {Layout::kThreeBoxes, -0.03, 100, 0, 0.1, false}};
}

class RestingStacks : public CommandTest, public ::testing::WithParamInterface<StackCase> {
 protected:
  /// Frames played: the slowest tip, 2 cm past, leaves in under 4 s, and a
  /// dropped tower sleeps by then.
  static constexpr int kFrames = 192;

  /// Makes the scene's ground and bodies as a user does, the fractured
  /// block as two halves along its width glued into a fracture body, lifted
  /// by the drop (a tower's blocks by the drop over each below).
  void build(const Scene& scene, const StackCase& c) {
    run("zovSolver");
    run(scene.ground);
    std::string selection;
    for (std::size_t i = 0; i < scene.blocks.size(); ++i) {
      const Block& block = scene.blocks[i];
      const double lift = c.layout == Layout::kTower ? c.drop * static_cast<double>(i + 1) : c.drop;
      const MVector at = block.at + MVector(0, lift, 0);
      const MVector along = MVector(std::cos(block.turn / kDegrees), std::sin(block.turn / kDegrees), 0);
      const bool halves = static_cast<int>(i) == c.fractured;
      for (const MVector& offset : halves ? std::vector<MVector>{along * (-block.width / 4), along * (block.width / 4)}
                                          : std::vector<MVector>{MVector()}) {
        const std::string name = partName(block, halves, offset.x * along.x + offset.y * along.y < 0);
        const MVector centre = at + offset;
        char line[320];
        std::snprintf(line, sizeof line,
                      "polyCube -w %g -h %g -d %g -n %s; setAttr %s.translate %.17g %.17g %.17g; "
                      "setAttr %s.rotate 0 0 %.17g",
                      halves ? block.width / 2 : block.width, block.height, block.depth, name.c_str(), name.c_str(),
                      centre.x, centre.y, centre.z, name.c_str(), block.turn);
        run(line);
        selection += " " + name;
      }
    }
    run("select" + selection + "; new_ZOVBody -shapeType 2; select ground; new_ZOVBody -shapeType 2 -active 1");
    zovhost::testing::flushIdleQueue();
    for (std::size_t i = 0; i < scene.blocks.size(); ++i) {
      const Block& block = scene.blocks[i];
      std::string node = block.name + "ZovBody";
      std::string twin = ".ca_rigidBodyParam";
      if (static_cast<int>(i) == c.fractured) {
        ASSERT_TRUE(runs("select " + block.name + "LZovBody " + block.name + "RZovBody; zovFractureBody -dTh 0.05"));
        node = "ZovFractureBody";
        twin = ".ca_mass";
      }
      run("setAttr " + node + ".mass " + std::to_string(block.mass) + "; getAttr " + node + twin);
      if (c.push) run("setAttr " + node + ".initialVelocity 0 0 0.05; getAttr " + node + ".ca_initialVelocity");
    }
    zovhost::testing::flushIdleQueue();
  }

  /// Plays the scene, built for the case, and judges each block by its
  /// fate: set down, one that stands is within a centimetre of where it was
  /// set, dropped within two as it lands, upright and asleep; one that
  /// falls has left. `atFrame` (when given) looks at every frame, the first
  /// included.
  void playAndJudge(const Scene& scene, const StackCase& c, const std::function<void()>& atFrame = nullptr) {
    ASSERT_NO_FATAL_FAILURE(build(scene, c));
    prepareSimulation("zovSolverNode1", 1, kFrames);
    if (atFrame) atFrame();
    for (int f = 2; f <= kFrames; ++f) {
      frame(f);
      if (atFrame) atFrame();
    }
    const double near = c.drop > 0.0 ? 0.02 : 0.01;
    for (std::size_t i = 0; i < scene.blocks.size(); ++i) {
      const Block& block = scene.blocks[i];
      MVector centre;
      MVector up;
      bool asleep = false;
      poseOf(block, static_cast<int>(i) == c.fractured, centre, up, asleep);
      const double a = block.turn / kDegrees;
      const double turned = std::acos(std::min(1.0, up * MVector(-std::sin(a), std::cos(a), 0))) * kDegrees;
      const double moved = (centre - block.at).length();
      if (block.fate == Fate::kFalls) {
        EXPECT_GT(moved, 0.25) << block.name << " stays where statics has it leave";
      } else if (block.fate == Fate::kStands) {
        EXPECT_LT(moved, near) << block.name;
        EXPECT_LT(turned, 2.0) << block.name;
        EXPECT_TRUE(asleep) << block.name;
      }
    }
  }

  static std::string partName(const Block& block, bool halves, bool left) {
    return halves ? block.name + (left ? "L" : "R") : block.name;
  }

  /// The block's centre (the mean of its halves'), its up axis and whether
  /// it sleeps.
  static void poseOf(const Block& block, bool halves, MVector& centre, MVector& up, bool& asleep) {
    centre = MVector();
    asleep = true;
    const std::vector<std::string> parts =
        halves ? std::vector<std::string>{block.name + "L", block.name + "R"} : std::vector<std::string>{block.name};
    for (const std::string& part : parts) {
      const MMatrix m = zovtest::pathNamed(part).inclusiveMatrix();
      centre += MVector(m[3][0], m[3][1], m[3][2]) / static_cast<double>(parts.size());
      up = MVector(m[1][0], m[1][1], m[1][2]);
      const HardBody* body = bodyNode(part + "ZovBody").engineBody(false);
      const HardBody* moving = body->getParent() != nullptr ? body->getParent() : body;
      asleep = asleep && !moving->isActive();
    }
  }
};

TEST_P(RestingStacks, StandsWhereItsCentreLiesOverItsSupportsAndTipsWherePast) {
  playAndJudge(sceneOf(GetParam()), GetParam());
}

// Where only the weight of the cubes above the lowest carries the centre
// past its base: three unit cubes on a 22-degree slope (their centre 1.5
// up, 0.61 downhill of the base's middle) topple; two (1 up, 0.40) stand.
// A lowest cube judged with the weight of the cube on it alone, not with
// what that one bears, would hold the three.
TEST_F(RestingStacks, ThreeCubesOnA22DegreeSlopeToppleWhereTwoStand) {
  const StackCase set{Layout::kRampOfThree, 0.0, 1.0, -1, 0.0, false};
  ASSERT_NO_FATAL_FAILURE(playAndJudge(rampStack({1.0, 1.0, 1.0}, 22.0, true), set));
  zovhost::testing::resetHost();
  run(moduleLoadLine().str());
  ASSERT_NO_FATAL_FAILURE(playAndJudge(rampStack({1.0, 1.0}, 22.0, false), set));
}

// A heavy body dropped 0.1 onto a light one made of two halves glued into a
// fracture body, the stack's centre inside the table's edge, has no energy
// but what it was dropped with: at no frame do the bodies' kinetic and
// potential energies together pass those of the start, where they hung
// still, beyond a hundredth of what the drop gave. And it stands.
TEST_F(RestingStacks, AHeavyBodyDroppedOnALightGluedOneGainsNoEnergy) {
  const StackCase cases[] = {{Layout::kThreeBoxes, -0.03, 20, 0, 0.1, false},
                             {Layout::kThreeBoxes, -0.1, 100, 0, 0.1, false},
                             {Layout::kBoardAndCube, -0.03, 100, 0, 0.1, false}};
  constexpr double kGravity = 9.81;
  for (const StackCase& c : cases) {
    SCOPED_TRACE(caseName(c));
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
    const Scene scene = sceneOf(c);
    // Each body that moves once, a fracture body for its halves.
    const auto energy = [&] {
      std::vector<const HardBody*> movers;
      double total = 0.0;
      for (std::size_t i = 0; i < scene.blocks.size(); ++i) {
        const bool halves = static_cast<int>(i) == c.fractured;
        const HardBody* body = bodyNode(partName(scene.blocks[i], halves, true) + "ZovBody").engineBody(false);
        const HardBody* mover = body->getParent() != nullptr ? body->getParent() : body;
        if (std::find(movers.begin(), movers.end(), mover) != movers.end()) continue;
        movers.push_back(mover);
        const RBDynamics& state = mover->getDyn();
        total += 0.5 * (mover->getMass() * state.linearVelocity.SquaredLength() +
                        state.angularVelocity.Dot(state.angularMomentum)) +
                 mover->getMass() * kGravity * state.position.y;
      }
      return total;
    };
    double mass = 0.0;
    for (const Block& block : scene.blocks) mass += block.mass;
    std::vector<double> energies;
    ASSERT_NO_FATAL_FAILURE(playAndJudge(scene, c, [&] { energies.push_back(energy()); }));
    ASSERT_FALSE(energies.empty());
    EXPECT_LE(*std::max_element(energies.begin(), energies.end()) - energies.front(), 0.01 * mass * kGravity * c.drop);
  }
}

INSTANTIATE_TEST_SUITE_P(Sweep, RestingStacks, ::testing::ValuesIn(sweep()),
                         [](const ::testing::TestParamInfo<StackCase>& info) { return caseName(info.param); });

}  // namespace
