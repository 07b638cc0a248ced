#pragma once

#include <cstdint>

#include "engine/collision/narrowphase/JumpSupport.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "math/MgcVector3.h"

/// The most expansions the polytope search makes before it settles for its
/// nearest face.
constexpr std::uint32_t kMaxPolytopeExpansions = 128;

/// What the polytope search found: the face of the difference shape's
/// boundary nearest the origin, as three support records in winding order
/// with the face's outward unit normal.
struct PolytopeResult {
  JumpRecord face[3];
  Mgc::MgcVector3 normal;
  /// False when the search had no face with a normal: the difference shape
  /// spans no volume near the origin (flat or coincident shapes).
  bool found = false;
};

/// The expanding-polytope search on the difference shape B - A of two
/// overlapping convex shapes, started from the state's support pair and
/// direction (which the jump test leaves behind).
///
/// A tetrahedron of support points is seeded around the state's direction;
/// then the face nearest the origin is pushed out by the support point along
/// its normal until that point lies within 1e-5 of the face's plane or
/// repeats a recorded point, or until no face is visible from it, or after
/// kMaxPolytopeExpansions expansions. Converging picks the face whose plane
/// lies nearest the origin either way.
///
/// The state takes the final direction (minus the face normal) and support
/// pair when their margin, (1e-5 - d . w) / 2, is smaller in size than the
/// state's own; otherwise it keeps its values.
PolytopeResult searchPolytope(const PairSupport& shapes, JumpState& state);

/// The records of the final face that name the nearest feature of the
/// difference shape's boundary to the origin: all three for the face, two for
/// an edge, one for a vertex, compared by squared distances to the origin
/// (face plane, nearest edge, nearest corner; the face wins ties, then the
/// edge). Writes record positions 0..2 into `records` and returns how many.
std::uint32_t nearestFeatureRecords(const PolytopeResult& result, std::uint32_t records[3]);

/// The distinct vertexA (first = true) or vertexB values of the given face
/// records, in record order. Returns how many (1 to 3).
std::uint32_t distinctVertices(const PolytopeResult& result, const std::uint32_t records[3], std::uint32_t count,
                               bool first, std::uint32_t list[3]);
