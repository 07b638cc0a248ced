#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/ThreadSlots.h"
#include "engine/bodies/BodyFlags.h"
#include "engine/bodies/HardBodyShape.h"
#include "engine/bodies/MotionState.h"
#include "engine/bodies/RBDynamics.h"
#include "geometry/ShapeRecords.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"
#include "platform/ModuleState.h"

class DynamicStress;

/// A body's kind, fixed by its concrete class. No body has kind 4.
enum eHBodyType : std::uint32_t {
  kPhantomBody = 0,
  kCapsuleBody = 1,
  kHullBody = 2,
  kTriMeshBody = 3,
  kFractureBody = 5,
  kCrackerBody = 6,
  kBarrierBody = 7,
};

/// The smallest mass a body takes (single-precision 1e-5): smaller, zero and
/// negative masses are raised to it, so that the inverse mass stays finite.
constexpr double kMinBodyMass = static_cast<double>(1e-5f);

/// The engine's rigid body as the world, the collision passes and the host
/// layer see it: the whole shared state of a body with its accessors, a few
/// impulse operations, and the simulation operations as virtuals that
/// PrivateHardBody and FractureBody implement.
///
/// Ownership: a body owns its mesh. Its parent (the fracture body of a piece)
/// is not owned. Bodies are not copyable: a copy would own the same mesh.
class HardBody {
 public:
  HardBody(const HardBody&) = delete;
  HardBody& operator=(const HardBody&) = delete;

  // ---- Simulation operations, in slot order -------------------------------

  /// Restitution and its initial copy.
  virtual void setRestitutionCoeff(double c) = 0;  // slot 0
  /// Friction and its initial copy.
  virtual void setFrictionCoeff(double c) = 0;  // slot 1
  /// Linear air damping: the fraction of velocity lost per 1/100 s, in [0, 1]
  /// (values outside are clamped, NaN counts as 0).
  virtual void setAirDampingCoeff(double c);  // slot 2
  /// Angular air damping, as setAirDampingCoeff.
  virtual void setAirDampingCoeff2(double c);  // slot 3
  /// Places the shape: the body's mesh and shape record are given in world
  /// terms at position p, orientation R and scale s.
  virtual void init(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s) = 0;  // slot 4
  /// Wakes the body.
  virtual void activate() = 0;  // slot 5
  /// Puts the body to sleep.
  virtual void deActivate() = 0;  // slot 6
  /// Whether the body is passive until first hit; with askParent, a body
  /// without the bit asks its parent.
  virtual bool isFirstHit(bool askParent) = 0;  // slot 7
  virtual void enableBreakByFrame() = 0;        // slot 8
  virtual void disableBreakByFrame() = 0;       // slot 9
  virtual bool isBreakByFrame() = 0;            // slot 10
  /// Clears the per-thread processed marks and the processed bit.
  virtual void resetProcessedThreads() = 0;  // slot 11
  /// Local and world inertia from the stored mass.
  virtual void computeInertiaTensor() = 0;  // slot 12
  /// Makes a world point the body's reference point.
  virtual void moveCenterOfMass(const Mgc::MgcVector3& worldPoint) = 0;  // slot 13
  /// Replaces the mesh; the body takes ownership of `mesh`.
  virtual void modify(ZOVmesh* mesh) = 0;  // slot 14
  /// Brings the bounds and the world mesh up to date.
  virtual void updateWorldData() = 0;  // slot 15
  /// m v.v + L.w, twice the kinetic energy; kMaxFloat for a static body.
  virtual double computeEnergy() = 0;  // slot 16
  /// Whether the body moved since the last state.
  virtual bool updateSleepState() = 0;  // slot 17
  /// Separation impulse of a joint that breaks.
  virtual void ApplyBreakEnergy(DynamicStress* joint) = 0;  // slot 18
  /// Rescales the body keeping its density.
  virtual void setScale(const Mgc::MgcVector3& s) = 0;  // slot 19
  /// Mass (kMinBodyMass at least), then computeInertiaTensor.
  virtual void setMass(float m) = 0;  // slot 20
  /// World inertia tensors from the orientation, angular velocity from L.
  virtual void updateInertia();  // slot 21
  /// Angular velocity in rad/s (world), and L from it; a non-finite one is
  /// ignored.
  virtual void setAngularVelocity(const Mgc::MgcVector3& w);  // slot 22
  /// Zeroes the state (nothing in HardBody).
  virtual void resetDynamics();                                   // slot 23
  virtual void setOrientationQuat(const Mgc::Quaternion& q) = 0;  // slot 24
  virtual void setOrientation(const Mgc::MgcMatrix3& R) = 0;      // slot 25
  virtual void setPosition(const Mgc::MgcVector3& p) = 0;         // slot 26
  virtual void setLinearVelocity(const Mgc::MgcVector3& v) = 0;   // slot 27
  /// The world bounding box, recomputed; owned by the body.
  virtual ZOVbox* updateBounds() = 0;  // slot 28
  /// The bounding capsule, recomputed; owned by the body. Only the capsule
  /// kinds read `world`.
  virtual ZOVcapsule* getBoundingVolume(int world) = 0;  // slot 29
  /// The mesh placed in the world, or null without a mesh; owned by the body.
  virtual ZOVmesh* getWorldMesh() = 0;  // slot 30
  /// Copies parts of the current state into the initial state (kSave* bits).
  virtual void saveDynamics(int what) = 0;  // slot 31
  /// Back to the initial state.
  virtual void restoreDynamics() = 0;  // slot 32
  /// Backs up the last and current states, then last := current.
  virtual void storeLastDynamics() = 0;  // slot 33
  /// Velocities from the forces over dt seconds, with air damping when asked.
  virtual void integrateForces(double dt, bool damping) = 0;  // slot 34
  /// Position and orientation over dt seconds.
  virtual void integrateMotion(double dt) = 0;  // slot 35
  /// Returns the last and current states to their backups.
  virtual void rollbackDynamics() = 0;  // slot 36
  /// External force and torque to zero.
  virtual void clearExternalForces();  // slot 37
  /// Adds a force F (world) acting at the world point P.
  virtual void applyExternalForce(const Mgc::MgcVector3& F, const Mgc::MgcVector3& P);  // slot 38
  /// Adds a force acting at the reference point.
  virtual void applyExternalForce(const Mgc::MgcVector3& F);  // slot 39
  /// Adds a torque (world).
  virtual void applyExternalTorque(Mgc::MgcVector3 T);  // slot 40
  /// Contact extraction: moves by d and turns by the impulse `angular`, kept
  /// near the last integration step.
  virtual void translate(const Mgc::MgcVector3& d, const Mgc::MgcVector3& angular) = 0;  // slot 41
  /// Moves by d without bound.
  virtual void moveBy(const Mgc::MgcVector3& d) = 0;  // slot 42
  /// Turns by the rotation impulse `angular`.
  virtual void rotate(const Mgc::MgcVector3& angular) = 0;  // slot 43
  /// Deletes the mesh.
  virtual ~HardBody();  // slot 44

