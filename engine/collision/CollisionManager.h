#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "engine/ThreadSlots.h"
#include "engine/bodies/MotionState.h"
#include "engine/collision/BroadPhase.h"
#include "engine/collision/ContactDepths.h"
#include "engine/collision/ContactResolver.h"
#include "engine/collision/ContactSet.h"
#include "engine/collision/ManifoldPool.h"
#include "engine/collision/PairDealer.h"
#include "engine/collision/PairDispatcher.h"
#include "engine/collision/PairPool.h"
#include "engine/collision/PileHolder.h"
#include "engine/collision/narrowphase/NarrowPhaseMemos.h"
#include "engine/collision/threads/AccessOrder.h"
#include "engine/collision/threads/CollisionWorkers.h"
#include "engine/collision/threads/WorkerPool.h"
#include "geometry/EngineList.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"

class CollisionPair;
class ContactManifold;
class FractureBody;
class HardBody;
class LsqrSystem;
class Pk_jump;
class PrivateHardBody;
class SolverWorkspace;
class WorkerPool;
class ContactBlocks;
class DetectionPass;
struct dmat;
struct dvec;

/// Most partners bodyPartners reports.
constexpr std::uint32_t kMaxPartners = 32;
/// Most bodies one task of a pass may read or write.
constexpr std::uint32_t kMaxTaskBodies = 64;

/// The world's collision and contact engine. The world owns exactly one. It
/// owns the pools of pair and manifold records, every working list of the
/// collision passes, the contact solver's workspaces, the narrow phase and
/// the worker table; bodies on its lists belong to the world.
///
/// Used by the world's thread; only the contact pass's workers touch it
/// concurrently, each through its own lists and pool. Queries and releases
/// must not run during a step.
class CollisionManager {
 public:
  /// Builds the pools, lists, workspaces and workers (thread count 1).
  /// Throws std::bad_alloc when memory runs out.
  CollisionManager();
  CollisionManager(const CollisionManager&) = delete;
  CollisionManager& operator=(const CollisionManager&) = delete;
  /// Frees everything the manager holds; the worker threads have ended.
  virtual ~CollisionManager();

  // ---- Pools ---------------------------------------------------------------

  /// A free pair record of worker `worker` (0 = the calling thread), making
  /// kPairBatch new ones when its pool is empty. Null when `worker` is above
  /// the worker count or memory runs out.
  CollisionPair* threadBuffer(std::uint32_t worker);
  /// Gives a record back to worker `worker`'s pool; nothing for a worker
  /// above the worker count or a null record.
  void queueContact(CollisionPair* record, std::uint32_t worker);
  /// Every pair record back in the calling thread's pool (the others freed),
  /// the inline manifolds free again, every list empty. The first step of the
  /// world's rebuild; also after a step that failed part way.
  void clearAll();
  /// The step's pairs and the cracker pairs back to the calling thread's
  /// pool; the manifolds in use back to the free ones.
  void releasePairRecords();
  /// The manifolds in use back to the free ones, clearing the in-contact bit
  /// of each manifold's body.
  void releaseBodyRecords();
  /// The narrow phase's answers kept between passes for hull pairs that do
  /// not move; tests switch them off to compare.
  NarrowPhaseMemos& narrowPhaseMemos() { return narrowMemos; }
  /// Hands the first u32 of `record` (a mode, or a hull's vertex count) to
  /// the narrow phase, whose handler changes nothing. A null record hands 0.
  void setNarrowPhaseMode(const std::uint32_t* record);

  // ---- Queries -------------------------------------------------------------

  /// The bodies in a reported pair with `body`, at most kMaxPartners, in a
  /// buffer that the manager owns (*out, valid until destruction). Returns
  /// their number; 0 (and *out untouched) when the buffer cannot be made.
  std::uint32_t bodyPartners(HardBody* body, HardBody*** out);
  /// The world contact points of the reported pair of a and b (either
  /// order), in an array that the manager owns and replaces at the next call.
  /// Returns their number; 0, with *out untouched, for no pair, no points or
  /// no memory.
  std::uint32_t pairContacts(HardBody* a, HardBody* b, Mgc::MgcVector3** out);
  /// The normals and depths of every contact of the step's pairs of a and b,
  /// normals seen as (a, b): a pair holding them as (b, a) gives its normals
  /// negated. Arrays owned by the manager, replaced at the next call. Returns
  /// the number of contacts; 0, with the outputs untouched, for none or no
  /// memory.
  std::uint32_t pairContactsDetailed(HardBody* a, HardBody* b, Mgc::MgcVector3** normals, double** depths);
  /// Every reported pair back to the calling thread's pool.
  void releaseAllPairs();
  /// The reported pairs that hold `body` back to the calling thread's pool,
  /// so that no report names a body the world no longer holds.
  void releaseBodyPairs(const HardBody* body);

