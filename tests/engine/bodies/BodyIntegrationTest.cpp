// The one integration of forces and motion, run by both body kinds: a rigid
// 2 x 1 x 1 box and a fracture body of two unit cubes that make the same box
// follow the same analytic motions at any split of a second.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/bodies/HullBody.h"
#include "engine/fracture/FractureBody.h"
#include "support/BodyFixtures.h"
#include "support/FractureFixtures.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;

namespace {

using zovtest::kWorldStep;
constexpr double kMass = 2.0;
/// The principal moments of a 2 x 1 x 1 box of mass 2 (long side along x).
constexpr double kInertiaX = kMass * (1.0 + 1.0) / 12.0;
constexpr double kInertiaZ = kMass * (4.0 + 1.0) / 12.0;

/// A 2 x 1 x 1 box of mass 2 centred at the origin, as one of the two body
/// kinds. The pieces outlive the compound that holds them.
struct Box {
  std::vector<std::unique_ptr<HullBody>> pieces;
  std::unique_ptr<FractureBody> compound;
  HardBody* body = nullptr;
};

Box rigidBox() {
  Box box;
  box.pieces.push_back(zovtest::boxPiece(MgcVector3(), MgcVector3(1.0, 0.5, 0.5), 2.0f, "box"));
  box.body = box.pieces[0].get();
  return box;
}

Box fractureBox() {
  Box box;
  box.pieces.push_back(zovtest::cubePiece(MgcVector3(-0.5, 0.0, 0.0), 1.0f, "left"));
  box.pieces.push_back(zovtest::cubePiece(MgcVector3(0.5, 0.0, 0.0), 1.0f, "right"));
  box.compound = std::make_unique<FractureBody>();
  box.compound->attachJoint(zovtest::jointAt(MgcVector3(), box.pieces[0].get(), box.pieces[1].get(), 1));
  box.compound->rebuildFromPieces();
  box.body = box.compound.get();
  return box;
}

struct Kind {
  const char* name;
  Box (*make)();
};

const Kind kKinds[] = {{"rigid body", rigidBox}, {"fracture body", fractureBox}};

/// One advance of the world over dt for one body.
void advance(HardBody& body, double dt, const MgcVector3& gravity, bool damping) {
  zovtest::advanceBodies({&body}, dt, gravity, damping);
}

using Split = zovtest::TimeSplit;
using zovtest::splitsOfOneSecond;

/// The turn of q about z, for a q that turns about z only.
double angleAboutZ(const Quaternion& q) { return 2.0 * std::atan2(q.Z(), q.W()); }

}  // namespace

// Both kinds have the box's mass and principal moments to begin with.
TEST(BodyIntegration, BothKindsAreTheSameBox) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    Box box = kind.make();
    EXPECT_NEAR(box.body->getMass(), kMass, 1e-6);
    MgcMatrix3 expected;
    expected.MakeDiagonal(kInertiaX, kInertiaZ, kInertiaZ);
    EXPECT_LT(zovtest::maxDifference(box.body->getDyn().worldInertia, expected), 1e-6);
  }
}

// Velocity grows linearly and the position moves by the mean of each step's
// start and end velocity, exact under constant force: a fall from rest lasts
// g t^2 / 2 however the second is split. A constant torque T about a
// principal axis gives w = T t / I and the angle T t^2 / (2 I); each step
// turns by its mean rate plus half the step's change, an excess of at most
// a t h over the second.
TEST(BodyIntegration, ConstantForceAndTorqueFollowTheAnalyticMotion) {
  const MgcVector3 gravity(0.0, -10.0, 0.0);
  constexpr double kTorque = 1.6;
  for (const Kind& kind : kKinds) {
    for (const Split& split : splitsOfOneSecond()) {
      SCOPED_TRACE(std::string(kind.name) + ", " + split.name);
      Box falling = kind.make();
      for (double dt : split.advances) advance(*falling.body, dt, gravity, true);
      EXPECT_LT((falling.body->getDyn().position - MgcVector3(0.0, -5.0, 0.0)).Length(), 1e-9);
      EXPECT_LT((falling.body->getDyn().linearVelocity - gravity).Length(), 1e-9);

      Box turning = kind.make();
      turning.body->applyExternalTorque(MgcVector3(0.0, 0.0, kTorque));
      for (double dt : split.advances) advance(*turning.body, dt, MgcVector3(), false);
      const double a = kTorque / turning.body->getLocalInertiaTensor()[2][2];
      EXPECT_NEAR(a, kTorque / kInertiaZ, 1e-6);
      const Quaternion& q = turning.body->getDyn().orientationQuat;
      EXPECT_NEAR(turning.body->getDyn().angularVelocity.z, a, 1e-12);
      EXPECT_NEAR(angleAboutZ(q), a / 2.0, a * kWorldStep + 1e-12);
      EXPECT_LT(std::hypot(q.X(), q.Y()), 1e-12);
      EXPECT_NEAR(q.Length(), 1.0, 1e-12);
    }
  }
}

