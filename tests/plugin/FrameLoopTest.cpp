#include <maya/MAnimControl.h>
#include <maya/MFnMesh.h>
#include <maya/MFnTransform.h>
#include <maya/MMatrix.h>
#include <maya/MPointArray.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "BodyFixture.h"
#include "MeshTestSupport.h"
#include "src/hostEngineConversions.h"
#include "testing/RenderTesting.h"

namespace {

using namespace zovhost::testing;

/// The solver's gravity setting is single precision.
constexpr double kGravity = static_cast<double>(9.81f);
constexpr double kFrameSeconds = 1.0 / 24.0;

/// Height at a frame of a fall from 20 that starts at frame 1.
double fallen(int frame) {
  const double t = (frame - 1) * kFrameSeconds;
  return 20.0 - 0.5 * kGravity * t * t;
}

class FrameLoop : public BodyTest {
 protected:
  /// A solver and an undamped unit cube at height 20, the playback range
  /// 1 .. last, after the setup lines.
  void fallingCube(int last, const std::string& setup = std::string()) {
    solver = makeSolver();
    makeBoxBody("cube", 1, 1, 1, "0 20 0", "0 0 0", 2, solver);
    run("setAttr cubeBody.linearDamping 0");
    if (!setup.empty()) run(setup);
    prepareSimulation(solver, 1, last);
  }
  void restartHost() {
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
  }
  double height() { return getDouble("cube.translateY"); }
  /// The mean of a mesh's corners in world space, as the host places them.
  static MVector meshMiddle(const std::string& mesh) {
    MPointArray corners;
    MFnMesh(meshtest::pathOf(mesh)).getPoints(corners, MSpace::kWorld);
    MVector sum;
    for (unsigned int i = 0; i < corners.length(); ++i) sum += MVector(corners[i]);
    return sum / corners.length();
  }
  std::string solver;
};

TEST_F(FrameLoop, AFreeFallFollowsHalfGTSquaredFrameByFrame) {
  // Without damping the integration is exact for constant gravity (to the
  // poses' single precision), with any number of substeps (0 runs one); the
  // default damping stays within one frame's motion after a second.
  struct Case {
    const char* setup;
    double tolerance;
  };
  for (const Case& c :
       {Case{"setAttr zovSolverNode1.substeps 5", 1e-4}, Case{"setAttr zovSolverNode1.substeps 0", 1e-4},
        Case{"setAttr cubeBody.linearDamping 0.01", kGravity * kFrameSeconds}}) {
    fallingCube(30, c.setup);
    EXPECT_EQ(MAnimControl::playbackSpeed(), 0.0);
    for (int f = 2; f <= 25; ++f) {
      frame(f);
      EXPECT_NEAR(height(), fallen(f), c.tolerance) << c.setup << " frame " << f;
    }
    restartHost();
  }
}

TEST_F(FrameLoop, ScrubbingBackReplaysTheRecordedPosesAndEachFrameIsRecordedOnce) {
  fallingCube(30);
  for (int f = 2; f <= 10; ++f) frame(f);
  rigidBodyNode& body = bodyNode("cubeBody");
  EXPECT_EQ(body.cachedFrameCount(), 10u);  // the start pose and frames 2 .. 10
  // Back to frame 4 and forward onto the last simulated frame: the recorded
  // poses; nothing is simulated or recorded again.
  for (int f : {9, 8, 7, 6, 5, 4, 5, 6, 7, 8, 9, 10}) {
    frame(f);
    EXPECT_NEAR(height(), fallen(f), 1e-4) << f;
  }
  EXPECT_EQ(body.cachedFrameCount(), 10u);
  // Frame 11 goes on from frame 10 as if nothing had been played back.
  frame(11);
  EXPECT_NEAR(height(), fallen(11), 1e-4);
  EXPECT_EQ(body.cachedFrameCount(), 11u);
}

TEST_F(FrameLoop, OnlyAStepOfOneFrameForwardSimulatesAndAJumpStallsUntilTheStart) {
  struct Case {
    const char* setup;
    std::vector<int> frames;
    std::vector<int> shown;  // the frame whose pose the transform shows
  };
  // Without the cache, steps back and onto the last simulated frame again
  // change nothing, and the fall goes on as if there had been none. A body
  // waiting for frame 5 stays still until then, and again after the start.
  const Case cases[] = {
      {"setAttr zovSolverNode1.cacheActive 0", {2, 3, 4, 5, 4, 5, 6, 5, 6, 7}, {2, 3, 4, 5, 5, 5, 6, 6, 6, 7}},
      {"", {2, 4, 5, 6, 1, 2, 3}, {2, 2, 2, 2, 1, 2, 3}},
      {"setAttr cubeBody.firstHitActive 2; setAttr cubeBody.actFrame 5",
       {2, 3, 4, 5, 6, 1, 2, 3, 4, 5},
       {1, 1, 1, 2, 3, 1, 1, 1, 1, 2}},
  };
  for (const Case& c : cases) {
    fallingCube(30, c.setup);
    for (size_t i = 0; i < c.frames.size(); ++i) {
      frame(c.frames[i]);
      EXPECT_NEAR(height(), fallen(c.shown[i]), 1e-4) << c.setup << " frame " << c.frames[i];
    }
    const Mgc::MgcVector3 v = bodyNode("cubeBody").engineBody(false)->getDyn().linearVelocity;
    EXPECT_NEAR(v.y, -kGravity * (c.shown.back() - 1) * kFrameSeconds, 1e-12);
    restartHost();
  }
}

TEST_F(FrameLoop, TheEndOfTheRangeSwitchesCachedModeOnAndTheNextPassPlaysBack) {
  fallingCube(8);
  run("play");
  const MPlug cachedMode(node(solver), zovSolverNode::cachedMode);
  EXPECT_TRUE(cachedMode.asBool());
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(hasMessage(MessageKind::Print, " ZOV bake cached mode is active \n"));
  // The next pass from the start keeps the cache and plays it back: the
  // engine body, rewound at the start, is not simulated again.
  run("play");
  EXPECT_TRUE(cachedMode.asBool());
  EXPECT_NEAR(height(), fallen(8), 1e-4);
  rigidBodyNode& body = bodyNode("cubeBody");
  EXPECT_EQ(body.engineBody(false)->getDyn().position.y, 20.0);
  EXPECT_EQ(body.cachedFrameCount(), 8u);
  // A field in the scene may push differently: outside playback the start
  // simulates afresh.
  run("uniform -m 0");
  frame(1);
  EXPECT_FALSE(cachedMode.asBool());
  EXPECT_TRUE(hasMessage(MessageKind::Info, " ZOV bake cached mode has been deactivated "));
  EXPECT_EQ(body.cachedFrameCount(), 1u);
}

TEST_F(FrameLoop, AnAnimatedBodyFollowsItsKeysWithTheirVelocity) {
  // 12 units in 12 frames along x, a quarter turn about y over the same frames.
  fallingCube(20,
              "setKeyframe -at translateX -t 1 -v 0 cube; setKeyframe -at translateX -t 13 -v 12 cube;"
              "setKeyframe -at rotateY -t 1 -v 0 cube; setKeyframe -at rotateY -t 13 -v 90 cube;"
              "setAttr cubeBody.passive 2");
  const RBDynamics& state = bodyNode("cubeBody").engineBody(false)->getDyn();
  for (int f = 2; f <= 8; ++f) {
    frame(f);
    EXPECT_NEAR(state.position.x, f - 1.0, 1e-5) << f;
    EXPECT_NEAR(state.linearVelocity.x, 24.0, 1e-3) << f;
    // 7.5 degrees a frame, handed to the body as its angular momentum.
    EXPECT_NEAR(state.angularMomentum.y, M_PI, 1e-3) << f;
  }
}

TEST_F(FrameLoop, AMirroredBoxFallsWithoutTurningAndLandsMirrored) {
  // A 2 x 1 x 1 box under a mirroring scale, dropped flat onto a passive
  // slab: its world matrix keeps its 3x3 part while it falls, the engine's
  // mesh is where the host draws the box, and it lands flat, still mirrored.
  const struct {
    const char* scale;
    const char* rotate;
  } cases[] = {{"-1 1 1", "0 30 0"}, {"1 1 -1", "0 -50 0"}, {"-1 -1 -1", "0 10 0"}, {"1 1 1", "0 30 0"}};
  for (const auto& c : cases) {
    restartHost();
    solver = makeSolver();
    makeBoxBody("ground", 20, 1, 20, "0 -0.5 0", "0 0 0", 2, solver);
    run("setAttr groundBody.passive 1");
    makeBoxBody("box", 2, 1, 1, "0 3 0", c.rotate, 2, solver);
    run(std::string("setAttr box.scale ") + c.scale);
    zovhost::testing::clearLogs();
    prepareSimulation(solver, 1, 48);
    EXPECT_FALSE(hasMessage(MessageKind::Warning, "mass negative")) << c.scale;
    MDagPath box;
    ASSERT_TRUE(MDagPath::getAPathTo(node("box"), box));
    const MMatrix start = box.inclusiveMatrix();
    HardBody* body = bodyNode("boxBody").engineBody(false);
    ASSERT_NE(body, nullptr);
    for (int f = 2; f <= 48; ++f) {
      frame(f);
      const MMatrix now = box.inclusiveMatrix();
      if (getDouble("box.translateY") > 0.5 + 0.01) {
        for (unsigned int r = 0; r < 3; ++r)
          for (unsigned int k = 0; k < 3; ++k) EXPECT_NEAR(now(r, k), start(r, k), 1e-6) << c.scale << " frame " << f;
      }
      // Every corner the host draws is a corner of the engine's box.
      MPointArray corners;
      MFnMesh(node("boxShape")).getPoints(corners, MSpace::kObject);
      const ZOVmesh* engineMesh = body->getWorldMesh();
      for (unsigned int i = 0; i < corners.length(); ++i) {
        double nearest = 1e9;
        for (std::uint32_t k = 0; k < engineMesh->numVertices; ++k) {
          const Mgc::MgcVector3& v = engineMesh->worldVertices[k];
          nearest = std::min(nearest, (corners[i] * now - MPoint(v.x, v.y, v.z)).length());
        }
        EXPECT_LT(nearest, 1e-4) << c.scale << " frame " << f << " corner " << i;
      }
    }
    EXPECT_NEAR(getDouble("box.translateY"), 0.5, 0.01) << c.scale;
    const double mirrored = start.det3x3();
    EXPECT_GT(box.inclusiveMatrix().det3x3() * mirrored, 0.0) << c.scale;
    // The scale stays the user's: the mirror was never moved into the rotation.
    double scale[3], given[3];
    MFnTransform(box).getScale(scale);
    std::sscanf(c.scale, "%lf %lf %lf", &given[0], &given[1], &given[2]);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(scale[k], given[k]) << c.scale;
  }
}

TEST_F(FrameLoop, AMirroredKeyedBodyMovesAsTheMeshTheHostDraws) {
  // A cube two units off its transform's origin, the transform keyed through
  // a quarter turn about one axis in twelve frames, under a mirror or a
  // stretch: the body's velocities are those of the mesh the host draws, its
  // centre moving along its arc and turning at 7.5 degrees a frame.
  const struct {
    const char* scale;
    int axis;
  } cases[] = {{"1 1 1", 1}, {"-1 1 1", 1}, {"-1 1 1", 0}, {"1 1 -1", 2}, {"2 1 1", 1}, {"-1 -1 -1", 0}};
  for (const auto& c : cases) {
    restartHost();
    solver = makeSolver();
    meshtest::makeCube("cube");
    MFnMesh mesh(meshtest::pathOf("cubeShape"));
    MPointArray points;
    mesh.getPoints(points);
    for (unsigned int i = 0; i < points.length(); ++i) points[i] += MVector(0.5, 1.0, 2.0);
    mesh.setPoints(points);
    const std::string channel = std::string("rotate") + "XYZ"[c.axis];
    run(std::string("setAttr cube.translateY 20; setAttr cube.scale ") + c.scale + "; setKeyframe -at " + channel +
        " -t 1 -v 0 cube; setKeyframe -at " + channel + " -t 13 -v 90 cube");
    attachBody("cube", "cubeShape", 2, solver);
    run("setAttr cubeBody.passive 2");
    prepareSimulation(solver, 1, 20);
    const RBDynamics& state = bodyNode("cubeBody").engineBody(false)->getDyn();
    MVector before = meshMiddle("cubeShape");
    for (int f = 2; f <= 8; ++f) {
      frame(f);
      const MVector now = meshMiddle("cubeShape");
      const MVector v = (now - before) / kFrameSeconds;
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(state.linearVelocity[k], v[k], 1e-3) << c.scale << " " << channel << " frame " << f;
        EXPECT_NEAR(state.angularMomentum[k], k == c.axis ? M_PI : 0.0, 1e-3)
            << c.scale << " " << channel << " frame " << f;
        EXPECT_NEAR(state.position[k], now[k], 1e-4) << c.scale << " " << channel << " frame " << f;
      }
      before = now;
    }
  }
}

