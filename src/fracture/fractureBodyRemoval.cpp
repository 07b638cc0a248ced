// Taking a fracture body apart when its node goes, and the bookkeeping of
// its joint nodes: the break-by-frame list, the pieces a joint node names,
// the joints switched on and off through the node.
#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "engine/FractureFactory.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/JointFlags.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/fracture/sceneStress.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

void setBreakByFrameBit(SceneStress& node, bool on) {
  DynamicStress* joint = node.getJoint();
  if (joint == nullptr) return;
  joint->setFlags(on ? joint->getFlags() | kJointBreakByFrame : joint->getFlags() & ~kJointBreakByFrame);
}

}  // namespace

void FractureBodyNode::onNodeRemoved(MObject& node, void*) {
  FractureBodyNode* fracture = userNodeOf<FractureBodyNode>(node);
  if (fracture == nullptr) return;
  // Joint nodes and clusters stand for parts of this fracture body only:
  // they go too. Their deletion is kept apart, so that they come back with
  // the node, as they were (onNodeAdded).
  std::vector<MObject> parts;
  for (const auto& linked : fracture->linkedStressNodes()) parts.push_back(linked.first->thisMObject());
  for (clusterFractureNode* cluster : fracture->clusterNodes()) parts.push_back(cluster->thisMObject());
  fracture->letBodyGo();
  fracture->jointRemoval = std::make_unique<MDGModifier>();
  for (const MObject& part : parts) fracture->jointRemoval->deleteNode(part);
  fracture->jointRemoval->doIt();
}

void FractureBodyNode::release() {
  // A node deleted (and perhaps brought back by undo) keeps them; one
  // released for good does not.
  forgetLeftPieces();
  dropClusterNode();
  letBodyGo();
}

void FractureBodyNode::letBodyGo() {
  // The joints are about to go: no joint node may keep reaching them.
  SceneStress::forgetOwner(this);
  stressNodes.clear();
  for (rigidBodyNode* piece : linkedPieceNodes()) {
    MFnDependencyNode(piece->thisMObject()).setLocked(false);
    // A piece that joined another fracture body since stays there.
    if (piece->fractureBodyNode() == this) piece->setFractureOwner(nullptr, false);
    piece->setParamsLocked(false);
  }
  // Pieces no longer linked (those of a cluster already gone) must not keep
  // naming this node either.
  rigidBodyNode::forgetFractureOwner(this);
  if (fractureBody) {
    FractureBody* body = static_cast<FractureBody*>(fractureBody.release());
    deleteFractureBody(&body);
  }
  deactivateSolverCache();
}

void FractureBodyNode::dropClusterNode(MDGModifier* removal) {
  MDGModifier& dg = removal != nullptr ? *removal : dgModifier();
  const MObject self = thisMObject();
  for (clusterFractureNode* cluster : clusterNodes()) {
    const MObject node = cluster->thisMObject();
    // A release kept to be undone changes links only, which its removal
    // takes back: the joint node whose deletion let the fracture body go is
    // still on the cluster, and must come back with the values it went with.
    // With no piece left, no joint plays with the fracture body's values.
    if (removal == nullptr) cluster->pushStressParams();
    {
      // Unlocked while they change hands: the link of a locked node cannot
      // be broken.
      std::vector<std::unique_ptr<UnlockedPiece>> unlocked;
      for (rigidBodyNode* piece : cluster->pieceNodes()) {
        unlocked.push_back(std::make_unique<UnlockedPiece>(*piece));
        dg.disconnect(MPlug(node, clusterFractureNode::rigidBodies),
                      MPlug(piece->thisMObject(), rigidBodyNode::fracture));
        dg.connect(MPlug(self, rigidBodies), MPlug(piece->thisMObject(), rigidBodyNode::fracture));
      }
      dg.doIt();
    }
    for (const MObject* list : {&clusterFractureNode::instresses, &clusterFractureNode::outstresses}) {
      MPlugArray joints;
      MPlug(node, *list).connectedTo(joints, false, true);
      for (unsigned int k = 0; k < joints.length(); ++k) {
        dg.disconnect(MPlug(node, *list), joints[k]);
        dg.connect(MPlug(self, stresses), joints[k]);
      }
      dg.doIt();
    }
    dg.deleteNode(node);
    dg.doIt();
  }
}

