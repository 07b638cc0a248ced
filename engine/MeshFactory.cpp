#include "engine/MeshFactory.h"

#include <cstdlib>
#include <memory>
#include <new>

namespace {

/// A zeroed block of `count` records from calloc (which also refuses a
/// count whose byte size overflows), as the mesh destructor frees with free.
template <typename T>
T* zeroedArray(std::uint32_t count) {
  return static_cast<T*>(std::calloc(count, sizeof(T)));
}

}  // namespace

ZOVmesh* createMesh3(std::uint32_t numVertices, std::uint32_t numUVs, std::uint32_t numFaces) {
  if (numVertices == 0 || numFaces == 0) return nullptr;
  // The record frees whatever it holds, so a failure part way only drops it.
  std::unique_ptr<ZOVmesh> mesh(new (std::nothrow) ZOVmesh);
  if (!mesh) return nullptr;

  mesh->numVertices = numVertices;
  mesh->vertices = zeroedArray<Mgc::MgcVector3>(numVertices);
  mesh->vertexData = zeroedArray<Mgc::MgcVector3>(numVertices);
  mesh->worldVertices = zeroedArray<Mgc::MgcVector3>(numVertices);
  mesh->hasVertexData = 0;
  if (!mesh->vertices || !mesh->vertexData || !mesh->worldVertices) return nullptr;

  mesh->numUVs = numUVs;
  if (numUVs != 0) {
    mesh->uvs = zeroedArray<Mgc::MgcVector3>(numUVs);
    if (!mesh->uvs) return nullptr;
  }

  mesh->numFaces = numFaces;
  mesh->faces = zeroedArray<mesh_face>(numFaces);
  mesh->faceNormals = zeroedArray<Mgc::MgcVector3>(numFaces);
  mesh->worldFaceNormals = zeroedArray<Mgc::MgcVector3>(numFaces);
  if (!mesh->faces || !mesh->faceNormals || !mesh->worldFaceNormals) return nullptr;
  for (std::uint32_t f = 0; f < numFaces; ++f) mesh->faces[f].mark = 1;
  return mesh.release();
}

ZOVmesh* createMesh(std::uint32_t numVertices, std::uint32_t numFaces) { return createMesh3(numVertices, 0, numFaces); }

void deleteMesh(ZOVmesh** mesh) {
  delete *mesh;
  *mesh = nullptr;
}
