#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"

// Mesh records sized the way the engine's allocators size them, for tests.
namespace zovtest {

/// A ZOVmesh with zeroed malloc'd arrays for `numVertices` vertices and
/// `numFaces` faces (vertices, worldVertices, vertexData, faceNormals,
/// worldFaceNormals, faces with mark 1), and `numUVs` UVs when not 0.
std::unique_ptr<ZOVmesh> makeMesh(std::uint32_t numVertices, std::uint32_t numFaces, std::uint32_t numUVs = 0);

/// A ZOV_DFmesh with zeroed arrays for the given counts: the vector arrays,
/// `numUVs` UVs in `numUVLayers` layers, and `numFaces` empty faces.
std::unique_ptr<ZOV_DFmesh> makeDFmesh(std::uint32_t numVertices, std::uint32_t numFaces, std::uint32_t numUVs = 0,
                                       std::uint32_t numUVLayers = 1);

/// Meshes without faces whose local vertices are the points.
std::unique_ptr<ZOVmesh> meshOfPoints(const std::vector<Mgc::MgcVector3>& points);
std::unique_ptr<ZOV_DFmesh> dfMeshOfPoints(const std::vector<Mgc::MgcVector3>& points);

/// The same mesh as a ZOV_DFmesh: vertices, faces, normals and placement.
std::unique_ptr<ZOV_DFmesh> dfMeshOf(const ZOVmesh& mesh);

}  // namespace zovtest
