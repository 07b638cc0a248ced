#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "geometry/ShapeRecords.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/RandomGeometry.h"

// Random shapes and small closed meshes for the geometry tests.
namespace zovtest {

/// A random oriented box: centre in [-centerRange, centerRange]^3, a uniform
/// rotation, extents in [minExtent, maxExtent].
ZOVbox randomBox(Random& random, double centerRange, double minExtent, double maxExtent);
/// A random capsule: centre in [-centerRange, centerRange]^3, a uniform axis,
/// length in [0, maxLength], radius in [0.05, maxRadius].
ZOVcapsule randomCapsule(Random& random, double centerRange, double maxLength, double maxRadius);

/// The capsule of the given radius around the segment from `lower` to
/// `upper` (axis +z for a sphere).
ZOVcapsule capsuleBetween(const Mgc::MgcVector3& lower, const Mgc::MgcVector3& upper, double radius);

/// A mesh whose local and world data are the given vertices and polygon faces
/// (counter-clockwise seen from outside); normals from the first three corners.
std::unique_ptr<ZOVmesh> polygonMesh(const std::vector<Mgc::MgcVector3>& vertices,
                                     const std::vector<std::vector<std::uint32_t>>& faces);

/// The convex hull of points in general position, with triangle faces; found
/// by testing every triple of points (fine for a dozen points).
std::unique_ptr<ZOVmesh> convexHullMesh(const std::vector<Mgc::MgcVector3>& points);

/// The axis-aligned box [-half, half] with six quad faces.
std::unique_ptr<ZOVmesh> boxMesh(const Mgc::MgcVector3& half);

/// A non-convex closed mesh: an L-shaped prism, the union of [0,2]x[0,1]x[0,1]
/// and [0,1]x[0,2]x[0,1], with quad faces.
std::unique_ptr<ZOVmesh> lPrismMesh();

/// Inside test of a closed mesh's world data by counting the crossings of
/// rays (odd: inside), the majority over three ray directions.
bool insideByRayParity(const ZOVmesh& mesh, const Mgc::MgcVector3& point);

/// Squared distance of two disjoint convex meshes (world data) from their
/// closest features: a vertex against a face, or an edge against an edge.
double convexMeshDistanceSq(const ZOVmesh& a, const ZOVmesh& b);

/// The polygon of face f in world coordinates.
std::vector<Mgc::MgcVector3> worldFace(const ZOVmesh& mesh, std::uint32_t f);

}  // namespace zovtest
