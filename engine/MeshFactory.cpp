#include "engine/MeshFactory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

/// A zeroed block of `count` records from calloc (which also refuses a
/// count whose byte size overflows), as the mesh destructor frees with free.
template <typename T>
T* zeroedArray(std::uint32_t count) {
  return static_cast<T*>(std::calloc(count, sizeof(T)));
}

/// The vertex arrays (positions, vertex data, world positions) and the UV
/// array, zeroed, with their counts; false when one cannot be had.
template <typename Mesh>
bool allocateVertexArrays(Mesh& mesh, std::uint32_t numVertices, std::uint32_t numUVs) {
  mesh.numVertices = numVertices;
  mesh.vertices = zeroedArray<Mgc::MgcVector3>(numVertices);
  mesh.vertexData = zeroedArray<Mgc::MgcVector3>(numVertices);
  mesh.worldVertices = zeroedArray<Mgc::MgcVector3>(numVertices);
  mesh.hasVertexData = 0;
  if (!mesh.vertices || !mesh.vertexData || !mesh.worldVertices) return false;
  mesh.numUVs = numUVs;
  if (numUVs == 0) return true;
  mesh.uvs = zeroedArray<Mgc::MgcVector3>(numUVs);
  return mesh.uvs != nullptr;
}

/// The face normal arrays (local and world), zeroed, with the face count.
template <typename Mesh>
void allocateFaceNormals(Mesh& mesh, std::uint32_t numFaces) {
  mesh.numFaces = numFaces;
  mesh.faceNormals = zeroedArray<Mgc::MgcVector3>(numFaces);
  mesh.worldFaceNormals = zeroedArray<Mgc::MgcVector3>(numFaces);
}

}  // namespace

ZOVmesh* createMesh3(std::uint32_t numVertices, std::uint32_t numUVs, std::uint32_t numFaces) {
  if (numVertices == 0 || numFaces == 0) return nullptr;
  // The record frees whatever it holds, so a failure part way only drops it.
  std::unique_ptr<ZOVmesh> mesh(new (std::nothrow) ZOVmesh);
  if (!mesh) return nullptr;

  if (!allocateVertexArrays(*mesh, numVertices, numUVs)) return nullptr;

  mesh->faces = zeroedArray<mesh_face>(numFaces);
  allocateFaceNormals(*mesh, numFaces);
  if (!mesh->faces || !mesh->faceNormals || !mesh->worldFaceNormals) return nullptr;
  if (!allocateFaceCorners(*mesh)) return nullptr;
  for (std::uint32_t f = 0; f < numFaces; ++f) mesh->faces[f].mark = 1;
  return mesh.release();
}

ZOVmesh* createMesh(std::uint32_t numVertices, std::uint32_t numFaces) { return createMesh3(numVertices, 0, numFaces); }

void deleteMesh(ZOVmesh** mesh) {
  delete *mesh;
  *mesh = nullptr;
}

namespace {

// A calloc'd copy of n records; true (with null) for n = 0 or a null source.
template <typename T>
bool copyArray(T*& out, const T* source, std::uint32_t n) {
  out = nullptr;
  if (source == nullptr || n == 0) return true;
  out = zeroedArray<T>(n);
  if (out == nullptr) return false;
  std::memcpy(static_cast<void*>(out), source, n * sizeof(T));
  return true;
}

/// An empty mesh of the source's kind to copy it into, holding its vertex
/// count; null for a null source, one without vertices or faces, or when
/// memory runs out.
template <typename Mesh>
std::unique_ptr<Mesh> newCopyOf(const Mesh* source) {
  if (source == nullptr || source->numVertices == 0 || source->numFaces == 0) return nullptr;
  std::unique_ptr<Mesh> copy(new (std::nothrow) Mesh);
  if (copy) copy->numVertices = source->numVertices;
  return copy;
}

/// The copy with a zeroed vertex data array and the source's world sphere and
/// placement; null when the array cannot be had.
template <typename Mesh>
Mesh* withPlacement(std::unique_ptr<Mesh> copy, const Mesh& source) {
  copy->vertexData = zeroedArray<Mgc::MgcVector3>(source.numVertices);
  if (copy->vertexData == nullptr) return nullptr;
  copy->hasVertexData = 0;
  copy->worldCenter = source.worldCenter;
  copy->worldRadius = source.worldRadius;
  copy->rotation = source.rotation;
  copy->translation = source.translation;
  copy->scale = source.scale;
  return copy.release();
}

void copyFaceArray(std::uint32_t* out, const std::uint32_t* source, std::uint32_t n) {
  if (out != nullptr && source != nullptr && n != 0) std::memcpy(out, source, n * sizeof(std::uint32_t));
}

}  // namespace

ZOV_DFmesh* createDFmesh(std::uint32_t numVertices, std::uint32_t numUVs, std::uint32_t numFaces,
                         std::uint32_t numUVLayers, std::uint32_t numExtraPoints) {
  if (numVertices == 0 || numFaces == 0) return nullptr;
  std::unique_ptr<ZOV_DFmesh> mesh(new (std::nothrow) ZOV_DFmesh);
  if (!mesh) return nullptr;
  if (!allocateVertexArrays(*mesh, numVertices, numUVs)) return nullptr;
  mesh->numUVLayers = numUVLayers;
  if (numUVLayers > 1) {
    mesh->dfFlags |= kDFmeshMultipleUVLayers;
    const std::uint32_t extraLayers = std::min(numUVLayers - 1, kMaxExtraUVLayers);
    for (std::uint32_t layer = 0; layer < extraLayers && numUVs != 0; ++layer) {
      mesh->uvLayers[layer] = zeroedArray<Mgc::MgcVector3>(numUVs);
      if (!mesh->uvLayers[layer]) return nullptr;
    }
  }
  if (numExtraPoints != 0) {
    mesh->extraPoints = zeroedArray<Mgc::MgcVector3>(numExtraPoints);
    mesh->dfFlags |= kDFmeshHasExtraPoints;
    mesh->numExtraPoints = mesh->extraPoints != nullptr ? numExtraPoints : 0;
  }
  mesh->faces = new (std::nothrow) DFface[numFaces];
  allocateFaceNormals(*mesh, numFaces);
  if (!mesh->faces || !mesh->faceNormals || !mesh->worldFaceNormals) return nullptr;
  return mesh.release();
}

