// What the roughening command works out per vertex and per face of a
// shard: the direction a cut-face vertex moves in, the small cut faces, the
// default roughening length and the softened normals.
#include <maya/MBoundingBox.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MItMeshVertex.h>
#include <maya/MPlug.h>
#include <maya/MVectorArray.h>

#include <algorithm>
#include <cmath>

#include "src/hostUtilities.h"
#include "src/meshes/cutFaceTags.h"
#include "src/meshes/meshOpHistory.h"
#include "src/shatter/meshOpNode.h"
#include "src/shatter/modifiers/jagginessCmd.h"
#include "src/shatter/modifiers/zovModifierCmd.h"
#include "src/userInput.h"

namespace {

/// Two face normals whose dot product reaches this are one plane.
const double kSamePlane = static_cast<double>(0.99f);
/// Without a shard to measure, a length of this much.
const double kFallbackJaggyLength = static_cast<double>(0.3f);
constexpr double kJaggyLengthFactor = 0.02;

constexpr int kTouchesCutFace = 1;
constexpr int kTouchesOuterFace = 2;
constexpr int kBesideCutPlanes = 4;

int cutTagOf(const MFnMesh& mesh, int face) {
  int value = 0;
  if (!mesh.getIntBlindData(face, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, value)) return 0;
  return value;
}

void addPlane(std::vector<MVector>& planes, const MVector& normal) {
  for (const MVector& known : planes)
    if (known * normal >= kSamePlane) return;
  planes.push_back(normal);
}

double boxVolume(const MBoundingBox& box) { return box.width() * box.height() * box.depth(); }

MIntArray facesAround(MItMeshVertex& vertices, int vertex) {
  int previous = 0;
  vertices.setIndex(vertex, previous);
  MIntArray faces;
  vertices.getConnectedFaces(faces);
  return faces;
}

}  // namespace

MVector canonicalDirection(const MVector& v) {
  const double x = std::fabs(v.x), y = std::fabs(v.y), z = std::fabs(v.z);
  double largest = v.z;
  if (x > y && x > z)
    largest = v.x;
  else if (y >= x && y > z)
    largest = v.y;
  return largest < 0.0 ? -v : v;
}

MVector cutVertexDirection(int vertex, const MIntArray& faces, const MFnMesh& mesh, int& flags) {
  (void)vertex;
  std::vector<MVector> cut, outer;
  flags = 0;
  for (unsigned int i = 0; i < faces.length(); ++i) {
    MVector normal;
    mesh.getPolygonNormal(faces[i], normal, MSpace::kObject);
    if (cutTagOf(mesh, faces[i]) == 1) {
      addPlane(cut, normal);
      flags |= kTouchesCutFace;
    } else {
      addPlane(outer, normal);
      flags |= kTouchesOuterFace;
    }
  }
  if (!(flags & kTouchesCutFace)) return MVector(0.0, 0.0, 0.0);
  if (flags & kTouchesOuterFace) {
    // On the border: the vertex slides within the one outer plane.
    if (cut.size() > 1) flags |= kBesideCutPlanes;
    if (outer.size() > 1) return MVector(0.0, 0.0, 0.0);
    const MVector u = canonicalDirection(outer[0]);
    MVector d = canonicalDirection(cut[0]);
    const double s = static_cast<double>(static_cast<float>(d * u));
    d = d - u * s;
    return d.normal();
  }
  // A corner where three cut planes meet stays put.
  if (cut.size() >= 3) return MVector(0.0, 0.0, 0.0);
  MVector d = cut[0];
  if (cut.size() == 2 && std::fabs(cut[1].z) < std::fabs(d.z)) d = cut[1];
  return canonicalDirection(d);
}

std::vector<MDagPath> jagginessCmd::groupShards(const MDagPath& group) {
  std::vector<MDagPath> shards;
  if (!group.isValid()) return shards;
  for (unsigned int c = 0; c < group.childCount(); ++c) {
    const MObject child = group.child(c);
    if (!child.hasFn(MFn::kTransform)) continue;
    MDagPath transform = group;
    transform.push(child);
    for (unsigned int s = 0; s < transform.childCount(); ++s) {
      const MObject shape = transform.child(s);
      if (!shape.hasFn(MFn::kMesh) || MFnDagNode(shape).isIntermediateObject()) continue;
      MDagPath path = transform;
      path.push(shape);
      shards.push_back(path);
      break;
    }
  }
  return shards;
}

