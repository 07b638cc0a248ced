#include "mesh/MeshPrimitives.h"

#include <maya/MQuaternion.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>

namespace zovhost {

namespace {

constexpr double kPi = 3.14159265358979323846;

/// Collects points and polygons, then turns the y axis onto the requested axis.
class MeshBuilder {
 public:
  int addPoint(double x, double y, double z) {
    m_points.emplace_back(x, y, z);
    return static_cast<int>(m_points.size()) - 1;
  }
  void addPolygon(std::initializer_list<int> vertices) { addPolygon(std::vector<int>(vertices)); }
  void addPolygon(const std::vector<int>& vertices) {
    m_counts.push_back(static_cast<int>(vertices.size()));
    m_connects.insert(m_connects.end(), vertices.begin(), vertices.end());
  }
  std::shared_ptr<MeshGeometry> finish(const MVector& axis) {
    // A zero axis keeps the mesh upright.
    const MMatrix turn = axis.length() > 0.0 ? MQuaternion(MVector::yAxis, axis).asMatrix() : MMatrix();
    std::vector<MFloatPoint> points;
    points.reserve(m_points.size());
    for (const MPoint& point : m_points) points.emplace_back(point * turn);
    auto geometry = std::make_shared<MeshGeometry>();
    geometry->assign(std::move(points), std::move(m_counts), std::move(m_connects));
    return geometry;
  }

 private:
  std::vector<MPoint> m_points;
  std::vector<int> m_counts;
  std::vector<int> m_connects;
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

/// Quads between two rings, the lower one first.
void band(MeshBuilder& builder, const std::vector<int>& lower, const std::vector<int>& upper) {
  const size_t n = lower.size();
  for (size_t k = 0; k < n; ++k) builder.addPolygon({lower[k], lower[(k + 1) % n], upper[(k + 1) % n], upper[k]});
}

/// A fan of triangles from a pole to a ring; facing up for the top pole.
void fan(MeshBuilder& builder, int pole, const std::vector<int>& rim, bool top) {
  const size_t n = rim.size();
  for (size_t k = 0; k < n; ++k) {
    if (top)
      builder.addPolygon({pole, rim[k], rim[(k + 1) % n]});
    else
      builder.addPolygon({pole, rim[(k + 1) % n], rim[k]});
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
  for (const Side& side : sides) {
    const auto at = [&](int a, int b) {
      return point(side.origin[0] + a * side.u[0] + b * side.v[0], side.origin[1] + a * side.u[1] + b * side.v[1],
                   side.origin[2] + a * side.u[2] + b * side.v[2]);
    };
    for (int b = 0; b <= side.nv; ++b)
      for (int a = 0; a <= side.nu; ++a) at(a, b);
    for (int b = 0; b < side.nv; ++b)
      for (int a = 0; a < side.nu; ++a) builder.addPolygon({at(a, b), at(a + 1, b), at(a + 1, b + 1), at(a, b + 1)});
  }
  return builder.finish(axis);
}

std::shared_ptr<MeshGeometry> MeshPrimitives::plane(double width, double height, int sx, int sy, const MVector& axis) {
  MeshBuilder builder;
  // Rows run from +z to -z, so that the quads face +y.
  for (int j = 0; j <= sy; ++j)
    for (int i = 0; i <= sx; ++i)
      builder.addPoint(width * (double(i) / sx - 0.5), 0.0, height * (0.5 - double(j) / sy));
  const auto at = [sx](int i, int j) { return j * (sx + 1) + i; };
  for (int j = 0; j < sy; ++j)
    for (int i = 0; i < sx; ++i) builder.addPolygon({at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
  return builder.finish(axis);
}

std::shared_ptr<MeshGeometry> MeshPrimitives::cylinder(double radius, double height, int sa, int sh, int sc,
                                                       const MVector& axis) {
  MeshBuilder builder;
  std::vector<std::vector<int>> rings;
  for (int j = 0; j <= sh; ++j) rings.push_back(ring(builder, radius, height * (double(j) / sh - 0.5), sa));
  for (int j = 0; j < sh; ++j) band(builder, rings[j], rings[j + 1]);
  // Each cap: rings inward to a centre, or one polygon when it has no rings.
  for (const bool top : {false, true}) {
    const double y = top ? 0.5 * height : -0.5 * height;
    std::vector<int> outer = top ? rings.back() : rings.front();
    if (sc == 0) {
      if (!top) std::reverse(outer.begin(), outer.end());
      builder.addPolygon(outer);
      continue;
    }
    for (int m = 1; m < sc; ++m) {
      const std::vector<int> inner = ring(builder, radius * (sc - m) / sc, y, sa);
      // Quads wound outer to inner face up on the top cap.
      if (top)
        band(builder, outer, inner);
      else
        band(builder, inner, outer);
      outer = inner;
    }
    fan(builder, builder.addPoint(0.0, y, 0.0), outer, top);
  }
  return builder.finish(axis);
}

std::shared_ptr<MeshGeometry> MeshPrimitives::sphere(double radius, int sa, int sh, const MVector& axis) {
  MeshBuilder builder;
  std::vector<std::vector<int>> rings;
  for (int j = 1; j < sh; ++j) {
    const double polar = kPi * j / sh;
    rings.push_back(ring(builder, radius * std::sin(polar), -radius * std::cos(polar), sa));
  }
  const int south = builder.addPoint(0.0, -radius, 0.0);
  const int north = builder.addPoint(0.0, radius, 0.0);
  fan(builder, south, rings.front(), false);
  for (size_t j = 0; j + 1 < rings.size(); ++j) band(builder, rings[j], rings[j + 1]);
  fan(builder, north, rings.back(), true);
  return builder.finish(axis);
}

}  // namespace zovhost
