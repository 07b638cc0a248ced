// The rigid body node's class: its attributes, construction and removal, the
// compute dispatch, its box, and the questions it answers about its shape,
// its solver and its animation.
#include "src/rigidBodyNode.h"

#include <maya/MAnimUtil.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MViewport2Renderer.h>

#include <cstdio>

#include "src/collisionShapeNode.h"
#include "src/engineMeshOutput.h"
#include "src/nodeLinks.h"
#include "src/solverNode.h"

const MTypeId rigidBodyNode::id(0x113A70);
const MString rigidBodyNode::nodeTypeName("zovRigidBody");

MObject rigidBodyNode::inTimeRbd;
MObject rigidBodyNode::inCollisionType;
MObject rigidBodyNode::solver;
MObject rigidBodyNode::fracture;
MObject rigidBodyNode::transFbody;
MObject rigidBodyNode::fieldList;
MObject rigidBodyNode::selected;
MObject rigidBodyNode::enabled;
MObject rigidBodyNode::passive;
MObject rigidBodyNode::firstHitActiveAttr;
MObject rigidBodyNode::actFrame;
MObject rigidBodyNode::isJaggyAttr;
MObject rigidBodyNode::mass;
MObject rigidBodyNode::massCenter;
MObject rigidBodyNode::bounciness;
MObject rigidBodyNode::friction;
MObject rigidBodyNode::linearDamping;
MObject rigidBodyNode::angularDamping;
MObject rigidBodyNode::gapfactor;
MObject rigidBodyNode::initialVelocity;
MObject rigidBodyNode::randomVX;
MObject rigidBodyNode::randomVY;
MObject rigidBodyNode::randomVZ;
MObject rigidBodyNode::initialSpin;
MObject rigidBodyNode::randomWX;
MObject rigidBodyNode::randomWY;
MObject rigidBodyNode::randomWZ;
MObject rigidBodyNode::affectForceFields;
MObject rigidBodyNode::stressColor;
MObject rigidBodyNode::usercommand;
MObject rigidBodyNode::index;
MObject rigidBodyNode::groupid;
MObject rigidBodyNode::ca_rigidBody;
MObject rigidBodyNode::ca_rigidBodyParam;
MObject rigidBodyNode::ca_activeState;
MObject rigidBodyNode::animatedTRS;
MObject rigidBodyNode::hasZovKeys;
MObject rigidBodyNode::animated;
MObject rigidBodyNode::ca_forceFields;
MObject rigidBodyNode::ca_centerMass;
MObject rigidBodyNode::ca_initialVelocity;
MObject rigidBodyNode::ca_initialSpin;
MObject rigidBodyNode::ca_selected;
MObject rigidBodyNode::ca_index;
MObject rigidBodyNode::sca_tressColor;
MObject rigidBodyNode::lastPosition;
MObject rigidBodyNode::lastRotation;
MObject rigidBodyNode::velocity;
MObject rigidBodyNode::welocity;
MObject rigidBodyNode::keysTX;
MObject rigidBodyNode::keysTY;
MObject rigidBodyNode::keysTZ;
MObject rigidBodyNode::keysRX;
MObject rigidBodyNode::keysRY;
MObject rigidBodyNode::keysRZ;

namespace {

const char* const kTransformChannels[6] = {"translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ"};
const char* const kNotAShape = "rigidBodyNode connected to a non-collision shape node!";

/// Attribute flags to set: 1 on, 0 off, -1 the host's default.
struct Flags {
  int keyable = -1;
  int hidden = -1;
  int storable = -1;
  int connectable = -1;
};

void apply(MFnAttribute& attribute, const Flags& flags) {
  if (flags.keyable >= 0) attribute.setKeyable(flags.keyable != 0);
  if (flags.hidden >= 0) attribute.setHidden(flags.hidden != 0);
  if (flags.storable >= 0) attribute.setStorable(flags.storable != 0);
  if (flags.connectable >= 0) attribute.setConnectable(flags.connectable != 0);
}

MObject numeric(const char* longName, const char* shortName, MFnNumericData::Type kind, double initial,
                const Flags& flags) {
  MFnNumericAttribute fn;
  const MObject attribute = fn.create(longName, shortName, kind, initial);
  apply(fn, flags);
  return attribute;
}

/// A double in [0, 1].
MObject fraction(const char* longName, const char* shortName, double initial) {
  MFnNumericAttribute fn;
  const MObject attribute = fn.create(longName, shortName, MFnNumericData::kDouble, initial);
  fn.setKeyable(false);
  fn.setMin(0.0);
  fn.setMax(1.0);
  return attribute;
}

MObject point(const char* longName, const char* shortName, const Flags& flags) {
  MFnNumericAttribute fn;
  const MObject attribute = fn.createPoint(longName, shortName);
  apply(fn, flags);
  return attribute;
}

/// A hidden twin: not connectable, not storable, not keyable.
MObject twin(const char* longName, const char* shortName) {
  return numeric(longName, shortName, MFnNumericData::kBoolean, 0.0, {0, 1, 0, 0});
}

MObject angle(const char* longName, const char* shortName) {
  MFnUnitAttribute fn;
  const MObject attribute = fn.create(longName, shortName, MFnUnitAttribute::kAngle, 0.0);
  fn.setHidden(true);
  return attribute;
}

MObject message(const char* longName, const char* shortName) {
  MFnMessageAttribute fn;
  return fn.create(longName, shortName);
}

}  // namespace

