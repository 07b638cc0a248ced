#include "math/PlanarConvexHull.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "math/Tolerances.h"

using Mgc::MgcVector2;
using Mgc::MgcVector3;

namespace {

/// Bound, relative to the square of the largest coordinate, on the rounding
/// of a turn test over points that were themselves computed (projected into
/// a plane's frame): each coordinate carries a few ulps of that size.
constexpr double kTurnRounding = 64.0 * std::numeric_limits<double>::epsilon();

// > 0 when c lies left of the line from a through b, < 0 right of it, 0 on it.
double isLeft(const MgcVector2& a, const MgcVector2& b, const MgcVector2& c) {
  return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

// Drops the corners of a closed outline (indices into `planar`, the last
// joined to the first) that lie on the way from their predecessor to their
// successor, to within the rounding of the projected coordinates: the
// monotone chain decides such turns by the sign of that rounding and so keeps
// inner points of straight runs whose projections came out just outside.
void dropStraightCorners(const std::vector<MgcVector2>& planar, std::vector<std::uint32_t>& hull) {
  double largest = 0.0;
  for (const MgcVector2& p : planar) largest = std::max({largest, std::fabs(p.x), std::fabs(p.y)});
  const double tolerance = kTurnRounding * largest * largest;
  for (std::size_t j = 0; hull.size() > 2 && j < hull.size();) {
    const std::size_t k = hull.size();
    const MgcVector2& a = planar[hull[(j + k - 1) % k]];
    const MgcVector2& b = planar[hull[j]];
    const MgcVector2& c = planar[hull[(j + 1) % k]];
    // Only a corner between its neighbours: the ends of a flat outline turn
    // back on themselves and stay.
    const bool between = (b - a).Dot(c - b) > 0.0;
    if (between && std::fabs(isLeft(a, b, c)) <= tolerance) {
      hull.erase(hull.begin() + static_cast<std::ptrdiff_t>(j));
      j = j > 0 ? j - 1 : 0;  // the predecessor has a new successor
    } else {
      ++j;
    }
  }
}

}  // namespace

int compareVector2XY(const MgcVector2& a, const MgcVector2& b) {
  if (a.x > b.x) return 1;
  if (b.x > a.x) return -1;
  if (a.y > b.y) return 1;
  if (b.y > a.y) return -1;
  return 0;
}

int convexHull2DIndices(const MgcVector2* P, int n, int* hull) {
  if (n <= 0) return 0;
  int top = -1;  // index of the stack's top entry in `hull`

  // The leading run of points with the smallest x.
  const int minmin = 0;
  int minmax = 0;
  while (minmax + 1 < n && P[minmax + 1].x == P[0].x) ++minmax;
  if (minmax == n - 1) {
    hull[++top] = minmin;
    if (P[minmax].y != P[minmin].y) hull[++top] = minmax;
    hull[++top] = minmin;
    return top + 1;
  }

  // The trailing run of points with the largest x.
  const int maxmax = n - 1;
  int maxmin = n - 1;
  while (maxmin - 1 >= 0 && P[maxmin - 1].x == P[n - 1].x) --maxmin;

  // Lower chain, left to right: points above the line from minmin to maxmin
  // cannot be on it.
  hull[++top] = minmin;
  for (int i = minmax + 1; i <= maxmin; ++i) {
    if (isLeft(P[minmin], P[maxmin], P[i]) >= 0 && i < maxmin) continue;
    while (top > 0 && isLeft(P[hull[top - 1]], P[hull[top]], P[i]) <= 0) --top;
    hull[++top] = i;
  }

  // Upper chain, right to left, stacked above the lower one.
  if (maxmax != maxmin) hull[++top] = maxmax;
  const int bottom = top;
  for (int i = maxmin - 1; i >= minmax; --i) {
    if (isLeft(P[maxmax], P[minmax], P[i]) >= 0 && i > minmax) continue;
    while (top > bottom && isLeft(P[hull[top - 1]], P[hull[top]], P[i]) <= 0) --top;
    hull[++top] = i;
  }
  if (minmax != minmin) hull[++top] = minmin;
  return top + 1;
}

int convexHull2D(const MgcVector2* points, int n, MgcVector2* hull) {
  if (n <= 0) return 0;
  std::vector<int> indices(static_cast<std::size_t>(n) + 1);
  const int count = convexHull2DIndices(points, n, indices.data());
  for (int i = 0; i < count; ++i) hull[i] = points[indices[i]];
  return count;
}

std::int32_t planarConvexHull(const MgcVector3* points, std::uint32_t n, const MgcVector3& normal,
                              std::vector<std::uint32_t>& hull) {
  hull.clear();
  if (n < 2) return 0;

  // The first edge of the input that is not degenerate gives the frame.
  MgcVector3 u;
  for (std::uint32_t i = 0; i + 1 < n; ++i) {
    u = points[i + 1] - points[i];
    if (u.SquaredLength() > zov::kTolerance) break;
  }
  if (!(u.SquaredLength() > zov::kTolerance)) return 0;
  u.Unitize(zov::kUnitizeTolerance);
  const MgcVector3 w = u.Cross(normal);

  std::vector<MgcVector2> planar(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    planar[i] = MgcVector2(points[i].Dot(u), points[i].Dot(w));
    // The sort needs a total order, which NaN would break.
    if (!std::isfinite(planar[i].x) || !std::isfinite(planar[i].y)) return 0;
  }

  std::vector<MgcVector2> sorted = planar;
  std::sort(sorted.begin(), sorted.end(),
            [](const MgcVector2& a, const MgcVector2& b) { return compareVector2XY(a, b) < 0; });

  std::vector<int> chain(static_cast<std::size_t>(n) + 1);
  int k = convexHull2DIndices(sorted.data(), static_cast<int>(n), chain.data());

  // Each hull point becomes the first input point at its place.
  hull.resize(static_cast<std::size_t>(k));
  for (int j = 0; j < k; ++j) {
    const MgcVector2& corner = sorted[static_cast<std::size_t>(chain[j])];
    std::uint32_t first = 0;
    while (first < n && !((planar[first] - corner).SquaredLength() < zov::kTolerance)) ++first;
    hull[static_cast<std::size_t>(j)] = first;  // the corner itself is among the inputs
  }

  // Drop an entry equal to the next one (the last compared with the first):
  // the closing duplicate, and corners that mapped to the same input point.
  bool repeated = true;
  while (repeated && k > 0) {
    repeated = false;
    for (int j = 0; j < k; ++j) {
      if (hull[static_cast<std::size_t>(j)] == hull[static_cast<std::size_t>((j + 1) % k)]) {
        hull.erase(hull.begin() + j);
        --k;
        repeated = true;
        break;
      }
    }
  }
  dropStraightCorners(planar, hull);
  return static_cast<std::int32_t>(hull.size());
}
