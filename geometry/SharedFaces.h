#pragma once

#include <cstddef>

#include "geometry/ZOVmesh.h"

// Meshes of one shape (every box of a pile built from one source mesh) have
// equal face records and corner lists. A mesh whose faces will not change
// again can hand them to a process-wide registry and hold the registry's
// copy instead, one copy for all of them. Such a mesh carries
// kMeshSharedFaces: whoever writes to its face records or corner lists, or
// frees them, first takes a copy of its own with ownFaceTables (or lets them
// go with releaseFaceTables).

/// Whether the mesh's faces and corner lists are held from the registry.
inline bool hasSharedFaces(const ZOVmesh& mesh) { return (mesh.meshFlags & kMeshSharedFaces) != 0; }

/// Puts the mesh's face records and corner lists (`faces`, `faceCorners`)
/// in the registry, or finds equal ones there, and has the mesh hold those
/// instead of its own, which are freed. True when the mesh holds shared
/// faces afterwards; a mesh without faces, or whose faces could not be
/// shared (memory ran out), keeps its own and answers false.
bool shareFaceTables(ZOVmesh& mesh);

/// Gives a mesh that holds shared faces a copy of its own, laid out as
/// allocateFaceCorners lays them out; true when the mesh then owns its
/// faces (at once for a mesh that did), false when memory ran out (the mesh
/// still holds the shared ones).
bool ownFaceTables(ZOVmesh& mesh);

/// Lets go of the mesh's face records and corner lists, whether its own
/// (freed) or shared (released); both pointers null afterwards.
void releaseFaceTables(ZOVmesh& mesh);

/// Distinct face tables the registry holds: the number of copies that
/// all meshes holding shared faces keep between them.
std::size_t sharedFaceTableCount();
