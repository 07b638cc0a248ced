#pragma once

#include <cstdint>

#include "math/MgcVector3.h"

// Predicates on planar polygons and segments lying in one plane.

/// True when p lies in the convex polygon (count points with its normal), of
/// either winding, within `tolerance` of its edges. Points more than
/// `tolerance` in front of the polygon's plane are outside; points behind it
/// are judged by their position over the polygon. Fewer than 3 points: false.
bool pointInPolygon(const Mgc::MgcVector3& p, const Mgc::MgcVector3* polygon, std::uint32_t count,
                    const Mgc::MgcVector3& normal, double tolerance);

/// True when the segments a0a1 and b0b1, lying in one plane and not parallel,
/// cross: each one's ends lie strictly on opposite sides of the other's line
/// (the product of their signed distances below -1e-5). Parallel segments
/// (|D x E|^2 < 1e-5) count as crossing when they lie on one line and their
/// extents along it overlap.
bool segmentsIntersect(const Mgc::MgcVector3& a0, const Mgc::MgcVector3& a1, const Mgc::MgcVector3& b0,
                       const Mgc::MgcVector3& b1);

/// Signed area of a planar polygon about its normal: positive when it winds
/// counter-clockwise seen from the normal's side; 0 for fewer than 3 points.
double polygonArea(const Mgc::MgcVector3* points, std::uint32_t count, const Mgc::MgcVector3& normal);
