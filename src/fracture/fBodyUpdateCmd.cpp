#include "src/fracture/fBodyUpdateCmd.h"

#include <maya/MAnimControl.h>
#include <maya/MDagPath.h>
#include <maya/MGlobal.h>

#include <algorithm>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/commandSelection.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/fracture/sceneStress.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/userInput.h"

namespace {

constexpr CommandFlag kStressesMapFlag{"-map", "-stressesMap"};
constexpr CommandFlag kStaticFragsFlag{"-stf", "-staticFrags", MSyntax::kBoolean};
constexpr CommandFlag kDisplayStressesFlag{"-dst", "-displayStresses", MSyntax::kBoolean};
constexpr CommandFlag kSetMassFlag{"-mas", "-setmass"};
constexpr CommandFlag kTransformFlag{"-trs", "-transform"};
/// The joints of dynamic pieces to the rest hold half the threshold.
constexpr double kDynamicBoundary = 0.5;
/// The interface's list of the last selected fracture body's pieces.
const char* const kPiecesVariable = "global string $transformNodeslastSelectedFbody[];";

}  // namespace

MSyntax FBodyUpdateCmd::newSyntax() {
  return commandSyntax({kStressesMapFlag, kStaticFragsFlag, kDisplayStressesFlag, kSetMassFlag, kTransformFlag},
                       kSelectedObjects);
}

MStatus FBodyUpdateCmd::redoIt() {
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;
  bool display = false;
  if (arguments.read(kDisplayStressesFlag, display)) return displayStresses(display);
  if (arguments.isSet(kStressesMapFlag)) return stressesMap();
  bool makeStatic = false;
  if (arguments.read(kStaticFragsFlag, makeStatic)) {
    const MStatus status = staticFragments(makeStatic);
    if (status) markChanged();
    return status;
  }
  const bool freeze = arguments.isSet(kTransformFlag);
  const bool massOnly = arguments.isSet(kSetMassFlag);
  if (!freeze && !massOnly) return failWithError("update_Fbody operation invalid");
  const MStatus status = transformAndMass(freeze, massOnly);
  if (status) markChanged();
  return status;
}

MStatus FBodyUpdateCmd::displayStresses(bool display) {
  const std::vector<FractureBodyNode*> fractures = selectedNodes<FractureBodyNode>(selection);
  const MString name = fractures.empty() ? MString() : fractures.front()->nodeName();
  MGlobal::executeCommand(MString(kPiecesVariable) + "$transformNodeslastSelectedFbody = `queryZovFBody -gtn " +
                              quotedArgument(name) + " `;",
                          false, false);
  MGlobal::executeCommandOnIdle(MString(kPiecesVariable) + "select $transformNodeslastSelectedFbody;" +
                                (display ? "polyOptions -dg false;" : "polyOptions -dg true;") + "select -clear;");
  return MS::kSuccess;
}

MStatus FBodyUpdateCmd::stressesMap() {
  const std::vector<FractureBodyNode*> fractures = selectedNodes<FractureBodyNode>(selection);
  for (FractureBodyNode* fracture : fractures) fracture->refreshStressDisplay();
  return fractures.empty() ? MS::kFailure : MS::kSuccess;
}

MStatus FBodyUpdateCmd::transformAndMass(bool freeze, bool massOnly) {
  rewindToStart(" time set to start frame to update fracture body");
  const std::vector<FractureBodyNode*> fractures = selectedNodes<FractureBodyNode>(selection);
  for (FractureBodyNode* fracture : fractures) {
    const std::vector<rigidBodyNode*> pieces = fracture->pieceNodes();
    if (freeze) {
      for (rigidBodyNode* piece : pieces) {
        MDagPath group;
        if (!pieceGroupPath(piece->thisMObject(), group)) continue;
        // The pieces' group takes its transformation into its children once.
        MGlobal::executeCommand("makeIdentity -apply true " + quotedArgument(group.partialPathName()), false, false);
        break;
      }
    }
    for (rigidBodyNode* piece : pieces) {
      const UnlockedPiece unlocked(*piece);
      if (massOnly)
        piece->updateMassProperties();
      else
        piece->rebuildBody();
    }
    if (FractureBody* body = fracture->getFractureBody()) {
      body->updateMassProperties();
      MPlug(fracture->thisMObject(), FractureBodyNode::mass).setValue(1.0 / body->getInvMass());
      pullPlug(fracture->thisMObject(), FractureBodyNode::ca_mass);
    }
    fracture->restorePieces(MAnimControl::currentTime());
  }
  return fractures.empty() ? MS::kFailure : MS::kSuccess;
}

