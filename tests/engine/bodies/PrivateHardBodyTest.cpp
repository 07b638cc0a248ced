// The plain body's operations: marks, impulses, energy, rest test, bounded
// moves, saved states, rescaling, break impulses, bounds and mesh ownership.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "geometry/MeshTransforms.h"
#include "math/MgcQuaternion.h"
#include "math/Tolerances.h"
#include "support/BodyFixtures.h"
#include "support/MathTestUtil.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using Mgc::Quaternion;
using zovref::Mat3;
using zovref::Vec3;
using zovtest::BoxBody;
using zovtest::toRef;

namespace {

const MgcVector3 kUnitScale(1.0, 1.0, 1.0);

static_assert(!std::is_copy_constructible_v<BoxBody> && !std::is_copy_assignable_v<BoxBody>,
              "a body owns its mesh: copies would delete it twice");

using zovtest::rotationAbout;

// A placed, awake box of size (1, 2, 3) and mass 2.
std::unique_ptr<BoxBody> placedBox(const MgcVector3& position = {}, const MgcMatrix3& R = MgcMatrix3::IDENTITY) {
  auto body = std::make_unique<BoxBody>(MgcVector3(1.0, 2.0, 3.0));
  body->init(position, R, kUnitScale);
  body->setMass(2.0f);
  return body;
}

// A mesh of the box [-0.5, 0.5]^3, given to the caller to own.
ZOVmesh* unitCubeMesh() {
  auto* mesh = new ZOVmesh();
  ZOVAAbox box;
  box.min = MgcVector3(-0.5, -0.5, -0.5);
  box.max = MgcVector3(0.5, 0.5, 0.5);
  meshFromAABB(box, mesh);
  return mesh;
}

}  // namespace

TEST(PrivateHardBody, ProcessedMarksCoverEveryThreadSlot) {
  BoxBody body;
  EXPECT_EQ(body.getProcessedThreadID(), -1);
  body.enableProcessedThread(7);
  body.enableProcessedThread(3);
  EXPECT_EQ(body.getProcessedThreadID(), 3);
  // The calling thread is slot 0 and workers run up to 32.
  BoxBody lastWorker;
  lastWorker.enableProcessedThread(kMaxWorkerThreads);
  EXPECT_EQ(lastWorker.getProcessedThreadID(), kMaxWorkerThreads);
  EXPECT_TRUE(lastWorker.isProcessedThread(kMaxWorkerThreads));
  for (int outside : {-1, kThreadSlotCount, 1000}) {
    lastWorker.enableProcessedThread(outside);
    EXPECT_FALSE(lastWorker.isProcessedThread(outside));
  }
  EXPECT_NE(body.getWorkerDyn(0), body.getWorkerDyn(kMaxWorkerThreads));
  EXPECT_NE(body.getWorkerDyn(kMaxWorkerThreads), nullptr);
  EXPECT_EQ(body.getWorkerDyn(kThreadSlotCount), nullptr);
  EXPECT_EQ(body.getWorkerDyn(-1), nullptr);

  body.enableProcessed();
  body.resetProcessedThreads();
  EXPECT_EQ(body.getProcessedThreadID(), -1);
  EXPECT_FALSE(body.isProcessed());
}

