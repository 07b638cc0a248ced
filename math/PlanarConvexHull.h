#pragma once

// The convex hull of points that lie in a plane, as closes the outline a
// plane cut leaves in a mesh: the points are projected into a 2D frame of the
// plane, sorted, and run through Andrew's monotone chain.

#include <cstdint>
#include <vector>

#include "math/MgcVector2.h"
#include "math/MgcVector3.h"

/// Orders 2D points by x, then by y: 1, -1 or 0.
int compareVector2XY(const Mgc::MgcVector2& a, const Mgc::MgcVector2& b);

/// The monotone chain over n points sorted by x and then y. Writes indices
/// into `points` to hull[0 ..], counter-clockwise (the lower chain from left
/// to right, then the upper chain back), closed by repeating the first index;
/// points on a hull edge are left out. `hull` needs room for n + 1 entries.
/// Returns the entries written: 2 ({0, 0}) for a single point or points that
/// are all equal, 3 for distinct points on one vertical line.
int convexHull2DIndices(const Mgc::MgcVector2* points, int n, int* hull);

/// The same hull written as points to `hull` (room for n + 1 points).
int convexHull2D(const Mgc::MgcVector2* points, int n, Mgc::MgcVector2* hull);

/// The convex hull of n points lying in the plane with normal `normal`, as
/// indices into `points`, each corner given once, running clockwise seen from
/// the side into which the normal points. Points on a hull edge, to within
/// the rounding of their projection into the plane, are not corners. A point repeated in the input maps
/// to its first occurrence. Returns the number of corners (hull.size()): 2
/// for points on one line (its two ends), 0 with `hull` emptied when there
/// is no hull (fewer than two points more than 1e-5 (squared) apart in
/// input order, or a coordinate that is not finite).
std::int32_t planarConvexHull(const Mgc::MgcVector3* points, std::uint32_t n, const Mgc::MgcVector3& normal,
                              std::vector<std::uint32_t>& hull);
