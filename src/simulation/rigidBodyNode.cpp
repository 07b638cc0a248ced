// The rigid body node's class: its attributes, construction and removal, the
// compute dispatch, its box, and the questions it answers about its shape,
// its solver and its animation.
#include "src/simulation/rigidBodyNode.h"

#include <maya/MAnimUtil.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MViewport2Renderer.h>

#include <algorithm>
#include <new>
#include <vector>

#include "platform/ModuleState.h"
#include "src/bodySetup.h"
#include "src/hostEngineConversions.h"
#include "src/meshes/engineMeshOutput.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/solverNode.h"
#include "src/userInput.h"

const MTypeId rigidBodyNode::id(0x113A70);
const MString rigidBodyNode::nodeTypeName("zovRigidBody");

namespace {

const char* const kTransformChannels[6] = {"translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ"};
const char* const kNotAShape = "rigidBodyNode connected to a non-collision shape node!";

/// Values the user does not see or key but may connect.
constexpr AttributeFlags kHiddenValue = AttributeFlags().keyable(false).hidden(true);
/// Hidden values that live only while the scene is open, and may be connected.
constexpr AttributeFlags kHiddenConnectableState = kHiddenValue.storable(false);
/// Hidden values kept with the scene that nothing connects to.
constexpr AttributeFlags kHiddenStoredSetting = kHiddenSetting.storable(true);

}  // namespace

namespace {

/// Every rigid body node alive, so that a fracture body node that goes can
/// clear itself from the pieces that name it, linked or not.
std::vector<rigidBodyNode*>& liveBodies() {
  static std::vector<rigidBodyNode*> nodes;
  return nodes;
}
const zov::platform::ModuleStateReset g_liveBodiesReset([] { liveBodies().clear(); });

}  // namespace

rigidBodyNode::rigidBodyNode() {
  for (int k = 0; k < 6; ++k) channelKeys[k].channel = kTransformChannels[k];
  liveBodies().push_back(this);
}

rigidBodyNode::~rigidBodyNode() {
  auto& nodes = liveBodies();
  nodes.erase(std::remove(nodes.begin(), nodes.end(), this), nodes.end());
  dropBody();
}

void rigidBodyNode::forgetFractureOwner(const PieceOwner* gone) {
  for (rigidBodyNode* node : liveBodies())
    if (node->fractureOwner == gone) node->setFractureOwner(nullptr, false);
}

void rigidBodyNode::forgetFormerOwner(const PieceOwner* gone) {
  for (rigidBodyNode* node : liveBodies())
    if (node->formerOwner == gone) node->formerOwner = nullptr;
}

