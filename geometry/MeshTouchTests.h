#pragma once

#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// Whether two neighbouring meshes touch, from their transformed (world) data:
// at a vertex, or face to face. Used to decide where pieces get joined.

/// Takes the closest pair of vertices (one of each mesh, the first pair among
/// equals) and answers true when their offset lies within `tolerance` of the
/// plane of some face of A that uses A's vertex, or else of some face of B that
/// uses B's vertex. False when either mesh has no vertices. `direction` (from A
/// towards B) is accepted for callers that have it; the test does not need it.
bool meshesTouchAtVertices(const ZOVmesh& a, const ZOVmesh& b, const Mgc::MgcVector3& direction, double tolerance);

/// True when some face of one mesh lies on an opposed face of the other
/// (normals with a dot product below -0.999): three of its corners within
/// `tolerance` of the other face's plane and inside that face's polygon. Faces
/// that meet only along an edge do not count.
bool meshesTouchFaceToFace(const ZOVmesh& a, const ZOVmesh& b, double tolerance);
