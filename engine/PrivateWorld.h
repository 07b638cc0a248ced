#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/PublicWorld.h"
#include "engine/fracture/FractureHolder.h"
#include "geometry/EngineList.h"

class CollisionManager;
class FractureBody;

/// The fixed integration step of the advance: 1/300 s held as a
/// single-precision value.
constexpr double kWorldIntegrationStep = static_cast<double>(1.0f / 300.0f);

/// The world: six body lists, the collision manager, and the step and
/// advance that drive them.
///
/// Lists: `dynamicBodies` holds the awake movable bodies that are integrated;
/// `staticBodies` the static ones (and bodies parked static until their first
/// hit); `inactiveBodies` the bodies that are held but not simulated, among
/// them the ones on `sleepingBodies`, which the sleep and wake pass put to
/// sleep and will wake; crackers and barriers have lists of their own. A body
/// is on at most one of the dynamic, static and inactive lists, at most once.
/// `numDynamicBodies` counts the dynamic and the sleeping list,
/// `numStaticBodies` the static list.
///
/// Bodies on the lists are owned by the world. All operations run on the
/// host's thread; the collision manager's workers run only inside step and
/// advance and have ended when they return.
class PrivateWorld : public PublicWorld, public FractureHolder {
 public:
  /// Flags kWorldDefaultFlags, gravity (0, -10, 0), empty lists and a new
  /// collision manager (none when it cannot be made: such a world refuses to
  /// step and advance).
  PrivateWorld();
  PrivateWorld(const PrivateWorld&) = delete;
  PrivateWorld& operator=(const PrivateWorld&) = delete;
  /// Deletes the collision manager, then every body on every list.
  ~PrivateWorld() override;

  bool bodiesOverlap(HardBody* a, HardBody* b) override;
  double bodyDistance(HardBody* a, HardBody* b, std::uint32_t& vertexA, std::uint32_t& vertexB, std::uint32_t& faceA,
                      std::uint32_t& faceB, Mgc::MgcVector3& pointA, Mgc::MgcVector3& pointB) override;
  void restoreBody(HardBody* body) override;
  bool activateBodyTree(HardBody* body) override;
  bool reset() override;
  void rebuild() override;
  bool advance(double dt, std::int64_t* out) override;
  bool alignRestingBodies() override;
  bool advanceWithGravity(double dt, std::int64_t* out) override;
  bool step(double dt) override;
  void postStep() override;
  void resolveBodyImpact(HardBody* body, double restitution, double friction, const Mgc::MgcVector3& point,
                         double partnerInvMass, const Mgc::MgcVector3& normal,
                         Mgc::MgcVector3& partnerVelocity) override;
  bool containsBody(HardBody* body) override;
  bool addBody(HardBody* body, std::int32_t layer) override;
  bool removeBody(HardBody* body) override;
  bool activateBody(HardBody* body) override;
  bool deactivateBody(HardBody* body) override;
  void makeBodyDynamic(HardBody* body, HardBody* owner) override;
  void makeBodyStatic(HardBody* body, HardBody* owner) override;
  bool disconnectBodies(DynamicStress* joint, HardBody* owner) override;
  bool connectBodies(DynamicStress* joint, HardBody* owner) override;
  void dumpState() override;
  void clearBodies() override;
  void deleteBodies() override;
  void clearAllBodies() override;
  void deleteAllBodies() override;
  std::uint32_t countSubBodies() override;
  std::uint32_t bodyPartners(HardBody* body, HardBody*** out) override;
  std::uint32_t pairContacts(HardBody* a, HardBody* b, Mgc::MgcVector3** out) override;
  std::uint32_t pairContactsDetailed(HardBody* a, HardBody* b, Mgc::MgcVector3** normals, double** depths) override;
  void releaseAllPairs() override;
  HardBody* findBodyByName(const char* name) override;
  void registerBody(HardBody* body, bool dynamic) override;
  long startTimer() override;
  long stopTimer() override;
  double getElapsedTime() override;
  void useAllThreads() override;
  void setSingleThread() override;
  void setThreadCount(std::uint32_t n) override;
  std::uint32_t getThreadCount() override;
  std::int32_t getNumProcessors() override;

