
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "BodyFixture.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/HullBody.h"
#include "engine/fracture/FractureBody.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 24.0;

class ForceFields : public BodyTest {
 protected:
  /// The lines, then a solver without gravity and one undamped box body
  /// (its mass the box's volume) that takes fields, after the setup lines.
  void weightlessBox(const std::string& lines, double side, const std::string& setup) {
    run(lines);
    const std::string solver = makeSolver();
    run("setAttr " + solver + ".gravityEnabled 0");
    makeBoxBody("box", side, side, side, "0 5 0", "0 0 0", 2, solver);
    run("setAttr boxBody.linearDamping 0; setAttr boxBody.affectForceFields 1; " + setup);
    prepareSimulation(solver, 1, 30);
  }
};

TEST_F(ForceFields, FieldsOnABodyAddUpGravityFieldsIgnoreMassAndStillBodiesGetNone) {
  // x(t) = a t^2 / 2 for the constant acceleration a the fields give; no
  // force at all for a body that does not take fields, is passive or waits.
  struct Case {
    const char* fields;
    double side;
    const char* setup;
    double acceleration;
  };
  const char* const twoFields = "uniform -m 2 -dx 1 -dy 0 -dz 0; uniform -m 3 -dx 1 -dy 0 -dz 0";
  const Case cases[] = {
      {twoFields, 1.0, "", 5.0},
      {twoFields, 2.0, "", 5.0 / 8.0},
      {"gravity -m 6 -dx 1 -dy 0 -dz 0", 2.0, "", 6.0},
      {twoFields, 1.0, "setAttr boxBody.affectForceFields 0", 0.0},
      {twoFields, 1.0, "setAttr boxBody.passive 1", 0.0},
      {twoFields, 1.0, "setAttr boxBody.firstHitActive 2; setAttr boxBody.actFrame 100", 0.0},
  };
  for (const Case& c : cases) {
    weightlessBox(c.fields, c.side, c.setup);
    for (int f = 2; f <= 13; ++f) frame(f);
    const double t = 12 * kFrameSeconds;
    EXPECT_NEAR(getDouble("box.translateX"), 0.5 * c.acceleration * t * t, 1e-5) << c.fields << " / " << c.setup;
    const Mgc::MgcVector3 F = bodyNode("boxBody").engineBody(false)->getExternalForces();
    EXPECT_NEAR(F.x, c.acceleration * c.side * c.side * c.side, 1e-9) << c.setup;
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
  }
}

/// A hull body of a unit cube at a centre.
class Piece : public HullBody {
 public:
  Piece(const Mgc::MgcVector3& centre, float mass) {
    init(centre, Mgc::MgcMatrix3::IDENTITY, Mgc::MgcVector3(1.0, 1.0, 1.0));
    setMass(mass);
  }
  /// Infinitely heavy: inverse mass 0.
  void makeImmovable() { dyn.invMass = 0.0; }
};

TEST(FractureBodyFieldSamples, PiecesOfInfiniteMassOrStaticGiveNoSampleAndGetNoForce) {
  // Pieces: moving mass 2; static mass 3; infinitely heavy; moving mass 4.
  std::unique_ptr<Piece> pieces[] = {
      std::make_unique<Piece>(Mgc::MgcVector3(0, 0, 0), 2.0f), std::make_unique<Piece>(Mgc::MgcVector3(1, 0, 0), 3.0f),
      std::make_unique<Piece>(Mgc::MgcVector3(2, 0, 0), 5.0f), std::make_unique<Piece>(Mgc::MgcVector3(3, 0, 0), 4.0f)};
  pieces[1]->enableStatic();
  pieces[2]->makeImmovable();
  FractureBody body;
  for (int i = 0; i + 1 < 4; ++i) {
    auto* joint = new DynamicStress;
    joint->attach(Mgc::MgcVector3(i + 0.5, 0, 0), 1, pieces[i].get(), pieces[i + 1].get());
    body.attachJoint(joint);
  }
  body.activate();
  MVectorArray positions, velocities, forces;
  MDoubleArray masses;
  zovSolverNode::collectFieldSamples(body, positions, velocities, masses);
  // The compound as a whole, then the two pieces that can move; each sample
  // is pushed by its mass.
  ASSERT_EQ(masses.length(), 3u);
  for (unsigned int k = 0; k < masses.length(); ++k) {
    EXPECT_TRUE(std::isfinite(masses[k]));
    forces.append(MVector(masses[k], 0.0, 0.0));
  }
  EXPECT_EQ(masses[1] + masses[2], 6.0);
  unsigned int index = 0;
  zovSolverNode::applyFieldForces(body, forces, index);
  EXPECT_EQ(index, 3u);
  EXPECT_EQ(body.getExternalForces().x, masses[0]);
  const double expected[] = {2.0, 0.0, 0.0, 4.0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pieces[i]->getExternalForces().x, expected[i]) << i;
}

}  // namespace
