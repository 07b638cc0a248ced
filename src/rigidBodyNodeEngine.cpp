// The rigid body node's engine body: its creation from the collision shape,
// the pushes of the node's settings into it, and its place in the world.
#include <maya/MAnimControl.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/BodyFactory.h"
#include "engine/PublicWorld.h"
#include "geometry/MassProperties.h"
#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "src/collisionShapeNode.h"
#include "src/matrixHelpers.h"
#include "src/nodeLinks.h"
#include "src/rigidBodyNode.h"
#include "src/solverNode.h"

namespace {

/// A `mass` below this (as a float) is replaced by the computed one.
constexpr float kUnsetMass = 1e-5f;
/// Mass per cubic centimetre when bodies are fitted to the host's scale.
constexpr double kUnitMassScale = 0.015;
/// The engine's dampings are a tenth of the node's (single-precision 0.1).
constexpr double kDampingScale = static_cast<double>(0.1f);
/// Squared velocities below this are not applied.
constexpr double kNegligibleSquared = 1e-5;

/// Values of `passive`.
constexpr int kDynamic = 0;
constexpr int kPassive = 1;
constexpr int kDrivenByTransform = 2;

/// Values of the shape's collision type.
enum CollisionKind : int { kPhantom = 0, kCapsule = 1, kHull = 2, kTriangleMesh = 3, kAutomaticOrJagged = 4 };

MVector readVector(const MObject& node, const MObject& attribute) {
  const MPlug plug(node, attribute);
  return MVector(plug.child(0).asDouble(), plug.child(1).asDouble(), plug.child(2).asDouble());
}

void store(float out[3], const MVector& v) {
  for (unsigned int k = 0; k < 3; ++k) out[k] = static_cast<float>(v[k]);
}

MVector toHost(const Mgc::MgcVector3& v) { return MVector(v.x, v.y, v.z); }

/// The matrix of a body's pose: its scale and rotation, then the
/// translation to its position.
MTransformationMatrix bodyPose(const HardBody& body) {
  const Mgc::Quaternion& q = body.getDyn().orientationQuat;
  MTransformationMatrix pose;
  pose.rotateTo(MQuaternion(q.X(), q.Y(), q.Z(), q.W()));
  pose.setTranslation(toHost(body.getDyn().position), MSpace::kTransform);
  const Mgc::MgcVector3& s = body.getShape().scale;
  const double scale[3] = {s.x, s.y, s.z};
  pose.setScale(scale, MSpace::kTransform);
  return pose;
}

/// Serial numbers handed to new bodies, two apart, from the module's load.
std::uint32_t g_nextBodySerial = 0;

}  // namespace

HardBody* rigidBodyNode::engineBody(bool pullFirst) {
  if (pullFirst) {
    pullPlug(thisMObject(), ca_rigidBody);
    pullPlug(thisMObject(), ca_rigidBodyParam);
  }
  return body.get();
}

void rigidBodyNode::pullAll() {
  for (const MObject* output :
       {&ca_rigidBody, &ca_rigidBodyParam, &ca_centerMass, &ca_activeState, &ca_forceFields, &ca_index, &solver})
    pullPlug(thisMObject(), *output);
}

bool rigidBodyNode::transformPath(MDagPath& path) const {
  MStatus status = MDagPath::getAPathTo(thisMObject(), path);
  if (status) status = path.pop();
  if (!status || path.length() == 0) {
    if (status) status = MS::kFailure;
    std::printf("maya error: %s while: retrieven dagPath of rigid node\n", status.errorString().asChar());
    std::fflush(stdout);
    return false;
  }
  return true;
}

bool rigidBodyNode::massOf(const ZOVmesh& mesh, bool warnEmpty, const char* negativePrefix, double& result,
                           Mgc::MgcVector3& centre) const {
  centre = Mgc::MgcVector3();
  double volume = ComputeMassProperties(mesh, centre);
  if (!std::isfinite(volume)) {
    MGlobal::displayWarning("body " + name() + " has no finite volume: no body is made");
    return false;
  }
  const zovSolverNode* owner = linkedSolver();
  if (owner != nullptr && owner->unitScaleOn()) volume *= kUnitMassScale;
  if (volume < 0.0) {
    MGlobal::displayWarning(negativePrefix + name() + " mass negative");
    volume = -volume;
  } else if (volume == 0.0) {
    if (warnEmpty) MGlobal::displayWarning("body " + name() + " has no volume");
    centre = Mgc::MgcVector3();
    for (std::uint32_t i = 0; i < mesh.numVertices; ++i) centre += mesh.vertices[i];
    if (mesh.numVertices > 0) centre /= static_cast<double>(mesh.numVertices);
    volume = 1.0;
  }
  result = volume;
  return true;
}

