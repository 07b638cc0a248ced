#pragma once

#include <cstdint>
#include <vector>

#include "geometry/shatter/Clipper.h"
#include "math/MgcVector3.h"

// Predicates on the outline loops of a cut. A loop is a list of edge-table
// records in chain order: each edge's `to` is the next edge's `from`. The
// loops lie in the cut plane, whose normal is `normal`.

/// True when `a` is closed and an edge of `a` crosses an edge of `b`
/// (segmentsIntersect).
bool loopsCross(const std::vector<std::uint32_t>& a, bool aClosed, const std::vector<std::uint32_t>& b,
                const std::vector<ClipEdge>& edges, const std::vector<Mgc::MgcVector3>& vertices);

/// True when the first vertex of `b` lies inside `a` by the even-odd rule, in
/// a frame of the plane along the first edge of `a` longer than the tolerance;
/// false when `a` has no such edge.
bool loopContainsLoop(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
                      const Mgc::MgcVector3& normal, const std::vector<ClipEdge>& edges,
                      const std::vector<Mgc::MgcVector3>& vertices);

/// The loop's winding about `normal`: the turn (edgeTurnSign) at its
/// outermost corner across its longest edge, skipping straight corners;
/// -1 or 1, 0 when no corner turns.
int loopOrientation(const std::vector<std::uint32_t>& loop, const Mgc::MgcVector3& normal,
                    const std::vector<ClipEdge>& edges, const std::vector<Mgc::MgcVector3>& vertices);

/// True when the loop turns both ways about `normal` (some consecutive edges
/// turn left, some right).
bool isLoopConcave(const std::vector<std::uint32_t>& loop, const Mgc::MgcVector3& normal,
                   const std::vector<ClipEdge>& edges, const std::vector<Mgc::MgcVector3>& vertices);

/// The corner positions of the loop in loop order (each edge's `to`).
std::vector<Mgc::MgcVector3> loopPoints(const std::vector<std::uint32_t>& loop, const std::vector<ClipEdge>& edges,
                                        const std::vector<Mgc::MgcVector3>& vertices);
