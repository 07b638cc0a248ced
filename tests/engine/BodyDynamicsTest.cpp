// Integration of bodies as the world's advance drives it: free fall, torque-free
// spin, air damping, hostile inputs and bodies integrated on several threads.

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <Eigen/Geometry>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/DynamicStress.h"
#include "math/MgcQuaternion.h"
#include "support/BodyFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;
using zovtest::advanceBodies;
using zovtest::BoxBody;
using zovtest::kWorldStep;

namespace {

const MgcVector3 kGravity(0.0, -10.0, 0.0);
const MgcVector3 kNoGravity;
const MgcVector3 kUnitScale(1.0, 1.0, 1.0);

static_assert(kWorldStep == 0.0033333334140479565, "the world steps in single-precision 1/300 s");

// Runs `body` through advances of the given lengths.
void advanceAll(BoxBody& body, const std::vector<double>& advances, const MgcVector3& gravity, bool damping) {
  for (double dt : advances) advanceBodies({&body}, dt, gravity, damping);
}

std::vector<double> equalSplit(int count, double total) { return std::vector<double>(count, total / count); }

Eigen::Vector3d toEigen(const MgcVector3& v) { return {v.x, v.y, v.z}; }

Eigen::Matrix3d toEigen(const MgcMatrix3& m) {
  Eigen::Matrix3d e;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) e(r, c) = m[r][c];
  return e;
}

struct Split {
  const char* name;
  std::vector<double> advances;
};

std::vector<Split> splitsOfOneSecond() {
  std::vector<double> mixed = {0.25, 0.001, 0.1, 1.0 / 24.0, 0.3, 0.0005};
  double used = 0.0;
  for (double dt : mixed) used += dt;
  mixed.push_back(1.0 - used);
  return {{"one advance", {1.0}},
          {"24 frames", equalSplit(24, 1.0)},
          {"100 substeps", equalSplit(100, 1.0)},
          {"300 world steps", equalSplit(300, 1.0)},
          {"1000 short advances", equalSplit(1000, 1.0)},
          {"uneven advances", mixed}};
}

}  // namespace

// Velocities change linearly within a step under constant gravity, and
// positions move by the mean of the step's start and end velocity, so the
// scheme is exact for constant acceleration: the fall from rest over t is
// g t^2 / 2 with no truncation error whatever the steps. What remains is
// rounding: at most a few units in the last place per step over at most a
// thousand steps, far below 1e-9.
TEST(BodyDynamics, FreeFallIsExactAndIndependentOfHowTheSecondIsSplit) {
  constexpr double kRoundingBound = 1e-9;
  for (const Split& split : splitsOfOneSecond()) {
    SCOPED_TRACE(split.name);
    BoxBody body;
    body.init(MgcVector3(0.0, 100.0, 0.0), MgcMatrix3::IDENTITY, kUnitScale);
    body.setMass(3.0f);
    advanceAll(body, split.advances, kGravity, true);

    const RBDynamics& state = body.getDyn();
    EXPECT_NEAR(100.0 - state.position.y, 5.0, kRoundingBound);
    EXPECT_NEAR(state.position.x, 0.0, kRoundingBound);
    EXPECT_NEAR(state.position.z, 0.0, kRoundingBound);
    EXPECT_NEAR(state.linearVelocity.y, -10.0, kRoundingBound);
    EXPECT_NEAR(state.linearVelocity.x, 0.0, kRoundingBound);
    EXPECT_NEAR(state.linearVelocity.z, 0.0, kRoundingBound);
  }
}

// A constant torque T about a principal axis from rest: w = T t / I exactly,
// and the angle T t^2 / (2 I). The turn of each step uses the rate at the end
// of the step plus half a step of acceleration, h (w_k+1 + h a / 2), where the
// exact turn is h (w_k+1 - h a / 2): the excess a h^2 per step adds up to at
// most a t h over the second.
TEST(BodyDynamics, ConstantTorqueSpinIsIndependentOfHowTheSecondIsSplit) {
  constexpr double kTorque = 1.6;
  for (const Split& split : splitsOfOneSecond()) {
    SCOPED_TRACE(split.name);
    BoxBody body(MgcVector3(1.0, 2.0, 3.0));
    body.init(MgcVector3(), MgcMatrix3::IDENTITY, kUnitScale);
    body.setMass(2.0f);
    body.applyExternalTorque(MgcVector3(0.0, 0.0, kTorque));
    advanceAll(body, split.advances, kNoGravity, false);

    const double acceleration = kTorque / body.getLocalInertiaTensor()[2][2];
    const Quaternion& q = body.getDyn().orientationQuat;
    const double angle = 2.0 * std::atan2(q.Z(), q.W());
    EXPECT_NEAR(body.getDyn().angularVelocity.z, acceleration * 1.0, 1e-12);
    EXPECT_NEAR(angle, acceleration / 2.0, acceleration * kWorldStep + 1e-12);
    EXPECT_NEAR(q.X(), 0.0, 1e-15);
    EXPECT_NEAR(q.Y(), 0.0, 1e-15);
  }
}

