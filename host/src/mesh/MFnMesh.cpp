#include <maya/MFnMesh.h>

#include "dag/DagNode.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/StatusOut.h"
#include "mesh/MeshData.h"
#include "mesh/MeshNode.h"
#include "mesh/MeshSupportTypes.h"
#include "mesh/MeshView.h"

using zovhost::MeshGeometry;
using zovhost::MeshView;
using zovhost::NodeImpl;
using zovhost::setStatus;

namespace {

std::vector<MFloatPoint> floatPoints(const MPointArray& points) {
  std::vector<MFloatPoint> result;
  result.reserve(points.length());
  for (MPoint point : points.items()) result.emplace_back(point.cartesianize());
  return result;
}

/// A checked mesh from the arrays given to create; null when they do not fit.
std::shared_ptr<MeshGeometry> buildGeometry(int numVertices, int numPolygons, std::vector<MFloatPoint> points,
                                            const MIntArray& counts, const MIntArray& connects) {
  if (numVertices < 0 || static_cast<size_t>(numVertices) != points.size()) return nullptr;
  if (numPolygons < 0 || static_cast<unsigned int>(numPolygons) != counts.length()) return nullptr;
  std::vector<int> countList(counts.length());
  for (unsigned int i = 0; i < counts.length(); ++i) countList[i] = counts[i];
  std::vector<int> connectList(connects.length());
  for (unsigned int i = 0; i < connects.length(); ++i) connectList[i] = connects[i];
  auto geometry = std::make_shared<MeshGeometry>();
  if (!geometry->assign(std::move(points), std::move(countList), std::move(connectList))) return nullptr;
  return geometry;
}

/// The inverse of the world matrix's 3x3 part transposed back: world normals to object normals.
MVector objectNormal(const MVector& worldNormal, const MMatrix& world) {
  MMatrix linear = world;
  linear[3][0] = linear[3][1] = linear[3][2] = 0.0;
  return (worldNormal * linear.transpose()).normal();
}

/// The polygon sizes into `counts` and `idOf(mesh, k)` of each face-vertex k
/// into `ids`; kFailure, both empty, without a mesh.
template <typename IdOf>
MStatus polygonsAndFaceVertices(const MeshView& view, MIntArray& counts, MIntArray& ids, IdOf idOf) {
  counts.clear();
  ids.clear();
  if (!view.valid()) return MS::kFailure;
  for (int count : view.geometry->counts()) counts.append(count);
  for (size_t k = 0; k < view.geometry->connects().size(); ++k) ids.append(idOf(*view.geometry, k));
  return MS::kSuccess;
}

}  // namespace

MFnMesh::MFnMesh(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }

MStatus MFnMesh::setObject(const MDagPath& path) {
  // A path to a transform means the mesh shape below it.
  MDagPath shape = path;
  if (shape.isValid() && !shape.hasFn(MFn::kMesh) && !shape.extendToShape()) {
    m_object = MObject();
    m_path = MDagPath();
    return MS::kInvalidParameter;
  }
  return MFnDagNode::setObject(shape);
}

MObject MFnMesh::create(int numVertices, int numPolygons, const MPointArray& vertexArray,
                        const MIntArray& polygonCounts, const MIntArray& polygonConnects, const MObject& parentOrOwner,
                        MStatus* status) {
  MFloatPointArray points;
  points.items() = floatPoints(vertexArray);
  return create(numVertices, numPolygons, points, polygonCounts, polygonConnects, parentOrOwner, status);
}

MObject MFnMesh::create(int numVertices, int numPolygons, const MFloatPointArray& vertexArray,
                        const MIntArray& polygonCounts, const MIntArray& polygonConnects, const MObject& parentOrOwner,
                        MStatus* status) {
  const auto geometry = buildGeometry(numVertices, numPolygons, vertexArray.items(), polygonCounts, polygonConnects);
  if (!geometry) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  if (const auto data = zovhost::meshDataOf(parentOrOwner)) {
    data->geometry = geometry;
    setStatus(status, setObject(parentOrOwner));
    return parentOrOwner;
  }
  const auto parent = zovhost::nodeOf(parentOrOwner);
  if (!parentOrOwner.isNull() && (!parent || !parent->hasFn(MFn::kTransform))) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  std::shared_ptr<NodeImpl> made;
  MStatus result;
  const auto node = zovhost::createDagNode(zovhost::nodeTypeRegistry().find("mesh"), parent, "", &made, &result);
  if (!node) {
    setStatus(status, result);
    return MObject();
  }
  zovhost::MeshNode::setGeometry(node, geometry);
  MDagPath path;
  MDagPath::getAPathTo(MObject(node), path);
  setObject(path);
  setStatus(status, MS::kSuccess);
  return MObject(made ? made : node);
}