  // ---- Passes --------------------------------------------------------------

  /// The sequential detection pass over the given lists: the active bodies
  /// move, the static, sleeping and barrier bodies rest. 1 when some pair is
  /// in contact, else 0.
  int detectContacts(EngineList<HardBody*>* active, EngineList<HardBody*>* statics, EngineList<HardBody*>* sleeping,
                     EngineList<HardBody*>* barriers);
  /// Every cracker against the active, the static and the sleeping bodies:
  /// 0 at once without crackers; 1 when some cracker pair holds contacts,
  /// else 0. A sleeping body a cracker touches is woken.
  int testCrackerPairs(EngineList<HardBody*>* crackers, EngineList<HardBody*>* active, EngineList<HardBody*>* statics,
                       EngineList<HardBody*>* sleeping = nullptr);
  /// The contact pass: the detection pass's rules, its pair tests spread
  /// over the helpers, with the pieces of fracture bodies tested in place of
  /// their bodies (two pieces of one body never against each other) and the
  /// pairs of pieces lifted to their fracture bodies at the end. Sleeping
  /// bodies rest like static ones, so that a moving body lands on a sleeper
  /// instead of passing through it, and no touch wakes them. The same rules
  /// at every thread count, one included, so the result does not depend on
  /// it; returns after its helpers have ended. 1 when some pair is in
  /// contact.
  int contactPass(EngineList<HardBody*>* active, EngineList<HardBody*>* statics, EngineList<HardBody*>* sleeping,
                  EngineList<HardBody*>* barriers);
  /// The bodies a pass meets: each list's bodies in the order the engine's
  /// list walks them (null for none), as arrays that the pass reads without
  /// following list nodes.
  struct PassBodies {
    const std::vector<HardBody*>* active = nullptr;
    const std::vector<HardBody*>* statics = nullptr;
    const std::vector<HardBody*>* sleeping = nullptr;
    const std::vector<HardBody*>* barriers = nullptr;
    /// No body is on two of the lists, nor twice on one (the world's
    /// lists): the pass may place them all at once.
    bool distinct = false;
  };
  /// The contact pass over the lists as arrays.
  int contactPass(const PassBodies& bodies);
  /// The collision report: the step's pairs copied into the reported pairs.
  void refreshPairList();
  /// The contact and joint solver of a step (mode 1): the hits on fracture
  /// bodies, then the step's pairs and the cracker pairs. Sets
  /// kWorldBodyChangeState in `outFlags` when a body changed state. May throw
  /// std::bad_alloc.
  void processHits(const int& mode, const Mgc::MgcVector3& gravityDirection, EngineList<HardBody*>* active,
                   EngineList<HardBody*>* statics, std::uint32_t& outFlags);
  /// The hit of one pair on its fracture body (or both, when both are): a
  /// hit whose impact measure passes the body's limit (or that is forced: a
  /// static fracture body hit by a heavier body, or by a static one that
  /// moves) may trigger secondary cracks, then gives each contact's nearest
  /// piece an impulse and walks it into the joints. Runs on `worker`'s
  /// state slots.
  void secondaryImpacts(CollisionPair* pair, std::uint32_t worker, int mode);
  /// The impulse of a collision with restitution `restitution` between the
  /// piece and the other body at the world point, along the unit normal
  /// pointing from the other body towards the piece, on both bodies' state
  /// slot `worker` (the other body's only when it moves). False, with
  /// nothing changed, when they separate there.
  bool applyImpactImpulse(PrivateHardBody* piece, HardBody* other, const Mgc::MgcVector3& point,
                          const Mgc::MgcVector3& normal, double restitution, std::uint32_t worker, bool unbounded);
  /// The two sides of a hit: for each, the hit piece, its fracture body and
  /// whether that side takes the hit.
  struct ImpactHit {
    PrivateHardBody* piece[2] = {nullptr, nullptr};
    FractureBody* compound[2] = {nullptr, nullptr};
    bool hit[2] = {false, false};
  };
  /// For each side that takes the hit: a fresh pass of `worker` over its
  /// fracture body (the hit piece keeping its slot), then the impact walk
  /// from the hit piece, direct when `forced`.
  void propagateImpacts(const ImpactHit& hit, bool forced, std::uint32_t worker);
  /// The per-pair processing over the step's pairs: mode 2 (each integration
  /// step) empties each pair's manifold links first, mode 1 (the step's hit
  /// processing) maintains them along the gravity direction. The pairs, in
  /// list order, run through the threaded pair processing at every thread
  /// count (one thread runs what the helpers would). ORs the pairs' state
  /// changes into `outFlags`.
  void processPairs(EngineList<HardBody*>* active, const int& mode, const Mgc::MgcVector3& gravityDirection,
                    std::uint32_t& outFlags);
  /// The pairs of one pair processing dealt to lists (PairDealer.h).
  using PairDealing = PairDealer::Dealing;
  /// Deals the pairs in their order: a pair that writes bodies of one list
  /// joins that list (its other bodies with it), a pair of bodies no list
  /// holds opens the next list in turn, and a pair that writes bodies of two
  /// lists, or a body of a shared pair, is shared (its bodies no list holds
  /// with it), so that no list writes a body a shared pair writes unless the
  /// pair waits for that list.
  void dealPairs(const std::vector<CollisionPair*>& pairs, PairDealing& dealing, std::uint32_t helpers = 0);
  /// Moves the bodies of the step's pairs out of what overlap extraction
  /// left them (the world's step calls it after the contact pass): the pairs
  /// whose contacts overlap deeper than a slop, from the bottom of each pile
  /// up, a bounded share a visit, a few visits while any is that deep.
  /// Positions only: velocities and turns are kept. Static and sleeping
  /// bodies hold; of two moving bodies the one extraction would move moves
  /// (both, by their masses, side by side). Runs on the calling thread (the
  /// depths measured on the helpers): the same poses at any thread count.
  void correctPositions();
  /// Cuts back the motion of the bodies swept in the step (their pairs'
  /// `swept` bits) that passed, within the step, through a gap their pair
  /// was found with into the other body beyond the slop of correctPositions:
  /// each goes back along its motion since its last state (position and
  /// turn alike) to where the first such contact touches, as a swept test
  /// would have stopped it. Velocities are kept. Once per advance, after
  /// the last integration step; on the calling thread.
  void clampSweptMotion();
  /// The deepest overlap of the pair's contacts (0 when none overlaps), its
  /// bodies shifted by the given translations; each contact's overlap into
  /// `overlaps` (contactCount entries) when given.
  double deepestOverlap(const CollisionPair& pair, const Mgc::MgcVector3& firstShift,
                        const Mgc::MgcVector3& secondShift, double* overlaps) const;
  /// Puts to rest or wakes the bodies of the step's pairs of three or more
  /// contacts that lie on static or sleeping ones; once per advance. A pair
  /// of one or two contacts counts when the body it may put to rest touches
  /// at three points not on one line over all its pairs of one or two (on
  /// an edge on the ground and leaning on another, or wedged between
  /// others at single points).
  void settleRestingBodies();
  /// Turns and moves the bodies that rest on crackers onto the cracker's
  /// rim (each cracker pair whose body stands upright along z).
  void alignRestingBodies();
  /// The impact of an outside point mass (inverse mass `partnerInvMass`,
  /// velocity `partnerVelocity`) on `body` at the world point `point` along
  /// the unit `normal` (from the body towards the partner), with the smaller
  /// restitution and friction of the two: the body takes -J, the partner's
  /// velocity changes by J times its inverse mass. Nothing when they separate
  /// or the small system cannot be had.
  void resolveBodyImpact(double restitution, double friction, const Mgc::MgcVector3& point, double partnerInvMass,
                         const Mgc::MgcVector3& normal, Mgc::MgcVector3& partnerVelocity, HardBody* body);

