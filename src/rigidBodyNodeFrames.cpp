// The rigid body node's services to the frame loop: moving the engine body
// between the host's transform and the engine.
#include <maya/MFnTransform.h>
#include <maya/MTransformationMatrix.h>

#include "math/MgcQuaternion.h"
#include "src/matrixHelpers.h"
#include "src/rigidBodyNode.h"

void rigidBodyNode::resetToStart(const MTime& time) {
  if (body) {
    bodyFromMaya(time, false);
    body->saveDynamics(kSaveAll);
  }
  for (int k = 0; k < 3; ++k) startTranslation[k] = poseTranslation[k];
  for (int k = 0; k < 4; ++k) startRotation[k] = poseRotation[k];
  MDagPath transform;
  if (!MDagPath::getAPathTo(thisMObject(), transform) || !transform.pop() || transform.length() == 0) return;
  MFnTransform fn(transform);
  fn.setRestPosition(fn.transformation());
}

void rigidBodyNode::bodyFromMaya(const MTime& time, bool forceMesh) {
  MDagPath transform;
  if (!transformPath(transform)) return;
  const MMatrix W = transform.inclusiveMatrix();
  capturePose(W);
  if (!body) return;
  const MTransformationMatrix implied(multiplyTransforms(W, bodyOffset.inverse()));
  const MVector p = implied.getTranslation(MSpace::kTransform);
  body->setPosition(Mgc::MgcVector3(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)));
  double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
  implied.getRotationQuaternion(x, y, z, w, MSpace::kTransform);
  body->setOrientationQuat(
      Mgc::Quaternion(static_cast<float>(w), static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)));
  if (forceMesh || isAnimatedMesh() || isAnimated(kShapeInputAnimated)) refreshBodyMesh(time);
}

void rigidBodyNode::refreshBodyMesh(const MTime&) {
  ZOVmesh* mesh = shapeMesh();
  if (body && mesh != nullptr) body->modify(mesh);
}

bool rigidBodyNode::isLive() const { return body && isEnabled(); }