TEST_F(FrameLoop, UnusableValuesAreToldAndLeaveAFiniteWorld) {
  // A 2 x 1 x 1 box (mass 2, its volume) dropped onto a passive slab, after
  // one bad value that the settings' twins take as the interface pulls
  // them: each is told, the attribute reads the value in use, and the box
  // falls and lands flat as it would without it.
  const struct {
    const char* line;
    MessageKind kind;
    const char* message;
    const char* plug;
    double reads;
  } cases[] = {
      {"setAttr boxBody.mass -5", MessageKind::Warning, "body boxBody: mass -5 is not usable, mass 2 used",
       "boxBody.mass", 2.0},
      {"setAttr boxBody.mass 0", MessageKind::Warning, "body boxBody: mass 0 is not usable, mass 2 used",
       "boxBody.mass", 2.0},
      {"setAttr boxBody.mass 1e300", MessageKind::Warning, "body boxBody: mass 1e+300 is not usable, mass 2 used",
       "boxBody.mass", 2.0},
      {"setAttr boxBody.mass 1e39", MessageKind::Warning, "body boxBody: mass 1e+39 is not usable, mass 2 used",
       "boxBody.mass", 2.0},
      // Points of single precision refuse what they cannot hold, naming the
      // component, and keep what they held.
      {"setAttr zovSolverNode1.gravity 0 -1e300 0", MessageKind::Error,
       "setAttr: 'zovSolverNode1.gravityY' cannot hold -1e300", "zovSolverNode1.gravityY", static_cast<double>(-9.81f)},
      {"setAttr zovSolverNode1.gravity 1e39 -9.81 0", MessageKind::Error,
       "setAttr: 'zovSolverNode1.gravityX' cannot hold 1e39", "zovSolverNode1.gravityX", 0.0},
      {"setAttr boxBody.initialVelocity 1e300 0 0", MessageKind::Error,
       "setAttr: 'boxBody.initialVelocityX' cannot hold 1e300", "boxBody.initialVelocityX", 0.0},
      {"setAttr boxBody.initialSpin 0 -1e39 0", MessageKind::Error, "setAttr: 'boxBody.initialSpinY' cannot hold -1e39",
       "boxBody.initialSpinY", 0.0},
      {"setAttr boxBody.massCenter 1e300 3 0", MessageKind::Error,
       "body boxBody: centre of mass (1e+300, 3, 0) does not fit single precision, the centre (", "boxBody.massCenter0",
       0.0},
  };
  for (const auto& c : cases) {
    restartHost();
    solver = makeSolver();
    makeBoxBody("ground", 20, 1, 20, "0 -0.5 0", "0 0 0", 2, solver);
    run("setAttr groundBody.passive 1");
    makeBoxBody("box", 2, 1, 1, "0 3 0", "0 0 0", 2, solver);
    prepareSimulation(solver, 1, 48);
    zovhost::testing::clearLogs();
    MGlobal::executeCommand(c.line);  // refused or taken; the message says which
    for (const char* twin : {"boxBody.ca_rigidBodyParam", "boxBody.ca_activeState", "boxBody.ca_centerMass",
                             "boxBody.ca_initialVelocity", "boxBody.ca_initialSpin", "zovSolverNode1.ca_solverParams"})
      run(std::string("getAttr ") + twin);
    EXPECT_TRUE(hasMessage(c.kind, c.message)) << c.line;
    EXPECT_NEAR(getDouble(c.plug), c.reads, 1e-6) << c.line;
    const Mgc::MgcVector3 g = theWorld->GetGravity();
    EXPECT_NEAR(g.y, static_cast<double>(-9.81f), 1e-6) << c.line;
    HardBody* body = bodyNode("boxBody").engineBody(false);
    ASSERT_NE(body, nullptr) << c.line;
    EXPECT_NEAR(body->getMass(), 2.0, 1e-5) << c.line;
    for (int f = 1; f <= 48; ++f) {
      frame(f);
      const RBDynamics& state = body->getDyn();
      for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(std::isfinite(state.position[k])) << c.line << " frame " << f;
        ASSERT_TRUE(std::isfinite(state.linearVelocity[k])) << c.line << " frame " << f;
        ASSERT_TRUE(std::isfinite(state.angularMomentum[k])) << c.line << " frame " << f;
      }
    }
    EXPECT_NEAR(getDouble("box.translateY"), 0.5, 0.01) << c.line;
    for (const char* angle : {"box.rotateX", "box.rotateY", "box.rotateZ"})
      EXPECT_NEAR(getDouble(angle), 0.0, 0.1) << c.line << " " << angle;
  }
}

