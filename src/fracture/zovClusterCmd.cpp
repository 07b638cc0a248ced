#include "src/fracture/zovClusterCmd.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>

#include <algorithm>
#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "src/commandSelection.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/sceneStress.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

constexpr CommandFlag kClusterNameFlag{"-n", "-name", MSyntax::kString};
constexpr CommandFlag kClusterAssignFlag{"-as", "-assign"};
constexpr CommandFlag kClusterRemoveFlag{"-rem", "-remove"};
const char* const kDefaultClusterName = "zovCluster0";
/// The cluster's threshold over its fracture body's: the single-precision
/// 1.2.
constexpr double kClusterStrength = static_cast<double>(1.2f);

/// The fracture body node feeding a rigid body's `fracture`; null when it is
/// fed by something else (a cluster) or by nothing.
FractureBodyNode* feedingFractureBody(const rigidBodyNode& piece) {
  MObject node;
  if (!firstConnectedNode(MPlug(piece.thisMObject(), rigidBodyNode::fracture), node)) return nullptr;
  return userNodeOf<FractureBodyNode>(node);
}

/// Moves a joint node from the fracture body node's `stresses` to a plug of
/// the cluster, when the fracture body node holds it.
void rewireJoint(MDGModifier& dg, FractureBodyNode& fracture, const DynamicStress* joint, const MPlug& to) {
  SceneStress* node = fracture.findStressNode(joint);
  if (node == nullptr) return;
  MObject holder;
  if (!firstConnectedNode(MPlug(node->thisMObject(), SceneStress::fracture), holder) ||
      userNodeOf<FractureBodyNode>(holder) != &fracture)
    return;
  dg.disconnect(MPlug(fracture.thisMObject(), FractureBodyNode::stresses),
                MPlug(node->thisMObject(), SceneStress::fracture));
  dg.connect(to, MPlug(node->thisMObject(), SceneStress::fracture));
  dg.doIt();
}

}  // namespace

MSyntax zovClusterCmd::newSyntax() {
  return commandSyntax({kClusterNameFlag, kClusterAssignFlag, kClusterRemoveFlag}, kSelectedObjects);
}

MStatus zovClusterCmd::redoIt() {
  MString name;
  arguments.read(kClusterNameFlag, name);
  if (name.length() == 0) name = kDefaultClusterName;
  // A name the host cannot give would leave the cluster named otherwise.
  if (!arguments.checkNodeName(kClusterNameFlag, name)) return MS::kFailure;
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;
  if (!modifier) modifier = std::make_unique<MDGModifier>();

  const MObject solver = findSolverNode();
  if (solver.isNull()) return failWithError("no zov solver found, abort");
  if (userNodeOf<zovSolverNode>(solver) == nullptr) return failWithError("invalid selection, abort");
  if (arguments.isSet(kClusterAssignFlag)) {
    if (arguments.isSet(kClusterRemoveFlag))
      MGlobal::displayWarning(
          "zovCluster: -assign and -remove given together: -assign makes a cluster, nothing is "
          "removed");
    return assign(name);
  }
  if (arguments.isSet(kClusterRemoveFlag)) return remove();
  return MS::kFailure;
}

MStatus zovClusterCmd::remove() {
  const UndoRecordingOff recordingOff;
  FractureBodyNode* lastFracture = nullptr;
  for (const MObject& node : selectedDependNodes(selection)) {
    clusterFractureNode* cluster = userNodeOf<clusterFractureNode>(node);
    if (cluster == nullptr) {
      warnLeftOut({arguments.command(), "a cluster"}, node);
      continue;
    }
    FractureBodyNode* fracture = cluster->fractureNode();
    // A cluster that belongs to no fracture body has nobody to hand back to.
    if (fracture == nullptr) {
      MGlobal::displayWarning("zovCluster: the cluster " + MFnDependencyNode(node).name() +
                              " belongs to no fracture body, it is left as it is");
      continue;
    }
    lastFracture = fracture;
    markChanged();
    cluster->handBack(*modifier);
    modifier->deleteNode(node);
    modifier->doIt();
  }
  if (lastFracture != nullptr) lastFracture->updateClusters();
  return MS::kSuccess;
}