rigidBodyNode* rigidBodyOf(const MObject& node) {
  if (node.isNull()) return nullptr;
  MFnDependencyNode fn(node);
  if (fn.typeId() != rigidBodyNode::id) return nullptr;
  return static_cast<rigidBodyNode*>(fn.userNode());
}

rigidBodyNode::rigidBodyNode() {
  for (int k = 0; k < 6; ++k) channelKeys[k].channel = kTransformChannels[k];
}

rigidBodyNode::~rigidBodyNode() { dropBody(); }

void* rigidBodyNode::creator() { return new rigidBodyNode; }

MStatus rigidBodyNode::initialize() {
  const Flags notKeyable{0, -1, -1, -1};
  const Flags hiddenSetting{0, 1, -1, 0};
  const Flags hiddenState{0, 1, 0, 0};

  MFnUnitAttribute unit;
  inTimeRbd = unit.create("inTimeRbd", "itr", MFnUnitAttribute::kTime, 0.0);
  unit.setHidden(true);
  inCollisionType = numeric("inCollisionType", "inct", MFnNumericData::kInt, 0.0, {});
  solver = message("solver", "solv");
  MFnMessageAttribute(solver).setHidden(true);
  fracture = message("fracture", "frac");
  transFbody = message("transFbody", "tfb");
  fieldList = message("fieldList", "afld");
  {
    MFnMessageAttribute fn(fieldList);
    fn.setArray(true);
    fn.setKeyable(false);
    fn.setConnectable(true);
  }
  selected = numeric("selected", "sel", MFnNumericData::kBoolean, 0.0, {0, 1, 0, -1});
  enabled = numeric("enabled", "enb", MFnNumericData::kBoolean, 0.0, notKeyable);
  passive = numeric("passive", "ac", MFnNumericData::kInt, 0.0, notKeyable);
  firstHitActiveAttr = numeric("firstHitActive", "fha", MFnNumericData::kShort, 0.0, notKeyable);
  actFrame = numeric("actFrame", "acf", MFnNumericData::kShort, 1.0, {0, 0, -1, -1});
  isJaggyAttr = numeric("isJaggy", "jag", MFnNumericData::kBoolean, 0.0, {0, 1, -1, -1});
  mass = numeric("mass", "ma", MFnNumericData::kDouble, 0.0, notKeyable);
  massCenter = numeric("massCenter", "cm", MFnNumericData::k3Double, kUnsetCentre, notKeyable);
  bounciness = fraction("bounciness", "bou", 0.3);
  friction = fraction("friction", "fc", 0.7);
  linearDamping = fraction("linearDamping", "ld", 0.01);
  angularDamping = fraction("angularDamping", "ad", 0.01);
  gapfactor = fraction("gapfactor", "gpf", 0.0);
  initialVelocity = point("initialVelocity", "inve", {});
  randomVX = numeric("randomVX", "rvx", MFnNumericData::kInt, 0.0, hiddenSetting);
  randomVY = numeric("randomVY", "rvy", MFnNumericData::kInt, 0.0, hiddenSetting);
  randomVZ = numeric("randomVZ", "rvz", MFnNumericData::kInt, 0.0, hiddenSetting);
  initialSpin = point("initialSpin", "insp", {});
  randomWX = numeric("randomWX", "rwx", MFnNumericData::kInt, 0.0, hiddenSetting);
  randomWY = numeric("randomWY", "rwy", MFnNumericData::kInt, 0.0, hiddenSetting);
  randomWZ = numeric("randomWZ", "rwz", MFnNumericData::kInt, 0.0, hiddenSetting);
  affectForceFields = numeric("affectForceFields", "aff", MFnNumericData::kBoolean, 0.0, {0, 0, 1, -1});
  stressColor = numeric("stressColor", "stc", MFnNumericData::kBoolean, 0.0, hiddenState);
  usercommand = numeric("usercommand", "use", MFnNumericData::kBoolean, 0.0, hiddenState);
  index = numeric("index", "idx", MFnNumericData::kInt, -1.0, hiddenSetting);
  groupid = numeric("groupid", "gri", MFnNumericData::kInt, -1.0, {0, 1, 1, 0});
  ca_rigidBody = twin("ca_rigidBody", "carb");
  ca_rigidBodyParam = twin("ca_rigidBodyParam", "carbp");
  ca_activeState = twin("ca_activeState", "caas");
  animatedTRS = twin("animatedTRS", "atrs");
  hasZovKeys = numeric("hasZovKeys", "hzk", MFnNumericData::kBoolean, 0.0, {0, 1, 1, 0});
  animated = numeric("animated", "anim", MFnNumericData::kBoolean, 0.0, {0, 1, 0, -1});
  ca_forceFields = twin("ca_forceFields", "caff");
  ca_centerMass = twin("ca_centerMass", "cacm");
  ca_initialVelocity = twin("ca_initialVelocity", "caiv");
  ca_initialSpin = twin("ca_initialSpin", "caiw");
  ca_selected = twin("ca_selected", "ces");
  ca_index = twin("ca_index", "cidx");
  sca_tressColor = twin("sca_tressColor", "cstc");
  lastPosition = point("lastPosition", "pos0", hiddenState);
  lastRotation = point("lastRotation", "rot0", hiddenState);
  velocity = point("velocity", "vel", hiddenState);
  welocity = point("welocity", "wel", hiddenState);
  keysTX = numeric("keysTX", "ktx", MFnNumericData::kDouble, 0.0, {0, 1, -1, -1});
  keysTY = numeric("keysTY", "kty", MFnNumericData::kDouble, 0.0, {0, 1, -1, -1});
  keysTZ = numeric("keysTZ", "ktz", MFnNumericData::kDouble, 0.0, {0, 1, -1, -1});
  keysRX = angle("keysRX", "krx");
  keysRY = angle("keysRY", "kry");
  keysRZ = angle("keysRZ", "krz");

  for (const MObject* attribute : {&inTimeRbd,
                                   &inCollisionType,
                                   &solver,
                                   &fracture,
                                   &transFbody,
                                   &fieldList,
                                   &selected,
                                   &enabled,
                                   &passive,
                                   &firstHitActiveAttr,
                                   &actFrame,
                                   &isJaggyAttr,
                                   &mass,
                                   &massCenter,
                                   &bounciness,
                                   &friction,
                                   &linearDamping,
                                   &angularDamping,
                                   &gapfactor,
                                   &initialVelocity,
                                   &randomVX,
                                   &randomVY,
                                   &randomVZ,
                                   &initialSpin,
                                   &randomWX,
                                   &randomWY,
                                   &randomWZ,
                                   &affectForceFields,
                                   &stressColor,
                                   &usercommand,
                                   &index,
                                   &groupid,
                                   &ca_rigidBody,
                                   &ca_rigidBodyParam,
                                   &ca_activeState,
                                   &animatedTRS,
                                   &hasZovKeys,
                                   &animated,
                                   &ca_forceFields,
                                   &ca_centerMass,
                                   &ca_initialVelocity,
                                   &ca_initialSpin,
                                   &ca_selected,
                                   &ca_index,
                                   &sca_tressColor,
                                   &lastPosition,
                                   &lastRotation,
                                   &velocity,
                                   &welocity,
                                   &keysTX,
                                   &keysTY,
                                   &keysTZ,
                                   &keysRX,
                                   &keysRY,
                                   &keysRZ}) {
    const MStatus status = addAttribute(*attribute);
    if (!status) return status;
  }

  attributeAffects(inTimeRbd, keysTY);
  attributeAffects(selected, ca_selected);
  attributeAffects(inCollisionType, ca_rigidBody);
  attributeAffects(inCollisionType, massCenter);
  attributeAffects(index, ca_index);
  for (const MObject* parameter : {&mass, &bounciness, &friction, &linearDamping, &gapfactor, &angularDamping})
    attributeAffects(*parameter, ca_rigidBodyParam);
  attributeAffects(massCenter, ca_centerMass);
  for (const MObject* state : {&passive, &firstHitActiveAttr, &enabled}) attributeAffects(*state, ca_activeState);
  attributeAffects(initialSpin, ca_initialSpin);
  attributeAffects(initialVelocity, ca_initialVelocity);
  attributeAffects(affectForceFields, ca_forceFields);
  attributeAffects(stressColor, sca_tressColor);
  return MS::kSuccess;
}