TEST_F(FrameLoop, TimeChangesRefreshTheViewUnlessASceneLoads) {
  fallingCube(30);
  const unsigned before = zovhost::testing::viewRefreshCount();
  frame(2);
  g_sceneLoading = true;
  frame(3);
  g_sceneLoading = false;
  EXPECT_EQ(zovhost::testing::viewRefreshCount(), before + 1);
}

TEST_F(FrameLoop, ACubeFallsOntoAPassiveGroundAndStaysThere) {
  solver = makeSolver();
  makeBoxBody("ground", 20, 1, 20, "0 -0.5 0", "0 0 0", 2, solver);
  run("setAttr groundBody.passive 1");
  makeBoxBody("cube", 1, 1, 1, "0 5.5 0", "0 0 0", 2, solver);
  prepareSimulation(solver, 1, 100);
  std::vector<double> simulated(101);
  for (int f = 2; f <= 100; ++f) {
    frame(f);
    simulated[f] = height();
  }
  // A second in, still in the air: free fall within one frame's motion.
  EXPECT_NEAR(simulated[25], 5.5 - 0.5 * kGravity, kGravity * kFrameSeconds);
  // Resting on the ground from frame 60 on, its centre half a unit above it.
  for (int f = 60; f <= 100; ++f) EXPECT_NEAR(simulated[f], 0.5, 0.01) << f;
  // Back to frame 40 and forward again, twice: the recorded poses, the
  // same both times.
  std::vector<double> replayed(101);
  for (int pass = 0; pass < 2; ++pass)
    for (int f = 40; f <= 100; ++f) {
      frame(f);
      EXPECT_NEAR(height(), simulated[f], 1e-5) << f;
      if (pass == 1) {
        EXPECT_EQ(height(), replayed[f]) << f;
      }
      replayed[f] = height();
    }
}

