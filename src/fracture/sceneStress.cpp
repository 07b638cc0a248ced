#include "src/fracture/sceneStress.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

#include <algorithm>
#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/JointFlags.h"
#include "platform/ModuleState.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"

const MTypeId SceneStress::id(0x113A82);
const MString SceneStress::nodeTypeName("zovStressNode");

namespace {

/// Every joint node alive, so that an owner letting its joints go can find
/// the nodes that name it, linked or not.
std::vector<SceneStress*>& liveNodes() {
  static std::vector<SceneStress*> nodes;
  return nodes;
}
const zov::platform::ModuleStateReset g_liveJointsReset([] { liveNodes().clear(); });

void setJointFlag(DynamicStress& joint, std::uint32_t bit, bool on) {
  joint.setFlags(on ? joint.getFlags() | bit : joint.getFlags() & ~bit);
}

/// Strings the user sees but nobody keys.
constexpr AttributeFlags kJointNameFlags = AttributeFlags().storable(true).hidden(false);

}  // namespace

SceneStress::SceneStress() { liveNodes().push_back(this); }

SceneStress::~SceneStress() {
  auto& nodes = liveNodes();
  nodes.erase(std::remove(nodes.begin(), nodes.end(), this), nodes.end());
  // A node that goes must not stay on its owner's break-by-frame list.
  if (owner != nullptr) owner->forgetStressNode(this);
  owner = nullptr;
  joint = nullptr;
}

void SceneStress::forgetOwner(const FractureBodyNode* gone) {
  for (SceneStress* node : liveNodes()) {
    if (node->owner != gone) continue;
    node->owner = nullptr;
    node->joint = nullptr;
    node->breakByFrameActive = false;
  }
}

void SceneStress::forgetJoint(const DynamicStress* gone) {
  for (SceneStress* node : liveNodes())
    if (node->joint == gone) node->joint = nullptr;
}

void SceneStress::pullSwitchesOf(const FractureBodyNode* owner) {
  if (owner == nullptr) return;
  for (SceneStress* node : liveNodes()) {
    if (node->owner != owner || !node->switchSet) continue;
    node->switchSet = false;
    pullPlugs(node->thisMObject(), {&ca_enabled, &ca_torsion, &ca_breakByForce, &ca_breakByFrame});
  }
}

void SceneStress::onNodeRemoved(MObject& removed, void*) {
  SceneStress* node = userNodeOf<SceneStress>(removed);
  // A joint node that goes with its piece or its fracture body has been let
  // go by its owner already.
  if (node != nullptr && node->owner != nullptr) node->owner->removeDeletedStressNode(*node);
}

void SceneStress::onNodeAdded(MObject& added) {
  SceneStress* node = userNodeOf<SceneStress>(added);
  if (node == nullptr) return;
  // Its links came back with it: to its fracture body, or to a cluster.
  const MObject from = sourceNodeOf(MPlug(added, fracture));
  FractureBodyNode* owner = userNodeOf<FractureBodyNode>(from);
  if (const clusterFractureNode* cluster = userNodeOf<clusterFractureNode>(from)) owner = cluster->fractureNode();
  if (owner != nullptr) owner->takeBackStressNode(*node);
}

void SceneStress::setJointIndex(std::uint32_t index, bool keep) {
  jointIndex = index;
  if (keep) MPlug(thisMObject(), jointIndexAttr).setValue(static_cast<int>(index));
}

int SceneStress::storedJointIndex() const { return MPlug(thisMObject(), jointIndexAttr).asInt(); }

