// The hull builder's bookkeeping of points and faces: which face each
// outside point sees (its conflict list), the queue of faces to grow from,
// and the triangles made, killed and marked visible.

#include <algorithm>

#include "geometry/HullBuilder.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace zov::hull {

// Hands each conflict point of the replaced faces to the new face it lies
// farthest in front of. A point in front of none lies inside the new hull,
// but rounding can leave one a little beyond a face beside the cone when it
// is within the tolerance of every cone face: such a point goes to that face.
void HullBuilder::partitionConflicts() {
  for (std::uint32_t q : conflicts_) {
    const MgcVector3& position = points_[q];
    std::uint32_t best = kNoFace;
    double bestHeight = kTolerance;
    for (std::uint32_t f : newFaces_) {
      const double height = planeHeight(f, position);
      if (height > bestHeight) {
        bestHeight = height;
        best = f;
      }
    }
    if (best != kNoFace) {
      assignConflict(best, q, bestHeight);
      continue;
    }
    for (const HorizonSide& side : horizon_) {
      const double height = planeHeight(side.across, position);
      if (height > bestHeight) {
        bestHeight = height;
        best = side.across;
      }
    }
    if (best == kNoFace) continue;
    assignConflict(best, q, bestHeight);
    if (triangles_[best].farthest == q) enqueue(best);
  }
}

void HullBuilder::assignConflict(std::uint32_t f, std::uint32_t point, double height) {
  Triangle& face = triangles_[f];
  nextConflict_[point] = face.firstConflict;
  face.firstConflict = point;
  if (face.farthest == kNoPoint || height > face.farthestHeight) {
    face.farthest = point;
    face.farthestHeight = height;
  }
}

// Takes the point off the face's conflict list and finds the farthest of
// the rest.
void HullBuilder::dropConflict(std::uint32_t f, std::uint32_t point) {
  Triangle& face = triangles_[f];
  std::uint32_t* link = &face.firstConflict;
  while (*link != kNoPoint && *link != point) link = &nextConflict_[*link];
  if (*link == point) *link = nextConflict_[point];
  face.farthest = kNoPoint;
  face.farthestHeight = 0.0;
  for (std::uint32_t q = face.firstConflict; q != kNoPoint; q = nextConflict_[q]) {
    const double height = planeHeight(f, points_[q]);
    if (face.farthest == kNoPoint || height > face.farthestHeight) {
      face.farthest = q;
      face.farthestHeight = height;
    }
  }
}

void HullBuilder::enqueue(std::uint32_t f) {
  if (triangles_[f].firstConflict != kNoPoint) queue_.emplace(triangles_[f].farthestHeight, f);
}

std::uint32_t HullBuilder::newTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, const MgcVector3& normal) {
  std::uint32_t f;
  if (freeTriangles_.empty()) {
    f = static_cast<std::uint32_t>(triangles_.size());
    triangles_.emplace_back();
  } else {
    f = freeTriangles_.back();
    freeTriangles_.pop_back();
  }
  Triangle& face = triangles_[f];
  face.corners[0] = a;
  face.corners[1] = b;
  face.corners[2] = c;
  std::fill(face.neighbours, face.neighbours + 3, kNoFace);
  face.normal = normal;
  face.planeOffset = vertices_[a].Dot(normal);
  face.serial = nextSerial_++;
  face.firstConflict = kNoPoint;
  face.farthest = kNoPoint;
  face.farthestHeight = 0.0;
  face.visibleStamp = 0;
  face.heightStamp = 0;
  face.reachedStamp = 0;
  face.height = 0.0;
  face.alive = true;
  ++numLiveTriangles_;
  return f;
}

void HullBuilder::killTriangle(std::uint32_t f) {
  triangles_[f].alive = false;
  triangles_[f].firstConflict = kNoPoint;
  freeTriangles_.push_back(f);
  --numLiveTriangles_;
}

void HullBuilder::markVisible(std::uint32_t f) {
  triangles_[f].visibleStamp = stamp_;
  region_.push_back(f);
}

// The height of the point being added above the face's plane, measured from
// its first corner; kept for the rest of the search.
double HullBuilder::heightOf(std::uint32_t f, const MgcVector3& point) {
  Triangle& face = triangles_[f];
  if (face.heightStamp != stamp_) {
    face.height = (point - vertices_[face.corners[0]]).Dot(face.normal);
    face.heightStamp = stamp_;
  }
  return face.height;
}

double HullBuilder::planeHeight(std::uint32_t f, const MgcVector3& point) const {
  return point.Dot(triangles_[f].normal) - triangles_[f].planeOffset;
}

}  // namespace zov::hull
