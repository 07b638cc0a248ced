#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

#include "engine/bodies/HardBody.h"
#include "engine/collision/ContactSet.h"
#include "engine/collision/SolveArrays.h"
#include "geometry/BoxTree.h"
#include "geometry/EngineList.h"
#include "math/MgcVector3.h"

class ContactManifold;

/// kMaxPairContacts vectors of a pair's contacts, left unset: an array of
/// MgcVector3 would first set all of them to zero, where a solve writes only
/// the few it uses. Each entry must be written before it is read. Reads as
/// an array (through its pointer). The vectors live in byte storage: being
/// trivially copyable, they need no making before they are stored into.
class ContactVectors {
 public:
  // The vectors are reached through one pointer, made once: laundered at
  // every access they cost the solves' loops instructions.
  ContactVectors() : values(std::launder(reinterpret_cast<Mgc::MgcVector3*>(storage))) {}
  ContactVectors(const ContactVectors&) = delete;
  ContactVectors& operator=(const ContactVectors&) = delete;
  operator Mgc::MgcVector3*() { return values; }
  operator const Mgc::MgcVector3*() const { return values; }

 private:
  static_assert(std::is_trivially_copyable<Mgc::MgcVector3>::value &&
                    std::is_trivially_destructible<Mgc::MgcVector3>::value,
                "entries are written without being made first");
  alignas(Mgc::MgcVector3) unsigned char storage[kMaxPairContacts * sizeof(Mgc::MgcVector3)];
  Mgc::MgcVector3* const values;
};

/// Sides of a pair the contact solves hold in place.
constexpr std::uint8_t kHeldFirst = 1;
constexpr std::uint8_t kHeldSecond = 2;
/// CollisionPair::swept's bits: the first body was swept; the second.
constexpr std::uint8_t kSweptFirst = 1;
constexpr std::uint8_t kSweptSecond = 2;

/// What the contact solver makes of a pair.
enum ContactStatus : std::uint32_t {
  kContactNone = 0,
  kContactColliding = 1,
  kContactResting = 2,
};

/// One body pair in contact, with its contact set of at most 32 contacts and
/// the narrow phase's cache carried from one step to the next. The contact
/// arrays are sized to what the pair holds (a few contacts in a pile) and
/// grow up to kMaxPairContacts when a pair needs more. Pooled by the
/// collision manager per worker: records are taken from a worker's free list
/// and returned to it, never freed before the manager's clearAll or its
/// destruction. The bodies are not owned; neither are the linked manifolds.
class CollisionPair {
 public:
  /// Null bodies, zero vectors and counters, an empty manifold list.
  CollisionPair();
  CollisionPair(const CollisionPair&) = delete;
  CollisionPair& operator=(const CollisionPair&) = delete;
  ~CollisionPair();

  // The members run from the widest to the narrowest, so that the record,
  // one per pair in contact, carries no padding between them.

  /// Contact count the narrow phase reported; what the pair test returns.
  std::uint32_t resultCount = 0;
  /// Points held, 0 to kMaxPairContacts.
  std::uint32_t contactCount = 0;
  /// The pair in test order.
  HardBody* firstBody = nullptr;
  HardBody* secondBody = nullptr;
  /// The pieces the pair held before it was lifted to their fracture bodies.
  HardBody* firstPiece = nullptr;
  HardBody* secondPiece = nullptr;
  /// Narrow-phase cache: feature ids (0xFFFFFFFF when reset), separating
  /// vector and the last face-tree nodes of each side.
  std::uint32_t featureIds[2] = {0, 0};
  Mgc::MgcVector3 separatingVector;
  BoxTreeNode* firstCachedNode = nullptr;
  BoxTreeNode* secondCachedNode = nullptr;
  /// The hit processing's measure of the impact.
  double impactMeasure = 0.0;
  // The per-contact arrays below hold contactCapacity() entries each, all in
  // one block the pair owns (none before the first contact): sized to what
  // the pair holds, grown by reserveContacts, kept while the record is pooled.
  // relativeVelocities, tangents, firstArms, secondArms and impulses are the
  // exception: they point into the solving thread's SolveArrays while a solve
  // runs on the pair (useSolveArrays), null otherwise.