MStatus FBodyUpdateCmd::staticFragments(bool makeStatic) {
  std::vector<rigidBodyNode*> bodies;
  for (rigidBodyNode* rigid : selectedNodes<rigidBodyNode>(selection)) {
    // A free body's passive state is its own: the command is about pieces.
    if (rigid->fractureBodyNode() == nullptr)
      warnLeftOut({arguments.command(), "a piece of a fracture body", "-staticFrags leaves it as it is"},
                  rigid->thisMObject());
    else
      bodies.push_back(rigid);
  }
  if (bodies.empty())
    return failWithError("update_Fbody: -staticFrags needs pieces of a fracture body, none is selected");
  FractureBodyNode* fracture = nullptr;
  bool showsStress = false;
  double mass = 0.0;
  for (rigidBodyNode* rigid : bodies) {
    if (fracture == nullptr) {
      fracture = userNodeOf<FractureBodyNode>(sourceNodeOf(MPlug(rigid->thisMObject(), rigidBodyNode::fracture)));
      if (fracture != nullptr) {
        showsStress = fracture->displaysStress();
        mass = MPlug(fracture->thisMObject(), FractureBodyNode::mass).asDouble();
      }
    }
    rigid->setParamsLocked(false);
    MPlug(rigid->thisMObject(), rigidBodyNode::passive)
        .setValue(static_cast<int>(makeStatic ? PassiveState::kPassive : PassiveState::kDynamic));
    rigid->pullAll();
    if (showsStress && fracture != nullptr) fracture->colorStresses(rigid->thisMObject(), 0);
    rigid->setParamsLocked(true);
  }
  if (fracture == nullptr) return MS::kFailure;

  const double boundary = makeStatic ? 0.0 : kDynamicBoundary * fracture->stressThreshold();
  std::vector<const HardBody*> engineBodies;
  for (rigidBodyNode* rigid : bodies) engineBodies.push_back(rigid->engineBody(false));
  const auto collected = [&engineBodies](const HardBody* body) {
    return body != nullptr && std::find(engineBodies.begin(), engineBodies.end(), body) != engineBodies.end();
  };
  // The joints first, then their strengths: setting one must not disturb
  // the walk over a piece's joints.
  std::vector<SceneStress*> boundaryJoints;
  if (FractureBody* body = fracture->getFractureBody()) {
    for (rigidBodyNode* rigid : bodies) {
      auto* piece = static_cast<PrivateHardBody*>(rigid->engineBody(false));
      if (piece == nullptr) continue;
      for (DynamicStress* joint = body->firstJoint(piece); joint != nullptr; joint = body->nextJoint(piece)) {
        if (collected(joint->getCNode()) && collected(joint->getPNode())) continue;
        if (SceneStress* node = fracture->findStressNode(joint)) boundaryJoints.push_back(node);
      }
    }
  }
  for (SceneStress* node : boundaryJoints) node->setDouble("forceStrenght", boundary);
  MPlug(fracture->thisMObject(), FractureBodyNode::mass).setValue(mass);
  pullPlug(fracture->thisMObject(), FractureBodyNode::ca_mass);
  MGlobal::executeCommandOnIdle("showWindow $zovAdvancedFracturesWindow");
  return MS::kSuccess;
}