  // ---- Dynamics ------------------------------------------------------------

  /// 1 / inverse mass of the current state.
  double getMass() const { return 1.0 / dyn.invMass; }
  double getInvMass() const { return dyn.invMass; }
  void addDynForces(Mgc::MgcVector3 force) { dyn.dynForce += force; }
  void addDynTorques(Mgc::MgcVector3 torque) { dyn.dynTorque += torque; }
  void clearDynForces() { dyn.dynForce = Mgc::MgcVector3(); }
  void clearDynTorques() { dyn.dynTorque = Mgc::MgcVector3(); }
  Mgc::MgcVector3 getExternalForces() const { return dyn.externalForce; }
  Mgc::MgcVector3 getExternalTorques() const { return dyn.externalTorque; }
  /// Whether any external force or torque is applied.
  bool isExternalForces() const;
  /// Impulse J (world) at the world point P: changes the linear velocity and
  /// the angular momentum, and wakes the body. Non-finite input is ignored.
  void applyImpulse(const Mgc::MgcVector3& J, const Mgc::MgcVector3& P);
  /// Impulse J through the reference point: linear velocity only; wakes.
  void applyImpulse(const Mgc::MgcVector3& J);
  /// Angular impulse T (world): L += T; wakes.
  void applyTorque(const Mgc::MgcVector3& T);
  /// Angular momentum L (world); the angular velocity follows from the world
  /// inverse inertia. Non-finite input is ignored.
  void setAngularMomentum(const Mgc::MgcVector3& L);
  /// Velocity of the body at the world point P.
  Mgc::MgcVector3 getPointVelocity(const Mgc::MgcVector3& P) const;
  /// The scaled local centre placed in the world; also stored in the shape.
  Mgc::MgcVector3 computeWCenter();
  /// World centre and bounding-sphere radius.
  void getBSphere(Mgc::MgcVector3& center, double& radius);

  /// Current, initial and last state.
  const RBDynamics& getDyn() const { return dyn; }
  const RBDynamics& getDynInit() const { return dynInit; }
  const RBDynamics& getLastDyn() const { return dynLast; }

