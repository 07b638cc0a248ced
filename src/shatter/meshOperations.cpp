// The operations of the mesh operation node: subdividing the cut faces of
// its input and roughening the selected points of its output.
#include <maya/MFloatArray.h>
#include <maya/MFnMesh.h>
#include <maya/MPoint.h>

#include <algorithm>
#include <cmath>

#include "engine/MeshFactory.h"
#include "engine/shatter/ShatterMeshOps.h"
#include "src/hostUtilities.h"
#include "src/meshes/cutFaceTags.h"
#include "src/meshes/engineMeshOutput.h"
#include "src/meshes/meshConversion.h"
#include "src/shatter/meshOpNode.h"

namespace {

constexpr double kNoisePi = 3.14159265358979323846;
/// How far the two reference points of the noise lie from its centre, in lengths.
constexpr double kReferenceDistance = 50.0;
/// A shading index kept in one byte; -1 (no set) comes back as 255.
constexpr int kShadingIndexMask = 0xFF;

/// The value of element i (by physical index) of an array plug's child, or
/// of the element itself; false when there is no such element.
bool noiseElement(const MPlug& array, unsigned int i, MPlug& element) {
  if (i >= array.numElements()) return false;
  element = array.elementByPhysicalIndex(i);
  return !element.isNull();
}

}  // namespace

MStatus zovMeshOpNode::modifyMesh(MObject& mesh, std::int16_t operation, std::int32_t, std::int16_t iterations) {
  switch (operation) {
    case kSubdivideFaces:
      return subdivideMesh(mesh, iterations);
    case kAssignUVs:
      return applyNoise(mesh);
    default:
      return MS::kSuccess;
  }
}

MStatus zovMeshOpNode::subdivideMesh(MObject& target, std::int16_t iterations) {
  MStringArray uvSets;
  DFmeshPtr mesh(mayaMeshToEngineMeshWorld(inputMeshData, faceShadingIndex, uvSets, nullptr));
  if (!mesh) return MS::kFailure;
  subdivideDFmeshFaces(mesh.get(), static_cast<std::uint16_t>(iterations), true);
  MFnMesh made;
  const MStatus status = engineMeshToMayaMesh(*mesh, made, uvSets, &target);
  if (!status) return status;

  faceShadingIndex.setLength(mesh->numFaces);
  cutFaces.clear();
  cutFaceValues.clear();
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    const DFface& face = mesh->faces[f];
    faceShadingIndex[f] = face.faceByte & kShadingIndexMask;
    if (face.faceFlags & (kCutFaceFlag | kSecondCutFaceFlag)) {
      cutFaces.append(static_cast<int>(f));
      cutFaceValues.append((face.faceFlags & kCutFaceFlag) ? 1 : 2);
    }
  }
  tagCutFaces(target);
  unlockCutFaceNormals(target);
  return status;
}

MStatus zovMeshOpNode::tagCutFaces(MObject& meshData) {
  MFnMesh mesh(meshData);
  if (!mesh.isBlindDataTypeUsed(kCutFaceBlindDataId)) {
    MStringArray longNames, shortNames, formats;
    longNames.append(kCutFaceAttribute);
    shortNames.append(kCutFaceShortName);
    formats.append("int");
    const MStatus made = mesh.createBlindDataType(kCutFaceBlindDataId, longNames, shortNames, formats);
    if (!made) return made;
  }
  if (cutFaces.length() == 0) return MS::kFailure;
  // Cut faces keep the kind they came with; the faces between them are plain.
  MIntArray faces, values;
  int next = 0;
  for (unsigned int i = 0; i < cutFaces.length(); ++i) {
    for (; next < cutFaces[i]; ++next) {
      faces.append(next);
      values.append(0);
    }
    faces.append(cutFaces[i]);
    values.append(i < cutFaceValues.length() ? cutFaceValues[i] : 1);
    next = cutFaces[i] + 1;
  }
  return mesh.setIntBlindData(faces, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, values);
}

