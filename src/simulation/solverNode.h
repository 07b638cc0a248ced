#pragma once

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>
#include <maya/MTypeId.h>
#include <maya/MVector.h>

#include <maya/MDoubleArray.h>
#include <maya/MVectorArray.h>

#include <cstdint>
#include <vector>

#include "engine/bodies/HardBody.h"
#include "math/MgcVector3.h"
#include "src/moduleNode.h"
#include "src/simulation/ownedBody.h"

class FractureBody;
class rigidBodyNode;
class zovSolverNode;

/// True while a scene is being cleared or opened; the time-changed handler
/// then leaves the view alone.
extern bool g_sceneLoading;
/// The solver's `displaySelected`: the body and cracker locators draw their
/// shapes only while selected when it is on.
extern bool g_displaySelected;

/// The scene's solver nodes in creation order: the first (the one the
/// `zovSolver` command and the callbacks act on) or the last (the one the
/// body commands link to). The null object when there is none.
MObject findSolverNode(bool last = false);
/// The solver node named "zovSolverNode1", which the list and query commands
/// work through whatever other solvers exist; null when no solver bears
/// that name.
zovSolverNode* findSolverByName();

/// What the user is told when `cachedMode` goes off.
inline constexpr char kCachedModeOffMessage[] = " ZOV bake cached mode has been deactivated ";

/// The solver node (`zovSolverNode`): the one solver of a scene. It owns the
/// engine world it creates (reached by everyone through theWorld), holds the
/// simulation settings, collects the simulated nodes through its message
/// inputs and steps the world when its `rigidBodies` output is evaluated.
///
/// World ownership: a new solver node replaces the world, taking the bodies
/// the module's nodes own off it first (they stay their nodes'). A solver's
/// destructor destroys the world only when it is still the one that solver
/// made.
class zovSolverNode : public ModuleNode<zovSolverNode, MPxNode> {
 public:
  zovSolverNode();
  ~zovSolverNode() override;

  static MStatus initialize();

  void postConstructor() override;
  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  /// Marks nothing beyond what the attributes' dependencies mark.
  MStatus setDependentsDirty(const MPlug& plug, MPlugArray& affected) override;
  bool setInternalValueInContext(const MPlug& plug, const MDataHandle& handle, MDGContext& context) override;

  /// Pushes gravity, its switch and the ground grid into the world (the
  /// compute of `ca_solverParams`).
  void applySolverParams(MDataBlock& block);

  /// Adds (removes) a rigid body node's engine body to (from) the world and
  /// ends cached mode; false without a world or an engine body.
  bool addRigidBody(const MObject& node);
  bool removeRigidBody(const MObject& node);
  /// The world's collision partners of the node's body (an array the world
  /// keeps); 0 without a world or a body.
  std::uint32_t bodyCollisions(const MObject& node, HardBody*** partners);
  /// The world's contact points between the two nodes' bodies (an array the
  /// world keeps); 0 when either is missing.
  std::uint32_t pairCollisions(const MObject& first, const MObject& second, Mgc::MgcVector3** points);
  /// `fitUnitsToMayaScale`: bodies work in the host's centimetres scaled for
  /// a metre-sized world.
  bool unitScaleOn() const;
  /// Plugs connected to `fractureBodies`.
  unsigned int numFractureBodies() const;
  /// The world's collision report on (off).
  void setReportCollisions(bool on);
  void clearAllCollisions();

  /// Before a new scene or before opening one: flags the load and lets the
  /// solver's fracture bodies go.
  static void onSceneChange(void* clientData);
  /// After a scene was opened: every body is made again from the scene.
  void rebuildWorld();
  /// The bodies, crackers and fracture bodies of the nodes on the plugs
  /// made again from the scene, as rebuildWorld makes every one (after an
  /// import: the nodes the file brought).
  void rebuildNodes(const MPlugArray& crackerPlugs, const MPlugArray& bodies, const MPlugArray& fractures);

  // ---- Frame loop ----------------------------------------------------------