  // ---- Pair test, extraction and processing -----------------------------------

  /// The pair test on the calling thread's record: a pair with contacts goes
  /// to the new pairs (pair counter + 1), else back to the pool. Returns the
  /// contact count; 0 for a missing body or no record.
  std::uint32_t testPair(HardBody* first, HardBody* second);
  /// The pair test on `record` with `worker`'s pools: reset, overlap,
  /// contacts, preparation. Returns the contact count (0 to 32).
  std::uint32_t initPair(HardBody* first, HardBody* second, CollisionPair* record, std::uint32_t worker);
  /// Pushes the bodies of a penetrating pair apart: the body that
  /// extractionMoves names (the one on top, or the one higher in the pile)
  /// moves, by the least-squares displacement that closes every penetrating
  /// point. The pair's depths are measured again (0 for -1e-5 and above).
  void extractContacts(CollisionPair* pair);
  /// Whether extracting `pair` may move its first body (`first` true) or its
  /// second, as the helpers that take pairs apart at once count it: the body
  /// extractionMoves names, or either of two whose masses differ, which the
  /// extraction parts by their masses as it finds the bodies moving.
  bool extractionMayMove(const CollisionPair& pair, bool first) const;
  /// The pair's energy: the sum over both bodies of m |v|^2 + w . L, kept
  /// with its terms and the momenta in the manager; -1 for no pair.
  double pairEnergy(CollisionPair* pair);
  /// A colliding pair: first-hit switches, then the resolution of its
  /// contacts. Returns kWorldBodyChangeState when a body stopped being
  /// static, else 0. Writes only the bodies CollisionManager::pairBodies
  /// lists.
  std::uint32_t processPair(CollisionPair* pair, const int& mode, std::uint32_t worker);
  /// The cracker pairs' resolution (mode 1 on the calling thread).
  void processCrackerPairs(const int& mode);
  /// What processing the pair may write: resolvedBodies, the static bodies
  /// that may stop being static, and the moving supports of its manifolds.
  /// Returns their number (at most `capacity`).
  static std::uint32_t pairBodies(const CollisionPair& pair, HardBody** out, std::uint32_t capacity);
  /// The total, linear and angular energy terms and the linear and angular
  /// momentum of the last pair measured by pairEnergy.
  const double* getPairEnergyTerms() const { return pairEnergyTerms; }
  const Mgc::MgcVector3* getPairMomenta() const { return pairEnergyVectors; }

