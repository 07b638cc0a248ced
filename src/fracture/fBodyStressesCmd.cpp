#include "src/fracture/fBodyStressesCmd.h"

#include <maya/MGlobal.h>
#include <maya/MStringArray.h>

#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/commandSelection.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

constexpr CommandFlag kTypeFlag{"-t", "-type", MSyntax::kUnsigned};
constexpr CommandFlag kResetAllFlag{"-ra", "-resetAll"};
constexpr CommandFlag kSetToMassFlag{"-stm", "-setToMass"};
constexpr CommandFlag kLastBrokenFlag{"-glb", "-getLastBroken"};

/// What the listing by pieces gives for several pieces.
enum ListType : unsigned int { kAmongPieces = 0, kToTheRest = 1 };

bool jointTouches(const DynamicStress* joint, const HardBody* body) {
  return joint->getCNode() == body || joint->getPNode() == body;
}

}  // namespace

MSyntax FBodyStressesCmd::newSyntax() {
  return commandSyntax({kTypeFlag, kResetAllFlag, kSetToMassFlag, kLastBrokenFlag}, kSelectedObjects);
}

FractureBodyNode* FBodyStressesCmd::selectedFractureBody() const {
  FractureBodyNode* fracture = firstSelectedNode<FractureBodyNode>(selection);
  if (fracture == nullptr) MGlobal::displayError("not fracture body selected");
  return fracture;
}

MStatus FBodyStressesCmd::redoIt() {
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;
  MStringArray names;
  if (arguments.isSet(kResetAllFlag)) {
    FractureBodyNode* fracture = selectedFractureBody();
    if (fracture == nullptr) return MS::kFailure;
    fracture->applyJointParams();
    markChanged();
  } else if (arguments.isSet(kSetToMassFlag)) {
    FractureBodyNode* fracture = selectedFractureBody();
    if (fracture == nullptr) return MS::kFailure;
    fracture->applyJointForce();
    markChanged();
    if (fracture->displaysStress()) fracture->refreshStressDisplay();
  } else if (arguments.isSet(kLastBrokenFlag)) {
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
  rigidBodyNode* firstPiece = firstSelectedNode<rigidBodyNode>(selection);
  FractureBodyNode* fracture =
      firstPiece != nullptr
          ? userNodeOf<FractureBodyNode>(sourceNodeOf(MPlug(firstPiece->thisMObject(), rigidBodyNode::fracture)))
          : nullptr;
  FractureBody* body = fracture != nullptr ? fracture->getFractureBody() : nullptr;
  if (body == nullptr) return failWithError(kInvalidSelection);
  if (selection.length() == 1) {
    auto* piece = static_cast<PrivateHardBody*>(firstPiece->engineBody(false));
    for (DynamicStress* joint = body->firstJoint(piece); joint != nullptr; joint = body->nextJoint(piece))
      names.append(joint->getName());
    return MS::kSuccess;
  }
  std::vector<PrivateHardBody*> pieces;
  for (rigidBodyNode* rigid : selectedNodes<rigidBodyNode>(selection)) {
    if (auto* pieceBody = static_cast<PrivateHardBody*>(rigid->engineBody(false))) pieces.push_back(pieceBody);
  }
  unsigned int type = kAmongPieces;
  arguments.read(kTypeFlag, type);
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
