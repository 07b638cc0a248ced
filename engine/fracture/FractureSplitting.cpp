// Splitting a fracture body along its broken joints into fragments (child
// fracture bodies) and released pieces, and the queries that work on the
// same lists: the nearest piece to a point, the gathering of broken joints,
// and the joining of disconnected bodies to the pieces of their group.

#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/EngineTrace.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "math/MgcMath.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// The random factor of a part's start velocity lies in [kLowSpeedShare, 1].
constexpr double kLowSpeedShare = 0.5;
/// The split reseeds the process-wide generator with this seed, so that the
/// factors of one split never depend on what drew numbers before it.
constexpr double kSplitSeed = 1.0;
/// The name a fragment gets when its parent's name leaves no room for a
/// number.
constexpr const char* kUnnamedFragment = "splitted";

bool jointHolds(const DynamicStress* joint, const PrivateHardBody* body) {
  return body != nullptr && (joint->getCNode() == body || joint->getPNode() == body);
}

/// The body forgets every joint it had.
void releaseJoints(PrivateHardBody* body) { body->clearJoints(); }

/// The random factor of the next part's start velocity.
double drawSpeedShare() { return Mgc::Math::IntervalRandom(kLowSpeedShare, 1.0, 0.0); }

/// A part at x starts with the parent's velocity at x, times `share` when
/// the split is randomized.
MgcVector3 partStartVelocity(const RBDynamics& parent, const MgcVector3& x, double share, bool randomize) {
  MgcVector3 v = parent.linearVelocity + parent.angularVelocity.Cross(x - parent.position);
  return randomize ? v * share : v;
}

}  // namespace

std::uint32_t FractureBody::splitIntoFragments(bool randomize) {
  if (inactiveJoints.getCount() == 0) return 0;
  Mgc::Math::IntervalRandom(kLowSpeedShare, 1.0, kSplitSeed);
  const RBDynamics parent = dyn;

  // Broken joints with a break energy push apart the parts they held.
  EngineList<DynamicStress*> energyJoints;
  for (auto* node = inactiveJoints.getFirst(); node != nullptr; node = node->next) {
    DynamicStress* joint = node->value;
    if (joint->getBreakEnergy() > zov::kTolerance) energyJoints.append(joint);
    for (PrivateHardBody* body : {joint->getCNode(), joint->getPNode()}) {
      if (body == nullptr || !body->isJoined() || body->hasActiveJoint()) continue;
      // No joint holds it any more: released.
      releaseJoints(body);
      body->setParent(nullptr);
      pieces.remove(body);
      disconnectedBodies.append(body);
    }
  }
  bodyCursor = nullptr;
  jointCursor = nullptr;

  // The groups of pieces still joined, one at a time: the first active joint
  // and every active joint that shares a body with the group, gathered in
  // passes over the active list until a pass finds none.
  while (activeJoints.getCount() != 0) {
    EngineList<DynamicStress*> group;
    gatherJointGroup(group);

    if (activeJoints.getCount() == 0 && disconnectedBodies.getCount() == 0 && fragmentCount == 0) {
      // One group holding every piece: the body stays whole.
      for (auto* node = group.getFirst(); node != nullptr; node = node->next) activeJoints.append(node->value);
      break;
    }

    makeFragment(group, energyJoints, parent, randomize);
  }

  releaseParts(energyJoints, parent, randomize);

  fileBrokenJoints();
  bodyCursor = nullptr;
  jointCursor = nullptr;
  return 1;
}

void FractureBody::fileBrokenJoints() {
  for (auto* node = inactiveJoints.getFirst(); node != nullptr; node = node->next) {
    splitJoints.append(node->value);
    offJoints.append(node->value);
    ++brokenJointCount;
  }
  inactiveJoints.clear();
  pendingDeactivations = 0;
}

void FractureBody::gatherJointGroup(EngineList<DynamicStress*>& group) {
  std::unordered_set<const PrivateHardBody*> members;
  const auto take = [&](DynamicStress* joint) {
    activeJoints.remove(joint);
    group.append(joint);
    for (const PrivateHardBody* body : {joint->getCNode(), joint->getPNode()})
      if (body != nullptr) members.insert(body);
  };
  take(activeJoints.getFirst()->value);
  for (bool grew = true; grew;) {
    grew = false;
    for (auto* node = activeJoints.getFirst(); node != nullptr;) {
      auto* next = node->next;
      DynamicStress* joint = node->value;
      if (members.count(joint->getCNode()) != 0 || members.count(joint->getPNode()) != 0) {
        take(joint);
        grew = true;
      }
      node = next;
    }
  }
}

