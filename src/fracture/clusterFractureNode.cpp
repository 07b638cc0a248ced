// The cluster node: its attributes, its compute, which hands a changed
// parameter on to the joint nodes wired to it, and what the fracture body
// node asks of it at a reset and after a scene is opened.
#include "src/fracture/clusterFractureNode.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>

#include <utility>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/fracture/sceneStress.h"
#include "src/hostUtilities.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

const MTypeId clusterFractureNode::id(0x113A81);
const MString clusterFractureNode::nodeTypeName("ClusterZovNode");

namespace {

constexpr AttributeFlags kClusterLink = AttributeFlags().hidden(true);

/// The joint nodes on one of the node's plugs, in connection order; nodes
/// of other kinds are passed over.
std::vector<SceneStress*> stressesOn(const MObject& node, const MObject& attribute) {
  MPlugArray plugs;
  MPlug(node, attribute).connectedTo(plugs, false, true);
  return userNodesOf<SceneStress>(plugs);
}

}  // namespace

clusterFractureNode::~clusterFractureNode() { pushStressParams(); }

MStatus clusterFractureNode::initialize() {
  using Kind = MFnNumericData;
  const MStatus added = addAttributes({
      {rigidBodies, messageAttribute("rigidBodies", "rbds", kClusterLink)},
      {outstresses, messageAttribute("outstresses", "ostr", kClusterLink)},
      {instresses, messageAttribute("instresses", "istr", kClusterLink)},
      {fracture, messageAttribute("fracture", "frac")},
      {stressThresholdAttr, boundedAttribute("stressThreshold", "sthr", Kind::kDouble, 50.0, 0.0, 1e6, kNotKeyable)},
      {breakByFrame, numericAttribute("breakByFrame", "bbf", Kind::kBoolean, 0.0, kNotKeyable)},
      {breakFrameAttr, numericAttribute("breakFrame", "bfr", Kind::kInt, 1.0, kNotKeyable.hidden(false))},
      {breakEnergy,
       boundedAttribute("breakEnergy", "bre", Kind::kDouble, 0.0, 0.0, kNoUpperLimit, AttributeFlags().keyable(true))},
      {selected, numericAttribute("selected", "sel", Kind::kBoolean, 0.0, kHiddenState)},
      {ca_selected, hiddenTwin("ca_selected", "csel"), {&selected}},
      {ca_stressThreshold, hiddenTwin("ca_stressThreshold", "csth"), {&stressThresholdAttr}},
      {ca_breakFrame, hiddenTwin("ca_breakFrame", "cbkf"), {&breakFrameAttr}},
      {ca_breakByFrame, hiddenTwin("ca_breakByFrame", "cbbf"), {&breakByFrame}},
      {ca_breakEnergy, hiddenTwin("ca_breakEnergy", "caen"), {&breakEnergy}},
  });
  if (!added) return added;
  return MS::kSuccess;
}

// ---- Compute ------------------------------------------------------------------

MStatus clusterFractureNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == ca_selected) {
    const bool isSelected = block.inputValue(selected).asBool();
    // The pieces show the cluster's selection when the views are drawn again.
    if (isSelected) MGlobal::executeCommandOnIdle("refresh -force;");
    block.outputValue(ca_selected).set(isSelected);
    block.setClean(plug);
    return MS::kSuccess;
  }
  const bool handsOn =
      plug == ca_breakByFrame || plug == ca_breakFrame || plug == ca_breakEnergy || plug == ca_stressThreshold;
  if (settling && handsOn) {
    block.outputValue(plug).set(true);
    block.setClean(plug);
    return MS::kSuccess;
  }
  if (plug == ca_breakByFrame) {
    propagateBreakByFrame(block.inputValue(breakByFrame).asBool());
  } else if (plug == ca_breakFrame) {
    const int frame = block.inputValue(breakFrameAttr).asInt();
    for (const std::vector<SceneStress*>& joints : {innerStresses(), outerStresses()})
      for (SceneStress* joint : joints) joint->setInt("frameToBreak", frame);
  } else if (plug == ca_breakEnergy) {
    propagateToInnerFirst("breakEnergy", block.inputValue(breakEnergy).asDouble());
  } else if (plug == ca_stressThreshold) {
    propagateToInnerFirst("forceStrenght", block.inputValue(stressThresholdAttr).asDouble());
  } else {
    return MS::kSuccess;
  }
  setStressColors();
  findSolverAndNotify();
  // A changed cluster is no longer shown as picked.
  block.outputValue(selected).set(false);
  block.outputValue(plug).set(true);
  block.setClean(plug);
  return MS::kSuccess;
}