  // ---- Switches ------------------------------------------------------------

  bool isActive() const { return (flags & kBodyActive) != 0; }
  /// Wake-ups of every body so far, counted from any thread: while the count
  /// stays, no sleeper woke.
  static std::uint64_t wakeUps() { return wakeUpCount.load(std::memory_order_relaxed); }
  void enableStatic() { flags |= kBodyStatic; }
  void disableStatic() { flags &= ~kBodyStatic; }
  bool isStatic() const { return (flags & kBodyStatic) != 0; }
  void enableWorldUpdate() { flags |= kBodyWorldUpdate; }
  void disableWorldUpdate() { flags &= ~kBodyWorldUpdate; }
  /// Whether the world mesh and bounds are current.
  bool isWorldModified() const { return (flags & kBodyWorldUpdate) != 0; }
  void enableJoined() { flags |= kBodyJoined; }
  void disableJoined() { flags &= ~kBodyJoined; }
  bool isJoined() const { return (flags & kBodyJoined) != 0; }
  void enableInContact() { flags |= kBodyInContact; }
  void disableInContact() { flags &= ~kBodyInContact; }
  bool isInContact() const { return (flags & kBodyInContact) != 0; }
  void enableFirstHit() { flags |= kBodyFirstHit; }
  void disableFirstHit() { flags &= ~kBodyFirstHit; }
  void enableProcessed() { flags |= kBodyProcessed; }
  void disableProcessed() { flags &= ~kBodyProcessed; }
  bool isProcessed() const { return (flags & kBodyProcessed) != 0; }
  void enableJagginess() { flags |= kBodyJagginess; }
  void disableJagginess() { flags &= ~kBodyJagginess; }
  bool hasJagginess() const { return (flags & kBodyJagginess) != 0; }

  /// Processed mark of thread slot t (0 the calling thread, 1 up to the worker
  /// count the workers); a slot outside [0, kThreadSlotCount) is ignored and
  /// reads as unmarked.
  void enableProcessedThread(int t);
  void disableProcessedThread(int t);
  bool isProcessedThread(int t) const;
  /// The first marked thread slot, or -1 when none is marked.
  int getProcessedThreadID() const;

  // ---- Accessors -----------------------------------------------------------

  eHBodyType getType() const { return kind; }
  std::int32_t getContactStage() const { return contactStage; }
  void setContactStage(std::int32_t stage) { contactStage = stage; }
  /// Stacking level the collision passes give a body in contact (-1 for
  /// none yet); only they read it.
  std::int32_t getContactLevel() const { return contactLevel; }
  void setContactLevel(std::int32_t level) { contactLevel = level; }
  /// The body's index in the running collision pass's bounds table (-1
  /// outside one); written by the pass on the calling thread only.
  std::int32_t getPassSlot() const { return passSlot; }
  void setPassSlot(std::int32_t slot) { passSlot = slot; }
  /// Counts the recomputations of the world box: the bounds table boxes a
  /// body again only when it was recomputed.
  std::uint32_t getBoundsStamp() const { return boundsStamp; }
  /// The body's entry in the bounds table that keeps it between passes (-1
  /// for none); the table checks that the entry is still the body's.
  std::int32_t getBoundsEntry() const { return boundsEntry; }
  void setBoundsEntry(std::int32_t entry) { boundsEntry = entry; }
  std::int32_t getLayer() const { return layer; }
  void setLayer(std::int32_t value) { layer = value; }
  std::int32_t getGroupID() const { return groupId; }
  void setGroupID(std::int32_t id) { groupId = id; }
  /// The serial number the host gives a body at creation; the engine only
  /// keeps it.
  std::uint32_t getSerial() const { return serial; }
  void setSerial(std::uint32_t value) { serial = value; }
  /// The host's gap factor, in [0, 1]; the engine only keeps it.
  double getGapFactor() const { return gapFactor; }
  void setGapFactor(double value) { gapFactor = value; }
  /// The fracture body this body is a piece of, or null.
  HardBody* getParent() const { return parent; }
  void setParent(HardBody* body) { parent = body; }
  bool hasParent() const { return parent != nullptr; }
  /// The collision state; pair tests running on several workers may set one
  /// body's at once, so it is kept atomically.
  EMotionState getCollisionState() const { return collisionState.load(std::memory_order_relaxed); }
  void setCollisionState(EMotionState state) { collisionState.store(state, std::memory_order_relaxed); }

