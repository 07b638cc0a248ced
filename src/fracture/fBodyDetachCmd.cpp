#include "src/fracture/fBodyDetachCmd.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

#include <algorithm>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/commandArguments.h"
#include "src/commandSelection.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

/// The fracture body node feeding a rigid body's `fracture`; null when
/// none does.
FractureBodyNode* feedingFractureBody(const MObject& node) {
  return userNodeOf<FractureBodyNode>(sourceNodeOf(MPlug(node, rigidBodyNode::fracture)));
}

/// Whether a joint between two of the pieces has a joint node in the source
/// that could go with them: without one the new fracture body would be
/// left without a piece.
bool sharesAJointNode(FractureBodyNode& source, const std::vector<rigidBodyNode*>& pieces) {
  FractureBody* body = source.getFractureBody();
  if (body == nullptr || privateWorld() == nullptr) return false;
  std::vector<PrivateHardBody*> bodies;
  for (rigidBodyNode* piece : pieces) bodies.push_back(static_cast<PrivateHardBody*>(piece->engineBody(false)));
  for (size_t i = 0; i < bodies.size(); ++i) {
    if (bodies[i] == nullptr) continue;
    for (const DynamicStress* joint : valuesOf(bodies[i]->getJointList())) {
      const bool inside = std::any_of(
          bodies.begin() + static_cast<std::ptrdiff_t>(i) + 1, bodies.end(), [joint](const PrivateHardBody* other) {
            return other != nullptr && (joint->getCNode() == other || joint->getPNode() == other);
          });
      if (inside && source.findStressNode(joint) != nullptr) return true;
    }
  }
  return false;
}

}  // namespace

MSyntax FBodyDetachCmd::newSyntax() { return commandSyntax({}, kSelectedObjects); }

MStatus FBodyDetachCmd::redoIt() {
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;
  rewindToStart(" time set to start frame to detach fracture body");
  const rigidBodyNode* first = firstSelectedNode<rigidBodyNode>(selection);
  FractureBodyNode* source = first != nullptr ? feedingFractureBody(first->thisMObject()) : nullptr;
  if (source == nullptr) return failWithError(kInvalidSelection);
  // The source's own pieces, in selection order.
  std::vector<rigidBodyNode*> pieces;
  bool allStatic = true;
  for (rigidBodyNode* piece : selectedNodes<rigidBodyNode>(selection)) {
    if (feedingFractureBody(piece->thisMObject()) != source) continue;
    if (std::find(pieces.begin(), pieces.end(), piece) != pieces.end()) continue;
    pieces.push_back(piece);
    if (HardBody* body = piece->engineBody(false); body != nullptr && !body->isStatic()) allStatic = false;
  }
  if (selection.length() == 1 || allStatic) {
    for (rigidBodyNode* piece : pieces) source->removePiece(piece, true);
    if (!pieces.empty()) markChanged();
    return MS::kSuccess;
  }
  const MStatus status = splitOff(*source, pieces);
  if (status) markChanged();
  return status;
}

MStatus FBodyDetachCmd::splitOff(FractureBodyNode& source, const std::vector<rigidBodyNode*>& pieces) {
  // The new fracture body is made of the joints among the pieces: without
  // one it could not be built, and nothing may leave the source.
  if (!sharesAJointNode(source, pieces)) return failWithError(kInvalidSelection);
  if (!modifier) modifier = std::make_unique<MDGModifier>();
  const MObject made = modifier->createNode(FractureBodyNode::id);
  FractureBodyNode* split = userNodeOf<FractureBodyNode>(made);
  if (split == nullptr || split->getFractureBody() == nullptr) return failWithError("unknow error, abort");
  modifier->renameNode(made, source.nodeName() + "1");
  modifier->doIt();

  if (!split->detachPieces(pieces, source, true)) {
    // Cannot happen once the pieces share a joint; should it, the pieces
    // are free bodies now, not pieces of a node that goes.
    for (rigidBodyNode* piece : pieces) piece->setFractureOwner(nullptr, false);
    split->release();
    modifier->deleteNode(made);
    modifier->doIt();
    return failWithError("unknow error, abort");
  }
  for (rigidBodyNode* piece : pieces) {
    if (piece->engineBody(false) == nullptr) continue;
    const MObject node = piece->thisMObject();
    modifier->connect(MPlug(made, FractureBodyNode::rigidBodies), MPlug(node, rigidBodyNode::fracture));
    modifier->doIt();
    // Pieces of a fracture body stay locked.
    piece->setParamsLocked(true);
    MFnDependencyNode(node).setLocked(true);
  }
  MObject last;
  selection.getDependNode(selection.length() - 1, last);
  const MObject solver =
      userNodeOf<rigidBodyNode>(last) != nullptr ? sourceNodeOf(MPlug(last, rigidBodyNode::solver)) : MObject();
  if (userNodeOf<zovSolverNode>(solver) != nullptr) {
    modifier->connect(MPlug(solver, zovSolverNode::fractureBodies), MPlug(made, FractureBodyNode::solver));
    modifier->doIt();
    // The solver takes the new fracture body in when the plug is read.
    pullPlug(solver, zovSolverNode::fractureBodies);
  }
  if (source.numStresses() == 0) {
    source.release();
    modifier->deleteNode(source.thisMObject());
    modifier->doIt();
  }
  MGlobal::executeCommandOnIdle("updateZovFracturesPanel");
  return MS::kSuccess;
}
