#pragma once

// The contact resolver of the collision manager: velocity changes from a
// pair's contacts. It prepares the contacts found by the pair dispatch,
// classifies the pair as colliding or resting, resolves a collision with a
// system over the full impulse vectors of its contacts (a friction cone, and
// the friction back-off where the impulses leave it) and resting contact
// with a system over the normal impulses, coupled with the contact manifolds
// linked to the pair. Also the rest test and the staging of the pairs of the
// sequential pass.

#include <cstdint>

#include "engine/ThreadSlots.h"
#include "geometry/EngineList.h"
#include "math/MgcVector3.h"

class CollisionPair;
class ContactBlocks;
class HardBody;
class SolverWorkspace;
struct dmat;
struct dvec;

/// How the collision solves of one thread ended; each thread slot's on a
/// cache line of its own, since the threads count as they solve.
struct alignas(64) ResolutionCounters {
  /// Impulses inside every friction cone, applied as solved.
  std::uint32_t withinCone = 0;
  /// Impulses that went through the friction back-off.
  std::uint32_t backedOff = 0;
  /// Back-offs that had to drop friction altogether.
  std::uint32_t frictionDropped = 0;
};

/// The resolution of a pair's contacts, run by the manager's
/// resolveCollision and resolveContact (and the pair processing through
/// them). The manager owns it and hands each resolution the worker it runs
/// on; it keeps nothing of a pair between calls, and knows nothing of the
/// manager.
///
/// Reads: the pair's contacts (points, normals, depths, features) and
/// linked manifolds; both bodies' current and last motion states, masses,
/// inertia and coefficients, and a static triangle mesh's vertex velocities;
/// the calling worker's solver workspace and the solve step's closing rate
/// (Worker).
/// Writes: the pair's per-contact arrays (local points, lever arms, relative
/// velocities, tangents, marks, impulses and the impulses carried by its
/// found contacts), its status, coefficients, manifold rows and back-off
/// flag; the linked manifolds' flags; the bodies' velocities through
/// impulses (a static body never takes one) and their collision state; with
/// the rest test a body's sleep counter, with the staging contact stages and
/// in-contact flags; the calling worker's workspace; its own counters.
///
/// Impulses are applied to the bodies' current states (HardBody::applyImpulse);
/// the bodies a pair's resolution writes are those resolvedBodies lists, and
/// no two pairs sharing one may be resolved at the same time.
class ContactResolver {
 public:
  /// Squared speeds below this count as no motion when a pair is classified
  /// and when the back-off makes its tangents.
  static constexpr double kStillSquared = 1e-10;

  /// What one resolution runs on: the calling worker's solver workspace
  /// (null: nothing is solved), its thread slot, which the counters count
  /// in, and one over the solve step (CollisionManager::setSolveStep; 0 lets
  /// no gap close).
  struct Worker {
    SolverWorkspace* workspace = nullptr;
    std::uint32_t slot = 0;
    double closingRate = 0.0;
  };

  ContactResolver() = default;
  ContactResolver(const ContactResolver&) = delete;
  ContactResolver& operator=(const ContactResolver&) = delete;

  // ---- Preparation and classification ---------------------------------------

  /// After contact generation: body-local points, velocities of a static
  /// second body, status 1, the combined restitution and friction; both
  /// bodies' collision state 1. Lever arms and relative velocities are left
  /// to the classification of each solve, tangents to the friction back-off.
  static void prepareContacts(CollisionPair& pair);
  /// The pair's restitution (the smaller of the bodies') and friction (the
  /// first body's against a barrier, else the larger).
  static void setPairCoefficients(CollisionPair& pair);
  /// Velocity of the static second body at each contact (zero otherwise).
  static void staticContactVelocities(CollisionPair& pair);
  /// Status from the current and the last motion states: with hint 2, 2
  /// once a contact approaches; otherwise 1 for a contact that was already
  /// approaching, 2 for one that only now approaches, 0 for none. Fills the
  /// lever arms and relative velocities of the arrays lent to the pair
  /// (lendSolveArrays). With `again`, the pair was classified before on the
  /// same arrays and neither body has moved since (only their velocities
  /// changed): the arms are kept. A contact whose points stand apart (a
  /// positive depth) approaches only by what closes more than that gap
  /// within the solve step, whose inverse is `closingRate`.
  static void classifyContacts(CollisionPair& pair, std::uint32_t hint, double closingRate, bool again = false);

  // ---- Resolution -------------------------------------------------------------

  /// Collision impulses over the full impulse vectors of the contacts, with
  /// restitution (ignored with hint 2) and Coulomb friction. `K` receives the
  /// collision matrix, kept for resolveContact (null when none was built);
  /// `s` scales the systems (m1 for a static second body, m1 m2 otherwise).
  /// With hint 1 and the manifold option on, the linked manifolds are
  /// resolved afterwards.
  void resolveCollision(CollisionPair& pair, std::uint32_t hint, ContactBlocks*& K, double s,
                        std::uint8_t manifoldOption, const Worker& worker);
  /// Resting contact: non-negative normal impulses over the contacts and the
  /// points of the linked manifolds. K as resolveCollision left it (built
  /// here when null). `afterCollision`: resolveCollision has just resolved
  /// the pair on this worker, so its classification is made again
  /// (classifyContacts).
  void resolveContact(CollisionPair& pair, std::uint32_t hint, ContactBlocks* K, double s, const Worker& worker,
                      bool afterCollision = false);
  /// The collision solves of thread slot `worker` so far; all slots summed
  /// for kThreadSlotCount.
  ResolutionCounters counters(std::uint32_t worker = kThreadSlotCount) const;

