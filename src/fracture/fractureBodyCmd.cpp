#include "src/fracture/fractureBodyCmd.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MStringArray.h>

#include <cmath>

#include "engine/bodies/BarrierBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/commandSelection.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyCmd.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

constexpr CommandFlag kFractureDistanceFlag{"-dTh", "-distanceThr", MSyntax::kDouble};
constexpr CommandFlag kFractureNameFlag{"-n", "-name", MSyntax::kString};
constexpr CommandFlag kFractureCheckFlag{"-chk", "-check", MSyntax::kBoolean};
constexpr CommandFlag kFractureNearestFlag{"-nea", "-nearest"};
const char* const kDefaultFractureName = "ZovFractureBody";
/// The farthest a joint may reach: the fracture body node's distThreshold
/// holds no more. Distances not above 0 are the build's own refusal.
constexpr double kMaxDistanceThreshold = 100.0;

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

MSyntax FractureBodyCmd::newSyntax() {
  // An empty list is the command's own error, "invalid selection".
  return commandSyntax({kFractureDistanceFlag, kFractureNameFlag, kFractureCheckFlag, kFractureNearestFlag},
                       kSelectedObjects);
}

std::vector<rigidBodyNode*> FractureBodyCmd::candidates() const {
  std::vector<rigidBodyNode*> found;
  constexpr int kKeyed = rigidBodyNode::kTransformAnimated | rigidBodyNode::kShapeInputAnimated;
  for (rigidBodyNode* rigid : selectedNodes<rigidBodyNode>(selection, MFn::kPluginLocatorNode))
    if (rigid->fractureBodyNode() == nullptr && rigid->engineBody(true) != nullptr && !rigid->isAnimated(kKeyed))
      found.push_back(rigid);
  return found;
}

bool FractureBodyCmd::readRequest(Request& request) const {
  arguments.read(kFractureDistanceFlag, request.distance);
  arguments.read(kFractureNameFlag, request.name);
  if (request.name.length() == 0) request.name = kDefaultFractureName;
  // A name the host cannot give would leave the node named otherwise; a
  // distance past the node's range would be held at its end.
  if (!arguments.checkNodeName(kFractureNameFlag, request.name) ||
      !takeFlagValue({arguments.command(), kFractureDistanceFlag.longName, kNoLowerBound, kMaxDistanceThreshold},
                     request.distance))
    return false;
  arguments.read(kFractureCheckFlag, request.check);
  request.nearest = arguments.isSet(kFractureNearestFlag);
  return true;
}

MStatus FractureBodyCmd::redoIt() {
  Request request;
  if (!readRequest(request)) return MS::kFailure;
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;
  const MObject solver = findSolverNode(true);
  if (solver.isNull()) return failWithError("ZOV INFO: no zov solver found, abort");
  if (!solverTakesBodies(solver, "fracture body")) return MS::kFailure;
  rewindToStart(" time set to start frame to create fracture body");
  const MTime now = MAnimControl::currentTime();

  std::vector<rigidBodyNode*> pieces = candidates();
  for (rigidBodyNode* piece : pieces) {
    piece->resetToStart(now);
    piece->restoreRestTransform();
  }
  if (pieces.size() < 2) return failWithError("Select at least two valid nodes");
  // One fracture body joins one solver: pieces of two would leave a solver
  // driving a piece that another one moves.
  const MObject firstSolver = sourceNodeOf(MPlug(pieces.front()->thisMObject(), rigidBodyNode::solver));
  for (rigidBodyNode* piece : pieces)
    if (sourceNodeOf(MPlug(piece->thisMObject(), rigidBodyNode::solver)) != firstSolver)
      return failWithError("ZOV INFO: the selected bodies belong to different zov solvers, abort");
  if (request.check) {
    MStringArray warnings;
    for (rigidBodyNode* piece : pieces)
      if (piece->isMassNegative())
        warnings.append(MString("WARNING: body ") + piece->engineBody(false)->getShape().name + " mass negative\n");
    setResult(warnings);
    return MS::kSuccess;
  }
  return makeFractureBody(request, now);
}

