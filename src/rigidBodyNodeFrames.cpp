// The rigid body node's services to the frame loop: moving the engine body
// between the host's transform and the engine, and its frame cache.
#include <maya/MFnTransform.h>
#include <maya/MTransformationMatrix.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/BodyFactory.h"
#include "math/MgcQuaternion.h"
#include "src/collisionShapeNode.h"
#include "src/hostHelpers.h"
#include "src/matrixHelpers.h"
#include "src/rigidBodyNode.h"

namespace {

/// Squared speeds below this count as no motion.
constexpr double kStillSquared = 1e-5;
/// Values of `passive` and `firstHitActive` the services test.
constexpr int kDynamicBody = 0;
constexpr short kWaitsForFrame = 2;
constexpr unsigned int kPositionFloats = 3;
constexpr unsigned int kRotationFloats = 4;

MVector childTriple(const MObject& node, const MObject& attribute) {
  const MPlug plug(node, attribute);
  return MVector(plug.child(0).asFloat(), plug.child(1).asFloat(), plug.child(2).asFloat());
}

}  // namespace

FloatPose rigidBodyNode::currentPose() const {
  FloatPose pose;
  std::memcpy(pose.translation, poseTranslation, sizeof(pose.translation));
  std::memcpy(pose.rotation, poseRotation, sizeof(pose.rotation));
  return pose;
}

FloatPose rigidBodyNode::targetPose() const {
  FloatPose pose;
  std::memcpy(pose.translation, targetTranslation, sizeof(pose.translation));
  std::memcpy(pose.rotation, targetRotation, sizeof(pose.rotation));
  return pose;
}

void rigidBodyNode::resetToStart(const MTime& time) {
  if (body) {
    bodyFromMaya(time, false);
    body->saveDynamics(kSaveAll);
  }
  std::memcpy(startTranslation, poseTranslation, sizeof(startTranslation));
  std::memcpy(startRotation, poseRotation, sizeof(startRotation));
  MDagPath transform;
  if (!MDagPath::getAPathTo(thisMObject(), transform) || !transform.pop() || transform.length() == 0) return;
  MFnTransform fn(transform);
  fn.setRestPosition(fn.transformation());
}

void rigidBodyNode::restoreRestTransform() {
  std::memcpy(poseRotation, startRotation, sizeof(poseRotation));
  std::memcpy(targetRotation, startRotation, sizeof(targetRotation));
  std::memcpy(poseTranslation, startTranslation, sizeof(poseTranslation));
  std::memcpy(targetTranslation, startTranslation, sizeof(targetTranslation));
  if (body) {
    body->restoreDynamics();
    if (MPlug(thisMObject(), firstHitActiveAttr).asShort() == kWaitsForFrame) body->enableStatic();
  }
  MDagPath transform;
  if (!MDagPath::getAPathTo(thisMObject(), transform) || !transform.pop() || transform.length() == 0) return;
  MFnTransform fn(transform);
  fn.setTranslation(fn.restPosition().getTranslation(MSpace::kTransform), MSpace::kTransform);
  fn.resetFromRestPosition();
}

void rigidBodyNode::applyInitialVelocities() {
  if (!body || passiveState() != kDynamicBody) return;
  body->setLinearVelocity(toEngine(childTriple(thisMObject(), initialVelocity)));
  body->saveDynamics(kSaveLinearVelocity);
  body->setAngularMomentum(toEngine(childTriple(thisMObject(), initialSpin)));
  body->saveDynamics(kSaveAngularVelocity);
}

void rigidBodyNode::bodyFromMaya(const MTime& time, bool forceMesh) {
  MDagPath transform;
  if (!transformPath(transform)) return;
  const MMatrix W = transform.inclusiveMatrix();
  capturePose(W);
  if (!body) return;
  placeBodyAt(*body.get(), multiplyTransforms(W, bodyOffset.inverse()), true);
  if (forceMesh || isAnimatedMesh() || isAnimated(kShapeInputAnimated)) refreshBodyMesh(time);
}