MStatus rigidBodyNode::initialize() {
  using Kind = MFnNumericData;
  const MStatus added = addAttributes({
      {inTimeRbd, unitAttribute("inTimeRbd", "itr", MFnUnitAttribute::kTime, 0.0, AttributeFlags().hidden(true))},
      {inCollisionType, numericAttribute("inCollisionType", "inct", Kind::kInt, 0.0)},
      {solver, messageAttribute("solver", "solv", AttributeFlags().hidden(true))},
      {fracture, messageAttribute("fracture", "frac")},
      {transFbody, messageAttribute("transFbody", "tfb")},
      {fieldList, messageAttribute("fieldList", "afld", AttributeFlags().array(true).keyable(false).connectable(true))},
      {selected, numericAttribute("selected", "sel", Kind::kBoolean, 0.0, kHiddenConnectableState)},
      {enabled, numericAttribute("enabled", "enb", Kind::kBoolean, 0.0, kNotKeyable)},
      // Passive states: dynamic, passive, animated; first hit: off, on the
      // first hit, at the activation frame.
      {passive, boundedAttribute("passive", "ac", Kind::kInt, 0.0, 0.0, 2.0, kNotKeyable)},
      {firstHitActiveAttr, boundedAttribute("firstHitActive", "fha", Kind::kShort, 0.0, 0.0, 2.0, kNotKeyable)},
      {actFrame, numericAttribute("actFrame", "acf", Kind::kShort, 1.0, kNotKeyable.hidden(false))},
      {isJaggyAttr, numericAttribute("isJaggy", "jag", Kind::kBoolean, 0.0, kHiddenValue)},
      {mass, numericAttribute("mass", "ma", Kind::kDouble, 0.0, kNotKeyable)},
      {massCenter, numericAttribute("massCenter", "cm", Kind::k3Double, kUnsetCentre, kNotKeyable), {&inCollisionType}},
      {bounciness, fractionAttribute("bounciness", "bou", 0.3)},
      {friction, fractionAttribute("friction", "fc", 0.7)},
      {linearDamping, fractionAttribute("linearDamping", "ld", 0.01)},
      {angularDamping, fractionAttribute("angularDamping", "ad", 0.01)},
      {gapfactor, fractionAttribute("gapfactor", "gpf", 0.0)},
      {initialVelocity, pointAttribute("initialVelocity", "inve")},
      {randomVX, numericAttribute("randomVX", "rvx", Kind::kInt, 0.0, kHiddenSetting)},
      {randomVY, numericAttribute("randomVY", "rvy", Kind::kInt, 0.0, kHiddenSetting)},
      {randomVZ, numericAttribute("randomVZ", "rvz", Kind::kInt, 0.0, kHiddenSetting)},
      {initialSpin, pointAttribute("initialSpin", "insp")},
      {randomWX, numericAttribute("randomWX", "rwx", Kind::kInt, 0.0, kHiddenSetting)},
      {randomWY, numericAttribute("randomWY", "rwy", Kind::kInt, 0.0, kHiddenSetting)},
      {randomWZ, numericAttribute("randomWZ", "rwz", Kind::kInt, 0.0, kHiddenSetting)},
      {affectForceFields,
       numericAttribute("affectForceFields", "aff", Kind::kBoolean, 0.0, kNotKeyable.hidden(false).storable(true))},
      {stressColor, numericAttribute("stressColor", "stc", Kind::kBoolean, 0.0, kHiddenState)},
      {usercommand, numericAttribute("usercommand", "use", Kind::kBoolean, 0.0, kHiddenState)},
      {index, numericAttribute("index", "idx", Kind::kInt, -1.0, kHiddenSetting)},
      {groupid, numericAttribute("groupid", "gri", Kind::kInt, -1.0, kHiddenStoredSetting)},
      {ca_rigidBody, hiddenTwin("ca_rigidBody", "carb"), {&inCollisionType}},
      {ca_rigidBodyParam,
       hiddenTwin("ca_rigidBodyParam", "carbp"),
       {&mass, &bounciness, &friction, &linearDamping, &gapfactor, &angularDamping}},
      {ca_activeState, hiddenTwin("ca_activeState", "caas"), {&passive, &firstHitActiveAttr, &enabled}},
      {animatedTRS, hiddenTwin("animatedTRS", "atrs")},
      {hasZovKeys, numericAttribute("hasZovKeys", "hzk", Kind::kBoolean, 0.0, kHiddenStoredSetting)},
      {animated, numericAttribute("animated", "anim", Kind::kBoolean, 0.0, kHiddenConnectableState)},
      {ca_forceFields, hiddenTwin("ca_forceFields", "caff"), {&affectForceFields}},
      {ca_centerMass, hiddenTwin("ca_centerMass", "cacm"), {&massCenter}},
      {ca_initialVelocity, hiddenTwin("ca_initialVelocity", "caiv"), {&initialVelocity}},
      {ca_initialSpin, hiddenTwin("ca_initialSpin", "caiw"), {&initialSpin}},
      {ca_selected, hiddenTwin("ca_selected", "ces"), {&selected}},
      {ca_index, hiddenTwin("ca_index", "cidx"), {&index}},
      {sca_tressColor, hiddenTwin("sca_tressColor", "cstc"), {&stressColor}},
      {lastPosition, pointAttribute("lastPosition", "pos0", kHiddenState)},
      {lastRotation, pointAttribute("lastRotation", "rot0", kHiddenState)},
      {velocity, pointAttribute("velocity", "vel", kHiddenState)},
      {welocity, pointAttribute("welocity", "wel", kHiddenState)},
      {keysTX, numericAttribute("keysTX", "ktx", Kind::kDouble, 0.0, kHiddenValue)},
      {keysTY, numericAttribute("keysTY", "kty", Kind::kDouble, 0.0, kHiddenValue), {&inTimeRbd}},
      {keysTZ, numericAttribute("keysTZ", "ktz", Kind::kDouble, 0.0, kHiddenValue)},
      {keysRX, unitAttribute("keysRX", "krx", MFnUnitAttribute::kAngle, 0.0, AttributeFlags().hidden(true))},
      {keysRY, unitAttribute("keysRY", "kry", MFnUnitAttribute::kAngle, 0.0, AttributeFlags().hidden(true))},
      {keysRZ, unitAttribute("keysRZ", "krz", MFnUnitAttribute::kAngle, 0.0, AttributeFlags().hidden(true))},
  });
  if (!added) return added;

  return MS::kSuccess;
}