  /// Hands the joint to the fracture body (connectBodies); false when either
  /// is null.
  bool attachJointToBody(DynamicStress* joint, FractureBody* body);
  /// Takes the joint out of the fracture body and files each of its bodies
  /// that the fracture body and its fragments no longer hold as a world body
  /// (disconnectBodies); false when either is null.
  bool detachJointFromBody(DynamicStress* joint, FractureBody* body);
  /// Takes the body off every list (the dynamic, static, inactive and
  /// sleeping ones with their counts, or its own list for a cracker or
  /// barrier) and releases its collision records; nothing else changes, and
  /// the caller owns the body again. False for null.
  bool unlinkBody(HardBody* body) override;

  /// Switch the collision manager's ordered extraction on or off (nothing
  /// without a manager).
  void enableManagerOption();
  void disableManagerOption();

  // ---- Inspection ----------------------------------------------------------

  CollisionManager* getCollisionManager() const { return collisionManager.get(); }
  const EngineList<HardBody*>& getDynamicBodies() const { return dynamicBodies; }
  const EngineList<HardBody*>& getStaticBodies() const { return staticBodies; }
  const EngineList<HardBody*>& getInactiveBodies() const { return inactiveBodies; }
  const EngineList<HardBody*>& getSleepingBodies() const { return sleepingBodies; }
  const EngineList<HardBody*>& getCrackerBodies() const { return crackerBodies; }
  const EngineList<HardBody*>& getBarrierBodies() const { return barrierBodies; }
  std::int32_t getNumDynamicBodies() const { return numDynamicBodies; }
  std::int32_t getNumActiveBodies() const { return numActiveBodies; }
  /// Whether each list's walk-order array holds the list's bodies in the
  /// list's order (the arrays the step's per-body walks read).
  bool listOrdersMatchLists() const;
  /// Whether the lists keep their rules: the walk-order arrays match them,
  /// each list holds a body at most once and exactly the bodies its
  /// membership bit names, a body is on at most one of the dynamic, static
  /// and inactive lists, every sleeper is inactive, and numDynamicBodies and
  /// numStaticBodies count what they say.
  bool listsKeepTheirRules() const;
  /// The length of the last integration or collision step.
  double getStepTime() const { return stepTime; }

  /// The next id the world gives a body without one (process-wide).
  static std::uint32_t getNextBodyIndex();

 protected:
  /// Clears the per-step marks of every body and releases the last step's
  /// pair records.
  void preStep();
  /// Gravity and the integration of forces for every awake body.
  void applyForces(double h);
  /// applyForces for one body.
  void applyForcesTo(HardBody* body, double h);
  /// storeLastDynamics on the dynamic, then the static bodies.
  void storeBodyStates();
  /// Moves bodies whose static bit changed between the dynamic and the
  /// static list.
  void refileChangedBodies();
  /// The sleep and wake pass, with the motion integration of every awake body
  /// and, when `next` is above 0, applyForces(next) for the next integration
  /// step.
  void updateActivation(double h, double next = 0.0);
  /// Deletes the collision manager, leaving the world as one whose manager
  /// could not be made.
  void dropCollisionManager();

 private:
  /// Which lists hold a body: one bit per list, so that membership tests do
  /// not walk the lists.
  enum ListBit : std::uint8_t {
    kOnDynamic = 0x1,
    kOnStatic = 0x2,
    kOnInactive = 0x4,
    kOnSleeping = 0x8,
    kOnCrackers = 0x10,
    kOnBarriers = 0x20,
  };

  /// The number of ListBit lists.
  static constexpr int kListKinds = 6;