MStatus MFnMesh::createInPlace(int numVertices, int numPolygons, const MPointArray& vertexArray,
                               const MIntArray& polygonCounts, const MIntArray& polygonConnects) {
  MFloatPointArray points;
  points.items() = floatPoints(vertexArray);
  return createInPlace(numVertices, numPolygons, points, polygonCounts, polygonConnects);
}

MStatus MFnMesh::createInPlace(int numVertices, int numPolygons, const MFloatPointArray& vertexArray,
                               const MIntArray& polygonCounts, const MIntArray& polygonConnects) {
  const MeshView old = zovhost::meshViewOf(m_object, m_path);
  if (!old.valid()) return MS::kFailure;
  const auto geometry = buildGeometry(numVertices, numPolygons, vertexArray.items(), polygonCounts, polygonConnects);
  if (!geometry) return MS::kInvalidParameter;
  geometry->keepSetsOf(*old.geometry);
  return replaceGeometry(geometry);
}

MStatus MFnMesh::replaceGeometry(const std::shared_ptr<const MeshGeometry>& geometry) {
  if (const auto data = zovhost::meshDataOf(m_object)) {
    data->geometry = geometry;
    return MS::kSuccess;
  }
  const auto node = zovhost::nodeOf(m_object);
  return node ? zovhost::MeshNode::setGeometry(node, geometry) : MStatus(MS::kFailure);
}

int MFnMesh::numVertices(MStatus* status) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  setStatus(status, view.valid() ? MS::kSuccess : MS::kFailure);
  return view.valid() ? view.geometry->vertexCount() : 0;
}

int MFnMesh::numPolygons(MStatus* status) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  setStatus(status, view.valid() ? MS::kSuccess : MS::kFailure);
  return view.valid() ? view.geometry->polygonCount() : 0;
}

int MFnMesh::numFaceVertices(MStatus* status) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  setStatus(status, view.valid() ? MS::kSuccess : MS::kFailure);
  return view.valid() ? view.geometry->faceVertexCount() : 0;
}

int MFnMesh::numNormals(MStatus* status) const { return numFaceVertices(status); }

int MFnMesh::polygonVertexCount(int polygonId, MStatus* status) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  const bool valid = view.valid() && view.geometry->validPolygon(polygonId);
  setStatus(status, valid ? MS::kSuccess : MS::kInvalidParameter);
  return valid ? view.geometry->counts()[static_cast<size_t>(polygonId)] : 0;
}

MStatus MFnMesh::getPolygonVertices(int polygonId, MIntArray& vertexList) const {
  vertexList.clear();
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  if (!view.valid() || !view.geometry->validPolygon(polygonId)) return MS::kInvalidParameter;
  const MeshGeometry& mesh = *view.geometry;
  for (int k = 0; k < mesh.counts()[static_cast<size_t>(polygonId)]; ++k)
    vertexList.append(mesh.connects()[static_cast<size_t>(mesh.offset(polygonId) + k)]);
  return MS::kSuccess;
}

MStatus MFnMesh::getVertices(MIntArray& vertexCount, MIntArray& vertexList) const {
  return polygonsAndFaceVertices(zovhost::meshViewOf(m_object, m_path), vertexCount, vertexList,
                                 [](const MeshGeometry& mesh, size_t k) { return mesh.connects()[k]; });
}

MStatus MFnMesh::getPoints(MPointArray& vertexArray, MSpace::Space space) const {
  vertexArray.clear();
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  MMatrix matrix;
  if (!view.valid()) return MS::kFailure;
  if (!view.matrixFor(space, matrix)) return MS::kInvalidParameter;
  for (const MFloatPoint& point : view.geometry->points()) vertexArray.append(MPoint(point) * matrix);
  return MS::kSuccess;
}

MStatus MFnMesh::getPoints(MFloatPointArray& vertexArray, MSpace::Space space) const {
  vertexArray.clear();
  MPointArray points;
  const MStatus status = getPoints(points, space);
  for (const MPoint& point : points.items()) vertexArray.append(MFloatPoint(point));
  return status;
}

MStatus MFnMesh::setPoints(const MPointArray& vertexArray, MSpace::Space space) {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  MMatrix matrix;
  if (!view.valid()) return MS::kFailure;
  if (!view.matrixFor(space, matrix)) return MS::kInvalidParameter;
  if (vertexArray.length() != static_cast<unsigned int>(view.geometry->vertexCount())) return MS::kInvalidParameter;
  const MMatrix toObject = matrix.inverse();
  auto geometry = std::make_shared<MeshGeometry>(*view.geometry);
  for (unsigned int i = 0; i < vertexArray.length(); ++i) {
    MPoint point = vertexArray[i] * toObject;
    geometry->setPoint(static_cast<int>(i), MFloatPoint(point.cartesianize()));
  }
  return replaceGeometry(geometry);
}

