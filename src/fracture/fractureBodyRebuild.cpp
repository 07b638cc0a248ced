// Building a fracture body again from what the scene keeps of it: the pieces
// and the joint nodes linked to its node, after a scene is opened or after
// an undo brings a deleted node back.
#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>
#include <maya/MProgressWindow.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "engine/FractureFactory.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/fracture/sceneStress.h"
#include "src/hostEngineConversions.h"
#include "src/nodeLinks.h"
#include "src/progressReservation.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

const char* const kSourceName = "..\\src\\fractureBodyNode";
const char* const kRebuildTitle = "Building up ZOV Fracture bodies..";
constexpr int kFullProgress = 100;

/// The progress window for one rebuild; nothing when another tool holds it.
class RebuildProgress {
 public:
  RebuildProgress() {
    if (reservation.reserve()) reservation.start(kFullProgress, kRebuildTitle, kSourceName, false);
  }

  /// Shows `value` when it is beyond what was shown.
  void advanceTo(int value) {
    if (!reservation.isHeld() || value <= shown) return;
    shown = value;
    reportProgressError(MProgressWindow::setProgress(value), kSourceName, __LINE__);
  }

 private:
  ProgressReservation reservation;
  int shown = 0;
};

/// Sets a number plug (each child of a compound one) to the value it holds,
/// so that the twins it affects compute again when they are read: the twins
/// of a node brought back by undo are still clean from before its deletion.
void touch(const MPlug& plug) {
  if (plug.isCompound()) {
    for (unsigned int k = 0; k < plug.numChildren(); ++k) touch(plug.child(k));
    return;
  }
  MPlug(plug).setValue(plug.asDouble());
}

/// The engine joint index of the joint rebuilt for connection i: the first
/// two connections trade places.
std::uint32_t rebuiltJointIndex(unsigned int i) { return i == 0 ? 1u : i == 1 ? 0u : i; }

}  // namespace

DynamicStress* FractureBodyNode::rebuildJoint(SceneStress& node, std::uint32_t index) {
  DynamicStress* joint = createJoint();
  if (joint == nullptr) return nullptr;
  float at[3];
  node.getPosition(at);
  const MString firstName = node.body1Name();
  const MString secondName = node.body2Name();
  PrivateHardBody* first = nullptr;
  PrivateHardBody* second = nullptr;
  // A joint of a cluster may bind a piece of the cluster.
  std::vector<rigidBodyNode*> pieces = pieceNodes();
  for (clusterFractureNode* cluster : clusterNodes()) {
    const std::vector<rigidBodyNode*> more = cluster->pieceNodes();
    pieces.insert(pieces.end(), more.begin(), more.end());
  }
  for (rigidBodyNode* piece : pieces) {
    const MString name = MFnDependencyNode(piece->thisMObject()).name();
    auto* body = static_cast<PrivateHardBody*>(piece->engineBody(false));
    if (first == nullptr && name == firstName) first = body;
    if (second == nullptr && name == secondName) second = body;
  }
  if (first == nullptr || second == nullptr) {
    // Never handed to the fracture body: still ours to delete.
    delete joint;
    return nullptr;
  }
  joint->setName(node.nodeName().asChar());
  // The index the scene kept orders the joint as it was ordered when the
  // scene was saved; a scene that kept none numbers by connections.
  const int stored = node.storedJointIndex();
  joint->setIndex(stored >= 0 ? static_cast<std::uint32_t>(stored) : index);
  joint->attach(Mgc::MgcVector3(at[0], at[1], at[2]), 1, second, first);
  node.setOwner(this);
  node.setJoint(joint);
  // A number the scene did not keep is not written into it: the scene
  // reads back as it was saved, and numbers the same way when opened again.
  node.setJointIndex(joint->getIndex(), stored >= 0);
  node.refreshAttributes();
  syncStressBodyIndices(node);
  return joint;
}

