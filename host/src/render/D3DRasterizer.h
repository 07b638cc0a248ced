#pragma once

#include <zovhost/D3DRecord.h>
#include <zovhost/RenderImage.h>

#include <array>
#include <vector>

namespace zovhost::d3d {

/// Draws recorded indexed line-list and triangle-list draws into a picture
/// the way the module's two effects would: each vertex's POSITION, as a row
/// vector (x, y, z, 1), times the matrix of the first 64 bytes of the vertex
/// stage's constant buffer (stored by columns, as compiled shaders read
/// matrices), then the perspective divide and the viewport; the colour is
/// the vertex's COLOR interpolated across the primitive or, without one, the
/// four floats that follow the matrix in the pixel stage's constant buffer.
/// Lines are one pixel wide; pixel centres sit at half-integers; rows count
/// from the bottom as in RenderImage. Primitives with a vertex on or behind
/// the eye (w <= 0) are left out; there is no other clipping than the
/// picture's edges.
RenderImage rasterize(const std::vector<Draw>& draws, int width, int height, const std::array<float, 4>& background);

/// Where the vertex shader puts a vertex of the draw: its POSITION times the
/// matrix, in clip coordinates (x, y, z, w).
std::array<float, 4> clipPosition(const Draw& draw, long long vertex);

}  // namespace zovhost::d3d
