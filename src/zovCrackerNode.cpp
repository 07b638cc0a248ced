// The cracker node's class: its attributes, the compute of its twins (the
// engine body's creation and settings) and its removal.
#include "src/zovCrackerNode.h"

#include <maya/MAnimControl.h>
#include <maya/MDGContext.h>
#include <maya/MDagPath.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnEnumAttribute.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MTransformationMatrix.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/BodyFactory.h"
#include "engine/PublicWorld.h"
#include "engine/bodies/ZovCrackerBody.h"
#include "geometry/MassProperties.h"
#include "math/MgcQuaternion.h"
#include "src/collisionShapeNode.h"
#include "src/hostHelpers.h"
#include "src/matrixHelpers.h"
#include "src/nodeLinks.h"
#include "src/solverNode.h"

const MTypeId zovCrackerNode::id(0x113A71);
const MString zovCrackerNode::nodeTypeName("zovCracker");

MObject zovCrackerNode::type;
MObject zovCrackerNode::inCollisionShape;
MObject zovCrackerNode::inCollisionType;
MObject zovCrackerNode::solver;
MObject zovCrackerNode::selected;
MObject zovCrackerNode::enabled;
MObject zovCrackerNode::size;
MObject zovCrackerNode::multiplier;
MObject zovCrackerNode::multrand;
MObject zovCrackerNode::impulseDir;
MObject zovCrackerNode::massCenter;
MObject zovCrackerNode::ca_cracker;
MObject zovCrackerNode::ca_crackerParam;
MObject zovCrackerNode::ca_size;
MObject zovCrackerNode::ca_enabled;
MObject zovCrackerNode::animatedTRS;
MObject zovCrackerNode::ca_centerMass;
MObject zovCrackerNode::ca_selected;
MObject zovCrackerNode::usercommand;
MObject zovCrackerNode::index;
MObject zovCrackerNode::ca_index;

namespace {

/// The single-precision epsilon: `massCenter` at or below it counts as unset.
constexpr double kCentreUnset = static_cast<double>(1.1920929e-07f);
/// Mass per cubic centimetre when bodies are fitted to the host's scale.
constexpr double kCrackerUnitMass = 0.015;
constexpr double kCrackerRestitution = 0.3;
constexpr double kCrackerFriction = 0.7;
/// Creation numbers of cracker bodies, two apart, from the module's load.
std::uint32_t g_nextCrackerSerial = 1711032;
const char* const kNotACrackerShape = "crackerNode connected to a non-collision shape node!";

MObject crackerNumber(const char* longName, const char* shortName, MFnNumericData::Type kind, double initial) {
  MFnNumericAttribute fn;
  const MObject attribute = fn.create(longName, shortName, kind, initial);
  fn.setKeyable(false);
  return attribute;
}

/// A hidden twin: not connectable, not storable, not keyable.
MObject crackerTwin(const char* longName, const char* shortName) {
  MFnNumericAttribute fn;
  const MObject attribute = fn.create(longName, shortName, MFnNumericData::kBoolean, 0.0);
  fn.setConnectable(false);
  fn.setHidden(true);
  fn.setStorable(false);
  fn.setKeyable(false);
  return attribute;
}

/// The node feeding a plug, or null.
MObject sourceNodeOf(const MPlug& plug) {
  MPlugArray sources;
  if (!plug.connectedTo(sources, true, false) || sources.length() == 0) return MObject();
  return sources[0].node();
}

}  // namespace

void* zovCrackerNode::creator() { return new zovCrackerNode; }

