#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ThreadSlots.h"
#include "engine/collision/CollisionWorkers.h"
#include "engine/collision/MotionState.h"
#include "geometry/EngineList.h"
#include "math/MgcVector3.h"

class CollisionPair;
class ContactManifold;
class HardBody;
class LsqrSystem;
class Pk_jump;
class SolverWorkspace;

/// Manifold records built into the manager.
constexpr std::uint32_t kInlineManifolds = 1024;
/// Pair records a worker's empty pool makes at a time.
constexpr std::uint32_t kPairBatch = 16;
/// Manifold records made at a time once the inline ones run out.
constexpr std::uint32_t kManifoldBatch = 10;
/// Spare list nodes the manager's busiest lists keep.
constexpr std::uint32_t kListNodeReserve = 1024;
/// Most partners bodyPartners reports.
constexpr std::uint32_t kMaxPartners = 32;

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
  /// Hands the first u32 of `record` (a mode, or a hull's vertex count) to
  /// the narrow phase, whose handler changes nothing.
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

  /// The sequential detection pass over the given lists; 1 when some pair is
  /// in contact, else 0.
  int detectContacts(EngineList<HardBody*>* active, EngineList<HardBody*>* statics, EngineList<HardBody*>* third,
                     EngineList<HardBody*>* barriers);
  /// Every cracker against the active and the static bodies: 0 at once
  /// without crackers; 1 when some cracker pair holds contacts, else 0.
  int testCrackerPairs(EngineList<HardBody*>* crackers, EngineList<HardBody*>* active, EngineList<HardBody*>* statics);
  /// The threaded contact pass (the detection pass at a thread count of 1);
  /// returns after its workers have ended. 1 when some pair is in contact.
  int contactPass(EngineList<HardBody*>* active, EngineList<HardBody*>* statics, EngineList<HardBody*>* third,
                  EngineList<HardBody*>* barriers);
  /// The collision report: the step's pairs copied into the reported pairs.
  void refreshPairList();
  /// The contact and joint solver of a step (mode 1); sets kWorldBodyChangeState
  /// in `outFlags` when a body changed state. May throw std::bad_alloc.
  void processHits(const int& mode, const Mgc::MgcVector3& gravityDirection, EngineList<HardBody*>* active,
                   EngineList<HardBody*>* statics, std::uint32_t& outFlags);
  /// The per-pair processing of an integration step (mode 2 empties each
  /// pair's manifold links first).
  void processPairs(EngineList<HardBody*>* active, const int& mode, const Mgc::MgcVector3& gravityDirection,
                    std::uint32_t& outFlags);
  /// Puts to rest or wakes the active bodies that lie on static or sleeping
  /// ones; once per advance.
  void settleRestingBodies();
  /// Turns resting bodies about their contact onto their support.
  void alignRestingBodies();
  /// The impulse of one body's contact at a point.
  void resolveBodyImpact(HardBody* body, double a, double b);

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

  /// Ordered extraction: 1 on, 0 off (at construction).
  std::uint8_t getOrderedExtraction() const { return orderedExtraction; }
  void setOrderedExtraction(std::uint8_t value) { orderedExtraction = value; }

  // ---- Inspection ----------------------------------------------------------

  EngineList<CollisionPair*>& getStepPairs() { return stepPairs; }
  EngineList<CollisionPair*>& getReportedPairs() { return reportedPairs; }
  EngineList<CollisionPair*>& getCrackerPairs() { return crackerPairs; }
  EngineList<CollisionPair*>& getFreePairs() { return freePairs; }
  /// Free records of worker `worker` (0 = the calling thread); null above
  /// the worker count.
  EngineList<CollisionPair*>* getWorkerFreePairs(std::uint32_t worker);
  EngineList<ContactManifold*>& getFreeManifolds() { return freeManifolds; }
  EngineList<ContactManifold*>& getManifoldsInUse() { return manifoldsInUse; }
  /// Pairs in contact in this step (the counter the releases read).
  std::uint32_t getPairCounter() const { return pairCounter; }
  void setPairCounter(std::uint32_t count) { pairCounter = count; }
  std::uint32_t getManifoldCount() const { return manifoldCount; }
  void setManifoldCount(std::uint32_t count) { manifoldCount = count; }
  /// Inline manifold i (below kInlineManifolds).
  ContactManifold* inlineManifold(std::uint32_t i);
  WorkerTable* getWorkerTable() { return workers.get(); }
  /// The narrow phase, null until it exists.
  Pk_jump* getNarrowPhase() const { return narrowPhase; }

 private:
  /// Records move from the head of `from` to the head of `to`.
  static void movePairs(EngineList<CollisionPair*>& from, EngineList<CollisionPair*>& to, std::uint32_t n);
  /// The pool of worker `worker`; null above the worker count.
  EngineList<CollisionPair*>* poolOf(std::uint32_t worker);
  /// Every worker's lists, the calling thread's included where it has one.
  void emptyWorkingLists();
  /// The resting and moving candidates of the detection and contact passes.
  void buildCandidateLists(EngineList<HardBody*>* active, EngineList<HardBody*>* statics, EngineList<HardBody*>* third,
                           EngineList<HardBody*>* barriers, bool withThird);
  /// The pair test on worker `worker` with `record`: the pair's contact
  /// count (0 to 32).
  std::uint32_t testPairOn(CollisionPair* record, HardBody* first, HardBody* second, std::uint32_t worker);
  /// Phase 1 of the contact pass on one worker: its dealt bodies and pieces
  /// against the resting candidates.
  static unsigned phaseOneRoutine(WorkerSlot* slot);
  /// Merges the workers' phase-1 pairs on the calling thread.
  int mergePhaseOne(std::uint32_t w);

  std::uint32_t manifoldCount = 0;
  std::uint32_t linkCounter = 0;
  std::uint32_t pairCounter = 0;
  std::uint32_t waveStamp = 0;
  std::uint8_t orderedExtraction = 0;
  std::unique_ptr<ContactManifold[]> inlineManifolds;
  EngineList<CollisionPair*> newPairs;
  EngineList<CollisionPair*> deferredPairs;
  EngineList<CollisionPair*> stepPairs;
  EngineList<CollisionPair*> groupPairs;
  EngineList<CollisionPair*> freePairs;
  EngineList<CollisionPair*> reportedPairs;
  EngineList<CollisionPair*> crackerPairs;
  EngineList<ContactManifold*> manifoldsInUse;
  EngineList<ContactManifold*> freeManifolds;
  EngineList<ContactManifold*> allManifolds;
  EngineList<HardBody*> frontier;
  EngineList<HardBody*> movingCandidates;
  EngineList<HardBody*> restingCandidates;
  std::unique_ptr<SolverWorkspace> solverWorkspace;
  /// The narrow phase. It is built with the manager and published in
  /// g_pkJump once the query engine exists; until then it stays null and the
  /// pair test finds no contact.
  Pk_jump* narrowPhase = nullptr;
  Mgc::MgcVector3 pairEnergyVectors[2];
  double pairEnergyTerms[3] = {};
  std::unique_ptr<Mgc::MgcVector3[]> contactPoints;
  std::unique_ptr<Mgc::MgcVector3[]> contactNormals;
  std::unique_ptr<double[]> contactDepths;
  std::unique_ptr<std::unique_ptr<SolverWorkspace>[]> workerWorkspaces;
  EngineList<CollisionPair*> workerFreePairs[kMaxWorkerThreads];
  /// The last entry is the contact pass's accumulated list.
  EngineList<HardBody*> workerFirstDealt[kMaxWorkerThreads + 1];
  EngineList<HardBody*> workerSecondDealt[kMaxWorkerThreads + 1];
  EngineList<CollisionPair*> workerFoundPairs[kMaxWorkerThreads];
  std::uint32_t threadCount = 1;
  std::uint32_t workerCount = 0;
  std::unique_ptr<WorkerTable> workers;
  /// The one owner of every pair record: the blocks each worker's pool made
  /// (entry 0 the calling thread's). Records move between lists and pools;
  /// only these free them.
  std::vector<std::unique_ptr<CollisionPair[]>> pairBlocks[kThreadSlotCount];
  /// Allocated on the first bodyPartners.
  std::unique_ptr<HardBody*[]> partnerBuffer;
  /// Pieces of moving fracture bodies, gathered by the contact pass.
  EngineList<HardBody*> pieceList;
};
