#pragma once

#include <cstdint>

#include "geometry/ZOVmesh.h"

// The factory's mesh operations: the host side creates and frees the engine's
// polygon meshes through these, never with new and delete of its own.

/// A new mesh with `numVertices` zeroed vertices (local, world and per-vertex
/// data) and `numFaces` empty face records (no corners, no edges, group 0,
/// mark 1) with zeroed local and world face normals; no texture coordinates.
/// Owned by the caller, who frees it with deleteMesh. Null when either count
/// is 0 or an allocation fails (nothing is left allocated then).
ZOVmesh* createMesh(std::uint32_t numVertices, std::uint32_t numFaces);

/// As createMesh, with `numUVs` stored and, when it is not 0, a zeroed array
/// of that many texture coordinates. Null when `numVertices` or `numFaces` is
/// 0 or an allocation fails.
ZOVmesh* createMesh3(std::uint32_t numVertices, std::uint32_t numUVs, std::uint32_t numFaces);

/// Frees the mesh `*mesh` points to (nothing when it is null) and sets
/// `*mesh` to null. `mesh` itself must not be null.
void deleteMesh(ZOVmesh** mesh);
