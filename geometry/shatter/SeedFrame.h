#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "geometry/ShapeRecords.h"
#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// What every seed-point generator shares: a convex hull of the mesh that the
// points are kept in, the oriented box they are sampled from, the reseeding
// of the process-wide random sequence, and the final sort and separation.
//
// The generators draw from the one process-wide random sequence
// (platform/CRandom.h) in a fixed order, so that a seeded request gives the
// same points on every run. They are therefore not re-entrant: callers run
// them on one thread.

namespace zov::seeds {

/// Directions along which the separation pushes coincident points apart.
inline const Mgc::MgcVector3 kNudgeX(1.0, 0.0, 0.0);
inline const Mgc::MgcVector3 kNudgeY(0.0, 1.0, 0.0);

/// Single-precision 0.33 widened: turns the sum of three half extents into a
/// typical size of the box.
constexpr double kThirdOfSum = static_cast<double>(0.33f);
/// Margin of the moves that bring a pattern centre into the hull.
constexpr double kCentreMargin = 1e-5;
/// Tolerance of the box and hull containment tests.
constexpr double kContainTolerance = 1e-5;

/// A generator's call counter. Each generator counts its calls from 0 at the
/// module's load on; an unseeded call reseeds the random sequence with its
/// count, so that unseeded calls differ from one another.
class SeedCallCounter {
 public:
  /// Counts one call and returns the new count.
  std::uint32_t next() { return calls_.fetch_add(1, std::memory_order_relaxed) + 1; }
  /// Back to no call counted (the module's state reset at load).
  void reset() { calls_.store(0, std::memory_order_relaxed); }

 private:
  std::atomic<std::uint32_t> calls_{0};
};

/// Restarts the process-wide random sequence with `seed`, or with `callCount`
/// when the seed is 0.
void reseedSequence(std::uint32_t seed, std::uint32_t callCount);

/// Three draws from [-1, 1], x, y, z in that order: coordinates in a box.
Mgc::MgcVector3 drawBoxCoordinates();

/// How the final pass treats two consecutive sorted points that nearly coincide.
enum class Separation {
  /// Push the first of them away once.
  kOnce,
  /// Push it again until the two lie apart.
  kUntilApart,
};

/// The hull the points are kept in and the box they are sampled from.
class SeedFrame {
 public:
  /// The convex hull of the mesh's local vertices (all of them below 65, else
  /// the budgeted hull of 64) and the oriented box of the hull's vertices.
  /// False when the mesh has no vertex array or no hull can be made.
  bool build(const ZOV_DFmesh& mesh);

  /// Narrows the sampling box to the part of it that lies in `limit`: the
  /// limit's centre is first brought into the box grown by half, then the
  /// box's six face centres are brought into the limit; the box keeps its
  /// axes and spans the moved face centres.
  void applyLimitBox(const ZOVbox& limit);

  /// Whether `factor` times the product of the half extents reaches 1e-5: a
  /// box below that is too flat to seed.
  bool hasVolume(double factor) const;

  /// The box point C + R (u.x E.x, u.y E.y, u.z E.z) of box coordinates u.
  Mgc::MgcVector3 boxPoint(const Mgc::MgcVector3& u) const;
  /// boxPoint of drawBoxCoordinates().
  Mgc::MgcVector3 boxSample() const { return boxPoint(drawBoxCoordinates()); }

  /// Moves a point that lies outside the sampling box into the hull, by the
  /// random-start move with margin kCentreMargin.
  void bringCentreInside(Mgc::MgcVector3& point) const;

  /// Moves `point` into the hull with `margin`. Without `nearestFace`, the
  /// random-start move. With it, a point already in the hull stays (the
  /// nearest-face move would carry it out through the nearest face); a point
  /// outside crosses its nearest face plane, and is finished by the
  /// random-start move when that leaves it outside another face.
  void pullInside(Mgc::MgcVector3& point, double margin, bool nearestFace) const;

  /// Whether the point lies in the hull within kContainTolerance.
  bool inHull(const Mgc::MgcVector3& point) const;

  /// Sorts points[0 .. n) by distance from the origin, ascending, then walks
  /// the sorted points once: a point closer than sqrt(0.001) to its successor
  /// is pushed away from it by ten times their difference plus 1e-4 along
  /// `nudge` (once, or until the two lie apart). A pushed point that the push
  /// carried out of the hull is brought back in. The array is not sorted again.
  void sortAndSeparate(Mgc::MgcVector3* points, std::uint32_t n, const Mgc::MgcVector3& nudge, Separation rule) const;

  const ZOVmesh& hull() const { return *hull_; }
  const ZOVbox& box() const { return box_; }

 private:
  std::unique_ptr<ZOVmesh> hull_;
  ZOVbox box_;
};

}  // namespace zov::seeds

/// qsort comparator of two `MgcVector3` values by squared length, ascending.
int compareBySquaredLength(const void* first, const void* second);