bool rigidBodyNode::keyedAgainstDynamics() const {
  return isAnimated(kTransformAnimated | kShapeInputAnimated) && !MPlug(thisMObject(), hasZovKeys).asBool();
}

void rigidBodyNode::warnKeyed() const {
  MGlobal::displayWarning("Object " + name() + " cannot be active because it has already animation keys");
}

bool rigidBodyNode::createBody(MDataBlock& block) {
  const int kind = block.inputValue(inCollisionType).asInt();
  if (body) dropBody();

  MObject shapeNode;
  if (!collisionShapeNode(shapeNode)) {
    MGlobal::displayWarning("body " + name() + " has no collision shape: no body is made");
    return false;
  }
  ZOVmesh* mesh = shapeMesh();
  if (mesh == nullptr) {
    if (MFnDependencyNode(shapeNode).typeId() == ::collisionShapeNode::id)
      MGlobal::displayWarning("body " + name() + ": its collision shape holds no mesh, no body is made");
    return false;
  }
  double bodyMass = 0.0;
  Mgc::MgcVector3 centre;
  if (!massOf(*mesh, true, "body ", bodyMass, centre)) return false;

  HardBody* made = nullptr;
  switch (kind) {
    case kPhantom:
      made = createPhantomBody(mesh);
      break;
    case kCapsule:
      made = createCapsuleBody(mesh);
      break;
    case kHull:
      made = createHullBody(mesh);
      break;
    case kTriangleMesh:
      made = createTriMeshBody(mesh);
      break;
    case kAutomaticOrJagged:
      made = block.inputValue(isJaggyAttr).asBool() ? createHullBody(mesh) : createBodyFromMesh(mesh);
      break;
    default:
      made = createBodyFromMesh(mesh);
      break;
  }
  if (made == nullptr) {
    MGlobal::displayWarning("body " + name() + ": the engine cannot make a body of this collision type from its shape");
    return false;
  }
  body.reset(made);

  body->setMass(static_cast<float>(bodyMass));
  body->setRestitutionCoeff(block.inputValue(bounciness).asDouble());
  body->setFrictionCoeff(block.inputValue(friction).asDouble());
  body->setAirDampingCoeff(block.inputValue(linearDamping).asDouble());
  body->setAirDampingCoeff2(block.inputValue(angularDamping).asDouble());
  body->setGapFactor(block.inputValue(gapfactor).asDouble());
  char* bodyName = body->getShape().name;
  std::strncpy(bodyName, name().asChar(), kBodyNameLength - 1);
  bodyName[kBodyNameLength - 1] = '\0';

  const std::uint32_t serial = g_nextBodySerial;
  g_nextBodySerial = serial + 2;
  bodySerial = serial + 1;
  body->setSerial(bodySerial);
  const int bodyIndex = block.inputValue(index).asInt();
  if (bodyIndex >= 0) body->getShape().id = bodyIndex;

  const bool inWorld = theWorld != nullptr && theWorld->containsBody(body.get());
  const bool keyed = block.inputValue(passive).asInt() <= kDynamic && keyedAgainstDynamics();
  if (block.inputValue(passive).asInt() <= kDynamic) {
    if (!keyed) {
      if (inWorld)
        theWorld->makeBodyDynamic(body.get(), nullptr);
      else
        body->disableStatic();
    } else {
      warnKeyed();
      block.outputValue(passive).set(kDrivenByTransform);
      // Driven by its transform from now on, as `passive` says.
      body->enableStatic();
    }
  } else if (inWorld) {
    theWorld->makeBodyStatic(body.get(), nullptr);
  } else {
    body->enableStatic();
  }

  MDagPath transform;
  if (!transformPath(transform)) return false;
  const MMatrix W = transform.inclusiveMatrix();
  body->init(centre, capturePose(W), Mgc::MgcVector3(1.0, 1.0, 1.0));
  std::memcpy(targetTranslation, poseTranslation, sizeof(poseTranslation));
  std::memcpy(targetRotation, poseRotation, sizeof(poseRotation));
  if (theWorld != nullptr && !theWorld->containsBody(body.get())) activateBody();

  tieToTransform(transform);
  resetToStart(MAnimControl::minTime());
  const Mgc::MgcVector3 p = body->getDyn().position;
  store(centreInTransform, transformPoint(toHost(p), W.inverse()));
  static_cast<::collisionShapeNode*>(MFnDependencyNode(shapeNode).userNode())->releaseShape();

  MDataHandle centreHandle = block.outputValue(massCenter);
  const double3& current = centreHandle.asDouble3();
  if (current[0] <= kUnsetCentre && current[1] <= kUnsetCentre && current[2] <= kUnsetCentre)
    centreHandle.set3Double(p.x, p.y, p.z);
  MDataHandle massHandle = block.outputValue(mass);
  if (static_cast<float>(massHandle.asDouble()) < kUnsetMass) massHandle.set(bodyMass);
  block.outputValue(enabled).set(true);
  block.outputValue(usercommand).set(false);
  // A body made again (a new collision type) must not wait for a change of
  // its settings to hold them: their twins may be clean.
  applyParameters(block);
  if (block.inputValue(firstHitActiveAttr).asShort() == 1 && !keyed) body->enableFirstHit();
  return true;
}

