// Integration of bodies as the world's advance drives it: free fall, torque-free
// spin, air damping, hostile inputs and bodies integrated on several threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "math/MgcQuaternion.h"
#include "support/BodyFixtures.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;
using zovtest::advanceBodies;
using zovtest::BoxBody;
using zovtest::kWorldStep;
using zovtest::toRef;

namespace {

const MgcVector3 kGravity(0.0, -10.0, 0.0);
const MgcVector3 kNoGravity;
const MgcVector3 kUnitScale(1.0, 1.0, 1.0);

static_assert(kWorldStep == 0.0033333334140479565, "the world steps in single-precision 1/300 s");

// Runs `body` through advances of the given lengths.
void advanceAll(BoxBody& body, const std::vector<double>& advances, const MgcVector3& gravity, bool damping) {
  for (double dt : advances) advanceBodies({&body}, dt, gravity, damping);
}

using Split = zovtest::TimeSplit;
using zovtest::splitsOfOneSecond;

}  // namespace

// Velocities change linearly within a step under constant gravity, and
// positions move by the mean of the step's start and end velocity: exact for
// constant acceleration, so the fall from rest over t is g t^2 / 2 whatever the
// steps, up to rounding (a few units in the last place over at most a thousand
// steps). A constant torque T about a principal axis from rest gives w = T t / I
// exactly and the angle T t^2 / (2 I); each step turns by h (w_k+1 + h a / 2)
// where the exact turn is h (w_k+1 - h a / 2), an excess of at most a t h.
TEST(BodyDynamics, ConstantForceAndTorqueAreIndependentOfHowTheSecondIsSplit) {
  constexpr double kTorque = 1.6;
  for (const Split& split : splitsOfOneSecond()) {
    SCOPED_TRACE(split.name);
    BoxBody falling, spinning(MgcVector3(1.0, 2.0, 3.0));
    falling.init(MgcVector3(0.0, 100.0, 0.0), MgcMatrix3::IDENTITY, kUnitScale);
    falling.setMass(3.0f);
    advanceAll(falling, split.advances, kGravity, true);
    EXPECT_LT((falling.getDyn().position - MgcVector3(0.0, 95.0, 0.0)).Length(), 1e-9);
    EXPECT_LT((falling.getDyn().linearVelocity - MgcVector3(0.0, -10.0, 0.0)).Length(), 1e-9);

    spinning.init(MgcVector3(), MgcMatrix3::IDENTITY, kUnitScale);
    spinning.setMass(2.0f);
    spinning.applyExternalTorque(MgcVector3(0.0, 0.0, kTorque));
    advanceAll(spinning, split.advances, kNoGravity, false);
    const double acceleration = kTorque / spinning.getLocalInertiaTensor()[2][2];
    const Quaternion& q = spinning.getDyn().orientationQuat;
    EXPECT_NEAR(spinning.getDyn().angularVelocity.z, acceleration * 1.0, 1e-12);
    EXPECT_NEAR(2.0 * std::atan2(q.Z(), q.W()), acceleration / 2.0, acceleration * kWorldStep + 1e-12);
    EXPECT_LT(std::hypot(q.X(), q.Y()), 1e-15);
  }
}

// Torque-free: the orientation follows the equations of motion, the
// quaternion and the matrix agree, momentum holds and energy drifts little.
TEST(BodyDynamics, TorqueFreeSpinFollowsTheEquationsOfMotion) {
  BoxBody body(MgcVector3(1.0, 2.0, 3.0));
  body.init(MgcVector3(1.0, 2.0, 3.0), MgcMatrix3::IDENTITY, kUnitScale);
  body.setMass(2.0f);
  body.setAngularVelocity(MgcVector3(1.0, 0.5, 2.0));
  const zovref::Vec3 L = toRef(body.getDyn().angularMomentum);
  const zovref::Mat3 bodyInverse = zovref::inverse(toRef(body.getLocalInertiaTensor()));
  const double energy = body.computeEnergy();
  double worstEnergyDrift = 0.0;
  for (int frame = 1; frame <= 240; ++frame) {  // 10 s at 24 frames a second
    advanceBodies({&body}, 1.0 / 24.0, kNoGravity, false);
    worstEnergyDrift = std::max(worstEnergyDrift, std::fabs(body.computeEnergy() - energy) / energy);
    if (frame != 48) continue;
    const zovref::Quat expected = zovref::torqueFreeSpin(zovref::Quat(), bodyInverse, L, 2.0);
    const zovref::Mat3 actual = toRef(body.getDyn().orientation);
    EXPECT_LT(zovref::rotationAngle(transpose(toRotationMatrix(expected)) * actual), 1e-4);
    MgcMatrix3 fromQuat;
    body.getDyn().orientationQuat.ToRotationMatrix(fromQuat);
    EXPECT_LT(zovtest::maxDifference(fromQuat, actual), 1e-12);
  }
  EXPECT_LT(zovref::norm(toRef(body.getDyn().angularMomentum) - L), 1e-12 * zovref::norm(L));
  EXPECT_LT(worstEnergyDrift, 1e-3);
  EXPECT_NEAR(body.getDyn().position.x, 1.0, 1e-12);
}