// ---- Breaking by frame --------------------------------------------------------------

void FractureBodyNode::addBreakByFrameJoint(SceneStress* node) {
  if (node == nullptr) return;
  node->setBreakByFrameListed(true);
  setBreakByFrameBit(*node, true);
  const bool listed = std::any_of(stressNodes.begin(), stressNodes.end(), [node](const SceneStress* other) {
    return other == node || (node->getJoint() != nullptr && other->getJoint() == node->getJoint());
  });
  if (!listed) stressNodes.push_back(node);
}

void FractureBodyNode::removeBreakByFrameJoint(SceneStress* node) {
  if (node == nullptr || stressNodes.empty()) return;
  const auto found = std::find(stressNodes.begin(), stressNodes.end(), node);
  if (found == stressNodes.end()) return;
  stressNodes.erase(found);
  node->setBreakByFrameListed(false);
  setBreakByFrameBit(*node, false);
}

void FractureBodyNode::forgetStressNode(const SceneStress* node) {
  stressNodes.erase(std::remove(stressNodes.begin(), stressNodes.end(), node), stressNodes.end());
}

// ---- Joint nodes and their joints ---------------------------------------------------

void FractureBodyNode::findPieceObjects(const SceneStress& node, MObject& first, MObject& second) const {
  first = MObject();
  second = MObject();
  const MString firstName = node.body1Name();
  const MString secondName = node.body2Name();
  for (rigidBodyNode* piece : pieceNodes()) {
    const MString name = MFnDependencyNode(piece->thisMObject()).name();
    if (first.isNull() && name == firstName) first = piece->thisMObject();
    if (second.isNull() && name == secondName) second = piece->thisMObject();
  }
}

void FractureBodyNode::followPieceNames(const std::vector<std::pair<MObject, MString>>& renamed) {
  // Each fracture body met, with its renamed pieces' former and new names.
  std::vector<std::pair<FractureBodyNode*, std::vector<std::pair<MString, MString>>>> owners;
  for (const auto& [piece, previous] : renamed) {
    if (userNodeOf<rigidBodyNode>(piece) == nullptr) continue;
    const MObject from = sourceNodeOf(MPlug(piece, rigidBodyNode::fracture));
    FractureBodyNode* owner = userNodeOf<FractureBodyNode>(from);
    if (const clusterFractureNode* cluster = userNodeOf<clusterFractureNode>(from)) owner = cluster->fractureNode();
    if (owner == nullptr) continue;
    auto found =
        std::find_if(owners.begin(), owners.end(), [owner](const auto& entry) { return entry.first == owner; });
    if (found == owners.end()) found = owners.insert(owners.end(), {owner, {}});
    found->second.emplace_back(previous, MFnDependencyNode(piece).name());
  }
  for (const auto& [owner, names] : owners) {
    const auto follow = [&names](const MString& name) {
      for (const auto& [previous, now] : names)
        if (name == previous) return now;
      return name;
    };
    for (const auto& linked : owner->linkedStressNodes()) {
      SceneStress& node = *linked.first;
      const MString first = follow(node.body1Name());
      const MString second = follow(node.body2Name());
      if (first != node.body1Name()) node.setBody1Name(first);
      if (second != node.body2Name()) node.setBody2Name(second);
    }
  }
}

void FractureBodyNode::activateJoint(SceneStress& node) {
  if (FractureBody* body = getFractureBody(); body != nullptr && node.getJoint() != nullptr)
    body->activateJoint(node.getJoint());
}

void FractureBodyNode::deactivateJoint(SceneStress& node) {
  if (FractureBody* body = getFractureBody(); body != nullptr && node.getJoint() != nullptr)
    body->deActivateJoint(node.getJoint());
}

void FractureBodyNode::syncStressBodyIndices(SceneStress& node) {
  const DynamicStress* joint = node.getJoint();
  if (joint == nullptr) return;
  std::uint32_t first = node.getBody1Index();
  std::uint32_t second = node.getBody2Index();
  if (joint->getPNode() != nullptr) second = static_cast<std::uint32_t>(joint->getPNode()->getShape().tag);
  if (joint->getCNode() != nullptr) first = static_cast<std::uint32_t>(joint->getCNode()->getShape().tag);
  node.setBodyIndices(first, second);
}