MStatus zovCrackerNode::initialize() {
  MFnEnumAttribute enumeration;
  type = enumeration.create("type", "tp", 0);
  enumeration.addField("align to path", 0);
  enumeration.addField("align to surface", 1);
  enumeration.addField("align custom", 2);
  enumeration.setKeyable(false);
  MFnTypedAttribute typed;
  inCollisionShape = typed.create("inCollisionShape", "incs", MFnData::kMesh);
  typed.setHidden(false);
  typed.setKeyable(false);
  MFnNumericAttribute numeric;
  inCollisionType = numeric.create("inCollisionType", "inct", MFnNumericData::kInt, 0.0);
  MFnMessageAttribute message;
  solver = message.create("solver", "solv");
  message.setHidden(true);
  selected = crackerNumber("selected", "sel", MFnNumericData::kBoolean, 0.0);
  numeric.setObject(selected);
  numeric.setHidden(true);
  numeric.setStorable(false);
  enabled = crackerNumber("enabled", "enb", MFnNumericData::kBoolean, 0.0);
  size = crackerNumber("size", "sz", MFnNumericData::kDouble, 1.0);
  multiplier = crackerNumber("multiplier", "mt", MFnNumericData::kDouble, 1.0);
  multrand = crackerNumber("multrand", "mrn", MFnNumericData::kDouble, 0.0);
  impulseDir = numeric.createPoint("impulseDir", "imd");
  massCenter = crackerNumber("massCenter", "cm", MFnNumericData::k3Double, kCentreUnset);
  numeric.setObject(massCenter);
  numeric.setHidden(true);
  ca_cracker = crackerTwin("ca_cracker", "cacr");
  ca_crackerParam = crackerTwin("ca_crackerParam", "cacp");
  ca_size = crackerTwin("ca_size", "caz");
  ca_enabled = crackerTwin("ca_enabled", "caas");
  animatedTRS = crackerTwin("animatedTRS", "atrs");
  ca_centerMass = crackerTwin("ca_centerMass", "cacm");
  ca_selected = crackerTwin("ca_selected", "ces");
  usercommand = crackerTwin("usercommand", "use");
  index = crackerNumber("index", "idx", MFnNumericData::kInt, -1.0);
  numeric.setObject(index);
  numeric.setConnectable(false);
  numeric.setHidden(true);
  ca_index = crackerTwin("ca_index", "cidx");

  for (const MObject* attribute :
       {&type,       &inCollisionShape, &inCollisionType, &solver,      &selected,    &enabled,         &size,
        &multiplier, &multrand,         &impulseDir,      &massCenter,  &ca_cracker,  &ca_crackerParam, &ca_size,
        &ca_enabled, &animatedTRS,      &ca_centerMass,   &ca_selected, &usercommand, &index,           &ca_index}) {
    const MStatus status = addAttribute(*attribute);
    if (!status) return status;
  }
  attributeAffects(selected, ca_selected);
  attributeAffects(inCollisionType, ca_cracker);
  attributeAffects(inCollisionType, massCenter);
  attributeAffects(index, ca_index);
  attributeAffects(size, ca_size);
  for (const MObject* parameter : {&multiplier, &multrand, &type, &impulseDir})
    attributeAffects(*parameter, ca_crackerParam);
  attributeAffects(massCenter, ca_centerMass);
  attributeAffects(enabled, ca_enabled);
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

bool zovCrackerNode::transformPath(MDagPath& path) const {
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

ZOVmesh* zovCrackerNode::shapeMesh(bool rebuild) const {
  const MObject shape = sourceNodeOf(MPlug(thisMObject(), inCollisionType));
  MFnDependencyNode fn(shape);
  if (shape.isNull() || fn.typeId() != collisionShapeNode::id || fn.userNode() == nullptr) {
    std::printf("%s\n", kNotACrackerShape);
    std::fflush(stdout);
    return nullptr;
  }
  auto* collision = static_cast<collisionShapeNode*>(fn.userNode());
  if (rebuild) collision->rebuildShape();
  return collision->getShape();
}

zovSolverNode* zovCrackerNode::linkedSolver() const {
  const MObject node = sourceNodeOf(MPlug(thisMObject(), solver));
  MFnDependencyNode fn(node);
  if (node.isNull() || fn.typeId() != zovSolverNode::id) return nullptr;
  return static_cast<zovSolverNode*>(fn.userNode());
}

void zovCrackerNode::invalidateSolverCache() const {
  if (zovSolverNode* owner = linkedSolver()) owner->deactivateCachedMode();
}

bool zovCrackerNode::createBody(MDataBlock& block) {
  if (body) body.reset();
  ZOVmesh* mesh = shapeMesh(false);
  if (mesh == nullptr) return false;

  Mgc::MgcVector3 centre;
  double mass = ComputeMassProperties(*mesh, centre);
  if (!std::isfinite(mass)) {
    MGlobal::displayWarning("body " + name() + " has no finite volume: no body is made");
    return false;
  }
  const zovSolverNode* owner = linkedSolver();
  if (owner != nullptr && owner->unitScaleOn()) mass *= kCrackerUnitMass;
  if (mass < 0.0) {
    MGlobal::displayWarning("body " + name() + " mass negative");
    mass = -mass;
  } else if (mass == 0.0) {
    MGlobal::displayWarning("body " + name() + " has no volume");
    centre = Mgc::MgcVector3();
    for (std::uint32_t i = 0; i < mesh->numVertices; ++i) centre += mesh->vertices[i];
    if (mesh->numVertices > 0) centre /= static_cast<double>(mesh->numVertices);
    mass = 1.0;
  }

  body.reset(createCrackerBody(mesh));
  if (!body) return false;
  body->setMass(static_cast<float>(mass));
  body->setRestitutionCoeff(kCrackerRestitution);
  body->setFrictionCoeff(kCrackerFriction);
  if (theWorld != nullptr && theWorld->containsBody(body.get()))
    theWorld->makeBodyStatic(body.get(), nullptr);
  else
    body->enableStatic();
  char* bodyName = body->getShape().name;
  std::strncpy(bodyName, name().asChar(), kBodyNameLength - 1);
  bodyName[kBodyNameLength - 1] = '\0';
  const std::uint32_t serial = g_nextCrackerSerial;
  g_nextCrackerSerial = serial + 2;
  body->setSerial(serial + 1);
  const int bodyIndex = block.inputValue(index).asInt();
  if (bodyIndex >= 0) body->getShape().id = bodyIndex;

  MDagPath transform;
  if (!transformPath(transform)) return false;
  const MMatrix W = transform.inclusiveMatrix();
  float scale[3] = {1.0f, 1.0f, 1.0f};
  previous = target = poseOf(W, scale);
  Mgc::MgcMatrix3 R;
  const MQuaternion& q = previous.rotationQuaternion();
  Mgc::Quaternion(q.w, q.x, q.y, q.z).ToRotationMatrix(R);
  body->init(centre, R, Mgc::MgcVector3(1.0, 1.0, 1.0));
  if (theWorld != nullptr && !theWorld->containsBody(body.get())) switchOn();

  const Mgc::Quaternion& bq = body->getDyn().orientationQuat;
  const Mgc::MgcVector3 P = body->getDyn().position;
  MTransformationMatrix pose;
  pose.rotateTo(MQuaternion(bq.X(), bq.Y(), bq.Z(), bq.W()));
  pose.setTranslation(MVector(P.x, P.y, P.z), MSpace::kTransform);
  const double s[3] = {scale[0], scale[1], scale[2]};
  pose.setScale(s, MSpace::kTransform);
  offset = multiplyTransforms(pose.asMatrixInverse(), W);
  storeRestPosition(MAnimControl::minTime());

  MFnDependencyNode shapeFn(sourceNodeOf(MPlug(thisMObject(), inCollisionType)));
  static_cast<collisionShapeNode*>(shapeFn.userNode())->releaseShape();
  MDataHandle centreHandle = block.outputValue(massCenter);
  const double3& current = centreHandle.asDouble3();
  if (current[0] <= kCentreUnset && current[1] <= kCentreUnset && current[2] <= kCentreUnset)
    centreHandle.set3Double(P.x, P.y, P.z);
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
  if (!transformPath(transform)) return;
  const MMatrix W = transform.inclusiveMatrix();
  const MMatrix B = multiplyTransforms(W, offset.inverse());
  const double3& wanted = block.inputValue(massCenter).asDouble3();
  const MVector C(static_cast<float>(wanted[0]), static_cast<float>(wanted[1]), static_cast<float>(wanted[2]));
  body->moveCenterOfMass(toEngine(C));
  MTransformationMatrix moved(B);
  moved.setTranslation(C, MSpace::kTransform);
  offset = multiplyTransforms(moved.asMatrixInverse(), W);
  storeRestPosition(MAnimControl::minTime());
}

bool zovCrackerNode::isActive() const { return body && MPlug(thisMObject(), enabled).asBool(); }

void zovCrackerNode::readParameters() {
  for (const MObject* attribute :
       {&inCollisionType, &ca_cracker, &ca_crackerParam, &ca_centerMass, &ca_enabled, &ca_index, &solver})
    pullPlug(thisMObject(), *attribute);
}

void zovCrackerNode::onNodeRemoved(MObject& node, void*) {
  MFnDependencyNode fn(node);
  if (fn.typeId() != id) return;
  if (MPxNode* user = fn.userNode()) static_cast<zovCrackerNode*>(user)->body.reset();
  int exists = 0;
  MGlobal::executeCommand("window -ex zovCrakersWin", exists, false, false);
  if (exists >= 1) MGlobal::executeCommandOnIdle("updateZovCrackersPanel");
}