MStatus FractureBodyCmd::makeFractureBody(const Request& request, const MTime& now) {
  if (!modifier) modifier = std::make_unique<MDGModifier>();
  const MObject fracture = modifier->createNode(FractureBodyNode::id);
  FractureBodyNode* node = userNodeOf<FractureBodyNode>(fracture);
  if (node == nullptr) return failWithError("unknow error, abort");
  modifier->renameNode(fracture, request.name);
  modifier->doIt();
  MPlug(fracture, FractureBodyNode::distThreshold).setValue(request.distance);

  const std::vector<MObject> walked = selectedDependNodes(selection, MFn::kPluginLocatorNode);
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
  for (rigidBodyNode* piece : candidates()) linkPiece(fracture, *piece, now);
  modifier->doIt();
  node->setNodeName(request.name);

  const MObject linkedSolver = walked.empty() ? MObject() : sourceNodeOf(MPlug(walked.back(), rigidBodyNode::solver));
  const bool built = !linkedSolver.isNull() && buildInSolver(*node, linkedSolver, request.nearest);
  FractureBody* body = node->getFractureBody();
  if (!built || body == nullptr) {
    // Whatever the build made goes: no node may stand for a fracture body
    // that is not in the world.
    undoFractureBody(fracture, kept);
    MGlobal::displayWarning(request.nearest ? "invalid selection, most objects are passive"
                                            : "distance streshold too short, increase it for the actual selection");
    setResult(MString(""));
    return MS::kFailure;
  }
  settleFractureBody(*node, linkedSolver);
  MGlobal::executeCommandOnIdle("updateZovManagePanel");
  setResult(node->nodeName());
  markChanged();
  return MS::kSuccess;
}

void FractureBodyCmd::linkPiece(const MObject& fracture, rigidBodyNode& piece, const MTime& now) {
  const MObject pieceNode = piece.thisMObject();
  HardBody* body = piece.engineBody(false);
  if (body->isStatic() && piece.firstHitActive()) {
    // A piece waiting for its first hit wakes with its fracture body.
    MPlug(pieceNode, rigidBodyNode::firstHitActiveAttr).setValue(static_cast<short>(FirstHit::kOff));
    MPlug(pieceNode, rigidBodyNode::passive).setValue(static_cast<int>(PassiveState::kDynamic));
    pullPlug(pieceNode, rigidBodyNode::ca_activeState);
  }
  modifier->connect(MPlug(fracture, FractureBodyNode::rigidBodies), MPlug(pieceNode, rigidBodyNode::fracture));
  modifier->doIt();
  piece.resetToStart(now);
  piece.setParamsLocked(true);
  MFnDependencyNode(pieceNode).setLocked(true);
}

bool FractureBodyCmd::buildInSolver(FractureBodyNode& node, const MObject& solver, bool nearest) {
  const MObject fracture = node.thisMObject();
  modifier->connect(MPlug(solver, zovSolverNode::fractureBodies), MPlug(fracture, FractureBodyNode::solver));
  modifier->doIt();
  const bool built = node.build(nearest);
  // Bodies the build did not take as pieces are free bodies again.
  MPlugArray linked;
  MPlug(fracture, FractureBodyNode::rigidBodies).connectedTo(linked, false, true);
  for (rigidBodyNode* reject : userNodesOf<rigidBodyNode>(linked)) {
    if (reject->fractureBodyNode() == &node) continue;
    modifier->disconnect(MPlug(fracture, FractureBodyNode::rigidBodies),
                         MPlug(reject->thisMObject(), rigidBodyNode::fracture));
    modifier->doIt();
    MFnDependencyNode(reject->thisMObject()).setLocked(false);
    reject->setParamsLocked(false);
    reject->activateBody();
  }
  return built;
}

void FractureBodyCmd::settleFractureBody(FractureBodyNode& node, const MObject& solver) {
  const MObject fracture = node.thisMObject();
  FractureBody* body = node.getFractureBody();
  const auto wake = [&](bool passive) {
    if (passive) MPlug(fracture, FractureBodyNode::passive).setValue(true);
    MPlug(fracture, FractureBodyNode::firstHitActive).setValue(static_cast<short>(FirstHit::kOnFirstHit));
    if (passive) pullPlug(fracture, FractureBodyNode::ca_passive);
    pullPlug(fracture, FractureBodyNode::ca_firstHit);
  };
  zovSolverNode* solverNode = userNodeOf<zovSolverNode>(solver);
  HardBody* ground = solverNode != nullptr ? solverNode->ground() : nullptr;
  // The engine joins no piece to the ground plane, which has no mesh: the
  // pieces are measured against the plane itself.
  if (ground != nullptr && ground->getType() == kBarrierBody && MPlug(solver, zovSolverNode::useGroundGrid).asBool() &&
      piecesNearGround(*body, *static_cast<BarrierBody*>(ground),
                       MPlug(fracture, FractureBodyNode::distThreshold).asDouble()))
    wake(true);
  if (body->isFirstHit(false)) wake(false);
  if (node.hasAnimatedParentNode()) wake(true);
  if (HardBody* source = body->getAnimBody())
    MGlobal::displayInfo(MString("body ") + source->getShape().name +
                         " has been set as anim source for the fracture body");
}

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