MStatus MFnMesh::setPoints(const MFloatPointArray& vertexArray, MSpace::Space space) {
  MPointArray points;
  for (const MFloatPoint& point : vertexArray.items()) points.append(MPoint(point));
  return setPoints(points, space);
}

MStatus MFnMesh::getPoint(int vertexId, MPoint& point, MSpace::Space space) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  MMatrix matrix;
  if (!view.valid() || !view.geometry->validVertex(vertexId)) return MS::kInvalidParameter;
  if (!view.matrixFor(space, matrix)) return MS::kInvalidParameter;
  point = MPoint(view.geometry->points()[static_cast<size_t>(vertexId)]) * matrix;
  return MS::kSuccess;
}

MStatus MFnMesh::setPoint(int vertexId, const MPoint& point, MSpace::Space space) {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  MMatrix matrix;
  if (!view.valid() || !view.geometry->validVertex(vertexId)) return MS::kInvalidParameter;
  if (!view.matrixFor(space, matrix)) return MS::kInvalidParameter;
  auto geometry = std::make_shared<MeshGeometry>(*view.geometry);
  MPoint local = point * matrix.inverse();
  geometry->setPoint(vertexId, MFloatPoint(local.cartesianize()));
  return replaceGeometry(geometry);
}

MStatus MFnMesh::getPolygonNormal(int polygonId, MVector& normal, MSpace::Space space) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  MMatrix matrix;
  if (!view.valid() || !view.geometry->validPolygon(polygonId)) return MS::kInvalidParameter;
  if (!view.matrixFor(space, matrix)) return MS::kInvalidParameter;
  normal = view.geometry->polygonNormal(polygonId, matrix);
  return MS::kSuccess;
}

MStatus MFnMesh::getNormals(MFloatVectorArray& normals, MSpace::Space space) const {
  normals.clear();
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  MMatrix matrix;
  if (!view.valid()) return MS::kFailure;
  if (!view.matrixFor(space, matrix)) return MS::kInvalidParameter;
  const MMatrix toSpace = zovhost::normalMatrix(matrix);
  for (int k = 0; k < view.geometry->faceVertexCount(); ++k)
    normals.append(MFloatVector((MVector(view.geometry->faceVertexNormal(k)) * toSpace).normal()));
  return MS::kSuccess;
}

MStatus MFnMesh::getFaceVertexNormal(int faceIndex, int vertexIndex, MVector& normal, MSpace::Space space) const {
  MFloatVectorArray normals;
  MStatus status = getNormals(normals, space);
  if (!status) return status;
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  const int faceVertex = view.geometry->faceVertexAt(faceIndex, vertexIndex);
  if (faceVertex < 0) return MS::kInvalidParameter;
  normal = MVector(normals[static_cast<unsigned int>(faceVertex)]);
  return MS::kSuccess;
}

MStatus MFnMesh::getFaceVertexNormals(int faceIndex, MFloatVectorArray& normals, MSpace::Space space) const {
  MFloatVectorArray all;
  MStatus status = getNormals(all, space);
  normals.clear();
  if (!status) return status;
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  if (!view.geometry->validPolygon(faceIndex)) return MS::kInvalidParameter;
  for (int k = 0; k < view.geometry->counts()[static_cast<size_t>(faceIndex)]; ++k)
    normals.append(all[static_cast<unsigned int>(view.geometry->offset(faceIndex) + k)]);
  return MS::kSuccess;
}

MStatus MFnMesh::getNormalIds(MIntArray& normalIdCounts, MIntArray& normalIds) const {
  // Normals are kept per face-vertex: normal k belongs to face-vertex k.
  return polygonsAndFaceVertices(zovhost::meshViewOf(m_object, m_path), normalIdCounts, normalIds,
                                 [](const MeshGeometry&, size_t k) { return static_cast<int>(k); });
}

MStatus MFnMesh::getFaceNormalIds(int faceIndex, MIntArray& normals) const {
  normals.clear();
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  if (!view.valid() || !view.geometry->validPolygon(faceIndex)) return MS::kInvalidParameter;
  for (int k = 0; k < view.geometry->counts()[static_cast<size_t>(faceIndex)]; ++k)
    normals.append(view.geometry->offset(faceIndex) + k);
  return MS::kSuccess;
}

