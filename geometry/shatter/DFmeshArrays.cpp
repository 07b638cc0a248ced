#include "geometry/shatter/DFmeshArrays.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

using Mgc::MgcVector3;

namespace {

/// A malloc'd copy of `values` (null when empty) that frees itself unless
/// released into a record.
class VectorBlock {
 public:
  explicit VectorBlock(const std::vector<MgcVector3>& values, std::size_t size) {
    if (size == 0) return;
    data_ = static_cast<MgcVector3*>(std::calloc(size, sizeof(MgcVector3)));
    if (data_ == nullptr) throw std::bad_alloc();
    const std::size_t n = std::min(size, values.size());
    if (n != 0) std::memcpy(static_cast<void*>(data_), values.data(), n * sizeof(MgcVector3));
  }
  explicit VectorBlock(const std::vector<MgcVector3>& values) : VectorBlock(values, values.size()) {}
  VectorBlock(const VectorBlock&) = delete;
  VectorBlock& operator=(const VectorBlock&) = delete;
  ~VectorBlock() { std::free(data_); }
  MgcVector3* release() { return std::exchange(data_, nullptr); }

 private:
  MgcVector3* data_ = nullptr;
};

}  // namespace

bool hasDFmeshNormals(const ZOV_DFmesh& mesh) { return mesh.numAuxPoints != 0 && mesh.auxPoints != nullptr; }

bool hasDFmeshColors(const ZOV_DFmesh& mesh) {
  return (mesh.dfFlags & kDFmeshHasExtraPoints) != 0 && mesh.numExtraPoints != 0 && mesh.extraPoints != nullptr;
}

bool hasDFmeshUVs(const ZOV_DFmesh& mesh) { return mesh.numUVs != 0 && mesh.uvs != nullptr; }

std::uint32_t extraDFmeshLayers(const ZOV_DFmesh& mesh) {
  if (!hasDFmeshUVs(mesh) || (mesh.dfFlags & kDFmeshMultipleUVLayers) == 0 || mesh.numUVLayers < 2) return 0;
  return std::min(mesh.numUVLayers, kMaxUVLayers) - 1;
}

MgcVector3 attributeAt(const MgcVector3* values, std::uint32_t count, std::uint32_t id) {
  return values != nullptr && id < count ? values[id] : MgcVector3::ZERO;
}

void swapDFfaces(DFface& a, DFface& b) {
  std::swap(a.numVertices, b.numVertices);
  std::swap(a.capacity, b.capacity);
  std::swap(a.vertices, b.vertices);
  std::swap(a.uvIndices, b.uvIndices);
  std::swap(a.cornerData, b.cornerData);
  std::swap(a.layerUVIndices, b.layerUVIndices);
  std::swap(a.extraIndices, b.extraIndices);
  std::swap(a.numList, b.numList);
  std::swap(a.listCapacity, b.listCapacity);
  std::swap(a.list, b.list);
  std::swap(a.normal, b.normal);
  std::swap(a.normal2, b.normal2);
  std::swap(a.mark, b.mark);
  std::swap(a.faceFlags, b.faceFlags);
  std::swap(a.pieceId, b.pieceId);
  std::swap(a.faceByte, b.faceByte);
  std::swap(a.numLayers, b.numLayers);
}

void swapDFmeshArrays(ZOV_DFmesh& a, ZOV_DFmesh& b) {
  std::swap(a.numFaces, b.numFaces);
  std::swap(a.faces, b.faces);
  std::swap(a.numVertices, b.numVertices);
  std::swap(a.vertices, b.vertices);
  std::swap(a.worldVertices, b.worldVertices);
  std::swap(a.faceNormals, b.faceNormals);
  std::swap(a.worldFaceNormals, b.worldFaceNormals);
  std::swap(a.numUVs, b.numUVs);
  std::swap(a.uvs, b.uvs);
  std::swap(a.uvLayers, b.uvLayers);
  std::swap(a.numExtraPoints, b.numExtraPoints);
  std::swap(a.extraPoints, b.extraPoints);
  std::swap(a.numAuxPoints, b.numAuxPoints);
  std::swap(a.auxPoints, b.auxPoints);
  std::swap(a.vertexData, b.vertexData);
  std::swap(a.hasVertexData, b.hasVertexData);
  std::swap(a.numUVLayers, b.numUVLayers);
  std::swap(a.dfFlags, b.dfFlags);
}

