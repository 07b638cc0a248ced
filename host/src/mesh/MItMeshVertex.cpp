#include <maya/MItMeshVertex.h>

#include "mathtypes/StatusOut.h"
#include "mesh/MeshGeometry.h"
#include "mesh/MeshView.h"

#include <algorithm>

using zovhost::setStatus;

namespace {}  // namespace

MItMeshVertex::MItMeshVertex(const MObject& polyObject, MStatus* status) : m_object(polyObject) {
  setStatus(status, reset());
}

MItMeshVertex::MItMeshVertex(const MDagPath& polyObject, const MObject& component, MStatus* status)
    : m_path(polyObject) {
  if (!component.isNull()) {
    setStatus(status, MS::kInvalidParameter);
    return;
  }
  // A path to a transform means the mesh shape below it.
  if (m_path.isValid() && !m_path.hasFn(MFn::kMesh)) m_path.extendToShape();
  m_object = m_path.node();
  setStatus(status, reset());
}

MStatus MItMeshVertex::reset() {
  const zovhost::MeshView view = zovhost::meshViewOf(m_object, m_path);
  m_geometry = view.geometry;
  m_world = view.world;
  m_worldKnown = view.worldKnown;
  m_index = 0;
  return view.valid() ? MS::kSuccess : MS::kInvalidParameter;
}

bool MItMeshVertex::valid() const { return m_geometry && m_geometry->validVertex(m_index); }

bool MItMeshVertex::isDone(MStatus* status) const {
  setStatus(status, m_geometry ? MS::kSuccess : MS::kFailure);
  return !valid();
}

MStatus MItMeshVertex::next() {
  if (!valid()) return MS::kFailure;
  ++m_index;
  return MS::kSuccess;
}

int MItMeshVertex::index(MStatus* status) const {
  setStatus(status, valid() ? MS::kSuccess : MS::kFailure);
  return m_index;
}

int MItMeshVertex::count(MStatus* status) const {
  setStatus(status, m_geometry ? MS::kSuccess : MS::kFailure);
  return m_geometry ? m_geometry->vertexCount() : 0;
}

MStatus MItMeshVertex::setIndex(int index, int& prevIndex) {
  if (!m_geometry || !m_geometry->validVertex(index)) return MS::kInvalidParameter;
  prevIndex = m_index;
  m_index = index;
  return MS::kSuccess;
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