  // ---- Pair dispatch ---------------------------------------------------------
  // Forwarded to the pair dispatcher (PairDispatcher.h documents them): whether
  // two bodies overlap, then which contacts they have.

  static std::uint32_t shapePairCode(std::uint32_t firstType, std::uint32_t secondType);
  bool testBodyPair(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker);
  bool testBodyPairExact(HardBody* body1, HardBody* body2, CollisionPair* pair, std::uint32_t worker);

  // ---- Contact manifolds ------------------------------------------------------

  /// Builds the resting contacts of the bodies of `pairs` into manifolds,
  /// one per body (merging the manifolds of a body met again in this call),
  /// at the head of the manifolds in use. A body whose contact stage is the
  /// first pair's smaller stage gets none. Stops at the first manifold that
  /// cannot be set and keeps what was built; false then.
  bool updateManifolds(EngineList<CollisionPair*>& pairs);
  /// Links the manifolds in use to the pairs of `pairs` that have a body in
  /// contact; returns the number of links made.
  std::uint32_t linkPairRecords(EngineList<CollisionPair*>& pairs);
  /// Prunes the pair's linked manifolds: unlinks those of other bodies,
  /// merges those of one body (or of sibling pieces), rebuilds the rest from
  /// the bodies' states and keeps their points on the dominant side and
  /// aligned with the unit `direction`; a manifold left empty is unlinked.
  void maintainManifolds(CollisionPair& pair, const Mgc::MgcVector3& direction);

  // ---- Contact resolution -----------------------------------------------------
  // Forwarded to the contact resolver (ContactResolver.h documents them and
  // says what they read and write): velocity changes from a pair's contacts.
  // `worker` selects the solver workspace and the counters' thread slot.

  void prepareContacts(CollisionPair& pair);
  void resolveCollision(CollisionPair& pair, std::uint32_t hint, ContactBlocks*& K, double s,
                        std::uint8_t manifoldOption, std::uint32_t worker);
  void resolveContact(CollisionPair& pair, std::uint32_t hint, ContactBlocks* K, double s, std::uint32_t worker,
                      bool afterCollision = false);
  static bool isRestingBody(HardBody* body, float threshold);
  static void stageContacts(EngineList<CollisionPair*>& pairs, EngineList<CollisionPair*>& ordered,
                            std::int32_t& stage);
  static std::uint32_t resolvedBodies(const CollisionPair& pair, HardBody** out, std::uint32_t capacity);
  /// The collision solves of thread slot `worker`; all slots summed for
  /// kThreadSlotCount.
  ResolutionCounters getResolutionCounters(std::uint32_t worker = kThreadSlotCount) const;
  static void removeDuplicateContacts(CollisionPair& pair);
  static void removeOpposingContacts(CollisionPair& pair);
  static void compactContacts(CollisionPair& pair, const std::uint8_t* marks);
  static void buildExtractionMatrix(std::uint32_t n, const HardBody* first, const Mgc::MgcVector3* firstArms,
                                    const HardBody* second, const Mgc::MgcVector3* secondArms, double s,
                                    ContactBlocks* K);
  static void buildExtractionMatrix(std::uint32_t n, const HardBody* first, const Mgc::MgcVector3* firstArms,
                                    const HardBody* second, const Mgc::MgcVector3* secondArms, double s, dmat* K);

  // ---- Threads -------------------------------------------------------------

