#pragma once

#include <cstdint>

#include "geometry/ZOV_DFmesh.h"

// The outlines of a voronoi node's display cells, shared by its legacy draw
// and its Viewport 2.0 callback.
namespace zovdraw {

/// The grey of the cell outlines (red, green and blue alike).
constexpr float kCellGrey = 0.5f;
/// Corners of a cell face drawn; further corners are left out.
constexpr unsigned int kMaxCellCorners = 32;

/// Calls draw(points, count) for each face of the cells with its first
/// min(n, kMaxCellCorners) corners as float triples, from one buffer that
/// lives as long as the module (drawing allocates nothing).
template <typename Draw>
void forEachCellFace(const ZOV_DFmesh& cells, Draw&& draw) {
  static float points[kMaxCellCorners * 3];
  for (std::uint32_t f = 0; f < cells.numFaces; ++f) {
    const DFface& face = cells.faces[f];
    const unsigned int count = face.numVertices < kMaxCellCorners ? face.numVertices : kMaxCellCorners;
    unsigned int kept = 0;
    for (unsigned int k = 0; k < count; ++k) {
      if (face.vertices[k] >= cells.numVertices) continue;
      const Mgc::MgcVector3& p = cells.vertices[face.vertices[k]];
      points[3 * kept] = static_cast<float>(p.x);
      points[3 * kept + 1] = static_cast<float>(p.y);
      points[3 * kept + 2] = static_cast<float>(p.z);
      ++kept;
    }
    if (kept > 0) draw(points, kept);
  }
}

}  // namespace zovdraw
