// The rigid body node's engine body: its creation from the collision shape,
// the pushes of the node's settings into it, and its place in the world.
#include <maya/MAnimControl.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>

#include "engine/BodyFactory.h"
#include "engine/PublicWorld.h"
#include "geometry/MassProperties.h"
#include "math/MgcMatrix3.h"
#include "platform/ModuleState.h"
#include "src/bodySetup.h"
#include "src/hostEngineConversions.h"
#include "src/nodeLinks.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

/// A `mass` below this (as a float) is replaced by the computed one.
constexpr float kUnsetMass = 1e-5f;
/// The engine's dampings are a tenth of the node's (single-precision 0.1).
constexpr double kDampingScale = static_cast<double>(0.1f);
/// Squared velocities below this are not applied.
constexpr double kNegligibleSquared = 1e-5;

/// Values of the shape's collision type.
enum CollisionKind : int { kPhantom = 0, kCapsule = 1, kHull = 2, kTriangleMesh = 3, kAutomaticOrJagged = 4 };

void store(float out[3], const MVector& v) {
  for (unsigned int k = 0; k < 3; ++k) out[k] = static_cast<float>(v[k]);
}

/// Serial numbers handed to new bodies, from the module's load.
constexpr std::uint32_t kFirstBodySerial = 0;
BodySerials g_bodySerials(kFirstBodySerial);
const zov::platform::ModuleStateReset g_bodySerialsReset([] { g_bodySerials = BodySerials(kFirstBodySerial); });

}  // namespace

HardBody* rigidBodyNode::engineBody(bool pullFirst) {
  if (pullFirst) {
    pullPlug(thisMObject(), ca_rigidBody);
    pullPlug(thisMObject(), ca_rigidBodyParam);
  }
  return body.get();
}

void rigidBodyNode::pullAll() {
  pullPlugs(thisMObject(),
            {&ca_rigidBody, &ca_rigidBodyParam, &ca_centerMass, &ca_activeState, &ca_forceFields, &ca_index, &solver});
  // A piece simulates as part of its fracture body: what the fracture body
  // node says of breaking, bouncing and being on is brought up to date too.
  if (fractureOwner != nullptr && isFracturePiece) fractureOwner->pullPieceSettings();
}

bool rigidBodyNode::fittedToHostScale() const {
  const zovSolverNode* owner = linkedSolver();
  return owner != nullptr && owner->unitScaleOn();
}

bool rigidBodyNode::keyedAgainstDynamics() const {
  return isAnimated(kTransformAnimated | kShapeInputAnimated) && !MPlug(thisMObject(), hasZovKeys).asBool();
}

void rigidBodyNode::warnKeyed() const {
  MGlobal::displayWarning("Object " + name() + " cannot be active because it has already animation keys");
}

namespace {

/// Puts a transform at its rest position while the guard lives, and back
/// where it stood after.
class AtRestPosition {
 public:
  explicit AtRestPosition(const MDagPath& transform) : fn(transform), stood(fn.transformation()) {
    fn.set(fn.restPosition());
  }
  ~AtRestPosition() { fn.set(stood); }
  AtRestPosition(const AtRestPosition&) = delete;
  AtRestPosition& operator=(const AtRestPosition&) = delete;

 private:
  MFnTransform fn;
  MTransformationMatrix stood;
};

}  // namespace

bool rigidBodyNode::createBody(MDataBlock& block) {
  // A piece's body made again (a new collision type) goes through its
  // fracture body, which reaches the old body and must let it go first.
  if (body && fractureOwner != nullptr) return fractureOwner->remakePiece(*this, [&] { return makeBody(block); });
  // A piece that left its fracture body because no body could be made of
  // its shape goes back to it, when it can, as its body is made again.
  if (!body && fractureOwner == nullptr && formerOwner != nullptr) {
    PieceOwner* former = formerOwner;
    formerOwner = nullptr;
    bool madeAgain = false;
    if (former->takeBackPiece(
            *this, [&] { return makeBody(block); }, madeAgain))
      return madeAgain;
  }
  // A first body starts where the transform stands.
  if (!released && !body) return makeBody(block);
  // A body made again (a new collision type, the node's deletion undone)
  // keeps the start the node holds: it is made at the start pose, which the
  // rewinds go back to, with the node's initial motion, as a reset leaves
  // it, and then placed where the transform stands now, to go on from
  // there. Made where a play left it, it would start from there.
  MDagPath transform;
  if (!parentTransformPath(thisMObject(), transform)) return makeBody(block);
  bool made = false;
  {
    const AtRestPosition atRest(transform);
    made = makeBody(block);
  }
  if (released) released = !made;
  if (!made) return false;
  applyInitialVelocities();
  const MTime now = MAnimControl::currentTime();
  bodyFromMaya(now, false);
  if (now != MAnimControl::minTime() && body) {
    // Past the start it goes on from rest, as a body made there always has.
    body->setLinearVelocity(Mgc::MgcVector3());
    body->setAngularMomentum(Mgc::MgcVector3());
  }
  return true;
}

