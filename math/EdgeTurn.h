#pragma once

#include <cstdint>

#include "math/MgcVector3.h"

/// An edge from one vertex to another, by index into a point array.
struct DirectedEdge {
  std::uint32_t from;
  std::uint32_t to;
};

/// The turn from edge e0 to the edge e1 that follows it, seen along `normal`.
///
/// For a proper corner: +1 when (unit e1) x (unit e0) points along the normal
/// by more than zov::kTolerance, -1 when it points against it by more than
/// that, 0 inside the dead zone. When the points e0.from, e0.to and e1.to are
/// collinear (a degenerate triangle, absolute tolerance zov::kTolerance): 0
/// when e0.to lies strictly between the two outer points, so that the path
/// goes on in the same direction, and -1 when it turns back along the line.
///
/// `points` must hold every index the edges name; e1 normally starts where e0
/// ends.
int edgeTurnSign(const DirectedEdge& e0, const DirectedEdge& e1, const Mgc::MgcVector3* points,
                 const Mgc::MgcVector3& normal);
