#include "src/fracture/fractureBodyCmd.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MStringArray.h>

#include <cmath>

#include "engine/bodies/BarrierBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"
#include "src/userInput.h"

namespace {

const char* const kFractureDistanceFlag = "-dTh";
const char* const kFractureNameFlag = "-n";
const char* const kFractureCheckFlag = "-chk";
const char* const kFractureNearestFlag = "-nea";
const char* const kDefaultFractureName = "ZovFractureBody";
/// The farthest a joint may reach: the fracture body node's distThreshold
/// holds no more. Distances not above 0 are the build's own refusal.
constexpr double kMaxDistanceThreshold = 100.0;

const char* const kFractureDisabledDialog =
    "confirmDialog -title \"Zov Info\" -button \"OK\" -defaultButton \"OK\" -message \"Zov dynamics has been "
    "disabled, clean ZOV Data for baked objects will enable it again \"";

/// Whether a vertex of some piece's world mesh lies within d of the ground
/// plane, on either side.
bool piecesNearGround(FractureBody& body, const BarrierBody& ground, double d) {
  const Mgc::MgcVector3& point = ground.getPlanePoint();
  const Mgc::MgcVector3& normal = ground.getPlaneNormal();
  for (PrivateHardBody* piece : valuesOf(body.getPieces())) {
    piece->updateWorldData();
    const ZOVmesh* mesh = piece->getWorldMesh();
    if (mesh == nullptr || mesh->worldVertices == nullptr) continue;
    for (std::uint32_t v = 0; v < mesh->numVertices; ++v)
      if (std::fabs((mesh->worldVertices[v] - point).Dot(normal)) <= d) return true;
  }
  return false;
}

}  // namespace

void* FractureBodyCmd::creator() { return new FractureBodyCmd; }

MSyntax FractureBodyCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kFractureDistanceFlag, "-distanceThr", MSyntax::kDouble);
  syntax.addFlag(kFractureNameFlag, "-name", MSyntax::kString);
  syntax.addFlag(kFractureCheckFlag, "-check", MSyntax::kBoolean);
  syntax.addFlag(kFractureNearestFlag, "-nearest");
  // An empty list is the command's own error, "invalid selection".
  syntax.setObjectType(MSyntax::kSelectionList);
  syntax.useSelectionAsDefault(true);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

std::vector<rigidBodyNode*> FractureBodyCmd::candidates() const {
  std::vector<rigidBodyNode*> found;
  constexpr int kKeyed = rigidBodyNode::kTransformAnimated | rigidBodyNode::kShapeInputAnimated;
  for (MItSelectionList it(selection, MFn::kPluginLocatorNode); !it.isDone(); it.next()) {
    MObject node;
    if (!it.getDependNode(node)) continue;
    rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
    if (rigid == nullptr || rigid->fractureBodyNode() != nullptr || rigid->engineBody(true) == nullptr ||
        rigid->isAnimated(kKeyed))
      continue;
    found.push_back(rigid);
  }
  return found;
}