  /// Builds the worker table from the processor count. Returns the worker
  /// count, or -1 when the table cannot be made.
  int setupThreads();
  /// Frees the worker table; 0, or -1 when there is none.
  int teardownThreads();
  /// Thread count := the table's workers + 1 (1 without a table).
  void useAllThreads();
  /// Threads a pass uses, the calling thread included; 1 = sequential.
  std::uint32_t getThreadCount() const { return threadCount; }
  /// A count of 0 is taken as 1.
  void setThreadCount(std::uint32_t count) { threadCount = count == 0 ? 1 : count; }
  /// Workers in the table (0 without one).
  std::uint32_t getWorkerCount() const { return workerCount; }
  /// Moves floor(n / (w + 1)) of the calling thread's n free records to each
  /// of the w workers in use.
  void dealFreePairs();
  /// Every worker's free records back to the calling thread's pool.
  void collectWorkerPairs();

  /// Helpers of the pool a pass uses besides the calling thread: the
  /// thread count minus one, at most the workers in the table.
  std::uint32_t passHelpers() const;
  /// The persistent helper threads, made on first use.
  WorkerPool* workerPool();

  /// The unit direction of the world's gravity (zero for none), which tells
  /// extraction which of two bodies of one level lies on the other.
  void setGravityDirection(const Mgc::MgcVector3& direction) { gravityDirection = direction; }
  /// The time (s) over which the velocities the next pair processing leaves
  /// are integrated before contacts are solved again: a contact whose
  /// points stand a gap apart may approach by that gap over this time.
  void setSolveStep(double seconds) { closingRate = seconds > 0.0 ? 1.0 / seconds : 0.0; }
  /// The step the bodies move through after the next contact pass (s):
  /// hulls that may travel more than a share of their thickness in it are
  /// swept, and meet what they may reach in it with contacts standing apart
  /// (BroadPhase::sweptReach). 0, the start, sweeps none.
  void setSweepStep(double seconds) {
    dispatcher.setSweepStep(seconds);
    broadPhase.setSweepStep(seconds);
  }
  /// Ordered extraction: 1 on, 0 off (at construction).
  std::uint8_t getOrderedExtraction() const { return orderedExtraction; }
  void setOrderedExtraction(std::uint8_t value) { orderedExtraction = value; }

  // ---- Inspection ----------------------------------------------------------

  EngineList<CollisionPair*>& getStepPairs() { return stepPairs; }
  /// Pairs found by the running pass (or by testPair), newest first.
  EngineList<CollisionPair*>& getNewPairs() { return newPairs; }
  EngineList<CollisionPair*>& getReportedPairs() { return reportedPairs; }
  EngineList<CollisionPair*>& getCrackerPairs() { return crackerPairs; }
  EngineList<CollisionPair*>& getFreePairs() { return pairPool.callingThreadRecords(); }
  /// Free records of worker `worker` (0 = the calling thread); null above
  /// the worker count.
  EngineList<CollisionPair*>* getWorkerFreePairs(std::uint32_t worker) { return pairPool.freeRecords(worker); }
  /// Pair records made so far by every thread slot's pool.
  std::uint32_t pairRecordCount() const { return pairPool.recordCount(); }
  /// Pair blocks that helpers let go of and that the calling thread has not
  /// freed yet: none between passes.
  std::size_t retiredPairBlockCount() const { return pairPool.retiredBlockCount(); }
  EngineList<ContactManifold*>& getFreeManifolds() { return manifolds.free(); }
  EngineList<ContactManifold*>& getManifoldsInUse() { return manifolds.inUse(); }
  /// Pairs in contact in this step (the counter the releases read).
  std::uint32_t getPairCounter() const { return pairCounter; }
  void setPairCounter(std::uint32_t count) { pairCounter = count; }
  std::uint32_t getManifoldCount() const { return manifolds.count(); }
  void setManifoldCount(std::uint32_t count) { manifolds.setCount(count); }
  /// Inline manifold i (below kInlineManifolds).
  ContactManifold* inlineManifold(std::uint32_t i) { return manifolds.inlineRecord(i); }
  WorkerTable* getWorkerTable() { return workers.get(); }
  /// The narrow phase, which the manager owns and publishes in g_pkJump.
  Pk_jump* getNarrowPhase() const { return narrowPhase.get(); }
  /// The solver workspace of worker `worker` (0 = the calling thread); null
  /// above the worker count.
  SolverWorkspace* workspaceOf(std::uint32_t worker);
  /// Bytes the manager keeps between passes for dealPairs's bodies read
  /// ahead and holdPiles's arrays.
  std::size_t passScratchBytes() const { return dealer.keptBytes() + piles.keptBytes(); }