MStatus rigidBodyNode::compute(const MPlug& plug, MDataBlock& block) {
  bool setValue = true;
  bool markClean = true;
  if (plug == ca_rigidBody) {
    setValue = createBody(block);
  } else if (plug == ca_forceFields) {
    affectsFields = block.inputValue(affectForceFields).asBool();
    invalidateSolverCache();
  } else if (plug == ca_activeState) {
    pushActiveState(block);
    MDataHandle command = block.outputValue(usercommand);
    if (command.asBool()) {
      invalidateSolverCache();
      command.set(false);
    }
  } else if (plug == ca_centerMass) {
    moveCentreOfMass(block);
    invalidateSolverCache();
  } else if (plug == ca_initialVelocity) {
    const float3& v = block.inputValue(initialVelocity).asFloat3();
    if (body) {
      body->setLinearVelocity(Mgc::MgcVector3(v[0], v[1], v[2]));
      body->saveDynamics(kSaveLinearVelocity);
    }
    block.outputValue(velocity).set3Float(v[0], v[1], v[2]);
    invalidateSolverCache();
  } else if (plug == ca_initialSpin) {
    const float3& w = block.inputValue(initialSpin).asFloat3();
    if (body) {
      body->setAngularMomentum(Mgc::MgcVector3(w[0], w[1], w[2]));
      body->saveDynamics(kSaveAngularVelocity);
    }
    block.outputValue(welocity).set3Float(w[0], w[1], w[2]);
    invalidateSolverCache();
  } else if (plug == ca_rigidBodyParam) {
    pushParameters(block);
    MDataHandle command = block.outputValue(usercommand);
    if (command.asBool()) {
      invalidateSolverCache();
      command.set(false);
    }
  } else if (plug == ca_selected) {
    block.inputValue(selected).asBool();
  } else if (plug == ca_index) {
    if (body) body->getShape().id = block.inputValue(index).asInt();
    markClean = false;
  } else if (plug == sca_tressColor) {
    markClean = false;
  } else {
    return MS::kUnknownParameter;
  }
  if (setValue) block.outputValue(plug).set(true);
  if (markClean) block.setClean(plug);
  return MS::kSuccess;
}