SceneStress* FractureBodyNode::findStressNode(const DynamicStress* joint) const {
  for (SceneStress* node : stressNodesLinked())
    if (node->getJoint() == joint) return node;
  return nullptr;
}

// ---- Pieces and joint nodes leaving or joining ---------------------------------------

namespace {

/// Whether the fracture body, or a fragment below it, still lists the joint.
bool familyHolds(const FractureBody& body, const DynamicStress* joint) {
  for (const EngineList<DynamicStress*>* list :
       {&body.getActiveJoints(), &body.getInactiveJoints(), &body.getSplitJoints()})
    if (list->contains(const_cast<DynamicStress*>(joint))) return true;
  for (auto* node = body.getChildBodies().getFirst(); node != nullptr; node = node->next)
    if (node->value->getType() == kFractureBody && familyHolds(*static_cast<const FractureBody*>(node->value), joint))
      return true;
  return false;
}

bool touches(const DynamicStress* joint, const HardBody* body) {
  return joint != nullptr && body != nullptr && (joint->getCNode() == body || joint->getPNode() == body);
}

/// The joints of the fracture body and its fragments that touch the body,
/// each once.
std::vector<DynamicStress*> familyJointsTouching(const FractureBody& body, const HardBody* piece) {
  std::vector<DynamicStress*> found;
  std::vector<const FractureBody*> family{&body};
  for (size_t i = 0; i < family.size(); ++i) {
    const FractureBody& member = *family[i];
    for (const EngineList<DynamicStress*>* list :
         {&member.getActiveJoints(), &member.getInactiveJoints(), &member.getSplitJoints()})
      for (auto* node = list->getFirst(); node != nullptr; node = node->next)
        if (touches(node->value, piece) && std::find(found.begin(), found.end(), node->value) == found.end())
          found.push_back(node->value);
    for (auto* node = member.getChildBodies().getFirst(); node != nullptr; node = node->next)
      if (node->value->getType() == kFractureBody) family.push_back(static_cast<const FractureBody*>(node->value));
  }
  return found;
}

}  // namespace

void FractureBodyNode::removePiece(rigidBodyNode* piece, bool) { takeOutPiece(piece, nullptr); }

void FractureBodyNode::removeDeletedPiece(rigidBodyNode& piece) {
  LeftPiece record{piece.thisMObject(), std::make_unique<MDGModifier>(), {}, {}, std::nullopt};
  takeOutPiece(&piece, &record);
  // A fracture body that had none has nothing to take back.
  if (!fractureBody && !record.released) return;
  record.links = linkNames();
  piece.setFormerOwner(this);
  leftPieces.push_back(std::move(record));
}

void FractureBodyNode::removeDeletedStressNode(SceneStress& node) {
  FractureBody* body = getFractureBody();
  DynamicStress* joint = node.getJoint();
  if (body == nullptr || joint == nullptr) return;
  LeftPiece record{node.thisMObject(), std::make_unique<MDGModifier>(), {}, {}, std::nullopt};
  PrivateHardBody* const ends[] = {joint->getCNode(), joint->getPNode()};
  // Each fragment that carries the joint lets it go first, the fracture
  // body last: a body it leaves without a joint is filed in the world.
  std::vector<FractureBody*> family{body};
  for (size_t i = 0; i < family.size(); ++i)
    for (auto* child = family[i]->getChildBodies().getFirst(); child != nullptr; child = child->next)
      if (child->value->getType() == kFractureBody) family.push_back(static_cast<FractureBody*>(child->value));
  for (size_t i = family.size(); i-- > 1;) family[i]->removeJoint(joint);
  if (PrivateWorld* world = privateWorld())
    world->detachJointFromBody(joint, body);
  else
    body->removeJoint(joint);
  if (!familyHolds(*body, joint)) delete joint;
  // A piece that a joint broken in the play still ties stays a piece: whole
  // again at the start, that joint holds it. The fragment that carried it
  // let it go; it moves on its own until then, as a split releases a piece
  // (the fracture body's list keeps the whole family's joints).
  for (PrivateHardBody* end : ends) {
    if (end == nullptr || body->holdsBody(end) || body->findAnyJointOf(end) == nullptr) continue;
    body->addUniqueToList(end);
    // The fragment stopped it: awake, it moves on as it was moving.
    if (PrivateWorld* world = privateWorld())
      world->activateBody(end);
    else
      end->activate();
  }
  forgetStressNode(&node);
  node.setJoint(nullptr);
  node.setBreakByFrameListed(false);
  node.setOwner(nullptr);
  freeUnheldPieces(&record);
  // A fracture body that had none has nothing to take back.
  if (!fractureBody && !record.released) return;
  record.links = linkNames();
  leftPieces.push_back(std::move(record));
}