double jagginessCmd::defaultJaggyLength(const MDagPath& group) {
  if (!group.isValid() || !group.hasFn(MFn::kTransform)) return kFallbackJaggyLength;
  double volume = 0.0;
  int count = 0;
  for (const MDagPath& shard : groupShards(group)) {
    MBoundingBox box = MFnDagNode(shard).boundingBox();
    box.transformUsing(shard.exclusiveMatrix());
    volume += boxVolume(box);
    ++count;
  }
  // A group without shards has nothing to measure.
  if (count == 0) return kFallbackJaggyLength;
  return std::cbrt(volume / count) * kJaggyLengthFactor;
}

void jagginessCmd::retagSmallCutFaces(const MDagPath& group, float ratio) {
  if (!group.isValid() || !group.hasFn(MFn::kTransform)) return;
  const std::vector<MDagPath> shards = groupShards(group);
  const auto cutFaceAreas = [](const MDagPath& shard, std::vector<std::pair<int, double>>& areas) {
    MFnMesh mesh(shard);
    for (MItMeshPolygon polygon(shard); !polygon.isDone(); polygon.next()) {
      const int face = static_cast<int>(polygon.index());
      if (cutTagOf(mesh, face) != 1) continue;
      double area = 0.0;
      polygon.getArea(area, MSpace::kWorld);
      areas.emplace_back(face, area);
    }
  };
  double recordVolume = 0.0;
  double largest = 0.0;
  for (const MDagPath& shard : shards) {
    const double volume = boxVolume(MFnDagNode(shard).boundingBox());
    if (volume <= recordVolume) continue;
    std::vector<std::pair<int, double>> areas;
    cutFaceAreas(shard, areas);
    for (const auto& entry : areas) largest = std::max(largest, entry.second);
    recordVolume = volume;
  }
  const double limit = static_cast<double>(ratio) * largest;
  for (const MDagPath& shard : shards) {
    std::vector<std::pair<int, double>> areas;
    cutFaceAreas(shard, areas);
    MIntArray small;
    for (const auto& entry : areas)
      if (entry.second < limit) small.append(entry.first);
    if (small.length() > 0)
      MFnMesh(shard).setIntBlindData(small, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, 2);
  }
}

MStatus jagginessCmd::fillVertexArrays(MFnMesh& mesh, const MObject& node, bool preserveUVs) {
  MFnDependencyNode fn(mesh.object());
  const MPlug tweaks = fn.findPlug("pnts", true);
  for (unsigned int i = 0; !tweaks.isNull() && i < tweaks.numElements(); ++i)
    MPlug(tweaks.elementByPhysicalIndex(i)).setValue(makeFloat3Data(0.0f, 0.0f, 0.0f));

  const MPlug selected(node, zovMeshOpNode::versel);
  const MPlug directions(node, zovMeshOpNode::normals);
  const MPlug records(node, zovMeshOpNode::indexBPoints);
  const bool hasUVs = mesh.numUVSets() > 0;
  MItMeshVertex vertices(mesh.object());
  std::vector<std::pair<int, int>> border;
  for (int v = 0; v < mesh.numVertices(); ++v) {
    const MIntArray faces = facesAround(vertices, v);
    int flags = 0;
    const MVector direction = cutVertexDirection(v, faces, mesh, flags);
    const bool moves = (flags & (kTouchesCutFace | kBesideCutPlanes)) == kTouchesCutFace;
    const MVector stored = moves ? direction : MVector(0.0, 0.0, 0.0);
    selected.elementByLogicalIndex(static_cast<unsigned int>(v)).setValue(static_cast<char>(moves ? 1 : 0));
    const MPlug element = directions.elementByLogicalIndex(static_cast<unsigned int>(v));
    for (unsigned int c = 0; c < 3; ++c) MPlug(element.child(c)).setValue(static_cast<float>(stored[c]));
    if (moves && preserveUVs && hasUVs && (flags & kTouchesOuterFace)) {
      int position = 0;
      const int face = findUncutFaceOfVertex(v, faces, mesh, position);
      if (face >= 0) border.emplace_back(v, face);
    }
  }
  for (size_t i = 0; i < border.size(); ++i) {
    const MPlug record = records.elementByLogicalIndex(static_cast<unsigned int>(i));
    MPlug(record.child(0)).setValue(border[i].first);
    MPlug(record.child(1)).setValue(border[i].second);
  }
  return MS::kSuccess;
}

