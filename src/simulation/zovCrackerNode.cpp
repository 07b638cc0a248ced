// The cracker node's class: its attributes, the compute of its twins (the
// engine body's creation and settings) and its removal.
#include "src/simulation/zovCrackerNode.h"

#include <maya/MAnimControl.h>
#include <maya/MDGContext.h>
#include <maya/MDagPath.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MTransformationMatrix.h>

#include <cstdio>

#include "engine/BodyFactory.h"
#include "engine/PublicWorld.h"
#include "engine/bodies/ZovCrackerBody.h"
#include "platform/ModuleState.h"
#include "src/bodySetup.h"
#include "src/hostEngineConversions.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/solverNode.h"

const MTypeId zovCrackerNode::id(0x113A71);
const MString zovCrackerNode::nodeTypeName("zovCracker");

namespace {

constexpr double kCrackerRestitution = 0.3;
constexpr double kCrackerFriction = 0.7;
/// Creation numbers of cracker bodies, from the module's load.
constexpr std::uint32_t kFirstCrackerSerial = 1711032;
BodySerials g_crackerSerials(kFirstCrackerSerial);
const zov::platform::ModuleStateReset g_crackerSerialsReset([] {
  g_crackerSerials = BodySerials(kFirstCrackerSerial);
});
const char* const kNotACrackerShape = "crackerNode connected to a non-collision shape node!";
/// The longest size, in scene units.
constexpr double kMaxLength = 1e6;
/// The largest factor on the keyed speed: the impulse velocity stays finite.
constexpr double kMaxSpeedFactor = 1e3;

}  // namespace

MStatus zovCrackerNode::initialize() {
  using Kind = MFnNumericData;
  const MStatus added = addAttributes({
      {type, enumAttribute("type", "tp", 0, {{"align to path", 0}, {"align to surface", 1}, {"align custom", 2}},
                           kNotKeyable)},
      {inCollisionShape, dataAttribute("inCollisionShape", "incs", MFnData::kMesh, kNotKeyable.hidden(false))},
      {inCollisionType, numericAttribute("inCollisionType", "inct", Kind::kInt, 0.0)},
      {solver, messageAttribute("solver", "solv", AttributeFlags().hidden(true))},
      {selected, numericAttribute("selected", "sel", Kind::kBoolean, 0.0, kNotKeyable.hidden(true).storable(false))},
      {enabled, numericAttribute("enabled", "enb", Kind::kBoolean, 0.0, kNotKeyable)},
      // A length; a factor on the keyed speed; a chance.
      {size, boundedAttribute("size", "sz", Kind::kDouble, 1.0, 0.0, kMaxLength, kNotKeyable)},
      {multiplier, boundedAttribute("multiplier", "mt", Kind::kDouble, 1.0, 0.0, kMaxSpeedFactor, kNotKeyable)},
      {multrand, boundedAttribute("multrand", "mrn", Kind::kDouble, 0.0, 0.0, 1.0, kNotKeyable)},
      {impulseDir, pointAttribute("impulseDir", "imd")},
      {massCenter,
       numericAttribute("massCenter", "cm", Kind::k3Double, kUnsetCentre, kNotKeyable.hidden(true)),
       {&inCollisionType}},
      {ca_cracker, hiddenTwin("ca_cracker", "cacr"), {&inCollisionType}},
      {ca_crackerParam, hiddenTwin("ca_crackerParam", "cacp"), {&multiplier, &multrand, &type, &impulseDir}},
      {ca_size, hiddenTwin("ca_size", "caz"), {&size}},
      {ca_enabled, hiddenTwin("ca_enabled", "caas"), {&enabled}},
      {animatedTRS, hiddenTwin("animatedTRS", "atrs")},
      {ca_centerMass, hiddenTwin("ca_centerMass", "cacm"), {&massCenter}},
      {ca_selected, hiddenTwin("ca_selected", "ces"), {&selected}},
      {usercommand, hiddenTwin("usercommand", "use")},
      {index, numericAttribute("index", "idx", Kind::kInt, -1.0, kHiddenSetting)},
      {ca_index, hiddenTwin("ca_index", "cidx"), {&index}},
  });
  if (!added) return added;
  return MS::kSuccess;
}