void clusterFractureNode::propagateBreakByFrame(bool value) {
  const std::vector<SceneStress*> inner = innerStresses();
  for (SceneStress* joint : inner) joint->setBool("breakByFrame", value);
  FractureBodyNode* owner = fractureNode();
  if (!inner.empty() && owner != nullptr) {
    if (value) {
      if (FractureBody* body = owner->getFractureBody()) body->enableBreakByFrame();
    } else {
      // Another cluster of the fracture body may still break by frame.
      owner->updateClusters();
    }
  }
  for (SceneStress* joint : outerStresses()) joint->setBool("breakByFrame", value);
}

void clusterFractureNode::propagateToInnerFirst(const char* parameter, double value) {
  const std::vector<SceneStress*> inner = innerStresses();
  if (!inner.empty()) {
    for (SceneStress* joint : inner) joint->setDouble(parameter, value);
    return;
  }
  // Only a cluster with no inner link at all passes the value outward.
  MPlugArray linked;
  MPlug(thisMObject(), instresses).connectedTo(linked, false, true);
  if (linked.length() != 0) return;
  for (SceneStress* joint : outerStresses()) joint->setDouble(parameter, value);
}

// ---- Joint values ---------------------------------------------------------------

bool clusterFractureNode::initStresses() {
  if (fractureNode() == nullptr) return false;
  const double threshold = MPlug(thisMObject(), stressThresholdAttr).asDouble();
  const std::vector<SceneStress*> outer = outerStresses();
  const std::vector<SceneStress*> inner = innerStresses();
  for (SceneStress* joint : outer) {
    joint->setDouble("forceStrenght", 0.0);
    joint->setDouble("breakEnergy", 0.0);
    joint->setBool("breakByFrame", false);
  }
  for (SceneStress* joint : inner) {
    joint->setDouble("forceStrenght", threshold);
    joint->setDouble("breakEnergy", 0.0);
    joint->setBool("breakByFrame", false);
  }
  setStressColors();
  // The values just given are the cluster's: a twin left from the making
  // and read later would hand them on again, over what the user has since
  // set on a joint.
  settleTwins();
  return !outer.empty() || !inner.empty();
}

void clusterFractureNode::pushStressParams() {
  const MObject self = thisMObject();
  if (self.isNull()) return;
  FractureBodyNode* owner = fractureNode();
  if (owner == nullptr) return;
  const double threshold = owner->stressThreshold();
  for (const std::vector<SceneStress*>& joints : {outerStresses(), innerStresses()})
    for (SceneStress* joint : joints) {
      joint->setDouble("forceStrenght", threshold);
      joint->setDouble("breakEnergy", 0.0);
      joint->setBool("breakByFrame", false);
    }
  setStressColors();
  findSolverAndNotify();
}