TEST(BodyDynamics, AirDampingDecaysAsAFractionPerHundredthOfASecond) {
  constexpr double kLinear = 0.05;
  constexpr double kAngular = 0.1;
  BoxBody body(MgcVector3(1.0, 2.0, 3.0));
  body.init(MgcVector3(), MgcMatrix3::IDENTITY, kUnitScale);
  const MgcVector3 v0(3.0, -1.0, 2.0);
  body.setLinearVelocity(v0);
  body.setAngularVelocity(MgcVector3(0.0, 0.0, 1.5));  // about a principal axis: L keeps its direction
  const MgcVector3 L0 = body.getDyn().angularMomentum;
  body.setAirDampingCoeff(kLinear);
  body.setAirDampingCoeff2(kAngular);

  double t = 0.0;
  for (double dt : {0.5, 0.25, 1.0 / 24.0, 0.2}) {
    advanceBodies({&body}, dt, kNoGravity, true);
    t += dt;
    const double linearFactor = std::pow(1.0 - kLinear, 100.0 * t);
    const double angularFactor = std::pow(1.0 - kAngular, 100.0 * t);
    const RBDynamics& state = body.getDyn();
    EXPECT_NEAR(state.linearVelocity.x, v0.x * linearFactor, 1e-12);
    EXPECT_NEAR(state.linearVelocity.y, v0.y * linearFactor, 1e-12);
    EXPECT_NEAR(state.linearVelocity.z, v0.z * linearFactor, 1e-12);
    EXPECT_NEAR(state.angularMomentum.z, L0.z * angularFactor, 1e-12);
  }
  // New coefficients hold from the next step on, also between steps of one
  // length (advances of whole steps).
  const double wholeSteps = 30.0 * kWorldStep;
  advanceBodies({&body}, wholeSteps, kNoGravity, true);
  body.setAirDampingCoeff(2.0 * kLinear);
  body.setAirDampingCoeff2(0.0);
  const MgcVector3 v1 = body.getDyn().linearVelocity;
  const MgcVector3 L1 = body.getDyn().angularMomentum;
  advanceBodies({&body}, wholeSteps, kNoGravity, true);
  EXPECT_NEAR(body.getDyn().linearVelocity.x, v1.x * std::pow(1.0 - 2.0 * kLinear, 100.0 * wholeSteps), 1e-12);
  EXPECT_EQ(body.getDyn().angularMomentum, L1);

  // Without the world's damping switch nothing decays.
  const MgcVector3 before = body.getDyn().linearVelocity;
  advanceBodies({&body}, 0.5, kNoGravity, false);
  EXPECT_EQ(body.getDyn().linearVelocity, before);
}

TEST(BodyDynamics, StaticBodyStaysPut) {
  BoxBody body;
  body.init(MgcVector3(1.0, 2.0, 3.0), MgcMatrix3::IDENTITY, kUnitScale);
  body.enableStatic();
  body.setLinearVelocity(MgcVector3(5.0, 0.0, 0.0));
  body.setAngularVelocity(MgcVector3(0.0, 3.0, 0.0));
  const Quaternion q = body.getDyn().orientationQuat;
  advanceAll(body, {0.1}, kGravity, true);
  EXPECT_EQ(body.getDyn().position, MgcVector3(1.0, 2.0, 3.0));
  EXPECT_EQ(body.getDyn().orientationQuat, q);
}

