#include "geometry/shatter/CapLoops.h"

#include "math/EdgeTurn.h"
#include "math/PolygonPredicates.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

DirectedEdge directed(const ClipEdge& edge) { return DirectedEdge{edge.from, edge.to}; }

}  // namespace

bool loopsCross(const std::vector<std::uint32_t>& a, bool aClosed, const std::vector<std::uint32_t>& b,
                const std::vector<ClipEdge>& edges, const std::vector<MgcVector3>& vertices) {
  if (!aClosed) return false;
  for (const std::uint32_t ea : a) {
    const ClipEdge& edgeA = edges[ea];
    for (const std::uint32_t eb : b) {
      const ClipEdge& edgeB = edges[eb];
      if (segmentsIntersect(vertices[edgeA.from], vertices[edgeA.to], vertices[edgeB.from], vertices[edgeB.to]))
        return true;
    }
  }
  return false;
}

bool loopContainsLoop(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
                      const MgcVector3& normal, const std::vector<ClipEdge>& edges,
                      const std::vector<MgcVector3>& vertices) {
  if (a.empty() || b.empty()) return false;
  MgcVector3 axis;
  bool found = false;
  for (const std::uint32_t e : a) {
    const MgcVector3 d = vertices[edges[e].to] - vertices[edges[e].from];
    if (d.SquaredLength() > zov::kTolerance) {
      axis = d;
      found = true;
      break;
    }
  }
  if (!found) return false;
  axis.Unitize(zov::kUnitizeTolerance);
  const MgcVector3 second = axis.Cross(normal);
  const MgcVector3& origin = vertices[edges[a.front()].from];
  const MgcVector3 p = vertices[edges[b.front()].from] - origin;
  const double pu = p.Dot(axis), pv = p.Dot(second);

  // A ray towards decreasing first coordinate; edges straddle it half-open.
  bool inside = false;
  for (const std::uint32_t e : a) {
    const MgcVector3 p0 = vertices[edges[e].from] - origin;
    const MgcVector3 p1 = vertices[edges[e].to] - origin;
    const double u0 = p0.Dot(axis), v0 = p0.Dot(second);
    const double u1 = p1.Dot(axis), v1 = p1.Dot(second);
    if (!((v0 < pv && v1 >= pv) || (v1 < pv && v0 >= pv))) continue;
    const double u = u0 + (pv - v0) * (u1 - u0) / (v1 - v0);
    if (u < pu) inside = !inside;
  }
  return inside;
}

int loopOrientation(const std::vector<std::uint32_t>& loop, const MgcVector3& normal,
                    const std::vector<ClipEdge>& edges, const std::vector<MgcVector3>& vertices) {
  const std::size_t n = loop.size();
  if (n < 2) return 0;
  MgcVector3 longest;
  for (const std::uint32_t e : loop) {
    const MgcVector3 d = vertices[edges[e].to] - vertices[edges[e].from];
    if (d.SquaredLength() > longest.SquaredLength()) longest = d;
  }
  longest.Unitize(zov::kUnitizeTolerance);
  MgcVector3 across = normal.Cross(longest);
  across.Unitize(zov::kUnitizeTolerance);

  // The corner farthest across the longest edge is convex.
  std::size_t start = 0;
  double best = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double reach = across.Dot(vertices[edges[loop[i]].to]);
    if (i == 0 || reach > best) {
      best = reach;
      start = i;
    }
  }
  for (std::size_t step = 0; step < n; ++step) {
    const std::size_t i = (start + step) % n;
    const int turn =
        edgeTurnSign(directed(edges[loop[i]]), directed(edges[loop[(i + 1) % n]]), vertices.data(), normal);
    if (turn != 0) return turn;
  }
  return 0;
}

bool isLoopConcave(const std::vector<std::uint32_t>& loop, const MgcVector3& normal, const std::vector<ClipEdge>& edges,
                   const std::vector<MgcVector3>& vertices) {
  const std::size_t n = loop.size();
  int left = 0, right = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int turn =
        edgeTurnSign(directed(edges[loop[i]]), directed(edges[loop[(i + 1) % n]]), vertices.data(), normal);
    if (turn > 0) ++left;
    if (turn < 0) ++right;
  }
  return left >= 1 && right >= 1;
}

std::vector<MgcVector3> loopPoints(const std::vector<std::uint32_t>& loop, const std::vector<ClipEdge>& edges,
                                   const std::vector<MgcVector3>& vertices) {
  std::vector<MgcVector3> points;
  points.reserve(loop.size());
  for (const std::uint32_t e : loop) points.push_back(vertices[edges[e].to]);
  return points;
}
