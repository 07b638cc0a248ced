#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/MeshVolumes.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/bodies/ShapeFrames.h"
#include "engine/fracture/FractureBody.h"
#include "engine/fracture/FractureHolder.h"
#include "geometry/BoxFits.h"
#include "geometry/MeshTransforms.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

// Building a fracture body from its pieces and taking it apart: the pieces'
// registration, the joints between them, the compound's mass properties and
// the pieces' frames, the cluster tree, and the removal of joints and pieces.

namespace {

bool touches(const DynamicStress* joint, const PrivateHardBody* body) {
  return joint->getCNode() == body || joint->getPNode() == body;
}

const DynamicStress* firstTouching(const EngineList<DynamicStress*>& list, const PrivateHardBody* body) {
  for (auto* node = list.getFirst(); node != nullptr; node = node->next)
    if (touches(node->value, body)) return node->value;
  return nullptr;
}

// Takes the joint off the body's joint list, if it is there.
void unregisterJoint(PrivateHardBody* body, DynamicStress* joint) {
  if (body == nullptr || !body->getJointList().contains(joint)) return;
  body->getJointList().remove(joint);
  body->setJointCount(body->getJointCount() > 0 ? body->getJointCount() - 1 : 0);
  if (body->getJointCount() == 0) body->disableJoined();
}

}  // namespace

// ---- Registration ---------------------------------------------------------------------

void FractureBody::registerJointWith(PrivateHardBody* body, DynamicStress* joint) {
  if (body == nullptr || joint == nullptr || body->getJointList().contains(joint)) return;
  const std::uint32_t before = body->getJointList().getCount();
  body->getJointList().append(joint);
  if (body->getJointList().getCount() == before) return;
  body->setJointCount(body->getJointCount() + 1);
  body->enableJoined();
}

void FractureBody::takePiece(PrivateHardBody* body) {
  if (body == nullptr) return;
  if (!pieces.contains(body)) pieces.append(body);
  disconnectedBodies.remove(body);
}

void FractureBody::insertActiveByIndex(DynamicStress* joint) {
  // After the last joint whose index is not larger: equal indices keep the
  // order in which they came.
  auto* position = activeJoints.getHead();
  for (auto* node = activeJoints.getFirst(); node != nullptr; node = node->next) {
    if (node->value->getIndex() > joint->getIndex()) break;
    position = node;
  }
  activeJoints.insertAfter(joint, position);
}

void FractureBody::registerJointBodies(const EngineList<DynamicStress*>& joints) {
  for (auto* node = joints.getFirst(); node != nullptr; node = node->next) {
    DynamicStress* joint = node->value;
    if (joint == nullptr) continue;
    PrivateHardBody* c = joint->getCNode();
    PrivateHardBody* p = joint->getPNode();
    takePiece(c);
    takePiece(p);
    for (PrivateHardBody* body : {c, p}) {
      if (body == nullptr) continue;
      registerJointWith(body, joint);
      body->setParent(this);
    }
  }
}

void FractureBody::addUniqueToList(PrivateHardBody* body) {
  if (body != nullptr && !disconnectedBodies.contains(body)) disconnectedBodies.append(body);
}

bool FractureBody::hasPiece(const PrivateHardBody* body) const {
  return body != nullptr && pieces.contains(const_cast<PrivateHardBody*>(body));
}

void FractureBody::attachJoint(DynamicStress* joint) {
  if (joint == nullptr || joint->getCNode() == nullptr || joint->getPNode() == nullptr) return;
  if (activeJoints.contains(joint) || inactiveJoints.contains(joint) || splitJoints.contains(joint)) return;
  insertActiveByIndex(joint);
  for (PrivateHardBody* body : {joint->getCNode(), joint->getPNode()}) {
    takePiece(body);
    registerJointWith(body, joint);
    body->setParent(this);
  }
  joint->activate();
}

