#include "src/fracture/fBodyStressesCmd.h"

#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MStringArray.h>

#include <vector>

#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/DynamicStress.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

const char* const kTypeFlag = "-t";
const char* const kResetAllFlag = "-ra";
const char* const kSetToMassFlag = "-stm";
const char* const kLastBrokenFlag = "-glb";

/// What the listing by pieces gives for several pieces.
enum ListType : unsigned int { kAmongPieces = 0, kToTheRest = 1 };

bool jointTouches(const DynamicStress* joint, const HardBody* body) {
  return joint->getCNode() == body || joint->getPNode() == body;
}

}  // namespace

void* FBodyStressesCmd::creator() { return new FBodyStressesCmd; }

MSyntax FBodyStressesCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kTypeFlag, "-type", MSyntax::kUnsigned);
  syntax.addFlag(kResetAllFlag, "-resetAll");
  syntax.addFlag(kSetToMassFlag, "-setToMass");
  syntax.addFlag(kLastBrokenFlag, "-getLastBroken");
  syntax.setObjectType(MSyntax::kSelectionList);
  syntax.useSelectionAsDefault(true);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus FBodyStressesCmd::doIt(const MArgList& arguments) {
  MStatus status;
  auto parsed = std::make_unique<MArgDatabase>(syntax(), arguments, &status);
  if (!status) return status;
  parsedArguments = std::move(parsed);
  return redoIt();
}

FractureBodyNode* FBodyStressesCmd::selectedFractureBody() const {
  MObject first;
  selection.getDependNode(0, first);
  FractureBodyNode* fracture = userNodeOf<FractureBodyNode>(first);
  if (fracture == nullptr) MGlobal::displayError("not fracture body selected");
  return fracture;
}

MStatus FBodyStressesCmd::undoIt() { return flushUndoQueue(); }

MStatus FBodyStressesCmd::redoIt() {
  selection.clear();
  parsedArguments->getObjects(selection);
  if (selection.length() == 0) {
    MGlobal::displayError("invalid selection");
    return MS::kFailure;
  }
  MStringArray names;
  if (parsedArguments->isFlagSet(kResetAllFlag)) {
    FractureBodyNode* fracture = selectedFractureBody();
    if (fracture == nullptr) return MS::kFailure;
    fracture->applyJointParams();
    changedJoints = true;
  } else if (parsedArguments->isFlagSet(kSetToMassFlag)) {
    FractureBodyNode* fracture = selectedFractureBody();
    if (fracture == nullptr) return MS::kFailure;
    fracture->applyJointForce();
    changedJoints = true;
    if (fracture->displaysStress()) fracture->refreshStressDisplay();
  } else if (parsedArguments->isFlagSet(kLastBrokenFlag)) {
    FractureBodyNode* fracture = selectedFractureBody();
    if (fracture == nullptr) return MS::kFailure;
    if (FractureBody* body = fracture->getFractureBody()) {
      body->gatherBrokenJoints();
      for (const DynamicStress* joint : valuesOf(body->getOffJoints())) names.append(joint->getName());
      // The next call reports only what breaks after this one.
      body->ClearBrokenJointsList();
    }
  } else {
    const MStatus listed = listByPieces(names);
    if (!listed) return listed;
  }
  setResult(names);
  return MS::kSuccess;
}

MStatus FBodyStressesCmd::listByPieces(MStringArray& names) {
  MObject first;
  selection.getDependNode(0, first);
  rigidBodyNode* firstPiece = userNodeOf<rigidBodyNode>(first);
  FractureBodyNode* fracture = firstPiece != nullptr
                                   ? userNodeOf<FractureBodyNode>(sourceNodeOf(MPlug(first, rigidBodyNode::fracture)))
                                   : nullptr;
  FractureBody* body = fracture != nullptr ? fracture->getFractureBody() : nullptr;
  if (body == nullptr) {
    MGlobal::displayError("invalid selection");
    return MS::kFailure;
  }
  if (selection.length() == 1) {
    auto* piece = static_cast<PrivateHardBody*>(firstPiece->engineBody(false));
    for (DynamicStress* joint = body->firstJoint(piece); joint != nullptr; joint = body->nextJoint(piece))
      names.append(joint->getName());
    return MS::kSuccess;
  }
  std::vector<PrivateHardBody*> pieces;
  for (MItSelectionList it(selection); !it.isDone(); it.next()) {
    MObject node;
    if (!it.getDependNode(node)) continue;
    rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
    if (rigid == nullptr) continue;
    if (auto* pieceBody = static_cast<PrivateHardBody*>(rigid->engineBody(false))) pieces.push_back(pieceBody);
  }
  unsigned int type = kAmongPieces;
  if (parsedArguments->isFlagSet(kTypeFlag)) parsedArguments->getFlagArgument(kTypeFlag, 0, type);
  // Another type lists no joint; the interface may rely on that, so it is
  // told rather than refused.
  if (type != kAmongPieces && type != kToTheRest)
    MGlobal::displayWarning(MString("fBody_selStresses: -type takes 0 (the joints among the pieces) or 1 (those to "
                                    "the rest); ") +
                            static_cast<int>(type) + " lists no joint");
  for (size_t i = 0; i < pieces.size(); ++i)
    for (DynamicStress* joint = body->firstJoint(pieces[i]); joint != nullptr; joint = body->nextJoint(pieces[i])) {
      bool toOther = false;
      bool toLater = false;
      for (size_t k = 0; k < pieces.size(); ++k) {
        if (k == i || !jointTouches(joint, pieces[k])) continue;
        toOther = true;
        if (k > i) toLater = true;
      }
      if ((type == kToTheRest && !toOther) || (type == kAmongPieces && toLater)) names.append(joint->getName());
    }
  return MS::kSuccess;
}
