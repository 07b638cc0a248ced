#pragma once

#include <cstdint>
#include <vector>

#include "math/MgcVector3.h"

// Point sets for the hull tests, each reproducible from its seed.
namespace zovtest {

using Points = std::vector<Mgc::MgcVector3>;

/// Uniform in the cube [-1, 1]^3.
Points uniformInCube(std::uint32_t n, unsigned seed);
/// Uniform in the unit ball.
Points uniformInBall(std::uint32_t n, unsigned seed);
/// Standard normal in each coordinate, scaled per axis by (3, 1, 0.5).
Points gaussianCloud(std::uint32_t n, unsigned seed);
/// Uniform on the unit sphere: every point is a hull vertex.
Points onSphere(std::uint32_t n, unsigned seed);
/// The 8 corners of the box [-hx, hx] x [-hy, hy] x [-hz, hz].
Points boxCorners(double hx, double hy, double hz);
/// `interior` points strictly inside the box [-hx, hx] x [-hy, hy] x [-hz, hz].
Points insideBox(std::uint32_t interior, double hx, double hy, double hz, unsigned seed);
/// Points on the faces and edges of the cube [-1, 1]^3 (a grid of g x g on
/// each face, corners excluded), without the corners themselves.
Points cubeSurfaceGrid(std::uint32_t g);
/// The corners of a regular polygon of `sides` corners of radius 1 in the
/// plane z = `z`, starting on the x axis.
Points regularPolygon(std::uint32_t sides, double z);
/// The points in a random order.
Points shuffled(Points points, unsigned seed);
/// Appends `more` to `points`.
void append(Points& points, const Points& more);

}  // namespace zovtest