DFmeshParts::DFmeshParts(std::uint32_t count)
    : faceCount(count), faces(count != 0 ? new DFface[count] : nullptr), faceNormals(count), worldFaceNormals(count) {}

std::unique_ptr<ZOV_DFmesh> assembleDFmesh(DFmeshParts& parts, const ZOV_DFmesh& like) {
  const std::size_t numVertices = parts.vertices.size();
  std::size_t numUVs = parts.withUVs ? parts.uvs.size() : 0;
  for (std::uint32_t l = 0; parts.withUVs && l < parts.extraLayers; ++l)
    numUVs = std::max(numUVs, parts.layers[l].size());

  auto mesh = std::make_unique<ZOV_DFmesh>();
  VectorBlock vertices(parts.vertices), world(parts.worldVertices, numVertices);
  VectorBlock vertexData({}, numVertices);
  VectorBlock normals(parts.withNormals ? parts.normals : std::vector<MgcVector3>{});
  VectorBlock colors(parts.withColors ? parts.colors : std::vector<MgcVector3>{});
  VectorBlock uvs(parts.withUVs ? parts.uvs : std::vector<MgcVector3>{}, numUVs);
  std::unique_ptr<VectorBlock> layers[kMaxExtraUVLayers];
  const std::uint32_t extraLayers = parts.withUVs ? std::min(parts.extraLayers, kMaxExtraUVLayers) : 0;
  for (std::uint32_t l = 0; l < extraLayers; ++l) layers[l] = std::make_unique<VectorBlock>(parts.layers[l], numUVs);
  VectorBlock faceNormals(parts.faceNormals, parts.faceCount),
      worldFaceNormals(parts.worldFaceNormals, parts.faceCount);

  // Nothing below allocates.
  mesh->numVertices = static_cast<std::uint32_t>(numVertices);
  mesh->vertices = vertices.release();
  mesh->worldVertices = world.release();
  mesh->vertexData = vertexData.release();
  mesh->hasVertexData = 0;
  if (parts.withNormals) {
    mesh->numAuxPoints = static_cast<std::uint32_t>(parts.normals.size());
    mesh->auxPoints = normals.release();
  }
  if (parts.withColors) {
    mesh->numExtraPoints = static_cast<std::uint32_t>(parts.colors.size());
    mesh->extraPoints = colors.release();
  }
  mesh->numUVs = static_cast<std::uint32_t>(numUVs);
  mesh->uvs = uvs.release();
  for (std::uint32_t l = 0; l < extraLayers; ++l) mesh->uvLayers[l] = layers[l]->release();
  mesh->numFaces = parts.faceCount;
  mesh->faces = parts.faces.release();
  parts.faceCount = 0;
  mesh->faceNormals = faceNormals.release();
  mesh->worldFaceNormals = worldFaceNormals.release();

  mesh->numUVLayers = extraLayers != 0 ? std::max(like.numUVLayers, extraLayers + 1) : like.numUVLayers;
  mesh->dfFlags = like.dfFlags;
  mesh->dfFlags = static_cast<std::uint16_t>(parts.withColors && mesh->numExtraPoints != 0
                                                 ? mesh->dfFlags | kDFmeshHasExtraPoints
                                                 : mesh->dfFlags & ~kDFmeshHasExtraPoints);
  if (extraLayers != 0) mesh->dfFlags |= kDFmeshMultipleUVLayers;
  mesh->dfWord = like.dfWord;
  mesh->rotation = like.rotation;
  mesh->translation = like.translation;
  mesh->scale = like.scale;
  mesh->numMeshGroups = 1;
  MgcVector3 sum;
  for (std::size_t v = 0; v < numVertices; ++v) sum += mesh->worldVertices[v];
  if (numVertices != 0) mesh->center = sum / static_cast<double>(numVertices);
  return mesh;
}
