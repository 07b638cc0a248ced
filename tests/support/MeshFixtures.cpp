#include "support/MeshFixtures.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace zovtest {

namespace {

template <typename T>
T* zeroedArray(std::uint32_t n) {
  if (n == 0) return nullptr;
  T* array = static_cast<T*>(std::calloc(n, sizeof(T)));
  if (array == nullptr) throw std::bad_alloc();
  return array;
}

/// The zeroed vertex arrays (object, world, vertex data) of a mesh of either kind.
template <typename Mesh>
void zeroVertices(Mesh& mesh, std::uint32_t numVertices) {
  mesh.numVertices = numVertices;
  mesh.vertices = zeroedArray<Mgc::MgcVector3>(numVertices);
  mesh.worldVertices = zeroedArray<Mgc::MgcVector3>(numVertices);
  mesh.vertexData = zeroedArray<Mgc::MgcVector3>(numVertices);
}

/// The zeroed face normals (object, world) and UVs of a mesh of either kind.
template <typename Mesh>
void zeroNormalsAndUVs(Mesh& mesh, std::uint32_t numFaces, std::uint32_t numUVs) {
  mesh.faceNormals = zeroedArray<Mgc::MgcVector3>(numFaces);
  mesh.worldFaceNormals = zeroedArray<Mgc::MgcVector3>(numFaces);
  mesh.numUVs = numUVs;
  mesh.uvs = zeroedArray<Mgc::MgcVector3>(numUVs);
}

}  // namespace

std::unique_ptr<ZOVmesh> makeMesh(std::uint32_t numVertices, std::uint32_t numFaces, std::uint32_t numUVs) {
  auto mesh = std::make_unique<ZOVmesh>();
  zeroVertices(*mesh, numVertices);
  mesh->numFaces = numFaces;
  mesh->faces = zeroedArray<mesh_face>(numFaces);
  allocateFaceCorners(*mesh);
  for (std::uint32_t f = 0; f < numFaces; ++f) mesh->faces[f].mark = 1;
  zeroNormalsAndUVs(*mesh, numFaces, numUVs);
  return mesh;
}

std::unique_ptr<ZOV_DFmesh> makeDFmesh(std::uint32_t numVertices, std::uint32_t numFaces, std::uint32_t numUVs,
                                       std::uint32_t numUVLayers) {
  auto mesh = std::make_unique<ZOV_DFmesh>();
  zeroVertices(*mesh, numVertices);
  mesh->numFaces = numFaces;
  mesh->faces = numFaces == 0 ? nullptr : new DFface[numFaces];
  zeroNormalsAndUVs(*mesh, numFaces, numUVs);
  mesh->numUVLayers = numUVLayers;
  for (std::uint32_t layer = 1; layer < numUVLayers && layer <= kMaxExtraUVLayers; ++layer)
    mesh->uvLayers[layer - 1] = zeroedArray<Mgc::MgcVector3>(numUVs);
  if (numUVLayers > 1) mesh->dfFlags |= kDFmeshMultipleUVLayers;
  return mesh;
}

std::unique_ptr<ZOV_DFmesh> dfMeshOf(const ZOVmesh& mesh) {
  auto df = makeDFmesh(mesh.numVertices, mesh.numFaces);
  for (std::uint32_t i = 0; i < mesh.numVertices; ++i) {
    df->vertices[i] = mesh.vertices[i];
    df->worldVertices[i] = mesh.worldVertices[i];
  }
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    df->faces[f].allocate(static_cast<std::int32_t>(mesh.faces[f].numVertices), 1, false);
    for (std::uint32_t k = 0; k < mesh.faces[f].numVertices; ++k) df->faces[f].vertices[k] = mesh.faces[f].vertices[k];
    df->faces[f].numVertices = mesh.faces[f].numVertices;
    df->faceNormals[f] = mesh.faceNormals[f];
    df->worldFaceNormals[f] = mesh.worldFaceNormals[f];
  }
  df->rotation = mesh.rotation;
  df->translation = mesh.translation;
  df->scale = mesh.scale;
  return df;
}

std::unique_ptr<ZOVmesh> meshOfPoints(const std::vector<Mgc::MgcVector3>& points) {
  auto mesh = makeMesh(static_cast<std::uint32_t>(points.size()), 0);
  std::copy(points.begin(), points.end(), mesh->vertices);
  return mesh;
}

std::unique_ptr<ZOV_DFmesh> dfMeshOfPoints(const std::vector<Mgc::MgcVector3>& points) {
  auto mesh = makeDFmesh(static_cast<std::uint32_t>(points.size()), 0);
  std::copy(points.begin(), points.end(), mesh->vertices);
  return mesh;
}

}  // namespace zovtest
