#pragma once

#include <maya/MDagPath.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFloatVectorArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MIntArray.h>
#include <maya/MPointArray.h>
#include <maya/MSpace.h>
#include <maya/MVector.h>
#include <maya/MVectorArray.h>

#include <memory>

namespace zovhost {
class MeshGeometry;
}

/// Function set for polygon meshes: a mesh node (attached through a DAG path
/// for world-space queries, and extended from a transform to its one shape)
/// or mesh data (whose world is the matrix it carries, else its own space).
/// Points are single precision; normals are kept per face-vertex, normal
/// index k belonging to the k-th face-vertex of the mesh. Edits of a mesh
/// node give it a mesh of its own and are refused while a connection feeds
/// its inMesh.
class MFnMesh : public MFnDagNode {
 public:
  MFnMesh() = default;
  explicit MFnMesh(const MObject& object, MStatus* status = nullptr);
  explicit MFnMesh(const MDagPath& path, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kMesh; }
  MStatus setObject(const MObject& object) override;
  MStatus setObject(const MDagPath& path);

  /// Makes a mesh from points and polygons (counts, and the vertex indices of
  /// each polygon in turn). parentOrOwner: null makes a mesh node under a new
  /// transform and returns the transform; a transform gets a new mesh node
  /// below it, which is returned; mesh data takes the mesh and is returned.
  /// The set is attached to the new mesh. Bad arrays fail and make nothing.
  MObject create(int numVertices, int numPolygons, const MFloatPointArray& vertexArray, const MIntArray& polygonCounts,
                 const MIntArray& polygonConnects, const MObject& parentOrOwner = MObject::kNullObj,
                 MStatus* status = nullptr);
  MObject create(int numVertices, int numPolygons, const MPointArray& vertexArray, const MIntArray& polygonCounts,
                 const MIntArray& polygonConnects, const MObject& parentOrOwner = MObject::kNullObj,
                 MStatus* status = nullptr);
  /// Replaces the attached mesh's points and polygons.
  MStatus createInPlace(int numVertices, int numPolygons, const MFloatPointArray& vertexArray,
                        const MIntArray& polygonCounts, const MIntArray& polygonConnects);
  MStatus createInPlace(int numVertices, int numPolygons, const MPointArray& vertexArray,
                        const MIntArray& polygonCounts, const MIntArray& polygonConnects);

  int numVertices(MStatus* status = nullptr) const;
  int numPolygons(MStatus* status = nullptr) const;
  int numFaceVertices(MStatus* status = nullptr) const;
  int numNormals(MStatus* status = nullptr) const;
  int polygonVertexCount(int polygonId, MStatus* status = nullptr) const;
  MStatus getPolygonVertices(int polygonId, MIntArray& vertexList) const;
  /// The counts of every polygon and their vertex indices in turn.
  MStatus getVertices(MIntArray& vertexCount, MIntArray& vertexList) const;

  MStatus getPoints(MPointArray& vertexArray, MSpace::Space space = MSpace::kObject) const;
  MStatus getPoints(MFloatPointArray& vertexArray, MSpace::Space space = MSpace::kObject) const;
  MStatus setPoints(const MPointArray& vertexArray, MSpace::Space space = MSpace::kObject);
  MStatus setPoints(const MFloatPointArray& vertexArray, MSpace::Space space = MSpace::kObject);
  MStatus getPoint(int vertexId, MPoint& point, MSpace::Space space = MSpace::kObject) const;
  MStatus setPoint(int vertexId, const MPoint& point, MSpace::Space space = MSpace::kObject);

  /// A polygon's unit normal (zero for a polygon without area).
  MStatus getPolygonNormal(int polygonId, MVector& normal, MSpace::Space space = MSpace::kObject) const;
  /// Every face-vertex normal, in normal-index order.
  MStatus getNormals(MFloatVectorArray& normals, MSpace::Space space = MSpace::kObject) const;
  MStatus getFaceVertexNormal(int faceIndex, int vertexIndex, MVector& normal,
                              MSpace::Space space = MSpace::kObject) const;
  MStatus getFaceVertexNormals(int faceIndex, MFloatVectorArray& normals, MSpace::Space space = MSpace::kObject) const;
  /// The normal count of every polygon and their normal indices in turn.
  MStatus getNormalIds(MIntArray& normalIdCounts, MIntArray& normalIds) const;
  MStatus getFaceNormalIds(int faceIndex, MIntArray& normals) const;
  /// Sets the normals of (face, vertex) pairs; vertexList holds mesh vertex
  /// indices, each of which must belong to its face.
  MStatus setFaceVertexNormals(const MVectorArray& normals, const MIntArray& faceList, const MIntArray& vertexList,
                               MSpace::Space space = MSpace::kObject);
  MStatus setFaceVertexNormal(const MVector& normal, int faceId, int vertexId, MSpace::Space space = MSpace::kObject);

  /// The host's triangulation: per polygon its triangle count, and the
  /// triangles' vertex indices in turn.
  MStatus getTriangles(MIntArray& triangleCounts, MIntArray& triangleVertices) const;
  MStatus getPolygonTriangleVertices(int polygonId, int triangleId, int vertexList[3]) const;

  /// Nothing to do in this host: edits take effect at once.
  MStatus updateSurface() { return MS::kSuccess; }
  MStatus syncObject() { return MS::kSuccess; }

 private:
  MStatus replaceGeometry(const std::shared_ptr<const zovhost::MeshGeometry>& geometry);
};