MStatus MFnMesh::setFaceVertexNormals(const MVectorArray& normals, const MIntArray& faceList,
                                      const MIntArray& vertexList, MSpace::Space space) {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  MMatrix matrix;
  if (!view.valid()) return MS::kFailure;
  if (!view.matrixFor(space, matrix)) return MS::kInvalidParameter;
  if (normals.length() != faceList.length() || normals.length() != vertexList.length()) return MS::kInvalidParameter;
  auto geometry = std::make_shared<MeshGeometry>(*view.geometry);
  for (unsigned int i = 0; i < normals.length(); ++i) {
    const int faceVertex = geometry->faceVertexAt(faceList[i], vertexList[i]);
    if (faceVertex < 0) return MS::kInvalidParameter;
    const MVector normal = space == MSpace::kWorld ? objectNormal(normals[i], matrix) : normals[i];
    geometry->setFaceVertexNormal(faceVertex, MFloatVector(normal));
  }
  return replaceGeometry(geometry);
}

MStatus MFnMesh::setFaceVertexNormal(const MVector& normal, int faceId, int vertexId, MSpace::Space space) {
  MVectorArray normals;
  normals.append(normal);
  MIntArray faces;
  faces.append(faceId);
  MIntArray vertices;
  vertices.append(vertexId);
  return setFaceVertexNormals(normals, faces, vertices, space);
}

MStatus MFnMesh::setVertexNormals(const MVectorArray& normals, const MIntArray& vertexList, MSpace::Space space) {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  MMatrix matrix;
  if (!view.valid()) return MS::kFailure;
  if (!view.matrixFor(space, matrix)) return MS::kInvalidParameter;
  if (normals.length() != vertexList.length()) return MS::kInvalidParameter;
  for (unsigned int i = 0; i < vertexList.length(); ++i)
    if (!view.geometry->validVertex(vertexList[i])) return MS::kInvalidParameter;
  const auto objectSpace = [&](unsigned int i) {
    return MFloatVector(space == MSpace::kWorld ? objectNormal(normals[i], matrix) : normals[i]);
  };
  const auto node = zovhost::nodeOf(m_object);
  MPlug in = node ? MPlug(m_object, zovhost::MeshNode::inMesh) : MPlug();
  if (!in.isNull() && in.isDestination()) {
    const MObject edit = zovhost::normalEditAbove(node);
    if (edit.isNull()) return MS::kFailure;
    const MPlug values = MFnDependencyNode(edit).findPlug("vertexNormal");
    for (unsigned int i = 0; i < vertexList.length(); ++i) {
      const MPlug element = values.elementByLogicalIndex(static_cast<unsigned int>(vertexList[i]));
      const MFloatVector n = objectSpace(i);
      for (unsigned int c = 0; c < 3; ++c) element.child(c).setValue(n[c]);
    }
    return MS::kSuccess;
  }
  auto geometry = std::make_shared<MeshGeometry>(*view.geometry);
  for (unsigned int i = 0; i < vertexList.length(); ++i)
    for (int k = 0; k < geometry->faceVertexCount(); ++k)
      if (geometry->connects()[static_cast<size_t>(k)] == vertexList[i])
        geometry->setFaceVertexNormal(k, objectSpace(i));
  return replaceGeometry(geometry);
}

MStatus MFnMesh::unlockFaceVertexNormals(const MIntArray& faceList, const MIntArray& vertexList) {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  if (!view.valid()) return MS::kFailure;
  if (faceList.length() != vertexList.length()) return MS::kInvalidParameter;
  auto geometry = std::make_shared<MeshGeometry>(*view.geometry);
  for (unsigned int i = 0; i < faceList.length(); ++i) {
    const int face = faceList[i];
    const int faceVertex = geometry->faceVertexAt(face, vertexList[i]);
    if (faceVertex < 0) return MS::kInvalidParameter;
    if (geometry->normalsSet()) geometry->setFaceVertexNormal(faceVertex, MFloatVector(geometry->polygonNormal(face)));
  }
  return replaceGeometry(geometry);
}

MStatus MFnMesh::getTriangles(MIntArray& triangleCounts, MIntArray& triangleVertices) const {
  triangleCounts.clear();
  triangleVertices.clear();
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  if (!view.valid()) return MS::kFailure;
  for (int p = 0; p < view.geometry->polygonCount(); ++p) {
    const auto& triangles = view.geometry->triangles(p);
    triangleCounts.append(static_cast<int>(triangles.size()));
    for (const auto& triangle : triangles)
      for (int vertex : triangle) triangleVertices.append(vertex);
  }
  return MS::kSuccess;
}

MStatus MFnMesh::getPolygonTriangleVertices(int polygonId, int triangleId, int vertexList[3]) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  if (!view.valid() || !view.geometry->validPolygon(polygonId)) return MS::kInvalidParameter;
  const auto& triangles = view.geometry->triangles(polygonId);
  if (triangleId < 0 || static_cast<size_t>(triangleId) >= triangles.size()) return MS::kInvalidParameter;
  for (int i = 0; i < 3; ++i) vertexList[i] = triangles[static_cast<size_t>(triangleId)][static_cast<size_t>(i)];
  return MS::kSuccess;
}