void FractureBody::makeFragment(const EngineList<DynamicStress*>& group, const EngineList<DynamicStress*>& energyJoints,
                                const RBDynamics& parent, bool randomize) {
  auto* fragment = new FractureBody;
  // A group of a static body with no broken joint among its own pieces
  // stays static from the start; the others are held below, once every
  // group is made.
  bool keepStatic = false;
  if (isStatic() && !isFirstHit(false)) {
    keepStatic = true;
    for (auto* node = group.getFirst(); node != nullptr && keepStatic; node = node->next) {
      for (PrivateHardBody* body : {node->value->getPNode(), node->value->getCNode()}) {
        if (body != nullptr && body->getParent() == this && body->hasInactiveJoint()) keepStatic = false;
      }
    }
  }
  bool byFrame = false;
  for (auto* node = group.getFirst(); node != nullptr; node = node->next) {
    DynamicStress* joint = node->value;
    for (PrivateHardBody* body : {joint->getPNode(), joint->getCNode()}) {
      if (body == nullptr || body->getParent() != this) continue;
      pieces.remove(body);
      releaseJoints(body);
    }
    byFrame = byFrame || joint->isBreakableByFrame();
    fragment->attachJoint(joint);
    splitJoints.append(joint);
  }

  const std::string number = std::to_string(fragmentCount + 1);
  if (std::strlen(shape.name) < static_cast<std::size_t>(kBodyNameLength - 1) - number.size()) {
    fragment->shape.setName((std::string(shape.name) + "_" + number).c_str());
  } else {
    fragment->shape.setName(kUnnamedFragment);
  }
  fragment->shape.id = shape.id + 1;
  addFragment(fragment);

  const double share = drawSpeedShare();
  fragment->updateMassProperties();
  // The fragment sits in this body as a piece sits in a fracture body.
  const RBDynamics& placed = fragment->dyn;
  fragment->setMatrixPivotCm(placed.orientation.TransposeTimes(parent.orientation));
  fragment->setTransPivotCm(placed.orientation.Transpose() * (parent.position - placed.position));
  fragment->setLinearVelocity(partStartVelocity(parent, placed.position, share, randomize));

  fragment->setBreakModeRecursive(propagationType);
  fragment->globalStressThreshold = globalStressThreshold;
  fragment->randomThreshold = randomThreshold;
  fragment->secImpactPercentage = secImpactPercentage;
  fragment->secImpactReferenceMass = secImpactReferenceMass;
  if (isSecImpacts()) fragment->enableSecImpacts();
  if (!isBreakable()) fragment->setSubtreeFlag();
  if (byFrame) fragment->enableBreakByFrame();
  if (keepStatic) fragment->flags = (fragment->flags & ~kBodyFirstHit) | kBodyStatic;

  for (auto* node = energyJoints.getFirst(); node != nullptr; node = node->next) {
    DynamicStress* joint = node->value;
    if (fragment->hasPiece(joint->getCNode()) || fragment->hasPiece(joint->getPNode())) {
      fragment->ApplyBreakEnergy(joint);
    }
  }
  ++fragmentCount;
  engineTrace(g_engineTraceStream, " splitted body %s created %d fragments\n", fragment->shape.name,
              static_cast<int>(fragment->getNJointBodies()));
}

