#pragma once

#include <maya/MColor.h>
#include <maya/MColorArray.h>
#include <maya/MDagPath.h>
#include <maya/MFloatArray.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFloatVectorArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MIntArray.h>
#include <maya/MObjectArray.h>
#include <maya/MPointArray.h>
#include <maya/MSpace.h>
#include <maya/MStringArray.h>
#include <maya/MVector.h>
#include <maya/MVectorArray.h>
#include <zovhost/FunctionSetOf.h>

#include <functional>
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
class MFnMesh : public zovhost::FunctionSetOf<MFnDagNode, MFn::kMesh> {
 public:
  MFnMesh() = default;
  using FunctionSetOf::FunctionSetOf;
  explicit MFnMesh(const MDagPath& path, MStatus* status = nullptr);

  using MFnDagNode::setObject;
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
  /// Replaces the attached mesh's points and polygons; its UV and colour
  /// sets stay, with no corner assigned.
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
  /// Gives every face-vertex of each listed vertex that vertex's normal. A
  /// mesh node fed by a history gets them through a "polyNormalPerVertex"
  /// node put (or found) right above it.
  MStatus setVertexNormals(const MVectorArray& normals, const MIntArray& vertexList,
                           MSpace::Space space = MSpace::kObject);
  /// The listed (face, vertex) pairs take their polygon's normal again.
  MStatus unlockFaceVertexNormals(const MIntArray& faceList, const MIntArray& vertexList);

  /// The host's triangulation: per polygon its triangle count, and the
  /// triangles' vertex indices in turn.
  MStatus getTriangles(MIntArray& triangleCounts, MIntArray& triangleVertices) const;
  MStatus getPolygonTriangleVertices(int polygonId, int triangleId, int vertexList[3]) const;

  // --- UV sets -----------------------------------------------------------
  // A mesh has at least one UV set ("map1" on a new mesh). A null or empty
  // set name means the current set. UV ids are per face-vertex; a polygon
  // corner without a UV answers failure.
  int numUVSets(MStatus* status = nullptr) const;
  MStatus getUVSetNames(MStringArray& setNames) const;
  MString currentUVSetName(MStatus* status = nullptr) const;
  MStatus setCurrentUVSetName(const MString& setName);
  /// Makes an empty set; a taken name gets a number. Answers the name given,
  /// empty (with a failure) for a name that is not a valid set name.
  MString createUVSetWithName(const MString& setName, MStatus* status = nullptr);
  /// The same for mesh data (a node's output mesh).
  MString createUVSetDataMeshWithName(const MString& setName, MStatus* status = nullptr);
  MStatus renameUVSet(const MString& origName, const MString& newName);
  /// Refused for the last set.
  MStatus deleteUVSet(const MString& setName);
  int numUVs(MStatus* status = nullptr) const;
  int numUVs(const MString& setName, MStatus* status = nullptr) const;
  MStatus getUVs(MFloatArray& uArray, MFloatArray& vArray, const MString* uvSet = nullptr) const;
  /// Replaces the set's UVs; ids that no longer reach a UV are unassigned.
  MStatus setUVs(const MFloatArray& uArray, const MFloatArray& vArray, const MString* uvSet = nullptr);
  /// Sets the listed UVs (ids below the set's count) and leaves the others.
  MStatus setSomeUVs(const MIntArray& uvIds, const MFloatArray& uArray, const MFloatArray& vArray,
                     const MString* uvSet = nullptr);
  /// Drops the set's UVs and every assignment.
  MStatus clearUVs(const MString* uvSet = nullptr);
  /// Assigns UV ids polygon by polygon: uvCounts holds, per polygon, 0 or its
  /// corner count; uvIds the ids of the corners given, in turn.
  MStatus assignUVs(const MIntArray& uvCounts, const MIntArray& uvIds, const MString* uvSet = nullptr);
  MStatus getAssignedUVs(MIntArray& uvCounts, MIntArray& uvIds, const MString* uvSet = nullptr) const;
  /// The UV id of a corner (polygon, corner number within it).
  MStatus getPolygonUVid(int polygonId, int vertexIndex, int& uvId, const MString* uvSet = nullptr) const;
  MStatus getPolygonUV(int polygonId, int vertexIndex, float& u, float& v, const MString* uvSet = nullptr) const;