// Every value that a caller can hand the body leaves it finite, and a value it
// refuses loses nothing of what it held (a mass of 2, a unit scale, the
// identity orientation).
TEST(BodyDynamics, HostileInputsLeaveTheBodyFinite) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const float nanf = std::numeric_limits<float>::quiet_NaN(), inff = std::numeric_limits<float>::infinity();
  DynamicStress joint;
  BoxBody other;
  other.init(MgcVector3(0.0, 0.0, 1.0), MgcMatrix3::IDENTITY, kUnitScale);
  struct Case {
    const char* name;
    std::function<void(BoxBody&)> apply;
    std::function<void(const BoxBody&)> check = [](const BoxBody&) {};
  };
  const auto massOf = [](double m) { return [m](const BoxBody& b) { EXPECT_EQ(b.getMass(), m); }; };
  const auto identity = [](const BoxBody& b) { EXPECT_EQ(b.getDyn().orientation, MgcMatrix3::IDENTITY); };
  const std::vector<Case> cases = {
      {"zero mass", [](BoxBody& b) { b.setMass(0.0f); }, massOf(kMinBodyMass)},
      {"negative mass", [](BoxBody& b) { b.setMass(-3.0f); }, massOf(kMinBodyMass)},
      {"NaN mass", [&](BoxBody& b) { b.setMass(nanf); }, massOf(2.0)},
      {"infinite mass", [&](BoxBody& b) { b.setMass(inff); }, massOf(2.0)},
      {"largest mass", [](BoxBody& b) { b.setMass(FLT_MAX); }},
      {"damping out of range",
       [&](BoxBody& b) {
         b.setAirDampingCoeff(2.0);
         b.setAirDampingCoeff2(-0.5);
       },
       [](const BoxBody& b) {
         EXPECT_EQ(b.getAirDampingCoeff(), 1.0);
         EXPECT_EQ(b.getAirDampingCoeff2(), 0.0);
       }},
      {"NaN damping", [&](BoxBody& b) { b.setAirDampingCoeff(nan); },
       [](const BoxBody& b) { EXPECT_EQ(b.getAirDampingCoeff(), 0.0); }},
      {"zero box size rescaled",
       [](BoxBody& b) {
         b.getShape().boxSize = MgcVector3();
         b.setScale(MgcVector3(2.0, 2.0, 2.0));
       },
       massOf(2.0)},
      {"zero scale", [](BoxBody& b) { b.setScale(MgcVector3()); }},
      {"mirrored scale", [](BoxBody& b) { b.setScale(MgcVector3(-1.0, 1.0, 1.0)); }, massOf(2.0)},
      {"NaN scale", [&](BoxBody& b) { b.setScale(MgcVector3(nan, 1.0, 1.0)); },
       [](const BoxBody& b) { EXPECT_EQ(b.getShape().scale, MgcVector3(1.0, 1.0, 1.0)); }},
      {"zero quaternion", [](BoxBody& b) { b.setOrientationQuat(Quaternion(0.0, 0.0, 0.0, 0.0)); }, identity},
      {"NaN quaternion", [&](BoxBody& b) { b.setOrientationQuat(Quaternion(nan, 0.0, 0.0, 1.0)); }, identity},
      {"quaternion of length 2", [](BoxBody& b) { b.setOrientationQuat(Quaternion(0.0, 0.0, 0.0, 2.0)); },
       [](const BoxBody& b) { EXPECT_NEAR(b.getDyn().orientationQuat.Length(), 1.0, 1e-15); }},
      {"NaN orientation matrix", [&](BoxBody& b) { b.setOrientation(MgcMatrix3(nan, 0, 0, 0, 1, 0, 0, 0, 1)); }},
      {"zero quaternion turned",
       [](BoxBody& b) {
         const Quaternion zero(0.0, 0.0, 0.0, 0.0);
         b.current().orientationQuat = b.last().orientationQuat = b.current().referenceQuat = zero;
         b.rotate(MgcVector3(0.3, 0.2, 0.1));
         b.translate(MgcVector3(), MgcVector3(0.3, 0.2, 0.1));
         EXPECT_EQ(b.getDyn().orientationQuat, zero);
         b.setOrientationQuat(Quaternion(1.0, 0.0, 0.0, 0.0));
       }},
      {"non-finite motion",
       [&](BoxBody& b) {
         b.setPosition(MgcVector3(nan, 0.0, 0.0));
         b.setLinearVelocity(MgcVector3(0.0, inf, 0.0));
         b.setAngularVelocity(MgcVector3(nan, nan, nan));
       }},
      {"non-finite impulses and torques",
       [&](BoxBody& b) {
         b.applyImpulse(MgcVector3(nan, 1.0, 0.0), MgcVector3());
         b.applyImpulse(MgcVector3(1.0, 0, 0), MgcVector3(inf, 0, 0));
         b.applyTorque(MgcVector3(0.0, nan, 0.0));
       }},
      {"non-finite external forces",
       [&](BoxBody& b) {
         b.applyExternalForce(MgcVector3(nan, 0.0, 0.0));
         b.applyExternalForce(MgcVector3(1, 0, 0), MgcVector3(0, nan, 0));
         b.applyExternalTorque(MgcVector3(inf, 0.0, 0.0));
       },
       [](const BoxBody& b) { EXPECT_FALSE(b.isExternalForces()); }},
      {"NaN coefficients",
       [&](BoxBody& b) {
         b.setRestitutionCoeff(nan);
         b.setFrictionCoeff(nan);
         b.setExtractionCoeff(nan);
         b.translate(MgcVector3(5.0, 0.0, 0.0), MgcVector3());
       },
       [](const BoxBody& b) {
         EXPECT_EQ(b.getRestitutionCoeff(), 0.0);
         EXPECT_EQ(b.getFrictionCoeff(), 0.0);
         EXPECT_EQ(b.getExtractionCoeff(), 0.0);
       }},
      {"non-finite moves",
       [&](BoxBody& b) {
         b.translate(MgcVector3(nan, 0.0, 0.0), MgcVector3(0.0, inf, 0.0));
         b.moveBy(MgcVector3(0.0, nan, 0.0));
         b.rotate(MgcVector3(inf, 0.0, 0.0));
       }},
      {"infinite break energy",
       [&](BoxBody& b) {
         joint.setCNode(&b);
         joint.setPNode(&other);
         joint.setBreakEnergy(inf);
         b.ApplyBreakEnergy(&joint);
         b.ApplyBreakEnergy(nullptr);
       }},
      {"bad time steps",
       [&](BoxBody& b) {
         b.applyTorque(MgcVector3(0.0, 1.0, 0.0));
         b.integrateForces(nan, true);
         b.integrateForces(-1.0, true);
         b.integrateMotion(0.0);
         b.integrateMotion(-kWorldStep);
         b.integrateMotion(inf);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxBody body(MgcVector3(1.0, 2.0, 3.0));
    body.init(MgcVector3(), MgcMatrix3::IDENTITY, kUnitScale);
    body.setMass(2.0f);
    body.setAngularVelocity(MgcVector3(0.1, 0.2, 0.3));
    c.apply(body);
    c.check(body);
    advanceAll(body, {0.05, 0.05}, kGravity, true);
    EXPECT_TRUE(zovtest::isFiniteState(body.getDyn()));
    EXPECT_GT(body.getMass(), 0.0);
    EXPECT_TRUE(std::isfinite(body.getMass()));
    EXPECT_TRUE(std::isfinite(body.computeEnergy()));
    MgcVector3 center;
    double radius = 0.0;
    body.getBSphere(center, radius);
    EXPECT_TRUE(zov::isFinite(center));
    EXPECT_TRUE(std::isfinite(radius));
  }
}

// Bodies share no scratch data: integrating two bodies on two threads at once
// gives bit for bit what integrating them one after the other gives.
TEST(BodyDynamics, BodiesIntegrateIndependentlyOnSeparateThreads) {
  auto makeSpinningBody = [](double spin) {
    auto body = std::make_unique<BoxBody>(MgcVector3(1.0, 2.0, 3.0));
    body->init(MgcVector3(0.0, 10.0, 0.0), MgcMatrix3::IDENTITY, kUnitScale);
    body->setAngularVelocity(MgcVector3(spin, 2.0 * spin, 0.5));
    body->setLinearVelocity(MgcVector3(1.0, 0.0, spin));
    return body;
  };
  auto run = [](BoxBody& body) {
    for (int frame = 0; frame < 48; ++frame) advanceBodies({&body}, 1.0 / 24.0, kGravity, true);
  };

  auto sequentialA = makeSpinningBody(1.0);
  auto sequentialB = makeSpinningBody(-3.0);
  run(*sequentialA);
  run(*sequentialB);

  auto parallelA = makeSpinningBody(1.0);
  auto parallelB = makeSpinningBody(-3.0);
  std::thread first([&] { run(*parallelA); });
  std::thread second([&] { run(*parallelB); });
  first.join();
  second.join();

  EXPECT_EQ(parallelA->getDyn().position, sequentialA->getDyn().position);
  EXPECT_EQ(parallelA->getDyn().orientationQuat, sequentialA->getDyn().orientationQuat);
  EXPECT_EQ(parallelB->getDyn().position, sequentialB->getDyn().position);
  EXPECT_EQ(parallelB->getDyn().orientationQuat, sequentialB->getDyn().orientationQuat);
}
