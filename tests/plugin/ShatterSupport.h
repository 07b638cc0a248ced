#pragma once

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MObjectArray.h>
#include <maya/MSelectionList.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "MeshTestSupport.h"
#include "geometry/MassProperties.h"
#include "src/meshes/meshConversion.h"
#include "src/meshes/shardOutput.h"
#include "src/nodeLinks.h"
#include "src/shatter/voronoiNode.h"

/// Helpers of the shatter command tests.
namespace shattertest {

/// The engine mesh of a host mesh, in world space.
inline meshtest::MeshPtr engineOf(const MDagPath& shape) {
  MFnMesh mesh(shape);
  MStringArray uvSets;
  return meshtest::MeshPtr(mayaMeshToEngineMesh(mesh, MIntArray(), uvSets, MString()));
}

inline double volumeOf(const MDagPath& shape) {
  const meshtest::MeshPtr mesh = engineOf(shape);
  return mesh ? meshVolume(*mesh) : 0.0;
}

/// Whether every edge of the host mesh is used once in each direction.
inline bool isClosed(const MDagPath& shape) {
  MFnMesh mesh(shape);
  std::map<std::pair<int, int>, int> edges;
  for (int p = 0; p < mesh.numPolygons(); ++p) {
    MIntArray corners;
    mesh.getPolygonVertices(p, corners);
    for (unsigned int k = 0; k < corners.length(); ++k) ++edges[{corners[k], corners[(k + 1) % corners.length()]}];
  }
  for (const auto& [edge, uses] : edges)
    if (uses != 1 || edges.count({edge.second, edge.first}) == 0 || edges.at({edge.second, edge.first}) != 1)
      return false;
  return !edges.empty();
}

/// The mesh shapes under the transforms named, in order.
inline std::vector<MDagPath> shardShapes(const std::string& prefix, int count) {
  std::vector<MDagPath> shapes;
  for (int i = 1; i <= count; ++i) shapes.push_back(meshtest::pathOf(prefix + std::to_string(i)));
  return shapes;
}

/// The voronoi node driven by the shape.
inline voronoiNode* recordOf(const MDagPath& shape) {
  MObject node;
  findVoronoiNodeFromPlug(shape, node);
  return userNodeOf<voronoiNode>(node);
}

/// A voronoi node made directly, under its own transform.
inline voronoiNode* makeRecord(std::string* name = nullptr) {
  MString made;
  MGlobal::executeCommand("createNode zovVoronoiNode", made);
  if (name) *name = made.asChar();
  MSelectionList list;
  MObject node;
  if (list.add(made)) list.getDependNode(0, node);
  return userNodeOf<voronoiNode>(node);
}

/// The record's seeds as engine points (object space of the record).
inline std::vector<Mgc::MgcVector3> seedsOf(voronoiNode* node) {
  std::vector<Mgc::MgcVector3> seeds;
  MPoint p;
  for (unsigned int i = 0; i < voronoiNode::numVoroPoints(node); ++i) {
    voronoiNode::getVoroPoint(node, p, i, false);
    seeds.emplace_back(p.x, p.y, p.z);
  }
  return seeds;
}

/// The names of the children of a transform.
inline std::vector<std::string> childrenOf(const std::string& name) {
  std::vector<std::string> names;
  const MDagPath path = meshtest::pathOf(name, false);
  for (unsigned int c = 0; c < path.childCount(); ++c)
    names.push_back(MFnDependencyNode(path.child(c)).name().asChar());
  return names;
}

}  // namespace shattertest