  /// Gives the body an id when it has none and keeps the process-wide
  /// counter above every id given.
  static void assignBodyIndex(HardBody* body);
  EngineList<HardBody*>& listFor(ListBit list);
  /// The list's bodies in the order the list walks them.
  std::vector<HardBody*>& orderFor(ListBit list);
  /// Takes the body out of the list's walk-order array, which holds it.
  void eraseFromOrder(ListBit list, const HardBody* body);
  /// Room in the list's array for one more body; false when memory runs out.
  bool roomInOrder(ListBit list);
  /// Whether the list holds the body.
  bool isOn(const HardBody* body, ListBit list) const;
  /// Links the body first in the list, or (sorted) after the last body whose
  /// id is not greater, unless the list holds it already. False when it is
  /// not on the list afterwards (no memory).
  bool linkFirst(ListBit list, HardBody* body);
  bool linkSorted(ListBit list, HardBody* body);
  /// Takes the body off the list; nothing when it is not there.
  void unlinkFrom(ListBit list, HardBody* body);
  /// Empties the list (nodes to its spare cache).
  void emptyList(ListBit list);
  /// Records that the list now holds the body; false (with the body taken
  /// off the list again) when memory runs out.
  bool markOn(HardBody* body, ListBit list);
  /// The manager's pair and body records, and the report's pairs of `body`.
  void releaseRecords(HardBody* body);
  /// Thread slots the passes use: the calling thread's and one per worker.
  int threadSlotsInUse() const;
  /// Sizes the body's worker states to the slots in use.
  void sizeWorkerStates(HardBody* body) const;
  /// Sizes every held body's worker states after the thread count changed.
  void sizeAllWorkerStates();
  /// Off the inactive list, and off the sleeping list with its count.
  void unlinkInactive(HardBody* body);
  /// Off whichever of the dynamic, static and inactive lists holds the
  /// body, except `keep`, with the counts.
  void unlinkExcept(HardBody* body, ListBit keep);
  /// Records on a fracture body whether this world's lists hold it.
  void noteHeld(const HardBody* body, bool held);
  /// The fracture-body steps of addBody and removeBody.
  void addFractureParts(FractureBody* body);
  void removeFractureParts(FractureBody* body);
  /// Deletes the bodies, fracture bodies first, except fragments, which
  /// their fracture body owns.
  static void deleteOwnedBodies(const std::vector<HardBody*>& bodies);
  /// Empties the lists and frees their spare nodes, then deleteOwnedBodies on
  /// the bodies taken off them.
  void emptyAndDelete(std::initializer_list<ListBit> lists, const std::vector<HardBody*>& doomed);
  /// The world's gravity as a unit vector (unchanged when it is shorter than
  /// the tolerance).
  Mgc::MgcVector3 unitGravity() const;
  /// Calls fn(body) for every body of `bodies`, spread over the collision
  /// passes' helpers; fn must touch no body but its own (and its pieces).
  template <typename Fn>
  void forEachBody(const std::vector<HardBody*>& bodies, Fn&& fn);
  /// The bodies of `bodies` for which test(body) holds, in their order, into
  /// `out`; test runs spread over the helpers and, as forEachBody's fn, must
  /// touch no body but its own (and its pieces).
  void selectBodies(const std::vector<HardBody*>& bodies, std::vector<HardBody*>& out,
                    const std::function<bool(HardBody*)>& test);

  std::unique_ptr<CollisionManager> collisionManager;
  double stepTime = 0.0;
  double elapsedTime = 0.0;
  /// Awake dynamic bodies plus the static ones, as the last sleep and wake
  /// pass found them.
  std::int32_t numActiveBodies = 0;
  /// HardBody::wakeUps() when every sleeper was last found asleep, and
  /// whether they ever were: only updateActivation links sleepers, each
  /// asleep, so until a body wakes there is none to look for.
  std::uint64_t sleepersAsleepAt = 0;
  bool sleepersChecked = false;
  EngineList<HardBody*> dynamicBodies;
  EngineList<HardBody*> staticBodies;
  EngineList<HardBody*> inactiveBodies;
  EngineList<HardBody*> sleepingBodies;
  EngineList<HardBody*> crackerBodies;
  EngineList<HardBody*> barrierBodies;
  /// Each list's bodies in the order the list walks them, by ListBit bit
  /// position, kept in step with the list by every link and unlink: the
  /// step's per-body walks read these arrays rather than follow the list's
  /// nodes, which lie scattered in memory.
  std::vector<HardBody*> listOrders[kListKinds];
  /// ListBit bits of every body some list holds.
  std::unordered_map<const HardBody*, std::uint8_t> listBits;
  /// The bodies a walk of the step picked out, kept for its storage.
  std::vector<HardBody*> changedBodies;
  /// selectBodies's answers, one a body, kept for their storage.
  std::vector<std::uint8_t> selected;
};
