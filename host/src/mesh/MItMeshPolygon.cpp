#include <maya/MItMeshPolygon.h>

#include "mathtypes/StatusOut.h"
#include "mesh/MeshGeometry.h"
#include "mesh/PolygonTriangulation.h"

using zovhost::MeshGeometry;
using zovhost::setStatus;

MItMeshPolygon::MItMeshPolygon(const MObject& polyObject, MStatus* status) { setStatus(status, reset(polyObject)); }

MItMeshPolygon::MItMeshPolygon(const MDagPath& polyObject, const MObject& component, MStatus* status) {
  setStatus(status, reset(polyObject, component));
}

MStatus MItMeshPolygon::reset() { return load(); }

MStatus MItMeshPolygon::reset(const MObject& polyObject) {
  m_object = polyObject;
  m_path = MDagPath();
  return reset();
}

MStatus MItMeshPolygon::reset(const MDagPath& polyObject, const MObject& component) {
  if (!component.isNull()) return MS::kInvalidParameter;
  m_path = polyObject;
  takeShape(component);
  return reset();
}

bool MItMeshPolygon::valid() const { return m_geometry && m_geometry->validPolygon(m_index); }

bool MItMeshPolygon::matrixFor(MSpace::Space space, MMatrix& matrix) const {
  matrix = space == MSpace::kWorld ? m_world : MMatrix();
  return space != MSpace::kWorld || m_worldKnown;
}

bool MItMeshPolygon::isDone(MStatus* status) const { return walkedPast(valid(), status); }

MStatus MItMeshPolygon::next() { return stepOn(valid()); }

unsigned int MItMeshPolygon::index(MStatus* status) const {
  setStatus(status, valid() ? MS::kSuccess : MS::kFailure);
  return static_cast<unsigned int>(m_index);
}

int MItMeshPolygon::count(MStatus* status) const {
  return counted(m_geometry ? m_geometry->polygonCount() : 0, status);
}

MStatus MItMeshPolygon::setIndex(int index, int& prevIndex) {
  return jumpTo(index, m_geometry && m_geometry->validPolygon(index), prevIndex);
}

unsigned int MItMeshPolygon::polygonVertexCount(MStatus* status) const {
  setStatus(status, valid() ? MS::kSuccess : MS::kFailure);
  return valid() ? static_cast<unsigned int>(m_geometry->counts()[static_cast<size_t>(m_index)]) : 0;
}

MStatus MItMeshPolygon::getVertices(MIntArray& vertices) const {
  vertices.clear();
  if (!valid()) return MS::kFailure;
  for (unsigned int k = 0; k < polygonVertexCount(); ++k)
    vertices.append(m_geometry->connects()[static_cast<size_t>(m_geometry->offset(m_index)) + k]);
  return MS::kSuccess;
}

int MItMeshPolygon::vertexIndex(int index, MStatus* status) const {
  const bool ok = valid() && index >= 0 && static_cast<unsigned int>(index) < polygonVertexCount();
  setStatus(status, ok ? MS::kSuccess : MS::kInvalidParameter);
  return ok ? m_geometry->connects()[static_cast<size_t>(m_geometry->offset(m_index) + index)] : -1;
}

int MItMeshPolygon::normalIndex(int localVertexIndex, MStatus* status) const {
  const bool ok =
      valid() && localVertexIndex >= 0 && static_cast<unsigned int>(localVertexIndex) < polygonVertexCount();
  setStatus(status, ok ? MS::kSuccess : MS::kInvalidParameter);
  return ok ? m_geometry->offset(m_index) + localVertexIndex : -1;
}

MPoint MItMeshPolygon::point(int index, MSpace::Space space, MStatus* status) const {
  MMatrix matrix;
  const int vertex = vertexIndex(index, status);
  if (vertex < 0) return MPoint();
  if (!matrixFor(space, matrix)) {
    setStatus(status, MS::kInvalidParameter);
    return MPoint();
  }
  return MPoint(m_geometry->points()[static_cast<size_t>(vertex)]) * matrix;
}

MStatus MItMeshPolygon::getPoints(MPointArray& points, MSpace::Space space) const {
  points.clear();
  MMatrix matrix;
  if (!valid()) return MS::kFailure;
  if (!matrixFor(space, matrix)) return MS::kInvalidParameter;
  for (const MPoint& corner : m_geometry->corners(m_index, matrix)) points.append(corner);
  return MS::kSuccess;
}

MPoint MItMeshPolygon::center(MSpace::Space space, MStatus* status) const {
  MPointArray points;
  const MStatus result = getPoints(points, space);
  setStatus(status, result);
  if (!result || points.length() == 0) return MPoint();
  MVector sum;
  for (const MPoint& corner : points.items()) sum += MVector(corner);
  return MPoint(sum / static_cast<double>(points.length()));
}

MStatus MItMeshPolygon::getNormal(MVector& normal, MSpace::Space space) const {
  MMatrix matrix;
  if (!valid()) return MS::kFailure;
  if (!matrixFor(space, matrix)) return MS::kInvalidParameter;
  normal = m_geometry->polygonNormal(m_index, matrix);
  return MS::kSuccess;
}

MStatus MItMeshPolygon::getNormal(unsigned int vertexIndex, MVector& normal, MSpace::Space space) const {
  MMatrix matrix;
  if (!valid() || vertexIndex >= polygonVertexCount()) return MS::kInvalidParameter;
  if (!matrixFor(space, matrix)) return MS::kInvalidParameter;
  const int faceVertex = m_geometry->offset(m_index) + static_cast<int>(vertexIndex);
  normal = (MVector(m_geometry->faceVertexNormal(faceVertex)) * zovhost::normalMatrix(matrix)).normal();
  return MS::kSuccess;
}

