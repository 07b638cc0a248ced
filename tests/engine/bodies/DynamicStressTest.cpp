// Joints: attaching and anchors, the flag words and the name, and the
// impulses that hold two bodies together, checked against the relative motion
// they cancel and against Eigen's solution of the same impulse problem.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/solver/Lsqr.h"
#include "engine/solver/LsqrSystem.h"
#include "support/BodyFixtures.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovref::Mat3;
using zovref::Vec3;
using zovtest::BoxBody;
using zovtest::toRef;

namespace {

Vec3 pointVelocity(const RBDynamics& s, const Vec3& a) {
  return toRef(s.linearVelocity) + cross(toRef(s.angularVelocity), a - toRef(s.position));
}

class JointImpulse : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(createLsqrSystems(1)); }
  void TearDown() override { destroyLsqrSystems(); }

  // A box of random size, mass, pose and motion; slot 0 holds its state.
  std::unique_ptr<BoxBody> randomBody(std::mt19937& random) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_real_distribution<double> size(0.3, 2.0);
    auto body = std::make_unique<BoxBody>(MgcVector3(size(random), size(random), size(random)));
    MgcMatrix3 R;
    MgcVector3 axis(unit(random), unit(random), unit(random) + 1.5);
    axis.Unitize(1e-9);
    R.FromAxisAngle(axis, 3.0 * unit(random));
    body->init(MgcVector3(unit(random), unit(random), unit(random)), R, MgcVector3(1, 1, 1));
    body->setMass(static_cast<float>(size(random) * 3.0));
    body->setLinearVelocity(MgcVector3(unit(random), unit(random), unit(random)) * 3.0);
    body->setAngularVelocity(MgcVector3(unit(random), unit(random), unit(random)) * 2.0);
    *body->getWorkerDyn(0) = body->getDyn();
    return body;
  }
};

// The change of the relative motion (P's point velocity minus C's at a, then
// C's spin minus P's) per unit of each impulse component, when the impulse is
// given to P and its opposite to C: built from the rigid-body laws alone.
// The n x n matrix row by row.
std::vector<double> responseMatrix(const RBDynamics& P, const RBDynamics& C, const Vec3& a, int n) {
  const Vec3 rP = a - toRef(P.position);
  const Vec3 rC = a - toRef(C.position);
  const Mat3 IP = toRef(P.worldInvInertia);
  const Mat3 IC = toRef(C.worldInvInertia);
  std::vector<double> K(n * n);
  for (int k = 0; k < n; ++k) {
    Vec3 J, T;
    (k < 3 ? J : T)[k % 3] = 1.0;
    const Vec3 dwP = IP * (cross(rP, J) + T);
    const Vec3 dwC = IC * (cross(rC, -J) - T);
    const Vec3 dP = J * P.invMass + cross(dwP, rP);
    const Vec3 dC = -J * C.invMass + cross(dwC, rC);
    const Vec3 linear = dP - dC, angular = dwC - dwP;
    for (int i = 0; i < 3; ++i) {
      K[i * n + k] = linear[i];
      if (n == 6) K[(i + 3) * n + k] = angular[i];
    }
  }
  return K;
}

TEST_F(JointImpulse, CancelsRelativeMotionAndEqualsTheLeastSquaresSolution) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 40; ++trial) {
    for (bool torsion : {false, true}) {
      auto p = randomBody(random);
      auto c = randomBody(random);
      DynamicStress joint;
      const MgcVector3 anchor = (p->getDyn().position + c->getDyn().position) * 0.5 + MgcVector3(0.1, -0.2, 0.05);
      ASSERT_TRUE(joint.attach(anchor, 1, p.get(), c.get()));
      if (torsion) joint.enableTorsion();
      const int n = joint.getNDofs();
      const Vec3 a = toRef(joint.worldAnchorMidpoint());

      const RBDynamics P0 = *p->getWorkerDyn(0);
      const RBDynamics C0 = *c->getWorkerDyn(0);
      // The impulse cancels the relative motion: K x = -relative.
      const Vec3 linear = pointVelocity(C0, a) - pointVelocity(P0, a);
      const Vec3 angular = toRef(P0.angularVelocity - C0.angularVelocity);
      const double minusRelative[6] = {linear[0], linear[1], linear[2], angular[0], angular[1], angular[2]};
      const std::vector<double> reference =
          zovref::leastSquares(n, n, responseMatrix(P0, C0, a, n).data(), minusRelative);

      const MgcMatrix3 x = joint.computeConstraintImpulse();
      const double impulse[6] = {x[0][0], x[0][1], x[0][2], x[1][0], x[1][1], x[1][2]};
      for (int i = 0; i < n; ++i)
        EXPECT_NEAR(impulse[i], reference[i], 1e-9 * (1.0 + zovref::norm(reference))) << trial;
      if (n == 3) {
        EXPECT_EQ(x[1][0] * x[1][0] + x[1][1] * x[1][1] + x[1][2] * x[1][2], 0.0);
      }

      joint.applyConstraintImpulse(impulse, 1.0);
      const RBDynamics& P1 = *p->getWorkerDyn(0);
      const RBDynamics& C1 = *c->getWorkerDyn(0);
      EXPECT_LT(norm(pointVelocity(P1, a) - pointVelocity(C1, a)), 1e-9) << trial << " " << torsion;
      if (torsion) {
        EXPECT_LT(norm(toRef(P1.angularVelocity - C1.angularVelocity)), 1e-9);
      }
    }
  }
}