DynamicStress* FractureBody::joinPieces(PrivateHardBody* a, PrivateHardBody* b) {
  if (a == nullptr || b == nullptr || a == b) return nullptr;
  if (findJointBetween(a, b) != nullptr) return nullptr;
  const BVmesh* meshA = boundingMeshOf(a);
  const BVmesh* meshB = boundingMeshOf(b);
  if (meshA == nullptr || meshB == nullptr) return nullptr;
  MgcVector3 midpoint;
  closestMidpoint(*meshA, *meshB, midpoint);

  DynamicStress* joint = new (std::nothrow) DynamicStress;
  if (joint == nullptr) return nullptr;
  const std::uint32_t before = activeJoints.getCount();
  activeJoints.append(joint);
  if (activeJoints.getCount() == before) {
    delete joint;
    return nullptr;
  }
  joint->attach(midpoint, 1, a, b);
  joint->setName(("str_" + std::string(a->getShape().name) + "_" + std::string(b->getShape().name)).c_str());
  for (PrivateHardBody* body : {a, b}) {
    takePiece(body);
    registerJointWith(body, joint);
    body->setParent(this);
  }
  return joint;
}

DynamicStress* FractureBody::firstJoint(PrivateHardBody* piece) {
  return piece != nullptr ? piece->getFirstJoint() : nullptr;
}

DynamicStress* FractureBody::nextJoint(PrivateHardBody* piece) {
  return piece != nullptr ? piece->getNextJoint() : nullptr;
}

DynamicStress* FractureBody::findJointBetween(PrivateHardBody* a, PrivateHardBody* b) const {
  if (a == nullptr) return nullptr;
  for (auto* node = a->getJointList().getFirst(); node != nullptr; node = node->next)
    if (touches(node->value, b)) return node->value;
  return nullptr;
}

DynamicStress* FractureBody::findAnyJointOf(const PrivateHardBody* body) const {
  for (const EngineList<DynamicStress*>* list : {&activeJoints, &inactiveJoints, &splitJoints}) {
    if (const DynamicStress* joint = firstTouching(*list, body)) return const_cast<DynamicStress*>(joint);
  }
  return nullptr;
}

// ---- Mass properties --------------------------------------------------------------------

bool FractureBody::ratiosMatchPieces() const {
  if (massRatios.size() != pieces.getCount()) return false;
  std::vector<const PrivateHardBody*> named;
  named.reserve(massRatios.size());
  for (const auto& entry : massRatios) named.push_back(entry.first);
  std::sort(named.begin(), named.end());
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    if (!std::binary_search(named.begin(), named.end(), node->value)) return false;
  }
  return true;
}

void FractureBody::computeMassRatios(double compoundMass) {
  massRatios.clear();
  massRatios.reserve(pieces.getCount());
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    const double ratio = compoundMass > 0.0 ? node->value->getMass() / compoundMass : 0.0;
    massRatios.emplace_back(node->value, ratio);
  }
}

void FractureBody::rebuildFromPieces() {
  massRatios.clear();
  buildClusterTree();
  updateMassProperties();
}