TEST_F(FrameLoop, AnAnimatedBodyPushesADynamicBodyItMeets) {
  solver = makeSolver();
  makeBoxBody("ground", 20, 1, 20, "0 -0.5 0", "0 0 0", 2, solver);
  run("setAttr groundBody.passive 1");
  makeBoxBody("pusher", 1, 1, 1, "-3 0.5 0", "0 0 0", 2, solver);
  makeBoxBody("pushed", 1, 1, 1, "0 0.5 0", "0 0 0", 2, solver);
  run("setKeyframe -at translateX -t 1 -v -3 pusher; setKeyframe -at translateX -t 25 -v 3 pusher");
  run("setAttr pusherBody.passive 2");
  prepareSimulation(solver, 1, 30);
  run("play");
  // The pusher's front reaches x = 3.5: the pushed cube, still on the
  // ground, ends in front of it.
  EXPECT_GE(getDouble("pushed.translateX"), 4.0 - 0.01);
  EXPECT_NEAR(getDouble("pushed.translateY"), 0.5, 0.01);
}

}  // namespace

/// FNV-1a over the bytes of the values: equal only for bit-identical values.
std::uint64_t hashOfBits(const std::vector<double>& values) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const double v : values) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int b = 0; b < 8; ++b) {
      hash ^= (bits >> (8 * b)) & 0xFFu;
      hash *= 1099511628211ull;
    }
  }
  return hash;
}