MStatus SceneStress::initialize() {
  using Kind = MFnNumericData;
  const MStatus added = addAttributes({
      {enabledAttr, numericAttribute("enabled", "enb", Kind::kBoolean, 0.0, kNotKeyable)},
      {torsionAttr, numericAttribute("torsion", "tor", Kind::kBoolean, 0.0, kNotKeyable)},
      {breakByForce, numericAttribute("breakByForce", "bbf", Kind::kBoolean, 1.0, kNotKeyable)},
      {breakByFrame, numericAttribute("breakByFrame", "bfr", Kind::kBoolean, 0.0, kNotKeyable)},
      {position, pointAttribute("position", "pos", kNotKeyable)},
      // A strength or an energy below 0 would break the joint at rest.
      {forceStrenght, boundedAttribute("forceStrenght", "fes", Kind::kDouble, 0.0, 0.0, kNoUpperLimit,
                                       AttributeFlags().storable(true).keyable(true))},
      {breakEnergy,
       boundedAttribute("breakEnergy", "bre", Kind::kDouble, 0.0, 0.0, kNoUpperLimit, AttributeFlags().keyable(true))},
      {frameToBreakAttr, numericAttribute("frameToBreak", "frb", Kind::kInt, 0.0, kNotKeyable)},
      {fracture, messageAttribute("fracture", "frac")},
      {body1NameAttr, stringAttribute("body1Name", "bd1", "", kJointNameFlags)},
      {body2NameAttr, stringAttribute("body2Name", "bd2", "", kJointNameFlags)},
      {jointIndexAttr, numericAttribute("jointIndex", "jix", Kind::kInt, -1.0, kHiddenSetting)},
      {ca_enabled, hiddenTwin("ca_enabled", "cebl"), {&enabledAttr}},
      {ca_torsion, hiddenTwin("ca_torsion", "ctor"), {&torsionAttr}},
      {ca_breakByFrame, hiddenTwin("ca_breakByFrame", "cbfr"), {&breakByFrame}},
      {ca_frameToBreak, hiddenTwin("ca_frameToBreak", "cftb"), {&frameToBreakAttr}},
      {ca_breakByForce, hiddenTwin("ca_breakByForce", "cfrb"), {&breakByForce}},
      {ca_forceStrenght, hiddenTwin("ca_forceStrenght", "cfrv"), {&forceStrenght}},
      {ca_breakEnergy, hiddenTwin("ca_breakEnergy", "cbre"), {&breakEnergy}},
  });
  if (!added) return added;
  return MS::kSuccess;
}

MStatus SceneStress::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == ca_enabled) {
    applyBool(plug, block.inputValue(enabledAttr).asBool());
  } else if (plug == ca_torsion) {
    applyBool(plug, block.inputValue(torsionAttr).asBool());
  } else if (plug == ca_breakByFrame) {
    applyBool(plug, block.inputValue(breakByFrame).asBool());
    refreshColours();
  } else if (plug == ca_breakByForce) {
    applyBool(plug, block.inputValue(breakByForce).asBool());
    refreshColours();
  } else if (plug == ca_frameToBreak) {
    // Only the frame loop reads it; the joint knows no frames.
    frameToBreak = block.inputValue(frameToBreakAttr).asInt();
  } else if (plug == ca_forceStrenght) {
    applyDouble(plug, block.inputValue(forceStrenght).asDouble());
    refreshColours();
  } else if (plug == ca_breakEnergy) {
    applyDouble(plug, block.inputValue(breakEnergy).asDouble());
    refreshColours();
  } else {
    return MS::kUnknownParameter;
  }
  if (owner != nullptr) owner->deactivateSolverCache();
  block.outputValue(plug).set(true);
  block.setClean(plug);
  return MS::kSuccess;
}

MStatus SceneStress::setDependentsDirty(const MPlug& plug, MPlugArray&) {
  // Nothing may be pulled while the host spreads dirtiness: the next frame
  // pulls the twins.
  if (plug == enabledAttr || plug == torsionAttr || plug == breakByForce || plug == breakByFrame) switchSet = true;
  return MS::kSuccess;
}

