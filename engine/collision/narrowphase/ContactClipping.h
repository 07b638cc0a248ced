#pragma once

#include <cstdint>

#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// Clipping and closest points between the faces and edges that the contact
// rules of the narrow phase pair up. Polygons are convex, of at most
// kMaxFaceCorners points, in either winding about their normal. Every
// function keeps its working data on its own stack.

/// The most points clipPolygonToPolygon writes.
constexpr std::uint32_t kMaxPolygonClipPoints = 2 * kMaxFaceCorners;

/// Clips polygon A by polygon B as both are seen along `normal`: the part of
/// A (points on A) over B, with points closer than 1e-5 to the chord of their
/// neighbours and repeated points dropped. A point of A on B's border counts
/// as inside. Writes at most kMaxPolygonClipPoints points and returns their
/// number, 0 when the polygons do not overlap or either has fewer than 3
/// points.
std::uint32_t clipPolygonToPolygon(const Mgc::MgcVector3* polygonA, std::uint32_t countA, const Mgc::MgcVector3& normal,
                                   const Mgc::MgcVector3* polygonB, std::uint32_t countB, Mgc::MgcVector3* out);

/// The closest points between the segment (start, end) and a convex polygon:
/// writes the point on the segment and the point on the polygon and returns
/// their squared distance (0 where the segment crosses the polygon). A
/// polygon of two points counts as a segment, of one as a point; with no
/// points nothing is written and the result is zov::kMaxFloat.
double closestSegmentPolygon(const Mgc::MgcVector3& start, const Mgc::MgcVector3& end, const Mgc::MgcVector3* polygon,
                             std::uint32_t count, const Mgc::MgcVector3& normal, Mgc::MgcVector3& onSegment,
                             Mgc::MgcVector3& onPolygon);
