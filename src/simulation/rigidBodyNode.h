#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MColorArray.h>
#include <maya/MDagPath.h>
#include <maya/MDataBlock.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>
#include <maya/MTypeId.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/bodies/HardBody.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "src/bodySetup.h"
#include "src/hostEngineConversions.h"
#include "src/moduleNode.h"
#include "src/nodeLinks.h"
#include "src/simulation/ownedBody.h"
#include "src/simulation/pieceOwner.h"

class rigidBodyNode;
class zovSolverNode;

/// Values of `passive`: how a body moves. Scenes store them as these numbers.
enum class PassiveState : int {
  kDynamic = 0,
  kPassive = 1,
  /// Static, placed by its animated transform each frame.
  kDrivenByTransform = 2,
};

/// Values of `firstHitActive`: when a static body wakes. Scenes store them as
/// these numbers.
enum class FirstHit : short {
  kOff = 0,
  /// At the first collision.
  kOnFirstHit = 1,
  /// At `actFrame`.
  kAtFrame = 2,
};

/// The rigid body node (`zovRigidBody`): a locator under the transform of a
/// simulated mesh. It holds one body's settings, owns the engine body made
/// from its collision shape, and keeps the offset that ties the engine body
/// to the transform: transform world matrix = bodyOffset · body matrix (row
/// vectors; the body matrix is the rotation of the body's orientation
/// followed by the translation to its centre of mass).
///
/// The engine body is made when `ca_rigidBody` is computed. Each other `ca_`
/// output pushes one group of settings into it when computed, so a changed
/// setting reaches the body at the next pull. Code that needs the body up to
/// date asks engineBody(true).
///
/// Poses kept between evaluations are single precision, rotations as x, y,
/// z, w.
class rigidBodyNode : public ModuleNode<rigidBodyNode, MPxLocatorNode> {
 public:
  /// Bits of isAnimated's mask.
  enum AnimationTest : int {
    kTransformAnimated = 1,
    kShapeInputAnimated = 2,
    kParametersAnimated = 4,
    kShapeMeshDeformed = 8,
  };

  rigidBodyNode();
  ~rigidBodyNode() override;

  static MStatus initialize();

  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  /// Tells Viewport 2.0 that the locator must be drawn again.
  MStatus setDependentsDirty(const MPlug& plug, MPlugArray& affected) override;
  bool setInternalValueInContext(const MPlug& plug, const MDataHandle& handle, MDGContext& context) override;
  bool isBounded() const override { return true; }
  /// The box of the mesh feeding the collision shape; (-1, -1, -1) to
  /// (1, 1, 1) without a shape, empty when the shape has no input.
  MBoundingBox boundingBox() const override;
  bool excludeAsLocator() const override { return false; }
  bool isTransparent() const override { return false; }

  // ---- The engine body -----------------------------------------------------

  /// The body, after pulling `ca_rigidBody` and `ca_rigidBodyParam` when pull
  /// is true; null when it could not be made. The node keeps ownership.
  HardBody* engineBody(bool pull);
  /// Pulls every `ca_` output; for a piece, also the settings of its
  /// fracture body that it simulates by (PieceOwner::pullPieceSettings).
  void pullAll();
  /// Makes the body dynamic or static (passive, or driven by the transform);
  /// a value outside the enum counts as dynamic. From outside a compute,
  /// also writes `passive` and pulls `ca_activeState`.
  void applyPassiveState(PassiveState state, bool fromCompute);
  /// Puts the body into (takes it out of) the world and sets `enabled`.
  void activateBody();
  void deactivateBody();
  /// Gives the body the shape's current mesh, keeping its settings.
  void rebuildBody();
  /// The body's mass from the volume of its mesh as it stands, kept as its
  /// initial mass too.
  void updateMassProperties();
  /// The collision shape node feeding the node: through `inCollisionType`,
  /// else through `animated`. False, leaving `shape` alone, without one.
  bool collisionShapeNode(MObject& shape) const;
  /// The shape node's engine mesh (the shape node keeps it), or null.
  ZOVmesh* shapeMesh() const;
  /// `inCollisionType` when connected, else the shape node's `type`.
  int collisionType() const;
  /// Whether any test of the mask (AnimationTest bits) finds animation.
  bool isAnimated(int mask) const;
  /// Ends the solver's cached mode: the bodies changed.
  void invalidateSolverCache() const;

  PassiveState passiveState() const;
  FirstHit firstHitMode() const;
  bool isJaggy() const;
  bool isEnabled() const;
  int activationFrame() const;
  bool isAnimatedMesh() const;
  /// `firstHitActive` is not kOff.
  bool firstHitActive() const;
  /// `firstHitActive` is kAtFrame: the body waits for `actFrame`.
  bool activatesAtFrame() const;
  /// The transform has a parent, and it is animated.
  bool isParentAnimated() const;

