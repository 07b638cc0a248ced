#pragma once

#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MPointArray.h>

#include <string>
#include <vector>

#include "MeshTestSupport.h"
#include "ShatterSupport.h"
#include "src/meshes/meshOpHistory.h"
#include "src/shatter/meshOpNode.h"
#include "testing/HostTesting.h"

/// Helpers of the roughening tests.
namespace roughtest {

/// A 2 x 2 x 2 cube `name` cut at the seeds: a record holding them, applied
/// by the re-shatter command. Its shards are `name`_shard1 onwards in
/// `name`ShatterGroup.
inline bool shatterCube(const std::string& name, const std::vector<Mgc::MgcVector3>& seeds) {
  std::string record;
  voronoiNode* node = shattertest::makeRecord(&record);
  if (!node) return false;
  voronoiNode::addVoroPoints(node, seeds.data(), static_cast<unsigned int>(seeds.size()), MMatrix());
  voronoiNode::setBoundingBox(node, MBoundingBox(MPoint(-1.0, -1.0, -1.0), MPoint(1.0, 1.0, 1.0)));
  voronoiNode::setVoroGroup(node, static_cast<int>(seeds.size()));
  meshtest::makeCube(name, 2.0);
  const bool made = static_cast<bool>(MGlobal::executeCommand(("zovAdqShatter -reo " + record + " " + name).c_str()));
  zovhost::testing::flushIdleQueue();
  return made;
}

/// The cube "cube" cut at the centres of its octants: its eight shards are
/// unit cubes "cube_shard1" to "cube_shard8" in "cubeShatterGroup".
inline bool shatterCubeIntoOctants() {
  std::vector<Mgc::MgcVector3> seeds;
  for (double x : {-0.5, 0.5})
    for (double y : {-0.5, 0.5})
      for (double z : {-0.5, 0.5}) seeds.emplace_back(x, y, z);
  return shatterCube("cube", seeds);
}

/// The mesh-operation nodes feeding a mesh, nearest first.
inline std::vector<MObject> meshOpChain(const MDagPath& mesh) {
  std::vector<MObject> chain;
  MObject node = findMeshOpNode(mesh.node());
  while (!node.isNull() && MFnDependencyNode(node).typeId() == zovMeshOpNode::id) {
    chain.push_back(node);
    node = MPlug(node, zovMeshOpNode::inMesh).source().node();
  }
  return chain;
}

inline std::vector<int> tagsOf(const MDagPath& mesh) {
  std::vector<int> tags;
  for (int f = 0; f < MFnMesh(mesh).numPolygons(); ++f) tags.push_back(meshtest::tagOf(mesh, f));
  return tags;
}

inline MPointArray pointsOf(const MObject& meshObject) {
  MPointArray points;
  MFnMesh(meshObject).getPoints(points);
  return points;
}

}  // namespace roughtest
