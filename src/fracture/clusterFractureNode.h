#pragma once

#include <maya/MDGModifier.h>
#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>
#include <maya/MTypeId.h>

#include <memory>
#include <vector>

#include "src/moduleNode.h"

class FractureBodyNode;
class SceneStress;
class rigidBodyNode;

/// The cluster node (`ClusterZovNode`): some pieces of one fracture body
/// that come off as a block. The joints between two of its pieces (inner
/// joints, on `instresses`) share the cluster's strength; the joints from a
/// piece of it to a piece outside (outer joints, on `outstresses`) are
/// weakened so that the block breaks away whole. Its pieces hang from its
/// `rigidBodies` and it hangs from its fracture body node's `clusters`.
///
/// The node holds no engine object: a changed parameter is written into the
/// joint nodes wired to it, which push it into their joints. Each parameter
/// has a hidden `ca_` twin whose compute does that.
class clusterFractureNode : public ModuleNode<clusterFractureNode, MPxNode> {
 public:
  clusterFractureNode() = default;
  /// Hands the joints still wired to the node back to its fracture body.
  ~clusterFractureNode() override;

  static MStatus initialize();
  void postConstructor() override {}
  MStatus compute(const MPlug& plug, MDataBlock& block) override;

  /// The joints' starting values: outer joints hold nothing (strength and
  /// break energy 0, no break by frame), inner joints the cluster's
  /// `stressThreshold`. False without a fracture body node or without any
  /// joint node.
  bool initStresses();
  /// Every joint back to the fracture body's threshold, no break energy,
  /// no break by frame.
  void pushStressParams();
  /// The scene's solver leaves its cached mode.
  void findSolverAndNotify();
  /// Recolours the pieces when the fracture body shows its stresses.
  void setStressColors();
  /// What removing the cluster does before its node goes: the joints take
  /// the fracture body's values (pushStressParams), the pieces and the joint
  /// nodes go back to the fracture body node, and the node's own link to it
  /// goes last, each through `dg`, run as it goes.
  void handBack(MDGModifier& dg);

  // ---- Deletion by the user ----------------------------------------------------

  /// Node-removed handler: a cluster the user deletes hands everything back
  /// as its removal by zovCluster does, keeping what it changed so that the
  /// deletion undone gives the cluster back as it was (onNodeAdded). A
  /// cluster that goes with its fracture body, or that has handed
  /// everything back already, is left as it is.
  static void onNodeRemoved(MObject& node, void* clientData);
  /// Node-added handler: a cluster brought back from its deletion takes its
  /// pieces and joint nodes again, the joints with the values they held.
  static void onNodeAdded(MObject& node);

  // ---- The fracture body's start state and scene opening --------------------

  /// The pieces and the joint nodes back to their start state.
  void applyInitialState();
  /// Keeps the start state: the pieces reset to `time`, the joint nodes'
  /// values kept.
  void storeInitialState(const MTime& time);
  /// After a scene is opened: the pieces join the fracture body's engine
  /// body and the joint nodes get engine joints again from their stored
  /// positions and piece names, numbered on from `firstIndex`. Answers the
  /// next free index.
  unsigned int updateFromScene(unsigned int firstIndex);

  // ---- Readers ---------------------------------------------------------------

  bool isSelected() const;
  /// `breakByFrame`.
  bool isBreakable() const;
  int getBreakFrame() const;
  /// The fracture body node on `fracture`; null without one.
  FractureBodyNode* fractureNode() const;
  /// The rigid body nodes on `rigidBodies`, in connection order.
  std::vector<rigidBodyNode*> pieceNodes() const;
  /// The joint nodes on `instresses` (inner) or `outstresses`, in
  /// connection order.
  std::vector<SceneStress*> innerStresses() const;
  std::vector<SceneStress*> outerStresses() const;

  static const MTypeId id;
  static const MString nodeTypeName;

  // Attributes, in creation order.
  inline static MObject rigidBodies;
  inline static MObject outstresses;
  inline static MObject instresses;
  inline static MObject fracture;
  inline static MObject stressThresholdAttr;  ///< "stressThreshold"
  inline static MObject breakByFrame;
  inline static MObject breakFrameAttr;  ///< "breakFrame"
  inline static MObject breakEnergy;
  inline static MObject selected;
  inline static MObject ca_selected;
  inline static MObject ca_stressThreshold;
  inline static MObject ca_breakFrame;
  inline static MObject ca_breakByFrame;
  inline static MObject ca_breakEnergy;

 private:
  /// A switch's new value to every inner joint, the fracture body's
  /// breaking by frame following, then to every outer joint.
  void propagateBreakByFrame(bool value);
  /// A number to the inner joints; to the outer ones only when there is no
  /// inner joint at all.
  void propagateToInnerFirst(const char* parameter, double value);
  /// Marks the parameters' twins up to date without handing anything on:
  /// the joint nodes already hold what the cluster has to give them (it
  /// has just given them their starting values, or a scene holds them).
  void settleTwins();

  /// The values pushStressParams overwrites on one joint node.
  struct HeldJoint {
    MObject node;
    double strength;
    double energy;
    bool byFrame;
  };

  /// While set, a twin's compute hands nothing on.
  bool settling = false;
  /// Whether the twins were ever settled: from then on a dirty twin is a
  /// value set since, which must still be handed on.
  bool settled = false;
  /// What the cluster's deletion handed back, undone when it comes back;
  /// null while it is in the scene.
  std::unique_ptr<MDGModifier> handedBack;
  /// The pieces and the joints' values it had when it was deleted.
  std::vector<MObject> heldPieces;
  std::vector<HeldJoint> heldJoints;
};

/// The cluster node feeding the piece's `fracture`; null when the piece is in
/// none.
clusterFractureNode* clusterNodeOf(const rigidBodyNode& piece);
