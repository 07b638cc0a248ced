// When the joints of a fracture body break: the impact walk that carries a
// hit from piece to piece over the joints and tests each joint it crosses,
// the secondary cracks that weaken the joints inside clusters of pieces and
// cut those between them, and the engine's part of breaking by frame.
// Breaking only clears a joint's active bit and counts it as pending; the
// split turns the broken joints into fragments afterwards.

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/EngineTrace.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "engine/fracture/FractureHolder.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Share of the hit piece's motion that a held joint passes on.
constexpr double kHeldTransfer = static_cast<double>(0.9f);
/// Share of the motion that a breaking joint passes on, at most.
constexpr float kBreakingTransfer = 0.2f;
/// Weight of the spin change against the velocity change in the break test.
constexpr double kSpinWeight = static_cast<double>(0.1f);
/// The cluster level secondary cracks cut at: the root's two halves.
constexpr std::uint32_t kCrackClusterLevel = 1;

/// The joint's other body seen from p: its CNode, or its PNode when the
/// CNode is p.
PrivateHardBody* otherBody(const DynamicStress* joint, const PrivateHardBody* p) {
  return joint->getCNode() == p ? joint->getPNode() : joint->getCNode();
}

}  // namespace

// ---- The impact walk -----------------------------------------------------------------

void FractureBody::propagateImpact(PrivateHardBody* p, bool direct, int t) {
  if (p == nullptr || !isThreadSlot(t) || p->isProcessedThread(t)) return;
  // Tests the joints of a piece as it is entered.
  const auto enter = [&](PrivateHardBody* piece, bool hit) {
    piece->enableProcessedThread(t);
    for (auto* node = piece->getJointList().getFirst(); node != nullptr; node = node->next) {
      applyJointStress(piece, node->value, hit, t);
    }
  };
  enter(p, direct);
  if (propagationType == 1 || crackCount > maxCracks) return;

  // Depth first, each piece entered once per pass: a piece's neighbours are
  // visited in the order of its joint list, each one's whole walk before
  // the next. Kept on a stack of our own, so that a long chain of pieces
  // cannot exhaust the thread's.
  struct Frame {
    PrivateHardBody* piece;
    EngineList<DynamicStress*>::Node* next;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{p, p->getJointList().getFirst()});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == nullptr) {
      stack.pop_back();
      continue;
    }
    PrivateHardBody* q = otherBody(frame.next->value, frame.piece);
    frame.next = frame.next->next;
    if (q == nullptr || q->isStatic() || q->isProcessedThread(t)) continue;
    enter(q, false);
    stack.push_back(Frame{q, q->getJointList().getFirst()});
  }
}

void FractureBody::applyJointStress(PrivateHardBody* p, DynamicStress* j, bool direct, int t) {
  if (p == nullptr || j == nullptr || !isThreadSlot(t)) return;
  if ((j->getFlags() & (kJointBreakByFrame | kJointBreakByForce)) != kJointBreakByForce) return;
  if (j->isProcessedThread(t)) return;
  PrivateHardBody* q = otherBody(j, p);
  RBDynamics* pState = p->getWorkerDyn(t);
  RBDynamics* qState = q != nullptr ? q->getWorkerDyn(t) : nullptr;
  if (pState == nullptr || (q != nullptr && qState == nullptr)) return;
  if (qState != nullptr) *qState = q->getDyn();

  const double tolerance = j->get_break_tolerance();
  double limit = tolerance * tolerance;
  if (direct && isSecImpacts() && propagationType == 1 && checkSecImpactsCond()) limit = 0.0;

  // A joint to something that does not move (a static piece or a fixed
  // point) measures what it would take to hold the hit piece.
  const bool anchored = q == nullptr || q->isStatic();
  PrivateHardBody* measured = anchored ? p : q;
  const RBDynamics& state = anchored ? *pState : *qState;
  const MgcMatrix3 x = j->computeBodyImpulse(measured, t);
  const MgcVector3 linear(x[0][0], x[0][1], x[0][2]);
  const MgcVector3 angular(x[1][0], x[1][1], x[1][2]);
  const MgcVector3 dv = linear * state.invMass;
  const MgcVector3 dw = (state.worldInvInertia * kSpinWeight) * angular;
  const bool exceeded = dv.SquaredLength() >= limit || dw.SquaredLength() >= limit;

  bool breaks = false;
  if (anchored) {
    breaks = exceeded;
  } else if (!direct && !exceeded) {
    const bool moved = dv.SquaredLength() >= zov::kTolerance || dw.SquaredLength() >= zov::kTolerance;
    if (moved && !q->isProcessedThread(t)) j->transferVelocity(q, kHeldTransfer, t);
  } else {
    breaks = true;
    if (!q->isProcessedThread(t)) {
      const double energy = j->getBreakEnergy();
      if (energy > zov::kTolerance) {
        const double impulse[6] = {x[0][0], x[0][1], x[0][2], x[1][0], x[1][1], x[1][2]};
        j->applyConstraintImpulse(impulse, -energy, t);
      } else {
        const float share = std::min(kBreakingTransfer * static_cast<float>(std::sqrt(limit)), kBreakingTransfer);
        j->transferVelocity(q, static_cast<double>(share), t);
      }
    }
  }
  if (breaks) {
    // The joint stays on the active list until the split's bookkeeping
    // moves it.
    j->deActivate();
    ++pendingDeactivations;
  }
  j->enableProcessedThread(t);
}

