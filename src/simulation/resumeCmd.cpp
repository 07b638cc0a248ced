#include "src/simulation/resumeCmd.h"

#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MTime.h>

#include <vector>

#include "engine/bodies/HardBody.h"
#include "src/commandSelection.h"
#include "src/hostEngineConversions.h"
#include "src/nodeLinks.h"
#include "src/simulation/frameParticipant.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

constexpr CommandFlag kNodeFlag{"-nod", "-node", MSyntax::kString};
constexpr CommandFlag kFractureFlag{"-fno", "-fnode", MSyntax::kString};
constexpr CommandFlag kFrameFlag{"-fr", "-frame", MSyntax::kUnsigned};
constexpr CommandFlag kDynamicsFlag{"-dyn", "-dynamics"};
constexpr CommandFlag kAnimationFlag{"-ani", "-animation"};

/// A velocity given to the body only above this squared length.
constexpr double kNegligibleSquaredSpeed = 1e-5;

/// The transform channels and the body's key attributes that take their
/// curves, pair by pair.
struct ChannelPair {
  const char* channel;
  unsigned int child;
  const MObject* key;
};
const ChannelPair kChannelPairs[] = {{"translate", 0, &rigidBodyNode::keysTX}, {"translate", 1, &rigidBodyNode::keysTY},
                                     {"translate", 2, &rigidBodyNode::keysTZ}, {"rotate", 0, &rigidBodyNode::keysRX},
                                     {"rotate", 1, &rigidBodyNode::keysRY},    {"rotate", 2, &rigidBodyNode::keysRZ}};

/// The node of the name among the module's nodes of the kind, as `lookup`
/// sees it; null when there is none.
template <typename Node>
Node* namedNode(const MString& name, MFn::Type kind, Node* (*lookup)(const MObject&) = &userNodeOf<Node>) {
  for (MItDependencyNodes it(kind); !it.isDone(); it.next()) {
    Node* node = lookup(it.thisNode());
    if (node != nullptr && MFnDependencyNode(it.thisNode()).name() == name) return node;
  }
  return nullptr;
}

MVector vectorOf(const MObject& node, const MObject& attribute) {
  const MPlug plug(node, attribute);
  return MVector(plug.child(0).asDouble(), plug.child(1).asDouble(), plug.child(2).asDouble());
}

}  // namespace

const MString resumeCmd::commandName("zovTrans");

void* resumeCmd::creator() { return new resumeCmd; }

MSyntax resumeCmd::newSyntax() {
  return commandSyntax({kNodeFlag, kFractureFlag, kFrameFlag, kDynamicsFlag, kAnimationFlag});
}

MStatus resumeCmd::doIt(const MArgList& list) {
  modifier = std::make_unique<MDGModifier>();
  // No command is registered with the class: it reads its own syntax.
  const MStatus parsed = arguments.parse(newSyntax(), list);
  if (!parsed) return parsed;
  const bool byNode = arguments.isSet(kNodeFlag);
  const bool byFracture = arguments.isSet(kFractureFlag);
  if (!byNode && !byFracture)
    return failWithError(commandName + ": give a rigid body with -node or a fracture body with -fnode");
  const bool toDynamics = arguments.isSet(kDynamicsFlag);
  const bool toAnimation = arguments.isSet(kAnimationFlag);
  // Each would undo what the other does.
  if (toDynamics && toAnimation) return failWithError(commandName + ": -dynamics and -animation exclude each other");
  MString name;
  arguments.read(byNode ? kNodeFlag : kFractureFlag, name);
  return byNode ? handOverBody(name, toDynamics, toAnimation) : handOverFracture(name, toDynamics, toAnimation);
}

