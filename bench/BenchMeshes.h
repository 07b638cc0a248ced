#pragma once

// Meshes the engine's benchmarks share.

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "engine/MeshFactory.h"
#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

namespace zovbench {

/// A cube of half size `half` about the origin, with its world data equal to
/// its own.
inline std::unique_ptr<ZOVmesh> cubeMesh(double half) {
  std::unique_ptr<ZOVmesh> mesh(createMesh(8, 6));
  for (std::uint32_t i = 0; i < 8; ++i) {
    mesh->vertices[i] = Mgc::MgcVector3((i & 1) ? half : -half, (i & 2) ? half : -half, (i & 4) ? half : -half);
    mesh->worldVertices[i] = mesh->vertices[i];
  }
  static const std::uint32_t kFaces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  static const double kNormals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
  for (std::uint32_t f = 0; f < 6; ++f) {
    mesh->faces[f].numVertices = 4;
    for (int k = 0; k < 4; ++k) mesh->faces[f].vertices[k] = kFaces[f][k];
    mesh->faceNormals[f] = Mgc::MgcVector3(kNormals[f][0], kNormals[f][1], kNormals[f][2]);
    mesh->worldFaceNormals[f] = mesh->faceNormals[f];
  }
  return mesh;
}

/// The cube [-1, 1]^3 as a shatter mesh.
inline std::unique_ptr<ZOV_DFmesh> shatterCubeMesh() {
  static const std::uint32_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                            {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  static const double normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
  auto mesh = std::make_unique<ZOV_DFmesh>();
  mesh->numVertices = 8;
  mesh->vertices = static_cast<Mgc::MgcVector3*>(std::calloc(8, sizeof(Mgc::MgcVector3)));
  mesh->worldVertices = static_cast<Mgc::MgcVector3*>(std::calloc(8, sizeof(Mgc::MgcVector3)));
  for (int i = 0; i < 8; ++i)
    mesh->vertices[i] = mesh->worldVertices[i] = Mgc::MgcVector3(i & 1 ? 1 : -1, i & 2 ? 1 : -1, i & 4 ? 1 : -1);
  mesh->numFaces = 6;
  mesh->faces = new DFface[6];
  mesh->faceNormals = static_cast<Mgc::MgcVector3*>(std::calloc(6, sizeof(Mgc::MgcVector3)));
  mesh->worldFaceNormals = static_cast<Mgc::MgcVector3*>(std::calloc(6, sizeof(Mgc::MgcVector3)));
  mesh->numUVLayers = 1;
  for (int f = 0; f < 6; ++f) {
    allocateBufferChannels(&mesh->faces[f], 4, 1, false);
    for (int k = 0; k < 4; ++k) mesh->faces[f].vertices[k] = faces[f][k];
    mesh->faces[f].numVertices = 4;
    mesh->faces[f].mark = 1;
    mesh->faceNormals[f] = mesh->worldFaceNormals[f] = Mgc::MgcVector3(normals[f][0], normals[f][1], normals[f][2]);
    mesh->faces[f].normal = mesh->faceNormals[f];
  }
  return mesh;
}

}  // namespace zovbench