bool allocMeshExtra(ZOV_DFmesh* mesh, std::uint32_t n) {
  if (mesh == nullptr) return false;
  Mgc::MgcVector3* points = zeroedArray<Mgc::MgcVector3>(n == 0 ? 1 : n);
  if (points == nullptr) return false;
  std::free(mesh->auxPoints);
  mesh->auxPoints = points;
  return true;
}

ZOVmesh* copyMesh(const ZOVmesh* mesh) {
  std::unique_ptr<ZOVmesh> copy = newCopyOf(mesh);
  if (!copy) return nullptr;
  copy->numFaces = mesh->numFaces;
  copy->numUVs = mesh->uvs != nullptr ? mesh->numUVs : 0;
  if (!copyArray(copy->vertices, mesh->vertices, mesh->numVertices) ||
      !copyArray(copy->worldVertices, mesh->worldVertices, mesh->numVertices) ||
      !copyArray(copy->uvs, mesh->uvs, copy->numUVs) || !copyArray(copy->faces, mesh->faces, mesh->numFaces) ||
      !copyArray(copy->faceNormals, mesh->faceNormals, mesh->numFaces) ||
      !copyArray(copy->worldFaceNormals, mesh->worldFaceNormals, mesh->numFaces)) {
    return nullptr;
  }
  // The copied records still point at the source's corners: give them their
  // own storage of the same sizes, then copy the corners over.
  try {
    std::vector<std::uint32_t> capacities(mesh->numFaces);
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) capacities[f] = mesh->faces[f].cornerCapacity;
    if (!allocateFaceCorners(*copy, capacities.data())) return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) copyFace(copy->faces[f], mesh->faces[f]);
  return withPlacement(std::move(copy), *mesh);
}

ZOV_DFmesh* copyDFmesh(const ZOV_DFmesh* mesh) {
  std::unique_ptr<ZOV_DFmesh> copy = newCopyOf(mesh);
  if (!copy) return nullptr;
  copy->numAuxPoints = mesh->numAuxPoints;
  copy->numExtraPoints = mesh->numExtraPoints;
  copy->numUVs = mesh->numUVs;
  copy->numUVLayers = mesh->numUVLayers;
  copy->dfFlags = mesh->dfFlags;
  if (!copyArray(copy->vertices, mesh->vertices, mesh->numVertices) ||
      !copyArray(copy->worldVertices, mesh->worldVertices, mesh->numVertices) ||
      !copyArray(copy->auxPoints, mesh->auxPoints, mesh->numAuxPoints) ||
      !copyArray(copy->extraPoints, mesh->extraPoints, mesh->numExtraPoints) ||
      !copyArray(copy->uvs, mesh->uvs, mesh->numUVs)) {
    return nullptr;
  }
  if ((mesh->dfFlags & kDFmeshMultipleUVLayers) != 0 && mesh->numUVLayers != 1) {
    for (std::uint32_t layer = 0; layer < kMaxExtraUVLayers; ++layer) {
      if (!copyArray(copy->uvLayers[layer], mesh->uvLayers[layer], mesh->numUVs)) return nullptr;
    }
  }
  copy->numFaces = mesh->numFaces;
  copy->faces = new (std::nothrow) DFface[mesh->numFaces];
  if (copy->faces == nullptr) return nullptr;
  try {
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      const DFface& from = mesh->faces[f];
      DFface& to = copy->faces[f];
      const std::uint32_t capacity = std::max(from.capacity, from.numVertices);
      allocateBufferChannels(&to, capacity, from.numLayers, from.extraIndices != nullptr);
      const std::uint32_t n = std::min(from.numVertices, capacity);
      copyFaceArray(to.vertices, from.vertices, n);
      copyFaceArray(to.uvIndices, from.uvIndices, n);
      copyFaceArray(to.cornerData, from.cornerData, n);
      copyFaceArray(to.extraIndices, from.extraIndices, n);
      for (std::uint32_t layer = 0; layer < kMaxExtraUVLayers; ++layer) {
        copyFaceArray(to.layerUVIndices[layer], from.layerUVIndices[layer], n);
      }
      to.numVertices = from.numVertices;
      if (to.list != nullptr && from.list != nullptr) {
        to.numList = std::min(from.numList, to.listCapacity);
        copyFaceArray(to.list, from.list, to.numList);
      }
      to.normal = from.normal;
      to.normal2 = from.normal2;
      to.mark = from.mark;
      to.faceFlags = from.faceFlags;
      to.pieceId = from.pieceId;
      to.faceByte = from.faceByte;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (!copyArray(copy->faceNormals, mesh->faceNormals, mesh->numFaces) ||
      !copyArray(copy->worldFaceNormals, mesh->worldFaceNormals, mesh->numFaces)) {
    return nullptr;
  }
  return withPlacement(std::move(copy), *mesh);
}

void deleteDFmesh(ZOV_DFmesh** mesh) {
  delete *mesh;
  *mesh = nullptr;
}
