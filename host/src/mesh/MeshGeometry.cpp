#include "mesh/MeshGeometry.h"

#include "mesh/PolygonTriangulation.h"

#include <algorithm>

namespace zovhost {

MStatus MeshGeometry::assign(std::vector<MFloatPoint> points, std::vector<int> counts, std::vector<int> connects,
                             std::string* reason) {
  const auto fail = [&](const std::string& why) {
    if (reason) *reason = why;
    *this = MeshGeometry();
    return MStatus(MS::kInvalidParameter);
  };
  size_t total = 0;
  for (int count : counts) {
    if (count < 3) return fail("a polygon has fewer than 3 vertices");
    total += static_cast<size_t>(count);
  }
  if (total != connects.size()) return fail("the polygon counts do not add up to the number of polygon vertices");
  for (int vertex : connects)
    if (vertex < 0 || static_cast<size_t>(vertex) >= points.size()) return fail("a vertex index is out of range");
  m_points = std::move(points);
  m_counts = std::move(counts);
  m_connects = std::move(connects);
  m_normals.clear();
  rebuildOffsets();
  forgetTriangles();
  resetChannels();
  return MS::kSuccess;
}

void MeshGeometry::rebuildOffsets() {
  m_offsets.assign(m_counts.size(), 0);
  int offset = 0;
  for (size_t i = 0; i < m_counts.size(); ++i) {
    m_offsets[i] = offset;
    offset += m_counts[i];
  }
}

void MeshGeometry::forgetTriangles() {
  m_triangles.assign(m_counts.size(), {});
  m_convex.assign(m_counts.size(), -1);
}

int MeshGeometry::faceVertexAt(int polygon, int vertex) const {
  if (!validPolygon(polygon)) return -1;
  const int first = offset(polygon);
  for (int k = 0; k < m_counts[static_cast<size_t>(polygon)]; ++k)
    if (m_connects[static_cast<size_t>(first + k)] == vertex) return first + k;
  return -1;
}

std::vector<MPoint> MeshGeometry::corners(int polygon, const MMatrix& matrix) const {
  std::vector<MPoint> result;
  if (!validPolygon(polygon)) return result;
  const int first = offset(polygon);
  for (int k = 0; k < m_counts[static_cast<size_t>(polygon)]; ++k)
    result.push_back(MPoint(m_points[static_cast<size_t>(m_connects[static_cast<size_t>(first + k)])]) * matrix);
  return result;
}

MVector MeshGeometry::polygonNormal(int polygon, const MMatrix& matrix) const {
  return zovhost::polygonNormal(corners(polygon, matrix));
}

MFloatVector MeshGeometry::faceVertexNormal(int faceVertex) const {
  if (!m_normals.empty()) return m_normals[static_cast<size_t>(faceVertex)];
  // The polygon holding the face-vertex: the last one starting at or before it.
  const auto above = std::upper_bound(m_offsets.begin(), m_offsets.end(), faceVertex);
  return MFloatVector(polygonNormal(static_cast<int>(above - m_offsets.begin()) - 1));
}

void MeshGeometry::setFaceVertexNormal(int faceVertex, const MFloatVector& normal) {
  if (m_normals.empty()) {
    m_normals.resize(m_connects.size());
    for (int p = 0; p < polygonCount(); ++p) {
      const MFloatVector own(polygonNormal(p));
      for (int k = 0; k < m_counts[static_cast<size_t>(p)]; ++k) m_normals[static_cast<size_t>(offset(p) + k)] = own;
    }
  }
  m_normals[static_cast<size_t>(faceVertex)] = normal;
}

bool MeshGeometry::assignNormals(std::vector<MFloatVector> normals) {
  if (!normals.empty() && normals.size() != m_connects.size()) return false;
  m_normals = std::move(normals);
  return true;
}

void MeshGeometry::setPoint(int vertex, const MFloatPoint& point) {
  m_points[static_cast<size_t>(vertex)] = point;
  forgetTriangles();
}

const std::vector<std::array<int, 3>>& MeshGeometry::triangles(int polygon) const {
  auto& cached = m_triangles[static_cast<size_t>(polygon)];
  if (cached.empty()) {
    const int first = offset(polygon);
    for (const auto& corner : triangulatePolygon(corners(polygon)))
      cached.push_back({m_connects[static_cast<size_t>(first + corner[0])],
                        m_connects[static_cast<size_t>(first + corner[1])],
                        m_connects[static_cast<size_t>(first + corner[2])]});
  }
  return cached;
}

bool MeshGeometry::isConvex(int polygon) const {
  signed char& cached = m_convex[static_cast<size_t>(polygon)];
  if (cached < 0) cached = isConvexPolygon(corners(polygon)) ? 1 : 0;
  return cached == 1;
}

MBoundingBox MeshGeometry::boundingBox() const {
  MBoundingBox box;
  for (const MFloatPoint& point : m_points) box.expand(MPoint(point));
  return box;
}

MMatrix normalMatrix(const MMatrix& matrix) {
  MMatrix linear = matrix;
  linear[3][0] = linear[3][1] = linear[3][2] = 0.0;
  return linear.isSingular() ? MMatrix() : linear.inverse().transpose();
}

}  // namespace zovhost