TEST_F(FrameLoop, APyramidPlaysToBitIdenticalPosesInEveryBuild) {
  // A pyramid of rows 4, 3, 2 and 1 set down touching on a passive slab,
  // played two seconds. Every build of the module, optimised or sanitized,
  // computes the same operations in the same order, so the poses agree to the
  // last bit: the hash of the final centres and quaternions is one value for
  // all of them. It changes with any change of the physics; the pyramid stays
  // standing in any case.
  solver = makeSolver();
  makeBoxBody("ground", 20, 1, 20, "0 -0.5 0", "0 0 0", 2, solver);
  run("setAttr groundBody.passive 1");
  std::vector<std::string> boxes;
  std::vector<MVector> placed;
  const int rows[] = {4, 3, 2, 1};
  for (int r = 0; r < 4; ++r) {
    for (int i = 0; i < rows[r]; ++i) {
      // Names without digits at their end, whose shapes are the name and "Shape".
      const std::string box = std::string("pyramid") + "ABCD"[r] + "abcd"[i];
      placed.emplace_back(1.0 + 0.5 * r + i, 0.5 + r, 0.0);
      char at[64];
      std::snprintf(at, sizeof at, "%g %g 0", placed.back().x, placed.back().y);
      makeBoxBody(box, 1, 1, 1, at, "0 0 0", 2, solver);
      boxes.push_back(box);
    }
  }
  prepareSimulation(solver, 1, 49);
  for (int f = 2; f <= 49; ++f) frame(f);
  std::vector<double> poses;
  for (size_t k = 0; k < boxes.size(); ++k) {
    const RBDynamics& state = bodyNode(boxes[k] + "Body").engineBody(false)->getDyn();
    EXPECT_LT((toHost(state.position) - placed[k]).length(), 0.05) << boxes[k];
    for (unsigned int c = 0; c < 3; ++c) poses.push_back(state.position[c]);
    const Mgc::Quaternion& q = state.orientationQuat;
    poses.insert(poses.end(), {q.W(), q.X(), q.Y(), q.Z()});
  }
  EXPECT_EQ(hashOfBits(poses), 0xad6e8141ebd716d4ull) << std::hex << hashOfBits(poses);
}