// Reference solution of the torque-free rigid body: the orientation quaternion
// obeys q' = (0, w) q / 2 with w = R I^-1 R^T L and L constant; classical RK4
// with a step far below the engine's.
Eigen::Quaterniond referenceSpin(Eigen::Quaterniond q, const Eigen::Matrix3d& bodyInverseInertia,
                                 const Eigen::Vector3d& L, double duration) {
  auto derivative = [&](const Eigen::Vector4d& y) {
    Eigen::Quaterniond qq(y[0], y[1], y[2], y[3]);
    qq.normalize();
    const Eigen::Matrix3d R = qq.toRotationMatrix();
    const Eigen::Vector3d w = R * bodyInverseInertia * R.transpose() * L;
    const Eigen::Quaterniond dq = Eigen::Quaterniond(0.0, w.x(), w.y(), w.z()) * qq;
    return Eigen::Vector4d(0.5 * dq.w(), 0.5 * dq.x(), 0.5 * dq.y(), 0.5 * dq.z());
  };
  constexpr int kSteps = 20000;
  const double h = duration / kSteps;
  Eigen::Vector4d y(q.w(), q.x(), q.y(), q.z());
  for (int i = 0; i < kSteps; ++i) {
    const Eigen::Vector4d k1 = derivative(y);
    const Eigen::Vector4d k2 = derivative(y + 0.5 * h * k1);
    const Eigen::Vector4d k3 = derivative(y + 0.5 * h * k2);
    const Eigen::Vector4d k4 = derivative(y + h * k3);
    y += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
  }
  return Eigen::Quaterniond(y[0], y[1], y[2], y[3]).normalized();
}

TEST(BodyDynamics, TorqueFreeSpinningBoxKeepsMomentumAndEnergy) {
  BoxBody body(MgcVector3(1.0, 2.0, 3.0));
  MgcMatrix3 start;
  start.FromAxisAngle(MgcVector3(0.6, 0.0, 0.8), 0.7);
  body.init(MgcVector3(1.0, 2.0, 3.0), start, kUnitScale);
  body.setMass(2.0f);
  body.setAngularVelocity(MgcVector3(1.0, 0.5, 2.0));

  const Eigen::Vector3d L0 = toEigen(body.getDyn().angularMomentum);
  const double energy0 = body.computeEnergy();
  double worstEnergyDrift = 0.0;
  for (int frame = 0; frame < 240; ++frame) {  // 10 s at 24 frames a second
    advanceBodies({&body}, 1.0 / 24.0, kNoGravity, false);
    const double drift = std::fabs(body.computeEnergy() - energy0) / energy0;
    worstEnergyDrift = std::max(worstEnergyDrift, drift);
  }
  EXPECT_LT((toEigen(body.getDyn().angularMomentum) - L0).norm(), 1e-12 * L0.norm());
  EXPECT_LT(worstEnergyDrift, 1e-3);
  EXPECT_NEAR(body.getDyn().position.x, 1.0, 1e-12);
}

