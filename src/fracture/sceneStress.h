#pragma once

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <cstdint>

#include "src/moduleNode.h"

class DynamicStress;
class FractureBodyNode;

/// The joint node (`zovStressNode`): the user's handle on one engine joint
/// of a fracture body. Its attributes carry the joint's parameters and the
/// names of the two pieces it binds; each parameter has a `ca_` twin whose
/// compute pushes the value into the joint. Other code sets a parameter by
/// name (setBool, setDouble, setInt), which pulls the twin.
///
/// Neither the owner nor the joint is owned: the owner's engine fracture
/// body owns the joint. An owner that lets its fracture body go clears both
/// pointers first in every joint node that names it (forgetOwner), and a
/// joint node that goes takes itself off its owner's break-by-frame list.
class SceneStress : public ModuleNode<SceneStress, MPxNode> {
 public:
  SceneStress();
  ~SceneStress() override;

  static MStatus initialize();
  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  /// Notes a switch set, for pullSwitchesOf.
  MStatus setDependentsDirty(const MPlug& plug, MPlugArray& affected) override;

  // ---- Parameters by name ------------------------------------------------
  // Names: "enabled", "breakByFrame", "breakByForce", "torsion" (bool);
  // "forceStrenght", "breakEnergy" (double); "frameToBreak" (int). Another
  // name shows "sceneStrNode ppty NAME not found" and changes nothing; a get
  // then answers false, 0.0 or 0, a set still true.

  bool getBool(const MString& name) const;
  double getDouble(const MString& name) const;
  /// Also keeps the value as the frame to break.
  int getInt(const MString& name);
  /// Sets the attribute, then pulls its twin so that the value reaches the
  /// joint.
  bool setBool(const MString& name, bool value);
  bool setDouble(const MString& name, double value);
  bool setInt(const MString& name, int value);

  MString body1Name() const;
  MString body2Name() const;
  void setBody1Name(const MString& name);
  void setBody2Name(const MString& name);
  MString nodeName() const;
  void setNodeName(const MString& name);
  void getPosition(float position[3]) const;
  void setPosition(const float position[3]);

  /// Keeps the attributes as the start state, and the joint's flags as its
  /// initial flags.
  void pullAttributes();
  /// Sets the attributes back to the start state (each reaching the joint),
  /// then the joint's initial flags.
  void writeAttributes();
  /// Sets every parameter again with its own value, so that each reaches a
  /// new joint.
  void refreshAttributes();

  // ---- Links ---------------------------------------------------------------

  DynamicStress* getJoint() const { return joint; }
  void setJoint(DynamicStress* value) { joint = value; }
  FractureBodyNode* getOwner() const { return owner; }
  void setOwner(FractureBodyNode* value) { owner = value; }
  /// Clears the owner and the joint of every joint node whose owner is
  /// `gone`: its joints are about to be deleted.
  static void forgetOwner(const FractureBodyNode* gone);
  /// Clears the joint of every joint node that holds `gone`, which is about
  /// to be deleted.
  static void forgetJoint(const DynamicStress* gone);
  /// Pulls the switches' twins (enabled, torsion, break by force, break by
  /// frame) of every joint node of `owner` whose switches were set since the
  /// last such pull: a switch set with no twin read after it, as an undo or
  /// a redo of a setAttr sets it, reaches its joint. A twin read since
  /// computes nothing.
  static void pullSwitchesOf(const FractureBodyNode* owner);
  /// Node-removed handler for this node type: a joint node the user deletes
  /// takes its joint out of its fracture body (FractureBodyNode::
  /// removeDeletedStressNode).
  static void onNodeRemoved(MObject& node, void* clientData);
  /// Node-added handler: a joint node whose deletion is undone has its joint
  /// again (FractureBodyNode::takeBackStressNode).
  static void onNodeAdded(MObject& node);

  std::uint32_t getJointIndex() const { return jointIndex; }
  /// The joint's index, also kept in `jointIndex` (unless `keep` is off)
  /// so that a scene opened again numbers (and so orders) its joints as they
  /// were.
  void setJointIndex(std::uint32_t index, bool keep = true);
  /// The index `jointIndex` keeps; -1 for a node of a scene that kept none.
  int storedJointIndex() const;
  bool isBreakByFrameListed() const { return breakByFrameActive; }
  void setBreakByFrameListed(bool listed) { breakByFrameActive = listed; }
  /// The frame at which the joint breaks when break by frame is on.
  int getFrameToBreak() const { return frameToBreak; }
  bool isEnabled() const { return enabled; }
  bool hasTorsion() const { return torsion; }
  double getForceStrength() const { return forceStrength; }
  /// The cluster labels of the joint's first (CNode) and second (PNode) body.
  std::uint32_t getBody1Index() const { return body1Index; }
  std::uint32_t getBody2Index() const { return body2Index; }
  void setBodyIndices(std::uint32_t first, std::uint32_t second) {
    body1Index = first;
    body2Index = second;
  }

  static const MTypeId id;
  static const MString nodeTypeName;

  // Attributes, in creation order.
  inline static MObject enabledAttr;  ///< "enabled"
  inline static MObject torsionAttr;  ///< "torsion"
  inline static MObject breakByForce;
  inline static MObject breakByFrame;
  inline static MObject position;
  inline static MObject forceStrenght;
  inline static MObject breakEnergy;
  inline static MObject frameToBreakAttr;  ///< "frameToBreak"
  inline static MObject fracture;
  inline static MObject body1NameAttr;   ///< "body1Name"
  inline static MObject body2NameAttr;   ///< "body2Name"
  inline static MObject jointIndexAttr;  ///< "jointIndex"
  inline static MObject ca_enabled;
  inline static MObject ca_torsion;
  inline static MObject ca_breakByFrame;
  inline static MObject ca_frameToBreak;
  inline static MObject ca_breakByForce;
  inline static MObject ca_forceStrenght;
  inline static MObject ca_breakEnergy;

 private:
  /// A switch's twin into the joint; every joint step is skipped without one.
  void applyBool(const MPlug& plug, bool value);
  /// A number's twin into the joint.
  void applyDouble(const MPlug& plug, double value);
  /// With the owner showing stress, recolours the two pieces the joint binds.
  void refreshColours();
  /// The attribute and its twin of a parameter's name; false for an unknown
  /// name, after the error.
  static bool parameterOf(const MString& name, MObject& attribute, MObject& twin);
  /// setBool, setDouble and setInt: the named attribute takes the value and
  /// its twin is pulled; an unknown name changes nothing. Always true.
  template <typename T>
  bool setParameter(const MString& name, T value);

  std::uint32_t jointIndex = 0;
  FractureBodyNode* owner = nullptr;
  DynamicStress* joint = nullptr;
  bool enabled = false;
  bool breakByFrameActive = false;
  bool torsion = false;
  int frameToBreak = -1;
  double forceStrength = 0.0;
  float savedPosition[3] = {0.0f, 0.0f, 0.0f};
  double savedForceStrenght = 0.0;
  double savedBreakEnergy = 0.0;
  bool savedEnabled = false;
  bool savedTorsion = false;
  bool savedBreakByFrame = false;
  std::uint32_t body2Index = 0;
  std::uint32_t body1Index = 0;
  /// Set when a switch is set; cleared by pullSwitchesOf.
  bool switchSet = false;
};
