#include <maya/MItMeshEdge.h>

#include <algorithm>
#include <map>
#include <utility>

#include "mathtypes/StatusOut.h"
#include "mesh/MeshGeometry.h"

using zovhost::setStatus;

MItMeshEdge::MItMeshEdge(const MObject& polyObject, MStatus* status) : MeshWalk(polyObject) {
  setStatus(status, reset());
}

MItMeshEdge::MItMeshEdge(const MDagPath& polyObject, const MObject& component, MStatus* status) : MeshWalk(polyObject) {
  const MStatus taken = takeShape(component);
  setStatus(status, taken ? reset() : taken);
}

MStatus MItMeshEdge::reset() {
  const MStatus loaded = load();
  m_edges.clear();
  if (!loaded) return loaded;
  // Edges by their ends, lower vertex first.
  std::map<std::pair<int, int>, size_t> numbers;
  for (int p = 0; p < m_geometry->polygonCount(); ++p) {
    const int n = m_geometry->counts()[static_cast<size_t>(p)];
    const int first = m_geometry->offset(p);
    for (int k = 0; k < n; ++k) {
      const int a = m_geometry->connects()[static_cast<size_t>(first + k)];
      const int b = m_geometry->connects()[static_cast<size_t>(first + (k + 1) % n)];
      if (a == b) continue;
      const auto key = std::minmax(a, b);
      const auto found = numbers.emplace(key, m_edges.size());
      if (found.second) m_edges.push_back({{a, b}, {}});
      std::vector<int>& faces = m_edges[found.first->second].faces;
      if (faces.empty() || faces.back() != p) faces.push_back(p);
    }
  }
  return MS::kSuccess;
}

bool MItMeshEdge::isDone(MStatus* status) const { return walkedPast(valid(), status); }

MStatus MItMeshEdge::next() { return stepOn(valid()); }

int MItMeshEdge::index(MStatus* status) const {
  setStatus(status, valid() ? MS::kSuccess : MS::kFailure);
  return m_index;
}

int MItMeshEdge::index(int end, MStatus* status) const {
  if (!valid() || end < 0 || end > 1) {
    setStatus(status, MS::kFailure);
    return -1;
  }
  setStatus(status, MS::kSuccess);
  return m_edges[static_cast<size_t>(m_index)].ends[end];
}

int MItMeshEdge::count(MStatus* status) const { return counted(static_cast<int>(m_edges.size()), status); }

MPoint MItMeshEdge::point(int end, MSpace::Space space, MStatus* status) const {
  MStatus found;
  const int vertex = index(end, &found);
  if (!found || (space == MSpace::kWorld && !m_worldKnown)) {
    setStatus(status, MS::kFailure);
    return MPoint();
  }
  setStatus(status, MS::kSuccess);
  const MPoint local(m_geometry->points()[static_cast<size_t>(vertex)]);
  return space == MSpace::kWorld ? local * m_world : local;
}

MStatus MItMeshEdge::getLength(double& length, MSpace::Space space) {
  MStatus status;
  const MPoint a = point(0, space, &status);
  if (!status) return status;
  const MPoint b = point(1, space, &status);
  if (!status) return status;
  length = a.distanceTo(b);
  return MS::kSuccess;
}

MStatus MItMeshEdge::getConnectedFaces(MIntArray& faceList) const {
  faceList.clear();
  if (!valid()) return MS::kFailure;
  for (int face : m_edges[static_cast<size_t>(m_index)].faces) faceList.append(face);
  return MS::kSuccess;
}

MStatus MItMeshEdge::numConnectedFaces(int& faceCount) const {
  if (!valid()) return MS::kFailure;
  faceCount = static_cast<int>(m_edges[static_cast<size_t>(m_index)].faces.size());
  return MS::kSuccess;
}

bool MItMeshEdge::onBoundary(MStatus* status) const {
  setStatus(status, valid() ? MS::kSuccess : MS::kFailure);
  return valid() && m_edges[static_cast<size_t>(m_index)].faces.size() < 2;
}