// A pyramid of rows 4, 3, 2 and 1 and a box across two boxes 0.2 apart, set
// down touching on a passive slab and played a minute at the solver's
// defaults (two seconds in the sanitized build): every box stays within
// 0.01 of where it was put, turns less than half a degree about each axis
// and sleeps.
TEST_F(FrameLoop, APyramidAndABoxAcrossTwoStandAMinuteAndSleep) {
#if defined(__SANITIZE_ADDRESS__)
  const int frames = 48;
#else
  const int frames = 60 * 24;
#endif
  solver = makeSolver();
  makeBoxBody("ground", 20, 1, 20, "0 -0.5 0", "0 0 0", 2, solver);
  run("setAttr groundBody.passive 1");
  std::vector<std::string> boxes;
  std::vector<MVector> placed;
  const auto place = [&](const std::string& box, double x, double y, double z) {
    placed.emplace_back(x, y, z);
    char at[64];
    std::snprintf(at, sizeof at, "%g %g %g", x, y, z);
    makeBoxBody(box, 1, 1, 1, at, "0 0 0", 2, solver);
    boxes.push_back(box);
  };
  const int rows[] = {4, 3, 2, 1};
  for (int r = 0; r < 4; ++r) {
    for (int i = 0; i < rows[r]; ++i)
      place(std::string("pyramid") + "ABCD"[r] + "abcd"[i], 1.0 + 0.5 * r + i, 0.5 + r, 0.0);
  }
  place("acrossLeft", -0.6, 0.5, 4.0);
  place("acrossRight", 0.6, 0.5, 4.0);
  place("acrossTop", 0.0, 1.5, 4.0);
  prepareSimulation(solver, 1, frames + 1);
  for (int f = 2; f <= frames + 1; ++f) frame(f);
  for (size_t k = 0; k < boxes.size(); ++k) {
    const MVector at(getDouble(boxes[k] + ".translateX"), getDouble(boxes[k] + ".translateY"),
                     getDouble(boxes[k] + ".translateZ"));
    EXPECT_LT((at - placed[k]).length(), 0.01) << boxes[k];
    for (const char* axis : {".rotateX", ".rotateY", ".rotateZ"}) {
      EXPECT_LT(std::fabs(getDouble(boxes[k] + axis)), 0.5) << boxes[k] << axis;
    }
    EXPECT_FALSE(bodyNode(boxes[k] + "Body").engineBody(false)->isActive()) << boxes[k];
  }
}