bool resumeCmd::moveToKeys(const MPlug& channel, const MPlug& key) {
  const MPlug curve = channel.source();
  if (curve.isNull()) return false;
  modifier->disconnect(curve, channel);
  const MPlug held = key.source();
  if (!held.isNull()) modifier->disconnect(held, key);
  // A key attribute may also hold the transform's rotate pivot (the pivot
  // helpers): the curve it takes must not move the pivot.
  key.destinations(destinations);
  for (unsigned int i = 0; i < destinations.length(); ++i) modifier->disconnect(key, destinations[i]);
  modifier->connect(curve, key);
  return true;
}

void resumeCmd::moveBack(const MPlug& channel, const MPlug& key) {
  const MPlug curve = key.source();
  if (curve.isNull()) return;
  modifier->disconnect(curve, key);
  channel.connectedTo(sources, true, false);
  if (sources.length() == 0) modifier->connect(curve, channel);
}

void resumeCmd::moveChannels(const rigidBodyNode& body, bool toKeys) {
  MDagPath transform;
  if (!parentTransformPath(body.thisMObject(), transform)) return;
  const MFnDependencyNode fn(transform.node());
  for (const ChannelPair& pair : kChannelPairs) {
    const MPlug compound = fn.findPlug(pair.channel, true);
    if (compound.isNull()) continue;
    const MPlug channel = compound.child(pair.child);
    const MPlug key(body.thisMObject(), *pair.key);
    if (toKeys)
      moveToKeys(channel, key);
    else
      moveBack(channel, key);
  }
}

MStatus resumeCmd::handOverFracture(const MString& name, bool toDynamics, bool toAnimation) {
  FrameParticipant* fracture = namedNode<FrameParticipant>(name, MFn::kPluginDependNode, frameParticipantOf);
  if (fracture == nullptr) return failWithError(commandName + ": no fracture body node named " + name);
  if (!toDynamics && !toAnimation) return MS::kSuccess;
  const std::vector<rigidBodyNode*> pieces = fracture->pieceNodes();
  // The pieces are unlocked from the start: their keys take the curves.
  for (rigidBodyNode* piece : pieces) {
    MFnDependencyNode(piece->thisMObject()).setLocked(false);
    piece->setParamsLocked(false);
    moveChannels(*piece, toDynamics);
  }
  modifier->doIt();
  for (rigidBodyNode* piece : pieces) {
    piece->applyPassiveState(toDynamics ? PassiveState::kDynamic : PassiveState::kPassive, false);
    MFnDependencyNode(piece->thisMObject()).setLocked(true);
    piece->setParamsLocked(true);
  }
  return MS::kSuccess;
}

MStatus resumeCmd::handOverBody(const MString& name, bool toDynamics, bool toAnimation) {
  rigidBodyNode* rigid = namedNode<rigidBodyNode>(name, MFn::kPluginLocatorNode);
  MDagPath transform;
  if (rigid == nullptr || !parentTransformPath(rigid->thisMObject(), transform))
    return failWithError(commandName + ": no rigid body node named " + name);
  if (toAnimation) {
    const UnlockedNode unlocked(rigid->thisMObject());
    moveChannels(*rigid, false);
    modifier->doIt();
  }
  if (!toDynamics) return MS::kSuccess;
  const MObject solver = findSolverNode(true);
  {
    const UnlockedNode unlocked(rigid->thisMObject());
    moveChannels(*rigid, true);
    modifier->doIt();
  }
  if (solver.isNull()) return MS::kSuccess;
  MTime now;
  MPlug(solver, zovSolverNode::inTime).getValue(now);
  rigid->bodyFromMaya(now, false);
  HardBody* body = rigid->engineBody(true);
  if (body == nullptr) return MS::kSuccess;
  const MObject node = rigid->thisMObject();
  const MVector velocity = vectorOf(node, rigidBodyNode::initialVelocity);
  if (velocity * velocity > kNegligibleSquaredSpeed) body->setLinearVelocity(toEngine(velocity));
  const MVector spin = vectorOf(node, rigidBodyNode::initialSpin);
  if (spin * spin > kNegligibleSquaredSpeed) body->setAngularMomentum(toEngine(spin));
  return MS::kSuccess;
}
