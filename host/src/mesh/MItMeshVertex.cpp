#include <maya/MItMeshVertex.h>

#include "mathtypes/StatusOut.h"
#include "mesh/MeshGeometry.h"

#include <algorithm>

using zovhost::setStatus;

MItMeshVertex::MItMeshVertex(const MObject& polyObject, MStatus* status) : MeshWalk(polyObject) {
  setStatus(status, reset());
}

MItMeshVertex::MItMeshVertex(const MDagPath& polyObject, const MObject& component, MStatus* status)
    : MeshWalk(polyObject) {
  const MStatus taken = takeShape(component);
  setStatus(status, taken ? reset() : taken);
}

MStatus MItMeshVertex::reset() { return load(); }

bool MItMeshVertex::valid() const { return m_geometry && m_geometry->validVertex(m_index); }

bool MItMeshVertex::isDone(MStatus* status) const { return walkedPast(valid(), status); }

MStatus MItMeshVertex::next() { return stepOn(valid()); }

int MItMeshVertex::index(MStatus* status) const {
  setStatus(status, valid() ? MS::kSuccess : MS::kFailure);
  return m_index;
}

int MItMeshVertex::count(MStatus* status) const { return counted(m_geometry ? m_geometry->vertexCount() : 0, status); }

MStatus MItMeshVertex::setIndex(int index, int& prevIndex) {
  return jumpTo(index, m_geometry && m_geometry->validVertex(index), prevIndex);
}

MPoint MItMeshVertex::position(MSpace::Space space, MStatus* status) const {
  if (!valid() || (space == MSpace::kWorld && !m_worldKnown)) {
    setStatus(status, MS::kFailure);
    return MPoint();
  }
  setStatus(status, MS::kSuccess);
  const MPoint local(m_geometry->points()[static_cast<size_t>(m_index)]);
  return space == MSpace::kWorld ? local * m_world : local;
}

MStatus MItMeshVertex::getConnectedFaces(MIntArray& faceList) const {
  faceList.clear();
  if (!valid()) return MS::kFailure;
  for (int p = 0; p < m_geometry->polygonCount(); ++p)
    for (int k = 0; k < m_geometry->counts()[static_cast<size_t>(p)]; ++k)
      if (m_geometry->connects()[static_cast<size_t>(m_geometry->offset(p) + k)] == m_index) {
        faceList.append(p);
        break;
      }
  return MS::kSuccess;
}

MStatus MItMeshVertex::numConnectedFaces(int& faceCount) const {
  MIntArray faces;
  const MStatus status = getConnectedFaces(faces);
  faceCount = static_cast<int>(faces.length());
  return status;
}

MStatus MItMeshVertex::getConnectedVertices(MIntArray& vertexList) const {
  vertexList.clear();
  if (!valid()) return MS::kFailure;
  std::vector<int> found;
  for (int p = 0; p < m_geometry->polygonCount(); ++p) {
    const int n = m_geometry->counts()[static_cast<size_t>(p)];
    const int first = m_geometry->offset(p);
    for (int k = 0; k < n; ++k)
      if (m_geometry->connects()[static_cast<size_t>(first + k)] == m_index)
        for (int side : {(k + 1) % n, (k + n - 1) % n}) {
          const int other = m_geometry->connects()[static_cast<size_t>(first + side)];
          if (std::find(found.begin(), found.end(), other) == found.end()) found.push_back(other);
        }
  }
  for (int vertex : found) vertexList.append(vertex);
  return MS::kSuccess;
}
