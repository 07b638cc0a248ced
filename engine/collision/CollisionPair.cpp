#include "engine/collision/CollisionPair.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

#include "engine/bodies/HardBody.h"
#include "math/Tolerances.h"

namespace {

/// Contacts a pair's arrays are first made for: a face resting on a face.
constexpr std::uint32_t kTypicalContacts = 4;

/// Per contact: 4 vectors, a feature record, two doubles and two bytes, and
/// a fifth vector, the velocity of a static second body, where the pair has
/// one.
constexpr std::size_t kVectorsPerContact = 4;
constexpr std::size_t kDoublesPerContact = 2;
constexpr std::size_t kBytesPerContact = kVectorsPerContact * sizeof(Mgc::MgcVector3) + sizeof(ContactFeature) +
                                         kDoublesPerContact * sizeof(double) + 2 * sizeof(std::uint8_t);

/// Bytes of a contact's entries in the block, with or without the static
/// velocities.
std::size_t bytesPerContact(bool withStatic) { return kBytesPerContact + (withStatic ? sizeof(Mgc::MgcVector3) : 0); }

/// The array of n objects of T at `at` (value-initialised when `construct`),
/// `at` moved past it.
template <typename T>
T* carve(unsigned char*& at, std::uint32_t n, bool construct) {
  T* first = reinterpret_cast<T*>(at);
  for (std::uint32_t i = 0; construct && i < n; ++i) new (at + i * sizeof(T)) T();
  at += static_cast<std::size_t>(n) * sizeof(T);
  return first;
}

/// Puts entry order[i] of the first count entries at i.
template <typename T>
void reorder(T* values, const std::uint8_t* order, std::uint32_t count) {
  // Raw storage, of which only the entries moved are made: an array of T
  // would first set all kMaxPairContacts of them to zero.
  static_assert(std::is_trivially_copyable<T>::value && std::is_trivially_destructible<T>::value,
                "the entries are copied through raw storage");
  alignas(T) unsigned char storage[kMaxPairContacts * sizeof(T)];
  for (std::uint32_t i = 0; i < count; ++i) new (storage + i * sizeof(T)) T(values[order[i]]);
  const T* moved = std::launder(reinterpret_cast<const T*>(storage));
  std::copy(moved, moved + count, values);
}

/// Copies the first n entries of an array of the old block into the new.
template <typename T>
void carry(T* to, const T* from, std::uint32_t n) {
  if (from != nullptr) std::copy(from, from + n, to);
}

}  // namespace

CollisionPair::CollisionPair() = default;

CollisionPair::~CollisionPair() = default;

void CollisionPair::placeArrays(unsigned char* storage, std::uint32_t n, bool construct) {
  // The vectors and doubles first, so that every array keeps its alignment.
  unsigned char* at = storage;
  points = carve<Mgc::MgcVector3>(at, n, construct);
  normals = carve<Mgc::MgcVector3>(at, n, construct);
  secondPoints = carve<Mgc::MgcVector3>(at, n, construct);
  found.carried = carve<Mgc::MgcVector3>(at, n, construct);
  staticVelocities = withStatic ? carve<Mgc::MgcVector3>(at, n, construct) : nullptr;
  depths = carve<double>(at, n, construct);
  found.depths = carve<double>(at, n, construct);
  features = carve<ContactFeature>(at, n, construct);
  marks.values = carve<std::uint8_t>(at, n, construct);
  marks.size = n;
  foundIndex = carve<std::uint8_t>(at, n, construct);
}

std::size_t CollisionPair::contactBytes() const {
  return block || parkedBlock != nullptr ? capacity * bytesPerContact(withStatic) : 0;
}

bool CollisionPair::reserveContacts(std::uint32_t n) {
  if (n <= contactCapacity()) return true;
  if (n > kMaxPairContacts) return false;
  std::uint32_t grown = kTypicalContacts;
  while (grown < n) grown *= 2;
  return resizeContacts(grown < kMaxPairContacts ? grown : kMaxPairContacts, withStatic);
}

bool CollisionPair::holdStaticVelocities() {
  if (withStatic || lent) return withStatic;
  return capacity == 0 ? (withStatic = true) : resizeContacts(capacity, true);
}