 private:
  /// Every working list and pool emptied; the records stay where they are
  /// owned.
  void emptyWorkingLists();
  /// The pair test on worker `worker` with `record`: the pair's contact
  /// count (0 to 32).
  std::uint32_t testPairOn(CollisionPair* record, HardBody* first, HardBody* second, std::uint32_t worker);
  /// One candidate pair of a pass, by pass slots, in test order.
  struct PassCandidate {
    std::uint32_t first;
    std::uint32_t second;
  };
  /// The detection pass reads and writes the manager's lists, pools and
  /// bounds table (DetectionPass.h); made on the first pass.
  friend class DetectionPass;
  /// The pile holding reads and writes the manager's helpers, task order,
  /// bounds table and workspaces, and processes pairs (PileHolder.h).
  friend class PileHolder;
  friend class PairDealer;
  DetectionPass& detectionPass();
  /// The pair test of `first` and `second` on `worker`'s pool: the record
  /// with contacts, or null (the record back in the pool, or none to be had).
  CollisionPair* testPairRecord(HardBody* first, HardBody* second, std::uint32_t worker);
  /// Every candidate body's world data current (fracture pieces too), so
  /// that workers only read them.
  static void refreshForPass(HardBody* body);
  /// Extraction of a pair found now, with the moved bodies' world data and
  /// bounds renewed.
  void extractNow(CollisionPair* pair);
  /// The pairs (x, y) with x from `xs` and y from the list whose positions
  /// `yPos` holds, that the bounds allow, in the order of the nested walk
  /// (x in list order, then y in list order); with `laterOnly` y comes after
  /// x in the same list.
  void gatherCandidates(const std::vector<std::uint32_t>& xs, const std::vector<std::uint32_t>& ys,
                        const std::vector<std::int32_t>& yPos, bool laterOnly, std::vector<PassCandidate>& out);
  /// The pair test of one candidate on `worker`'s pool: the record with
  /// contacts, or null (the record back in the pool).
  CollisionPair* testCandidate(const PassCandidate& candidate, std::uint32_t worker);
  /// Tests the candidates, spread over the helpers; found[i] holds candidate
  /// i's pair record with contacts, or null.
  void testCandidates(const std::vector<PassCandidate>& candidates, std::vector<CollisionPair*>& found,
                      std::uint32_t helpers);
  /// The candidates of the moving bodies against the resting ones, each
  /// body's together, the bodies taken one at a time by whichever thread is
  /// free.
  void testMovingAgainstResting(const std::vector<PassCandidate>& candidates, std::vector<CollisionPair*>& found,
                                std::uint32_t helpers);
  /// The pair update of a wave: links and manifolds of the deferred pairs,
  /// their extraction, stamped, back into the new pairs.
  void updatePairs();
  /// extractContacts with the solver workspace of `worker`.
  void extractContactsOn(CollisionPair* pair, std::uint32_t worker);
  /// Whether extraction may move the pair's first body (`first` true) or its
  /// second: the body is not static and, where the pair's normal lies within
  /// 45 degrees of the gravity direction, lies on the other (the body
  /// underneath holds, whatever the levels of two moving bodies; a resting
  /// body of level 0 holds unless the other is one too); otherwise it lies
  /// higher in the pile than the other. Two bodies of one level side by side
  /// (both standing on the ground, say) both move, and so do two moving
  /// bodies of which the one higher in the pile lies level with the other or
  /// under it.
  bool extractionMoves(const CollisionPair& pair, bool first) const;
  /// Whether the last resting passes found `body` lying under a much
  /// heavier one while it overhangs the edge of the static body it stands
  /// on (settleLoadedPairs).
  bool loadedOverLedge(const HardBody& body) const;
  /// loadedOverLedge of the lighter of the pair's bodies (a piece weighs as
  /// its fracture body).
  bool lighterOverLedge(const CollisionPair& pair) const;
  /// Fills taskOrder for n tasks from the bodies each reads and writes
  /// (accessesOf writes them and a write flag each, returning their number,
  /// at most kMaxTaskBodies): a task waits for the last earlier task that
  /// wrote a body it uses, and a writing task for the earlier readers since.
  /// accessesOf also gives each body's kept entry in the bounds table, read
  /// ahead on the helpers, or -1 to leave it to orderByAccess.
  void orderByAccess(std::uint32_t n,
                     const std::function<std::uint32_t(std::uint32_t, HardBody**, bool*, std::int32_t*)>& accessesOf);
  /// Numbers for bodies that tell one from another while the bounds table
  /// lasts: a body's kept entry, or for a body without one a number past
  /// the entries, lent through its pass slot and given back at the end.
  class BodyNumbers {
   public:
    explicit BodyNumbers(const BroadPhase& table) : table(table), base(table.entryCount()) {}
    BodyNumbers(const BodyNumbers&) = delete;
    BodyNumbers& operator=(const BodyNumbers&) = delete;
    ~BodyNumbers();
    /// The body's number; `known` is its kept entry when read ahead (-1:
    /// look it up).
    std::uint32_t of(HardBody* body, std::int32_t known = -1);

