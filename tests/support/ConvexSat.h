#pragma once

#include <vector>

#include "geometry/ShapeRecords.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// An exact separating-axis reference for convex polyhedra: two convex
// polyhedra are apart exactly when one of their face normals or one cross
// product of an edge of each separates their vertices, and the smallest
// overlap over those axes is their penetration depth.
namespace zovtest {

/// A convex polyhedron as the separating-axis test reads it.
struct ConvexPolyhedron {
  std::vector<Mgc::MgcVector3> vertices;
  std::vector<Mgc::MgcVector3> faceNormals;
  std::vector<Mgc::MgcVector3> edgeDirections;
};

/// The world data of a convex mesh.
ConvexPolyhedron convexPolyhedron(const ZOVmesh& mesh);
/// The eight corners, three face normals and three edge directions of a box.
ConvexPolyhedron convexPolyhedron(const ZOVbox& box);

struct SatResult {
  /// The largest gap along a candidate axis: positive when apart (a lower
  /// bound of their distance), otherwise minus the penetration depth.
  double gap;
  /// The axis of the smallest overlap, unit, pointing from B towards A: A
  /// moved by the depth along it just separates.
  Mgc::MgcVector3 normal;
  /// The smallest overlap over the axes more than 1 degree away from `normal`
  /// (either sign): how clearly the normal is decided.
  double runnerUpDepth;
};

/// Separating-axis comparison of A and B.
SatResult separatingAxes(const ConvexPolyhedron& a, const ConvexPolyhedron& b);

/// The distance between a segment (a capsule's axis) and a convex polyhedron:
/// 0 when they meet.
double segmentPolyhedronDistance(const Mgc::MgcVector3& p0, const Mgc::MgcVector3& p1, const ZOVmesh& mesh);

/// The largest signed distance of p beyond the mesh's face planes: 0 on the
/// surface, negative inside.
double signedDistanceToHull(const ZOVmesh& mesh, const Mgc::MgcVector3& p);

}  // namespace zovtest
