#include "mesh/MeshPrimitives.h"

#include <maya/MQuaternion.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>
#include "mathtypes/Constants.h"

namespace zovhost {

namespace {

/// Collects points, UVs and polygons, then turns the y axis onto the
/// requested axis. Every polygon corner gets a UV of the default set.
class MeshBuilder {
 public:
  int addPoint(double x, double y, double z) {
    m_points.emplace_back(x, y, z);
    return static_cast<int>(m_points.size()) - 1;
  }
  int addUV(double u, double v) {
    m_u.push_back(static_cast<float>(u));
    m_v.push_back(static_cast<float>(v));
    return static_cast<int>(m_u.size()) - 1;
  }
  int uvCount() const { return static_cast<int>(m_u.size()); }
  void addPolygon(const std::vector<int>& vertices, const std::vector<int>& uvs) {
    m_counts.push_back(static_cast<int>(vertices.size()));
    m_connects.insert(m_connects.end(), vertices.begin(), vertices.end());
    m_uvIds.insert(m_uvIds.end(), uvs.begin(), uvs.end());
  }
  std::shared_ptr<MeshGeometry> finish(const MVector& axis) {
    // A zero axis keeps the mesh upright.
    const MMatrix turn = axis.length() > 0.0 ? MQuaternion(MVector::yAxis, axis).asMatrix() : MMatrix();
    std::vector<MFloatPoint> points;
    points.reserve(m_points.size());
    for (const MPoint& point : m_points) points.emplace_back(point * turn);
    auto geometry = std::make_shared<MeshGeometry>();
    geometry->assign(std::move(points), std::move(m_counts), std::move(m_connects));
    UVSet& map = geometry->uvSets().front();
    map.u = std::move(m_u);
    map.v = std::move(m_v);
    map.ids = std::move(m_uvIds);
    return geometry;
  }

