#pragma once

#include <maya/MDagPath.h>
#include <maya/MFloatArray.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MPointArray.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>
#include <maya/MVector.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/MeshFactory.h"
#include "src/meshes/cutFaceTags.h"
#include "support/HostLookups.h"

/// Helpers of the mesh conversion and shard tests.
namespace meshtest {

/// The test's arithmetic runs on the host's vectors, apart from the engine's.
inline MVector vec(const Mgc::MgcVector3& v) { return MVector(v.x, v.y, v.z); }

/// Newell's vector area of a face of an engine mesh: its direction is the
/// face's normal, its length the face's area.
template <typename Mesh, typename Face>
MVector vectorArea(const Mesh& mesh, const Face& face) {
  MVector sum;
  for (std::uint32_t k = 0; k < face.numVertices; ++k)
    sum += vec(mesh.vertices[face.vertices[k]]) ^ vec(mesh.vertices[face.vertices[(k + 1) % face.numVertices]]);
  return 0.5 * sum;
}

struct MeshDeleter {
  void operator()(ZOV_DFmesh* mesh) const { deleteDFmesh(&mesh); }
};
using MeshPtr = std::unique_ptr<ZOV_DFmesh, MeshDeleter>;

inline MIntArray ints(const std::vector<int>& values) {
  MIntArray result;
  for (int value : values) result.append(value);
  return result;
}

/// The path of a node; of the mesh below a transform unless shape is false.
inline MDagPath pathOf(const std::string& name, bool shape = true) {
  MDagPath path = zovtest::pathNamed(name);
  if (shape && path.isValid() && !path.hasFn(MFn::kMesh)) path.extendToShape();
  return path;
}

/// A mesh from points and polygons (corner counts, then corners in turn);
/// answers the path of its shape.
inline MDagPath makeMesh(const std::vector<MPoint>& points, const std::vector<int>& counts,
                         const std::vector<int>& corners) {
  MPointArray array;
  for (const MPoint& p : points) array.append(p);
  MFnMesh fn;
  fn.create(static_cast<int>(points.size()), static_cast<int>(counts.size()), array, ints(counts), ints(corners));
  return fn.dagPath();
}

/// A cube of the host's primitive under the transform "name", with its
/// creation history cut so that its mesh can be edited; size in centimetres.
inline void makeCube(const std::string& name, double size = 1.0) {
  MStringArray made;
  MGlobal::executeCommand(("polyCube -w " + std::to_string(size) + " -h " + std::to_string(size) + " -d " +
                           std::to_string(size) + " -n " + name)
                              .c_str(),
                          made);
  MGlobal::executeCommand(
      ("disconnectAttr " + std::string(made[1].asChar()) + ".output " + name + "Shape.inMesh").c_str());
}

/// An engine mesh of points (object and world alike) and faces (corner lists).
inline MeshPtr engineMesh(const std::vector<Mgc::MgcVector3>& points,
                          const std::vector<std::vector<std::uint32_t>>& faces) {
  MeshPtr mesh(
      createDFmesh(static_cast<std::uint32_t>(points.size()), 0, static_cast<std::uint32_t>(faces.size()), 1, 0));
  std::copy(points.begin(), points.end(), mesh->vertices);
  std::copy(points.begin(), points.end(), mesh->worldVertices);
  for (size_t f = 0; f < faces.size(); ++f) {
    allocateBufferChannels(&mesh->faces[f], static_cast<std::uint32_t>(faces[f].size()), 1, false);
    std::copy(faces[f].begin(), faces[f].end(), mesh->faces[f].vertices);
    mesh->faces[f].numVertices = static_cast<std::uint32_t>(faces[f].size());
  }
  return mesh;
}

/// Adds a UV set with the mesh's UVs moved by (shift, 0) and their layout.
inline void addUVSet(MFnMesh& host, const MString& name, float shift = 0.0f) {
  MFloatArray u, v;
  host.getUVs(u, v);
  MIntArray counts, ids;
  host.getAssignedUVs(counts, ids);
  const MString set = host.createUVSetWithName(name);
  for (unsigned int i = 0; i < u.length(); ++i) u[i] += shift;
  host.setUVs(u, v, &set);
  host.assignUVs(counts, ids, &set);
}

/// The cut-face tag's blind data type, as the shatter tools make it.
inline void makeCutFaceType() {
  MGlobal::executeCommand(("blindDataType -id " + std::to_string(kCutFaceBlindDataId) + " -dt \"int\" -ldn \"" +
                           kCutFaceAttribute + "\" -sdn \"" + kCutFaceShortName + "\"")
                              .c_str());
}

inline void tagFace(const MDagPath& mesh, int face, int value) {
  MFnMesh(mesh).setIntBlindData(face, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, value);
}

inline int tagOf(const MDagPath& mesh, int face) {
  int value = 0;
  if (!MFnMesh(mesh).getIntBlindData(face, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, value))
    return 0;
  return value;
}

}  // namespace meshtest