  /// World points when generated, in the first body's frame once prepared.
  Mgc::MgcVector3* points = nullptr;
  /// Contact normals (world), from the second body towards the first.
  Mgc::MgcVector3* normals = nullptr;
  /// Velocity of a static second body at each contact; null, all of them
  /// zero, while the pair holds none (holdStaticVelocities).
  Mgc::MgcVector3* staticVelocities = nullptr;
  /// Lent by the solve (useSolveArrays): relative velocity of the first body
  /// against the second at each contact.
  Mgc::MgcVector3* relativeVelocities = nullptr;
  ContactFeature* features = nullptr;
  /// Depth per point: how far its point on the first body stands from its
  /// point on the second along the normal, negative when penetrating.
  double* depths = nullptr;
  /// Contact points in the second body's frame.
  Mgc::MgcVector3* secondPoints = nullptr;
  /// Lent by the solve: unit direction opposing each contact's sliding.
  Mgc::MgcVector3* tangents = nullptr;
  /// Lent by the solve: contact point minus each body's position.
  Mgc::MgcVector3* firstArms = nullptr;
  Mgc::MgcVector3* secondArms = nullptr;
  ContactMarks marks;
  /// Lent by the solve: the impulse it applied at each contact kept.
  Mgc::MgcVector3* impulses = nullptr;
  /// The contacts as the pair processing found them. A solve takes out the
  /// contacts that separate or would pull; each pass over the pairs starts
  /// again from these, since a contact that separates in one pass may carry
  /// load in the next. A contact taken out is set aside behind the ones
  /// held (compactContacts), so that the per-contact arrays keep every found
  /// contact: the first `count` slots hold them, in the order foundIndex
  /// gives, and only their depths, which a solve may update, are kept apart.
  struct FoundContacts {
    std::uint32_t count = 0;
    /// Depth of each found contact, by found index.
    double* depths = nullptr;
    /// The impulse each has carried over the passes of the running pair
    /// processing (on the first body; the second takes its opposite), by
    /// found index.
    Mgc::MgcVector3* carried = nullptr;
  } found;
  /// Per slot: the index among the found contacts of the contact it holds.
  std::uint8_t* foundIndex = nullptr;
  /// Manifolds linked to the pair (not owned).
  EngineList<ContactManifold*> manifolds;

  // ---- The contact solver's view of the pair ----------------------------

  /// The smaller of the two bodies' restitution coefficients.
  double restitution = 0.0;
  /// The friction coefficient of the pair.
  double friction = 0.0;
  /// Stamp of ordered extraction.
  std::uint32_t waveStamp = 0;
  std::uint32_t scratch = 0;
  /// Contacts with their point in the second body's frame.
  std::uint32_t secondCount = 0;
  /// A ContactStatus value.
  std::uint32_t status = kContactNone;
  /// Rows of the linked manifolds: the sum of their point counts.
  std::uint32_t manifoldRows = 0;
  /// 1 when the last collision solve went through the friction back-off.
  std::uint8_t backedOff = 0;
  /// kHeldFirst and kHeldSecond: the sides the solves hold in place, as if
  /// static (the body lower in a pile while the pairs above it are solved).
  std::uint8_t held = 0;
  /// kSweptFirst and kSweptSecond: the bodies of the pair that were swept
  /// when it was found (its contacts may stand apart by up to their reach).
  /// The solves measure every found contact of such a pair again at each
  /// step, those they set aside included, so that no gap found once is
  /// closed again at every step; the motion of a swept body that passes
  /// into the other through such a gap within the step is cut back to where
  /// they touch (CollisionManager::clampSweptMotion).
  std::uint8_t swept = 0;
  /// Whether the advance's passes give some contact of the pair its bounce
  /// (`approaches` then holds, by found index, the speed each leaves at).
  bool bouncing = false;
  /// While the advance's passes run on a swept pair that bounces at all: by
  /// found index, each contact's normal speed before the step's passes
  /// (negative: approaching), then the speed it bounces off at (0 for
  /// none). Lent by the pair processing, null otherwise.
  double* approaches = nullptr;

  /// Whether the solves move the first body; the second.
  bool movesFirst() const { return (held & kHeldFirst) == 0; }
  bool movesSecond() const { return (held & kHeldSecond) == 0 && secondBody != nullptr && !secondBody->isStatic(); }

  /// Ready for a new test: no bodies or pieces, no cached nodes, a zero
  /// separating vector, both feature ids kNoIndex, zero counters and counts,
  /// an empty manifold list.
  void reset();
  /// Copies the header (bodies, pieces, feature ids, separating vector,
  /// cached nodes, counters) and, per contact of the first count, the point,
  /// the second body's point, the normal and the depth; the manifold list is
  /// emptied.
  void copyFrom(const CollisionPair& other);

  /// Keeps the contacts held as the found ones, none carrying an impulse.
  void keepFoundContacts();
  /// Holds the found contacts again (with their solver data still to be
  /// made by the classification), their carried impulses kept.
  void restoreFoundContacts();
  /// The slot of the per-contact arrays that holds found contact k (below
  /// found.count): its point, second point, normal, static velocity and
  /// features are those it was found with.
  std::uint32_t foundSlot(std::uint32_t k) const;
  /// Takes out the held contacts marked non-zero (the first contactCount
  /// marks), keeping the order of the others, which move to the front; the
  /// ones taken out are set aside behind them in their order, with the found
  /// contacts behind those left where they are. Moves the lent arrays'
  /// entries of the kept contacts alike. Returns the contacts kept; the
  /// count is left to the caller.
  std::uint32_t setAsideMarked(const std::uint8_t* marks);

