#pragma once

#include <cstdint>
#include <vector>

#include "math/MgcVector3.h"

// The convex hull of a point set as qhull computes it, for comparison.
namespace zovtest {

struct ReferenceHull {
  /// Input indices of the hull's vertices, ascending.
  std::vector<std::uint32_t> vertexIndices;
  double volume = 0.0;
};

/// qhull's hull of the points; false when qhull finds no full-dimensional hull.
bool qhullReference(const std::vector<Mgc::MgcVector3>& points, ReferenceHull& hull);

}  // namespace zovtest
