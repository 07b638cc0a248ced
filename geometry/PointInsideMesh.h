#pragma once

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// Containment of points and segments in convex engine meshes and in boxes, and
// moving a point into a convex mesh. A mesh is read in its local frame:
// faces (a face's first corner), local vertices and local unit outward face
// normals, placed in the world by its last transform (translation, rotation,
// scale: world = rotation (scale . local) + translation). A point goes to the
// local frame as rotation^T (p - translation) divided component-wise by the
// scale, which must have no zero component. Faces without corners, or whose
// first corner is not a vertex of the mesh, are skipped.

/// Moves `point` (world coordinates, in and out) into a convex mesh.
///
/// Random-start mode (`nearestFace` false): the faces are visited once each in
/// cyclic order from a start face drawn with Mgc::Math::UnitRandom (one draw
/// per call, no reseeding); a point more than 1e-5 in front of a face's plane
/// moves back along the face normal by (1 + margin) times that distance, to
/// margin times the distance behind the plane. When the pass leaves the point
/// more than 1e-5 in front of a face (a move through one face can lead out
/// through another at an acute edge), the point is then drawn towards the
/// mean of the mesh's vertices, by (1 + margin) times the way it needs to pass
/// every face plane, and never beyond that centre. A point within 1e-5 of the
/// inside stays where it is. A mesh without faces leaves the point unchanged.
///
/// Nearest-face mode: the face whose plane is nearest (smallest |distance|, the
/// first among equals) moves the point across that plane to margin times its
/// distance on the other side: a point outside the plane ends inside it, a
/// point inside ends outside it (with margin 0 the point lands on the plane).
/// A mesh without faces leaves the point unchanged.
void makePointInsideMesh(const ZOVmesh& mesh, Mgc::MgcVector3& point, double margin, bool nearestFace);
void makePointInsideMesh(const ZOV_DFmesh& mesh, Mgc::MgcVector3& point, double margin, bool nearestFace);

/// Moves `point` into the oriented box: the random-start mode of
/// makePointInsideMesh on the box's six faces with margin 1e-5.
void makePointInsideOBB(const ZOVbox& box, Mgc::MgcVector3& point);

/// True when the world point lies behind or within `tolerance` of every face
/// plane of the convex mesh (also for a mesh without faces).
bool pointInsideConvexMesh(const Mgc::MgcVector3& point, const ZOVmesh& mesh, double tolerance);

/// False when some face plane of the convex mesh has both world ends more than
/// 1e-5 in front of it; true otherwise. This is a conservative test: a segment
/// that passes beside an edge without lying wholly in front of one face counts
/// as overlapping.
bool segmentOverlapsConvexMesh(const Mgc::MgcVector3& end0, const Mgc::MgcVector3& end1, const ZOVmesh& mesh);

/// True when every point, taken as already in the mesh's local frame, lies
/// behind or within `tolerance` of every face plane. False for a null mesh.
bool pointsInsideConvexMesh(const ZOVmesh* mesh, const Mgc::MgcVector3* points, std::uint32_t count, double tolerance);

/// True when the point lies in the box grown by `tolerance` on every side.
bool aabbContainsPoint(const Mgc::MgcVector3& point, const ZOVAAbox& box, double tolerance);

/// True when the point lies in the oriented box grown by `tolerance` on every side.
bool obbContainsPoint(const Mgc::MgcVector3& point, const ZOVbox& box, double tolerance);