  /// The contact arrays as a set; appending grows them.
  ContactSet contactSet() {
    return ContactSet{points, normals, depths, features, &contactCount, contactCapacity(), this};
  }

  /// Contacts each per-contact array holds now.
  std::uint32_t contactCapacity() const { return lent ? kMaxPairContacts : capacity; }
  /// Bytes of the block of per-contact arrays the pair owns (0 without one).
  std::size_t contactBytes() const;
  /// Makes the pair hold a static velocity per contact, zero where it held
  /// none, keeping its contacts: only a pair whose second body is static
  /// needs them. False, with nothing changed, when memory runs out.
  bool holdStaticVelocities();
  /// The velocity of the static second body at contact i: zero while the
  /// pair holds none.
  Mgc::MgcVector3 staticVelocity(std::uint32_t i) const {
    return staticVelocities != nullptr ? staticVelocities[i] : Mgc::MgcVector3();
  }
  /// Makes every per-contact array hold at least n contacts (at most
  /// kMaxPairContacts), keeping what they hold. False, with nothing changed,
  /// above kMaxPairContacts or when memory runs out.
  bool reserveContacts(std::uint32_t n);
  /// Points the generated arrays (points, normals, depths, features) at a
  /// full-size set while the narrow phase fills them, so that it never needs
  /// to grow them; false, with nothing changed, while already lent.
  bool lendContacts(ContactScratch& scratch);
  /// The lent arrays' contacts copied into the pair's own, made to hold
  /// exactly them, which are pointed at again: the block the pair holds
  /// when it is of that size. A block the pair lets go of goes to `retired`
  /// when given, else is freed; the new block is one of its size from
  /// `retired`, else from `parked` while it has room, when given. False,
  /// with the count cut to what fits, when memory runs out.
  bool returnContacts(RetiredBlocks* retired = nullptr, ParkedBlocks* parked = nullptr);
  /// When the pair's arrays still lie in the parked block at `at` (of
  /// `bytes`), moves them into a block of its own; nothing for a block the
  /// pair has since let go of. False, with the contacts dropped, when memory
  /// runs out.
  /// The new block is `own` when given (of `bytes` bytes), else made; it
  /// goes unused when the pair has let go of the parked one.
  bool settleParked(const unsigned char* at, std::size_t bytes, std::unique_ptr<unsigned char[]> own = nullptr);
  /// Lets go of the block of per-contact arrays of a record no pair uses,
  /// dropping its contacts: to `retired` when given, else freed. Nothing
  /// while the arrays are lent.
  void dropContacts(RetiredBlocks* retired = nullptr);
  /// Whether the pair's arrays lie in a parked block; in the one at `at`.
  bool holdsParkedBlock() const { return parkedBlock != nullptr; }
  bool holdsParkedBlock(const unsigned char* at) const { return parkedBlock != nullptr && parkedBlock == at; }

  /// Points relativeVelocities, tangents, firstArms, secondArms and impulses at
  /// `arrays` (a solving thread's, which the solve fills), or at nothing for
  /// null.
  void useSolveArrays(SolveArrays* arrays);
  /// Whether a solve's arrays are lent to the pair.
  bool hasSolveArrays() const { return firstArms != nullptr; }

  /// Whether the pair joins a and b, in either order.
  bool joins(const HardBody* a, const HardBody* b) const {
    return (firstBody == a && secondBody == b) || (firstBody == b && secondBody == a);
  }

 private:
  /// Makes every per-contact array hold exactly n contacts (no block for 0),
  /// the static velocities among them when `holdStatic`, keeping the entries
  /// below n, the old block to `retired` and the new one from there first
  /// when given; false, with nothing changed, when memory runs out.
  bool resizeContacts(std::uint32_t n, bool holdStatic, RetiredBlocks* retired = nullptr,
                      ParkedBlocks* parked = nullptr);
  /// Points every per-contact array into `storage`, sized for n contacts,
  /// value-initialising them when `construct`.
  void placeArrays(unsigned char* storage, std::uint32_t n, bool construct);

  /// The block of every per-contact array, for `capacity` contacts: owned,
  /// or lying in a parked room until the calling thread settles it (at
  /// most one of the two).
  std::unique_ptr<unsigned char[]> block;
  unsigned char* parkedBlock = nullptr;
  std::uint32_t capacity = 0;
  /// Whether the generated arrays point into a lent scratch set.
  bool lent = false;
  /// Whether the block holds the static velocities.
  bool withStatic = false;
};