namespace {

/// A new engine body of the collision type from the shape's mesh: the
/// automatic type makes a hull of a roughened mesh and lets the mesh choose
/// otherwise. Null when the engine cannot make one.
HardBody* bodyOfKind(int kind, ZOVmesh* mesh, bool jagged) {
  switch (kind) {
    case kPhantom:
      return createPhantomBody(mesh);
    case kCapsule:
      return createCapsuleBody(mesh);
    case kHull:
      return createHullBody(mesh);
    case kTriangleMesh:
      return createTriMeshBody(mesh);
    case kAutomaticOrJagged:
      return jagged ? createHullBody(mesh) : createBodyFromMesh(mesh);
    default:
      return createBodyFromMesh(mesh);
  }
}

/// The node's bounciness, friction, damping and gap on the body.
void setCoefficients(HardBody& body, MDataBlock& block) {
  body.setRestitutionCoeff(block.inputValue(rigidBodyNode::bounciness).asDouble());
  body.setFrictionCoeff(block.inputValue(rigidBodyNode::friction).asDouble());
  body.setAirDampingCoeff(block.inputValue(rigidBodyNode::linearDamping).asDouble());
  body.setAirDampingCoeff2(block.inputValue(rigidBodyNode::angularDamping).asDouble());
  body.setGapFactor(block.inputValue(rigidBodyNode::gapfactor).asDouble());
}

}  // namespace

bool rigidBodyNode::makeBody(MDataBlock& block) {
  const int kind = block.inputValue(inCollisionType).asInt();
  if (body) dropBody();

  MObject shapeNode;
  if (!collisionShapeNode(shapeNode)) {
    MGlobal::displayWarning("body " + name() + " has no collision shape: no body is made");
    return false;
  }
  ZOVmesh* mesh = shapeMesh();
  if (mesh == nullptr) {
    const auto* shape = userNodeOf<::collisionShapeNode>(shapeNode);
    outOfMemory = shape != nullptr && shape->ranOutOfMemory();
    if (outOfMemory)
      MGlobal::displayError("body " + name() + ": memory ran out making its collision shape, no body is made");
    else if (shape != nullptr)
      MGlobal::displayWarning("body " + name() + ": its collision shape holds no mesh, no body is made");
    return false;
  }
  double bodyMass = 0.0;
  Mgc::MgcVector3 centre;
  if (!bodyMassOf(*mesh, fittedToHostScale(), name(), true, "body ", bodyMass, centre)) return false;
  shapeMass = bodyMass;

  HardBody* made = bodyOfKind(kind, mesh, block.inputValue(isJaggyAttr).asBool());
  if (made == nullptr) {
    MGlobal::displayWarning("body " + name() + ": the engine cannot make a body of this collision type from its shape");
    return false;
  }
  body.reset(made);

  body->setMass(static_cast<float>(bodyMass));
  setCoefficients(*body.get(), block);
  nameBody(*body.get(), name());
  bodySerial = g_bodySerials.take();
  body->setSerial(bodySerial);
  const int bodyIndex = block.inputValue(index).asInt();
  if (bodyIndex >= 0) body->getShape().id = bodyIndex;

  const bool inWorld = theWorld != nullptr && theWorld->containsBody(body.get());
  const bool dynamic = static_cast<PassiveState>(block.inputValue(passive).asInt()) <= PassiveState::kDynamic;
  const bool keyed = dynamic && keyedAgainstDynamics();
  if (dynamic) {
    if (!keyed) {
      if (inWorld)
        theWorld->makeBodyDynamic(body.get(), nullptr);
      else
        body->disableStatic();
    } else {
      warnKeyed();
      block.outputValue(passive).set(static_cast<int>(PassiveState::kDrivenByTransform));
      // Driven by its transform from now on, as `passive` says.
      body->enableStatic();
    }
  } else if (inWorld) {
    theWorld->makeBodyStatic(body.get(), nullptr);
  } else {
    body->enableStatic();
  }

  MDagPath transform;
  if (!transformPathOrReport(thisMObject(), transform)) return false;
  const MMatrix W = transform.inclusiveMatrix();
  body->init(centre, capturePose(W), Mgc::MgcVector3(1.0, 1.0, 1.0));
  targetPose = currentPose;
  if (theWorld != nullptr && !theWorld->containsBody(body.get())) activateBody();

  tieToTransform(transform);
  resetToStart(MAnimControl::minTime());
  const Mgc::MgcVector3 p = body->getDyn().position;
  store(centreInTransform, transformPoint(toHost(p), W.inverse()));
  if (::collisionShapeNode* shape = userNodeOf<::collisionShapeNode>(shapeNode)) shape->releaseShape();

  MDataHandle centreHandle = block.outputValue(massCenter);
  if (isCentreUnset(centreHandle.asDouble3())) centreHandle.set3Double(p.x, p.y, p.z);
  MDataHandle massHandle = block.outputValue(mass);
  const double givenMass = massHandle.asDouble();
  if (finiteAsFloat(givenMass) && static_cast<float>(givenMass) < kUnsetMass) massHandle.set(bodyMass);
  block.outputValue(enabled).set(true);
  block.outputValue(usercommand).set(false);
  // A body made again (a new collision type) must not wait for a change of
  // its settings to hold them: their twins may be clean.
  applyParameters(block);
  if (static_cast<FirstHit>(block.inputValue(firstHitActiveAttr).asShort()) == FirstHit::kOnFirstHit && !keyed)
    body->enableFirstHit();
  return true;
}