MStatus FractureBodyCmd::doIt(const MArgList& arguments) {
  MStatus status;
  auto parsed = std::make_unique<MArgDatabase>(syntax(), arguments, &status);
  if (!status) return status;
  parsedArguments = std::move(parsed);
  double distance = 0.0;
  MString name = kDefaultFractureName;
  bool check = false;
  if (parsedArguments->isFlagSet(kFractureDistanceFlag))
    parsedArguments->getFlagArgument(kFractureDistanceFlag, 0, distance);
  if (parsedArguments->isFlagSet(kFractureNameFlag)) parsedArguments->getFlagArgument(kFractureNameFlag, 0, name);
  if (name.length() == 0) name = kDefaultFractureName;
  // A name the host cannot give would leave the node named otherwise; a
  // distance past the node's range would be held at its end.
  if (!checkNodeNameFlag("zovFractureBody", "-name", name) ||
      !takeFlagValue({"zovFractureBody", "-distanceThr", kNoLowerBound, kMaxDistanceThreshold}, distance))
    return MS::kFailure;
  if (parsedArguments->isFlagSet(kFractureCheckFlag)) parsedArguments->getFlagArgument(kFractureCheckFlag, 0, check);
  const bool nearest = parsedArguments->isFlagSet(kFractureNearestFlag);
  selection.clear();
  parsedArguments->getObjects(selection);
  if (selection.length() == 0) {
    MGlobal::displayError("invalid selection");
    return MS::kFailure;
  }

  const MObject solver = findSolverNode(true);
  if (solver.isNull()) {
    MGlobal::displayError("ZOV INFO: no zov solver found, abort");
    return MS::kFailure;
  }
  if (!MPlug(solver, zovSolverNode::inTime).isDestination()) {
    MGlobal::executeCommandOnIdle(kFractureDisabledDialog);
    MGlobal::displayError("ZOV INFO: cannot create fracture body because zov solver is disabled");
    return MS::kFailure;
  }
  if (MAnimControl::currentTime() != MAnimControl::minTime()) {
    MAnimControl::setCurrentTime(MAnimControl::minTime());
    MGlobal::displayWarning(" time set to start frame to create fracture body");
  }
  const MTime now = MAnimControl::currentTime();

  std::vector<rigidBodyNode*> pieces = candidates();
  for (rigidBodyNode* piece : pieces) {
    piece->resetToStart(now);
    piece->restoreRestTransform();
  }
  if (pieces.size() < 2) {
    MGlobal::displayError("Select at least two valid nodes");
    return MS::kFailure;
  }
  // One fracture body joins one solver: pieces of two would leave a solver
  // driving a piece that another one moves.
  const MObject firstSolver = sourceNodeOf(MPlug(pieces.front()->thisMObject(), rigidBodyNode::solver));
  for (rigidBodyNode* piece : pieces)
    if (sourceNodeOf(MPlug(piece->thisMObject(), rigidBodyNode::solver)) != firstSolver) {
      MGlobal::displayError("ZOV INFO: the selected bodies belong to different zov solvers, abort");
      return MS::kFailure;
    }
  if (check) {
    MStringArray warnings;
    for (rigidBodyNode* piece : pieces)
      if (piece->isMassNegative())
        warnings.append(MString("WARNING: body ") + piece->engineBody(false)->getShape().name + " mass negative\n");
    setResult(warnings);
    return MS::kSuccess;
  }

  if (!modifier) modifier = std::make_unique<MDGModifier>();
  const MObject fracture = modifier->createNode(FractureBodyNode::id);
  FractureBodyNode* node = userNodeOf<FractureBodyNode>(fracture);
  if (node == nullptr) {
    MGlobal::displayError("unknow error, abort");
    return MS::kFailure;
  }
  modifier->renameNode(fracture, name);
  modifier->doIt();
  MPlug(fracture, FractureBodyNode::distThreshold).setValue(distance);

  MObject lastWalked;
  for (MItSelectionList it(selection, MFn::kPluginLocatorNode); !it.isDone(); it.next()) it.getDependNode(lastWalked);
  // What the command changes on the bodies, so that a refusal leaves them
  // as they were.
  std::vector<KeptBody> kept;
  for (rigidBodyNode* piece : candidates()) {
    const MObject pieceNode = piece->thisMObject();
    kept.push_back({piece, theWorld != nullptr && theWorld->containsBody(piece->engineBody(false)),
                    MPlug(pieceNode, rigidBodyNode::firstHitActiveAttr).asShort(),
                    MPlug(pieceNode, rigidBodyNode::passive).asInt(),
                    MPlug(pieceNode, rigidBodyNode::groupid).asInt()});
  }
  for (rigidBodyNode* piece : candidates()) {
    const MObject pieceNode = piece->thisMObject();
    HardBody* body = piece->engineBody(false);
    if (body->isStatic() && piece->firstHitActive()) {
      // A piece waiting for its first hit wakes with its fracture body.
      MPlug(pieceNode, rigidBodyNode::firstHitActiveAttr).setValue(static_cast<short>(FirstHit::kOff));
      MPlug(pieceNode, rigidBodyNode::passive).setValue(static_cast<int>(PassiveState::kDynamic));
      pullPlug(pieceNode, rigidBodyNode::ca_activeState);
    }
    modifier->connect(MPlug(fracture, FractureBodyNode::rigidBodies), MPlug(pieceNode, rigidBodyNode::fracture));
    modifier->doIt();
    piece->resetToStart(now);
    piece->setParamsLocked(true);
    MFnDependencyNode(pieceNode).setLocked(true);
  }
  modifier->doIt();
  node->setNodeName(name);

  const MObject linkedSolver = lastWalked.isNull() ? MObject() : sourceNodeOf(MPlug(lastWalked, rigidBodyNode::solver));
  bool built = false;
  if (!linkedSolver.isNull()) {
    modifier->connect(MPlug(linkedSolver, zovSolverNode::fractureBodies), MPlug(fracture, FractureBodyNode::solver));
    modifier->doIt();
    built = node->build(nearest);
    // Bodies the build did not take as pieces are free bodies again.
    MPlugArray linked;
    MPlug(fracture, FractureBodyNode::rigidBodies).connectedTo(linked, false, true);
    for (rigidBodyNode* reject : userNodesOf<rigidBodyNode>(linked)) {
      if (reject->fractureBodyNode() == node) continue;
      modifier->disconnect(MPlug(fracture, FractureBodyNode::rigidBodies),
                           MPlug(reject->thisMObject(), rigidBodyNode::fracture));
      modifier->doIt();
      MFnDependencyNode(reject->thisMObject()).setLocked(false);
      reject->setParamsLocked(false);
      reject->activateBody();
    }
  }

  FractureBody* body = node->getFractureBody();
  if (!built || body == nullptr) {
    // Whatever the build made goes: no node may stand for a fracture body
    // that is not in the world.
    undoFractureBody(fracture, kept);
    MGlobal::displayWarning(nearest ? "invalid selection, most objects are passive"
                                    : "distance streshold too short, increase it for the actual selection");
    setResult(MString(""));
    return MS::kFailure;
  }

  const auto wake = [&](bool passive) {
    if (passive) MPlug(fracture, FractureBodyNode::passive).setValue(true);
    MPlug(fracture, FractureBodyNode::firstHitActive).setValue(static_cast<short>(FirstHit::kOnFirstHit));
    if (passive) pullPlug(fracture, FractureBodyNode::ca_passive);
    pullPlug(fracture, FractureBodyNode::ca_firstHit);
  };
  zovSolverNode* solverNode = userNodeOf<zovSolverNode>(linkedSolver);
  HardBody* ground = solverNode != nullptr ? solverNode->ground() : nullptr;
  // The engine joins no piece to the ground plane, which has no mesh: the
  // pieces are measured against the plane itself.
  if (ground != nullptr && ground->getType() == kBarrierBody &&
      MPlug(linkedSolver, zovSolverNode::useGroundGrid).asBool() &&
      piecesNearGround(*body, *static_cast<BarrierBody*>(ground),
                       MPlug(fracture, FractureBodyNode::distThreshold).asDouble()))
    wake(true);
  if (body->isFirstHit(false)) wake(false);
  if (node->hasAnimatedParentNode()) wake(true);
  if (HardBody* source = body->getAnimBody())
    MGlobal::displayInfo(MString("body ") + source->getShape().name +
                         " has been set as anim source for the fracture body");

  MGlobal::executeCommandOnIdle("updateZovManagePanel");
  setResult(node->nodeName());
  madeFractureBody = true;
  return MS::kSuccess;
}