void clusterFractureNode::handBack(MDGModifier& dg) {
  FractureBodyNode* owner = fractureNode();
  if (owner == nullptr) return;
  pushStressParams();
  const MObject self = thisMObject();
  const MObject fracture = owner->thisMObject();
  for (rigidBodyNode* piece : pieceNodes()) {
    // The link of a locked node cannot be broken. A piece the user unlocked
    // stays unlocked: a deletion checked the locks of all its nodes before
    // any went, and the piece may be one of them.
    const UnlockedNode unlocked(piece->thisMObject());
    dg.disconnect(MPlug(self, rigidBodies), MPlug(piece->thisMObject(), rigidBodyNode::fracture));
    dg.connect(MPlug(fracture, FractureBodyNode::rigidBodies), MPlug(piece->thisMObject(), rigidBodyNode::fracture));
    dg.doIt();
  }
  const std::pair<const MObject*, std::vector<SceneStress*>> lists[] = {{&outstresses, outerStresses()},
                                                                        {&instresses, innerStresses()}};
  for (const auto& [list, joints] : lists)
    for (SceneStress* joint : joints) {
      dg.disconnect(MPlug(self, *list), MPlug(joint->thisMObject(), SceneStress::fracture));
      dg.connect(MPlug(fracture, FractureBodyNode::stresses), MPlug(joint->thisMObject(), SceneStress::fracture));
      dg.doIt();
    }
  // Unlinked, the cluster no longer counts among the fracture body's.
  disconnectAllConnections(MPlug(self, clusterFractureNode::fracture), dg);
}

void clusterFractureNode::settleTwins() {
  settling = true;
  pullPlugs(thisMObject(), {&ca_stressThreshold, &ca_breakFrame, &ca_breakByFrame, &ca_breakEnergy});
  settling = false;
  settled = true;
}

void clusterFractureNode::findSolverAndNotify() {
  if (zovSolverNode* solver = userNodeOf<zovSolverNode>(findSolverNode())) solver->deactivateCachedMode();
}

void clusterFractureNode::setStressColors() {
  FractureBodyNode* owner = fractureNode();
  if (owner == nullptr || !owner->displaysStress()) return;
  for (rigidBodyNode* piece : pieceNodes()) owner->colorStresses(piece->thisMObject(), 0);
}

// ---- Start state and scene opening -------------------------------------------------

void clusterFractureNode::applyInitialState() {
  for (rigidBodyNode* piece : pieceNodes()) {
    const UnlockedPiece unlocked(*piece);
    piece->restoreRestTransform();
  }
  for (const std::vector<SceneStress*>& joints : {innerStresses(), outerStresses()})
    for (SceneStress* joint : joints) joint->writeAttributes();
}

void clusterFractureNode::storeInitialState(const MTime& time) {
  for (rigidBodyNode* piece : pieceNodes()) {
    const UnlockedPiece unlocked(*piece);
    piece->resetToStart(time);
  }
  for (const std::vector<SceneStress*>& joints : {innerStresses(), outerStresses()})
    for (SceneStress* joint : joints) joint->pullAttributes();
}

unsigned int clusterFractureNode::updateFromScene(unsigned int firstIndex) {
  // A cluster read from a scene: its joint nodes hold the values the scene
  // kept, which the twins, dirty from the reading, must not overwrite when
  // read. A cluster built again in the session keeps its twins as they are:
  // a dirty one is the user's edit, still to be handed on.
  if (!settled) settleTwins();
  FractureBodyNode* owner = fractureNode();
  FractureBody* body = owner != nullptr ? owner->getFractureBody() : nullptr;
  if (body == nullptr) return firstIndex;
  for (rigidBodyNode* piece : pieceNodes()) {
    auto* pieceBody = static_cast<PrivateHardBody*>(piece->engineBody(false));
    if (pieceBody == nullptr) continue;
    body->addUniqueToList(pieceBody);
    piece->setFractureOwner(owner, false);
    pieceBody->setGroupID(MPlug(piece->thisMObject(), rigidBodyNode::groupid).asInt());
  }
  unsigned int index = firstIndex;
  for (const std::vector<SceneStress*>& joints : {outerStresses(), innerStresses()})
    for (SceneStress* joint : joints) {
      DynamicStress* rebuilt = owner->rebuildJoint(*joint, index++);
      if (rebuilt == nullptr) continue;
      if (PrivateWorld* world = privateWorld())
        world->attachJointToBody(rebuilt, body);
      else
        body->attachJoint(rebuilt);
    }
  return index;
}

