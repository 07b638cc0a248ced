#pragma once

// Meshes the engine's benchmarks share.

#include <cstdint>
#include <memory>

#include "engine/MeshFactory.h"
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

}  // namespace zovbench