MStatus zovCrackerNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == ca_cracker) {
    createBody(block);
  } else if (plug == ca_enabled) {
    pullPlug(thisMObject(), ca_cracker);
    if (body) {
      if (block.inputValue(enabled).asBool())
        switchOn();
      else
        switchOff();
    }
    invalidateSolverCache();
  } else if (plug == ca_centerMass) {
    moveCentreOfMass(block);
  } else if (plug == ca_size) {
    refit();
    invalidateSolverCache();
  } else if (plug == ca_crackerParam) {
    if (body) {
      body->setRestitutionCoeff(kCrackerRestitution);
      body->setFrictionCoeff(kCrackerFriction);
    }
    const float3& direction = block.inputValue(impulseDir).asFloat3();
    impulse = MVector(direction[0], direction[1], direction[2]);
    if (impulse.length() > 0.0) impulse.normalize();
    invalidateSolverCache();
  } else if (plug == ca_selected) {
    block.inputValue(selected).asBool();
  } else if (plug == ca_index) {
    if (body) body->getShape().id = block.inputValue(index).asInt();
  } else {
    return MS::kUnknownParameter;
  }
  block.outputValue(plug).set(true);
  block.setClean(plug);
  return MS::kSuccess;
}

MBoundingBox zovCrackerNode::boundingBox() const {
  return MBoundingBox(MPoint(-1.0, -1.0, -1.0), MPoint(1.0, 1.0, 1.0));
}

bool zovCrackerNode::setInternalValueInContext(const MPlug&, const MDataHandle&, MDGContext&) { return false; }

ZOVmesh* zovCrackerNode::shapeMesh(bool rebuild) const {
  collisionShapeNode* collision = userNodeOf<collisionShapeNode>(sourceNodeOf(MPlug(thisMObject(), inCollisionType)));
  if (collision == nullptr) {
    std::printf("%s\n", kNotACrackerShape);
    std::fflush(stdout);
    return nullptr;
  }
  if (rebuild) collision->rebuildShape();
  return collision->getShape();
}

zovSolverNode* zovCrackerNode::linkedSolver() const {
  return userNodeOf<zovSolverNode>(sourceNodeOf(MPlug(thisMObject(), solver)));
}

void zovCrackerNode::invalidateSolverCache() const {
  if (zovSolverNode* owner = linkedSolver()) owner->deactivateCachedMode();
}

bool zovCrackerNode::createBody(MDataBlock& block) {
  if (body) body.reset();
  ZOVmesh* mesh = shapeMesh(false);
  if (mesh == nullptr) return false;

  const zovSolverNode* owner = linkedSolver();
  Mgc::MgcVector3 centre;
  double mass = 0.0;
  if (!bodyMassOf(*mesh, owner != nullptr && owner->unitScaleOn(), name(), true, "body ", mass, centre)) return false;

  body.reset(createCrackerBody(mesh));
  if (!body) return false;
  body->setMass(static_cast<float>(mass));
  body->setRestitutionCoeff(kCrackerRestitution);
  body->setFrictionCoeff(kCrackerFriction);
  if (theWorld != nullptr && theWorld->containsBody(body.get()))
    theWorld->makeBodyStatic(body.get(), nullptr);
  else
    body->enableStatic();
  nameBody(*body.get(), name());
  body->setSerial(g_crackerSerials.take());
  const int bodyIndex = block.inputValue(index).asInt();
  if (bodyIndex >= 0) body->getShape().id = bodyIndex;

  MDagPath transform;
  if (!transformPathOrReport(thisMObject(), transform)) return false;
  const MMatrix W = transform.inclusiveMatrix();
  float scale[3] = {1.0f, 1.0f, 1.0f};
  previous = target = poseOf(W, scale);
  body->init(centre, engineRotationMatrix(previous.rotationQuaternion()), Mgc::MgcVector3(1.0, 1.0, 1.0));
  if (theWorld != nullptr && !theWorld->containsBody(body.get())) switchOn();

  const Mgc::MgcVector3 P = body->getDyn().position;
  const double s[3] = {scale[0], scale[1], scale[2]};
  offset = multiplyTransforms(bodyTransformation(*body.get(), s).asMatrixInverse(), W);
  storeRestPosition(MAnimControl::minTime());

  if (collisionShapeNode* shape = userNodeOf<collisionShapeNode>(sourceNodeOf(MPlug(thisMObject(), inCollisionType))))
    shape->releaseShape();
  MDataHandle centreHandle = block.outputValue(massCenter);
  if (isCentreUnset(centreHandle.asDouble3())) centreHandle.set3Double(P.x, P.y, P.z);
  block.outputValue(enabled).set(true);
  block.outputValue(usercommand).set(false);
  return true;
}