  // ---- Rest test, staging and bookkeeping ----------------------------------------

  /// The rest test of the resting pass: counts calls in a row at which
  /// neither squared speed grew by 1e-5 and both are below `threshold`; true
  /// from the 20th such call.
  static bool isRestingBody(HardBody* body, float threshold);
  /// Orders `pairs` into `ordered` outward from the most energetic (then
  /// lowest) body, giving the bodies contact stages from `stage` upward.
  static void stageContacts(EngineList<CollisionPair*>& pairs, EngineList<CollisionPair*>& ordered,
                            std::int32_t& stage);
  /// The bodies resolving the pair may change: its non-static bodies and the
  /// bodies (or their parents) of its linked manifolds, each once, at most
  /// `capacity`. Returns their number.
  static std::uint32_t resolvedBodies(const CollisionPair& pair, HardBody** out, std::uint32_t capacity);

  // ---- Filters ------------------------------------------------------------------

  /// The filters of a collision, each compacting every per-contact array:
  /// contacts moving apart (u . n > 1e-5); later contacts within 1e-5
  /// (squared) of an earlier one; of two opposed contacts the shallower (the
  /// later on equal depths).
  static void removeSeparatingContacts(CollisionPair& pair);
  static void removeDuplicateContacts(CollisionPair& pair);
  static void removeOpposingContacts(CollisionPair& pair);
  /// Keeps the contacts whose mark is 0, in order, in every per-contact
  /// array, the others set aside behind them for the next pass
  /// (CollisionPair::setAsideMarked); the marks end cleared.
  static void compactContacts(CollisionPair& pair, const std::uint8_t* marks);

  // ---- Systems ------------------------------------------------------------------

  /// K over the pair's contacts: 3 x 3 blocks (s/m1 + s/m2) I - [r1_i] s
  /// I1^-1 [r1_j] - [r2_i] s I2^-1 [r2_j], the second body's terms left out
  /// when it is static.
  static void buildCollisionMatrix(CollisionPair& pair, double s, ContactBlocks* K);
  /// The same blocks for the extraction system of n contacts: `first` and
  /// `second` (null: no term) with their lever arms.
  static void buildExtractionMatrix(std::uint32_t n, const HardBody* first, const Mgc::MgcVector3* firstArms,
                                    const HardBody* second, const Mgc::MgcVector3* secondArms, double s,
                                    ContactBlocks* K);
  /// The same system written out as the dense matrix of 3n rows and columns
  /// (sized already): the reference of the blocks.
  static void buildExtractionMatrix(std::uint32_t n, const HardBody* first, const Mgc::MgcVector3* firstArms,
                                    const HardBody* second, const Mgc::MgcVector3* secondArms, double s, dmat* K);
  /// N_ij = n_i . (K_ij n_j).
  static void normalMatrix(const CollisionPair& pair, const ContactBlocks* K, dmat* N);
  /// N_ij = n_i . (K_ij (n_j + f mu t_j)).
  static void frictionNormalMatrix(const CollisionPair& pair, const ContactBlocks* K, double f, dmat* N);
  /// out_i = n_i . (b_3i, b_3i+1, b_3i+2): the normal part of each contact's
  /// right-hand side.
  static void normalComponents(const CollisionPair& pair, const dvec* rhs, dvec* out);

 private:
  /// Lends the worker's SolveArrays to the pair for its solve; false when
  /// the worker has no workspace.
  static bool lendSolveArrays(CollisionPair& pair, const Worker& worker);
  /// The collision impulses of the prepared pair.
  void solveCollisionImpulses(CollisionPair& pair, std::uint32_t hint, ContactBlocks*& K, double s,
                              const Worker& worker);
  /// The friction back-off over every contact of the pair, with K and the
  /// right-hand side b of the collision system over them: impulses along
  /// n + f mu t with the largest friction factor f that does not turn a
  /// contact's sliding round, t the unit direction opposing the contact's
  /// tangential relative velocity (made here from the classification's
  /// relative velocities). Compacts the pair and the system to the
  /// contacts that push.
  void backOffFriction(CollisionPair& pair, ContactBlocks* K, dvec* b, dvec* x, const Worker& worker);
  /// The resting-contact impulses of the pair and its linked manifolds.
  static void solveContactImpulses(CollisionPair& pair, std::uint32_t hint, ContactBlocks* K, double s,
                                   const Worker& worker);
  /// The linked manifolds of the pair on their own, after a collision.
  static void resolveRestingGroup(CollisionPair& pair, double s, const Worker& worker);
  /// Applies impulse J at contact i: +J to the first body, -J to the second
  /// unless it is static; the found contact it stands for carries it.
  static void applyContactImpulse(CollisionPair& pair, std::uint32_t i, const Mgc::MgcVector3& J);

  /// How each thread slot's collision solves ended; each slot is written
  /// only by the thread running as it.
  ResolutionCounters slotCounters[kThreadSlotCount];
};