Mgc::MgcMatrix3 rigidBodyNode::capturePose(const MMatrix& W) {
  currentPose = poseOf(W, currentScale);
  return engineRotationMatrix(rotationOf(W));
}

void rigidBodyNode::tieToTransform(const MDagPath& transform) {
  const MMatrix W = transform.inclusiveMatrix();
  const Mgc::MgcVector3& s = body->getShape().scale;
  const double scale[3] = {s.x, s.y, s.z};
  const MMatrix inverseBody = bodyTransformation(*body.get(), scale).asMatrixInverse();
  bodyOffset = multiplyTransforms(inverseBody, W);
  store(pivotInBody, transformPoint(MFnTransform(transform).rotatePivot(MSpace::kWorld), inverseBody));
}

void rigidBodyNode::pushParameters(MDataBlock& block) {
  pullPlug(thisMObject(), ca_rigidBody);
  applyParameters(block);
}

double rigidBodyNode::usableMass(MDataBlock& block) {
  const double given = block.inputValue(mass).asDouble();
  if (finiteAsFloat(given) && static_cast<float>(given) > 0.0f) return given;
  MGlobal::displayWarning("body " + name() + ": mass " + numberText(given) + " is not usable, mass " +
                          numberText(shapeMass) + " used");
  block.outputValue(mass).set(shapeMass);
  return shapeMass;
}

void rigidBodyNode::applyParameters(MDataBlock& block) {
  if (!body) return;
  body->setMass(static_cast<float>(usableMass(block)));
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
  body->setMass(static_cast<float>(usableMass(block)));
  body->saveDynamics(kSaveMass);

  const PassiveState state = static_cast<PassiveState>(block.inputValue(passive).asInt());
  const bool keyed = state <= PassiveState::kDynamic && keyedAgainstDynamics();
  if (keyed && block.inputValue(usercommand).asBool()) {
    warnKeyed();
    block.outputValue(passive).set(static_cast<int>(PassiveState::kDrivenByTransform));
  } else {
    applyPassiveState(state, true);
  }

  if (block.inputValue(enabled).asBool())
    activateBody();
  else
    deactivateBody();

  MDataHandle firstHit = block.outputValue(firstHitActiveAttr);
  const FirstHit hit = static_cast<FirstHit>(block.inputValue(firstHitActiveAttr).asShort());
  if (hit > FirstHit::kOff && keyed) {
    warnKeyed();
    firstHit.set(static_cast<short>(FirstHit::kOff));
  } else if (hit == FirstHit::kOnFirstHit) {
    body->enableFirstHit();
  } else {
    body->disableFirstHit();
  }
}