  // ---- Services of the frame loop ------------------------------------------
  // Each does nothing without an engine body unless it says otherwise. The
  // times are those of the frame; the transform is read as the host
  // evaluates it now.

  /// The body back at the transform's pose at `time`; the whole state
  /// becomes its initial state, and the transform's pose its rest position
  /// (the pose members and the rest position also without a body).
  void resetToStart(const MTime& time);
  /// The start pose, the body's initial state (static again when it waits
  /// for its activation frame) and the transform's rest position back.
  void restoreRestTransform();
  /// A dynamic body's `initialVelocity` and `initialSpin` into its body and
  /// its initial state.
  void applyInitialVelocities();
  /// The body placed where the transform puts it; the mesh taken again when
  /// forced or when the shape deforms.
  void bodyFromMaya(const MTime& time, bool forceMesh);
  void refreshBodyMesh(const MTime& time);
  /// The transform's pose now becomes the target of the frame.
  void captureTargetPose(const MTime& time);
  /// An animated body's velocities from its pose at the frame start to the
  /// target over dt seconds; a deforming triangle mesh also gets its vertex
  /// velocities. Nothing for dt at or below 0.
  void computeKinematicVelocity(double dt, const MTime& t0, const MTime& t1);
  /// An animated body at a fraction (0 the frame start, 1 the target) of
  /// its way through the frame.
  void placeAtFraction(double fraction, const MTime& t0, const MTime& t1);
  /// The body's pose into the transform: the rotate pivot follows the body,
  /// the rotation is the body's; the scale is left alone.
  void writeTransform();
  /// The pose recorded at a cache index into the transform, as writeTransform
  /// does; the body itself is not moved. Nothing past the recorded frames.
  void playCachedFrame(unsigned int index);
  /// Whether the body takes part in the simulation.
  bool isLive() const;
  /// Whether the body's mesh encloses no positive volume.
  bool isMassNegative();
  /// Whether the body is a piece of a fracture body whose animation drives it.
  bool isPieceAnimated() const;
  bool isFracturePieceNode() const { return isFracturePiece; }
  /// The fracture body node of which the body is a piece; null for a free
  /// body.
  PieceOwner* fractureBodyNode() const { return fractureOwner; }
  /// Every node whose fracture body node is `gone` becomes a free body: the
  /// fracture body node is going, linked to its pieces or not.
  static void forgetFractureOwner(const PieceOwner* gone);
  /// The fracture body the node left because no body could be made of its
  /// shape, or because the node was deleted, which may take it back when
  /// its body is made again; cleared when the node becomes a piece again.
  void setFormerOwner(PieceOwner* owner) { formerOwner = owner; }
  /// Every node whose former fracture body is `gone` forgets it.
  static void forgetFormerOwner(const PieceOwner* gone);
  /// Makes the node a piece of `owner` (null: a free body again); the first
  /// piece of a fracture body is marked.
  void setFractureOwner(PieceOwner* owner, bool firstPiece);
  bool isFirstPiece() const { return firstPiece; }
  /// Locks or unlocks the plugs of the body's settings: a piece's are its
  /// fracture body's to change.
  void setParamsLocked(bool lock);
  /// `groupid` and the body's group id.
  void setGroupId(int id);
  /// One colour per vertex of the shape's mesh for stress display, shown from
  /// now on; an empty array changes nothing.
  void setStressColors(const MColorArray& colours);
  /// `affectForceFields` as `ca_forceFields` last pushed it.
  bool affectsForceFields() const { return affectsFields; }

  // ---- Frame cache ---------------------------------------------------------
  // The pose of the engine body at each simulated frame, in memory only:
  // entry i belongs to frame cacheStart + i.

  /// Fresh arrays of `capacity` entries starting at `startFrame`, empty;
  /// nothing for a capacity at or below 0. Arrays that cannot be had stay
  /// null, so that nothing is recorded.
  void allocateFrameCache(int capacity, int startFrame);
  /// Arrays of `capacity` entries keeping the recorded ones that fit; nothing
  /// without arrays, for a capacity below 1, or when the new arrays cannot
  /// be had.
  void growFrameCache(int capacity);
  /// Appends the body's pose while there is room.
  void recordFrame();
  /// Records the body's pose as the frame's: the first entry after the
  /// start pose fixes which frame entry 0 is. Frames missed since the last
  /// entry (the node was gone, or left out) repeat that entry first, so that
  /// entry i stays frame cacheStart + i.
  void recordFrameAt(int frame);
  /// Forgets the recorded entries.
  void clearFrameCache() { cacheCount = 0; }
  std::uint32_t cachedFrameCount() const { return cacheCount; }
  std::uint32_t frameCacheCapacity() const { return cacheCapacity; }
  int cacheStartFrame() const { return cacheStart; }

