#include "engine/collision/CollisionPair.h"

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