  /// The compute of `rigidBodies`: one step of the frame loop. At the start
  /// of the playback range it resets every body (or keeps the cache in
  /// cached mode); at or before the last simulated frame it plays the frame
  /// caches back; one frame after the last simulated one it simulates.
  void stepFrame(const MPlug& plug, MDataBlock& block);
  /// One simulated frame ending at `time`: `substeps` world steps of `dt`
  /// seconds each.
  void simulateFrame(const MPlugArray& bodies, const MPlugArray& crackerPlugs, const MPlugArray& fractures,
                     const MTime& time, int substepCount, double dt);
  /// Every body, cracker and fracture body at its start state at `time`
  /// (the start of the playback range), the caches holding the start pose.
  void resetToStart(const MPlugArray& bodies, const MPlugArray& crackerPlugs, const MPlugArray& fractures,
                    const MTime& time, int substepCount);
  /// The bodies and crackers back at their rest transforms.
  void rewindBodies(const MPlugArray& bodies, const MPlugArray& crackerPlugs, const MPlugArray& fractures);
  /// Sorts the rigid bodies on the plugs (those taking part) into the
  /// active and the idle list.
  void sortBodies(const MPlugArray& bodies);
  /// Switches `cachedMode` off, telling the user when it was on.
  void deactivateCachedMode();

  /// The scene's force fields on the rigid bodies of the plugs that take
  /// fields, once per substep.
  void applyFields(const MPlugArray& bodies, const MPlugArray& fractures, int frame, float dt);
  /// Appends a fracture body's field samples (the body as a whole while it
  /// moves on its own, its pieces, its sub-bodies); bodies of infinite mass
  /// give none.
  static void collectFieldSamples(FractureBody& body, MVectorArray& positions, MVectorArray& velocities,
                                  MDoubleArray& masses);
  /// Adds the forces of collectFieldSamples' samples, in the same order,
  /// from `index` on (advanced past them).
  static void applyFieldForces(FractureBody& body, const MVectorArray& forces, unsigned int& index);

  /// The frame caches made anew for `size` frames, empty; the time goes
  /// back to the start of the playback range once the evaluation is over.
  void resetFrameCaches(int size);
  /// The frame caches grown (or shrunk) to `size` frames, keeping entries.
  void growFrameCaches(int size);

  /// The ground plane body; outside the world until the grid is used.
  HardBody* ground() const { return groundBody.get(); }
  /// Whether theWorld is the world this node made.
  bool ownsWorld() const;
  /// Lets the ground go and destroys the world when it is this node's (the
  /// module's bodies stay with their nodes); the node itself stays. The host
  /// exiting does this, as the node is the host's to destroy.
  void releaseWorld();

  static const MTypeId id;
  static const MString nodeTypeName;

  // Attributes, in creation order.
  inline static MObject version;
  inline static MObject inTime;
  inline static MObject startFrame;
  inline static MObject rigidBodies;
  inline static MObject fractureBodies;
  inline static MObject crackers;
  inline static MObject gravity;
  inline static MObject substeps;
  inline static MObject fitUnitsToMayaScale;
  inline static MObject gravityEnabled;
  inline static MObject useGroundGrid;
  inline static MObject ca_solverParams;
  inline static MObject numThreads;
  inline static MObject ca_numThreads;
  inline static MObject ca_indexFbodies;
  inline static MObject displaySelected;
  inline static MObject ca_displaySelected;
  inline static MObject cacheSize;
  inline static MObject ca_cacheSize;
  inline static MObject cachedMode;
  inline static MObject cacheActive;

 private:
  /// The compute of `ca_cacheSize`: caches sized to `cacheSize`.
  void sizeFrameCaches(MDataBlock& block);
  /// Whether the cached result may stay at the start frame.
  bool keepsCacheAtStart(const MPlugArray& bodies, const MPlugArray& fractures, bool cached) const;
  /// Moves waiting bodies whose time has come to the active list.
  void activateWaitingBodies(int frame);

  std::vector<rigidBodyNode*> activeBodies;
  std::vector<rigidBodyNode*> idleBodies;
  MTime prevTime;
  MTime lastSimTime;
  double maxStep = 0.0;
  std::uint32_t cacheCapacity = 0;
  /// The ground: owned, so that a newer solver's world, replacing this
  /// node's, lets go of it instead of deleting it.
  OwnedBody groundBody;
  /// Which world this node made (0: none).
  std::uint64_t worldSerial = 0;
  /// The gravity last handed to the world, as the attribute gave it: what
  /// the attribute takes back when it is given a value that is not finite in
  /// single precision.
  MVector acceptedGravity;
};