void SceneStress::applyBool(const MPlug& plug, bool value) {
  if (plug == ca_enabled) {
    enabled = value;
    if (joint != nullptr) {
      if (owner != nullptr) {
        if (value)
          owner->activateJoint(*this);
        else
          owner->deactivateJoint(*this);
      } else {
        setJointFlag(*joint, kJointActive, value);
      }
    }
    savedEnabled = enabled;
    if (joint != nullptr) joint->storeInitialState(kJointActive);
  } else if (plug == ca_breakByFrame) {
    if (joint != nullptr) {
      if (owner != nullptr) {
        if (value)
          owner->addBreakByFrameJoint(this);
        else
          owner->removeBreakByFrameJoint(this);
      } else {
        breakByFrameActive = value;
        setJointFlag(*joint, kJointBreakByFrame, value);
      }
    }
    savedBreakByFrame = value;
    if (joint != nullptr) joint->storeInitialState(kJointBreakByFrame);
  } else if (plug == ca_breakByForce) {
    if (joint != nullptr) setJointFlag(*joint, kJointBreakByForce, value);
  } else if (plug == ca_torsion) {
    torsion = value;
    if (joint != nullptr) setJointFlag(*joint, kJointTorsion, value);
    // Kept with the start state, as enabled and breakByFrame are: a reset
    // must not take the edit back.
    savedTorsion = torsion;
    if (joint != nullptr) joint->storeInitialState(kJointTorsion);
  }
}

void SceneStress::applyDouble(const MPlug& plug, double value) {
  if (plug == ca_forceStrenght) {
    forceStrength = value;
    if (joint != nullptr) joint->set_break_tolerance(value);
    savedForceStrenght = value;
  } else if (plug == ca_breakEnergy) {
    if (joint != nullptr) joint->setBreakEnergy(value);
    savedBreakEnergy = value;
  }
}

void SceneStress::refreshColours() {
  if (owner == nullptr || !owner->displaysStress()) return;
  MObject first, second;
  owner->findPieceObjects(*this, first, second);
  owner->colorStresses(first, 0);
  owner->colorStresses(second, 0);
}

// ---- Parameters by name -----------------------------------------------------------

bool SceneStress::parameterOf(const MString& name, MObject& attribute, MObject& twin) {
  struct Parameter {
    const char* name;
    const MObject* attribute;
    const MObject* twin;
  };
  const Parameter parameters[] = {
      {"enabled", &enabledAttr, &ca_enabled},
      {"breakByFrame", &breakByFrame, &ca_breakByFrame},
      {"breakByForce", &breakByForce, &ca_breakByForce},
      {"torsion", &torsionAttr, &ca_torsion},
      {"forceStrenght", &forceStrenght, &ca_forceStrenght},
      {"breakEnergy", &breakEnergy, &ca_breakEnergy},
      {"frameToBreak", &frameToBreakAttr, &ca_frameToBreak},
  };
  for (const Parameter& parameter : parameters) {
    if (name != parameter.name) continue;
    attribute = *parameter.attribute;
    twin = *parameter.twin;
    return true;
  }
  MGlobal::displayError("sceneStrNode ppty " + name + " not found");
  return false;
}

bool SceneStress::getBool(const MString& name) const {
  MObject attribute, twin;
  if (!parameterOf(name, attribute, twin)) return false;
  return MPlug(thisMObject(), attribute).asBool();
}

double SceneStress::getDouble(const MString& name) const {
  MObject attribute, twin;
  if (!parameterOf(name, attribute, twin)) return 0.0;
  return MPlug(thisMObject(), attribute).asDouble();
}

int SceneStress::getInt(const MString& name) {
  MObject attribute, twin;
  if (!parameterOf(name, attribute, twin)) return 0;
  frameToBreak = MPlug(thisMObject(), attribute).asInt();
  return frameToBreak;
}

template <typename T>
bool SceneStress::setParameter(const MString& name, T value) {
  MObject attribute, twin;
  if (!parameterOf(name, attribute, twin)) return true;
  MPlug(thisMObject(), attribute).setValue(value);
  pullPlug(thisMObject(), twin);
  return true;
}