// ---- Secondary cracks -----------------------------------------------------------------

void FractureBody::applySecondaryCracks() {
  if (!clusterTree) buildClusterTree();
  if (!clusterTree || clusterTree->getDepth() == 0) return;
  engineTrace(g_engineTraceStream, " apply sec cracks %s njoints %d\n", shape.name,
              static_cast<int>(activeJoints.getCount()));
  labelClusters(kCrackClusterLevel);
  for (auto* node = activeJoints.getFirst(); node != nullptr; node = node->next) {
    DynamicStress* joint = node->value;
    if (!joint->isActive()) continue;
    const PrivateHardBody* c = joint->getCNode();
    const PrivateHardBody* p = joint->getPNode();
    const bool sameCluster =
        c != nullptr && p != nullptr && !c->isStatic() && !p->isStatic() && c->getShape().tag == p->getShape().tag;
    joint->set_break_tolerance(sameCluster ? std::min(globalStressThreshold, joint->get_break_tolerance()) : 0.0);
  }
}

// ---- Breaking by frame -----------------------------------------------------------------

FractureBody* FractureBody::holderOf(const DynamicStress* joint) {
  DynamicStress* key = const_cast<DynamicStress*>(joint);
  if (activeJoints.contains(key) || inactiveJoints.contains(key)) return this;
  for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next) {
    if (FractureBody* holder = static_cast<FractureBody*>(node->value)->holderOf(joint)) return holder;
  }
  return nullptr;
}

bool FractureBody::breakJointsByFrame(const std::vector<DynamicStress*>& dueJoints, FractureHolder* world) {
  bool broke = false;
  for (DynamicStress* joint : dueJoints) {
    if (joint == nullptr || !joint->isActive() || !joint->isBreakableByFrame()) continue;
    if (joint->isBreakableByForce() && joint->get_break_tolerance() >= zov::kTolerance) {
      // A joint that breaks by force keeps waiting for its force.
      joint->disableBreakableByFrame();
      continue;
    }
    deActivateJoint(joint);
    if (!(joint->getBreakEnergy() > zov::kTolerance)) {
      broke = true;
      continue;
    }
    if (joint->getCNode() == nullptr || joint->getPNode() == nullptr) continue;
    broke = true;
    if (!isBreakable()) continue;
    // The push is walked on the calling thread's slot, from both bodies, in
    // the body (this one or a fragment below) whose pieces they are.
    FractureBody* holder = holderOf(joint);
    if (holder == nullptr) holder = this;
    holder->beginMainPass();
    const MgcMatrix3 x = joint->computeConstraintImpulse();
    const double impulse[6] = {x[0][0], x[0][1], x[0][2], x[1][0], x[1][1], x[1][2]};
    joint->applyConstraintImpulse(impulse, -1.0, 0);
    holder->propagateImpact(joint->getCNode(), false, 0);
    holder->propagateImpact(joint->getPNode(), false, 0);
  }
  if (broke) {
    splitByExternalBrokenJoints();
    if (world != nullptr) world->postStep();
  }
  return broke;
}
