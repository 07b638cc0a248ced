// What the solver's frame loop asks of a fracture body node, its part as a
// frame participant: the start state put back, a kinematic parent followed,
// joints broken at their frames, the joint nodes kept where their joints are
// and the static parts let go.
#include <maya/MDGContext.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnTransform.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>

#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/fracture/sceneStress.h"
#include "src/hostEngineConversions.h"
#include "src/hostUtilities.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

/// A parent's translate and rotate (radians, x y z order) at one time.
struct ParentPose {
  MVector translate;
  double rotate[3];
};

ParentPose parentPoseAt(const MObject& parent, const MTime& time) {
  MDGContext context(time);
  MFnDependencyNode fn(parent);
  const MPlug translate = fn.findPlug("translate", true);
  const MPlug rotate = fn.findPlug("rotate", true);
  ParentPose pose{};
  for (unsigned int k = 0; k < 3; ++k) {
    // Single precision, as the plugs' children are read.
    pose.translate[k] = static_cast<float>(translate.child(k).asDouble(context));
    pose.rotate[k] = static_cast<float>(rotate.child(k).asDouble(context));
  }
  return pose;
}

/// The parent's transformation at the pose, carried into the fracture body's
/// frame by restMatrix.
MTransformationMatrix bodyFrameOf(const ParentPose& pose, const MMatrix& restMatrix) {
  MTransformationMatrix parent;
  parent.rotateTo(MEulerRotation(pose.rotate[0], pose.rotate[1], pose.rotate[2], MEulerRotation::kXYZ));
  parent.setTranslation(pose.translate, MSpace::kTransform);
  return MTransformationMatrix(parent.asMatrix() * restMatrix);
}

}  // namespace

bool FractureBodyNode::parametersAnimated() const { return isAnimated(kParametersAnimated); }

void FractureBodyNode::rewind() { resetToStart(); }

void FractureBodyNode::restart(const MTime& time) {
  restorePieces(time);
  splitEngineBody();
  resetToStart();
}

void FractureBodyNode::beforeSubsteps(const MTime& earlier, const MTime& current, double step) {
  // The frame plays the joints as their nodes say, as a rewind does: an
  // undone or redone switch has had no twin read since.
  SceneStress::pullSwitchesOf(this);
  if (isEnabled() && hasAnimatedParentNode()) updateKinematic(earlier, current, step);
}

void FractureBodyNode::afterFrame(int frame) {
  if (!isEnabled()) return;
  breakJointsByFrame(frame);
  updateStressPositions();
  if (firstHitPending() && actFrame() <= frame) disableStaticParts();
  // Breakable from breakFrame on.
  FractureBody* body = getFractureBody();
  if (body != nullptr && !body->isBreakable() && breakFrame() <= frame) body->clearSubtreeFlag();
}

void FractureBodyNode::splitEngineBody() {
  FractureBody* body = getFractureBody();
  if (body == nullptr || !body->isActive()) return;
  body->splitIntoFragments(false);
  if (theWorld != nullptr) theWorld->activateBodyTree(body);
}

void FractureBodyNode::resetToStart() {
  const MObject self = thisMObject();
  const bool isUnbreakable = MPlug(self, unbreakable).asBool();
  staticPartsReleased = false;
  if (FractureBody* body = getFractureBody()) {
    // The engine counts impact passes until told otherwise; a replay from
    // the start must spread its hits as the first play did.
    body->resetCrackCount();
    if (PrivateWorld* world = privateWorld()) {
      world->restoreBody(body);
      if (enabledState)
        world->activateBody(body);
      else
        world->unlinkBody(body);
    }
    if (passiveState)
      body->enableStatic();
    else
      body->disableStatic();
    if (isUnbreakable)
      body->setSubtreeFlag();
    else
      body->clearSubtreeFlag();
  }
  // A node read from a scene has kept no start state yet: its joint nodes
  // and pieces stay as the scene has them until it is built.
  if (!startStored) return;
  for (SceneStress* node : stressNodesLinked()) node->writeAttributes();
  const std::vector<rigidBodyNode*> pieces = pieceNodes();
  for (rigidBodyNode* piece : pieces) {
    const UnlockedPiece unlocked(*piece);
    piece->restoreRestTransform();
  }
  MDagPath group;
  if (!pieces.empty() && pieceGroupPath(pieces.front()->thisMObject(), group))
    MFnTransform(group).resetFromRestPosition();
  for (clusterFractureNode* cluster : clusterNodes()) cluster->applyInitialState();
  const int threshold = randomThreshold();
  if (threshold != randomThresholdSeen) {
    randomThresholdSeen = threshold;
    if (displaysStress()) refreshStressDisplay();
  }
}

void FractureBodyNode::updateKinematic(const MTime& earlier, const MTime& current, double step) {
  FractureBody* body = getFractureBody();
  if (body == nullptr || !(step > 0.0)) return;
  MObject parent = animatedParentPath.isValid() ? animatedParentPath.node() : MObject();
  if (parent.isNull()) {
    findAnimatedParent();
    if (animatedParentPath.isValid()) parent = animatedParentPath.node();
  }
  if (parent.isNull()) return;

  const ParentPose before = parentPoseAt(parent, earlier);
  const ParentPose now = parentPoseAt(parent, current);
  body->syncPositionFromPieces(true);
  body->syncOrientationFromPieces(true);

  const MTransformationMatrix from = bodyFrameOf(before, restMatrix);
  const MTransformationMatrix to = bodyFrameOf(now, restMatrix);
  const MQuaternion q0 = from.rotation();
  MQuaternion q1 = to.rotation();
  // q and -q are one rotation: the nearer of the two gives the short way
  // round, also where the vector parts change sign near the identity.
  if (q0.x * q1.x + q0.y * q1.y + q0.z * q1.z + q0.w * q1.w < 0.0) q1 = q1 * -1.0;
  MVector axis;
  double angle = 0.0;
  if ((q0.inverse() * q1).getAxisAngle(axis, angle) && angle != 0.0 && body->isStatic())
    body->setAngularVelocity(toEngine(axis * (angle / step)));

  const MVector velocity = (to.getTranslation(MSpace::kTransform) - from.getTranslation(MSpace::kTransform)) / step;
  body->moveWithPieces(toEngine(velocity), toEngine(before.translate));
}

void FractureBodyNode::breakJointsByFrame(int frame) {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return;
  std::vector<DynamicStress*> due;
  for (SceneStress* node : stressNodes) {
    DynamicStress* joint = node->getJoint();
    if (joint == nullptr || !joint->isActive() || !joint->isBreakableByFrame()) continue;
    // The attribute itself: the frame may have been set without its twin
    // being evaluated since.
    if (node->getInt("frameToBreak") <= frame) due.push_back(joint);
  }
  if (!due.empty()) body->breakJointsByFrame(due, privateWorld());
}

void FractureBodyNode::updateStressPositions() {
  for (SceneStress* node : stressNodesLinked()) {
    const DynamicStress* joint = node->getJoint();
    if (joint == nullptr || !joint->isActive()) continue;
    const Mgc::MgcVector3 at = joint->worldAnchorMidpoint();
    const float position[3] = {static_cast<float>(at.x), static_cast<float>(at.y), static_cast<float>(at.z)};
    node->setPosition(position);
  }
}

void FractureBodyNode::disableStaticParts() {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return;
  if (!body->isStatic() && body->numDisconectBodies() == 0 && body->getNFBodies() == 0) return;
  body->disableStaticParts();
  if (theWorld != nullptr) theWorld->activateBodyTree(body);
  staticPartsReleased = true;
}