bool SceneStress::setBool(const MString& name, bool value) { return setParameter(name, value); }

bool SceneStress::setDouble(const MString& name, double value) { return setParameter(name, value); }

bool SceneStress::setInt(const MString& name, int value) { return setParameter(name, value); }

MString SceneStress::body1Name() const { return MPlug(thisMObject(), body1NameAttr).asString(); }
MString SceneStress::body2Name() const { return MPlug(thisMObject(), body2NameAttr).asString(); }
void SceneStress::setBody1Name(const MString& name) { MPlug(thisMObject(), body1NameAttr).setValue(name); }
void SceneStress::setBody2Name(const MString& name) { MPlug(thisMObject(), body2NameAttr).setValue(name); }
MString SceneStress::nodeName() const { return MFnDependencyNode(thisMObject()).name(); }
void SceneStress::setNodeName(const MString& name) { MFnDependencyNode(thisMObject()).setName(name); }

void SceneStress::getPosition(float out[3]) const {
  const MPlug plug(thisMObject(), position);
  for (unsigned int k = 0; k < 3; ++k) out[k] = plug.child(k).asFloat();
}

void SceneStress::setPosition(const float in[3]) {
  MPlug plug(thisMObject(), position);
  for (unsigned int k = 0; k < 3; ++k) plug.child(k).setValue(in[k]);
}

// ---- Start state --------------------------------------------------------------------

void SceneStress::pullAttributes() {
  getPosition(savedPosition);
  savedForceStrenght = getDouble("forceStrenght");
  savedBreakEnergy = getDouble("breakEnergy");
  savedEnabled = getBool("enabled");
  savedTorsion = getBool("torsion");
  // The attribute, as for the other switches, not whether the owner lists
  // the joint: the listing follows the attribute only once its twin is
  // evaluated, which a scene being read (whose nodes have no joint yet) or a
  // value set since has not had, and the reset would write the listing's
  // "off" over the user's value.
  savedBreakByFrame = getBool("breakByFrame");
  constexpr std::uint32_t kLowFlags = 0xFFFF;
  if (joint != nullptr) joint->storeInitialState(kLowFlags);
}

void SceneStress::writeAttributes() {
  // A value set on the node whose twin nobody has read yet (a setAttr reads
  // none) is the user's edit: it reaches the joint and the start state now,
  // as it would had the twin been read, rather than being overwritten below.
  pullPlugs(thisMObject(), {&ca_enabled, &ca_torsion, &ca_breakByFrame, &ca_frameToBreak, &ca_breakByForce,
                            &ca_forceStrenght, &ca_breakEnergy});
  // Copies: each set below rewrites the saved values as it goes.
  const float at[3] = {savedPosition[0], savedPosition[1], savedPosition[2]};
  const double strength = savedForceStrenght;
  const double energy = savedBreakEnergy;
  const bool on = savedEnabled;
  const bool twist = savedTorsion;
  const bool byFrame = savedBreakByFrame;
  setPosition(at);
  setDouble("forceStrenght", strength);
  setDouble("breakEnergy", energy);
  setBool("enabled", on);
  setBool("torsion", twist);
  setBool("breakByFrame", byFrame);
  if (joint == nullptr) return;
  joint->applyInitialState();
  // Breaking by force is no part of the stored state: the joint goes on
  // doing what the attribute says, not what it did at the last store.
  setJointFlag(*joint, kJointBreakByForce, getBool("breakByForce"));
}

void SceneStress::refreshAttributes() {
  setBool("enabled", getBool("enabled"));
  setBool("breakByFrame", getBool("breakByFrame"));
  setInt("frameToBreak", getInt("frameToBreak"));
  setDouble("forceStrenght", getDouble("forceStrenght"));
  setBool("breakByForce", getBool("breakByForce"));
  setDouble("breakEnergy", getDouble("breakEnergy"));
  setBool("torsion", getBool("torsion"));
}