void rigidBodyNode::refreshBodyMesh(const MTime&) {
  ZOVmesh* mesh = shapeMesh();
  if (body && mesh != nullptr) body->modify(mesh);
}

void rigidBodyNode::captureTargetPose(const MTime&) {
  MDagPath transform;
  if (!transformPath(transform)) return;
  const FloatPose target = poseOf(transform.inclusiveMatrix(), targetScale);
  std::memcpy(targetTranslation, target.translation, sizeof(targetTranslation));
  std::memcpy(targetRotation, target.rotation, sizeof(targetRotation));
}

void rigidBodyNode::computeKinematicVelocity(double dt, const MTime&, const MTime&) {
  if (!body || !(dt > 0.0)) return;
  const MMatrix inverseOffset = bodyOffset.inverse();
  const FloatPose a = poseOf(multiplyTransforms(poseMatrix(currentPose()), inverseOffset));
  const FloatPose b = poseOf(multiplyTransforms(poseMatrix(targetPose()), inverseOffset));
  const MVector v = (b.translationVector() - a.translationVector()) / dt;
  body->setLinearVelocity(toEngine(v));
  MVector w;
  if (turnRate(a.rotationQuaternion(), b.rotationQuaternion(), dt, w)) {
    body->setAngularMomentum(toEngine(w));
  } else {
    const Mgc::MgcVector3& L = body->getDyn().angularMomentum;
    w = MVector(L.x, L.y, L.z);
  }
  if (body->getType() == kTriMeshBody && (isAnimatedMesh() || isAnimated(kShapeInputAnimated)))
    deformingMeshVelocities(dt, v, w);
}

void rigidBodyNode::deformingMeshVelocities(double dt, const MVector& v, const MVector& w) {
  MObject shapeNode;
  if (!collisionShapeNode(shapeNode)) return;
  MFnDependencyNode fn(shapeNode);
  if (fn.typeId() != ::collisionShapeNode::id || fn.userNode() == nullptr) {
    shapeMesh();  // says that the node is no collision shape
    return;
  }
  static_cast<::collisionShapeNode*>(fn.userNode())->rebuildShape();
  ZOVmesh* mesh = shapeMesh();
  ZOVmesh* old = body->getWorldMesh();
  if (mesh == nullptr || old == nullptr) return;
  // A mesh whose vertices changed in number is no deformation of the old one.
  const std::uint32_t n = old->numVertices;
  if (mesh->numVertices != n || n == 0 || old->worldVertices == nullptr) {
    body->modify(mesh);
    return;
  }
  const Mgc::MgcVector3 c = body->getDyn().position;
  Mgc::MgcVector3 sumV, sumL;
  for (std::uint32_t i = 0; i < n; ++i) {
    const Mgc::MgcVector3 d = (mesh->vertices[i] - old->worldVertices[i]) / dt;
    if (d.SquaredLength() > kStillSquared) {
      sumV += d;
      sumL += (old->worldVertices[i] - c).Cross(d);
    }
    if (old->vertexData != nullptr) old->vertexData[i] = d;
  }
  if (old->vertexData != nullptr) old->hasVertexData = 1;
  if (v * v < kStillSquared) body->setLinearVelocity(sumV / static_cast<double>(n));
  if (w * w < kStillSquared)
    body->setAngularMomentum(body->getDyn().worldInvInertia * (sumL * (body->getMass() / static_cast<double>(n))));
}

void rigidBodyNode::placeAtFraction(double fraction, const MTime&, const MTime&) {
  if (!body) return;
  MVector p;
  MQuaternion q;
  blendPoses(currentPose(), targetPose(), fraction, p, q);
  placeBodyAt(*body.get(), multiplyTransforms(poseMatrix(p, q), bodyOffset.inverse()), false);
}