MStatus MItMeshPolygon::getNormals(MVectorArray& normals, MSpace::Space space) const {
  normals.clear();
  for (unsigned int k = 0; k < polygonVertexCount(); ++k) {
    MVector normal;
    const MStatus status = getNormal(k, normal, space);
    if (!status) return status;
    normals.append(normal);
  }
  return valid() ? MS::kSuccess : MS::kFailure;
}

bool MItMeshPolygon::isConvex(MStatus* status) const {
  setStatus(status, valid() ? MS::kSuccess : MS::kFailure);
  return valid() && m_geometry->isConvex(m_index);
}

bool MItMeshPolygon::zeroArea(MStatus* status) const {
  setStatus(status, valid() ? MS::kSuccess : MS::kFailure);
  return valid() && m_geometry->polygonNormal(m_index) == MVector::zero;
}

MStatus MItMeshPolygon::getArea(double& area, MSpace::Space space) const {
  MMatrix matrix;
  if (!valid()) return MS::kFailure;
  if (!matrixFor(space, matrix)) return MS::kInvalidParameter;
  area = zovhost::polygonArea(m_geometry->corners(m_index, matrix));
  return MS::kSuccess;
}

MStatus MItMeshPolygon::numTriangles(int& triangles) const {
  if (!valid()) return MS::kFailure;
  triangles = static_cast<int>(m_geometry->triangles(m_index).size());
  return MS::kSuccess;
}

bool MItMeshPolygon::hasValidTriangulation(MStatus* status) const {
  setStatus(status, valid() ? MS::kSuccess : MS::kFailure);
  return valid();
}

MStatus MItMeshPolygon::getTriangle(int localTriIndex, MPointArray& points, MIntArray& vertexList,
                                    MSpace::Space space) const {
  points.clear();
  vertexList.clear();
  MMatrix matrix;
  if (!valid()) return MS::kFailure;
  if (!matrixFor(space, matrix)) return MS::kInvalidParameter;
  const auto& triangles = m_geometry->triangles(m_index);
  if (localTriIndex < 0 || static_cast<size_t>(localTriIndex) >= triangles.size()) return MS::kInvalidParameter;
  for (int vertex : triangles[static_cast<size_t>(localTriIndex)]) {
    vertexList.append(vertex);
    points.append(MPoint(m_geometry->points()[static_cast<size_t>(vertex)]) * matrix);
  }
  return MS::kSuccess;
}

MStatus MItMeshPolygon::getTriangles(MPointArray& points, MIntArray& vertexList, MSpace::Space space) const {
  points.clear();
  vertexList.clear();
  int count = 0;
  MStatus status = numTriangles(count);
  for (int t = 0; status && t < count; ++t) {
    MPointArray trianglePoints;
    MIntArray triangleVertices;
    status = getTriangle(t, trianglePoints, triangleVertices, space);
    for (unsigned int i = 0; i < trianglePoints.length(); ++i) {
      points.append(trianglePoints[i]);
      vertexList.append(triangleVertices[i]);
    }
  }
  return status;
}

MStatus MItMeshPolygon::getUVIndex(int vertex, int& index, const MString* uvSet) const {
  const zovhost::UVSet* set = valid() ? m_geometry->findUVSet(uvSet ? uvSet->str() : std::string()) : nullptr;
  if (!set || vertex < 0 || static_cast<unsigned int>(vertex) >= polygonVertexCount()) return MS::kInvalidParameter;
  const int id = set->ids[static_cast<size_t>(m_geometry->offset(m_index) + vertex)];
  if (id < 0) return MS::kFailure;
  index = id;
  return MS::kSuccess;
}

MStatus MItMeshPolygon::getUV(int vertex, float uv[2], const MString* uvSet) const {
  int id = 0;
  const MStatus status = getUVIndex(vertex, id, uvSet);
  if (!status) return status;
  const zovhost::UVSet* set = m_geometry->findUVSet(uvSet ? uvSet->str() : std::string());
  uv[0] = set->u[static_cast<size_t>(id)];
  uv[1] = set->v[static_cast<size_t>(id)];
  return MS::kSuccess;
}

bool MItMeshPolygon::hasUVs(const MString& uvSet, MStatus* status) const {
  const zovhost::UVSet* set = valid() ? m_geometry->findUVSet(uvSet.str()) : nullptr;
  setStatus(status, set ? MS::kSuccess : MS::kInvalidParameter);
  if (!set) return false;
  for (unsigned int k = 0; k < polygonVertexCount(); ++k)
    if (set->ids[static_cast<size_t>(m_geometry->offset(m_index)) + k] < 0) return false;
  return true;
}

MStatus MItMeshPolygon::getColorIndex(int vertexIndex, int& colorIndex, const MString* colorSetName) const {
  const zovhost::ColorSet* set =
      valid() ? m_geometry->findColorSet(colorSetName ? colorSetName->str() : std::string()) : nullptr;
  if (!set || vertexIndex < 0 || static_cast<unsigned int>(vertexIndex) >= polygonVertexCount())
    return MS::kInvalidParameter;
  colorIndex = set->ids[static_cast<size_t>(m_geometry->offset(m_index) + vertexIndex)];
  return colorIndex >= 0 ? MStatus(MS::kSuccess) : MStatus(MS::kFailure);
}
