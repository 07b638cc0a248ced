#pragma once

// Bounding shapes of point sets and the closest faces of two mesh volumes:
// the axis-aligned bounds of a point list, the oriented box and the capsule
// that enclose a point set, the closest pair of facing faces of two meshes.
// Stateless: any thread may call them at the same time.

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "math/MgcVector3.h"

class BVmesh;

/// The axis-aligned bounds of points[0 .. n - 1] into `out` (min, max), which
/// is returned. One point gives that point twice; no points (n = 0 or a null
/// array) give the origin twice.
ZOVAAbox& pointListBounds(ZOVAAbox& out, std::uint32_t n, const Mgc::MgcVector3* points);
/// The same over points[index[0 .. n - 1]].
ZOVAAbox& pointListBounds(ZOVAAbox& out, std::uint32_t n, const std::uint32_t* index, const Mgc::MgcVector3* points);

/// The oriented box of points[0 .. n - 1] along the principal axes of their
/// covariance (the columns of `axes`, a rotation): the smallest box with
/// those axes that holds every point, with its half extents and their
/// largest in `maxExtent`. No points give a box of zero size at the origin
/// with the identity axes. Returns `out`.
ZOVbox& fitOrientedBox(ZOVbox& out, std::uint32_t n, const Mgc::MgcVector3* points);
/// The same over points[index[0 .. n - 1]].
ZOVbox& fitOrientedBox(ZOVbox& out, std::uint32_t n, const std::uint32_t* index, const Mgc::MgcVector3* points);

/// A capsule around points[0 .. n - 1]: its segment lies on the points'
/// orthogonal line fit, its radius is the largest distance of a point from
/// that line, and the segment ends are drawn in as far as the end caps still
/// hold every point. Points on one line give radius 0 and the extreme points
/// as ends; no points give both ends at the origin and radius 0.
void fitCapsule(std::uint32_t n, const Mgc::MgcVector3* points, Mgc::MgcVector3& endA, Mgc::MgcVector3& endB,
                double& radius);
/// The same over points[index[0 .. n - 1]].
void fitCapsule(std::uint32_t n, const std::uint32_t* index, const Mgc::MgcVector3* points, Mgc::MgcVector3& endA,
                Mgc::MgcVector3& endB, double& radius);

/// The closest pair of facing faces of the two volumes' meshes, in their
/// world data (transformed vertices and face normals), searched from the
/// faces around up to 512 vertices of each mesh (every (count / 512)-th when
/// a mesh has 512 vertices or more). Of all pairs of a face around a visited
/// vertex a of A and a face around a visited vertex b of B whose normals are
/// opposed (dot product below -1e-5), the pair with the smallest squared
/// distance of b from A's face plane is kept (near ties go to the closer
/// vertex pair). Writes a, b, the two faces and the closest points of the
/// two face polygons, and returns their squared distance.
///
/// Both volumes need their vertex table. With no opposed pair, or a volume
/// without a mesh, world data or vertex table, the four indices are
/// zov::kNoIndex, the points are not written and the result is zov::kMaxFloat.
double closestMeshFaces(const BVmesh& a, const BVmesh& b, std::uint32_t& vertexA, std::uint32_t& vertexB,
                        std::uint32_t& faceA, std::uint32_t& faceB, Mgc::MgcVector3& pointA, Mgc::MgcVector3& pointB);
