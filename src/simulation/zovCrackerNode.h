#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDataBlock.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>
#include <maya/MTypeId.h>
#include <maya/MVector.h>

#include "engine/bodies/HardBody.h"
#include "geometry/ZOVmesh.h"
#include "src/hostEngineConversions.h"
#include "src/moduleNode.h"
#include "src/simulation/ownedBody.h"

class zovSolverNode;

/// The cracker node (`zovCracker`): a locator under the transform of a keyed
/// impactor. It owns an engine cracker body made from the "Cracker"
/// collision shape feeding `inCollisionType`; the engine never integrates
/// it. Each simulated frame the solver gives the body the velocity of the
/// keyed motion and moves it along the way from the previous pose to the
/// transform's new pose, substep by substep.
///
/// The offset matrix ties the transform to the body: transform world matrix
/// = offset · body pose matrix (row vectors). Poses are kept in single
/// precision. The operations read the transform as the host evaluates it
/// now, whatever time they are given.
class zovCrackerNode : public ModuleNode<zovCrackerNode, MPxLocatorNode> {
 public:
  zovCrackerNode() = default;
  ~zovCrackerNode() override = default;

  static MStatus initialize();

  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  /// The legacy viewport's drawing of the body's capsule, blue, or cyan when
  /// the cracker or its transform is selected. Nothing in wireframe style,
  /// while the host plays back or is busy, or, when the solver shows only
  /// what is selected, for a cracker not selected.
  void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style, M3dView::DisplayStatus status) override;
  bool isBounded() const override { return false; }
  MBoundingBox boundingBox() const override;
  bool excludeAsLocator() const override { return false; }
  bool isTransparent() const override { return false; }
  bool setInternalValueInContext(const MPlug& plug, const MDataHandle& handle, MDGContext& context) override;

  /// Node-removed handler for this node type: the body goes, and the
  /// crackers panel is refreshed when it is open.
  static void onNodeRemoved(MObject& node, void* clientData);

  // ---- Services of the solver ----------------------------------------------

  /// The node has a body and is `enabled`.
  bool isActive() const;
  /// Pulls every setting so that the body exists and holds them.
  void readParameters();
  /// The transform's pose becomes the target of the frame.
  void readTargetPose(const MTime& time);
  /// The body's velocity from the way between the previous and the target
  /// pose over `frameSeconds` (nothing for a duration at or below 0).
  void setVelocityFromMotion(double frameSeconds, const MTime& t0, const MTime& t1);
  /// The body at a fraction (0 previous, 1 target) of its way.
  void placeAtFraction(double fraction, const MTime& t0, const MTime& t1);
  /// The transform's pose becomes the previous pose, and the body goes there.
  void placeAtCurrentPose(const MTime& time);
  /// The current pose becomes the rest pose, of the body and the transform.
  void storeRestPosition(const MTime& time);
  /// Node, body and transform back at the rest pose; nothing before a rest
  /// pose was stored (a cracker read from a file before its body is made),
  /// whose transform would otherwise lose its pose.
  void resetToRestPosition();
  /// The engine body, or null; the node keeps ownership.
  HardBody* engineBody() const { return body.get(); }
  /// The direction the alignment types give the velocity.
  MVector impulseDirection() const { return impulse; }

  static const MTypeId id;
  static const MString nodeTypeName;

  // Attributes, in creation order.
  inline static MObject type;
  inline static MObject inCollisionShape;
  inline static MObject inCollisionType;
  inline static MObject solver;
  inline static MObject selected;
  inline static MObject enabled;
  inline static MObject size;
  inline static MObject multiplier;
  inline static MObject multrand;
  inline static MObject impulseDir;
  inline static MObject massCenter;
  inline static MObject ca_cracker;
  inline static MObject ca_crackerParam;
  inline static MObject ca_size;
  inline static MObject ca_enabled;
  inline static MObject animatedTRS;
  inline static MObject ca_centerMass;
  inline static MObject ca_selected;
  inline static MObject usercommand;
  inline static MObject index;
  inline static MObject ca_index;

 private:
  // Computes of the twins.
  bool createBody(MDataBlock& block);
  void switchOn();
  void switchOff();
  void refit();
  void moveCentreOfMass(MDataBlock& block);

  /// The collision shape's engine mesh, or null (saying so when the node
  /// feeding `inCollisionType` is no collision shape); rebuilt first when asked.
  ZOVmesh* shapeMesh(bool rebuild) const;
  /// The solver feeding `solver`, or null.
  zovSolverNode* linkedSolver() const;
  void invalidateSolverCache() const;
  /// The unit direction across the path curve at the target, facing the
  /// view; (0, 0, 1) without a curve.
  MVector surfaceAlignedDirection() const;

  OwnedBody body;
  FloatPose previous;
  FloatPose target;
  MMatrix offset;
  FloatPose rest;
  /// Whether storeRestPosition has run: the rest pose means something.
  bool restStored = false;
  MVector impulse;
};