MStatus FractureBodyCmd::undoIt() { return flushUndoQueue(); }

void FractureBodyCmd::undoFractureBody(const MObject& fracture, const std::vector<KeptBody>& kept) {
  // Its removal lets the engine fracture body go and deletes the joint nodes.
  modifier->deleteNode(fracture);
  modifier->doIt();
  for (const KeptBody& body : kept) {
    rigidBodyNode* piece = body.piece;
    const MObject pieceNode = piece->thisMObject();
    MFnDependencyNode(pieceNode).setLocked(false);
    piece->setParamsLocked(false);
    piece->setGroupId(body.groupId);
    if (MPlug(pieceNode, rigidBodyNode::firstHitActiveAttr).asShort() != body.firstHit ||
        MPlug(pieceNode, rigidBodyNode::passive).asInt() != body.passive) {
      MPlug(pieceNode, rigidBodyNode::firstHitActiveAttr).setValue(body.firstHit);
      MPlug(pieceNode, rigidBodyNode::passive).setValue(body.passive);
      pullPlug(pieceNode, rigidBodyNode::ca_activeState);
    }
    // Back in the world only when the world held it: filing it again would
    // change its place in the world's lists.
    HardBody* engineBody = piece->engineBody(false);
    if (body.held && theWorld != nullptr && engineBody != nullptr && !theWorld->containsBody(engineBody))
      theWorld->addBody(engineBody, 0);
  }
}