// The single-body impulse brings one body's point velocity (and spin) to the
// other's; given to the CNode it is minus the solution.
TEST_F(JointImpulse, SingleBodyImpulseMatchesTheOtherBody) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 20; ++trial) {
    auto p = randomBody(random);
    auto c = randomBody(random);
    DynamicStress joint;
    joint.attach(c->getDyn().position + MgcVector3(0.3, 0.1, -0.4), 1, p.get(), c.get());
    joint.enableTorsion();
    const MgcMatrix3 x = joint.computeBodyImpulse(c.get(), 0);
    const MgcVector3 a = joint.worldAnchorMidpoint();
    applyImpulseAtPoint(c.get(), -MgcVector3(x[0][0], x[0][1], x[0][2]), a, 0);
    RBDynamics& C = *c->getWorkerDyn(0);
    C.angularMomentum -= MgcVector3(x[1][0], x[1][1], x[1][2]);
    C.angularVelocity = C.worldInvInertia * C.angularMomentum;
    const Vec3 ea = toRef(a);
    EXPECT_LT(norm(pointVelocity(C, ea) - pointVelocity(*p->getWorkerDyn(0), ea)), 1e-9);
    EXPECT_LT(norm(toRef(C.angularVelocity - p->getWorkerDyn(0)->angularVelocity)), 1e-9);
  }
}

TEST_F(JointImpulse, ZeroWhenTheBodiesMoveTogetherAndStaticPartnerGivesSingleBodyImpulse) {
  std::mt19937 random(3);
  auto p = randomBody(random);
  auto c = randomBody(random);
  // One rigid motion for both: the same point velocities and spins.
  const MgcVector3 v(0.5, -1.0, 2.0);
  const MgcVector3 w(0.3, 0.2, -0.1);
  for (BoxBody* body : {p.get(), c.get()}) {
    body->setAngularVelocity(w);
    body->setLinearVelocity(v + w.Cross(body->getDyn().position));
    *body->getWorkerDyn(0) = body->getDyn();
  }
  DynamicStress joint;
  joint.attach((p->getDyn().position + c->getDyn().position) * 0.5, 1, p.get(), c.get());
  joint.enableTorsion();
  EXPECT_EQ(joint.computeBodyImpulse(c.get(), 0), MgcMatrix3());
  EXPECT_EQ(joint.computeConstraintImpulse(), MgcMatrix3());
  joint.setBreakEnergy(1.0);
  EXPECT_NE(joint.computeConstraintImpulse(), MgcMatrix3());

  auto q = randomBody(random);
  auto s = randomBody(random);
  s->enableStatic();
  DynamicStress anchored;
  anchored.attach(q->getDyn().position, 1, s.get(), q.get());
  EXPECT_EQ(anchored.computeConstraintImpulse(), anchored.computeBodyImpulse(q.get(), 0));
  // Neither body, or a missing partner: nothing.
  EXPECT_EQ(anchored.computeBodyImpulse(p.get(), 0), MgcMatrix3());
  DynamicStress lone;
  lone.attach(MgcVector3(), 1, q.get(), nullptr);
  EXPECT_EQ(lone.computeConstraintImpulse(), MgcMatrix3());
}