   private:
    const BroadPhase& table;
    std::uint32_t base;
    /// The bodies lent a number, with the pass slot each had.
    std::vector<std::pair<HardBody*, std::int32_t>> lent;
  };
  /// After the splits of a step: every step pair with a body that split is
  /// replaced by the pairs that a fresh pair test finds between the parts
  /// it left (fragments, released bodies) and the other body, in place.
  void handOverSplitPairs();
  /// Lends each swept pair of `pairs` that may bounce (a restitution above
  /// 0) an approach record: it may strike within an integration step,
  /// through a contact found standing apart, and its contacts' approach
  /// before the passes is kept. False when no pair takes one.
  bool lendApproachRecords(const std::vector<CollisionPair*>& pairs);
  /// One pass of the pair processing over `pairs`, in their order.
  void runPairPass(const std::vector<CollisionPair*>& pairs, const int& mode, std::uint32_t helpers,
                   std::uint32_t& outFlags);
  /// After the passes of the resting mode: the pairs of the bodies that lie
  /// on a much lighter body (pairprocessing::loadsLighterBody) that the
  /// pile hold cannot stop them on (one pairprocessing::kSlowPassMassRatio
  /// times lighter, or one that overhangs the edge of the static body it
  /// stands on), and of the lighter bodies they lie on, pass on, in order,
  /// until a pass changes no body's motion by more than a settled pass does.
  void settleLoadedPairs(const std::vector<CollisionPair*>& pairs, const int& mode, std::uint32_t& outFlags);
  /// Appends to `picked`, in list order, the pairs on which a body of a pile
  /// is held by the resting mode's holds.
  void pickBearingPairs(const std::vector<CollisionPair*>& pairs, const Mgc::MgcVector3& gravityDirection,
                        std::uint32_t helpers, std::vector<CollisionPair*>& picked);
  /// The energy of the pair's bodies without storing anything.
  static double measurePairEnergy(const CollisionPair& pair, double* terms, Mgc::MgcVector3* momenta);

