#pragma once

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MObjectArray.h>
#include <maya/MSelectionList.h>

#include <cmath>
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
#include "support/HostLookups.h"

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
  return userNodeOf<voronoiNode>(zovtest::nodeNamed(made.asChar()));
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

/// A host mesh in world space, read face by face.
struct WorldSolid {
  std::vector<MPoint> points;
  std::vector<std::vector<int>> faces;
};

inline WorldSolid worldSolidOf(const MDagPath& shape) {
  WorldSolid solid;
  MFnMesh mesh(shape);
  MPointArray points;
  mesh.getPoints(points, MSpace::kWorld);
  for (unsigned int i = 0; i < points.length(); ++i) solid.points.push_back(points[i]);
  for (int p = 0; p < mesh.numPolygons(); ++p) {
    MIntArray corners;
    mesh.getPolygonVertices(p, corners);
    solid.faces.emplace_back(&corners[0], &corners[0] + corners.length());
  }
  return solid;
}

/// Volume and centroid of a closed solid by the divergence theorem: the
/// signed tetrahedra from its first point to the fan triangles of its faces.
struct VolumeSum {
  double volume = 0.0;
  MPoint centroid;
};

inline VolumeSum volumeSumOf(const WorldSolid& solid) {
  VolumeSum sum;
  if (solid.points.empty()) return sum;
  const MPoint& o = solid.points[0];
  MVector moment;
  for (const std::vector<int>& face : solid.faces)
    for (size_t k = 1; k + 1 < face.size(); ++k) {
      const MVector a = solid.points[face[0]] - o;
      const MVector b = solid.points[face[k]] - o;
      const MVector c = solid.points[face[k + 1]] - o;
      const double v = a * (b ^ c) / 6.0;
      sum.volume += v;
      moment += v * (a + b + c) / 4.0;
    }
  sum.centroid = o + (sum.volume != 0.0 ? moment / sum.volume : MVector());
  return sum;
}

/// Whether every point of `a` lies on the plane's side the normal points
/// to and every point of `b` on the other, both within `slack`.
inline bool planeSeparates(const MVector& normal, const MPoint& on, const WorldSolid& a, const WorldSolid& b,
                           double slack) {
  const double length = normal.length();
  if (length == 0.0) return false;
  const MVector n = normal / length;
  for (const MPoint& p : a.points)
    if ((p - on) * n < -slack) return false;
  for (const MPoint& p : b.points)
    if ((p - on) * n > slack) return false;
  return true;
}

/// The first two shards (by index) that share volume, as "i j"; empty when
/// none do. Each shard lies in the Voronoi region of the seed nearest its
/// centroid (a region is convex and holds the piece, so it holds the
/// centroid), and two regions are parted by the bisector of their seeds:
/// that plane, or for two pieces of one cell a face plane of either, must
/// part the shards' points (within `slack`). Shards that truly overlap have
/// no such plane.
inline std::string firstOverlap(const std::vector<WorldSolid>& shards, const std::vector<MPoint>& seeds, double slack) {
  std::vector<size_t> owner;
  for (const WorldSolid& shard : shards) {
    const MPoint c = volumeSumOf(shard).centroid;
    size_t best = 0;
    for (size_t s = 1; s < seeds.size(); ++s)
      if (c.distanceTo(seeds[s]) < c.distanceTo(seeds[best])) best = s;
    owner.push_back(best);
  }
  const auto faceSeparates = [slack](const WorldSolid& face, const WorldSolid& a, const WorldSolid& b) {
    for (const std::vector<int>& f : face.faces) {
      MVector normal;
      for (size_t k = 0; k < f.size(); ++k)
        normal += MVector(face.points[f[k]]) ^ MVector(face.points[f[(k + 1) % f.size()]]);
      // The outward normal points away from the face's own solid.
      const bool own = &face == &a;
      if (planeSeparates(own ? -normal : normal, face.points[f[0]], a, b, slack)) return true;
    }
    return false;
  };
  for (size_t i = 0; i < shards.size(); ++i)
    for (size_t j = 0; j < i; ++j) {
      const MPoint& si = seeds[owner[i]];
      const MPoint& sj = seeds[owner[j]];
      const MPoint middle = si + 0.5 * (sj - si);
      if (owner[i] != owner[j] && planeSeparates(si - sj, middle, shards[i], shards[j], slack)) continue;
      if (faceSeparates(shards[i], shards[i], shards[j]) || faceSeparates(shards[j], shards[i], shards[j])) continue;
      return std::to_string(i) + " " + std::to_string(j);
    }
  return std::string();
}

}  // namespace shattertest
