#pragma once

#include <memory>

#include <cstdint>

#include "geometry/ZOV_DFmesh.h"
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

/// A new ZOV_DFmesh with zeroed vertex arrays (local, world, per-vertex data)
/// of `numVertices`, `numUVs` texture coordinates in `numUVLayers` layers
/// (kDFmeshMultipleUVLayers with more than one, at most kMaxUVLayers),
/// `numExtraPoints` extra points (kDFmeshHasExtraPoints; the count is set
/// back to 0 when that array alone cannot be had), `numFaces` empty faces and
/// both face-normal arrays. Null when `numVertices` or `numFaces` is 0 or
/// any other allocation fails.
ZOV_DFmesh* createDFmesh(std::uint32_t numVertices, std::uint32_t numUVs, std::uint32_t numFaces,
                         std::uint32_t numUVLayers, std::uint32_t numExtraPoints);

/// A zeroed array of n vectors as the mesh's auxiliary points (an old array
/// is freed first; the count is left to the caller). False for a null mesh
/// or when the allocation fails.
bool allocMeshExtra(ZOV_DFmesh* mesh, std::uint32_t n);

/// A deep copy: vertices, world vertices, texture coordinates, faces, both
/// face-normal arrays, world centre and radius and the stored transform;
/// a new zeroed per-vertex array. Null for a null mesh, one without
/// vertices or faces, or when memory runs out.
ZOVmesh* copyMesh(const ZOVmesh* mesh);

/// A deep copy of a ZOV_DFmesh: vertex arrays, auxiliary and extra points,
/// every texture layer, the faces with their corner arrays, both face-normal
/// arrays, layer count, flags, world centre and radius and the stored
/// transform; a new zeroed per-vertex array. Null as copyMesh.
ZOV_DFmesh* copyDFmesh(const ZOV_DFmesh* mesh);

/// Frees `*mesh` (nothing when null) and sets it to null.
void deleteDFmesh(ZOV_DFmesh** mesh);

/// Frees a shatter mesh of the factory when it goes out of scope.
struct DFmeshDeleter {
  void operator()(ZOV_DFmesh* mesh) const { deleteDFmesh(&mesh); }
};
using DFmeshPtr = std::unique_ptr<ZOV_DFmesh, DFmeshDeleter>;