 private:
  std::vector<MPoint> m_points;
  std::vector<float> m_u;
  std::vector<float> m_v;
  std::vector<int> m_counts;
  std::vector<int> m_connects;
  std::vector<int> m_uvIds;
};

/// One ring of points around the y axis at height y, from angle 0 turning
/// from +x towards -z (so that faces built bottom-up face outward).
std::vector<int> ring(MeshBuilder& builder, double radius, double y, int count) {
  std::vector<int> indices;
  for (int k = 0; k < count; ++k) {
    const double angle = 2.0 * kPi * k / count;
    indices.push_back(builder.addPoint(radius * std::cos(angle), y, -radius * std::sin(angle)));
  }
  return indices;
}

/// A row of count + 1 UVs at height v, u running from u0 to u1 (the seam
/// repeated at the end).
std::vector<int> uvRow(MeshBuilder& builder, int count, double v, double u0 = 0.0, double u1 = 1.0) {
  std::vector<int> indices;
  for (int k = 0; k <= count; ++k) indices.push_back(builder.addUV(u0 + (u1 - u0) * k / count, v));
  return indices;
}

/// UVs on a disc for the points of a ring: centre (cu, cv), radius r.
std::vector<int> uvDisc(MeshBuilder& builder, int count, double cu, double cv, double r) {
  std::vector<int> indices;
  for (int k = 0; k < count; ++k) {
    const double angle = 2.0 * kPi * k / count;
    indices.push_back(builder.addUV(cu + r * std::cos(angle), cv + r * std::sin(angle)));
  }
  return indices;
}

/// Quads between two rings, the lower one first, with their UV rows.
void band(MeshBuilder& builder, const std::vector<int>& lower, const std::vector<int>& upper,
          const std::vector<int>& lowerUV, const std::vector<int>& upperUV) {
  const size_t n = lower.size();
  for (size_t k = 0; k < n; ++k)
    builder.addPolygon({lower[k], lower[(k + 1) % n], upper[(k + 1) % n], upper[k]},
                       {lowerUV[k], lowerUV[k + 1], upperUV[k + 1], upperUV[k]});
}

/// Quads between two rings of a cap, with disc UVs (one per point).
void discBand(MeshBuilder& builder, const std::vector<int>& lower, const std::vector<int>& upper,
              const std::vector<int>& lowerUV, const std::vector<int>& upperUV) {
  const size_t n = lower.size();
  for (size_t k = 0; k < n; ++k)
    builder.addPolygon({lower[k], lower[(k + 1) % n], upper[(k + 1) % n], upper[k]},
                       {lowerUV[k], lowerUV[(k + 1) % n], upperUV[(k + 1) % n], upperUV[k]});
}

/// A fan of triangles from a pole to a ring; facing up for the top pole.
/// rimUV has one UV per rim point, or n + 1 for a seamed row; poleUV one per
/// triangle, or a single shared one.
void fan(MeshBuilder& builder, int pole, const std::vector<int>& rim, bool top, const std::vector<int>& poleUV,
         const std::vector<int>& rimUV) {
  const size_t n = rim.size();
  const auto rimAt = [&](size_t k) { return rimUV.size() > n ? rimUV[k] : rimUV[k % n]; };
  for (size_t k = 0; k < n; ++k) {
    const int p = poleUV.size() == 1 ? poleUV[0] : poleUV[k];
    if (top)
      builder.addPolygon({pole, rim[k], rim[(k + 1) % n]}, {p, rimAt(k), rimAt(k + 1)});
    else
      builder.addPolygon({pole, rim[(k + 1) % n], rim[k]}, {p, rimAt(k + 1), rimAt(k)});
  }
}

}  // namespace

std::shared_ptr<MeshGeometry> MeshPrimitives::cube(double width, double height, double depth, int sx, int sy, int sz,
                                                   const MVector& axis) {
  MeshBuilder builder;
  // Points are shared between sides through their lattice coordinates.
  std::map<std::tuple<int, int, int>, int> lattice;
  const auto point = [&](int i, int j, int k) {
    const auto key = std::make_tuple(i, j, k);
    const auto found = lattice.find(key);
    if (found != lattice.end()) return found->second;
    const int index = builder.addPoint(width * (double(i) / sx - 0.5), height * (double(j) / sy - 0.5),
                                       depth * (double(k) / sz - 0.5));
    lattice.emplace(key, index);
    return index;
  };
  struct Side {
    std::array<int, 3> origin;  // lattice corner the side starts at
    std::array<int, 3> u;       // lattice step along the side's rows
    std::array<int, 3> v;       // lattice step from row to row
    int nu;
    int nv;
  };
  // Front, top, back and bottom go round the x axis; then right and left.
  const Side sides[] = {{{0, 0, sz}, {1, 0, 0}, {0, 1, 0}, sx, sy},   {{0, sy, sz}, {1, 0, 0}, {0, 0, -1}, sx, sz},
                        {{0, sy, 0}, {1, 0, 0}, {0, -1, 0}, sx, sy},  {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, sx, sz},
                        {{sx, 0, sz}, {0, 0, -1}, {0, 1, 0}, sz, sy}, {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, sz, sy}};
  // Each side's UVs fill one sixth of the unit square's width.
  constexpr int kSides = 6;
  for (int sideIndex = 0; sideIndex < kSides; ++sideIndex) {
    const Side& side = sides[sideIndex];
    const int sideUVBase = builder.uvCount();
    const auto uvAt = [&](int a, int b) { return sideUVBase + b * (side.nu + 1) + a; };
    for (int b = 0; b <= side.nv; ++b)
      for (int a = 0; a <= side.nu; ++a) builder.addUV((sideIndex + double(a) / side.nu) / kSides, double(b) / side.nv);
    const auto at = [&](int a, int b) {
      return point(side.origin[0] + a * side.u[0] + b * side.v[0], side.origin[1] + a * side.u[1] + b * side.v[1],
                   side.origin[2] + a * side.u[2] + b * side.v[2]);
    };
    for (int b = 0; b <= side.nv; ++b)
      for (int a = 0; a <= side.nu; ++a) at(a, b);
    for (int b = 0; b < side.nv; ++b)
      for (int a = 0; a < side.nu; ++a)
        builder.addPolygon({at(a, b), at(a + 1, b), at(a + 1, b + 1), at(a, b + 1)},
                           {uvAt(a, b), uvAt(a + 1, b), uvAt(a + 1, b + 1), uvAt(a, b + 1)});
  }
  return builder.finish(axis);
}

std::shared_ptr<MeshGeometry> MeshPrimitives::plane(double width, double height, int sx, int sy, const MVector& axis) {
  MeshBuilder builder;
  // Rows run from +z to -z, so that the quads face +y.
  for (int j = 0; j <= sy; ++j)
    for (int i = 0; i <= sx; ++i) {
      builder.addPoint(width * (double(i) / sx - 0.5), 0.0, height * (0.5 - double(j) / sy));
      builder.addUV(double(i) / sx, double(j) / sy);
    }
  const auto at = [sx](int i, int j) { return j * (sx + 1) + i; };
  for (int j = 0; j < sy; ++j)
    for (int i = 0; i < sx; ++i) {
      const std::vector<int> corners{at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
      builder.addPolygon(corners, corners);
    }
  return builder.finish(axis);
}

std::shared_ptr<MeshGeometry> MeshPrimitives::cylinder(double radius, double height, int sa, int sh, int sc,
                                                       const MVector& axis) {
  MeshBuilder builder;
  // UVs: the side on the lower half of the unit square, the caps as discs above it.
  constexpr double kCapRadius = 0.25;
  std::vector<std::vector<int>> rings;
  std::vector<std::vector<int>> rows;
  for (int j = 0; j <= sh; ++j) {
    rings.push_back(ring(builder, radius, height * (double(j) / sh - 0.5), sa));
    rows.push_back(uvRow(builder, sa, 0.5 * j / sh));
  }
  for (int j = 0; j < sh; ++j) band(builder, rings[j], rings[j + 1], rows[j], rows[j + 1]);
  // Each cap: rings inward to a centre, or one polygon when it has no rings.
  for (const bool top : {false, true}) {
    const double y = top ? 0.5 * height : -0.5 * height;
    const double cu = top ? 0.75 : 0.25;
    constexpr double cv = 0.75;
    std::vector<int> outer = top ? rings.back() : rings.front();
    std::vector<int> outerUV = uvDisc(builder, sa, cu, cv, kCapRadius);
    if (sc == 0) {
      if (!top) {
        std::reverse(outer.begin(), outer.end());
        std::reverse(outerUV.begin(), outerUV.end());
      }
      builder.addPolygon(outer, outerUV);
      continue;
    }
    for (int m = 1; m < sc; ++m) {
      const double fraction = double(sc - m) / sc;
      const std::vector<int> inner = ring(builder, radius * fraction, y, sa);
      const std::vector<int> innerUV = uvDisc(builder, sa, cu, cv, kCapRadius * fraction);
      // Quads wound outer to inner face up on the top cap.
      if (top)
        discBand(builder, outer, inner, outerUV, innerUV);
      else
        discBand(builder, inner, outer, innerUV, outerUV);
      outer = inner;
      outerUV = innerUV;
    }
    fan(builder, builder.addPoint(0.0, y, 0.0), outer, top, {builder.addUV(cu, cv)}, outerUV);
  }
  return builder.finish(axis);
}

std::shared_ptr<MeshGeometry> MeshPrimitives::sphere(double radius, int sa, int sh, const MVector& axis) {
  MeshBuilder builder;
  std::vector<std::vector<int>> rings;
  std::vector<std::vector<int>> rows;
  for (int j = 1; j < sh; ++j) {
    const double polar = kPi * j / sh;
    rings.push_back(ring(builder, radius * std::sin(polar), -radius * std::cos(polar), sa));
    rows.push_back(uvRow(builder, sa, double(j) / sh));
  }
  const int south = builder.addPoint(0.0, -radius, 0.0);
  const int north = builder.addPoint(0.0, radius, 0.0);
  // Each pole triangle has its own pole UV, in the middle of its segment.
  std::vector<int> southUV;
  std::vector<int> northUV;
  for (int k = 0; k < sa; ++k) {
    southUV.push_back(builder.addUV((k + 0.5) / sa, 0.0));
    northUV.push_back(builder.addUV((k + 0.5) / sa, 1.0));
  }
  fan(builder, south, rings.front(), false, southUV, rows.front());
  for (size_t j = 0; j + 1 < rings.size(); ++j) band(builder, rings[j], rings[j + 1], rows[j], rows[j + 1]);
  fan(builder, north, rings.back(), true, northUV, rows.back());
  return builder.finish(axis);
}

}  // namespace zovhost