bool CollisionPair::resizeContacts(std::uint32_t n, bool holdStatic, RetiredBlocks* retired, ParkedBlocks* parked) {
  if (n == capacity && holdStatic == withStatic) return true;
  std::unique_ptr<unsigned char[]> storage;
  unsigned char* parkedStorage = nullptr;
  if (n != 0) {
    const std::size_t bytes = n * bytesPerContact(holdStatic);
    // A block of the size another pair let go of on this thread first: it
    // is the pair's own, and needs no settling.
    if (retired != nullptr) storage = retired->take(bytes);
    if (!storage && parked != nullptr) parkedStorage = parked->take(bytes, this);
    if (!storage && parkedStorage == nullptr) {
      storage.reset(new (std::nothrow) unsigned char[bytes]);
      if (!storage) return false;
    }
  }
  // The new block takes every entry of the old arrays it has room for; a
  // parked old block stays in its room.
  const std::size_t oldBlockBytes = block ? contactBytes() : 0;
  std::unique_ptr<unsigned char[]> old = std::move(block);
  const unsigned char* oldParked = parkedBlock;
  parkedBlock = parkedStorage;
  const std::uint32_t kept = capacity < n ? capacity : n;
  const Mgc::MgcVector3* oldVectors[] = {points, normals, secondPoints, found.carried, staticVelocities};
  const double* oldDoubles[] = {depths, found.depths};
  const ContactFeature* oldFeatures = features;
  const std::uint8_t* oldBytes[] = {marks.values, foundIndex};
  withStatic = holdStatic;
  const bool hadBlock = old || oldParked != nullptr;
  placeArrays(parkedStorage != nullptr ? parkedStorage : storage.get(), n, true);
  if (hadBlock && n != 0) {
    Mgc::MgcVector3* vectors[] = {points, normals, secondPoints, found.carried, staticVelocities};
    for (std::size_t v = 0; v < sizeof(vectors) / sizeof(vectors[0]); ++v) {
      if (vectors[v] != nullptr) carry(vectors[v], oldVectors[v], kept);
    }
    carry(depths, oldDoubles[0], kept);
    carry(found.depths, oldDoubles[1], kept);
    carry(features, oldFeatures, kept);
    carry(marks.values, oldBytes[0], kept);
    carry(foundIndex, oldBytes[1], kept);
  }
  block = std::move(storage);
  capacity = n;
  if (retired != nullptr) retired->add(std::move(old), oldBlockBytes);
  return true;
}

bool CollisionPair::lendContacts(ContactScratch& scratch) {
  if (lent) return false;
  lent = true;
  points = scratch.points;
  normals = scratch.normals;
  depths = scratch.depths;
  features = scratch.features;
  return true;
}

bool CollisionPair::settleParked(const unsigned char* at, std::size_t bytes, std::unique_ptr<unsigned char[]> own) {
  if (!holdsParkedBlock(at)) return true;
  parkedBlock = nullptr;
  if (!own) own.reset(new (std::nothrow) unsigned char[bytes]);
  if (!own) {
    placeArrays(nullptr, 0, false);
    capacity = 0;
    contactCount = 0;
    found.count = 0;
    secondCount = 0;
    return false;
  }
  // The arrays' layout depends only on the capacity and the static
  // velocities, and their entries are plain values: copied whole.
  std::memcpy(own.get(), at, bytes);
  block = std::move(own);
  placeArrays(block.get(), capacity, false);
  return true;
}

void CollisionPair::dropContacts(RetiredBlocks* retired) {
  if (lent) return;
  contactCount = 0;
  secondCount = 0;
  found.count = 0;
  resizeContacts(0, withStatic, retired);
}

bool CollisionPair::returnContacts(RetiredBlocks* retired, ParkedBlocks* parked) {
  if (!lent) return true;
  const Mgc::MgcVector3* lentPoints = points;
  const Mgc::MgcVector3* lentNormals = normals;
  const double* lentDepths = depths;
  const ContactFeature* lentFeatures = features;
  lent = false;
  if (block || parkedBlock != nullptr) {
    placeArrays(block ? block.get() : parkedBlock, capacity, false);
  } else {
    points = nullptr;
    normals = nullptr;
    depths = nullptr;
    features = nullptr;
  }
  // Exactly the contacts found: a record taken for a pair of another size
  // next time is fitted again, so that pooled records do not all grow to
  // the largest pair they ever held.
  const bool room = resizeContacts(contactCount, secondBody != nullptr && secondBody->isStatic(), retired, parked);
  if (!room) contactCount = contactCapacity() < contactCount ? contactCapacity() : contactCount;
  carry(points, lentPoints, contactCount);
  carry(normals, lentNormals, contactCount);
  carry(depths, lentDepths, contactCount);
  carry(features, lentFeatures, contactCount);
  return room;
}

void CollisionPair::useSolveArrays(SolveArrays* arrays) {
  relativeVelocities = arrays != nullptr ? arrays->relativeVelocities : nullptr;
  tangents = arrays != nullptr ? arrays->tangents : nullptr;
  firstArms = arrays != nullptr ? arrays->firstArms : nullptr;
  secondArms = arrays != nullptr ? arrays->secondArms : nullptr;
  impulses = arrays != nullptr ? arrays->impulses : nullptr;
}