MStatus rigidBodyNode::setDependentsDirty(const MPlug& plug, MPlugArray& affected) {
  MHWRender::MRenderer::setGeometryDrawDirty(thisMObject(), true);
  return MPxLocatorNode::setDependentsDirty(plug, affected);
}

bool rigidBodyNode::setInternalValueInContext(const MPlug&, const MDataHandle&, MDGContext&) { return false; }

MBoundingBox rigidBodyNode::boundingBox() const {
  MObject shape;
  MPlug input;
  if (collisionShapeNode(shape)) input = MPlug(shape, ::collisionShapeNode::inShape);
  if (input.isNull()) return MBoundingBox(MPoint(-1.0, -1.0, -1.0), MPoint(1.0, 1.0, 1.0));
  const MPlug source = input.source();
  if (source.isNull() || !source.node().hasFn(MFn::kDagNode)) return MBoundingBox();
  return MFnDagNode(source.node()).boundingBox();
}

bool rigidBodyNode::collisionShapeNode(MObject& shape) const {
  const MObject self = thisMObject();
  MPlug type(self, inCollisionType);
  // Reading it makes the host bring the shape's output up to date.
  type.asInt();
  if (type.isConnected()) return firstConnectedNode(type, shape);
  MPlug meshAnimation(self, animated);
  if (meshAnimation.isConnected()) return firstConnectedNode(meshAnimation, shape);
  return false;
}

ZOVmesh* rigidBodyNode::shapeMesh() const {
  MObject shape;
  if (!collisionShapeNode(shape)) return nullptr;
  MFnDependencyNode fn(shape);
  if (fn.typeId() != ::collisionShapeNode::id || fn.userNode() == nullptr) {
    std::printf("%s\n", kNotAShape);
    std::fflush(stdout);
    return nullptr;
  }
  return static_cast<::collisionShapeNode*>(fn.userNode())->getShape();
}

