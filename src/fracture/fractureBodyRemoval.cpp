// Taking a fracture body apart when its node goes, and the bookkeeping of
// its joint nodes: the break-by-frame list, the pieces a joint node names,
// the joints switched on and off through the node.
#include <maya/MFnDependencyNode.h>
#include <maya/MPlugArray.h>

#include <algorithm>
#include <vector>

#include "engine/FractureFactory.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/DynamicStress.h"
#include "engine/fracture/FractureBody.h"
#include "engine/fracture/JointFlags.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/sceneStress.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

/// Type id of the cluster nodes (`ClusterZovNode`).
const MTypeId kClusterNodeId(0x113A81);

/// The plugs a named attribute of the node links to, as source and as
/// destination; none when the node has no such attribute.
MPlugArray clusterLinks(const MObject& node, const char* attribute) {
  MPlugArray plugs;
  const MPlug plug = MFnDependencyNode(node).findPlug(attribute, true);
  if (!plug.isNull()) plug.connectedTo(plugs, true, true);
  return plugs;
}

void setBreakByFrameBit(SceneStress& node, bool on) {
  DynamicStress* joint = node.getJoint();
  if (joint == nullptr) return;
  joint->setFlags(on ? joint->getFlags() | kJointBreakByFrame : joint->getFlags() & ~kJointBreakByFrame);
}

}  // namespace

void FractureBodyNode::onNodeRemoved(MObject& node, void*) {
  FractureBodyNode* fracture = userNodeOf<FractureBodyNode>(node);
  if (fracture == nullptr) return;
  // A joint node stands for a joint of this fracture body only: it goes too.
  MPlugArray linked;
  MPlug(node, stresses).connectedTo(linked, false, true);
  fracture->release();
  MDGModifier& dg = fracture->dgModifier();
  for (unsigned int i = 0; i < linked.length(); ++i)
    if (userNodeOf<SceneStress>(linked[i]) != nullptr) dg.deleteNode(linked[i].node());
  dg.doIt();
}

void FractureBodyNode::release() {
  dropClusterNode();
  // The joints are about to go: no joint node may keep reaching them.
  SceneStress::forgetOwner(this);
  stressNodes.clear();
  for (rigidBodyNode* piece : pieceNodes()) {
    MFnDependencyNode(piece->thisMObject()).setLocked(false);
    // A piece that joined another fracture body since stays there.
    if (piece->fractureBodyNode() == this) piece->setFractureOwner(nullptr, false);
    piece->setParamsLocked(false);
  }
  if (fractureBody) {
    FractureBody* body = static_cast<FractureBody*>(fractureBody.release());
    deleteFractureBody(&body);
  }
  deactivateSolverCache();
}

void FractureBodyNode::dropClusterNode() {
  MDGModifier& dg = dgModifier();
  MPlugArray plugs;
  MPlug(thisMObject(), clusters).connectedTo(plugs, true, true);
  const MPlug ownPieces(thisMObject(), rigidBodies);
  const MPlug ownStresses(thisMObject(), stresses);
  for (unsigned int i = 0; i < plugs.length(); ++i) {
    const MObject cluster = plugs[i].node();
    if (MFnDependencyNode(cluster).typeId() != kClusterNodeId) continue;
    const MPlugArray pieces = clusterLinks(cluster, "rigidBodies");
    for (unsigned int k = 0; k < pieces.length(); ++k) {
      dg.disconnect(MFnDependencyNode(cluster).findPlug("rigidBodies", true), pieces[k]);
      dg.connect(ownPieces, pieces[k]);
    }
    dg.doIt();
    for (const char* list : {"instresses", "outstresses"}) {
      const MPlugArray joints = clusterLinks(cluster, list);
      for (unsigned int k = 0; k < joints.length(); ++k) {
        dg.disconnect(MFnDependencyNode(cluster).findPlug(list, true), joints[k]);
        dg.connect(ownStresses, joints[k]);
      }
      dg.doIt();
    }
    dg.deleteNode(cluster);
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