MStatus zovMeshOpNode::unlockCutFaceNormals(MObject& meshData) {
  MFnMesh mesh(meshData);
  std::vector<bool> cut(static_cast<size_t>(std::max(mesh.numPolygons(), 0)), false);
  for (unsigned int i = 0; i < cutFaces.length(); ++i)
    if (cutFaces[i] >= 0 && static_cast<size_t>(cutFaces[i]) < cut.size()) cut[static_cast<size_t>(cutFaces[i])] = true;
  MIntArray faces, vertices;
  for (size_t p = 0; p < cut.size(); ++p) {
    if (!cut[p]) continue;
    MIntArray corners;
    mesh.getPolygonVertices(static_cast<int>(p), corners);
    for (unsigned int k = 0; k < corners.length(); ++k) {
      faces.append(static_cast<int>(p));
      vertices.append(corners[k]);
    }
  }
  const MStatus status = mesh.unlockFaceVertexNormals(faces, vertices);
  mesh.updateSurface();
  return status;
}

MStatus zovMeshOpNode::applyNoise(MObject& meshData) {
  MFnMesh mesh(meshData);
  MFloatPointArray points;
  mesh.getPoints(points, MSpace::kObject);
  const MObject self = thisMObject();
  const double s = MPlug(self, scale).asDouble();
  const double a = MPlug(self, amplitude).asDouble();
  const double f = MPlug(self, frequency).asDouble();
  const double l = MPlug(self, lenght).asDouble();
  const MPlug centre(self, center);
  const MVector c(centre.child(0).asFloat(), centre.child(1).asFloat(), centre.child(2).asFloat());
  const bool preserveUVs = MPlug(self, pruv).asBool();
  const MVector refA(kReferenceDistance * l, 0.0, 0.0);
  const MVector refB(0.0, kReferenceDistance * l, 0.0);

  const MPlug selected(self, versel);
  const MPlug directions(self, normals);
  for (unsigned int i = 0; i < points.length(); ++i) {
    MPlug element;
    if (!noiseElement(selected, i, element) || element.asShort() == 0) continue;
    // A selected point without a direction stays where it is.
    if (!noiseElement(directions, i, element) || element.numChildren() < 3) continue;
    const MVector n(element.child(0).asFloat(), element.child(1).asFloat(), element.child(2).asFloat());
    const MVector p(points[i].x, points[i].y, points[i].z);
    const MVector d = p - c;
    const double m = std::max((d - refA) * (d - refA), (d - refB) * (d - refB));
    const float wave = static_cast<float>(std::sin(f * kNoisePi * s * m));
    const MVector moved = p + n * (l * a * static_cast<double>(wave));
    points[i] =
        MFloatPoint(static_cast<float>(moved.x), static_cast<float>(moved.y), static_cast<float>(moved.z), 1.0f);
  }
  if (preserveUVs && mesh.numUVSets() > 0) recomputeUVs(mesh, points);
  return mesh.setPoints(points, MSpace::kObject);
}

MStatus zovMeshOpNode::recomputeUVs(MFnMesh& mesh, const MFloatPointArray& moved) {
  if (moved.length() == 0) return MS::kFailure;
  MStringArray sets;
  mesh.getUVSetNames(sets);
  const MPlug records(thisMObject(), indexBPoints);
  MStatus status = MS::kSuccess;
  for (unsigned int set = 0; set < sets.length(); ++set) {
    MIntArray ids;
    MFloatArray us, vs;
    for (unsigned int i = 0; i < records.numElements(); ++i) {
      const MPlug record = records.elementByPhysicalIndex(i);
      const int vertex = record.numChildren() >= 2 ? record.child(0).asInt() : 0;
      const int face = record.numChildren() >= 2 ? record.child(1).asInt() : 0;
      if (vertex < 0 || static_cast<unsigned int>(vertex) >= moved.length()) continue;
      MIntArray corners;
      if (!mesh.getPolygonVertices(face, corners)) continue;
      int k = -1;
      for (unsigned int j = 0; j < corners.length() && k < 0; ++j)
        if (corners[j] == vertex) k = static_cast<int>(j);
      if (k < 0) continue;
      int uv = -1;
      float u = 0.0f, v = 0.0f;
      if (!mesh.getPolygonUVid(face, k, uv, &sets[set])) continue;
      if (!faceUVAtPoint(MPoint(moved[static_cast<unsigned int>(vertex)]), face, k, mesh, sets[set], u, v)) continue;
      ids.append(uv);
      us.append(u);
      vs.append(v);
    }
    status = mesh.setSomeUVs(ids, us, vs, &sets[set]);
  }
  return status;
}
