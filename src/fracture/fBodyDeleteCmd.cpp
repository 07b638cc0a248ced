#include "src/fracture/fBodyDeleteCmd.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>

#include <vector>

#include "engine/bodies/HardBody.h"
#include "src/commandSelection.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

constexpr CommandFlag kDeleteBodiesFlag{"-db", "-deleteBodies"};

}  // namespace

MSyntax FBodyDeleteCmd::newSyntax() { return commandSyntax({kDeleteBodiesFlag}, kSelectedObjects); }

MStatus FBodyDeleteCmd::redoIt() {
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;
  const bool deleteBodies = arguments.isSet(kDeleteBodiesFlag);
  if (!modifier) modifier = std::make_unique<MDGModifier>();
  MString last;
  bool deletedAny = false;
  {
    const UndoRecordingOff recordingOff;
    // The fracture body nodes first: deleting one changes nothing else
    // selected, but the walk must not meet a node that is gone.
    for (FractureBodyNode* fracture : selectedNodes<FractureBodyNode>(
             selection, LeftOut{arguments.command(), "a fracture body node", "it is left as it is"})) {
      last = fracture->nodeName();
      deletedAny = true;
      markChanged();
      dissolve(*fracture, deleteBodies);
    }
  }
  if (!deletedAny) return failWithError("deleteZovFBody: no fracture body node selected");
  setResult(last);
  return MS::kSuccess;
}

void FBodyDeleteCmd::dissolve(FractureBodyNode& fracture, bool deleteBodies) {
  fracture.resetToStart();
  fracture.dropClusterNode();
  const std::vector<rigidBodyNode*> pieces = fracture.pieceNodes();
  fracture.release();
  modifier->deleteNode(fracture.thisMObject());
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
