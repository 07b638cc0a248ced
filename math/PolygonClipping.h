#pragma once

// Small geometric building blocks of the contact builders: clipping a convex
// polygon by a plane, intersecting lines and segments in a plane, a point
// against a convex polygon, the crossings of a segment with a polygon's
// edges, the contact of two spheres, the distance of a point to a segment and
// a comparator for sorting indices. None of them allocates.
//
// The planar routines (intersectLines2D, intersectSegments2D,
// polygonSegmentIntersections) read only x and y; callers bring their points
// into a 2D frame with z = 0 first.

#include <cstdint>

#include "math/MgcVector3.h"

/// The most vertices splitPolygonByPlane takes.
constexpr std::uint32_t kMaxClipVertices = 64;

/// Keeps the part of a convex polygon where normal . p - constant > 0; a
/// vertex in the plane counts as outside. The polygon (count vertices, at
/// most kMaxClipVertices) is replaced in place, so `vertices` must have room
/// for count + 1 vertices, the most a convex polygon can gain. No vertex on
/// the positive side leaves count 0; none on the negative side leaves the
/// polygon unchanged. False, with the polygon unchanged, for more than
/// kMaxClipVertices vertices or a result that would not fit (a polygon that
/// is not convex).
bool splitPolygonByPlane(const Mgc::MgcVector3& normal, double constant, std::uint32_t& count,
                         Mgc::MgcVector3* vertices);

/// Intersects the lines P0 + s D0 and Q0 + t D1. Writes E = Q0 - P0 and
/// |D0|^2 (over all three components), and count: 1 when they cross (with
/// parameters (s, t)), 0 when they are parallel and distinct, 2 when they are
/// the same line (parameters untouched then). Directions are compared with a
/// relative tolerance of 1e-5. A zero D0 stands for the point P0, which is
/// "the same line" only when it lies on the other line. True when count > 0.
bool intersectLines2D(const Mgc::MgcVector3& P0, const Mgc::MgcVector3& D0, const Mgc::MgcVector3& Q0,
                      const Mgc::MgcVector3& D1, Mgc::MgcVector3& E, double& squaredLengthD0, int& count,
                      double parameters[2]);

/// Intersects the segments P0P1 and Q0Q1. count 1: they meet at parameter
/// parameters[0] along P0P1 (and parameters[1] along Q0Q1 when they cross at
/// an angle); count 2: they overlap along one line from parameters[0] to
/// parameters[1] of P0P1; count 0: they do not meet. True when they meet.
bool intersectSegments2D(const Mgc::MgcVector3& P0, const Mgc::MgcVector3& P1, const Mgc::MgcVector3& Q0,
                         const Mgc::MgcVector3& Q1, int& count, double parameters[2]);

/// True when q lies inside or on the convex polygon with the given normal
/// (directions compared within 1e-5). Otherwise writes the index of the first
/// edge (from vertex i to vertex i + 1) that q lies outside of and answers
/// false. A polygon of fewer than three vertices has no inside: false with
/// edge 0.
bool pointInConvexPolygon(const Mgc::MgcVector3& q, const Mgc::MgcVector3* vertices, std::uint32_t count,
                          const Mgc::MgcVector3& normal, std::uint32_t& failingEdge);

/// The crossings of the segment ab with the polygon's edges, in edge order
/// (the closing edge last), at most three, points closer than 1e-5 (squared)
/// to one already found skipped. True when there is at least one.
bool polygonSegmentIntersections(const Mgc::MgcVector3* vertices, std::uint32_t count, const Mgc::MgcVector3& a,
                                 const Mgc::MgcVector3& b, std::uint32_t& found, Mgc::MgcVector3 points[3]);

/// The contact of the spheres (c0, r0) and (c1, r1): the normal points from
/// c0 towards c1, the point is on the first sphere, the depth is negative
/// while they overlap. Concentric spheres take the normal (1, 0, 0) and the
/// depth -max(r0, r1).
void sphereSphereContact(const Mgc::MgcVector3& c0, double r0, const Mgc::MgcVector3& c1, double r1,
                         Mgc::MgcVector3& point, Mgc::MgcVector3& normal, double& depth);

/// Squared distance from p to the segment ab, with the parameter t in [0, 1]
/// of the closest point a + t (b - a); a segment shorter than the tolerance
/// (1e-5 squared) counts as the point a (t = 0).
double distanceSq_pt2seg(const Mgc::MgcVector3& p, const Mgc::MgcVector3& a, const Mgc::MgcVector3& b, double& t);

/// Three-way comparison of two unsigned 32-bit values for qsort: 1, -1 or 0.
int compareU32(const void* first, const void* second);
