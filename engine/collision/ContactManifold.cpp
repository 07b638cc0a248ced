#include "engine/collision/ContactManifold.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <type_traits>

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionPair.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// Points whose normal is this close to the given direction stay aligned.
constexpr double kAlignedCosine = 0.98;
/// Manifolds reduce from this many points on.
constexpr std::uint32_t kReduceFrom = 16;
/// Points a manifold's arrays are first made for: a face resting on a face.
constexpr std::uint32_t kFirstPoints = 4;

/// A point held in `body`'s frame placed in the world; the frame of a null
/// body is the world's.
MgcVector3 placed(const HardBody* body, const MgcVector3& local) {
  if (body == nullptr) return local;
  const RBDynamics& state = body->getDyn();
  return state.orientation * local + state.position;
}

MgcVector3 rigidVelocity(const HardBody* body, const MgcVector3& p) {
  if (body == nullptr) return MgcVector3();
  const RBDynamics& state = body->getDyn();
  return state.angularVelocity.Cross(p - state.position) + state.linearVelocity;
}

}  // namespace

bool ContactManifold::ensureCapacity(std::uint32_t n) {
  if (n <= capacity && block) return true;
  std::uint32_t grown = kFirstPoints;
  while (grown < n) grown *= 2;
  if (grown > kMaxManifoldPoints) grown = kMaxManifoldPoints;
  constexpr std::size_t kPointBytes = 5 * sizeof(MgcVector3) + sizeof(HardBody*) + sizeof(std::uint16_t);
  std::unique_ptr<unsigned char[]> storage(new (std::nothrow) unsigned char[grown * kPointBytes]);
  if (!storage) return false;
  // Vectors, then body pointers, then marks, so that each keeps its alignment.
  unsigned char* at = storage.get();
  const auto carve = [&at, grown](auto* kind, auto* old, std::uint32_t kept) {
    using T = std::remove_pointer_t<decltype(kind)>;
    T* first = reinterpret_cast<T*>(at);
    for (std::uint32_t i = 0; i < grown; ++i) new (at + i * sizeof(T)) T();
    if (old != nullptr) std::copy(old, old + kept, first);
    at += grown * sizeof(T);
    return first;
  };
  const std::uint32_t kept = capacity;
  supportPoints = carve(static_cast<MgcVector3*>(nullptr), supportPoints, kept);
  bodyPoints = carve(static_cast<MgcVector3*>(nullptr), bodyPoints, kept);
  worldPoints = carve(static_cast<MgcVector3*>(nullptr), worldPoints, kept);
  normals = carve(static_cast<MgcVector3*>(nullptr), normals, kept);
  velocities = carve(static_cast<MgcVector3*>(nullptr), velocities, kept);
  supports = carve(static_cast<HardBody**>(nullptr), supports, kept);
  marks = carve(static_cast<std::uint16_t*>(nullptr), marks, kept);
  block = std::move(storage);
  capacity = grown;
  return true;
}

void ContactManifold::rebuildPoint(std::uint32_t k) {
  HardBody* support = supports[k];
  worldPoints[k] = placed(support, supportPoints[k]);
  const ZOVmesh* supportMesh = support != nullptr ? support->getWorldMesh() : nullptr;
  const bool perVertex = supportMesh != nullptr && supportMesh->hasVertexData != 0;
  velocities[k] = rigidVelocity(perVertex ? body : support, worldPoints[k]);
}

bool ContactManifold::merge(const CollisionPair& pair, HardBody* b) {
  if (b == nullptr || (b != pair.firstBody && b != pair.secondBody)) return false;
  const std::uint32_t n = pair.contactCount < kMaxManifoldPoints ? pair.contactCount : kMaxManifoldPoints;
  if (!ensureCapacity(n)) return false;
  const bool bFirst = b == pair.firstBody;
  HardBody* support = bFirst ? pair.secondBody : pair.firstBody;
  body = b;
  pointCount = n;
  keptCount = n;
  for (std::uint32_t k = 0; k < n; ++k) {
    bodyPoints[k] = bFirst ? pair.points[k] : pair.secondPoints[k];
    supportPoints[k] = bFirst ? pair.secondPoints[k] : pair.points[k];
    // The pair's normals point from its second body towards its first.
    normals[k] = bFirst ? -pair.normals[k] : pair.normals[k];
    supports[k] = support;
    marks[k] = 0;
    rebuildPoint(k);
  }
  flags = (flags & ~kManifoldStale) | kManifoldCurrent;
  return true;
}

bool ContactManifold::reset() {
  if (!supportPoints || !bodyPoints) return false;
  for (std::uint32_t k = 0; k < pointCount; ++k) {
    rebuildPoint(k);
    marks[k] = 0;
  }
  keptCount = pointCount;
  flags = (flags & ~kManifoldStale) | kManifoldCurrent;
  return true;
}