  /// Body-frame inertia tensor.
  Mgc::MgcMatrix3 getLocalInertiaTensor() const { return localInertia; }
  /// Rotation between the host object's pivot and the centre of mass;
  /// the identity until set.
  const Mgc::MgcMatrix3& getMatrixPivotCm() const {
    return pivot != nullptr ? pivot->rotation : Mgc::MgcMatrix3::IDENTITY;
  }
  /// When memory runs out for the pivot, it stays as it was.
  void setMatrixPivotCm(const Mgc::MgcMatrix3& R) {
    if (PivotCm* p = setPivot()) p->rotation = R;
  }
  /// Offset of the centre of mass from the host object's pivot; zero until
  /// set.
  const Mgc::MgcVector3& getTransPivotCm() const {
    return pivot != nullptr ? pivot->translation : Mgc::MgcVector3::ZERO;
  }
  /// When memory runs out for the pivot, it stays as it was.
  void setTransPivotCm(const Mgc::MgcVector3& t) {
    if (PivotCm* p = setPivot()) p->translation = t;
  }

  double getRestitutionCoeff() const { return restitution; }
  double getFrictionCoeff() const { return friction; }
  /// Tolerance of `translate`'s bound on the position; 1.0 or more: unbounded.
  double getExtractionCoeff() const { return extractionCoeff; }
  /// Non-finite values are ignored.
  void setExtractionCoeff(double c);
  double getAirDampingCoeff() const { return airDamping; }
  double getAirDampingCoeff2() const { return angularAirDamping; }
  /// Energy threshold of the world's activation pass.
  double getMinEnergy() const { return minEnergy; }
  void setMinEnergy(double energy) { minEnergy = energy; }

  /// Resting steps counted by the collision passes' rest test.
  std::int32_t getsleepCount() const { return sleepCount; }
  void countSleeping() { ++sleepCount; }
  void resetCountSleeping() { sleepCount = 0; }

  /// Gives the body `newMesh` to own; the old mesh is deleted. Passing the
  /// body's own mesh changes nothing.
  void setMesh(ZOVmesh* newMesh);

  // ---- Pass poses --------------------------------------------------------
  // The collision passes keep the narrow phase's answers for pairs of
  // bodies that did not move (see NarrowPhaseMemos): a body notes the pose
  // each pass finds it in, and counts the times it differed from the last.

  /// A number no other body of this process had or will have.
  std::uint64_t getIdentity() const { return identity; }
  /// Counts the changes of the shape in its own frame (its mesh replaced or
  /// moved), which a pose does not show.
  void countShapeChange() { ++shapeStamp; }
  /// Notes the current pose (position, orientation, scale, mesh and shape
  /// changes) as the pass pose, counting a new version when it differs from
  /// the one noted before. For bodies whose pairs may be kept only (plain
  /// hulls); others note nothing.
  void notePassPose();
  /// Whether the body stands in the pose last noted, with its world data
  /// current.
  bool atPassPose() const;
  /// The version of the pose last noted.
  std::uint32_t getPassPoseVersion() const { return passPose != nullptr ? passPose->version : 0; }
  /// The world bounding box as last computed.
  ZOVbox& getBbox() { return bbox; }
  /// The body's description in its own frame (id, name, box, scale, tag).
  HardBodyShape& getShape() { return shape; }
  const HardBodyShape& getShape() const { return shape; }

 protected:
  /// A body of the given kind at rest at the origin, unit mass, identity
  /// inertia, no mesh.
  explicit HardBody(eHBodyType bodyKind);

  /// World inertia R I R^T and world inverse inertia R I^-1 R^T of the
  /// current state from the local tensors and the current orientation R.
  void updateWorldTensors();
  /// Whether the current state moved more than the tolerance (squared
  /// distance) from the last one, or turned: some entry of last R times
  /// current R^T off the identity by the tolerance or more.
  bool movedSinceLast() const;
  /// The bounding box around the scaled box of the shape record, placed by
  /// the current state (centre computeWCenter, axes R B).
  ZOVbox* placeBoundingBox();
  /// Copies into the initial state what `what` names (the first of kSaveAll,
  /// kSaveMass, kSaveLinearVelocity, kSaveAngularVelocity that is set);
  /// kSaveAll also keeps restitution and friction as their initial values.
  void saveState(int what);

  /// The bounding capsule around the bounding box as it stands: the box axis
  /// of the largest unscaled box side, the box's length along it and twice
  /// its largest other half extent as radius. Null when memory runs out for
  /// the capsule.
  ZOVcapsule* capsuleAroundBox();
  /// The last state, for a change other than a store or a rollback: the
  /// backup of the current state that it stands for is copied first (when
  /// memory runs out for the copy, the backup follows the last state).
  RBDynamics& changeLast();
  /// storeLastDynamics on the states: backup of the last state = last,
  /// backup of the current state = current, then last = current.
  void storeLastStates();
  /// rollbackDynamics on the states: current = backup of the current state,
  /// last = backup of the last state; the backups stay.
  void rollbackStates();
  /// The backup of the current state as it stands.
  const RBDynamics& currentBackup() const;

