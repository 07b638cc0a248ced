#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// Independent checks of a convex hull mesh, for the hull tests.
namespace zovtest {

/// One face of a hull as the checks see it.
struct CheckedFace {
  std::vector<std::uint32_t> corners;
  Mgc::MgcVector3 normal;
};

/// A hull mesh reduced to what the checks read.
struct CheckedHull {
  std::vector<Mgc::MgcVector3> vertices;
  std::vector<CheckedFace> faces;
};

CheckedHull checkedHull(const ZOVmesh& mesh);
CheckedHull checkedHull(const ZOV_DFmesh& mesh);

/// The volume enclosed by the faces (divergence theorem over corner fans).
double enclosedVolume(const CheckedHull& hull);

/// Problems of the hull as a convex polyhedron, empty when there are none:
/// every face has 3 to maxCorners corners, a unit normal, corners in its
/// plane, no corner inside the polygon beyond the chord of its neighbours
/// (corners turn counter-clockwise about the normal), and every hull vertex
/// behind its plane (which makes the normal point outward and the hull
/// convex); every directed side is met exactly once in reverse by another
/// face (a closed surface). Distances are compared with `tolerance`.
std::vector<std::string> convexityProblems(const CheckedHull& hull, std::uint32_t maxCorners, double tolerance);

/// The largest distance of a point beyond a face plane of the hull (negative
/// when every point lies strictly inside).
double largestOutsideDistance(const CheckedHull& hull, const std::vector<Mgc::MgcVector3>& points);

/// Input indices of the hull's vertices, ascending: each hull vertex must be
/// bitwise one of the points (the first such point is taken); -1 when not.
std::vector<std::int64_t> vertexInputIndices(const CheckedHull& hull, const std::vector<Mgc::MgcVector3>& points);

}  // namespace zovtest
