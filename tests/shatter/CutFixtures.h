#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"
#include "support/RandomGeometry.h"

// Closed solids to cut, and the two ways the engine cuts them.
namespace zovtest {

/// A closed polygon soup: faces counter-clockwise seen from outside.
struct Solid {
  std::vector<Mgc::MgcVector3> points;
  std::vector<std::vector<std::uint32_t>> faces;
};

/// The box [-half, half].
Solid boxSolid(const Mgc::MgcVector3& half);
/// The prism over a simple counter-clockwise outline in the xy plane, from
/// z0 to z1; its two end faces are the outline itself.
Solid prismSolid(const std::vector<Mgc::MgcVector3>& outline, double z0, double z1);
/// A tube along z: rings of `segments` corners of radii rIn and rOut.
Solid tubeSolid(double rIn, double rOut, std::uint32_t segments, double z0, double z1);
/// A closed triangle mesh of a sphere whose radius varies at random per
/// vertex between 0.6 and 1.4 (star-shaped, not convex).
Solid bumpySphere(Random& random, std::uint32_t rings, std::uint32_t segments);
/// The tetrahedron (0,0,0), (1,0,0), (0,1,0), (0,0,1).
Solid tetrahedronSolid();
/// `b` moved by `offset` appended to `a`, as one polygon soup.
Solid joinSolids(const Solid& a, const Solid& b, const Mgc::MgcVector3& offset);
/// A square of half side `half` about `centre` in the plane z = centre.z,
/// with both sides as faces: closed, without volume.
Solid flatSquare(double half, const Mgc::MgcVector3& centre);
/// The convex hull of `count` random points in the unit cube.
Solid randomHull(Random& random, std::uint32_t count);

/// The linear texture map of a face with this normal: every face corner's
/// UV is this map of its position, so cut points must carry it too.
Mgc::MgcVector3 faceUV(const Mgc::MgcVector3& normal, const Mgc::MgcVector3& position, int layer = 0);
/// The colour of a vertex at this position.
Mgc::MgcVector3 vertexColor(const Mgc::MgcVector3& position);

/// The solid as a ZOVmesh (identity transform): one UV entry per face corner
/// (faceUV) when `withUVs` is set.
std::unique_ptr<ZOVmesh> toMesh(const Solid& solid, bool withUVs);
/// The solid as a ZOV_DFmesh with per-corner normals (the face normals),
/// colours (vertexColor, one per vertex) and two UV layers (faceUV).
std::unique_ptr<ZOV_DFmesh> toDFmesh(const Solid& solid);

/// Cuts through a mesh volume with a fresh clipper and puts the result back
/// into the mesh's scale; returns the clip result.
int cutMesh(ZOVmesh& mesh, const Mgc::MgcVector3& normal, const Mgc::MgcVector3& point);
/// The same through the shatter mesh structure.
int cutDFmesh(ZOV_DFmesh& mesh, const Mgc::MgcVector3& normal, const Mgc::MgcVector3& point);

/// Every corner carries the attributes the fixtures give its position: the
/// normal of its face (of `normals`), the face's two linear texture maps and
/// the vertex colour, each within `tolerance` (0: exactly).
void expectAttributesFollowPositions(const ZOV_DFmesh& mesh, const Mgc::MgcVector3* normals, double tolerance);

/// The area of a planar polygon given by positions.
double polygonAreaOf(const std::vector<Mgc::MgcVector3>& polygon);

}  // namespace zovtest
