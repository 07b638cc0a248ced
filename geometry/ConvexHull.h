#pragma once

#include <cstdint>
#include <memory>

#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// Convex hulls of point sets and meshes: the shapes of hull bodies, the
// approximate hulls of bounding volumes, and the wrappers of the shatter code.
//
// Every function here keeps its working state in its own call, so hulls may
// be built on several threads at the same time. Points within zov::kTolerance
// of a hull face are taken as lying on it: they never become vertices, so
// duplicated points and points on a face's plane give no extra vertices.

/// The convex hull of `points[0 .. n)` as a new mesh: faces of at most
/// kMaxFaceCorners corners (larger coplanar faces are split into fans of
/// triangles) whose corners run counter-clockwise seen from outside, local
/// outward unit face normals in `faceNormals`, a zeroed `worldFaceNormals`,
/// a vertex array with room for n points of which `numVertices` are the hull's,
/// and the record's default placement. No `worldVertices`.
///
/// Exactly 3 points give their one triangle, corners in input order, with the
/// normal of their plane, (p2 - p0) x (p1 - p0) unitised, in both normal arrays.
///
/// Null when no hull can be made: a null array, fewer than 3 points, points
/// that all lie on one line, 4 or more points all within zov::kTolerance of one
/// plane, or memory running out. The caller owns the result.
std::unique_ptr<ZOVmesh> convexHull(const Mgc::MgcVector3* points, std::uint32_t n);

/// convexHull with the result in a `ZOV_DFmesh`: the same vertices, faces and
/// normals, each face made by `DFface::allocate` for its corner count with one
/// texture layer, its normal also in the face record. Null as convexHull.
std::unique_ptr<ZOV_DFmesh> convexHullDF(const Mgc::MgcVector3* points, std::uint32_t n);

/// A hull of the mesh's local vertices with at most `budget` vertices.
///
/// A mesh of at most `budget` vertices gives convexHull of all of them.
/// Otherwise the hull starts from budget / 2 evenly spaced vertices
/// (sampleMeshVertices) and, for up to 8 rounds while it has fewer than
/// `budget` vertices, is rebuilt with the mesh vertices that lie more than 0.1
/// beyond its faces (farthestSupportPoints), never more than the budget leaves
/// room for. A rebuild that fails keeps the hull of the round before.
///
/// Null for a null mesh and whenever the first hull cannot be made: a budget
/// below 6 leaves fewer than 3 sampled points, and a flat sample spans no
/// hull. Callers fall back to something else then. The caller owns the result.
std::unique_ptr<ZOVmesh> approxConvexHull(const ZOVmesh* mesh, std::uint32_t budget);
/// approxConvexHull of a `ZOV_DFmesh`; the hull is still a `ZOVmesh`.
std::unique_ptr<ZOVmesh> approxConvexHull(const ZOV_DFmesh* mesh, std::uint32_t budget);

/// Writes up to n evenly spaced local vertices of the mesh into `out` and
/// returns how many it wrote: every (numVertices / n)-th vertex from vertex 0
/// when that step is at least 1, else all vertices. 0 for a null mesh or out,
/// or n = 0.
std::uint32_t sampleMeshVertices(const ZOVmesh* mesh, std::uint32_t n, Mgc::MgcVector3* out);
/// The same for a `ZOV_DFmesh`, except that a step below 2 writes the
/// even-indexed vertices (numVertices / 2 of them) and then odd-indexed ones
/// until n are written or the odd ones run out.
std::uint32_t sampleMeshVertices(const ZOV_DFmesh* mesh, std::uint32_t n, Mgc::MgcVector3* out);

/// For each face of `hull`, the local mesh vertex farthest beyond the face's
/// plane, taken when it lies more than 0.1 beyond it (at most one per mesh
/// vertex in all). Writes min(found, m) of them to `out`, evenly spread over
/// the found ones, and returns that number; 0 when an argument is null or
/// m = 0.
std::uint32_t farthestSupportPoints(const ZOVmesh* mesh, const ZOVmesh* hull, std::uint32_t m, Mgc::MgcVector3* out);
std::uint32_t farthestSupportPoints(const ZOV_DFmesh* mesh, const ZOVmesh* hull, std::uint32_t m, Mgc::MgcVector3* out);
