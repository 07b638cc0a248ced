#include "engine/collision/CollisionPair.h"

#include "engine/bodies/HardBody.h"
#include "math/Tolerances.h"

CollisionPair::CollisionPair() = default;

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
  found.count = 0;
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
  secondCount = other.secondCount;
  for (std::uint32_t i = 0; i < contactCount; ++i) {
    points[i] = other.points[i];
    secondPoints[i] = other.secondPoints[i];
    normals[i] = other.normals[i];
    depths[i] = other.depths[i];
  }
}

bool CollisionPair::movesSecond() const {
  return (held & kHeldSecond) == 0 && secondBody != nullptr && !secondBody->isStatic();
}

void CollisionPair::keepFoundContacts() {
  found.count = contactCount < kMaxPairContacts ? contactCount : kMaxPairContacts;
  for (std::uint32_t i = 0; i < found.count; ++i) {
    found.points[i] = points[i];
    found.secondPoints[i] = secondPoints[i];
    found.normals[i] = normals[i];
    found.staticVelocities[i] = staticVelocities[i];
    found.features[i] = features[i];
    found.depths[i] = depths[i];
    found.carried[i] = Mgc::MgcVector3();
    foundIndex[i] = static_cast<std::uint8_t>(i);
  }
}

void CollisionPair::restoreFoundContacts() {
  contactCount = found.count;
  secondCount = found.count;
  for (std::uint32_t i = 0; i < found.count; ++i) {
    points[i] = found.points[i];
    secondPoints[i] = found.secondPoints[i];
    normals[i] = found.normals[i];
    staticVelocities[i] = found.staticVelocities[i];
    features[i] = found.features[i];
    depths[i] = found.depths[i];
    marks[i] = 0;
    foundIndex[i] = static_cast<std::uint8_t>(i);
  }
}