  std::uint32_t linkCounter = 0;
  std::uint32_t pairCounter = 0;
  /// Pairs the last pass kept, and the room their blocks would take: the
  /// records and the room for pair blocks the next pass is made ready with.
  std::uint32_t passPairs = 0;
  std::size_t passPairBytes = 0;
  /// How many more pairs the last pass kept than the one before it: a pile
  /// still gathering its pairs is met with records for as many more again.
  std::uint32_t passPairGrowth = 0;
  std::uint32_t waveStamp = 0;
  std::uint8_t orderedExtraction = 0;
  Mgc::MgcVector3 gravityDirection;
  /// One over the solve step (setSolveStep); 0 lets no gap close.
  double closingRate = 0.0;
  /// The free pair records of every thread slot, and their owner.
  PairPool pairPool;
  /// The contact manifolds, free and in use, and their owner.
  ManifoldPool manifolds;
  EngineList<CollisionPair*> newPairs;
  EngineList<CollisionPair*> deferredPairs;
  EngineList<CollisionPair*> stepPairs;
  EngineList<CollisionPair*> groupPairs;
  EngineList<CollisionPair*> reportedPairs;
  EngineList<CollisionPair*> crackerPairs;
  EngineList<HardBody*> frontier;
  EngineList<HardBody*> movingCandidates;
  std::unique_ptr<SolverWorkspace> solverWorkspace;
  /// The one query engine, published in g_pkJump while the manager lives.
  std::unique_ptr<Pk_jump> narrowPhase;
  /// The narrow phase's answers kept for hull pairs that do not move.
  NarrowPhaseMemos narrowMemos;
  Mgc::MgcVector3 pairEnergyVectors[2];
  double pairEnergyTerms[3] = {};
  std::unique_ptr<Mgc::MgcVector3[]> contactPoints;
  std::unique_ptr<Mgc::MgcVector3[]> contactNormals;
  std::unique_ptr<double[]> contactDepths;
  std::unique_ptr<std::unique_ptr<SolverWorkspace>[]> workerWorkspaces;
  /// The last entry is the contact pass's accumulated list.
  EngineList<HardBody*> workerFirstDealt[kMaxWorkerThreads + 1];
  EngineList<HardBody*> workerSecondDealt[kMaxWorkerThreads + 1];
  EngineList<CollisionPair*> workerFoundPairs[kMaxWorkerThreads];
  std::uint32_t threadCount = 1;
  std::uint32_t workerCount = 0;
  std::unique_ptr<WorkerTable> workers;
  /// Allocated on the first bodyPartners.
  std::unique_ptr<HardBody*[]> partnerBuffer;
  /// Pieces of moving fracture bodies, gathered by the contact pass.
  EngineList<HardBody*> pieceList;
  /// The running pass's bounds table.
  BroadPhase broadPhase;
  /// Helper threads of the passes, made on first use.
  std::unique_ptr<WorkerPool> pool;
  /// The bodies of one extraction of updatePairs: the bodies it moves for
  /// each side, whether it moves them, their numbers (BodyNumbers) and pass
  /// slots.
  struct ExtractionAccess {
    HardBody* bodies[2];
    bool moves[2];
    std::int32_t numbers[2];
    std::int32_t slots[2];
  };
  std::vector<ExtractionAccess> extractionAccess;
  /// The pass slots updatePairs renews, and which it has met.
  std::vector<std::uint32_t> extractedSlots;
  std::vector<std::uint8_t> extractedSeen;
  /// The detection pass, with the working arrays it keeps between passes.
  std::unique_ptr<DetectionPass> detection;
  /// A body correctPositions moves: the shift it has been given, its
  /// inverse mass and the pass slot it had before it lent one.
  struct CorrectedBody {
    HardBody* body;
    Mgc::MgcVector3 shift;
    double inverseMass;
    std::int32_t keptSlot;
  };
  /// A pair correctPositions visits: the slots of its bodies' shifts (-1 for
  /// a static body), of the bodies it moves (-1 for one that holds) and of
  /// those that hold but yield where the pair is jammed (-1 for none), its
  /// lower body's level, its place in the step's pairs, and its overlap as
  /// its last visit met it and left it (0 before the first).
  struct CorrectedPair {
    CollisionPair* pair;
    std::int32_t shifts[2];
    std::int32_t moves[2];
    std::int32_t yields[2];
    std::int32_t level;
    std::uint32_t index;
    double met;
    double left;
  };
  std::vector<CorrectedBody> correctedBodies;
  /// A body clampSweptMotion cuts back: the share of its motion it keeps
  /// and the pass slot it had before it lent one.
  struct ClampedBody {
    HardBody* body;
    double share;
    std::int32_t keptSlot;
  };
  std::vector<ClampedBody> clampedBodies;
  std::vector<CorrectedPair> correctedPairs;
  /// Which of the step's pairs overlap beyond correctPositions's slop.
  std::vector<std::uint8_t> correctedDeep;
  /// The pairs of the running pair processing, and which bear weight.
  std::vector<CollisionPair*> processedPairs;
  /// The approach records the advance's passes lend the swept pairs that
  /// may bounce (CollisionPair::approaches).
  std::vector<std::array<double, kMaxPairContacts>> approachRecords;
  /// How much each pair holds one body up on the other (processPairs), and
  /// the number of the body it holds up (its kept entry in the bounds table
  /// as read ahead, then its BodyNumbers number).
  std::vector<double> pairBearing;
  std::vector<std::int32_t> heldUpper;
  /// settleLoadedPairs's working arrays: the lighter bodies of the loaded
  /// pairs and what each stands on, the bodies whose pairs pass on and the
  /// lighter bodies under them (all by address, to look them up), and their
  /// pairs.
  std::vector<HardBody*> loadedLighter;
  std::vector<std::uint8_t> lighterOnLedge;
  std::vector<HardBody*> loadingBodies;
  std::vector<HardBody*> loadedBodies;
  std::vector<CollisionPair*> loadedPairs;
  /// The identities, in order, of the lighter bodies the last resting
  /// passes found loaded while they overhang a static body's edge: the
  /// next extraction parts their pairs by the masses. By identity, since a
  /// body may go between steps; emptied with the pairs.
  std::vector<std::uint64_t> ledgeLoaded;
  /// settleRestingBodies's working arrays: the contact points of the pairs
  /// of one or two contacts by body, and the bodies they hold at three
  /// points not on one line.
  std::vector<std::pair<HardBody*, Mgc::MgcVector3>> restingTouches;
  std::vector<HardBody*> touchHeldBodies;
  /// Helpers of the running detection pass.
  std::uint32_t passHelperCount = 0;
  /// The order of the tasks a pass spreads over its helpers, and the waits
  /// orderByAccess finds for it, whose bookkeeping is kept between calls.
  TaskOrder taskOrder;
  AccessOrder accessOrder;
  /// The contact resolver, and the pair dispatcher with what it reads and
  /// writes of the manager's.
  ContactResolver resolver;
  PairDispatcher dispatcher{pairPool, narrowPhase, narrowMemos, newPairs};
  /// The pile holding of the resting-contact processing.
  PileHolder piles{*this};
  /// The pair dealing and the passes over the dealt pairs.
  PairDealer dealer{*this};
};
