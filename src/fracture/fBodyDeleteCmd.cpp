#include "src/fracture/fBodyDeleteCmd.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MPlugArray.h>

#include <vector>

#include "engine/bodies/HardBody.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

const char* const kDeleteBodiesFlag = "-db";

}  // namespace

void* FBodyDeleteCmd::creator() { return new FBodyDeleteCmd; }

MSyntax FBodyDeleteCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kDeleteBodiesFlag, "-deleteBodies");
  syntax.setObjectType(MSyntax::kSelectionList);
  syntax.useSelectionAsDefault(true);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus FBodyDeleteCmd::doIt(const MArgList& arguments) {
  MStatus status;
  auto parsed = std::make_unique<MArgDatabase>(syntax(), arguments, &status);
  if (!status) return status;
  parsedArguments = std::move(parsed);
  return redoIt();
}

MStatus FBodyDeleteCmd::undoIt() { return flushUndoQueue(); }

MStatus FBodyDeleteCmd::redoIt() {
  selection.clear();
  parsedArguments->getObjects(selection);
  if (selection.length() == 0) {
    MGlobal::displayError("invalid selection");
    return MS::kFailure;
  }
  const bool deleteBodies = parsedArguments->isFlagSet(kDeleteBodiesFlag);
  if (!modifier) modifier = std::make_unique<MDGModifier>();
  MGlobal::executeCommand("undoInfo -swf off", false, false);
  MString last;
  // The fracture body nodes first: deleting one changes nothing else
  // selected, but the walk must not meet a node that is gone.
  std::vector<MObject> fractures;
  for (MItSelectionList it(selection); !it.isDone(); it.next()) {
    MObject node;
    if (!it.getDependNode(node)) continue;
    if (userNodeOf<FractureBodyNode>(node) != nullptr)
      fractures.push_back(node);
    else
      MGlobal::displayWarning("deleteZovFBody: " + MFnDependencyNode(node).name() +
                              " is not a fracture body node, it is left as it is");
  }
  if (fractures.empty()) {
    MGlobal::executeCommand("undoInfo -swf on", false, false);
    MGlobal::displayError("deleteZovFBody: no fracture body node selected");
    return MS::kFailure;
  }
  for (const MObject& node : fractures) {
    FractureBodyNode* fracture = userNodeOf<FractureBodyNode>(node);
    if (fracture == nullptr) continue;
    last = fracture->nodeName();
    deletedAny = true;
    fracture->resetToStart();
    fracture->dropClusterNode();
    const std::vector<rigidBodyNode*> pieces = fracture->pieceNodes();
    fracture->release();
    modifier->deleteNode(node);
    modifier->doIt();

    std::vector<MObject> doomed;
    for (rigidBodyNode* piece : pieces) {
      if (piece->firstHitActive()) {
        // It waits for its first hit again, as it did before it was a piece.
        piece->applyPassiveState(PassiveState::kPassive, false);
        if (HardBody* body = piece->engineBody(false)) body->enableFirstHit();
      }
      if (deleteBodies)
        doomed.push_back(piece->thisMObject());
      else
        piece->activateBody();
    }
    for (const MObject& piece : doomed) modifier->deleteNode(piece);
    if (!doomed.empty()) modifier->doIt();
    MGlobal::executeCommandOnIdle("updateZovAdvancedFracturesPanel");
    MGlobal::executeCommandOnIdle("updateZovManagePanel");
  }
  MGlobal::executeCommand("undoInfo -swf on", false, false);
  setResult(last);
  return MS::kSuccess;
}