  struct PivotCm;
  /// The pivot, made (the identity and zero) when the body has none; null
  /// when memory runs out.
  PivotCm* setPivot();

  /// Counts a wake-up (see wakeUps); every activation calls it.
  static void countWakeUp() { wakeUpCount.fetch_add(1, std::memory_order_relaxed); }

  /// Cleared by the world before every step.
  std::int32_t contactStage = 0;
  /// Written and read by the collision passes.
  std::int32_t contactLevel = 0;
  std::int32_t passSlot = -1;
  std::int32_t boundsEntry = -1;
  std::uint32_t boundsStamp = 0;
  std::int32_t layer = 0;
  std::int32_t groupId = 0;
  std::uint32_t serial = 0;
  double gapFactor = 0.0;
  HardBody* parent = nullptr;
  /// kBody* bits.
  std::uint32_t flags = 0;
  eHBodyType kind;
  /// The processed marks, bit t for thread slot t. Each thread sets and
  /// clears only its own bit, possibly while others change theirs, hence the
  /// atomic read-modify-writes.
  std::atomic<std::uint64_t> processedThreads{0};
  static_assert(kThreadSlotCount <= 64, "one bit per thread slot");
  Mgc::MgcMatrix3 localInvInertia;
  Mgc::MgcMatrix3 localInertia;
  /// The pivot of the host object, kept by the pieces of fracture bodies
  /// only: other bodies keep none and answer the identity and zero.
  struct PivotCm {
    Mgc::MgcMatrix3 rotation{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    Mgc::MgcVector3 translation;
  };
  std::unique_ptr<PivotCm> pivot;
  double restitution = 0.0;
  double initialRestitution = 0.0;
  double friction = 0.0;
  double initialFriction = 0.0;
  double extractionCoeff = 0.0;
  /// Fractions lost per 1/100 s, in [0, 1].
  double airDamping = 0.0;
  double angularAirDamping = 0.0;
  double minEnergy = 0.0;
  std::int32_t sleepCount = 0;
  /// What the host set up; restoreDynamics returns to it.
  RBDynamics dynInit;
  /// The state at the start of the world's advance. Changed by
  /// storeLastStates and rollbackStates, otherwise only through changeLast.
  RBDynamics dynLast;
  /// The state being integrated.
  RBDynamics dyn;
  /// Backups taken by storeLastDynamics for rollbackDynamics.
  RBDynamics dynLastBackup;
  /// The backup of the current state equals the last state from the store
  /// until the last state changes otherwise, which is rare (placing,
  /// restoring, resetting a body): the last state stands for it meanwhile
  /// (`backupIsLast`), and a copy is made only when the last state changes.
  /// Null and not stood for: the zeroed record of a body never stored.
  std::unique_ptr<RBDynamics> dynBackup;
  bool backupIsLast = false;
  std::atomic<EMotionState> collisionState{kMotionStateNone};
  std::unique_ptr<ZOVmesh> mesh;
  /// The bounding capsule of capsuleAroundBox, made when first asked for:
  /// only drawing asks.
  std::unique_ptr<ZOVcapsule> bcapsule;
  ZOVbox bbox;
  HardBodyShape shape;

 private:
  /// What the world data of a placed mesh are made from.
  struct PassPose {
    Mgc::MgcVector3 position;
    Mgc::MgcMatrix3 orientation;
    Mgc::MgcVector3 scale;
    const ZOVmesh* mesh = nullptr;
    std::uint32_t shapeStamp = 0;
    std::uint32_t version = 0;
  };
  /// Whether the body may keep a pass pose: a plain hull whose mesh moves
  /// as one.
  bool keepsPassPose() const;
  /// Whether `pose` is the body's current one.
  bool isPassPose(const PassPose& pose) const;

  static std::atomic<std::uint64_t> wakeUpCount;
  static std::atomic<std::uint64_t> identities;
  /// Puts both counters back at 0 at each load of the module.
  static const zov::platform::ModuleStateReset countersReset;
  std::uint64_t identity = identities.fetch_add(1, std::memory_order_relaxed) + 1;
  std::uint32_t shapeStamp = 0;
  /// Made by the first notePassPose of a body that keeps one.
  std::unique_ptr<PassPose> passPose;
};