void CollisionPair::reset() {
  firstBody = nullptr;
  secondBody = nullptr;
  firstPiece = nullptr;
  secondPiece = nullptr;
  firstCachedNode = nullptr;
  secondCachedNode = nullptr;
  separatingVector = Mgc::MgcVector3();
  featureIds[0] = zov::kNoIndex;
  featureIds[1] = zov::kNoIndex;
  resultCount = 0;
  waveStamp = 0;
  impactMeasure = 0.0;
  contactCount = 0;
  secondCount = 0;
  scratch = 0;
  status = kContactNone;
  manifoldRows = 0;
  backedOff = 0;
  held = 0;
  swept = 0;
  bouncing = false;
  approaches = nullptr;
  found.count = 0;
  useSolveArrays(nullptr);
  manifolds.clear();
}

void CollisionPair::copyFrom(const CollisionPair& other) {
  if (&other == this) return;
  resultCount = other.resultCount;
  firstBody = other.firstBody;
  secondBody = other.secondBody;
  firstPiece = other.firstPiece;
  secondPiece = other.secondPiece;
  featureIds[0] = other.featureIds[0];
  featureIds[1] = other.featureIds[1];
  separatingVector = other.separatingVector;
  firstCachedNode = other.firstCachedNode;
  secondCachedNode = other.secondCachedNode;
  waveStamp = other.waveStamp;
  impactMeasure = other.impactMeasure;
  scratch = other.scratch;
  manifolds.clear();
  contactCount = other.contactCount < kMaxPairContacts ? other.contactCount : kMaxPairContacts;
  if (!reserveContacts(contactCount)) contactCount = contactCapacity();
  secondCount = other.secondCount;
  swept = other.swept;
  for (std::uint32_t i = 0; i < contactCount; ++i) {
    points[i] = other.points[i];
    secondPoints[i] = other.secondPoints[i];
    normals[i] = other.normals[i];
    depths[i] = other.depths[i];
  }
}

void CollisionPair::keepFoundContacts() {
  found.count = contactCount < kMaxPairContacts ? contactCount : kMaxPairContacts;
  for (std::uint32_t i = 0; i < found.count; ++i) {
    found.depths[i] = depths[i];
    found.carried[i] = Mgc::MgcVector3();
    foundIndex[i] = static_cast<std::uint8_t>(i);
  }
}

void CollisionPair::restoreFoundContacts() {
  // The count and arrays in locals: a store into the byte arrays could
  // otherwise be any of them, read again after it.
  const std::uint32_t count = found.count;
  contactCount = count;
  secondCount = count;
  Mgc::MgcVector3* const pointsAt = points;
  Mgc::MgcVector3* const secondPointsAt = secondPoints;
  Mgc::MgcVector3* const normalsAt = normals;
  Mgc::MgcVector3* const velocitiesAt = staticVelocities;
  ContactFeature* const featuresAt = features;
  std::uint8_t* const index = foundIndex;
  // Each found contact back to the slot of its index, by cycles of swaps.
  for (std::uint32_t i = 0; i < count; ++i) {
    for (std::uint32_t k = index[i]; k != i && k < count; k = index[i]) {
      std::swap(pointsAt[i], pointsAt[k]);
      std::swap(secondPointsAt[i], secondPointsAt[k]);
      std::swap(normalsAt[i], normalsAt[k]);
      if (velocitiesAt != nullptr) std::swap(velocitiesAt[i], velocitiesAt[k]);
      std::swap(featuresAt[i], featuresAt[k]);
      std::swap(index[i], index[k]);
    }
  }
  double* const depthsAt = depths;
  const double* const foundDepths = found.depths;
  std::uint8_t* const marked = marks;
  for (std::uint32_t i = 0; i < count; ++i) {
    depthsAt[i] = foundDepths[i];
    marked[i] = 0;
    index[i] = static_cast<std::uint8_t>(i);
  }
}

std::uint32_t CollisionPair::foundSlot(std::uint32_t k) const {
  for (std::uint32_t i = 0; i < found.count; ++i) {
    if (foundIndex[i] == k) return i;
  }
  return k;
}

std::uint32_t CollisionPair::setAsideMarked(const std::uint8_t* marks) {
  // The slots in their new order: the kept ones, then the ones taken out.
  const std::uint32_t count = contactCount < kMaxPairContacts ? contactCount : kMaxPairContacts;
  std::uint8_t order[kMaxPairContacts];
  std::uint32_t n = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (marks[i] == 0) order[n++] = static_cast<std::uint8_t>(i);
  }
  if (n == count) return n;
  std::uint32_t at = n;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (marks[i] != 0) order[at++] = static_cast<std::uint8_t>(i);
  }
  reorder(points, order, count);
  reorder(secondPoints, order, count);
  reorder(normals, order, count);
  if (staticVelocities != nullptr) reorder(staticVelocities, order, count);
  reorder(features, order, count);
  reorder(depths, order, count);
  reorder(foundIndex, order, count);
  if (hasSolveArrays()) {
    reorder(impulses, order, count);
    reorder(relativeVelocities, order, count);
    reorder(tangents, order, count);
    reorder(firstArms, order, count);
    reorder(secondArms, order, count);
  }
  return n;
}