void FractureBodyNode::buildFromScene(const MTime& time) {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return;
  RebuildProgress progress;
  body->deleteAllJoints();
  body->resetCrackCount();

  const std::vector<rigidBodyNode*> pieces = pieceNodes();
  for (size_t i = 0; i < pieces.size(); ++i) {
    auto* pieceBody = static_cast<PrivateHardBody*>(pieces[i]->engineBody(false));
    if (pieceBody == nullptr) continue;
    body->addUniqueToList(pieceBody);
    pieces[i]->setFractureOwner(this, i == 0);
    const MPlug group = MFnDependencyNode(pieces[i]->thisMObject()).findPlug("groupid", true);
    pieceBody->setGroupID(group.isNull() ? -1 : group.asInt());
  }

  if (body->getNJointBodies() == 0 && body->numDisconectBodies() == 0 && linkedPieceNodes().empty()) {
    releaseWithoutPieces();
    return;
  }

  const MObject self = thisMObject();
  // Whether the node simulates is the scene's to say: adding the body to the
  // world below (and the first-hit setting's pull) switches it on.
  const bool simulated = MPlug(self, enabled).asBool();
  pullPlug(self, ca_index);
  body->getShape().setName(nodeName().asChar());

  const MPlugArray links = connectedPlugs(self, stresses);
  numStressNodes = links.length();
  // Joints by connection; handed to the fracture body in the order of
  // their indices.
  std::vector<DynamicStress*> byConnection(links.length(), nullptr);
  for (unsigned int i = 0; i < links.length(); ++i) {
    if (SceneStress* node = userNodeOf<SceneStress>(links[i]))
      byConnection[i] = rebuildJoint(*node, rebuiltJointIndex(i));
    progress.advanceTo(static_cast<int>((i + 1) * kFullProgress / links.length()));
  }
  // The clusters' joints are numbered on after the node's own.
  if (theWorld != nullptr && numClusters() > 0) {
    unsigned int next = links.length();
    for (clusterFractureNode* cluster : clusterNodes()) next = cluster->updateFromScene(next);
    updateClusters();
  }
  if (PrivateWorld* world = privateWorld()) {
    std::vector<DynamicStress*> byIndex = byConnection;
    if (byIndex.size() > 1) std::swap(byIndex[0], byIndex[1]);
    for (DynamicStress* joint : byIndex)
      if (joint != nullptr) world->attachJointToBody(joint, body);
  } else {
    for (DynamicStress* joint : byConnection)
      if (joint != nullptr) body->attachJoint(joint);
  }
  findAnimatedParent();
  if (hasAnimatedParent) linkGroupBody();
  body->buildClusterTree();
  if (body->updateMassProperties()) {
    body->setSecImpactsParams(kSecondaryCrackPercent, body->getMass());
    body->enableSecImpacts();
    restorePieces(MAnimControl::currentTime());
    resetToStart();
    addToWorld();
  }
  computeRestMatrix();

  // The parameters reach the engine body once more, but not the joint
  // nodes, which hold what the scene kept: no joint node is counted until
  // they are through.
  for (const MObject* input : {&propStyle, &stressThresholdAttr, &randomThresholdAttr, &stress2mass, &initialVelocity,
                               &initialSpin, &enabled, &secCracks, &percentSecCracks, &passive, &firstHitActive,
                               &affectForceFields, &mass, &friction, &bounciness, &linearDamping, &angularDamping})
    touch(MPlug(self, *input));
  const std::uint32_t joints = numStressNodes;
  numStressNodes = 0;
  pullPlugs(self, {&ca_propStyle, &ca_stressThreshold, &ca_randomThreshold, &ca_stress2mass, &ca_initialVelocity,
                   &ca_initialSpin, &ca_enabled, &ca_secCracks, &ca_passive, &ca_firstHit, &ca_forceFields, &ca_mass,
                   &ca_friction, &ca_bounciness, &ca_airdamping, &ca_angdamping, &ca_mass});
  numStressNodes = joints;
  if (!simulated) {
    MPlug(self, enabled).setValue(false);
    pullPlug(self, ca_enabled);
  }
  restorePieces(time);
}