void FractureBodyNode::takeOutPiece(rigidBodyNode* piece, LeftPiece* record) {
  if (piece == nullptr) return;
  MDGModifier* removal = record != nullptr ? record->removal.get() : nullptr;
  auto* pieceBody = static_cast<PrivateHardBody*>(piece->engineBody(false));
  FractureBody* body = getFractureBody();
  // The joints the fracture body hands back with the piece: each goes with
  // its joint node, and one that no joint node takes is freed here.
  std::vector<DynamicStress*> handedBack;
  if (body != nullptr && pieceBody != nullptr) {
    handedBack = familyJointsTouching(*body, pieceBody);
    body->removePiece(pieceBody);
  }
  // Every joint node of a joint to the piece goes, however many there are,
  // the clusters' too.
  std::vector<DynamicStress*> freed;
  for (bool found = pieceBody != nullptr; found;) {
    found = false;
    for (const auto& [node, from] : linkedStressNodes()) {
      if (!touches(node->getJoint(), pieceBody)) continue;
      if (DynamicStress* gone = dropStressNode(*node, from, removal)) freed.push_back(gone);
      found = true;
      break;
    }
  }
  for (DynamicStress* joint : handedBack) {
    const bool held = body != nullptr && familyHolds(*body, joint);
    if (held || std::find(freed.begin(), freed.end(), joint) != freed.end()) continue;
    // No joint node stood for it.
    SceneStress::forgetJoint(joint);
    delete joint;
  }
  if (record != nullptr)
    record->locks.emplace_back(piece->thisMObject(), MFnDependencyNode(piece->thisMObject()).isLocked());
  unlinkPiece(*piece, removal);
  if (body != nullptr) freeUnheldPieces(record);
}

void FractureBodyNode::freeUnheldPieces(LeftPiece* record) {
  // A piece that no joint holds any more is no piece: it goes back into the
  // world as an ordinary body.
  for (FractureBody* body = getFractureBody(); body != nullptr; body = getFractureBody()) {
    rigidBodyNode* other = nullptr;
    for (rigidBodyNode* candidate : linkedPieceNodes()) {
      auto* candidateBody = static_cast<PrivateHardBody*>(candidate->engineBody(false));
      if (candidateBody != nullptr && !body->holdsBody(candidateBody)) other = candidate;
      if (other != nullptr) break;
    }
    if (other == nullptr) {
      if (linkedPieceNodes().empty()) releaseWithoutPieces(record);
      return;
    }
    // Its removal may let the fracture body go.
    takeOutPiece(other, record);
    // It stopped with the compound that carried it, and would hang where it
    // was: awake, it falls as any free body does.
    if (HardBody* freed = other->engineBody(false)) freed->activate();
    other->activateBody();
  }
}

void FractureBodyNode::unlinkPiece(rigidBodyNode& piece, MDGModifier* removal) {
  // Unlocked first: the link of a locked node cannot be broken.
  MFnDependencyNode(piece.thisMObject()).setLocked(false);
  piece.setParamsLocked(false);
  const MPlug link(piece.thisMObject(), rigidBodyNode::fracture);
  const MPlug from = link.source();
  if (!from.isNull() && (from.node() == thisMObject() || userNodeOf<clusterFractureNode>(from) != nullptr)) {
    MDGModifier& dg = removal != nullptr ? *removal : dgModifier();
    dg.disconnect(from, link);
    dg.doIt();
  }
  piece.setFractureOwner(nullptr, false);
}