void FractureBody::releaseParts(const EngineList<DynamicStress*>& energyJoints, const RBDynamics& parent,
                                bool randomize) {
  // A released body starts with the parent's velocity at its position and
  // takes the push of the first energetic joint that held it.
  const auto launch = [&](PrivateHardBody* body) {
    if (!body->isStatic()) {
      const double share = drawSpeedShare();
      body->setLinearVelocity(partStartVelocity(parent, body->getDyn().position, share, randomize));
      for (auto* node = energyJoints.getFirst(); node != nullptr; node = node->next) {
        if (!jointHolds(node->value, body)) continue;
        body->ApplyBreakEnergy(node->value);
        break;
      }
      if (!body->isActive()) body->activate();
    }
    engineTrace(g_engineTraceStream, "disconnet body %s mass %.4f\n", body->getShape().name, body->getMass());
  };
  const bool released = disconnectedBodies.getCount() != 0;
  if (released || childBodies.getCount() != 0) {
    for (auto* node = disconnectedBodies.getFirst(); node != nullptr; node = node->next) launch(node->value);
    // Pieces that no group took are released too.
    std::vector<PrivateHardBody*> left;
    for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) left.push_back(node->value);
    for (PrivateHardBody* body : left) {
      releaseJoints(body);
      body->setParent(nullptr);
      pieces.remove(body);
      disconnectedBodies.append(body);
      launch(body);
    }
    // A static body that does not wait for a first hit stays held, broken or
    // not, until disableStaticParts lets it go: every fragment stays static
    // and takes the body's place under its own parent.
    if (isStatic() && !isFirstHit(false)) {
      for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next) {
        HardBody* fragment = node->value;
        if (!fragment->isStatic()) {
          fragment->disableFirstHit();
          fragment->enableStatic();
        }
        fragment->setParent(getParent());
      }
    }
    deActivate();
  }
}

void FractureBody::splitByExternalBrokenJoints() {
  const auto splitIfBroken = [](FractureBody& body) {
    if (body.pendingDeactivations == 0 && body.inactiveJoints.getCount() == 0) return;
    body.removeDeactivatedJointsFromActiveList();
    body.splitIntoFragments(false);
  };
  splitIfBroken(*this);
  std::vector<FractureBody*> children;
  for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next)
    children.push_back(static_cast<FractureBody*>(node->value));
  for (FractureBody* child : children) splitIfBroken(*child);
}

void FractureBody::splitRecursive() {
  std::vector<DynamicStress*> overloaded;
  for (auto* node = activeJoints.getFirst(); node != nullptr; node = node->next) {
    DynamicStress* joint = node->value;
    const double tolerance = joint->get_break_tolerance();
    if (joint->isBreakableByForce() && joint->getExternalForce().SquaredLength() > tolerance * tolerance) {
      overloaded.push_back(joint);
    }
  }
  for (DynamicStress* joint : overloaded) deActivateJoint(joint);
  forEachFragment([](FractureBody* child) { child->splitRecursive(); });
  splitByExternalBrokenJoints();
}

void FractureBody::gatherBrokenJoints() {
  for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next) {
    auto* child = static_cast<FractureBody*>(node->value);
    child->gatherBrokenJoints();
    for (auto* j = child->offJoints.getFirst(); j != nullptr; j = j->next) {
      offJoints.append(j->value);
      ++brokenJointCount;
    }
    child->offJoints.clear();
    child->brokenJointCount = 0;
  }
}

PrivateHardBody* FractureBody::getNearestBody(const MgcVector3& p) const {
  PrivateHardBody* nearest = nullptr;
  double best = 0.0;
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    const double d = (node->value->getShape().worldCenter - p).SquaredLength();
    if (nearest == nullptr || d < best) {
      nearest = node->value;
      best = d;
    }
  }
  return nearest;
}

bool FractureBody::validateDisconnectBodiesGroups() const {
  for (auto* loose = disconnectedBodies.getFirst(); loose != nullptr; loose = loose->next) {
    for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
      if (node->value->getGroupID() == loose->value->getGroupID()) return true;
    }
  }
  return false;
}

void FractureBody::attachNearestPieces() {
  // A body that cannot be joined (no mesh, say) is passed over from then on:
  // it would otherwise be picked again for ever.
  std::unordered_set<const PrivateHardBody*> refused;
  while (disconnectedBodies.getCount() != 0) {
    PrivateHardBody* body = nullptr;
    PrivateHardBody* nearest = nullptr;
    for (auto* loose = disconnectedBodies.getFirst(); loose != nullptr && nearest == nullptr; loose = loose->next) {
      if (refused.count(loose->value) != 0) continue;
      double best = 0.0;
      const MgcVector3& centre = loose->value->getShape().worldCenter;
      for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
        if (node->value->getGroupID() != loose->value->getGroupID()) continue;
        const double d = (node->value->getShape().worldCenter - centre).SquaredLength();
        if (nearest == nullptr || d < best) {
          nearest = node->value;
          best = d;
        }
      }
      if (nearest != nullptr) body = loose->value;
    }
    if (nearest == nullptr) return;
    if (joinPieces(body, nearest) == nullptr) refused.insert(body);
  }
}
