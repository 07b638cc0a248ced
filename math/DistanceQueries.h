#pragma once

#include <cstdint>

#include "math/MgcVector3.h"

// Squared distances with the parameters or points of the closest pair between
// segments, triangles and convex polygons. Results are never negative; a search that finds nothing
// returns zov::kMaxFloat. Every function keeps its working data on its own
// stack, so any number of threads may call them at once.
//
// Parameters: a segment P0P1 is P0 + s (P1 - P0) with s in [0, 1]; a triangle
// (t0, t1, t2) is t0 + s (t1 - t0) + t (t2 - t0) with s, t >= 0, s + t <= 1.

/// Squared distance between the segments P0P1 and Q0Q1, with the parameters s
/// (on P) and t (on Q) of a closest pair, both in [0, 1]. Parallel and
/// degenerate segments (squared length below 1e-5) are handled.
double distanceSq_seg2seg(const Mgc::MgcVector3& P0, const Mgc::MgcVector3& P1, const Mgc::MgcVector3& Q0,
                          const Mgc::MgcVector3& Q1, double& s, double& t);

/// Squared distance from a point to the triangle, with the triangle parameters
/// (s, t) of the closest point. A degenerate triangle counts as its edges.
double distanceSq_pt2tri(const Mgc::MgcVector3& point, const Mgc::MgcVector3 triangle[3], double& s, double& t);

/// Squared distance between the segment AB and a triangle, with the segment
/// parameter r of the closest point on AB and the triangle parameters (s, t)
/// of the closest point on the triangle.
double segmentTriangleDistanceSq(const Mgc::MgcVector3& A, const Mgc::MgcVector3& B, const Mgc::MgcVector3 triangle[3],
                                 double& r, double& s, double& t);

/// Squared distance between two triangles (0 when they meet). The closest
/// points are A0 + a1 (A1 - A0) + a2 (A2 - A0) and B0 + b1 (B1 - B0) + b2 (B2 - B0).
double triangleTriangleDistanceSq(const Mgc::MgcVector3 A[3], const Mgc::MgcVector3 B[3], double& a1, double& a2,
                                  double& b1, double& b2);

/// Squared distance between two triangles with the closest points written out.
/// The normals are part of the interface but are not needed by the query.
double distanceSq_tri2tri(const Mgc::MgcVector3 A[3], const Mgc::MgcVector3& normalA, const Mgc::MgcVector3 B[3],
                          const Mgc::MgcVector3& normalB, Mgc::MgcVector3& closestA, Mgc::MgcVector3& closestB);

/// Squared distance between two planar convex polygons, taken over their fan
/// triangles (q0, q(i), q(i+1)); the closest points are written out. A polygon
/// of fewer than 3 points has no triangle: the result is then zov::kMaxFloat
/// and the points are not written.
double polygonPolygonDistanceSq(const Mgc::MgcVector3* polygonA, std::uint32_t countA, const Mgc::MgcVector3& normalA,
                                const Mgc::MgcVector3* polygonB, std::uint32_t countB, const Mgc::MgcVector3& normalB,
                                Mgc::MgcVector3& pointA, Mgc::MgcVector3& pointB);