Mgc::MgcMatrix3 rigidBodyNode::capturePose(const MMatrix& W) {
  const MTransformationMatrix parts(W);
  double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
  parts.getRotationQuaternion(x, y, z, w, MSpace::kTransform);
  const MVector t = parts.getTranslation(MSpace::kTransform);
  double s[3];
  parts.getScale(s, MSpace::kTransform);
  store(poseTranslation, t);
  const float q[4] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), static_cast<float>(w)};
  std::memcpy(poseRotation, q, sizeof(q));
  store(poseScale, MVector(s[0], s[1], s[2]));
  Mgc::MgcMatrix3 R;
  Mgc::Quaternion(w, x, y, z).ToRotationMatrix(R);
  return R;
}

void rigidBodyNode::tieToTransform(const MDagPath& transform) {
  const MMatrix W = transform.inclusiveMatrix();
  const MMatrix inverseBody = bodyPose(*body.get()).asMatrixInverse();
  bodyOffset = multiplyTransforms(inverseBody, W);
  const MPoint pivot = MFnTransform(transform).rotatePivot(MSpace::kWorld);
  store(pivotInBody, transformPoint(MVector(pivot.x, pivot.y, pivot.z), inverseBody));
}

void rigidBodyNode::pushParameters(MDataBlock& block) {
  pullPlug(thisMObject(), ca_rigidBody);
  applyParameters(block);
}

void rigidBodyNode::applyParameters(MDataBlock& block) {
  if (!body) return;
  body->setMass(static_cast<float>(block.inputValue(mass).asDouble()));
  body->saveDynamics(kSaveMass);
  body->setRestitutionCoeff(block.inputValue(bounciness).asDouble());
  body->setFrictionCoeff(block.inputValue(friction).asDouble());
  body->setAirDampingCoeff(block.inputValue(linearDamping).asDouble() * kDampingScale);
  body->setAirDampingCoeff2(block.inputValue(angularDamping).asDouble() * kDampingScale);
  body->setGapFactor(block.inputValue(gapfactor).asDouble());
}

void rigidBodyNode::pushActiveState(MDataBlock& block) {
  pullPlug(thisMObject(), ca_rigidBody);
  if (!body) return;
  body->setMass(static_cast<float>(block.inputValue(mass).asDouble()));
  body->saveDynamics(kSaveMass);

  const int p = block.inputValue(passive).asInt();
  const bool keyed = p <= kDynamic && keyedAgainstDynamics();
  if (keyed && block.inputValue(usercommand).asBool()) {
    warnKeyed();
    block.outputValue(passive).set(kDrivenByTransform);
  } else {
    applyPassiveState(p, true);
  }

  if (block.inputValue(enabled).asBool())
    activateBody();
  else
    deactivateBody();

  MDataHandle firstHit = block.outputValue(firstHitActiveAttr);
  const short hit = block.inputValue(firstHitActiveAttr).asShort();
  if (hit > 0 && keyed) {
    warnKeyed();
    firstHit.set(static_cast<short>(0));
  } else if (hit == 1) {
    body->enableFirstHit();
  } else {
    body->disableFirstHit();
  }
}

