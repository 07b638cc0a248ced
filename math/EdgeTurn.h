#pragma once

#include <cstdint>

#include "math/MgcVector3.h"

/// The turn from one edge to the next about a normal. Each edge is a pair of
/// indices into `points` (from, to); normally edge1 starts where edge0 ends.
/// Returns 1 or -1 by the sign of (unit edge1 x unit edge0) . normal, with a
/// dead zone of 1e-5 that answers 0. When the three points edge0.from,
/// edge0.to, edge1.to are collinear (a degenerate triangle, absolute tolerance
/// 1e-5) the answer is 0 when edge0.to lies strictly between the other two (the
/// edges continue in order) and -1 otherwise (the path reverses on the line).
int edgeTurnSign(const std::uint32_t edge0[2], const std::uint32_t edge1[2], const Mgc::MgcVector3* points,
                 const Mgc::MgcVector3& normal);