bool ContactManifold::addPoints(const ContactManifold& other) {
  if (pointCount >= kMaxManifoldPoints || other.body != body || &other == this) return false;
  if (other.pointCount != 0 && (!other.supportPoints || !other.bodyPoints)) return false;
  const std::uint32_t wanted = pointCount + other.pointCount;
  if (!ensureCapacity(wanted < kMaxManifoldPoints ? wanted : kMaxManifoldPoints)) return false;
  MgcVector3 middle[kMaxManifoldPoints];
  other.midpoints(middle);
  for (std::uint32_t j = 0; j < other.pointCount; ++j) {
    if (pointCount >= kMaxManifoldPoints) reduce();
    const std::uint32_t k = pointCount++;
    supports[k] = other.supports[j];
    supportPoints[k] = other.supportPoints[j];
    bodyPoints[k] = other.bodyPoints[j];
    normals[k] = other.normals[j];
    worldPoints[k] = middle[j];
    const ZOVmesh* supportMesh = supports[k] != nullptr ? supports[k]->getWorldMesh() : nullptr;
    const bool perVertex = supportMesh != nullptr && supportMesh->hasVertexData != 0;
    velocities[k] = rigidVelocity(perVertex ? body : supports[k], worldPoints[k]);
    marks[k] = 0;
  }
  flags &= ~kManifoldCurrent;
  keptCount = pointCount;
  return true;
}

void ContactManifold::reduce() {
  if (pointCount < kReduceFrom) return;
  // Every second point from the first, floor(count / 2) of them: an odd
  // count leaves its last point out too.
  const std::uint32_t end = 2 * (pointCount / 2);
  keepPoints([end](std::uint32_t k) { return k % 2 == 0 && k < end; });
}

std::uint32_t ContactManifold::countUnmarked(const std::uint8_t* byteMarks) {
  if (byteMarks == nullptr) return 0;
  std::uint32_t kept = 0;
  for (std::uint32_t k = 0; k < pointCount; ++k) {
    marks[k] = byteMarks[k];
    if (marks[k] == 0) ++kept;
  }
  keptCount = kept;
  return kept;
}

void ContactManifold::keepDominantSide() {
  if (pointCount < 2) return;
  std::uint32_t sideA = 0;
  std::uint32_t sideB = 1;
  double lowest = normals[0].Dot(normals[1]);
  for (std::uint32_t i = 0; i < pointCount; ++i) {
    for (std::uint32_t j = i + 1; j < pointCount; ++j) {
      const double cosine = normals[i].Dot(normals[j]);
      if (cosine < lowest) {
        lowest = cosine;
        sideA = i;
        sideB = j;
      }
    }
  }
  if (lowest >= -zov::kTolerance) return;
  const MgcVector3 normalA = normals[sideA];
  const MgcVector3 normalB = normals[sideB];
  MgcVector3 sumA;
  MgcVector3 sumB;
  for (std::uint32_t k = 0; k < pointCount; ++k) {
    if (normals[k].Dot(normalA) > normals[k].Dot(normalB)) {
      sumA += velocities[k];
    } else {
      sumB += velocities[k];
    }
  }
  const MgcVector3 winner = sumA.SquaredLength() >= sumB.SquaredLength() ? normalA : normalB;
  keepPoints([&](std::uint32_t k) { return normals[k].Dot(winner) > zov::kTolerance; });
}

void ContactManifold::keepAlignedNormals(const MgcVector3& d) {
  keepPoints([&](std::uint32_t k) { return std::fabs(normals[k].Dot(d)) > kAlignedCosine; });
}

void ContactManifold::compact() {
  keepPoints([&](std::uint32_t k) { return marks[k] != 1; });
}

void ContactManifold::midpoints(MgcVector3* out) const {
  if (!supportPoints || !bodyPoints) return;
  for (std::uint32_t k = 0; k < pointCount; ++k) {
    out[k] = (placed(supports[k], supportPoints[k]) + placed(body, bodyPoints[k])) * 0.5;
  }
}

template <typename Keep>
void ContactManifold::keepPoints(Keep&& keep) {
  std::uint32_t n = 0;
  for (std::uint32_t k = 0; k < pointCount; ++k) {
    if (!keep(k)) continue;
    if (n != k) {
      supports[n] = supports[k];
      if (supportPoints) supportPoints[n] = supportPoints[k];
      if (bodyPoints) bodyPoints[n] = bodyPoints[k];
      worldPoints[n] = worldPoints[k];
      normals[n] = normals[k];
      velocities[n] = velocities[k];
    }
    ++n;
  }
  for (std::uint32_t k = 0; k < capacity; ++k) marks[k] = 0;
  pointCount = n;
  keptCount = n;
}
