#include "geometry/shatter/SeedFrame.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "geometry/BoxFits.h"
#include "geometry/ConvexHull.h"
#include "geometry/PointInsideMesh.h"
#include "math/MgcMath.h"
#include "platform/CRandom.h"

using Mgc::MgcVector3;

namespace zov::seeds {

namespace {

// Meshes up to this many vertices take the exact hull; larger ones the
// budgeted hull with this budget.
constexpr std::uint32_t kHullBudget = 64;
// A box whose half extents multiply to less than this is too flat to seed.
constexpr double kMinBoxVolume = 1e-5;
// The limit box's centre is first brought into the sampling box grown by this.
constexpr double kLimitGrowth = 1.5;
// Two consecutive sorted seeds closer than this (squared) count as one point.
constexpr double kSeparationSq = 0.001;
// A near-duplicate moves by this many times its difference from its successor,
constexpr double kSeparationFactor = 10.0;
// and by this much along the generator's nudge direction.
constexpr double kSeparationNudge = 1e-4;
// Pushes grow the difference elevenfold; a difference that sits on the one
// value that the push maps to itself must still end the loop.
constexpr int kMaxPushes = 64;
// A pushed point that left the hull comes back this fraction of its
// distance inside.
constexpr double kPushBackMargin = 0.01;

}  // namespace

void reseedSequence(std::uint32_t seed, std::uint32_t callCount) {
  zov::platform::crtSrand(seed != 0 ? seed : callCount);
}

bool SeedFrame::build(const ZOV_DFmesh& mesh) {
  if (mesh.vertices == nullptr) return false;
  hull_ = mesh.numVertices <= kHullBudget ? convexHull(mesh.vertices, mesh.numVertices)
                                          : approxConvexHull(&mesh, kHullBudget);
  if (!hull_) return false;
  fitOrientedBox(box_, hull_->numVertices, hull_->vertices);
  return true;
}

void SeedFrame::applyLimitBox(const ZOVbox& limit) {
  ZOVbox grown = box_;
  grown.extents = grown.extents * kLimitGrowth;
  ZOVbox region = limit;
  if (!obbContainsPoint(region.center, grown, kContainTolerance)) makePointInsideOBB(grown, region.center);

  // The face centres of the box, +x, -x, +y, -y, +z, -z, each brought into
  // the region.
  MgcVector3 ends[6];
  for (int axis = 0; axis < 3; ++axis) {
    const MgcVector3 offset = box_.axes.GetColumn(axis) * box_.extents[axis];
    ends[2 * axis] = box_.center + offset;
    ends[2 * axis + 1] = box_.center - offset;
  }
  for (MgcVector3& end : ends)
    if (!obbContainsPoint(end, region, kContainTolerance)) makePointInsideOBB(region, end);

  const Mgc::MgcMatrix3 toBox = box_.axes.Transpose();
  MgcVector3 localCentre;
  MgcVector3 extents;
  for (int axis = 0; axis < 3; ++axis) {
    const MgcVector3& plus = ends[2 * axis];
    const MgcVector3& minus = ends[2 * axis + 1];
    extents[axis] = 0.5 * (plus - minus).Length();
    localCentre[axis] = 0.5 * ((toBox * (plus - box_.center))[axis] + (toBox * (minus - box_.center))[axis]);
  }
  box_.center = box_.axes * localCentre + box_.center;
  box_.extents = extents;
  box_.maxExtent = std::max(extents.x, std::max(extents.y, extents.z));
}

bool SeedFrame::hasVolume(double factor) const {
  return !(factor * box_.extents.x * box_.extents.y * box_.extents.z < kMinBoxVolume);
}

MgcVector3 drawBoxCoordinates() {
  const double x = Mgc::Math::SymmetricRandom(0.0);
  const double y = Mgc::Math::SymmetricRandom(0.0);
  const double z = Mgc::Math::SymmetricRandom(0.0);
  return {x, y, z};
}

MgcVector3 SeedFrame::boxPoint(const MgcVector3& u) const {
  const MgcVector3& e = box_.extents;
  return box_.center + box_.axes * MgcVector3(u.x * e.x, u.y * e.y, u.z * e.z);
}

void SeedFrame::bringCentreInside(MgcVector3& point) const {
  if (!obbContainsPoint(point, box_, kContainTolerance)) makePointInsideMesh(*hull_, point, kCentreMargin, false);
}

void SeedFrame::pullInside(MgcVector3& point, double margin, bool nearestFace) const {
  if (!nearestFace) {
    makePointInsideMesh(*hull_, point, margin, false);
    return;
  }
  if (inHull(point)) return;
  makePointInsideMesh(*hull_, point, margin, true);
  if (!inHull(point)) makePointInsideMesh(*hull_, point, margin, false);
}

bool SeedFrame::inHull(const MgcVector3& point) const {
  return pointInsideConvexMesh(point, *hull_, kContainTolerance);
}

void SeedFrame::sortAndSeparate(MgcVector3* points, std::uint32_t n, const MgcVector3& nudge, Separation rule) const {
  if (points == nullptr || n == 0) return;
  std::qsort(points, n, sizeof(MgcVector3), compareBySquaredLength);

  std::vector<std::uint32_t> pushed;
  for (std::uint32_t i = 0; i + 1 < n; ++i) {
    MgcVector3 d = points[i] - points[i + 1];
    if (!(d.SquaredLength() < kSeparationSq)) continue;
    int pushes = 0;
    do {
      points[i] += d * kSeparationFactor + nudge * kSeparationNudge;
      d = points[i] - points[i + 1];
    } while (rule == Separation::kUntilApart && d.SquaredLength() < kSeparationSq && ++pushes < kMaxPushes);
    pushed.push_back(i);
  }
  // Separation matters less than the points lying in the mesh: each cell
  // around a point outside would be cut away.
  for (std::uint32_t i : pushed)
    if (!inHull(points[i])) makePointInsideMesh(*hull_, points[i], kPushBackMargin, false);
}

}  // namespace zov::seeds

int compareBySquaredLength(const void* first, const void* second) {
  const double a = static_cast<const MgcVector3*>(first)->SquaredLength();
  const double b = static_cast<const MgcVector3*>(second)->SquaredLength();
  if (a < b) return -1;
  if (a > b) return 1;
  return 0;
}
