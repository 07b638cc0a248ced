#pragma once

#include <maya/MPoint.h>
#include <maya/MVector.h>

#include <array>
#include <vector>

namespace zovhost {

/// A polygon's normal by Newell's method, of unit length; zero for a
/// polygon without area (fewer than three corners, all on one line, ...).
MVector polygonNormal(const std::vector<MPoint>& corners);

/// The area a polygon encloses (the length of the Newell vector over two).
double polygonArea(const std::vector<MPoint>& corners);

/// True when the polygon turns the same way at every corner about its
/// normal and goes round once: a triangle always; a polygon without area
/// never. Corners on a straight line do not spoil convexity.
bool isConvexPolygon(const std::vector<MPoint>& corners);

/// The host's triangulation of a polygon by ear clipping in its plane: n - 2
/// triangles of corner indices, wound as the polygon is. Each step cuts off
/// the first corner, from the start of the polygon, whose triangle turns the
/// polygon's way and holds no other corner; a polygon with no such ear (one
/// without area, or crossing itself) loses its most convex corner instead,
/// so that every polygon gets its n - 2 triangles.
std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<MPoint>& corners);

}  // namespace zovhost