std::vector<zovClusterCmd::TakenPiece> zovClusterCmd::takenPieces(FractureBodyNode*& fracture, bool& anyLinked) const {
  std::vector<TakenPiece> pieces;
  fracture = nullptr;
  anyLinked = false;
  for (rigidBodyNode* rigid : selectedNodes<rigidBodyNode>(selection, MFn::kPluginLocatorNode)) {
    const MObject node = rigid->thisMObject();
    if (MPlug(node, rigidBodyNode::fracture).isDestination()) anyLinked = true;
    auto* body = static_cast<PrivateHardBody*>(rigid->engineBody(true));
    const auto leftOut = [&node](const char* reason) {
      MGlobal::displayWarning("zovCluster: " + MFnDependencyNode(node).name() + " " + reason + ", it is left out");
    };
    // A static (waiting) piece stays with the fracture body.
    if (body == nullptr || body->isStatic()) {
      leftOut(body == nullptr ? "has no engine body" : "is static");
      continue;
    }
    FractureBodyNode* owner = feedingFractureBody(*rigid);
    if (owner == nullptr) {
      leftOut(rigid->fractureBodyNode() == nullptr ? "is not a piece of a fracture body" : "belongs to a cluster");
      continue;
    }
    pieces.push_back({rigid, body});
    fracture = owner;
  }
  // A cluster belongs to one fracture body: that of the last piece taken.
  for (const TakenPiece& piece : pieces)
    if (feedingFractureBody(*piece.node) != fracture)
      MGlobal::displayWarning("zovCluster: " + MFnDependencyNode(piece.node->thisMObject()).name() +
                              " is a piece of another fracture body than " + fracture->nodeName() + ", it is left out");
  pieces.erase(
      std::remove_if(pieces.begin(), pieces.end(),
                     [fracture](const TakenPiece& piece) { return feedingFractureBody(*piece.node) != fracture; }),
      pieces.end());
  return pieces;
}

MStatus zovClusterCmd::assign(const MString& name) {
  FractureBodyNode* fracture = nullptr;
  bool anyLinked = false;
  const std::vector<TakenPiece> pieces = takenPieces(fracture, anyLinked);
  if (pieces.empty())
    return failWithError(anyLinked ? "not enough fragments to create a cluster, abort"
                                   : "fracture node not found, abort");

  MStatus status;
  const MObject cluster = modifier->createNode(clusterFractureNode::id, &status);
  if (!status || cluster.isNull()) return failWithError("cannot create cluster, abort");
  modifier->renameNode(cluster, name);
  modifier->doIt();
  markChanged();

  const MObject owner = fracture->thisMObject();
  for (const TakenPiece& piece : pieces) {
    const MObject node = piece.node->thisMObject();
    MFnDependencyNode fn(node);
    fn.setLocked(false);
    if (MPlug(node, rigidBodyNode::fracture).isDestination()) {
      modifier->disconnect(MPlug(owner, FractureBodyNode::rigidBodies), MPlug(node, rigidBodyNode::fracture));
      modifier->connect(MPlug(cluster, clusterFractureNode::rigidBodies), MPlug(node, rigidBodyNode::fracture));
      modifier->doIt();
    }
    fn.setLocked(true);
  }
  modifier->connect(MPlug(owner, FractureBodyNode::clusters), MPlug(cluster, clusterFractureNode::fracture));
  modifier->doIt();
  moveJoints(*fracture, cluster, pieces);

  MPlug(cluster, clusterFractureNode::stressThresholdAttr).setValue(fracture->stressThreshold() * kClusterStrength);
  if (clusterFractureNode* made = userNodeOf<clusterFractureNode>(cluster)) made->initStresses();
  if (pieces.size() == 1)
    MGlobal::displayWarning("zovCluster: the cluster " + MFnDependencyNode(cluster).name() + " holds one piece, " +
                            MFnDependencyNode(pieces.front().node->thisMObject()).name() +
                            ": it has no inner joint and its joints to the rest start at strength 0");
  setResult(MFnDependencyNode(cluster).name());
  return MS::kSuccess;
}

void zovClusterCmd::moveJoints(FractureBodyNode& fracture, const MObject& cluster,
                               const std::vector<TakenPiece>& pieces) {
  // Outer joints lead from a piece to a piece outside; inner joints join two
  // pieces, each listed once at the first of the two.
  const auto isTaken = [&pieces](const HardBody* body, size_t except) {
    for (size_t k = 0; k < pieces.size(); ++k)
      if (k != except && pieces[k].body == body) return true;
    return false;
  };
  std::vector<const DynamicStress*> outer;
  std::vector<const DynamicStress*> inner;
  for (size_t i = 0; i < pieces.size(); ++i)
    for (const DynamicStress* joint : valuesOf(pieces[i].body->getJointList())) {
      if (!isTaken(joint->getCNode(), i) && !isTaken(joint->getPNode(), i)) {
        if (std::find(outer.begin(), outer.end(), joint) == outer.end()) outer.push_back(joint);
        continue;
      }
      const HardBody* other = joint->getCNode() == pieces[i].body ? joint->getPNode() : joint->getCNode();
      const bool later = std::any_of(pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1, pieces.end(),
                                     [other](const TakenPiece& piece) { return piece.body == other; });
      if (later) inner.push_back(joint);
    }
  for (const DynamicStress* joint : outer)
    rewireJoint(*modifier, fracture, joint, MPlug(cluster, clusterFractureNode::outstresses));
  for (const DynamicStress* joint : inner)
    rewireJoint(*modifier, fracture, joint, MPlug(cluster, clusterFractureNode::instresses));
}