// Stacks of boxes set down on a passive slab tilted by a degrees about z, or
// dropped onto it from 0.3 higher, each box with a face on the slope or on
// the box below, played three seconds. Their friction is the default 0.7,
// more than tan 30 = 0.58: no box slides on these slopes, and statics decide.
// A stack tips over the downhill edge of its lowest box when the vertical
// through its centre of mass meets the slope past that edge: when
// h tan(a) > 0.5, h the height of the centre of mass over the slope.
//  - two unit cubes on 30: h = 1, 0.577, 7.7 cm past the edge: topple;
//  - a cube of mass 10 on one of mass 1 on 25: h = 15.5 / 11 = 1.41, 0.657,
//    16 cm past: topple;
//  - a 1 x 2 x 1 box on 30: h = 1: tips;
//  - two unit cubes on 20: 0.364, 14 cm inside: stand;
//  - the cube of mass 10 on the cube of mass 1 on 15: 0.378, 12 cm inside:
//    stand.
// Each cube of a stack alone stands on what it lies on (0.5 tan(a) < 0.5):
// only the stack as a whole tips. The top box of a stack that tips has
// turned more than 45 degrees off the slope at the end; the boxes of one
// that stands stay within 1 cm of where they were set, turn less than a
// degree and sleep.
TEST_F(FrameLoop, AStackWhoseCentreOfMassLiesPastItsBaseTopplesOffASlope) {
  struct Case {
    double slope;
    std::vector<std::pair<double, double>> boxes;  // height and mass, from the slope up
    double drop;
    bool tips;
  };
  const Case cases[] = {{30, {{1, 1}, {1, 1}}, 0.0, true},  {30, {{1, 1}, {1, 1}}, 0.3, true},
                        {25, {{1, 1}, {1, 10}}, 0.0, true}, {25, {{1, 1}, {1, 10}}, 0.3, true},
                        {30, {{2, 2}}, 0.0, true},          {20, {{1, 1}, {1, 1}}, 0.0, false},
                        {15, {{1, 1}, {1, 10}}, 0.0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.boxes.size() << " boxes on " << c.slope << " degrees, dropped " << c.drop);
    restartHost();
    run("zovSolver");
    const double a = c.slope * M_PI / 180.0;
    const MVector up(-std::sin(a), std::cos(a), 0.0);
    // A box of the width and height with its centre `over` above the slope's
    // top, along its normal, and `lift` higher.
    const auto place = [&](const std::string& name, double width, double height, double over, double lift) {
      const MVector at = up * over + MVector(0.0, lift, 0.0);
      char line[256];
      std::snprintf(line, sizeof line,
                    "polyCube -w %g -h %g -d %g -n %s; setAttr %s.translate %.17g %.17g 0; setAttr %s.rotate 0 0 %g",
                    width, height, width, name.c_str(), name.c_str(), at.x, at.y, name.c_str(), c.slope);
      run(line);
      return at;
    };
    place("slope", 20.0, 1.0, -0.5, 0.0);
    std::string boxes;
    std::vector<MVector> set;
    double base = 0.0;
    for (const auto& [height, mass] : c.boxes) {
      const std::string box = std::string("box") + "ABC"[set.size()];
      set.push_back(place(box, 1.0, height, base + height / 2, c.drop));
      boxes += " " + box;
      base += height;
    }
    run("select slope; new_ZOVBody -shapeType 2 -active 1; select" + boxes + "; new_ZOVBody -shapeType 2");
    for (size_t k = 0; k < set.size(); ++k) {
      run(std::string("setAttr box") + "ABC"[k] + "ZovBody.mass " + std::to_string(c.boxes[k].second));
    }
    prepareSimulation("zovSolverNode1", 1, 73);
    for (int f = 2; f <= 73; ++f) frame(f);
    for (size_t k = 0; k < set.size(); ++k) {
      const std::string box = std::string("box") + "ABC"[k];
      const MMatrix m = zovtest::pathNamed(box).inclusiveMatrix();
      const double turned = std::acos(std::min(1.0, MVector(m[1][0], m[1][1], m[1][2]) * up)) * 180.0 / M_PI;
      if (c.tips) {
        if (k + 1 == set.size()) {
          EXPECT_GT(turned, 45.0) << box;
        }
        continue;
      }
      EXPECT_LT((MVector(m[3][0], m[3][1], m[3][2]) - set[k]).length(), 0.01) << box;
      EXPECT_LT(turned, 1.0) << box;
      EXPECT_FALSE(bodyNode(box + "ZovBody").engineBody(false)->isActive()) << box;
    }
  }
}