std::vector<rigidBodyNode*> FractureBodyNode::linkedPieceNodes() const {
  std::vector<rigidBodyNode*> pieces = pieceNodes();
  for (clusterFractureNode* cluster : clusterNodes()) {
    const std::vector<rigidBodyNode*> more = cluster->pieceNodes();
    pieces.insert(pieces.end(), more.begin(), more.end());
  }
  return pieces;
}

std::vector<std::pair<SceneStress*, MPlug>> FractureBodyNode::linkedStressNodes() const {
  std::vector<std::pair<SceneStress*, MPlug>> nodes;
  for (SceneStress* node : stressNodesLinked()) nodes.emplace_back(node, MPlug(thisMObject(), stresses));
  for (clusterFractureNode* cluster : clusterNodes()) {
    const MObject owner = cluster->thisMObject();
    for (SceneStress* node : cluster->innerStresses())
      nodes.emplace_back(node, MPlug(owner, clusterFractureNode::instresses));
    for (SceneStress* node : cluster->outerStresses())
      nodes.emplace_back(node, MPlug(owner, clusterFractureNode::outstresses));
  }
  return nodes;
}

void FractureBodyNode::releaseWithoutPieces(LeftPiece* record) {
  const bool hadBody = static_cast<bool>(fractureBody);
  const MObject self = thisMObject();
  if (record != nullptr) {
    // Kept to be undone with the deletion that took the last piece: the
    // pieces that left before stay to be taken back.
    record->released = std::make_pair(MPlug(self, index).asInt(), MPlug(self, enabled).asBool());
    dropClusterNode(record->removal.get());
    letBodyGo();
  } else {
    release();
  }
  MPlug(self, index).setValue(-1);
  MPlug(self, enabled).setValue(false);
  if (hadBody) MGlobal::displayWarning("fracture body " + nodeName() + " has no pieces left and was released");
}

void FractureBodyNode::removeStressNodeAt(unsigned int i) {
  MPlugArray plugs;
  MPlug(thisMObject(), stresses).connectedTo(plugs, false, true);
  if (i >= plugs.length()) return;
  if (SceneStress* node = userNodeOf<SceneStress>(plugs[i])) dropStressNode(*node, MPlug(thisMObject(), stresses));
}

DynamicStress* FractureBodyNode::dropStressNode(SceneStress& node, const MPlug& from, MDGModifier* removal) {
  FractureBody* body = getFractureBody();
  DynamicStress* freed = nullptr;
  if (DynamicStress* joint = node.getJoint()) {
    if (PrivateWorld* world = privateWorld(); world != nullptr && body != nullptr)
      world->detachJointFromBody(joint, body);
    else if (body != nullptr)
      body->removeJoint(joint);
    // A joint the fracture body gave up is nobody's: it goes with its node.
    if (body == nullptr || !familyHolds(*body, joint)) {
      delete joint;
      freed = joint;
    }
    node.setJoint(nullptr);
  }
  forgetStressNode(&node);
  node.setBreakByFrameListed(false);
  node.setOwner(nullptr);
  MDGModifier& dg = removal != nullptr ? *removal : dgModifier();
  dg.disconnect(from, MPlug(node.thisMObject(), SceneStress::fracture));
  dg.deleteNode(node.thisMObject());
  dg.doIt();
  return freed;
}

void FractureBodyNode::detachStressNode(SceneStress* node) {
  if (node == nullptr) return;
  FractureBody* body = getFractureBody();
  if (PrivateWorld* world = privateWorld(); world != nullptr && body != nullptr && node->getJoint() != nullptr)
    world->detachJointFromBody(node->getJoint(), body);
  forgetStressNode(node);
  node->setOwner(nullptr);
  MDGModifier& dg = dgModifier();
  dg.disconnect(MPlug(thisMObject(), stresses), MPlug(node->thisMObject(), SceneStress::fracture));
  dg.doIt();
  if (numStressNodes > 0) --numStressNodes;
  std::uint32_t index = 0;
  for (SceneStress* remaining : stressNodesLinked()) {
    remaining->setJointIndex(index);
    if (DynamicStress* joint = remaining->getJoint()) joint->setIndex(index);
    ++index;
  }
}