  // ---- Drawing -------------------------------------------------------------

  /// The legacy viewport's drawing: the body's faces as outlines, or a
  /// capsule's sides and ends, in the colour of the body's state, in the
  /// transform's frame. Nothing in wireframe style, while playing back,
  /// while the user moves the view, or, when the solver shows only what is
  /// selected, for a body not selected.
  void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style, M3dView::DisplayStatus status) override;
  /// For a fracture piece its `selected`; for a free body, whether the node
  /// is on the active selection.
  bool isSelected() const;
  /// The transform's world matrix is bodyOffset · the body's pose matrix.
  const MMatrix& getBodyOffset() const { return bodyOffset; }
  /// One colour per vertex of the collision shape's mesh, for stress display.
  const MColorArray& getStressColors() const { return stressColors; }

  // ---- Removal -------------------------------------------------------------

  /// Deletes the engine body and lets the solver forget the node; the body
  /// is made again at the next pull of `ca_rigidBody` (after an undone
  /// deletion, say), from the start pose the node had, and then placed where
  /// the transform stands. A piece leaves its fracture body as a deleted
  /// piece (PieceOwner::removeDeletedPiece).
  void releaseBody();
  /// Whether the body went with the node's removal and is not made again yet.
  bool awaitsBodyAgain() const { return released && !body; }
  /// Whether the last making of the body ran out of memory (for its shape or
  /// for the body), so that the node has none.
  bool ranOutOfMemory() const { return outOfMemory; }
  /// Node-removed handler for this node type.
  static void onNodeRemoved(MObject& node, void* clientData);
  /// Node-added handler for this node type: a piece whose deletion is
  /// undone has its body made again at once, which takes it back into the
  /// fracture body it left (PieceOwner::takeBackPiece).
  static void onNodeAdded(MObject& node);

  static const MTypeId id;
  static const MString nodeTypeName;

  // Attributes, in creation order.
  inline static MObject inTimeRbd;
  inline static MObject inCollisionType;
  inline static MObject solver;
  inline static MObject fracture;
  inline static MObject transFbody;
  inline static MObject fieldList;
  inline static MObject selected;
  inline static MObject enabled;
  inline static MObject passive;
  inline static MObject firstHitActiveAttr;  ///< "firstHitActive"
  inline static MObject actFrame;
  inline static MObject isJaggyAttr;  ///< "isJaggy"
  inline static MObject mass;
  inline static MObject massCenter;
  inline static MObject bounciness;
  inline static MObject friction;
  inline static MObject linearDamping;
  inline static MObject angularDamping;
  inline static MObject gapfactor;
  inline static MObject initialVelocity;
  inline static MObject randomVX;
  inline static MObject randomVY;
  inline static MObject randomVZ;
  inline static MObject initialSpin;
  inline static MObject randomWX;
  inline static MObject randomWY;
  inline static MObject randomWZ;
  inline static MObject affectForceFields;
  inline static MObject stressColor;
  inline static MObject usercommand;
  inline static MObject index;
  inline static MObject groupid;
  inline static MObject ca_rigidBody;
  inline static MObject ca_rigidBodyParam;
  inline static MObject ca_activeState;
  inline static MObject animatedTRS;
  inline static MObject hasZovKeys;
  inline static MObject animated;
  inline static MObject ca_forceFields;
  inline static MObject ca_centerMass;
  inline static MObject ca_initialVelocity;
  inline static MObject ca_initialSpin;
  inline static MObject ca_selected;
  inline static MObject ca_index;
  inline static MObject sca_tressColor;  ///< "sca_tressColor"
  inline static MObject lastPosition;
  inline static MObject lastRotation;
  inline static MObject velocity;
  inline static MObject welocity;  ///< "welocity"
  inline static MObject keysTX;
  inline static MObject keysTY;
  inline static MObject keysTZ;
  inline static MObject keysRX;
  inline static MObject keysRY;
  inline static MObject keysRZ;

 private:
  /// The transform of the node's path put at the body pose B (W = bodyOffset
  /// · B), and the pose members taken from W.
  void placeTransform(const MMatrix& B);
  /// Deforming triangle meshes: the vertex velocities of the body's world
  /// mesh from the shape's new mesh, and the body's velocities from them
  /// where the transform barely moved.
  void deformingMeshVelocities(double dt, const MVector& v, const MVector& w);

  /// The keys of one transform channel.
  struct ChannelKeys {
    MString channel;
    std::uint32_t count = 0;
    MTimeArray times;
    std::vector<double> values;
    std::vector<double> inTangents;
    std::vector<double> outTangents;
  };

  /// releaseBody without marking `ca_rigidBody`: the node is going, or is
  /// making its body anew.
  void dropBody();

  // Computes of the `ca_` outputs.
  bool createBody(MDataBlock& block);
  /// The body made from the shape at the transform's pose.
  bool makeBody(MDataBlock& block);
  void pushParameters(MDataBlock& block);
  /// The node's mass, bounciness, friction, dampings (a tenth of the node's)
  /// and gap factor into the body, whose mass and inertia become part of its
  /// initial state.
  void applyParameters(MDataBlock& block);
  void pushActiveState(MDataBlock& block);
  void moveCentreOfMass(MDataBlock& block);
  /// `mass` when it is above 0 and finite as a float; otherwise, with a
  /// warning naming the node and both values, the shape's mass, which
  /// `mass` takes.
  double usableMass(MDataBlock& block);
  /// The initial velocity or spin of the twin's compute: the attribute when
  /// it is finite as floats; otherwise, with an error, the value last taken
  /// (kept in `kept`), which the attribute takes back.
  MVector acceptedMotion(MDataBlock& block, const MObject& attribute, const MObject& kept, const char* what);
  /// The twin's compute of the initial velocity or spin: acceptedMotion, then
  /// `set` and saveDynamics(`saved`) on the body, if any; the value taken is
  /// kept in `kept` and the solver's cache is dropped.
  void takeInitialMotion(MDataBlock& block, const MObject& attribute, const MObject& kept, const char* what,
                         void (HardBody::*set)(const Mgc::MgcVector3&), int saved);
  /// `initialVelocity` or `initialSpin` read through its plug, finite: a
  /// value that is not is refused through its twin first.
  MVector initialMotion(const MObject& attribute, const MObject& twin) const;

  /// The first node linked to `solver`, when it is a solver node.
  zovSolverNode* linkedSolver() const;
  /// Whether the linked solver fits bodies to the host's scale.
  bool fittedToHostScale() const;
  /// Takes the transform's translation, rotation and scale from its world
  /// matrix W into the pose members; answers the engine's rotation matrix
  /// of that rotation.
  Mgc::MgcMatrix3 capturePose(const MMatrix& W);
  /// `bodyOffset` and `pivotInBody` from the body's pose and the
  /// transform's world matrix and rotate pivot.
  void tieToTransform(const MDagPath& transform);
  /// Whether a dynamic `passive` must yield to keys on the transform or the
  /// shape.
  bool keyedAgainstDynamics() const;
  /// The keys warning.
  void warnKeyed() const;

  OwnedBody body;
  /// The mass the body's shape gives it (its volume, scaled when fitted to
  /// the host's scale): what an unusable `mass` is replaced by.
  double shapeMass = 1.0;
  /// Set when the node's removal took the body; cleared when it is made again.
  bool released = false;
  /// Set when making the body ran out of memory; cleared at the next try.
  bool outOfMemory = false;
  /// The fracture body node of which the body is a piece; null for a free
  /// body. Not owned.
  PieceOwner* fractureOwner = nullptr;
  /// See setFormerOwner. Not owned.
  PieceOwner* formerOwner = nullptr;
  std::uint32_t bodySerial = 0;
  /// The transform's pose as last taken, and the pose it goes to in the
  /// frame being simulated.
  FloatPose currentPose;
  FloatPose targetPose;
  float currentScale[3] = {1.0f, 1.0f, 1.0f};
  float targetScale[3] = {1.0f, 1.0f, 1.0f};
  /// The transform's world rotate pivot in the body frame.
  float pivotInBody[3] = {};
  /// The body's centre of mass in the transform's frame.
  float centreInTransform[3] = {};
  MMatrix bodyOffset;
  /// The pose at the start of the playback range.
  FloatPose startPose;
  /// Copy of `affectForceFields`.
  bool affectsFields = false;
  /// Set while the node is a piece of a fracture body.
  bool isFracturePiece = false;
  /// Set on the first piece of a fracture body.
  bool firstPiece = false;
  MColorArray stressColors;
  ChannelKeys channelKeys[6];

  // Frame cache.
  std::int32_t cacheStart = 0;
  std::uint32_t cacheCount = 0;
  std::uint32_t cacheCapacity = 0;
  /// x, y, z per entry.
  std::unique_ptr<float[]> cachePositions;
  /// x, y, z, w per entry.
  std::unique_ptr<float[]> cacheRotations;
};