TEST(BodyDynamics, TorqueFreeSpinFollowsTheEquationsOfMotion) {
  BoxBody body(MgcVector3(1.0, 2.0, 3.0));
  body.init(MgcVector3(), MgcMatrix3::IDENTITY, kUnitScale);
  body.setMass(2.0f);
  body.setAngularVelocity(MgcVector3(1.0, 0.5, 2.0));
  const Eigen::Vector3d L = toEigen(body.getDyn().angularMomentum);
  const Eigen::Matrix3d bodyInverse = toEigen(body.getLocalInertiaTensor()).inverse();

  advanceAll(body, equalSplit(48, 2.0), kNoGravity, false);

  const Eigen::Quaterniond expected = referenceSpin(Eigen::Quaterniond::Identity(), bodyInverse, L, 2.0);
  const Eigen::Matrix3d actual = toEigen(body.getDyn().orientation);
  const double angleError = Eigen::AngleAxisd(expected.toRotationMatrix().transpose() * actual).angle();
  EXPECT_LT(angleError, 1e-4);
  // The quaternion and the matrix describe the same rotation.
  MgcMatrix3 fromQuat;
  body.getDyn().orientationQuat.ToRotationMatrix(fromQuat);
  EXPECT_LT((toEigen(fromQuat) - actual).cwiseAbs().maxCoeff(), 1e-12);
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
// refuses loses nothing of what it held.
TEST(BodyDynamics, HostileInputsLeaveTheBodyFinite) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const float nanf = std::numeric_limits<float>::quiet_NaN();
  const float inff = std::numeric_limits<float>::infinity();
  DynamicStress infiniteJoint;

  struct Case {
    const char* name;
    std::function<void(BoxBody&)> apply;
    std::function<void(const BoxBody&)> check;
  };
  const auto keepsMassOfTwo = [](const BoxBody& b) { EXPECT_DOUBLE_EQ(b.getMass(), 2.0); };
  const auto noCheck = [](const BoxBody&) {};
  const std::vector<Case> cases = {
      {"zero mass", [](BoxBody& b) { b.setMass(0.0f); },
       [](const BoxBody& b) { EXPECT_EQ(b.getMass(), kMinBodyMass); }},
      {"negative mass", [](BoxBody& b) { b.setMass(-3.0f); },
       [](const BoxBody& b) { EXPECT_EQ(b.getMass(), kMinBodyMass); }},
      {"NaN mass", [&](BoxBody& b) { b.setMass(nanf); }, keepsMassOfTwo},
      {"infinite mass", [&](BoxBody& b) { b.setMass(inff); }, keepsMassOfTwo},
      {"largest mass", [](BoxBody& b) { b.setMass(FLT_MAX); }, noCheck},
      {"damping above 1",
       [](BoxBody& b) {
         b.setAirDampingCoeff(2.0);
         b.setAirDampingCoeff2(40.0);
       },
       [](const BoxBody& b) {
         EXPECT_EQ(b.getAirDampingCoeff(), 1.0);
         EXPECT_EQ(b.getAirDampingCoeff2(), 1.0);
       }},
      {"negative damping",
       [](BoxBody& b) {
         b.setAirDampingCoeff(-1.0);
         b.setAirDampingCoeff2(-0.5);
       },
       [](const BoxBody& b) {
         EXPECT_EQ(b.getAirDampingCoeff(), 0.0);
         EXPECT_EQ(b.getAirDampingCoeff2(), 0.0);
       }},
      {"NaN damping",
       [&](BoxBody& b) {
         b.setAirDampingCoeff(nan);
         b.setAirDampingCoeff2(nan);
       },
       [](const BoxBody& b) { EXPECT_EQ(b.getAirDampingCoeff(), 0.0); }},
      {"zero box size rescaled",
       [](BoxBody& b) {
         b.getShape().boxSize = MgcVector3();
         b.setScale(MgcVector3(2.0, 2.0, 2.0));
       },
       [&](const BoxBody& b) {
         keepsMassOfTwo(b);
         EXPECT_EQ(b.getShape().scale, MgcVector3(2.0, 2.0, 2.0));
       }},
      {"zero scale", [](BoxBody& b) { b.setScale(MgcVector3()); }, noCheck},
      {"mirrored scale keeps the mass", [](BoxBody& b) { b.setScale(MgcVector3(-1.0, 1.0, 1.0)); }, keepsMassOfTwo},
      {"NaN scale", [&](BoxBody& b) { b.setScale(MgcVector3(nan, 1.0, 1.0)); },
       [](const BoxBody& b) { EXPECT_EQ(b.getShape().scale, MgcVector3(1.0, 1.0, 1.0)); }},
      {"zero quaternion", [](BoxBody& b) { b.setOrientationQuat(Quaternion(0.0, 0.0, 0.0, 0.0)); },
       [](const BoxBody& b) { EXPECT_EQ(b.getDyn().orientation, MgcMatrix3::IDENTITY); }},
      {"NaN quaternion", [&](BoxBody& b) { b.setOrientationQuat(Quaternion(nan, 0.0, 0.0, 1.0)); },
       [](const BoxBody& b) { EXPECT_EQ(b.getDyn().orientation, MgcMatrix3::IDENTITY); }},
      {"quaternion of length 2", [](BoxBody& b) { b.setOrientationQuat(Quaternion(0.0, 0.0, 0.0, 2.0)); },
       [](const BoxBody& b) {
         EXPECT_NEAR(b.getDyn().orientationQuat.Length(), 1.0, 1e-15);
         EXPECT_NEAR(b.getDyn().orientation.Determinant(), 1.0, 1e-14);
       }},
      {"NaN orientation matrix", [&](BoxBody& b) { b.setOrientation(MgcMatrix3(nan, 0, 0, 0, 1, 0, 0, 0, 1)); },
       noCheck},
      {"zero quaternion turned",
       [](BoxBody& b) {
         b.current().orientationQuat = Quaternion(0.0, 0.0, 0.0, 0.0);
         b.rotate(MgcVector3(0.3, 0.2, 0.1));
         EXPECT_EQ(b.getDyn().orientationQuat, Quaternion(0.0, 0.0, 0.0, 0.0));
         b.last().orientationQuat = Quaternion(0.0, 0.0, 0.0, 0.0);
         b.current().referenceQuat = Quaternion(0.0, 0.0, 0.0, 0.0);
         b.translate(MgcVector3(), MgcVector3(0.3, 0.2, 0.1));
         EXPECT_EQ(b.getDyn().orientationQuat, Quaternion(0.0, 0.0, 0.0, 0.0));
         b.setOrientationQuat(Quaternion(1.0, 0.0, 0.0, 0.0));
       },
       noCheck},
      {"NaN position", [&](BoxBody& b) { b.setPosition(MgcVector3(nan, 0.0, 0.0)); }, noCheck},
      {"infinite velocity", [&](BoxBody& b) { b.setLinearVelocity(MgcVector3(0.0, inf, 0.0)); }, noCheck},
      {"NaN angular velocity", [&](BoxBody& b) { b.setAngularVelocity(MgcVector3(nan, nan, nan)); }, noCheck},
      {"NaN impulse", [&](BoxBody& b) { b.applyImpulse(MgcVector3(nan, 1.0, 0.0), MgcVector3()); }, noCheck},
      {"infinite impulse point", [&](BoxBody& b) { b.applyImpulse(MgcVector3(1.0, 0, 0), MgcVector3(inf, 0, 0)); },
       noCheck},
      {"NaN torque", [&](BoxBody& b) { b.applyTorque(MgcVector3(0.0, nan, 0.0)); }, noCheck},
      {"NaN external force", [&](BoxBody& b) { b.applyExternalForce(MgcVector3(nan, 0.0, 0.0)); },
       [](const BoxBody& b) { EXPECT_FALSE(b.isExternalForces()); }},
      {"NaN force point", [&](BoxBody& b) { b.applyExternalForce(MgcVector3(1, 0, 0), MgcVector3(0, nan, 0)); },
       [](const BoxBody& b) { EXPECT_FALSE(b.isExternalForces()); }},
      {"infinite external torque", [&](BoxBody& b) { b.applyExternalTorque(MgcVector3(inf, 0.0, 0.0)); },
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
      {"NaN extraction move",
       [&](BoxBody& b) {
         b.translate(MgcVector3(nan, 0.0, 0.0), MgcVector3(0.0, inf, 0.0));
         b.moveBy(MgcVector3(0.0, nan, 0.0));
         b.rotate(MgcVector3(inf, 0.0, 0.0));
       },
       noCheck},
      {"infinite break energy",
       [&](BoxBody& b) {
         BoxBody other;
         other.init(MgcVector3(0.0, 0.0, 1.0), MgcMatrix3::IDENTITY, kUnitScale);
         infiniteJoint.setCNode(&b);
         infiniteJoint.setPNode(&other);
         infiniteJoint.setBreakEnergy(inf);
         b.ApplyBreakEnergy(&infiniteJoint);
         b.ApplyBreakEnergy(nullptr);
       },
       noCheck},
      {"bad time steps",
       [&](BoxBody& b) {
         b.applyTorque(MgcVector3(0.0, 1.0, 0.0));
         b.integrateForces(nan, true);
         b.integrateForces(-1.0, true);
         b.integrateMotion(0.0);
         b.integrateMotion(-kWorldStep);
         b.integrateMotion(inf);
       },
       noCheck},
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
    EXPECT_TRUE(std::isfinite(body.getMass()));
    EXPECT_GT(body.getMass(), 0.0);
    EXPECT_TRUE(std::isfinite(body.computeEnergy()));
    MgcVector3 center;
    double radius = 0.0;
    body.getBSphere(center, radius);
    EXPECT_TRUE(zovtest::isFiniteVector(center));
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