void zovCrackerNode::switchOn() {
  if (theWorld != nullptr && body) theWorld->addBody(body.get(), 0);
  if (body) MPlug(thisMObject(), index).setValue(static_cast<int>(body->getShape().id));
  MPlug(thisMObject(), enabled).setValue(true);
}

void zovCrackerNode::switchOff() {
  if (theWorld != nullptr && body) theWorld->removeBody(body.get());
  MPlug(thisMObject(), enabled).setValue(false);
}

void zovCrackerNode::refit() {
  pullPlug(thisMObject(), ca_cracker);
  if (!body) return;
  const MTime now = MAnimControl::currentTime();
  placeAtCurrentPose(now);
  // The shape as it is at that time.
  MDGContext atNow(now);
  MPlug(thisMObject(), inCollisionType).asInt(atNow);
  body->modify(shapeMesh(true));
  body->saveDynamics(kSaveMass);
}

void zovCrackerNode::moveCentreOfMass(MDataBlock& block) {
  if (!body) return;
  MDagPath transform;
  if (!transformPathOrReport(thisMObject(), transform)) return;
  const MMatrix W = transform.inclusiveMatrix();
  const MMatrix B = multiplyTransforms(W, offset.inverse());
  const double3& wanted = block.inputValue(massCenter).asDouble3();
  const MVector given(wanted[0], wanted[1], wanted[2]);
  // The body keeps its centre in single precision: a centre past it would
  // put the body at infinity.
  if (!finiteAsFloat(given)) {
    const MVector kept = toHost(body->getDyn().position);
    MGlobal::displayError("cracker " + MFnDependencyNode(thisMObject()).name() + ": centre of mass " +
                          vectorText(given) + " does not fit single precision, the centre " + vectorText(kept) +
                          " is kept");
    block.outputValue(massCenter).set3Double(kept.x, kept.y, kept.z);
    return;
  }
  const MVector C(static_cast<float>(wanted[0]), static_cast<float>(wanted[1]), static_cast<float>(wanted[2]));
  body->moveCenterOfMass(toEngine(C));
  MTransformationMatrix moved(B);
  moved.setTranslation(C, MSpace::kTransform);
  offset = multiplyTransforms(moved.asMatrixInverse(), W);
  storeRestPosition(MAnimControl::minTime());
}

bool zovCrackerNode::isActive() const { return body && MPlug(thisMObject(), enabled).asBool(); }

void zovCrackerNode::readParameters() {
  pullPlugs(thisMObject(),
            {&inCollisionType, &ca_cracker, &ca_crackerParam, &ca_centerMass, &ca_enabled, &ca_index, &solver});
}

void zovCrackerNode::onNodeRemoved(MObject& node, void*) {
  if (MFnDependencyNode(node).typeId() != id) return;
  if (zovCrackerNode* cracker = userNodeOf<zovCrackerNode>(node)) cracker->body.reset();
  int exists = 0;
  MGlobal::executeCommand("window -ex zovCrakersWin", exists, false, false);
  if (exists >= 1) MGlobal::executeCommandOnIdle("updateZovCrackersPanel");
}