void rigidBodyNode::placeTransform(const MMatrix& B) {
  MDagPath transform;
  if (!transformPath(transform)) return;
  const MMatrix W = multiplyTransforms(B, bodyOffset);
  const FloatPose pose = poseOf(W, poseScale);
  std::memcpy(poseTranslation, pose.translation, sizeof(poseTranslation));
  std::memcpy(poseRotation, pose.rotation, sizeof(poseRotation));
  MFnTransform fn(transform);
  const MPoint P0 = fn.rotatePivot(MSpace::kWorld);
  const MVector P1 = transformPoint(MVector(pivotInBody[0], pivotInBody[1], pivotInBody[2]), B);
  fn.translateBy(P1 - MVector(P0.x, P0.y, P0.z), MSpace::kWorld);
  double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
  MTransformationMatrix(W).getRotationQuaternion(x, y, z, w, MSpace::kTransform);
  fn.setRotation(MQuaternion(x, y, z, w), MSpace::kWorld);
}

void rigidBodyNode::writeTransform() {
  if (body) placeTransform(bodyPoseMatrix(*body.get()));
}

void rigidBodyNode::playCachedFrame(unsigned int index) {
  if (!body || index >= cacheCount || !cachePositions || !cacheRotations) return;
  const float* p = &cachePositions[index * kPositionFloats];
  const float* q = &cacheRotations[index * kRotationFloats];
  placeTransform(poseMatrix(MVector(p[0], p[1], p[2]), MQuaternion(q[0], q[1], q[2], q[3])));
}

bool rigidBodyNode::isLive() const { return body && isEnabled(); }

bool rigidBodyNode::isMassNegative() { return body && hasNonPositiveVolume(body.get()); }

void rigidBodyNode::allocateFrameCache(int capacity, int startFrame) {
  if (capacity <= 0) return;
  cachePositions.reset();
  cacheRotations.reset();
  cacheStart = startFrame;
  cacheCount = 0;
  cacheCapacity = static_cast<std::uint32_t>(capacity);
  const size_t entries = static_cast<size_t>(capacity);
  cachePositions.reset(new (std::nothrow) float[entries * kPositionFloats]);
  if (cachePositions) cacheRotations.reset(new (std::nothrow) float[entries * kRotationFloats]);
}

void rigidBodyNode::growFrameCache(int capacity) {
  if (!cachePositions || !cacheRotations || capacity < 1) return;
  const size_t entries = static_cast<size_t>(capacity);
  std::unique_ptr<float[]> positions(new (std::nothrow) float[entries * kPositionFloats]);
  std::unique_ptr<float[]> rotations(new (std::nothrow) float[entries * kRotationFloats]);
  if (!positions || !rotations) return;
  // A smaller cache keeps the entries that fit.
  const std::uint32_t kept = std::min(cacheCount, static_cast<std::uint32_t>(capacity));
  std::copy(&cachePositions[0], &cachePositions[0] + kept * kPositionFloats, &positions[0]);
  std::copy(&cacheRotations[0], &cacheRotations[0] + kept * kRotationFloats, &rotations[0]);
  cachePositions = std::move(positions);
  cacheRotations = std::move(rotations);
  cacheCapacity = static_cast<std::uint32_t>(capacity);
  cacheCount = kept;
}

void rigidBodyNode::recordFrame() {
  if (cacheCount >= cacheCapacity || !body || !cachePositions || !cacheRotations) return;
  const Mgc::MgcVector3& p = body->getDyn().position;
  const Mgc::Quaternion& q = body->getDyn().orientationQuat;
  float* position = &cachePositions[cacheCount * kPositionFloats];
  float* rotation = &cacheRotations[cacheCount * kRotationFloats];
  for (unsigned int k = 0; k < kPositionFloats; ++k) position[k] = static_cast<float>(p[k]);
  const double xyzw[kRotationFloats] = {q.X(), q.Y(), q.Z(), q.W()};
  for (unsigned int k = 0; k < kRotationFloats; ++k) rotation[k] = static_cast<float>(xyzw[k]);
  ++cacheCount;
}

void rigidBodyNode::recordFrameAt(int frame) {
  if (cacheCount < 2) cacheStart = frame - 1;
  recordFrame();
}