  // --- Colour sets -------------------------------------------------------
  int numColorSets(MStatus* status = nullptr) const;
  MStatus getColorSetNames(MStringArray& setNames) const;
  /// Empty when the mesh has no colour set.
  MString currentColorSetName(MStatus* status = nullptr) const;
  MStatus setCurrentColorSetName(const MString& setName);
  MString createColorSetWithName(const MString& setName, MStatus* status = nullptr);
  /// Takes the colour set away; kInvalidParameter when the mesh has no such set.
  MStatus deleteColorSet(const MString& setName);
  /// The same for mesh data; clamped sets keep colours within [0, 1].
  MString createColorSetWithNameDataMesh(const MString& setName, bool clamped = false, MStatus* status = nullptr);
  int numColors(MStatus* status = nullptr) const;
  int numColors(const MString& colorSet, MStatus* status = nullptr) const;
  /// The set's colours; with a default colour, one per face-vertex instead,
  /// the default where a corner has none.
  MStatus getColors(MColorArray& colors, const MString* colorSet = nullptr,
                    const MColor* defaultUnsetColor = nullptr) const;
  MStatus setColors(const MColorArray& colors, const MString* colorSet = nullptr);
  MStatus clearColors(const MString* colorSet = nullptr);
  /// Assigns a colour id to every face-vertex (-1 for none).
  MStatus assignColors(const MIntArray& colorIds, const MString* colorSet = nullptr);
  MStatus getColorIndex(int polygonId, int vertexIndex, int& colorIndex, const MString* colorSet = nullptr) const;
  /// Whether the mesh node shows its colours.
  MStatus setDisplayColors(bool enable);
  bool displayColors(MStatus* status = nullptr) const;

  // --- Blind data --------------------------------------------------------
  // Blind data types are registered scene-wide (createBlindDataType, or the
  // blindDataType command); a value names its attribute by long or short name.
  bool isBlindDataTypeUsed(int blindDataId, MStatus* status = nullptr) const;
  /// Registers a type whose attributes are all of format "int".
  MStatus createBlindDataType(int blindDataId, const MStringArray& longNames, const MStringArray& shortNames,
                              const MStringArray& formatNames);
  /// True when some component of the kind holds data (of the id).
  bool hasBlindData(MFn::Type compType, MStatus* status = nullptr) const;
  bool hasBlindData(MFn::Type compType, int blindDataId, MStatus* status = nullptr) const;
  /// Only polygon components (MFn::kMeshPolygonComponent) hold blind data here.
  MStatus getIntBlindData(int compId, MFn::Type compType, int blindDataId, const MString& attrName, int& data) const;
  MStatus setIntBlindData(int compId, MFn::Type compType, int blindDataId, const MString& attrName, int data);
  /// One value on every listed component, or one value each; in one edit.
  MStatus setIntBlindData(const MIntArray& compIds, MFn::Type compType, int blindDataId, const MString& attrName,
                          int data);
  MStatus setIntBlindData(const MIntArray& compIds, MFn::Type compType, int blindDataId, const MString& attrName,
                          const MIntArray& data);

  // --- Shading -----------------------------------------------------------
  /// The shading groups the mesh's polygons are in, and per polygon the
  /// index of its group in that list (-1 for none).
  MStatus getConnectedShaders(unsigned int instanceNumber, MObjectArray& shaders, MIntArray& indices) const;

  /// Nothing to do in this host: edits take effect at once.
  MStatus updateSurface() { return MS::kSuccess; }
  MStatus syncObject() { return MS::kSuccess; }

 private:
  /// A copy of the mesh to edit, or null (with the reason) when there is none.
  std::shared_ptr<zovhost::MeshGeometry> editableGeometry(MStatus& status) const;
  MStatus replaceGeometry(const std::shared_ptr<const zovhost::MeshGeometry>& geometry);
  /// Runs edit on a copy of the mesh and, when it succeeds, puts the copy in
  /// the mesh's place; the mesh is left as it was when either fails.
  MStatus editGeometry(const std::function<MStatus(zovhost::MeshGeometry&)>& edit);
};