void FractureBodyNode::buildAgain() {
  // A piece whose deletion was undone has no body until something asks for
  // it: made now, before the fracture body takes its pieces, it is one of
  // them.
  for (rigidBodyNode* piece : linkedPieceNodes())
    if (piece->engineBody(false) == nullptr) piece->engineBody(true);
  fractureBody.reset(createFractureBody());
  if (!fractureBody) return;
  for (const auto& linked : linkedStressNodes()) linked.first->writeAttributes();
  for (rigidBodyNode* piece : linkedPieceNodes()) piece->restoreRestTransform();
  buildFromScene(MAnimControl::currentTime());
}

void FractureBodyNode::onNodeAdded(MObject& added) {
  FractureBodyNode* node = userNodeOf<FractureBodyNode>(added);
  if (node == nullptr || !node->jointRemoval || node->fractureBody) return;
  // The node comes back from its deletion: its joint nodes and clusters
  // come back with it, and the pieces, which went on as free bodies, go back
  // to their start.
  node->jointRemoval->undoIt();
  node->jointRemoval.reset();
  // A node released for want of pieces comes back as it went, keeping the
  // pieces that left to be taken back.
  if (!node->linkedPieceNodes().empty()) node->buildAgain();
}

// ---- A piece's body made again ------------------------------------------------------

void FractureBodyNode::dropEngineBody() {
  SceneStress::forgetOwner(this);
  stressNodes.clear();
  rigidBodyNode::forgetFractureOwner(this);
  if (fractureBody) {
    FractureBody* body = static_cast<FractureBody*>(fractureBody.release());
    deleteFractureBody(&body);
  }
  deactivateSolverCache();
}

bool FractureBodyNode::remakePiece(rigidBodyNode& piece, const std::function<bool()>& make) {
  // Made where the piece starts, as the others go back to their starts for
  // the build: a body made where a play left it would start from there.
  {
    const UnlockedPiece unlocked(piece);
    piece.restoreRestTransform();
  }
  dropEngineBody();
  bool made = false;
  std::exception_ptr failure;
  try {
    made = make();
  } catch (const std::bad_alloc&) {
    // The fracture body is built again all the same; the piece's node
    // reports the failure.
    failure = std::current_exception();
  }
  // Every other piece whose shape changed too has its body made now, while
  // no fracture body holds one: made during the build (a stress colour reads
  // it), it would free a body the build has taken.
  std::vector<rigidBodyNode*> bodiless;
  for (rigidBodyNode* other : linkedPieceNodes()) {
    if (other != &piece) other->engineBody(true);
    if (other->engineBody(false) == nullptr) bodiless.push_back(other);
  }
  std::vector<LeftPiece> left;
  for (rigidBodyNode* gone : bodiless) {
    // No joint can be made for the joint nodes that name the piece: they go
    // with it, and the user is told what became of it. What goes is kept,
    // so that the piece can come back as it was when a body can be made of
    // it again (takeBackPiece).
    LeftPiece record{gone->thisMObject(), std::make_unique<MDGModifier>(), {}, {}, std::nullopt};
    const MString name = MFnDependencyNode(gone->thisMObject()).name();
    for (bool found = true; found;) {
      found = false;
      for (const auto& [node, from] : linkedStressNodes()) {
        if (node->body1Name() != name && node->body2Name() != name) continue;
        dropStressNode(*node, from, record.removal.get());
        found = true;
        break;
      }
    }
    unlinkPiece(*gone, record.removal.get());
    MGlobal::displayWarning("piece " + name + " left fracture body " + nodeName() +
                            ": no body can be made of its collision shape");
    left.push_back(std::move(record));
  }
  buildAgain();
  if (fractureBody && !left.empty()) {
    const std::vector<std::string> links = linkNames();
    for (LeftPiece& record : left) {
      record.links = links;
      if (rigidBodyNode* gone = userNodeOf<rigidBodyNode>(record.piece)) gone->setFormerOwner(this);
      leftPieces.push_back(std::move(record));
    }
  }
  if (failure) std::rethrow_exception(failure);
  return made;
}

