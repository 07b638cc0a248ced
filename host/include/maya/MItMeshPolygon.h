#pragma once

#include <maya/MDagPath.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MPoint.h>
#include <maya/MPointArray.h>
#include <maya/MSpace.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MVector.h>
#include <maya/MVectorArray.h>
#include <zovhost/MeshWalk.h>

/// Walks the polygons of a mesh node or mesh data in order. World-space
/// queries need the world (a DAG path, or data that carries it). The mesh is
/// the one current when the iterator was made or reset.
class MItMeshPolygon : private zovhost::MeshWalk {
 public:
  explicit MItMeshPolygon(const MObject& polyObject, MStatus* status = nullptr);
  explicit MItMeshPolygon(const MDagPath& polyObject, const MObject& component = MObject::kNullObj,
                          MStatus* status = nullptr);

  MStatus reset();
  MStatus reset(const MObject& polyObject);
  MStatus reset(const MDagPath& polyObject, const MObject& component = MObject::kNullObj);
  bool isDone(MStatus* status = nullptr) const;
  MStatus next();
  unsigned int index(MStatus* status = nullptr) const;
  int count(MStatus* status = nullptr) const;
  /// Jumps to a polygon; prevIndex receives the one before.
  MStatus setIndex(int index, int& prevIndex);

  unsigned int polygonVertexCount(MStatus* status = nullptr) const;
  MStatus getVertices(MIntArray& vertices) const;
  /// The mesh vertex index of a corner of the polygon.
  int vertexIndex(int index, MStatus* status = nullptr) const;
  /// The normal index of a corner of the polygon.
  int normalIndex(int localVertexIndex, MStatus* status = nullptr) const;
  MPoint point(int index, MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  MStatus getPoints(MPointArray& points, MSpace::Space space = MSpace::kObject) const;
  /// The mean of the corners.
  MPoint center(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;

  /// The polygon's unit normal (zero for a polygon without area).
  MStatus getNormal(MVector& normal, MSpace::Space space = MSpace::kObject) const;
  /// The face-vertex normal of a corner.
  MStatus getNormal(unsigned int vertexIndex, MVector& normal, MSpace::Space space = MSpace::kObject) const;
  MStatus getNormals(MVectorArray& normals, MSpace::Space space = MSpace::kObject) const;
  /// See zovhost::isConvexPolygon: a triangle is convex, a polygon without area is not.
  bool isConvex(MStatus* status = nullptr) const;
  bool zeroArea(MStatus* status = nullptr) const;
  MStatus getArea(double& area, MSpace::Space space = MSpace::kObject) const;

  /// The UV id of a corner in a UV set (null: the current set); fails for
  /// a corner without a UV.
  MStatus getUVIndex(int vertex, int& index, const MString* uvSet = nullptr) const;
  MStatus getUV(int vertex, float uv[2], const MString* uvSet = nullptr) const;
  /// True when every corner has a UV in the set.
  bool hasUVs(const MString& uvSet, MStatus* status = nullptr) const;
  /// The colour id of a corner in a colour set (null: the current set).
  MStatus getColorIndex(int vertexIndex, int& colorIndex, const MString* colorSetName = nullptr) const;

  /// The host's triangles of the polygon (corner count - 2).
  MStatus numTriangles(int& triangles) const;
  bool hasValidTriangulation(MStatus* status = nullptr) const;
  /// One triangle: its points in the space asked for and its mesh vertex indices.
  MStatus getTriangle(int localTriIndex, MPointArray& points, MIntArray& vertexList,
                      MSpace::Space space = MSpace::kObject) const;
  MStatus getTriangles(MPointArray& points, MIntArray& vertexList, MSpace::Space space = MSpace::kObject) const;

 private:
  bool valid() const;
  bool matrixFor(MSpace::Space space, MMatrix& matrix) const;
};