// Every thread slot sets and clears only its own mark, several threads on one
// body at once: no thread's mark is lost or taken by another's change.
TEST(PrivateHardBody, ProcessedMarksOfConcurrentThreadsStayApart) {
  BoxBody body;
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    // Slots 1..8 and 25..32: both halves of a 32-bit word and beyond it.
    const int slot = t < 4 ? t + 1 : kMaxWorkerThreads - 7 + t;
    threads.emplace_back([&body, slot] {
      for (int i = 0; i < kRounds; ++i) {
        body.enableProcessedThread(slot);
        if (!body.isProcessedThread(slot)) return;
        body.disableProcessedThread(slot);
        if (body.isProcessedThread(slot)) return;
      }
      // Odd slots end marked.
      if (slot % 2 == 1) body.enableProcessedThread(slot);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int slot = 0; slot < kThreadSlotCount; ++slot) {
    const bool used = (slot >= 1 && slot <= 4) || slot >= kMaxWorkerThreads - 3;
    EXPECT_EQ(body.isProcessedThread(slot), used && slot % 2 == 1) << slot;
  }
  EXPECT_EQ(body.getProcessedThreadID(), 1);
}

// An impulse J at a point P changes the velocity of that point by K J with
// K = I/m - [r] I^-1 [r], r = P - x: the textbook collision matrix.
TEST(PrivateHardBody, ImpulsesChangeVelocitiesByTheCollisionMatrix) {
  auto body = placedBox(MgcVector3(1.0, -2.0, 0.5), rotationAbout(MgcVector3(1.0, 2.0, 3.0), 0.8));
  body->setLinearVelocity(MgcVector3(0.5, 0.0, 0.0));
  body->setAngularVelocity(MgcVector3(0.0, 1.0, 0.2));
  const MgcVector3 P(1.4, -1.1, 1.7);
  const MgcVector3 J(0.3, -2.0, 1.1);
  const Vec3 before = toRef(body->getPointVelocity(P));
  body->applyImpulse(J, P);
  const Vec3 after = toRef(body->getPointVelocity(P));

  const Vec3 r = toRef(P - body->getDyn().position);
  const Mat3 skew(0, -r.z(), r.y(), r.z(), 0, -r.x(), -r.y(), r.x(), 0);
  const Mat3 K = Mat3::identity() / body->getMass() - skew * toRef(body->getDyn().worldInvInertia) * skew;
  EXPECT_LT(zovref::norm(after - before - K * toRef(J)), 1e-12);

  // Through the reference point: no spin, and a sleeping body wakes.
  body->deActivate();
  body->countSleeping();
  const MgcVector3 v = body->getDyn().linearVelocity, w = body->getDyn().angularVelocity;
  body->applyImpulse(MgcVector3(4.0, 0.0, -2.0));
  EXPECT_TRUE(body->isActive());
  EXPECT_EQ(body->getsleepCount(), 0);
  EXPECT_EQ(body->getDyn().angularVelocity, w);
  EXPECT_LT((body->getDyn().linearVelocity - v - MgcVector3(2.0, 0.0, -1.0)).Length(), 1e-15);
}

TEST(PrivateHardBody, EnergyIsTwiceTheKineticEnergy) {
  auto body = placedBox(MgcVector3(), rotationAbout(MgcVector3(0.0, 1.0, 1.0), 0.3));
  body->setLinearVelocity(MgcVector3(1.0, 0.0, 0.0));
  EXPECT_DOUBLE_EQ(body->computeEnergy(), 2.0);
  const MgcVector3 w(0.4, -1.0, 0.7);
  body->setAngularVelocity(w);
  const double rotational = zovref::dot(toRef(w), toRef(body->getDyn().worldInertia) * toRef(w));
  EXPECT_NEAR(body->computeEnergy(), 2.0 + rotational, 1e-12);

  const double before = body->computeEnergy();
  body->enableStatic();
  EXPECT_EQ(body->computeEnergy(), zov::kMaxFloat);
  body->disableStatic();
  EXPECT_EQ(body->computeEnergy(), before);
}

TEST(PrivateHardBody, RestTestSeesMovesAndTurnsAboveTheTolerance) {
  struct Case {
    const char* name;
    MgcVector3 move;
    double turn;
    bool active;
    bool moving;
  };
  const std::vector<Case> cases = {
      {"at rest", {}, 0.0, true, false},
      {"move of 0.001", {0.001, 0.0, 0.0}, 0.0, true, false},
      {"move of 0.01", {0.0, 0.01, 0.0}, 0.0, true, true},
      {"turn of 1e-6 rad", {}, 1e-6, true, false},
      {"turn of 0.01 rad", {}, 0.01, true, true},
      {"asleep and moved", {1.0, 1.0, 1.0}, 1.0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto body = placedBox(MgcVector3(1.0, 2.0, 3.0), rotationAbout(MgcVector3(1.0, 0.0, 1.0), 0.5));
    body->storeLastDynamics();
    body->moveBy(c.move);
    body->rotate(MgcVector3());  // no turn
    if (c.turn != 0.0)
      body->setOrientation(rotationAbout(MgcVector3(0.0, 1.0, 0.0), c.turn) * body->getDyn().orientation);
    if (!c.active) body->deActivate();
    EXPECT_EQ(body->updateSleepState(), c.moving);
  }
  // A mesh that moves by its vertices keeps the body awake.
  auto body = placedBox();
  body->storeLastDynamics();
  ZOVmesh* mesh = unitCubeMesh();
  mesh->hasVertexData = 1;
  body->modify(mesh);
  EXPECT_TRUE(body->updateSleepState());
}

TEST(PrivateHardBody, ExtractionMovesStayNearTheLastStep) {
  auto body = placedBox(MgcVector3(0.0, 0.0, 0.0));
  body->storeLastDynamics();
  body->setLinearVelocity(MgcVector3(1.0, 0.5, 0.0));
  body->setAngularVelocity(MgcVector3(0.0, 0.0, 2.0));
  body->integrateForces(0.1, false);
  body->integrateMotion(0.1);  // the step went from (0,0,0) to (0.1, 0.05, 0)

  // With coefficient 0 a push ends inside the box of the step's two ends.
  body->setExtractionCoeff(0.0);
  body->translate(MgcVector3(5.0, -5.0, 5.0), MgcVector3());
  EXPECT_EQ(body->getDyn().position, MgcVector3(0.1, 0.0, 0.0));
  // A turn stays between the step's two orientations, component by component.
  body->translate(MgcVector3(), MgcVector3(0.0, 0.0, 50.0));
  const Quaternion& q = body->getDyn().orientationQuat;
  const Quaternion& lastQ = body->getLastDyn().orientationQuat;
  const Quaternion& stepQ = body->getDyn().referenceQuat;
  for (int i = 0; i < 4; ++i) {
    EXPECT_GE(q[i], std::min(lastQ[i], stepQ[i]) - 1e-12);
    EXPECT_LE(q[i], std::max(lastQ[i], stepQ[i]) + 1e-12);
  }
  EXPECT_NEAR(q.Length(), 1.0, 1e-12);

  // With coefficient 1 the push is unbounded, as moveBy is.
  body->setExtractionCoeff(1.0);
  const MgcVector3 from = body->getDyn().position;
  body->translate(MgcVector3(5.0, -5.0, 5.0), MgcVector3());
  EXPECT_EQ(body->getDyn().position, from + MgcVector3(5.0, -5.0, 5.0));
  EXPECT_FALSE(body->isWorldModified());
}

TEST(PrivateHardBody, RotateTurnsByTheImpulseOverTheInertia) {
  auto body = placedBox();
  const MgcVector3 impulse(0.0, 0.0, 0.5);
  const double angle = impulse.z / body->getLocalInertiaTensor()[2][2];
  body->rotate(impulse);
  const Mat3 expected = zovref::axisAngleMatrix(angle, Vec3::unit(2));
  EXPECT_LT(zovref::maxAbs(toRef(body->getDyn().orientation) - expected), 1e-12);
}

TEST(PrivateHardBody, SaveDynamicsCopiesOnlyTheAskedParts) {
  struct Case {
    int what;
    bool velocity, spin, mass, whole;
  };
  const std::vector<Case> cases = {
      {kSaveAll, true, true, true, true},
      {kSaveLinearVelocity, true, false, false, false},
      {kSaveLinearVelocity | kSaveAngularVelocity, true, false, false, false},
      {kSaveAngularVelocity, false, true, false, false},
      {kSaveMass, false, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto body = placedBox();
    body->saveDynamics(kSaveAll);
    const RBDynamics saved = body->getDynInit();
    body->setLinearVelocity(MgcVector3(1.0, 2.0, 3.0));
    body->setAngularVelocity(MgcVector3(0.5, 0.0, 0.0));
    body->setMass(5.0f);
    body->setPosition(MgcVector3(9.0, 9.0, 9.0));
    body->saveDynamics(c.what);
    const RBDynamics& init = body->getDynInit();
    const RBDynamics& now = body->getDyn();
    EXPECT_EQ(init.linearVelocity, c.velocity ? now.linearVelocity : saved.linearVelocity);
    EXPECT_EQ(init.angularVelocity, c.spin || c.whole ? now.angularVelocity : saved.angularVelocity);
    EXPECT_EQ(init.invMass, c.mass ? now.invMass : saved.invMass);
    EXPECT_EQ(init.position, c.whole ? now.position : saved.position);
  }
}

// The body's five states followed literally: a store backs up the last and
// the current state, then last = current; a rollback returns both from the
// backups, which stay.
struct StateModel {
  RBDynamics last, current, lastBackup, currentBackup;
  void store() {
    lastBackup = last;
    currentBackup = current;
    last = current;
  }
  void rollback() {
    current = currentBackup;
    last = lastBackup;
  }
};

bool sameState(const RBDynamics& a, const RBDynamics& b) {
  static_assert(sizeof(RBDynamics) == 63 * sizeof(double), "a state is 63 doubles");
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A body that never saved starts from the textbook rest state, and each body's
// saves change its own initial state only, whichever body saved first.
TEST(PrivateHardBody, InitialStateIsTheRestStateUntilSavedAndRestoringReturnsToIt) {
  const auto isRestState = [](const RBDynamics& s) {
    const MgcVector3 zero;
    const Quaternion q = s.orientationQuat;
    return s.position == zero && s.integratedPosition == zero && s.orientation == MgcMatrix3::IDENTITY &&
           q.W() == 1.0 && q.X() == 0.0 && q.Y() == 0.0 && q.Z() == 0.0 && s.linearVelocity == zero &&
           s.angularVelocity == zero && s.angularMomentum == zero && s.dynForce == zero && s.dynTorque == zero &&
           s.externalForce == zero && s.externalTorque == zero && s.invMass == 1.0 &&
           s.worldInertia == MgcMatrix3::IDENTITY && s.worldInvInertia == MgcMatrix3::IDENTITY;
  };
  auto first = placedBox(MgcVector3(1.0, 2.0, 3.0), rotationAbout(MgcVector3(0.0, 0.0, 1.0), 0.5));
  auto second = placedBox(MgcVector3(-4.0, 0.0, 0.0));
  EXPECT_TRUE(isRestState(first->getDynInit()));
  EXPECT_TRUE(isRestState(second->getDynInit()));

  // Part of the state saved: the rest state with that part changed.
  first->setLinearVelocity(MgcVector3(0.0, -3.0, 0.0));
  first->saveDynamics(kSaveLinearVelocity);
  RBDynamics expected = second->getDynInit();
  expected.linearVelocity = MgcVector3(0.0, -3.0, 0.0);
  EXPECT_TRUE(sameState(first->getDynInit(), expected));
  EXPECT_TRUE(isRestState(second->getDynInit()));

  // Restoring puts the current and last states to the body's own initial state.
  first->restoreDynamics();
  second->restoreDynamics();
  EXPECT_TRUE(sameState(first->getDyn(), expected));
  EXPECT_TRUE(sameState(first->getLastDyn(), expected));
  EXPECT_TRUE(isRestState(second->getDyn()));
  EXPECT_TRUE(isRestState(second->getLastDyn()));

  // A whole save of the other body leaves the first one's.
  second->setPosition(MgcVector3(5.0, 5.0, 5.0));
  second->saveDynamics(kSaveAll);
  EXPECT_EQ(second->getDynInit().position, MgcVector3(5.0, 5.0, 5.0));
  EXPECT_TRUE(sameState(first->getDynInit(), expected));
  auto third = placedBox();
  EXPECT_TRUE(isRestState(third->getDynInit()));
}

// A box whose copy of the current state's backup can be seen.
struct BackupBox : BoxBody {
  BackupBox() : BoxBody(MgcVector3(1.0, 2.0, 3.0)) {}
  bool keepsCurrentBackupApart() const { return dynBackup != nullptr; }
};

// Whatever changes the last state between a store and a rollback, the
// rollback gives back the states of the store; the backup of the current
// state is copied apart only while the last state differs from it.
TEST(PrivateHardBody, RollbackReturnsTheStoredStatesWhateverChangedTheLastState) {
  struct Case {
    const char* what;
    void (*change)(BackupBox&, StateModel&);
  };
  const Case cases[] = {
      {"nothing", [](BackupBox&, StateModel&) {}},
      {"new reference point",
       [](BackupBox& b, StateModel& m) {
         b.moveCenterOfMass(MgcVector3(4.0, 5.0, 6.0));
         m.current.position = m.last.position = MgcVector3(4.0, 5.0, 6.0);
       }},
      {"restore",
       [](BackupBox& b, StateModel& m) {
         b.restoreDynamics();
         m.current = m.last = b.getDynInit();
       }},
      {"reset",
       [](BackupBox& b, StateModel& m) {
         b.resetDynamics();
         m.current = m.last = RBDynamics();
       }},
      {"placing",
       [](BackupBox& b, StateModel& m) {
         b.init(MgcVector3(7.0, 0.0, 0.0), MgcMatrix3::IDENTITY, kUnitScale);
         m.current = m.last = b.getDyn();
       }},
      {"a rollback",
       [](BackupBox& b, StateModel& m) {
         b.rollbackDynamics();
         m.rollback();
       }},
  };
  const MgcVector3 gravity(0.0, -10.0, 0.0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BackupBox body;
    // Never stored: the backups are zeroed records.
    EXPECT_FALSE(body.keepsCurrentBackupApart());
    body.rollbackDynamics();
    EXPECT_TRUE(sameState(body.getDyn(), RBDynamics()));
    EXPECT_TRUE(sameState(body.getLastDyn(), RBDynamics()));

    body.init(MgcVector3(1.0, 2.0, 3.0), rotationAbout(MgcVector3(1.0, 1.0, 0.0), 0.3), kUnitScale);
    body.setMass(2.0f);
    body.setLinearVelocity(MgcVector3(1.0, 0.0, 0.5));
    body.saveDynamics(kSaveAll);
    StateModel model{body.getLastDyn(), body.getDyn(), {}, {}};
    for (int round = 0; round < 3; ++round) {
      body.storeLastDynamics();
      model.store();
      EXPECT_FALSE(body.keepsCurrentBackupApart());
      body.addDynForces(gravity);
      body.integrateForces(0.01, true);
      body.integrateMotion(0.01);
      model.current = body.getDyn();
    }
    c.change(body, model);
    EXPECT_TRUE(sameState(body.getDyn(), model.current));
    EXPECT_TRUE(sameState(body.getLastDyn(), model.last));
    // The last state now differs from the backup it stood for.
    EXPECT_EQ(body.keepsCurrentBackupApart(), std::string(c.what) != "nothing");
    body.rollbackDynamics();
    model.rollback();
    EXPECT_TRUE(sameState(body.getDyn(), model.current));
    EXPECT_TRUE(sameState(body.getLastDyn(), model.last));
    body.storeLastDynamics();
    model.store();
    EXPECT_FALSE(body.keepsCurrentBackupApart());
    body.rollbackDynamics();
    model.rollback();
    EXPECT_TRUE(sameState(body.getDyn(), model.current));
    EXPECT_TRUE(sameState(body.getLastDyn(), model.last));
  }
}

// A box that shows whether it keeps a pivot.
struct PivotBox : BoxBody {
  bool keepsPivot() const { return pivot != nullptr; }
};

// A body answers the identity and zero for its pivot, keeping none, until
// one is set; then it reads back what was set, to the bit (-0 included).
TEST(PrivateHardBody, PivotIsTheIdentityUntilSetAndThenWhatWasSet) {
  PivotBox plain;
  EXPECT_FALSE(plain.keepsPivot());
  EXPECT_EQ(std::memcmp(&plain.getMatrixPivotCm(), &MgcMatrix3::IDENTITY, sizeof(MgcMatrix3)), 0);
  EXPECT_EQ(std::memcmp(&plain.getTransPivotCm(), &MgcVector3::ZERO, sizeof(MgcVector3)), 0);
  plain.init(MgcVector3(1.0, 2.0, 3.0), rotationAbout(MgcVector3(0.0, 1.0, 0.0), 0.4), kUnitScale);
  plain.setMass(3.0f);
  EXPECT_FALSE(plain.keepsPivot());

  const MgcMatrix3 R = rotationAbout(MgcVector3(1.0, 0.0, 1.0), 0.7);
  const MgcMatrix3 negativeZeros(-0.0, 0.0, 0.0, 0.0, -0.0, 0.0, 0.0, 0.0, -0.0);
  const MgcVector3 t(0.5, -0.0, 2.0);
  struct Case {
    const char* what;
    bool setRotation;
    bool setTranslation;
  };
  for (const Case& c : {Case{"rotation", true, false}, Case{"translation", false, true}, Case{"both", true, true}}) {
    SCOPED_TRACE(c.what);
    PivotBox body;
    if (c.setRotation) body.setMatrixPivotCm(R);
    if (c.setTranslation) body.setTransPivotCm(t);
    EXPECT_TRUE(body.keepsPivot());
    const MgcMatrix3& rotation = c.setRotation ? R : MgcMatrix3::IDENTITY;
    const MgcVector3& translation = c.setTranslation ? t : MgcVector3::ZERO;
    EXPECT_EQ(std::memcmp(&body.getMatrixPivotCm(), &rotation, sizeof(MgcMatrix3)), 0);
    EXPECT_EQ(std::memcmp(&body.getTransPivotCm(), &translation, sizeof(MgcVector3)), 0);
    body.setMatrixPivotCm(negativeZeros);
    EXPECT_EQ(std::memcmp(&body.getMatrixPivotCm(), &negativeZeros, sizeof(MgcMatrix3)), 0);
  }
}

TEST(PrivateHardBody, RestoreReturnsToTheSavedStateAndParksFirstHitBodies) {
  auto body = placedBox(MgcVector3(1.0, 1.0, 1.0));
  body->saveDynamics(kSaveAll);
  zovtest::advanceBodies({body.get()}, 0.5, MgcVector3(0.0, -10.0, 0.0), true);
  body->enableFirstHit();
  body->restoreDynamics();
  EXPECT_EQ(body->getDyn().position, MgcVector3(1.0, 1.0, 1.0));
  EXPECT_EQ(body->getLastDyn().position, MgcVector3(1.0, 1.0, 1.0));
  EXPECT_EQ(body->getDyn().linearVelocity, MgcVector3());
  EXPECT_TRUE(body->isStatic());
}

TEST(PrivateHardBody, RescalingKeepsTheDensity) {
  struct Case {
    eHBodyType kind;
    double radiusAfter;  // of a unit box scaled by 2
  };
  const double twiceDiagonal = std::sqrt(3.0);      // half the diagonal of a box of side 2
  const double twiceSideDiagonal = std::sqrt(2.0);  // half the diagonal of a side of a box of side 2
  const std::vector<Case> cases = {
      {kPhantomBody, 0.5 * std::sqrt(3.0)},  // phantoms keep their radius
      {kCapsuleBody, twiceSideDiagonal},
      {kCrackerBody, twiceSideDiagonal},
      {kHullBody, twiceDiagonal},
      {kTriMeshBody, twiceDiagonal},
      {kBarrierBody, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    BoxBody body(MgcVector3(1.0, 1.0, 1.0), c.kind);
    body.init(MgcVector3(), MgcMatrix3::IDENTITY, kUnitScale);
    body.setMass(1.0f);
    body.setScale(MgcVector3(2.0, 2.0, 2.0));
    EXPECT_EQ(body.getMass(), 8.0);
    EXPECT_NEAR(body.getShape().radius, c.radiusAfter, 1e-15);
    EXPECT_DOUBLE_EQ(body.getLocalInertiaTensor()[0][0], 8.0 * (4.0 + 4.0) / 12.0);
  }
  // A hull's mesh follows the new scale.
  BoxBody hull(MgcVector3(1.0, 1.0, 1.0), kHullBody);
  hull.modify(unitCubeMesh());
  hull.init(MgcVector3(3.0, 0.0, 0.0), MgcMatrix3::IDENTITY, kUnitScale);
  hull.setScale(MgcVector3(2.0, 1.0, 1.0));
  const ZOVmesh* mesh = hull.getWorldMesh();
  for (std::uint32_t i = 0; i < mesh->numVertices; ++i) EXPECT_EQ(std::fabs(mesh->worldVertices[i].x - 3.0), 1.0);
}

TEST(PrivateHardBody, BrokenJointSendsBothPiecesApart) {
  auto near = placedBox(MgcVector3(0.0, 0.0, 0.0));
  auto far = placedBox(MgcVector3(3.0, 4.0, 0.0));
  near->deActivate();
  far->deActivate();
  DynamicStress joint;
  joint.setCNode(near.get());
  joint.setPNode(far.get());

  joint.setBreakEnergy(zov::kTolerance);
  near->ApplyBreakEnergy(&joint);
  EXPECT_EQ(near->getDyn().linearVelocity, MgcVector3());
  EXPECT_FALSE(near->isActive());

  joint.setBreakEnergy(2.0);
  near->ApplyBreakEnergy(&joint);
  far->ApplyBreakEnergy(&joint);
  EXPECT_TRUE(near->isActive());
  EXPECT_TRUE(far->isActive());
  const MgcVector3 away(0.6, 0.8, 0.0);  // unit vector from near to far
  const MgcVector3 separation = far->getDyn().linearVelocity - near->getDyn().linearVelocity;
  EXPECT_NEAR(separation.Dot(away), 4.0, 1e-12);
  EXPECT_NEAR(separation.Cross(away).Length(), 0.0, 1e-12);
  EXPECT_NEAR(near->getDyn().linearVelocity.Dot(away), -2.0, 1e-12);
}

// The bounding box is the local box placed in the world, and the bounding
// capsule encloses it.
TEST(PrivateHardBody, BoundsEncloseThePlacedBox) {
  BoxBody body(MgcVector3(1.0, 4.0, 2.0), kHullBody);
  body.getShape().localCenter = MgcVector3(0.5, -0.25, 1.0);
  body.getShape().boxRotation = rotationAbout(MgcVector3(0.0, 0.0, 1.0), 0.3);
  const MgcMatrix3 R = rotationAbout(MgcVector3(1.0, 1.0, 0.0), 0.9);
  const MgcVector3 p(2.0, -1.0, 4.0);
  const MgcVector3 s(1.5, 0.5, 2.0);
  body.init(p, R, s);

  const ZOVbox box = *body.updateBounds();
  const Vec3 center = toRef(R) * Vec3(0.75, -0.125, 2.0) + toRef(p);
  EXPECT_LT(zovref::norm(toRef(box.center) - center), 1e-12);
  EXPECT_EQ(box.extents, MgcVector3(0.75, 1.0, 2.0));
  EXPECT_EQ(box.maxExtent, 2.0);
  const Mat3 axes = toRef(R) * toRef(body.getShape().boxRotation);
  EXPECT_LT(zovref::maxAbs(toRef(box.axes) - axes), 1e-12);

  const ZOVcapsule capsule = *body.getBoundingVolume(1);
  // The unscaled box is longest along y: that is the capsule's axis.
  EXPECT_LT(zovref::norm(toRef(capsule.axis) - axes.col(1)), 1e-12);
  EXPECT_EQ(capsule.length, 2.0);
  MgcVector3 corners[8];
  obbCorners(box, corners);
  for (const MgcVector3& corner : corners) {
    const Vec3 d = toRef(corner - capsule.center);
    const double along = std::clamp(zovref::dot(d, toRef(capsule.axis)), -capsule.length / 2, capsule.length / 2);
    EXPECT_LE(zovref::norm(d - along * toRef(capsule.axis)), capsule.radius + 1e-12);
  }
}

TEST(PrivateHardBody, WorldMeshFollowsTheBodyAndTheWorldUpdateBit) {
  BoxBody body(MgcVector3(1.0, 1.0, 1.0), kHullBody);
  EXPECT_EQ(body.getWorldMesh(), nullptr);
  body.modify(unitCubeMesh());
  const MgcMatrix3 R = rotationAbout(MgcVector3(0.0, 1.0, 0.0), 0.5);
  body.init(MgcVector3(1.0, 2.0, 3.0), R, MgcVector3(2.0, 2.0, 2.0));
  EXPECT_TRUE(body.isWorldModified());

  body.setPosition(MgcVector3(-1.0, 0.0, 0.0));
  EXPECT_FALSE(body.isWorldModified());
  const ZOVmesh* mesh = body.getWorldMesh();
  EXPECT_FALSE(body.isWorldModified());
  for (std::uint32_t i = 0; i < mesh->numVertices; ++i) {
    const Vec3 expected = toRef(R) * (2.0 * toRef(mesh->vertices[i])) + Vec3(-1, 0, 0);
    EXPECT_LT(zovref::norm(toRef(mesh->worldVertices[i]) - expected), 1e-12);
  }
  // Integration moves the body, so the world data are stale afterwards.
  body.updateWorldData();
  body.setLinearVelocity(MgcVector3(1.0, 0.0, 0.0));
  body.integrateMotion(0.1);
  EXPECT_FALSE(body.isWorldModified());

  BoxBody phantom;
  phantom.init(MgcVector3(), MgcMatrix3::IDENTITY, kUnitScale);
  EXPECT_FALSE(phantom.isWorldModified());  // a phantom keeps no world data
}

TEST(PrivateHardBody, BodyOwnsExactlyOneMesh) {
  BoxBody body;
  body.modify(unitCubeMesh());
  ZOVmesh* second = unitCubeMesh();
  body.modify(second);  // the first mesh is deleted
  body.modify(second);  // its own mesh again: nothing happens
  body.setMesh(second);
  EXPECT_EQ(body.getWorldMesh(), second);
  body.setMesh(nullptr);
  EXPECT_EQ(body.getWorldMesh(), nullptr);
}

TEST(PrivateHardBody, JointTestsFindActiveAndBrokenJoints) {
  DynamicStress holding;
  holding.activate();
  DynamicStress broken;
  struct Case {
    std::vector<DynamicStress*> joints;
    bool active, inactive;
  };
  const std::vector<Case> cases = {
      {{}, false, false},
      {{&holding}, true, false},
      {{&broken}, false, true},
      {{&broken, &holding}, true, true},
  };
  for (const Case& c : cases) {
    BoxBody body;
    for (DynamicStress* joint : c.joints) body.getJointList().append(joint);
    EXPECT_EQ(body.hasActiveJoint(), c.active);
    EXPECT_EQ(body.hasInactiveJoint(), c.inactive);
  }
}

// A name costs what its text needs: an unnamed shape keeps no text, a named
// one a text of the name's length; copies share the text and naming one of
// them leaves the other's name. Names longer than the longest kept are cut.
TEST(HardBodyShape, NamesAreKeptAtTheirOwnLengthAndCopiesShareThem) {
  // The record's other fields, as laid out before it: the name adds only
  // its pointer and the handle of its text.
  struct OtherFields {
    std::int32_t id;
    Mgc::MgcVector3 localCenter;
    Mgc::MgcMatrix3 boxRotation;
    Mgc::Quaternion boxQuat;
    Mgc::MgcVector3 boxSize;
    double localRadius, radius;
    Mgc::MgcVector3 worldCenter, scale;
    std::int32_t tag;
  };
  static_assert(sizeof(HardBodyShape) <=
                sizeof(OtherFields) + sizeof(const char*) + sizeof(std::shared_ptr<const std::string>));
  HardBodyShape shape;
  EXPECT_STREQ(shape.name, "");
  EXPECT_EQ(shape.nameText, nullptr);

  struct Case {
    std::string given;
    std::string kept;
  };
  const std::string longest(kBodyNameLength - 1, 'n');
  const Case cases[] = {
      {"pCube1Body", "pCube1Body"},
      {longest, longest},
      {longest + "tail", longest},
      {std::string(1000, 'm'), std::string(kBodyNameLength - 1, 'm')},
  };
  for (const Case& c : cases) {
    shape.setName(c.given.c_str());
    EXPECT_EQ(std::string(shape.name), c.kept);
    ASSERT_NE(shape.nameText, nullptr);
    EXPECT_EQ(shape.nameText->size(), c.kept.size());
    EXPECT_EQ(shape.name, shape.nameText->c_str());
  }

  shape.setName("left");
  HardBodyShape copy = shape;
  EXPECT_EQ(copy.name, shape.name);
  copy.setName("right");
  EXPECT_STREQ(shape.name, "left");
  EXPECT_STREQ(copy.name, "right");
  copy = shape;
  shape.setName(nullptr);
  EXPECT_STREQ(shape.name, "");
  EXPECT_EQ(shape.nameText, nullptr);
  EXPECT_STREQ(copy.name, "left");
  copy.setName("");
  EXPECT_STREQ(copy.name, "");
}

// A body keeps no thread slots until one asks for its state; slots asking
// for the first time from many threads at once each get a state of their
// own, made once.
TEST(PrivateHardBody, WorkerSlotsAreMadeWhenTheFirstOfThemAsks) {
  BoxBody body;
  ASSERT_TRUE(body.setWorkerStateCount(8));
  EXPECT_FALSE(body.hasWorkerStates());

  std::vector<RBDynamics*> got(8, nullptr);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < 8) std::this_thread::yield();
      got[t] = body.getWorkerDyn(t);
      if (got[t] != nullptr) got[t]->position = MgcVector3(t, 0.0, 0.0);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(body.hasWorkerStates());
  for (int t = 0; t < 8; ++t) {
    ASSERT_NE(got[t], nullptr) << t;
    EXPECT_EQ(body.getWorkerDyn(t), got[t]) << t;
    EXPECT_EQ(body.getWorkerDyn(t)->position, MgcVector3(t, 0.0, 0.0)) << t;
  }
  EXPECT_EQ(body.getWorkerDyn(8), nullptr);

  // Sized again, the slots are gone until one asks, and start from the
  // default state.
  ASSERT_TRUE(body.setWorkerStateCount(4));
  EXPECT_FALSE(body.hasWorkerStates());
  ASSERT_NE(body.getWorkerDyn(3), nullptr);
  EXPECT_EQ(body.getWorkerDyn(3)->position, MgcVector3());
  EXPECT_EQ(body.getWorkerDyn(3)->invMass, 0.0);
  EXPECT_EQ(body.getWorkerDyn(4), nullptr);
}
