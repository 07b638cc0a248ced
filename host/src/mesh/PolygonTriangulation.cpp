#include "mesh/PolygonTriangulation.h"

#include <cmath>
#include "mathtypes/Constants.h"

namespace zovhost {

namespace {

// Relative sizes below which an area, a turn or a distance counts as zero
// (against the square of the polygon's extent).
constexpr double kFlatArea = 1.0e-12;
// How far a polygon's total turning may be from one full turn and still count as once round.
constexpr double kTurningTolerance = 1.0e-6;

struct Point2 {
  double u;
  double v;
};

double cross(const Point2& o, const Point2& a, const Point2& b) {
  return (a.u - o.u) * (b.v - o.v) - (a.v - o.v) * (b.u - o.u);
}

MVector newellVector(const std::vector<MPoint>& corners) {
  MVector sum;
  const size_t n = corners.size();
  for (size_t i = 0; i < n; ++i) {
    const MPoint& a = corners[i];
    const MPoint& b = corners[(i + 1) % n];
    sum.x += (a.y - b.y) * (a.z + b.z);
    sum.y += (a.z - b.z) * (a.x + b.x);
    sum.z += (a.x - b.x) * (a.y + b.y);
  }
  return sum;
}

double squaredExtent(const std::vector<MPoint>& corners) {
  double extent = 0.0;
  for (const MPoint& corner : corners) extent = std::fmax(extent, (corner - corners.front()).length());
  return extent * extent;
}

/// The corners in the plane of the polygon, turned so that the polygon runs
/// counter-clockwise: the two coordinates other than the normal's largest.
std::vector<Point2> projected(const std::vector<MPoint>& corners, const MVector& normal) {
  const double ax = std::fabs(normal.x);
  const double ay = std::fabs(normal.y);
  const double az = std::fabs(normal.z);
  const unsigned int drop = ax >= ay && ax >= az ? 0 : ay >= az ? 1 : 2;
  const unsigned int first = (drop + 1) % 3;
  const unsigned int second = (drop + 2) % 3;
  const bool flip = normal[drop] < 0.0;
  std::vector<Point2> result;
  result.reserve(corners.size());
  for (const MPoint& corner : corners)
    result.push_back(flip ? Point2{corner[second], corner[first]} : Point2{corner[first], corner[second]});
  return result;
}

/// True when p lies inside or on the triangle abc (counter-clockwise).
bool inTriangle(const Point2& p, const Point2& a, const Point2& b, const Point2& c, double tolerance) {
  return cross(a, b, p) >= -tolerance && cross(b, c, p) >= -tolerance && cross(c, a, p) >= -tolerance;
}

bool samePoint(const Point2& a, const Point2& b) { return a.u == b.u && a.v == b.v; }

}  // namespace

MVector polygonNormal(const std::vector<MPoint>& corners) {
  if (corners.size() < 3) return MVector::zero;
  const MVector sum = newellVector(corners);
  const double length = sum.length();
  return length > kFlatArea * squaredExtent(corners) ? sum / length : MVector::zero;
}

double polygonArea(const std::vector<MPoint>& corners) {
  return corners.size() < 3 ? 0.0 : 0.5 * newellVector(corners).length();
}

bool isConvexPolygon(const std::vector<MPoint>& corners) {
  const size_t n = corners.size();
  if (n == 3) return true;
  const MVector normal = polygonNormal(corners);
  if (n < 3 || normal == MVector::zero) return false;
  const std::vector<Point2> flat = projected(corners, normal);
  const double tolerance = kFlatArea * squaredExtent(corners);
  double turning = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const Point2& a = flat[(i + n - 1) % n];
    const Point2& b = flat[i];
    const Point2& c = flat[(i + 1) % n];
    const double turn = cross(a, b, c);
    if (turn < -tolerance) return false;
    const double du1 = b.u - a.u, dv1 = b.v - a.v, du2 = c.u - b.u, dv2 = c.v - b.v;
    turning += std::atan2(du1 * dv2 - dv1 * du2, du1 * du2 + dv1 * dv2);
  }
  // A star turns the same way at every corner but goes round more than once.
  return std::fabs(turning - 2.0 * kPi) < kTurningTolerance;
}

std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<MPoint>& corners) {
  std::vector<std::array<int, 3>> triangles;
  const size_t n = corners.size();
  if (n < 3) return triangles;
  const MVector normal = polygonNormal(corners);
  const std::vector<Point2> flat = projected(corners, normal == MVector::zero ? MVector::zAxis : normal);
  const double tolerance = kFlatArea * squaredExtent(corners);
  std::vector<int> remaining(n);
  for (size_t i = 0; i < n; ++i) remaining[i] = static_cast<int>(i);

  while (remaining.size() > 3) {
    const size_t m = remaining.size();
    size_t cut = m;
    double bestTurn = -HUGE_VAL;
    size_t mostConvex = 0;
    for (size_t i = 0; i < m && cut == m; ++i) {
      const int a = remaining[(i + m - 1) % m];
      const int b = remaining[i];
      const int c = remaining[(i + 1) % m];
      const double turn = cross(flat[a], flat[b], flat[c]);
      if (turn > bestTurn) {
        bestTurn = turn;
        mostConvex = i;
      }
      if (turn <= tolerance) continue;
      bool empty = true;
      for (size_t k = 0; k < m && empty; ++k) {
        const int p = remaining[k];
        if (p == a || p == b || p == c) continue;
        // A corner repeated at the triangle's own corners does not block it.
        if (samePoint(flat[p], flat[a]) || samePoint(flat[p], flat[b]) || samePoint(flat[p], flat[c])) continue;
        if (inTriangle(flat[p], flat[a], flat[b], flat[c], tolerance)) empty = false;
      }
      if (empty) cut = i;
    }
    if (cut == m) cut = mostConvex;
    triangles.push_back({remaining[(cut + m - 1) % m], remaining[cut], remaining[(cut + 1) % m]});
    remaining.erase(remaining.begin() + static_cast<long>(cut));
  }
  triangles.push_back({remaining[0], remaining[1], remaining[2]});
  return triangles;
}

}  // namespace zovhost