void jagginessCmd::softenCutNormals(const MDagPath& path, double threshold) {
  MFnMesh mesh(path);
  const int faceCount = mesh.numPolygons();
  std::vector<int> tags(static_cast<size_t>(std::max(faceCount, 0)));
  for (int f = 0; f < faceCount; ++f) tags[static_cast<size_t>(f)] = cutTagOf(mesh, f);

  MVectorArray normals;
  MIntArray accepted;
  MItMeshVertex vertices(path);
  for (int v = 0; v < mesh.numVertices(); ++v) {
    const MIntArray faces = facesAround(vertices, v);
    if (faces.length() == 0) continue;
    MVector reference;
    mesh.getPolygonNormal(faces[0], reference, MSpace::kWorld);
    MVector sum;
    bool accept = true;
    for (unsigned int i = 0; i < faces.length() && accept; ++i) {
      MVector n;
      mesh.getPolygonNormal(faces[i], n, MSpace::kWorld);
      accept = tags[static_cast<size_t>(faces[i])] >= 1 && n * reference >= threshold;
      sum += n;
    }
    if (!accept) continue;
    normals.append(sum.normal());
    accepted.append(v);
  }
  if (accepted.length() > 0) {
    mesh.setVertexNormals(normals, accepted, MSpace::kWorld);
    mesh.updateSurface();
  }
  if (mesh.hasBlindData(MFn::kMeshPolygonComponent)) return;
  // The normal edit took the tags with it: they are written back.
  MObject source = MFnDependencyNode(path.node()).findPlug("inMesh", true).source().node();
  if (!source.isNull() && source.apiType() == MFn::kPolyNormalPerVertex) MGlobal::deleteNode(source);
  for (int f = 0; f < faceCount; ++f)
    mesh.setIntBlindData(f, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute,
                         tags[static_cast<size_t>(f)]);
  if (accepted.length() > 0) mesh.setVertexNormals(normals, accepted, MSpace::kWorld);
  mesh.updateSurface();
}

MStatus jagginessCmd::removeSoftNormals(const MDagPath& path) {
  MPlug source = MFnDependencyNode(path.node()).findPlug("inMesh", true).source();
  if (source.isNull()) return MS::kSuccess;
  MObject node = source.node();
  while (!node.isNull() && node.apiType() == MFn::kPolyMeshCopy)
    node = MFnDependencyNode(node).findPlug("inMesh", true).source().node();
  if (!node.isNull() && node.apiType() == MFn::kPolyNormalPerVertex) return MGlobal::deleteNode(node);
  return MS::kSuccess;
}

MStatus jagginessCmd::removeJagginess(const MDagPath& path) {
  if (!path.isValid() || !path.hasFn(MFn::kMesh)) return MS::kSuccess;
  MPlug in = MFnDependencyNode(path.node()).findPlug("inMesh", true);
  MObject node = in.source().node();
  if (node.isNull()) return MS::kSuccess;
  while (!node.isNull() && node.apiType() == MFn::kGroupParts)
    node = MFnDependencyNode(node).findPlug("inputGeometry", true).source().node();
  while (!node.isNull() && node.apiType() == MFn::kPluginDependNode &&
         MFnDependencyNode(node).typeId() == zovMeshOpNode::id) {
    MPlug(node, zovMeshOpNode::operationType).setValue(static_cast<short>(zovMeshOpNode::kClean));
    MPlug(node, zovMeshOpNode::outMesh).asMObject();
    node = MPlug(node, zovMeshOpNode::inMesh).source().node();
  }
  return MGlobal::executeCommandOnIdle(" delete -ch " + quotedArgument(MFnDependencyNode(path.node()).name()));
}