int rigidBodyNode::collisionType() const {
  MPlug type(thisMObject(), inCollisionType);
  if (type.isConnected()) return type.asInt();
  MObject shape;
  if (collisionShapeNode(shape) && MFnDependencyNode(shape).typeId() == ::collisionShapeNode::id)
    return MPlug(shape, ::collisionShapeNode::shapeType).asShort();
  return type.asInt();
}

bool rigidBodyNode::isAnimated(int mask) const {
  bool result = false;
  if ((mask & kTransformAnimated) != 0) {
    MDagPath transform;
    if (MDagPath::getAPathTo(thisMObject(), transform) && transform.pop())
      result = MAnimUtil::isAnimated(transform, false);
  }
  MObject shape;
  const bool hasShape = collisionShapeNode(shape) && MFnDependencyNode(shape).typeId() == ::collisionShapeNode::id;
  if ((mask & kShapeInputAnimated) != 0 && hasShape &&
      MAnimUtil::isAnimated(MPlug(shape, ::collisionShapeNode::inShape)))
    return true;
  if ((mask & kParametersAnimated) != 0) {
    for (const MObject* parameter : {&mass, &bounciness, &friction, &linearDamping, &angularDamping, &passive})
      if (MAnimUtil::isAnimated(MPlug(thisMObject(), *parameter))) {
        result = true;
        break;
      }
  }
  if ((mask & kShapeMeshDeformed) != 0 && hasShape) {
    const MPlug source = MPlug(shape, ::collisionShapeNode::inShape).source();
    if (!source.isNull() && findInMeshSource(source.node())) result = true;
  }
  return result;
}

zovSolverNode* rigidBodyNode::linkedSolver() const {
  MObject node;
  if (!firstConnectedNode(MPlug(thisMObject(), solver), node)) return nullptr;
  MFnDependencyNode fn(node);
  if (fn.typeId() != zovSolverNode::id) return nullptr;
  return static_cast<zovSolverNode*>(fn.userNode());
}

void rigidBodyNode::invalidateSolverCache() const {
  if (zovSolverNode* owner = linkedSolver()) owner->deactivateCachedMode();
}

int rigidBodyNode::passiveState() const { return MPlug(thisMObject(), passive).asInt(); }
bool rigidBodyNode::isJaggy() const { return MPlug(thisMObject(), isJaggyAttr).asBool(); }
bool rigidBodyNode::isEnabled() const { return MPlug(thisMObject(), enabled).asBool(); }
int rigidBodyNode::activationFrame() const { return MPlug(thisMObject(), actFrame).asInt(); }
bool rigidBodyNode::isAnimatedMesh() const { return MPlug(thisMObject(), animated).asBool(); }
bool rigidBodyNode::firstHitActive() const { return MPlug(thisMObject(), firstHitActiveAttr).asShort() != 0; }
bool rigidBodyNode::activatesAtFrame() const { return MPlug(thisMObject(), firstHitActiveAttr).asShort() == 2; }

bool rigidBodyNode::isParentAnimated() const {
  MDagPath path;
  if (!MDagPath::getAPathTo(thisMObject(), path) || !path.pop() || !path.pop() || path.length() == 0) return false;
  return MAnimUtil::isAnimated(path, true);
}

void rigidBodyNode::releaseBody() {
  dropBody();
  // The body's output must compute again when it is next read: a deletion
  // that is undone brings the node back with its outputs as they were.
  MDagPath path;
  if (MDagPath::getAPathTo(thisMObject(), path))
    MGlobal::executeCommand(MString("dgdirty ") + path.fullPathName() + ".ca_rigidBody", false, false);
}

void rigidBodyNode::dropBody() {
  body.reset();
  stressColors.clear();
  if (zovSolverNode* owner = linkedSolver()) {
    MPlugArray bodies;
    MPlug(owner->thisMObject(), zovSolverNode::rigidBodies).connectedTo(bodies, true, true);
    owner->sortBodies(bodies);
  }
  for (ChannelKeys& keys : channelKeys) {
    if (keys.count == 0) continue;
    keys.times.clear();
    keys.values.clear();
    keys.inTangents.clear();
    keys.outTangents.clear();
    keys.count = 0;
  }
}

void rigidBodyNode::onNodeRemoved(MObject& node, void*) {
  MFnDependencyNode fn(node);
  if (fn.typeId() != id) return;
  if (MPxNode* user = fn.userNode()) static_cast<rigidBodyNode*>(user)->releaseBody();
}