MStatus rigidBodyNode::compute(const MPlug& plug, MDataBlock& block) {
  bool setValue = true;
  bool markClean = true;
  if (plug == ca_rigidBody) {
    outOfMemory = false;
    try {
      setValue = createBody(block);
    } catch (const std::bad_alloc&) {
      // No half-made body stays: the node has none, and says why.
      dropBody();
      MGlobal::displayError("body " + name() + ": memory ran out making its engine body, no body is made");
      outOfMemory = true;
      setValue = false;
    }
  } else if (plug == ca_forceFields) {
    affectsFields = block.inputValue(affectForceFields).asBool();
    invalidateSolverCache();
  } else if (plug == ca_activeState) {
    pushActiveState(block);
    answerUserCommand(block, usercommand, [this] { invalidateSolverCache(); });
  } else if (plug == ca_centerMass) {
    moveCentreOfMass(block);
    invalidateSolverCache();
  } else if (plug == ca_initialVelocity) {
    takeInitialMotion(block, initialVelocity, velocity, "initial velocity", &HardBody::setLinearVelocity,
                      kSaveLinearVelocity);
  } else if (plug == ca_initialSpin) {
    takeInitialMotion(block, initialSpin, welocity, "initial spin", &HardBody::setAngularMomentum,
                      kSaveAngularVelocity);
  } else if (plug == ca_rigidBodyParam) {
    pushParameters(block);
    answerUserCommand(block, usercommand, [this] { invalidateSolverCache(); });
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

MVector rigidBodyNode::acceptedMotion(MDataBlock& block, const MObject& attribute, const MObject& kept,
                                      const char* what) {
  const float3& given = block.inputValue(attribute).asFloat3();
  const MVector value(given[0], given[1], given[2]);
  if (finiteAsFloat(value)) return value;
  const float3& last = block.outputValue(kept).asFloat3();
  const MVector previous(last[0], last[1], last[2]);
  MGlobal::displayError("body " + name() + ": " + what + " " + vectorText(value) + " does not fit single precision, " +
                        vectorText(previous) + " is kept");
  block.outputValue(attribute).set3Float(last[0], last[1], last[2]);
  return previous;
}

void rigidBodyNode::takeInitialMotion(MDataBlock& block, const MObject& attribute, const MObject& kept,
                                      const char* what, void (HardBody::*set)(const Mgc::MgcVector3&), int saved) {
  const MVector m = acceptedMotion(block, attribute, kept, what);
  if (body) {
    (body.get()->*set)(toEngine(m));
    body->saveDynamics(saved);
  }
  block.outputValue(kept).set3Float(static_cast<float>(m.x), static_cast<float>(m.y), static_cast<float>(m.z));
  invalidateSolverCache();
}

MVector rigidBodyNode::initialMotion(const MObject& attribute, const MObject& twin) const {
  const MVector value = readVector(thisMObject(), attribute);
  if (finiteAsFloat(value)) return value;
  pullPlug(thisMObject(), twin);
  const MVector kept = readVector(thisMObject(), attribute);
  return finiteAsFloat(kept) ? kept : MVector::zero;
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
  // Reading it makes the host bring the shape's output up to date.
  pullPlug(self, inCollisionType);
  const MPlug type(self, inCollisionType);
  if (type.isConnected()) return firstConnectedNode(type, shape);
  MPlug meshAnimation(self, animated);
  if (meshAnimation.isConnected()) return firstConnectedNode(meshAnimation, shape);
  return false;
}

ZOVmesh* rigidBodyNode::shapeMesh() const {
  MObject shape;
  if (!collisionShapeNode(shape)) return nullptr;
  ::collisionShapeNode* shapeNode = userNodeOf<::collisionShapeNode>(shape);
  if (shapeNode == nullptr) {
    MGlobal::displayWarning(kNotAShape);
    return nullptr;
  }
  return shapeNode->getShape();
}

int rigidBodyNode::collisionType() const {
  MPlug type(thisMObject(), inCollisionType);
  if (type.isConnected()) return type.asInt();
  MObject shape;
  if (collisionShapeNode(shape) && ::collisionShapeNode::isShapeNode(shape))
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
  const bool hasShape = collisionShapeNode(shape) && ::collisionShapeNode::isShapeNode(shape);
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
  return userNodeOf<zovSolverNode>(node);
}

void rigidBodyNode::invalidateSolverCache() const {
  if (zovSolverNode* owner = linkedSolver()) owner->deactivateCachedMode();
}

PassiveState rigidBodyNode::passiveState() const {
  return static_cast<PassiveState>(MPlug(thisMObject(), passive).asInt());
}
bool rigidBodyNode::isJaggy() const { return MPlug(thisMObject(), isJaggyAttr).asBool(); }
bool rigidBodyNode::isEnabled() const { return MPlug(thisMObject(), enabled).asBool(); }
int rigidBodyNode::activationFrame() const { return MPlug(thisMObject(), actFrame).asInt(); }
bool rigidBodyNode::isAnimatedMesh() const { return MPlug(thisMObject(), animated).asBool(); }
FirstHit rigidBodyNode::firstHitMode() const {
  return static_cast<FirstHit>(MPlug(thisMObject(), firstHitActiveAttr).asShort());
}
bool rigidBodyNode::firstHitActive() const { return firstHitMode() != FirstHit::kOff; }
bool rigidBodyNode::activatesAtFrame() const { return firstHitMode() == FirstHit::kAtFrame; }

bool rigidBodyNode::isParentAnimated() const {
  MDagPath path;
  if (!parentTransformPath(thisMObject(), path) || !path.pop() || path.length() == 0) return false;
  return MAnimUtil::isAnimated(path, true);
}

void rigidBodyNode::releaseBody() {
  // Only a body that was made has a start pose to come back to. A node
  // brought back by an undo keeps its start until its body is made again,
  // so a second deletion before that (a redo) keeps it too.
  released = released || static_cast<bool>(body);
  // A piece's fracture body keeps what its going does, so that the
  // deletion undone brings it back a piece (onNodeAdded).
  if (fractureOwner != nullptr) fractureOwner->removeDeletedPiece(*this);
  dropBody();
  // The body's output must compute again when it is next read: a deletion
  // that is undone brings the node back with its outputs as they were.
  MDagPath path;
  if (MDagPath::getAPathTo(thisMObject(), path))
    MGlobal::executeCommand("dgdirty " + quotedArgument(path.fullPathName() + ".ca_rigidBody"), false, false);
}

void rigidBodyNode::dropBody() {
  // The fracture body lets the piece go before its body does.
  if (fractureOwner != nullptr) fractureOwner->removePiece(this, false);
  body.reset();
  stressColors.clear();
  if (zovSolverNode* owner = linkedSolver()) {
    owner->sortBodies(connectedPlugs(owner->thisMObject(), zovSolverNode::rigidBodies));
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

bool rigidBodyNode::isPieceAnimated() const {
  return fractureOwner != nullptr && fractureOwner->hasAnimatedParentNode();
}

void rigidBodyNode::setFractureOwner(PieceOwner* owner, bool first) {
  fractureOwner = owner;
  if (owner != nullptr) formerOwner = nullptr;
  isFracturePiece = owner != nullptr;
  firstPiece = owner != nullptr && first;
}

void rigidBodyNode::setParamsLocked(bool lock) {
  for (const MObject* parameter : {&enabled, &passive, &firstHitActiveAttr, &actFrame, &mass, &massCenter, &bounciness,
                                   &friction, &linearDamping, &angularDamping, &gapfactor, &initialVelocity,
                                   &initialSpin, &randomVX, &randomVY, &randomVZ, &randomWX, &randomWY, &randomWZ})
    MPlug(thisMObject(), *parameter).setLocked(lock);
}

void rigidBodyNode::setGroupId(int id) {
  MPlug(thisMObject(), groupid).setValue(id);
  if (body) body->setGroupID(id);
}

void rigidBodyNode::setStressColors(const MColorArray& colours) {
  if (colours.length() == 0) return;
  stressColors = colours;
  MPlug(thisMObject(), stressColor).setValue(true);
  pullPlug(thisMObject(), sca_tressColor);
}

void rigidBodyNode::onNodeRemoved(MObject& node, void*) {
  if (rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node)) rigid->releaseBody();
}

void rigidBodyNode::onNodeAdded(MObject& node) {
  rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
  // Made at once, the body of a deleted piece brought back takes the piece
  // back into its fracture body with its links and joint nodes, as the
  // undo leaves the scene.
  if (rigid != nullptr && rigid->formerOwner != nullptr && rigid->awaitsBodyAgain()) rigid->engineBody(true);
}