// ---- Deletion by the user ------------------------------------------------------------

void clusterFractureNode::onNodeRemoved(MObject& node, void*) {
  clusterFractureNode* cluster = userNodeOf<clusterFractureNode>(node);
  if (cluster == nullptr) return;
  FractureBodyNode* owner = cluster->fractureNode();
  // A fracture body that goes takes its clusters along as they are, and
  // gives them back with itself.
  if (owner == nullptr || owner->isDeleted()) return;
  std::vector<HeldJoint> joints;
  for (const std::vector<SceneStress*>& list : {cluster->outerStresses(), cluster->innerStresses()})
    for (SceneStress* joint : list)
      joints.push_back({joint->thisMObject(), joint->getDouble("forceStrenght"), joint->getDouble("breakEnergy"),
                        joint->getBool("breakByFrame")});
  cluster->heldPieces.clear();
  for (rigidBodyNode* piece : cluster->pieceNodes()) cluster->heldPieces.push_back(piece->thisMObject());
  if (cluster->heldPieces.empty() && joints.empty()) return;
  cluster->heldJoints = std::move(joints);
  cluster->handedBack = std::make_unique<MDGModifier>();
  cluster->handBack(*cluster->handedBack);
  owner->updateClusters();
}

void clusterFractureNode::onNodeAdded(MObject& node) {
  clusterFractureNode* cluster = userNodeOf<clusterFractureNode>(node);
  if (cluster == nullptr || !cluster->handedBack) return;
  {
    // Each piece keeps its lock, as the hand-back left it.
    std::vector<std::unique_ptr<UnlockedNode>> unlocked;
    for (const MObject& held : cluster->heldPieces)
      if (userNodeOf<rigidBodyNode>(held) != nullptr) unlocked.push_back(std::make_unique<UnlockedNode>(held));
    cluster->handedBack->undoIt();
  }
  cluster->handedBack.reset();
  for (const std::vector<SceneStress*>& list : {cluster->outerStresses(), cluster->innerStresses()})
    for (SceneStress* joint : list)
      for (const HeldJoint& held : cluster->heldJoints) {
        if (held.node != joint->thisMObject()) continue;
        joint->setDouble("forceStrenght", held.strength);
        joint->setDouble("breakEnergy", held.energy);
        joint->setBool("breakByFrame", held.byFrame);
      }
  cluster->heldPieces.clear();
  cluster->heldJoints.clear();
  if (FractureBodyNode* owner = cluster->fractureNode()) owner->updateClusters();
  cluster->setStressColors();
  cluster->findSolverAndNotify();
}

// ---- Readers ---------------------------------------------------------------------

bool clusterFractureNode::isSelected() const { return MPlug(thisMObject(), selected).asBool(); }

clusterFractureNode* clusterNodeOf(const rigidBodyNode& piece) {
  return userNodeOf<clusterFractureNode>(sourceNodeOf(MPlug(piece.thisMObject(), rigidBodyNode::fracture)));
}
bool clusterFractureNode::isBreakable() const { return MPlug(thisMObject(), breakByFrame).asBool(); }
int clusterFractureNode::getBreakFrame() const { return MPlug(thisMObject(), breakFrameAttr).asInt(); }

FractureBodyNode* clusterFractureNode::fractureNode() const {
  MObject node;
  if (!firstConnectedNode(MPlug(thisMObject(), fracture), node)) return nullptr;
  return userNodeOf<FractureBodyNode>(node);
}

std::vector<rigidBodyNode*> clusterFractureNode::pieceNodes() const {
  MPlugArray plugs;
  MPlug(thisMObject(), rigidBodies).connectedTo(plugs, false, true);
  return userNodesOf<rigidBodyNode>(plugs);
}

std::vector<SceneStress*> clusterFractureNode::innerStresses() const { return stressesOn(thisMObject(), instresses); }
std::vector<SceneStress*> clusterFractureNode::outerStresses() const { return stressesOn(thisMObject(), outstresses); }
