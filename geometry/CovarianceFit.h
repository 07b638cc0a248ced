#pragma once

// Principal-axis analysis of point sets: the covariance fit behind the
// oriented-box fits, the orthogonal line fit behind the capsule fits, and the
// choice of a few extreme points of a large set along its principal axes,
// which reduces contact point sets. All of them are stateless and allocate
// nothing.
//
// The means scale their sums by 1/count formed in single precision and
// widened to double; stored scenes were fitted with that value.

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "math/MgcVector3.h"

/// The covariance fit of points[0 .. count - 1]: box.center = the mean,
/// box.axes = the unit eigenvectors of the covariance as columns (a rotation,
/// determinant +1), box.extents = their eigenvalues (the variances) in
/// ascending order, column i belonging to value i. maxExtent is left alone;
/// callers turn the variances into half extents. An empty set gives the
/// origin, IDENTITY axes and zero variances.
void fitBoxToPoints(std::uint32_t count, const Mgc::MgcVector3* points, ZOVbox& box);
/// The same over points[indices[0 .. count - 1]].
void fitBoxToPoints(std::uint32_t count, const std::uint32_t* indices, const Mgc::MgcVector3* points, ZOVbox& box);

/// The line that minimises the sum of squared distances to the points: it
/// passes through `mean` along the unit `direction` of greatest spread. An
/// empty set gives the origin and UNIT_X.
void fitLineToPoints(std::uint32_t count, const Mgc::MgcVector3* points, Mgc::MgcVector3& mean,
                     Mgc::MgcVector3& direction);
/// The same over points[indices[0 .. count - 1]].
void fitLineToPoints(std::uint32_t count, const std::uint32_t* indices, const Mgc::MgcVector3* points,
                     Mgc::MgcVector3& mean, Mgc::MgcVector3& direction);

/// Chooses at most `wanted` distinct points of points[0 .. count - 1] that lie
/// farthest out along the principal axes and writes their indices, ascending,
/// to indices[0 .. wanted - 1]; `wanted` becomes their number.
/// - count <= wanted: every index, wanted = count (0 for an empty set).
/// - wanted < 4: the points with the largest |p.A0| + |p.A1| + |p.A2|, where A_i
///   is principal axis i scaled by its variance.
/// - otherwise q = wanted / 4 points each with the largest and the smallest
///   p.A2, then the largest and the smallest p.A1 (A2 the axis of greatest
///   spread), and wanted = 4q.
/// Ties go to the lower index.
void selectExtremePoints(const Mgc::MgcVector3* points, std::uint32_t count, std::uint32_t* indices,
                         std::uint32_t& wanted);