void rigidBodyNode::applyPassiveState(int state, bool fromCompute) {
  if (body) {
    const bool dynamic = state != kPassive && state != kDrivenByTransform;
    HardBody* owner = fractureOwner != nullptr ? body->getParent() : nullptr;
    if (theWorld != nullptr) {
      if (fractureOwner != nullptr || theWorld->containsBody(body.get())) {
        if (dynamic)
          theWorld->makeBodyDynamic(body.get(), owner);
        else
          theWorld->makeBodyStatic(body.get(), owner);
      } else if (dynamic) {
        body->disableStatic();
      } else {
        body->enableStatic();
      }
    } else if (fractureOwner == nullptr) {
      if (dynamic)
        body->disableStatic();
      else
        body->enableStatic();
    }
    const MVector v = readVector(thisMObject(), initialVelocity);
    if (v * v > kNegligibleSquared) body->setLinearVelocity(Mgc::MgcVector3(v.x, v.y, v.z));
    const MVector spin = readVector(thisMObject(), initialSpin);
    if (spin * spin > kNegligibleSquared) body->setAngularMomentum(Mgc::MgcVector3(spin.x, spin.y, spin.z));
  }
  if (!fromCompute) {
    MPlug(thisMObject(), passive).setValue(state);
    pullPlug(thisMObject(), ca_activeState);
  }
}

void rigidBodyNode::activateBody() {
  if (fractureOwner == nullptr && theWorld != nullptr && body) theWorld->addBody(body.get(), 0);
  if (body) MPlug(thisMObject(), index).setValue(static_cast<int>(body->getShape().id));
  MPlug(thisMObject(), enabled).setValue(true);
}

void rigidBodyNode::deactivateBody() {
  if (fractureOwner == nullptr && theWorld != nullptr && body) theWorld->removeBody(body.get());
  MPlug(thisMObject(), enabled).setValue(false);
}

void rigidBodyNode::moveCentreOfMass(MDataBlock& block) {
  if (!body) return;
  MDagPath transform;
  if (!transformPath(transform)) return;
  const MMatrix W = transform.inclusiveMatrix();
  const MMatrix B = multiplyTransforms(W, bodyOffset.inverse());
  const double3& wanted = block.inputValue(massCenter).asDouble3();
  const Mgc::MgcVector3 c(static_cast<float>(wanted[0]), static_cast<float>(wanted[1]), static_cast<float>(wanted[2]));
  body->moveCenterOfMass(c);

  MTransformationMatrix moved(B);
  moved.setTranslation(toHost(c), MSpace::kTransform);
  const MMatrix inverseBody = moved.asMatrixInverse();
  bodyOffset = multiplyTransforms(inverseBody, W);
  const MPoint pivot = MFnTransform(transform).rotatePivot(MSpace::kWorld);
  store(pivotInBody, transformPoint(MVector(pivot.x, pivot.y, pivot.z), inverseBody));
  store(centreInTransform, transformPoint(toHost(c), W.inverse()));
  resetToStart(MAnimControl::minTime());
}

void rigidBodyNode::rebuildBody() {
  MObject shapeNode;
  ZOVmesh* mesh = shapeMesh();
  if (mesh == nullptr || !collisionShapeNode(shapeNode)) return;
  double bodyMass = 0.0;
  Mgc::MgcVector3 centre;
  if (!massOf(*mesh, false, " body ", bodyMass, centre)) return;
  if (body) body->setMass(static_cast<float>(bodyMass));
  MDagPath transform;
  if (!body || !transformPath(transform)) return;
  const MMatrix W = transform.inclusiveMatrix();
  body->init(centre, capturePose(W), Mgc::MgcVector3(1.0, 1.0, 1.0));
  std::memcpy(targetTranslation, poseTranslation, sizeof(poseTranslation));
  std::memcpy(targetRotation, poseRotation, sizeof(poseRotation));
  body->modify(mesh);
  if (theWorld != nullptr && !theWorld->containsBody(body.get())) activateBody();
  tieToTransform(transform);
  resetToStart(MAnimControl::minTime());
  const Mgc::MgcVector3 p = body->getDyn().position;
  store(centreInTransform, transformPoint(toHost(p), W.inverse()));
  MPlug centrePlug(thisMObject(), massCenter);
  for (unsigned int k = 0; k < 3; ++k) centrePlug.child(k).setValue(p[k]);
  MPlug(thisMObject(), mass).setValue(bodyMass);
  if (MFnDependencyNode(shapeNode).typeId() == ::collisionShapeNode::id)
    static_cast<::collisionShapeNode*>(MFnDependencyNode(shapeNode).userNode())->releaseShape();
}