bool FractureBodyNode::giveBack(LeftPiece& record, std::vector<std::pair<MObject, bool>>& locks) {
  // Only as it left it: a fracture body changed since (pieces, joint nodes
  // or clusters gone or come) may no longer hold what would come back.
  if ((!fractureBody && !record.released) || linkNames() != record.links) return false;
  // The build locks every piece: each keeps its lock as it was, and the
  // pieces that come back get theirs.
  locks = record.locks;
  for (rigidBodyNode* other : linkedPieceNodes())
    locks.emplace_back(other->thisMObject(), MFnDependencyNode(other->thisMObject()).isLocked());
  record.removal->undoIt();
  if (record.released) {
    MPlug(thisMObject(), index).setValue(record.released->first);
    MPlug(thisMObject(), enabled).setValue(record.released->second);
  }
  // Built again over fewer pieces, the fracture body shared its mass out
  // among the rest: each piece takes its node's mass again, as an opened
  // scene's does, before the fracture body shares it out anew.
  for (rigidBodyNode* other : linkedPieceNodes()) {
    HardBody* otherBody = other->engineBody(false);
    const double given = MPlug(other->thisMObject(), rigidBodyNode::mass).asDouble();
    if (otherBody == nullptr || !(given > 0.0) || !std::isfinite(given)) continue;
    otherBody->setMass(static_cast<float>(given));
    otherBody->saveDynamics(kSaveMass);
  }
  return true;
}

bool FractureBodyNode::takeLeft(const MObject& left, LeftPiece& record) {
  const auto found =
      std::find_if(leftPieces.begin(), leftPieces.end(), [&left](const LeftPiece& kept) { return kept.piece == left; });
  if (found == leftPieces.end()) return false;
  record = std::move(*found);
  leftPieces.erase(found);
  return true;
}

bool FractureBodyNode::takeBackPiece(rigidBodyNode& piece, const std::function<bool()>& make, bool& made) {
  LeftPiece record;
  std::vector<std::pair<MObject, bool>> locks;
  if (!takeLeft(piece.thisMObject(), record) || piece.fractureBodyNode() != nullptr || !giveBack(record, locks))
    return false;
  made = remakePiece(piece, make);
  for (const auto& [node, locked] : locks) MFnDependencyNode(node).setLocked(locked);
  return true;
}

bool FractureBodyNode::takeBackStressNode(SceneStress& node) {
  LeftPiece record;
  std::vector<std::pair<MObject, bool>> locks;
  if (!takeLeft(node.thisMObject(), record) || !giveBack(record, locks)) return false;
  dropEngineBody();
  buildAgain();
  for (const auto& [piece, locked] : locks) MFnDependencyNode(piece).setLocked(locked);
  return true;
}

std::vector<std::string> FractureBodyNode::linkNames() const {
  std::vector<std::string> names;
  const auto add = [&names](const MObject& node, const MObject& attribute) {
    const MPlugArray plugs = connectedPlugs(node, attribute);
    for (unsigned int i = 0; i < plugs.length(); ++i)
      names.push_back(MPlug(node, attribute).name().asChar() + std::string(">") + plugs[i].name().asChar());
  };
  const MObject self = thisMObject();
  for (const MObject* attribute : {&rigidBodies, &stresses, &clusters}) add(self, *attribute);
  for (clusterFractureNode* cluster : clusterNodes())
    for (const MObject* attribute :
         {&clusterFractureNode::rigidBodies, &clusterFractureNode::instresses, &clusterFractureNode::outstresses})
      add(cluster->thisMObject(), *attribute);
  std::sort(names.begin(), names.end());
  return names;
}

void FractureBodyNode::forgetLeftPieces() {
  rigidBodyNode::forgetFormerOwner(this);
  // Taken out first: letting the joint nodes go may call back in here.
  std::vector<LeftPiece> gone = std::move(leftPieces);
  leftPieces.clear();
}