// Damping coefficients are fractions lost per 1/100 s: after t seconds the
// velocity is v0 (1 - c)^(100 t) and the angular momentum about a principal
// axis L0 (1 - c')^(100 t), whatever the steps.
TEST(BodyIntegration, DampingTakesAFractionPerHundredthOfASecond) {
  constexpr double kLinear = 0.05;
  constexpr double kAngular = 0.1;
  const MgcVector3 v0(3.0, -1.0, 2.0);
  for (const Kind& kind : kKinds) {
    for (const Split& split : splitsOfOneSecond()) {
      SCOPED_TRACE(std::string(kind.name) + ", " + split.name);
      Box box = kind.make();
      box.body->setAirDampingCoeff(kLinear);
      box.body->setAirDampingCoeff2(kAngular);
      box.body->setLinearVelocity(v0);
      box.body->setAngularVelocity(MgcVector3(0.0, 0.0, 1.5));
      const MgcVector3 L0 = box.body->getDyn().angularMomentum;
      double t = 0.0;
      for (double dt : split.advances) {
        advance(*box.body, dt, MgcVector3(), true);
        t += dt;
      }
      const RBDynamics& state = box.body->getDyn();
      EXPECT_LT((state.linearVelocity - v0 * std::pow(1.0 - kLinear, 100.0 * t)).Length(), 1e-12);
      EXPECT_LT((state.angularMomentum - L0 * std::pow(1.0 - kAngular, 100.0 * t)).Length(), 1e-12);
      // Without the world's damping switch nothing decays.
      const MgcVector3 v = state.linearVelocity;
      const MgcVector3 L = state.angularMomentum;
      advance(*box.body, 0.5, MgcVector3(), false);
      EXPECT_EQ(box.body->getDyn().linearVelocity, v);
      EXPECT_EQ(box.body->getDyn().angularMomentum, L);
    }
  }
}

// Torque-free, the angular momentum stays, the energy drifts little and the
// orientation follows Euler's equations (the reference library's solution).
TEST(BodyIntegration, FreeSpinKeepsAngularMomentum) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    Box box = kind.make();
    box.body->setAngularVelocity(MgcVector3(1.0, 0.5, 2.0));
    const zovref::Vec3 L = zovtest::toRef(box.body->getDyn().angularMomentum);
    const zovref::Mat3 bodyInverse = zovref::inverse(zovtest::toRef(box.body->getLocalInertiaTensor()));
    const double energy = box.body->computeEnergy();
    double worstEnergyDrift = 0.0;
    for (int frame = 1; frame <= 240; ++frame) {  // 10 s at 24 frames a second
      advance(*box.body, 1.0 / 24.0, MgcVector3(), false);
      worstEnergyDrift = std::max(worstEnergyDrift, std::fabs(box.body->computeEnergy() - energy) / energy);
      if (frame != 48) continue;
      const zovref::Quat expected = zovref::torqueFreeSpin(zovref::Quat(), bodyInverse, L, 2.0);
      const zovref::Mat3 actual = zovtest::toRef(box.body->getDyn().orientation);
      EXPECT_LT(zovref::rotationAngle(transpose(toRotationMatrix(expected)) * actual), 1e-4);
    }
    EXPECT_LT(zovref::norm(zovtest::toRef(box.body->getDyn().angularMomentum) - L), 1e-12 * zovref::norm(L));
    EXPECT_LT(worstEnergyDrift, 1e-3);
    EXPECT_LT(box.body->getDyn().position.Length(), 1e-12);
  }
}