void rigidBodyNode::applyPassiveState(PassiveState state, bool fromCompute) {
  if (body) {
    const bool dynamic = state != PassiveState::kPassive && state != PassiveState::kDrivenByTransform;
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
    const MVector v = initialMotion(initialVelocity, ca_initialVelocity);
    if (v * v > kNegligibleSquared) body->setLinearVelocity(toEngine(v));
    const MVector spin = initialMotion(initialSpin, ca_initialSpin);
    if (spin * spin > kNegligibleSquared) body->setAngularMomentum(toEngine(spin));
  }
  if (!fromCompute) {
    MPlug(thisMObject(), passive).setValue(static_cast<int>(state));
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
  if (!transformPathOrReport(thisMObject(), transform)) return;
  const double3& wanted = block.inputValue(massCenter).asDouble3();
  const MVector given(wanted[0], wanted[1], wanted[2]);
  if (!finiteAsFloat(given)) {
    const MVector kept = toHost(body->getDyn().position);
    MGlobal::displayError("body " + name() + ": centre of mass " + vectorText(given) +
                          " does not fit single precision, the centre " + vectorText(kept) + " is kept");
    block.outputValue(massCenter).set3Double(kept.x, kept.y, kept.z);
    return;
  }
  const Mgc::MgcVector3 c(static_cast<float>(wanted[0]), static_cast<float>(wanted[1]), static_cast<float>(wanted[2]));
  // The centre is given where the body starts, and the body's start is kept:
  // the centre moves with the transform at its rest position and the body
  // at its start state, and the body then goes back where the transform
  // stands, with the motion it had there.
  const Mgc::MgcVector3 velocity = body->getDyn().linearVelocity;
  const Mgc::MgcVector3 momentum = body->getDyn().angularMomentum;
  {
    const AtRestPosition atRest(transform);
    body->restoreDynamics();
    const MMatrix W = transform.inclusiveMatrix();
    const MMatrix B = multiplyTransforms(W, bodyOffset.inverse());
    body->moveCenterOfMass(c);

    MTransformationMatrix moved(B);
    moved.setTranslation(toHost(c), MSpace::kTransform);
    const MMatrix inverseBody = moved.asMatrixInverse();
    bodyOffset = multiplyTransforms(inverseBody, W);
    store(pivotInBody, transformPoint(MFnTransform(transform).rotatePivot(MSpace::kWorld), inverseBody));
    store(centreInTransform, transformPoint(toHost(c), W.inverse()));
    resetToStart(MAnimControl::minTime());
  }
  bodyFromMaya(MAnimControl::currentTime(), false);
  body->setLinearVelocity(velocity);
  body->setAngularMomentum(momentum);
}

void rigidBodyNode::updateMassProperties() {
  if (!body) return;
  const ZOVmesh* mesh = body->getWorldMesh();
  if (mesh == nullptr) return;
  Mgc::MgcVector3 centre;
  body->setMass(static_cast<float>(ComputeMassProperties(*mesh, centre)));
  body->saveDynamics(kSaveMass);
}

void rigidBodyNode::rebuildBody() {
  MObject shapeNode;
  ZOVmesh* mesh = shapeMesh();
  if (mesh == nullptr || !collisionShapeNode(shapeNode)) return;
  double bodyMass = 0.0;
  Mgc::MgcVector3 centre;
  if (!bodyMassOf(*mesh, fittedToHostScale(), name(), false, " body ", bodyMass, centre)) return;
  shapeMass = bodyMass;
  if (body) body->setMass(static_cast<float>(bodyMass));
  MDagPath transform;
  if (!body || !transformPathOrReport(thisMObject(), transform)) return;
  const MMatrix W = transform.inclusiveMatrix();
  body->init(centre, capturePose(W), Mgc::MgcVector3(1.0, 1.0, 1.0));
  targetPose = currentPose;
  body->modify(mesh);
  if (theWorld != nullptr && !theWorld->containsBody(body.get())) activateBody();
  tieToTransform(transform);
  resetToStart(MAnimControl::minTime());
  const Mgc::MgcVector3 p = body->getDyn().position;
  store(centreInTransform, transformPoint(toHost(p), W.inverse()));
  MPlug centrePlug(thisMObject(), massCenter);
  for (unsigned int k = 0; k < 3; ++k) centrePlug.child(k).setValue(p[k]);
  MPlug(thisMObject(), mass).setValue(bodyMass);
  if (::collisionShapeNode* shape = userNodeOf<::collisionShapeNode>(shapeNode)) shape->releaseShape();
}