void FractureBodyNode::attachStressNode(SceneStress* node) {
  if (node == nullptr) return;
  FractureBody* body = getFractureBody();
  if (PrivateWorld* world = privateWorld(); world != nullptr && body != nullptr && node->getJoint() != nullptr)
    world->attachJointToBody(node->getJoint(), body);
  node->setOwner(this);
  const MPlug from(thisMObject(), stresses);
  const MPlug to(node->thisMObject(), SceneStress::fracture);
  if (from.isNull() || to.isNull()) return;
  MDGModifier& dg = dgModifier();
  dg.connect(from, to);
  dg.doIt();
  ++numStressNodes;
}

bool FractureBodyNode::detachPieces(const std::vector<rigidBodyNode*>& selection, FractureBodyNode& source, bool keep) {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return false;
  std::vector<PrivateHardBody*> bodies;
  for (rigidBodyNode* piece : selection) {
    auto* pieceBody = piece != nullptr ? static_cast<PrivateHardBody*>(piece->engineBody(false)) : nullptr;
    bodies.push_back(pieceBody);
    if (pieceBody != nullptr) body->addUniqueToList(pieceBody);
  }
  // The joints among the selected pieces, gathered before any moves: moving
  // a joint changes the joint lists a walk would go over.
  std::vector<DynamicStress*> inner;
  for (size_t i = 0; i < bodies.size(); ++i) {
    if (bodies[i] == nullptr) continue;
    for (DynamicStress* joint = body->firstJoint(bodies[i]); joint != nullptr; joint = body->nextJoint(bodies[i])) {
      const bool inside = std::any_of(bodies.begin() + static_cast<std::ptrdiff_t>(i) + 1, bodies.end(),
                                      [joint](const PrivateHardBody* other) { return touches(joint, other); });
      if (inside && std::find(inner.begin(), inner.end(), joint) == inner.end()) inner.push_back(joint);
    }
  }
  for (DynamicStress* joint : inner) {
    SceneStress* node = source.findStressNode(joint);
    if (node == nullptr) continue;
    source.detachStressNode(node);
    attachStressNode(node);
  }
  if (keep) {
    for (size_t i = 0; i < selection.size(); ++i) {
      if (selection[i] == nullptr) continue;
      source.removePiece(selection[i], true);
      selection[i]->setFractureOwner(this, i == 0);
    }
  }
  body->registerJoint(body->getActiveJoints());
  if (FractureBody* sourceBody = source.getFractureBody()) sourceBody->rebuildFromPieces();
  body->buildClusterTree();

  const MObject self = thisMObject();
  MPlug(self, stressThresholdAttr).setValue(source.stressThreshold());
  MPlug(self, randomThresholdAttr).setValue(source.randomThreshold());
  body->setGlobalStressThreshold(source.stressThreshold());
  applyJointParams();
  if (!body->updateMassProperties()) return false;

  body->setLinearVelocity(Mgc::MgcVector3());
  body->setAngularMomentum(Mgc::MgcVector3());
  restorePieces(MAnimControl::currentTime());
  addToWorld();
  applyBoolParam(ca_enabled, MPlug(self, enabled).asBool());
  MPlug(self, mass).setValue(body->getMass());
  return true;
}

void FractureBodyNode::applyJointParams() {
  for (SceneStress* node : stressNodes) {
    MPlug(node->thisMObject(), SceneStress::breakByFrame).setValue(false);
    node->setBreakByFrameListed(false);
    setBreakByFrameBit(*node, false);
  }
  stressNodes.clear();
  const double threshold = stressThreshold();
  for (SceneStress* node : stressNodesLinked()) {
    node->setDouble("breakEnergy", 0.0);
    node->setDouble("forceStrenght", threshold);
    node->setBool("enabled", true);
    node->setBool("torsion", true);
    node->setBool("breakByForce", true);
  }
  applyIntParam(ca_randomThreshold, randomThreshold());
  applyBoolParam(ca_stress2mass, MPlug(thisMObject(), stress2mass).asBool());
}

void FractureBodyNode::updateClusters() {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return;
  bool lastBreaks = false;
  const std::vector<clusterFractureNode*> linked = clusterNodes();
  for (clusterFractureNode* cluster : linked) {
    lastBreaks = cluster->isBreakable();
    if (lastBreaks) body->enableBreakByFrame();
  }
  if (linked.empty() || !lastBreaks) body->disableBreakByFrame();
}
