#pragma once

#include <cstdint>

#include "engine/WorldFlags.h"
#include "math/MgcVector3.h"

class DynamicStress;
class HardBody;

/// The world as the host side sees it: the shared state (momenta, energy,
/// gravity, switches, body counts) with its accessors, and the simulation
/// operations as virtuals that PrivateWorld implements.
///
/// Ownership: a body added to the world belongs to the world until
/// removeBody takes it out again; the deleting operations and the destructor
/// delete the bodies still on its lists. The world is made and destroyed by
/// the factory (createWorld, deleteWorld).
class PublicWorld {
 public:
  // ---- Simulation operations, in slot order -------------------------------

  /// Whether the two bodies' bounding boxes, each with half its extents,
  /// overlap.
  virtual bool bodiesOverlap(HardBody* a, HardBody* b) = 0;  // slot 0
  /// The squared distance of the closest facing faces of two hull or
  /// triangle-mesh bodies, with their vertices, faces and closest points;
  /// zov::kMaxFloat for any other pair.
  virtual double bodyDistance(HardBody* a, HardBody* b, std::uint32_t& vertexA, std::uint32_t& vertexB,
                              std::uint32_t& faceA, std::uint32_t& faceB, Mgc::MgcVector3& pointA,
                              Mgc::MgcVector3& pointB) = 0;  // slot 1
  /// Back to the body's initial state.
  virtual void restoreBody(HardBody* body) = 0;  // slot 2
  /// Activates the body (and, for a fracture body, its family).
  virtual bool activateBodyTree(HardBody* body) = 0;  // slot 3
  /// Deletes every body and rebuilds; true.
  virtual bool reset() = 0;  // slot 4
  /// Rebuilds the collision structures and the body lists.
  virtual void rebuild() = 0;  // slot 5
  /// Integrates every awake body over dt seconds in steps of 1/300 s; writes
  /// 0 to *out when it is not null; true.
  virtual bool advance(double dt, std::int64_t* out) = 0;  // slot 6
  virtual bool alignRestingBodies() = 0;                   // slot 7
  /// advance with the same arguments; true.
  virtual bool advanceWithGravity(double dt, std::int64_t* out) = 0;  // slot 8
  /// Collision detection and contact resolution for the bodies as they
  /// stand; false after an allocation failure (the world rebuilt itself) or
  /// without a collision manager.
  virtual bool step(double dt) = 0;  // slot 9
  /// Retires what split in the step.
  virtual void postStep() = 0;  // slot 10
  /// The impulse of one body's contact at a point.
  /// The impact of an outside point mass on `body` (see
  /// CollisionManager::resolveBodyImpact); `partnerVelocity` takes the
  /// partner's new velocity.
  virtual void resolveBodyImpact(HardBody* body, double restitution, double friction, const Mgc::MgcVector3& point,
                                 double partnerInvMass, const Mgc::MgcVector3& normal,
                                 Mgc::MgcVector3& partnerVelocity) = 0;  // slot 11
  /// Whether the world holds the body (crackers are not searched).
  virtual bool containsBody(HardBody* body) = 0;  // slot 12
  /// Files the body by its active and static bits (layer 0 only, except for
  /// crackers and barriers); the world owns it afterwards. False for null.
  virtual bool addBody(HardBody* body, std::int32_t layer) = 0;  // slot 13
  /// Takes the body off the world's lists; the caller owns it again. False
  /// for null.
  virtual bool removeBody(HardBody* body) = 0;  // slot 14
  /// Wakes the body and files it as awake.
  virtual bool activateBody(HardBody* body) = 0;  // slot 15
  /// Parks the body on the inactive list and puts it to sleep.
  virtual bool deactivateBody(HardBody* body) = 0;  // slot 16
  /// Clears the static bit and files the body again.
  virtual void makeBodyDynamic(HardBody* body, HardBody* owner) = 0;  // slot 17
  /// Sets the static bit and files the body again.
  virtual void makeBodyStatic(HardBody* body, HardBody* owner) = 0;          // slot 18
  virtual bool disconnectBodies(DynamicStress* joint, HardBody* owner) = 0;  // slot 19
  virtual bool connectBodies(DynamicStress* joint, HardBody* owner) = 0;     // slot 20
  /// Lists the bodies through the engine's trace, which writes nothing.
  virtual void dumpState() = 0;  // slot 21
  /// Empties the dynamic, sleeping and inactive lists; deletes nothing.
  virtual void clearBodies() = 0;  // slot 22
  /// Deletes the bodies of the dynamic and inactive lists.
  virtual void deleteBodies() = 0;  // slot 23
  /// Empties every list; deletes nothing.
  virtual void clearAllBodies() = 0;  // slot 24
  /// Deletes every body of every list.
  virtual void deleteAllBodies() = 0;  // slot 25
  /// Dynamic and static bodies, with the pieces of fracture bodies.
  virtual std::uint32_t countSubBodies() = 0;  // slot 26
  /// The collision manager's bodyPartners.
  virtual std::uint32_t bodyPartners(HardBody* body, HardBody*** out) = 0;  // slot 27
  /// The collision manager's pairContacts.
  virtual std::uint32_t pairContacts(HardBody* a, HardBody* b, Mgc::MgcVector3** out) = 0;  // slot 28
  /// The collision manager's pairContactsDetailed.
  virtual std::uint32_t pairContactsDetailed(HardBody* a, HardBody* b, Mgc::MgcVector3** normals,
                                             double** depths) = 0;  // slot 29
  virtual void releaseAllPairs() = 0;                               // slot 30
  /// The first body with that name: dynamic, then inactive, then static.
  virtual HardBody* findBodyByName(const char* name) = 0;  // slot 31
  /// Moves a body between the dynamic and the static list after its static
  /// bit changed.
  virtual void registerBody(HardBody* body, bool dynamic) = 0;  // slot 32
  /// Milliseconds of a wall clock, stored as the timer's start.
  virtual long startTimer() = 0;  // slot 33
  /// Milliseconds since startTimer; the seconds go to getElapsedTime.
  virtual long stopTimer() = 0;         // slot 34
  virtual double getElapsedTime() = 0;  // slot 35
  virtual void useAllThreads() = 0;     // slot 36
  virtual void setSingleThread() = 0;   // slot 37
  /// Threads of the collision passes, the calling thread included; 0 is
  /// taken as 1.
  virtual void setThreadCount(std::uint32_t n) = 0;  // slot 38
  /// 0 without a collision manager.
  virtual std::uint32_t getThreadCount() = 0;   // slot 39
  virtual std::int32_t getNumProcessors() = 0;  // slot 40
  virtual ~PublicWorld();                       // slot 41

