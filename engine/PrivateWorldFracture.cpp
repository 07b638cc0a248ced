#include <vector>

#include "engine/PrivateWorld.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/fracture/FractureBody.h"

// The world's operations on fracture bodies and joints: filing a compound
// and its parts, retiring split bodies after a step, joints handed to and
// taken from fracture bodies, and a piece's switch between dynamic and
// static.

namespace {

FractureBody* asFractureBody(HardBody* body) {
  return body != nullptr && body->getType() == kFractureBody ? static_cast<FractureBody*>(body) : nullptr;
}

/// What follows a body's switch between dynamic and static: the body is
/// filed again, unless it is a piece of `owner`'s compound; with an owner,
/// each joint of the piece takes `jointStep` and the compound's mass
/// properties are brought up to date.
template <class JointStep>
void refileSwitchedBody(PrivateWorld& world, HardBody* body, HardBody* owner, JointStep jointStep) {
  FractureBody* compound = asFractureBody(owner);
  auto* piece = dynamic_cast<PrivateHardBody*>(body);
  // A piece moves with its compound: filed as a world body it would be
  // simulated twice.
  if (compound == nullptr || !compound->hasPiece(piece)) {
    world.removeBody(body);
    world.addBody(body, 0);
  }
  if (owner == nullptr) return;
  if (piece != nullptr)
    for (auto* node = piece->getJointList().getFirst(); node != nullptr; node = node->next) jointStep(*node->value);
  if (compound != nullptr) compound->updateMassProperties();
}

}  // namespace

void PrivateWorld::addFractureParts(FractureBody* body) {
  // The pieces move with the compound, never as bodies of their own; the
  // bodies no joint holds are simulated alone.
  for (PrivateHardBody* piece : valuesOf(body->getPieces())) {
    sizeWorkerStates(piece);
    removeBody(piece);
  }
  for (PrivateHardBody* loose : valuesOf(body->getDisconnectedBodies())) addBody(loose, 0);
  body->removeDisconectBodies();
}

void PrivateWorld::removeFractureParts(FractureBody* body) {
  for (HardBody* child : valuesOf(body->getChildBodies())) removeBody(child);
  for (PrivateHardBody* piece : valuesOf(body->getPieces())) addBody(piece, 0);
}

void PrivateWorld::deleteOwnedBodies(const std::vector<HardBody*>& bodies) {
  // Sorted before anything goes: deleting a fracture body deletes its
  // fragments, which may be among the bodies. Fracture bodies go first: they
  // still reach their pieces as they go, and a piece may be on a list too.
  std::vector<HardBody*> compounds;
  std::vector<HardBody*> plain;
  for (HardBody* body : bodies) {
    const FractureBody* compound = asFractureBody(body);
    if (compound == nullptr) {
      plain.push_back(body);
    } else if (!compound->isFragment()) {
      compounds.push_back(body);
    }
  }
  for (HardBody* body : compounds) delete body;
  for (HardBody* body : plain) delete body;
}

bool PrivateWorld::unlinkBody(HardBody* body) {
  if (body == nullptr) return false;
  releaseRecords(body);
  if (body->getType() == kCrackerBody || body->getType() == kBarrierBody) {
    unlinkFrom(body->getType() == kCrackerBody ? kOnCrackers : kOnBarriers, body);
    return true;
  }
  unlinkExcept(body, ListBit{});
  return true;
}

bool PrivateWorld::activateBodyTree(HardBody* body) {
  if (body == nullptr) return false;
  FractureBody* compound = asFractureBody(body);
  if (compound == nullptr) {
    activateBody(body);
    return true;
  }
  if (!compound->isSplitted()) {
    if (compound->isActive()) activateBody(body);
    return true;
  }
  for (PrivateHardBody* loose : valuesOf(compound->getDisconnectedBodies())) activateBody(loose);
  for (HardBody* child : valuesOf(compound->getChildBodies())) activateBodyTree(child);
  return true;
}

void PrivateWorld::postStep() {
  // Gathered first: activating a split body's parts files bodies into the
  // lists being walked. A sleeper splits too when its joints break by frame,
  // outside the step: its parts join the simulation as any split body's do,
  // and it leaves the sleeping list for the inactive one it is already on.
  for (ListBit list : {kOnDynamic, kOnStatic, kOnSleeping}) {
    std::vector<HardBody*> split;
    selectBodies(orderFor(list), split, [](HardBody* body) {
      const FractureBody* compound = asFractureBody(body);
      return compound != nullptr && compound->isSplitted();
    });
    for (HardBody* body : split) {
      activateBodyTree(body);
      if (!isOn(body, list)) continue;
      unlinkFrom(list, body);
      body->deActivate();
      linkFirst(kOnInactive, body);
      if (list == kOnStatic) {
        --numStaticBodies;
      } else {
        --numDynamicBodies;
      }
    }
  }
}

bool PrivateWorld::connectBodies(DynamicStress* joint, HardBody* owner) {
  if (owner == nullptr || joint == nullptr) return false;
  if (FractureBody* compound = asFractureBody(owner)) compound->attachJoint(joint);
  return true;
}

bool PrivateWorld::disconnectBodies(DynamicStress* joint, HardBody* owner) {
  if (owner == nullptr) return false;
  if (collisionManager) {
    collisionManager->releasePairRecords();
    collisionManager->releaseBodyRecords();
  }
  FractureBody* compound = asFractureBody(owner);
  if (compound == nullptr) return true;
  if (joint == nullptr) return false;
  compound->removeJoint(joint);
  // A body that the compound or one of its fragments still carries moves
  // with it; filed on its own it would be simulated twice.
  for (PrivateHardBody* body : {joint->getCNode(), joint->getPNode()}) {
    if (body != nullptr && !compound->holdsBody(body)) addBody(body, 0);
  }
  return true;
}

bool PrivateWorld::attachJointToBody(DynamicStress* joint, FractureBody* body) {
  if (joint == nullptr || body == nullptr) return false;
  return connectBodies(joint, body);
}

bool PrivateWorld::detachJointFromBody(DynamicStress* joint, FractureBody* body) {
  if (joint == nullptr || body == nullptr) return false;
  return disconnectBodies(joint, body);
}

void PrivateWorld::makeBodyDynamic(HardBody* body, HardBody* owner) {
  if (body == nullptr) return;
  body->disableStatic();
  refileSwitchedBody(*this, body, owner, [](DynamicStress& joint) { joint.enableBreakableByForce(); });
}

void PrivateWorld::makeBodyStatic(HardBody* body, HardBody* owner) {
  if (body == nullptr) return;
  body->enableStatic();
  refileSwitchedBody(*this, body, owner, [](DynamicStress& joint) {
    const bool cStatic = joint.getCNode() != nullptr && joint.getCNode()->isStatic();
    const bool pStatic = joint.getPNode() != nullptr && joint.getPNode()->isStatic();
    if (cStatic && pStatic) joint.disableBreakableByForce();
  });
}
