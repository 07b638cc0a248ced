#pragma once

#include <maya/MDagPath.h>
#include <maya/MDataBlock.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFn.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MStringArray.h>
#include <maya/MTypeId.h>

#include <cstdint>

#include "src/moduleNode.h"

/// A node that works on the mesh of a construction history and keeps, while
/// the scene is open, what the command that set it up captured of that mesh
/// (its shading and UV sets) and which faces of its last output are cut.
class zovModifierBaseNode : public MPxNode {
 public:
  zovModifierBaseNode() = default;
  ~zovModifierBaseNode() override = default;
  zovModifierBaseNode(const zovModifierBaseNode&) = delete;
  zovModifierBaseNode& operator=(const zovModifierBaseNode&) = delete;

  /// Runs an operation on the mesh data object (operation, mode and
  /// iteration count as the node's attributes give them).
  virtual MStatus modifyMesh(MObject& mesh, std::int16_t operation, std::int32_t mode, std::int16_t iterations) = 0;

  /// Records the shading sets of the mesh's instance, each face's index
  /// among them (-1: none) and the mesh's UV set names.
  void captureMeshShading(const MDagPath& meshPath);
  /// The component kind an operation works on: faces for 1, edges for 2,
  /// none otherwise.
  static MFn::Type componentTypeFor(int operation);

  MObjectArray shadingSets;
  /// Per face, the index into shadingSets (-1: no set).
  MIntArray faceShadingIndex;
  /// Ascending indices of the cut faces of the last subdivided output.
  MIntArray cutFaces;
  MStringArray uvSetNames;
};

/// `zovMeshOpNode`: takes a mesh on `inMesh`, runs its operation on it and
/// gives the result on `outMesh`: 0 passes the mesh on, 1 subdivides its cut
/// faces, 3 moves the selected points by the roughening noise. Any other
/// operation, a failed one or a node that has no effect (node state 1)
/// passes the mesh on unchanged.
class zovMeshOpNode : public ModuleNode<zovMeshOpNode, zovModifierBaseNode> {
 public:
  enum Operation : short { kClean = 0, kSubdivideFaces = 1, kSubdivideEdges = 2, kAssignUVs = 3 };

  static MStatus initialize();
  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  MStatus modifyMesh(MObject& mesh, std::int16_t operation, std::int32_t mode, std::int16_t iterations) override;

  /// The node version a roughening expects; older nodes are to be rebuilt.
  static int currentVersion() { return kCurrentVersion; }

  /// Operation 1: the cut faces of `inputMeshData` subdivided, as a new mesh
  /// made in `target`; rewrites faceShadingIndex and cutFaces.
  MStatus subdivideMesh(MObject& target, std::int16_t iterations);
  /// Operation 3: moves each selected point along its direction by
  /// L A sin(F pi S m), m the larger squared distance to two reference
  /// points 50 L along x and y from the centre.
  MStatus applyNoise(MObject& mesh);
  /// Sets the UVs of the listed (vertex, face) corners at the moved points.
  MStatus recomputeUVs(MFnMesh& mesh, const MFloatPointArray& moved);
  /// Tags the faces of cutFaces with their cut-face value (1, or 2 for a
  /// face of the second kind) and the faces between them with 0.
  MStatus tagCutFaces(MObject& mesh);
  /// Lets the corners of the cut faces take their polygon's normal.
  MStatus unlockCutFaceNormals(MObject& mesh);

  /// The mesh data taken from `inMesh` by the last compute that ran an operation.
  MObject inputMeshData;
  /// Per entry of cutFaces, the cut-face value it gets: 1, or 2 for a cut
  /// face of the second kind (too small to roughen).
  MIntArray cutFaceValues;

  static const MTypeId id;
  inline static MObject version;
  inline static MObject inputComponents;
  inline static MObject operationType;
  inline static MObject operationMode;
  inline static MObject operationIter;
  inline static MObject inMesh;
  inline static MObject outMesh;
  inline static MObject versel;
  inline static MObject normals;
  inline static MObject indexBPoints;
  inline static MObject scale;
  inline static MObject amplitude;
  inline static MObject frequency;
  inline static MObject lenght;
  inline static MObject center;
  inline static MObject pruv;

 private:
  static constexpr int kCurrentVersion = 20;
};