bool FractureBody::updateMassProperties() {
  if (pieces.getCount() == 0) {
    deActivate();
    return false;
  }
  // Mass and centre of the movable pieces; of all pieces when every one is
  // static.
  double M = 0.0;
  MgcVector3 c;
  for (bool staticOnes : {false, true}) {
    for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
      const PrivateHardBody* piece = node->value;
      if (piece->isStatic() != staticOnes) continue;
      M += piece->getMass();
      c += piece->getDyn().position * piece->getMass();
    }
    if (M != 0.0) break;
  }
  c = c / M;
  // Ratios are taken once for a set of pieces; a changed set gets new ones.
  if (!ratiosMatchPieces()) computeMassRatios(M);

  std::vector<MgcVector3> corners;
  corners.reserve(8u * pieces.getCount());
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    MgcVector3 eight[8];
    obbCorners(*node->value->updateBounds(), eight);
    corners.insert(corners.end(), eight, eight + 8);
  }
  ZOVbox box;
  fitOrientedBox(box, static_cast<std::uint32_t>(corners.size()), corners.data());
  bbox = box;
  ++boundsStamp;
  shape.boxSize = box.extents * 2.0;
  shapeframes::setBoxRotation(shape, box.axes);
  shape.scale = MgcVector3(1.0, 1.0, 1.0);
  shape.localRadius = shape.boxSize.Length() / 2.0;
  shape.radius = shape.localRadius;

  double sums[4] = {};
  MgcVector3 P;
  MgcVector3 L;
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    const RBDynamics& state = piece->getDyn();
    piece->setMatrixPivotCm(state.orientation.Transpose());
    piece->setTransPivotCm(state.orientation.Transpose() * (c - state.position));
    sums[0] += piece->getRestitutionCoeff();
    sums[1] += piece->getFrictionCoeff();
    sums[2] += piece->getAirDampingCoeff();
    sums[3] += piece->getAirDampingCoeff2();
    const MgcVector3 momentum = state.linearVelocity * piece->getMass();
    P += momentum;
    L += (state.position - c).Cross(momentum) + state.angularMomentum;
  }
  const double count = static_cast<double>(pieces.getCount());
  restitution = sums[0] / count;
  friction = sums[1] / count;
  airDamping = sums[2] / count;
  angularAirDamping = sums[3] / count;

  dyn.invMass = 1.0 / M;
  MgcMatrix3 identity;
  identity.SetIdentity();
  setOrientation(identity);
  setPosition(c);
  computeInertiaTensor();
  dyn.linearVelocity = P / M;
  setAngularVelocity(dyn.worldInvInertia * L);
  dyn.dynForce = MgcVector3();
  dyn.dynTorque = MgcVector3();
  changeLast() = dyn;

  shape.localCenter = box.center - c;
  shapeframes::setBoxRotation(shape, box.axes);
  if (isFirstHit(false) || hasStaticBodies()) {
    flags |= kBodyStatic;
  } else {
    flags &= ~kBodyStatic;
  }
  activate();
  return true;
}

bool FractureBody::buildClusterTree() {
  clusterTree.reset();
  std::unique_ptr<BoxTree> tree(new (std::nothrow) BoxTree);
  if (!tree) return false;
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    if (!tree->appendItem(&piece->getBbox(), &piece->getShape().tag)) return false;
  }
  if (!tree->build()) return false;
  MgcMatrix3 identity;
  identity.SetIdentity();
  tree->transform(MgcVector3(), identity, MgcVector3(1.0, 1.0, 1.0));
  clusterTree = std::move(tree);
  return true;
}

// ---- Taking apart ------------------------------------------------------------------------

void FractureBody::forgetFamilyJoints() {
  for (auto* node = pieces.getFirst(); node != nullptr; node = node->next) {
    PrivateHardBody* piece = node->value;
    piece->clearJoints();
    if (piece->getParent() == this) piece->setParent(nullptr);
  }
  forEachFragment([](FractureBody* child) { child->forgetFamilyJoints(); });
}

void FractureBody::deleteAllJoints() {
  // The fragments hold joints of this body's lists: their pieces forget them
  // and the fragments go with them.
  forgetFamilyJoints();
  deleteFragments();
  // A joint is on one list of its owner; gathered once so that none can be
  // freed twice.
  std::vector<DynamicStress*> doomed;
  for (EngineList<DynamicStress*>* list : {&inactiveJoints, &splitJoints, &activeJoints}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) doomed.push_back(node->value);
    list->clear();
    list->releaseCache();
  }
  offJoints.clear();
  offJoints.releaseCache();
  jointCursor = nullptr;
  brokenJointCount = 0;
  pendingDeactivations = 0;
  // A fragment's joints are also on the split-joint list of the body it was
  // split from, which frees them.
  if (isFragment()) return;
  std::sort(doomed.begin(), doomed.end());
  doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
  for (DynamicStress* joint : doomed) delete joint;
}

bool FractureBody::unlistJoint(DynamicStress* joint) {
  if (joint == nullptr) return false;
  if (inactiveJoints.contains(joint)) {
    inactiveJoints.remove(joint);
    if (pendingDeactivations > 0) --pendingDeactivations;
  } else if (splitJoints.contains(joint)) {
    splitJoints.remove(joint);
  } else if (activeJoints.contains(joint)) {
    activeJoints.remove(joint);
  } else {
    // Not this body's joint: its bodies are not this body's business.
    return false;
  }
  joint->deActivate();
  offJoints.remove(joint);
  jointCursor = nullptr;
  // The bodies forget the joint, so that no walk over their joints reaches
  // a joint the body no longer holds.
  for (PrivateHardBody* body : {joint->getPNode(), joint->getCNode()}) unregisterJoint(body, joint);
  return true;
}

