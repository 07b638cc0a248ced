// The rigid body node's services to the frame loop: moving the engine body
// between the host's transform and the engine, and its frame cache.
#include <maya/MFnTransform.h>

#include <algorithm>
#include <new>

#include "engine/BodyFactory.h"
#include "src/hostEngineConversions.h"
#include "src/nodeLinks.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

/// Squared speeds below this count as no motion.
constexpr double kStillSquared = 1e-5;
constexpr unsigned int kPositionFloats = 3;
constexpr unsigned int kRotationFloats = 4;

/// The 3x3 part of an affine matrix, the translation row zero.
MMatrix linearPart(const MMatrix& m) {
  MMatrix linear = m;
  for (unsigned int c = 0; c < 3; ++c) linear(3, c) = 0.0;
  return linear;
}

/// The world rotation that, with the transform's own scale and shear, gives
/// the transform the world matrix W (up to translation). A mirror in W stays
/// with the scale that holds it, where W's own decomposition would move it
/// to another axis and turn the rotation by half a turn.
MQuaternion worldRotationFor(const MDagPath& transform, const MMatrix& W) {
  const MMatrix scaleShear = linearPart(MFnTransform(transform).transformation().asScaleMatrix());
  const MMatrix parent = linearPart(transform.exclusiveMatrix());
  if (scaleShear.isSingular() || parent.isSingular()) return rotationOf(W);
  // The 3x3 part of W is scale-shear · rotation · parent's.
  const MMatrix own = scaleShear.inverse() * linearPart(W) * parent.inverse();
  return rotationOf(rotationOf(own).asMatrix() * rotationOf(parent).asMatrix());
}

}  // namespace

void rigidBodyNode::resetToStart(const MTime& time) {
  if (body) {
    bodyFromMaya(time, false);
    body->saveDynamics(kSaveAll);
  }
  startPose = currentPose;
  keepParentAsRest(thisMObject());
}

void rigidBodyNode::restoreRestTransform() {
  currentPose = startPose;
  targetPose = startPose;
  if (body) {
    body->restoreDynamics();
    if (activatesAtFrame()) body->enableStatic();
  }
  MDagPath transform;
  if (!parentTransformPath(thisMObject(), transform)) return;
  MFnTransform fn(transform);
  fn.setTranslation(fn.restPosition().getTranslation(MSpace::kTransform), MSpace::kTransform);
  fn.resetFromRestPosition();
}

void rigidBodyNode::applyInitialVelocities() {
  if (!body || passiveState() != PassiveState::kDynamic) return;
  body->setLinearVelocity(toEngine(initialMotion(initialVelocity, ca_initialVelocity)));
  body->saveDynamics(kSaveLinearVelocity);
  body->setAngularMomentum(toEngine(initialMotion(initialSpin, ca_initialSpin)));
  body->saveDynamics(kSaveAngularVelocity);
}

void rigidBodyNode::bodyFromMaya(const MTime& time, bool forceMesh) {
  MDagPath transform;
  if (!transformPathOrReport(thisMObject(), transform)) return;
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
  if (!transformPathOrReport(thisMObject(), transform)) return;
  targetPose = poseOf(transform.inclusiveMatrix(), targetScale);
}

void rigidBodyNode::computeKinematicVelocity(double dt, const MTime&, const MTime&) {
  if (!body || !(dt > 0.0)) return;
  const MMatrix inverseOffset = bodyOffset.inverse();
  // With their scales, the poses give back the transform's matrices: the
  // offset holds the scale (a mirror too), and must find it there.
  const FloatPose a = poseOf(multiplyTransforms(poseMatrix(currentPose, currentScale), inverseOffset));
  const FloatPose b = poseOf(multiplyTransforms(poseMatrix(targetPose, targetScale), inverseOffset));
  const MVector v = (b.translationVector() - a.translationVector()) / dt;
  body->setLinearVelocity(toEngine(v));
  MVector w;
  if (turnRate(a.rotationQuaternion(), b.rotationQuaternion(), dt, w)) {
    body->setAngularMomentum(toEngine(w));
  } else {
    w = toHost(body->getDyn().angularMomentum);
  }
  if (body->getType() == kTriMeshBody && (isAnimatedMesh() || isAnimated(kShapeInputAnimated)))
    deformingMeshVelocities(dt, v, w);
}

void rigidBodyNode::deformingMeshVelocities(double dt, const MVector& v, const MVector& w) {
  MObject shapeNode;
  if (!collisionShapeNode(shapeNode)) return;
  ::collisionShapeNode* shape = userNodeOf<::collisionShapeNode>(shapeNode);
  if (shape == nullptr) {
    shapeMesh();  // says that the node is no collision shape
    return;
  }
  shape->rebuildShape();
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
  blendPoses(currentPose, targetPose, fraction, p, q);
  const MVector from(currentScale[0], currentScale[1], currentScale[2]);
  const MVector to(targetScale[0], targetScale[1], targetScale[2]);
  const MMatrix pose = poseMatrix(p, q, from * (1.0 - fraction) + to * fraction);
  placeBodyAt(*body.get(), multiplyTransforms(pose, bodyOffset.inverse()), false);
}

void rigidBodyNode::placeTransform(const MMatrix& B) {
  MDagPath transform;
  if (!transformPathOrReport(thisMObject(), transform)) return;
  const MMatrix W = multiplyTransforms(B, bodyOffset);
  currentPose = poseOf(W, currentScale);
  MFnTransform fn(transform);
  const MVector P0 = fn.rotatePivot(MSpace::kWorld);
  const MVector P1 = transformPoint(MVector(pivotInBody[0], pivotInBody[1], pivotInBody[2]), B);
  fn.translateBy(P1 - P0, MSpace::kWorld);
  fn.setRotation(worldRotationFor(transform, W), MSpace::kWorld);
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
  if (cacheCount < 2) {
    cacheStart = frame - 1;
  } else if (cachePositions && cacheRotations) {
    // The body stood still through the frames it missed.
    while (cacheStart + static_cast<int>(cacheCount) < frame && cacheCount < cacheCapacity) {
      std::copy_n(&cachePositions[(cacheCount - 1) * kPositionFloats], kPositionFloats,
                  &cachePositions[cacheCount * kPositionFloats]);
      std::copy_n(&cacheRotations[(cacheCount - 1) * kRotationFloats], kRotationFloats,
                  &cacheRotations[cacheCount * kRotationFloats]);
      ++cacheCount;
    }
  }
  recordFrame();
}
