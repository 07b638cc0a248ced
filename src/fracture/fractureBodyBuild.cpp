// Building a fracture body from the pieces linked to its node: the engine
// joins them, a joint node stands for each joint, and the node's parameters
// go into the engine fracture body. Also the start state the build leaves.
#include <maya/MAnimControl.h>
#include <maya/MAnimUtil.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>

#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/fracture/sceneStress.h"
#include "src/fracture/shatterGroupFinder.h"
#include "src/hostEngineConversions.h"
#include "src/hostUtilities.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

bool FractureBodyNode::build(bool nearest) {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return false;

  const std::vector<rigidBodyNode*> pieces = pieceNodes();
  for (rigidBodyNode* piece : pieces) {
    if (HardBody* pieceBody = piece->engineBody(false))
      pieceBody->getShape().tag = MPlug(piece->thisMObject(), rigidBodyNode::index).asInt();
    body->addUniqueToList(static_cast<PrivateHardBody*>(piece->engineBody(true)));
    // Pieces from one shatter share its group; the others have none.
    piece->setGroupId(-1);
    MDagPath above;
    int group = -1;
    if (parentTransformPath(piece->thisMObject(), above) && above.pop() && findShatterGroup(above, group))
      piece->setGroupId(group);
  }
  if (pieces.empty()) return false;

  const double distance = MPlug(thisMObject(), distThreshold).asDouble();
  body->createJoints(distance, nearest, false);
  if (body->numDisconectBodies() != 0 && body->validateDisconnectBodiesGroups()) body->attachNearestPieces();
  // What no joint holds is no piece.
  while (body->numDisconectBodies() != 0) {
    const std::uint32_t before = body->numDisconectBodies();
    body->removePiece(body->getDisconnectedBodies().getFirst()->value);
    if (body->numDisconectBodies() >= before) break;
  }

  for (size_t i = 0; i < pieces.size(); ++i) {
    HardBody* pieceBody = pieces[i]->engineBody(false);
    if (pieceBody != nullptr && body->hasPiece(static_cast<PrivateHardBody*>(pieceBody)))
      pieces[i]->setFractureOwner(this, i == 0);
  }

  body->buildClusterTree();
  if (body->getNActiveJoints() == 0) {
    release();
    return false;
  }

  findAnimatedParent();
  if (hasAnimatedParent) linkGroupBody();

  const double threshold = stressThreshold();
  // A copy: making the joint nodes walks the fracture body's lists.
  for (DynamicStress* joint : valuesOf(body->getActiveJoints())) createStressNodes(joint, threshold);

  applyIntParam(ca_randomThreshold, randomThreshold());
  applyBoolParam(ca_stress2mass, MPlug(thisMObject(), stress2mass).asBool());
  if (!body->updateMassProperties()) return false;

  body->setLinearVelocity(Mgc::MgcVector3());
  body->setAngularMomentum(Mgc::MgcVector3());
  body->setSecImpactsParams(kSecondaryCrackPercent, body->getMass());
  body->enableSecImpacts();

  computeRestMatrix();

  restorePieces(MAnimControl::currentTime());
  addToWorld();

  const MObject self = thisMObject();
  MPlug(self, passive).setValue(body->isStatic());
  if (body->isStatic()) MPlug(self, firstHitActive).setValue(static_cast<short>(FirstHit::kOnFirstHit));
  pullPlugs(self, {&ca_passive, &ca_firstHit});
  applyBoolParam(ca_enabled, MPlug(self, enabled).asBool());
  pullPlugs(self, {&ca_propStyle, &ca_initialVelocity, &ca_initialSpin, &ca_stressThreshold, &ca_enabled,
                   &ca_forceFields, &ca_friction, &ca_bounciness, &ca_airdamping, &ca_angdamping});
  MPlug(self, mass).setValue(body->getMass());
  pullPlug(self, ca_mass);

  deactivateSolverCache();
  return true;
}