  // ---- State ---------------------------------------------------------------

  /// Momenta and energies are only stored: nothing recomputes them.
  Mgc::MgcVector3 GetMomentumLineal() const { return linearMomentum; }
  Mgc::MgcVector3 GetMomentumAngular() const { return angularMomentum; }
  double GetEnergy() const { return energy; }
  double GetMinEnergy() const { return minEnergy; }
  void SetMinEnergy(double value) { minEnergy = value; }
  Mgc::MgcVector3 GetGravity() const { return gravity; }
  void SetGravity(Mgc::MgcVector3 value) { gravity = value; }

  /// numDynamicBodies + numStaticBodies.
  std::int32_t getNumberOfBodies() const { return numDynamicBodies + numStaticBodies; }
  std::int32_t getNumberOfStaticBodies() const { return numStaticBodies; }

  void enableAirDamping() { flags |= kWorldAirDamping; }
  void disableAirDamping() { flags &= ~kWorldAirDamping; }
  bool isAirDampingActive() const { return (flags & kWorldAirDamping) != 0; }
  void enableFriction() { flags |= kWorldFriction; }
  void disableFriction() { flags &= ~kWorldFriction; }
  bool isFrictionActive() const { return (flags & kWorldFriction) != 0; }
  void enableGravity() { flags |= kWorldGravity; }
  void disableGravity() { flags &= ~kWorldGravity; }
  bool isGravityActive() const { return (flags & kWorldGravity) != 0; }
  void enableDetectMode() { flags |= kWorldDetectMode; }
  void disableDetectMode() { flags &= ~kWorldDetectMode; }
  bool isDetectModeActive() const { return (flags & kWorldDetectMode) != 0; }
  void enableRepportCollisions() { flags |= kWorldReportCollisions; }
  void disableRepportCollisions() { flags &= ~kWorldReportCollisions; }
  bool isRepportCollisionsActive() const { return (flags & kWorldReportCollisions) != 0; }
  void enableBodyChangeState() { flags |= kWorldBodyChangeState; }
  void disableBodyChangeState() { flags &= ~kWorldBodyChangeState; }
  bool isBodyChangeState() const { return (flags & kWorldBodyChangeState) != 0; }
  void enableBodyDeactivation() { flags |= kWorldBodyDeactivation; }
  void disableBodyDeactivation() { flags &= ~kWorldBodyDeactivation; }
  bool isBodyDeactivationEnabled() const { return (flags & kWorldBodyDeactivation) != 0; }

 protected:
  /// Zero momenta and gravity, flags kWorldDefaultFlags, no bodies.
  PublicWorld() = default;
  /// Member-wise, counts and flags included.
  PublicWorld(const PublicWorld&) = default;
  PublicWorld& operator=(const PublicWorld&) = default;

  Mgc::MgcVector3 linearMomentum;
  Mgc::MgcVector3 angularMomentum;
  double energy = 0.0;
  double linearEnergy = 0.0;
  double angularEnergy = 0.0;
  double minEnergy = 0.0;
  Mgc::MgcVector3 gravity;
  /// kWorld* bits.
  std::uint32_t flags = kWorldDefaultFlags;
  /// Only written.
  double timeScale = 1.0;
  /// Bodies on the dynamic and the sleeping list.
  std::int32_t numDynamicBodies = 0;
  /// Bodies on the static list.
  std::int32_t numStaticBodies = 0;
};

/// The one world, set by createWorld and cleared by deleteWorld; the host
/// side does nothing with the world while it is null.
extern PublicWorld* theWorld;