// Anchors live in the bodies' frames: moving both bodies rigidly moves the
// midpoint with them. Attaching to one body makes it the CNode.
TEST(DynamicStress, AttachKeepsAnchorsInBodyFrames) {
  BoxBody a;
  BoxBody b;
  a.init(MgcVector3(-1, 0, 0), MgcMatrix3::IDENTITY, MgcVector3(1, 1, 1));
  b.init(MgcVector3(1, 0, 0), MgcMatrix3::IDENTITY, MgcVector3(1, 1, 1));
  DynamicStress joint;
  EXPECT_FALSE(joint.attach(MgcVector3(), 1, nullptr, nullptr));
  EXPECT_FALSE(joint.attach(MgcVector3(), -1, &a, &b));
  EXPECT_FALSE(joint.isActive());
  ASSERT_TRUE(joint.attach(MgcVector3(0, 0.5, 0), 1, &a, &b));
  EXPECT_EQ(joint.getPNode(), &a);
  EXPECT_EQ(joint.getCNode(), &b);
  EXPECT_TRUE(joint.isActive() && a.isJoined() && b.isJoined());
  EXPECT_EQ(joint.direction(), MgcVector3(-1, 0, 0));

  MgcMatrix3 R;
  R.FromAxisAngle(MgcVector3(0, 0, 1), 0.5 * M_PI);
  const MgcVector3 shift(2, 3, 4);
  for (BoxBody* body : {&a, &b}) {
    body->setPosition(R * body->getDyn().position + shift);
    body->setOrientation(R);
  }
  const MgcVector3 moved = joint.worldAnchorMidpoint();
  const MgcVector3 expected = R * MgcVector3(0, 0.5, 0) + shift;
  EXPECT_NEAR((moved - expected).Length(), 0.0, 1e-12);
  const MgcVector3 there(5, 5, 5);
  EXPECT_TRUE(joint.setAnchor(&there));
  EXPECT_NEAR((joint.worldAnchorMidpoint() - there).Length(), 0.0, 1e-12);
  EXPECT_FALSE(joint.setAnchor(nullptr));

  DynamicStress single;
  BoxBody c;
  ASSERT_TRUE(single.attach(MgcVector3(1, 2, 3), 1, nullptr, &c));
  EXPECT_EQ(single.getCNode(), &c);
  EXPECT_EQ(single.getPNode(), nullptr);
  EXPECT_EQ(single.getPAnchor(), MgcVector3(1, 2, 3));
  DynamicStress unattached;
  EXPECT_FALSE(unattached.setAnchor(&there));
}

TEST(DynamicStress, FlagWordsNameAndThreadMarks) {
  DynamicStress joint;
  EXPECT_EQ(joint.getNDofs(), 3);
  EXPECT_EQ(joint.getNPoints(), 1);
  joint.enableTorsion();
  EXPECT_EQ(joint.getNDofs(), 6);

  // storeInitialState: set bits are added, a mask whose bits are all clear
  // clears them; applyInitialState copies the whole word.
  joint.setFlags(kJointActive | kJointBreakByForce);
  joint.storeInitialState(kJointBreakByForce);
  EXPECT_EQ(joint.getInitialFlags(), kJointBreakByForce);
  joint.storeInitialState(kJointBreakByFrame);
  EXPECT_EQ(joint.getInitialFlags(), kJointBreakByForce);
  joint.setFlags(kJointBreakByFrame);
  joint.storeInitialState(kJointBreakByFrame);
  EXPECT_EQ(joint.getInitialFlags(), kJointBreakByForce | kJointBreakByFrame);
  joint.setFlags(0);
  joint.storeInitialState(kJointBreakByFrame);
  EXPECT_EQ(joint.getInitialFlags(), kJointBreakByForce);
  joint.setFlags(kJointTorsion);
  joint.applyInitialState();
  EXPECT_EQ(joint.getFlags(), kJointBreakByForce);

  // Names are cut to the buffer and always end in a zero.
  const std::string longName(400, 'x');
  joint.setName(longName.c_str());
  EXPECT_EQ(std::strlen(joint.getName()), static_cast<size_t>(kJointNameLength - 1));
  joint.setName("short");
  EXPECT_STREQ(joint.getName(), "short");
  joint.setName(nullptr);
  EXPECT_STREQ(joint.getName(), "");

  for (int t : {-1, 0, 5, kThreadSlotCount - 1, kThreadSlotCount, 1000}) {
    joint.enableProcessedThread(t);
    EXPECT_EQ(joint.isProcessedThread(t), t >= 0 && t < kThreadSlotCount) << t;
    joint.disableProcessedThread(t);
    EXPECT_FALSE(joint.isProcessedThread(t));
  }
  DynamicStress copy(joint);
  EXPECT_STREQ(copy.getName(), joint.getName());
  EXPECT_EQ(copy.getFlags(), joint.getFlags());
}

TEST(DynamicStress, MatrixDiagonalClearsTheUsedBlock) {
  dmat* m = alloc_dmat(6, 6);
  for (int i = 0; i < 36; ++i) m->data[i] = 7.0;
  m->rows = 3;
  m->columns = 3;
  setMatrixDiagonal(m, 2.5);
  for (std::uint32_t r = 0; r < 6; ++r) {
    for (std::uint32_t c = 0; c < 6; ++c) {
      const double expected = (r < 3 && c < 3) ? (r == c ? 2.5 : 0.0) : 7.0;
      EXPECT_EQ(m->data[r * m->stride + c], expected) << r << " " << c;
    }
  }
  free_dmat(m);
}

}  // namespace