void FractureBodyNode::computeRestMatrix() {
  restMatrix = MMatrix();
  FractureBody* body = getFractureBody();
  if (body == nullptr || !animatedParentPath.isValid()) return;
  MMatrix parent = animatedParentPath.exclusiveMatrix();
  const MPoint pivot = MFnTransform(animatedParentPath).rotatePivot(MSpace::kWorld);
  parent[3][0] += pivot.x;
  parent[3][1] += pivot.y;
  parent[3][2] += pivot.z;
  restMatrix = bodyPoseMatrix(*body).inverse() * parent;
}

SceneStress* FractureBodyNode::createStressNodes(DynamicStress* joint, double strength) {
  MDGModifier& dg = dgModifier();
  const MObject made = dg.createNode(SceneStress::id);
  if (made.isNull()) {
    MGlobal::displayError("fail creating stress node, abort");
    return nullptr;
  }
  const MPlug from(thisMObject(), stresses);
  const MPlug to(made, SceneStress::fracture);
  if (from.isNull() || to.isNull()) {
    MGlobal::displayError("fail connecting stress node, abort");
    return nullptr;
  }
  dg.connect(from, to);
  dg.doIt();

  SceneStress* node = userNodeOf<SceneStress>(made);
  if (node == nullptr) return nullptr;
  node->setJoint(joint);
  node->setJointIndex(numStressNodes);
  joint->setIndex(numStressNodes);
  ++numStressNodes;
  if (joint->getPNode() != nullptr) node->setBody2Name(joint->getPNode()->getShape().name);
  if (joint->getCNode() != nullptr) node->setBody1Name(joint->getCNode()->getShape().name);
  node->setNodeName(joint->getName());
  const Mgc::MgcVector3 anchor = joint->worldAnchorMidpoint();
  const float at[3] = {static_cast<float>(anchor.x), static_cast<float>(anchor.y), static_cast<float>(anchor.z)};
  node->setPosition(at);
  node->setBool("breakByForce", true);
  node->setDouble("forceStrenght", strength);
  node->setBool("enabled", true);
  node->setOwner(this);
  syncStressBodyIndices(*node);
  return node;
}

void FractureBodyNode::findAnimatedParent() {
  hasAnimatedParent = false;
  animatedParentPath = MDagPath();
  const std::vector<rigidBodyNode*> pieces = pieceNodes();
  MDagPath path;
  if (pieces.empty() || !parentTransformPath(pieces.front()->thisMObject(), path)) return;
  // From the piece's parent up to the world: the topmost animated one wins.
  while (path.pop() && path.length() > 0) {
    if (!MAnimUtil::isAnimated(path)) continue;
    hasAnimatedParent = true;
    animatedParentPath = path;
  }
}

bool FractureBodyNode::linkGroupBody() {
  FractureBody* body = getFractureBody();
  if (body == nullptr || !animatedParentPath.isValid()) return false;
  MObject found;
  if (!findChildOfType(animatedParentPath.node(), found)) return false;
  rigidBodyNode* source = userNodeOf<rigidBodyNode>(found);
  if (source == nullptr) return false;
  body->setAnimBody(source->engineBody(true));
  return true;
}

void FractureBodyNode::restorePieces(const MTime& time) {
  const MObject self = thisMObject();
  enabledState = MPlug(self, enabled).asBool();
  passiveState = MPlug(self, passive).asBool();
  randomThresholdSeen = randomThreshold();
  const std::vector<rigidBodyNode*> pieces = pieceNodes();
  for (rigidBodyNode* piece : pieces) {
    const UnlockedPiece unlocked(*piece);
    piece->resetToStart(time);
  }
  MDagPath group;
  if (!pieces.empty() && pieceGroupPath(pieces.front()->thisMObject(), group)) keepAsRest(group);
  for (SceneStress* node : stressNodesLinked()) node->pullAttributes();
  for (clusterFractureNode* cluster : clusterNodes()) cluster->storeInitialState(time);
  if (FractureBody* body = getFractureBody()) body->saveDynamics(kSaveAll);
  startStored = true;
}
