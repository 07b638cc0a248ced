#pragma once

#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

// Volume, centre of mass and inertia of closed polygon meshes of unit density,
// exact for the mesh's faces (volume integrals over the fan triangles of each
// face). Faces must wind counter-clockwise seen from outside; a mesh wound the
// other way has a negative volume. Only the local vertex positions are read.
// Stateless: any thread may call them at the same time.
//
// A mesh counts as a valid solid when its surface is closed (see isClosedMesh),
// its volume is at least the tolerance and its unit-density inertia tensor has
// no eigenvalue below minus the tolerance.

/// The signed volume of the mesh. `center` receives the centre of mass when
/// the mesh is a valid solid whose centre lies strictly inside the box of its
/// vertices, else the middle of that box (the origin for a mesh without
/// vertices).
double ComputeMassProperties(const ZOVmesh& mesh, Mgc::MgcVector3& center);
double ComputeMassProperties(const ZOV_DFmesh& mesh, Mgc::MgcVector3& center);

/// The signed volume alone.
double meshVolume(const ZOVmesh& mesh);
double meshVolume(const ZOV_DFmesh& mesh);

/// The inertia tensor, about `center`, of the mesh scaled component-wise by
/// `scale` and filled with `mass` spread evenly. A mesh that is not a valid
/// solid is taken as equal point masses at its vertices instead; a mesh
/// without vertices gives the zero matrix.
Mgc::MgcMatrix3 computeMassPropertiesInertia(const ZOVmesh& mesh, double mass, const Mgc::MgcVector3& center,
                                             const Mgc::MgcVector3& scale);

/// Whether the faces form a closed surface with consistent winding: one whose
/// volume integrals do not change, beyond rounding, when the origin moves.
/// Faces may meet at T-junctions and carry their own copies of shared
/// corners. False for a mesh without faces or without area, a face with an
/// index out of range, or a non-finite vertex.
bool isClosedMesh(const ZOVmesh& mesh);
bool isClosedMesh(const ZOV_DFmesh& mesh);