void FractureBody::removeJoint(DynamicStress* joint) {
  if (joint == nullptr) return;
  joint->deActivate();
  if (!unlistJoint(joint)) return;
  for (PrivateHardBody* body : {joint->getPNode(), joint->getCNode()}) {
    if (body != nullptr && findAnyJointOf(body) == nullptr) removePiece(body);
  }
}

void FractureBody::removePiece(PrivateHardBody* body) {
  if (body == nullptr) return;
  std::vector<PrivateHardBody*> neighbours;
  dropFromFamily(body, neighbours);
  for (PrivateHardBody* other : neighbours) settleNeighbour(other);
}

void FractureBody::dropFromFamily(PrivateHardBody* body, std::vector<PrivateHardBody*>& neighbours) {
  // The tree keeps its shape; it only stops reaching the body.
  if (clusterTree) clusterTree->removeItem(&body->getBbox());
  massRatios.erase(
      std::remove_if(massRatios.begin(), massRatios.end(),
                     [body](const std::pair<PrivateHardBody*, double>& entry) { return entry.first == body; }),
      massRatios.end());
  // A piece stops with the compound that moved it; a disconnected body
  // moves on its own (or, gathered for a build, never moved with this one)
  // and keeps its state.
  if (pieces.contains(body)) {
    body->deActivate();
    pieces.remove(body);
    bodyCursor = nullptr;
  }
  if (disconnectedBodies.contains(body)) {
    disconnectedBodies.remove(body);
    bodyCursor = nullptr;
  }
  // The split-joint list holds the joints handed to the fragments and those
  // broken: a later restoreDynamics would bring any of them back.
  for (EngineList<DynamicStress*>* list : {&activeJoints, &inactiveJoints, &splitJoints}) {
    while (const DynamicStress* touching = firstTouching(*list, body)) {
      auto* joint = const_cast<DynamicStress*>(touching);
      unlistJoint(joint);
      for (PrivateHardBody* other : {joint->getCNode(), joint->getPNode()})
        if (other != nullptr && other != body) neighbours.push_back(other);
    }
  }
  forEachFragment([&](FractureBody* child) { child->dropFromFamily(body, neighbours); });
  if (body->getParent() == this) body->setParent(nullptr);
  body->clearJoints();
}

bool FractureBody::familyJointTouches(const PrivateHardBody* body) const {
  if (findAnyJointOf(body) != nullptr) return true;
  for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next)
    if (static_cast<const FractureBody*>(node->value)->familyJointTouches(body)) return true;
  return false;
}

void FractureBody::settleNeighbour(PrivateHardBody* body) {
  if (!holdsBody(body)) return;
  if (!familyJointTouches(body)) {
    removePiece(body);
    return;
  }
  // Still tied by broken joints: the compounds that carry it without a
  // joint to it let it go, and it falls on its own as a split releases it.
  std::vector<FractureBody*> family{this};
  for (size_t i = 0; i < family.size(); ++i)
    for (auto* node = family[i]->childBodies.getFirst(); node != nullptr; node = node->next)
      family.push_back(static_cast<FractureBody*>(node->value));
  for (FractureBody* member : family) {
    if (!member->pieces.contains(body)) continue;
    if (firstTouching(member->activeJoints, body) != nullptr || firstTouching(member->inactiveJoints, body) != nullptr)
      continue;
    member->pieces.remove(body);
    member->bodyCursor = nullptr;
    if (body->getParent() == member) body->setParent(nullptr);
    if (!disconnectedBodies.contains(body)) disconnectedBodies.append(body);
    if (holdingWorld != nullptr) holdingWorld->addBody(body, 0);
  }
}

bool FractureBody::holdsBody(const PrivateHardBody* body) const {
  auto* key = const_cast<PrivateHardBody*>(body);
  if (body == nullptr) return false;
  if (pieces.contains(key) || disconnectedBodies.contains(key)) return true;
  for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next)
    if (static_cast<const FractureBody*>(node->value)->holdsBody(body)) return true;
  return false;
}
