#pragma once

#include <array>
#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector2.h"
#include "math/MgcVector3.h"

// Placing meshes and boxes in the world, small frames, and the component-wise
// clamps of the bounded extraction moves. Rotations act on column vectors; a
// scale s multiplies component by component.

/// Scale, then rotate, then translate: worldVertices[i] = R (s . vertices[i]) + t.
/// Face normals follow the inverse scale (R (n / s), unitised), the centre
/// moves like a vertex, worldRadius = radius * the largest |s_i|, and t, R, s
/// are stored in the mesh. Every other field stays. A null mesh does nothing;
/// an array pair of which either side is null is skipped.
void meshTransformSRT(ZOVmesh* mesh, const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);
void meshTransformSRT(ZOV_DFmesh* mesh, const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);

/// Translate, then rotate, then scale: worldVertices[i] = s . (R (vertices[i] + t)).
/// Face normals become (R n) / s unitised; centre, radius and stored transform
/// as in meshTransformSRT.
void meshTransformTRS(ZOVmesh* mesh, const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);
void meshTransformTRS(ZOV_DFmesh* mesh, const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);

/// Completes the unit direction d to the right-handed orthonormal frame
/// (u, v, d). d must be a unit vector (the zero vector gives non-finite u, v).
void generateOrthonormalBasis(const Mgc::MgcVector3& d, Mgc::MgcVector3& u, Mgc::MgcVector3& v);

/// The frame whose rows are u, v and n (u, v as generateOrthonormalBasis), so
/// that frame * p gives p's coordinates along u, v and n. n is unitised only
/// when its squared length exceeds kUnitHigh.
void basisFromNormal(const Mgc::MgcVector3& n, Mgc::MgcMatrix3& frame);

/// Texture coordinates of a point on a triangle, interpolated from the change
/// of u and v along the triangle's two edges. p, e1, e2 are relative to the
/// triangle's first corner, n is its normal; uEdge holds the change of u along
/// e1 and along e2, vEdge the same for v. A degenerate triangle gives 0, 0.
void triangleUVAtPoint(const Mgc::MgcVector3& p, const Mgc::MgcVector3& n, const Mgc::MgcVector3& e1,
                       const Mgc::MgcVector3& e2, const Mgc::MgcVector2& uEdge, const Mgc::MgcVector2& vEdge, float& u,
                       float& v);

/// The mean of n points (n at least 1).
Mgc::MgcVector3 computeFaceCenter(const Mgc::MgcVector3* points, std::uint32_t n);

/// The eight corners of an oriented box. With a, b, c the axes scaled by their
/// half extents, the order is a+b+c, a+b-c, a-b-c, a-b+c, -(a+b+c), -(a-b+c),
/// -(a-b-c), -(a+b-c), each plus the centre.
void obbCorners(const ZOVbox& box, Mgc::MgcVector3 out[8]);
/// The eight corners of an axis-aligned box, in the order of obbCorners.
void aabbCorners(const ZOVAAbox& box, Mgc::MgcVector3 out[8]);

/// Fills a mesh with the six outward quads of an oriented box: 8 vertices
/// (world = the corners, local = in the box frame), 6 faces with unit normals,
/// rotation = the box axes, translation = worldCenter = the box centre, centre
/// 0. Arrays too small for that are replaced, larger ones are kept. A null mesh,
/// or a failed allocation, leaves the mesh as it was.
void meshFromOBB(const ZOVbox& box, ZOVmesh* mesh);
void meshFromOBB(const ZOVbox& box, ZOV_DFmesh* mesh);
/// As meshFromOBB for an axis-aligned box: identity rotation, local vertices
/// relative to the box centre.
void meshFromAABB(const ZOVAAbox& box, ZOVmesh* mesh);
void meshFromAABB(const ZOVAAbox& box, ZOV_DFmesh* mesh);

/// Clamps each component of x into [min(a_i, b_i), max(a_i, b_i)] when it lies
/// outside by more than `tolerance`; changes x in place and returns a copy.
Mgc::MgcVector3 clampVectorToBox(Mgc::MgcVector3& x, const Mgc::MgcVector3& a, const Mgc::MgcVector3& b,
                                 double tolerance);
/// The same on the four components (w, x, y, z) of a quaternion.
std::array<double, 4> clampQuatToBox(double* q, const double* a, const double* b, double tolerance);
