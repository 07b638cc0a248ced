#include "src/meshes/shardParts.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <numeric>

#include "engine/MeshFactory.h"
#include "geometry/ConvexHull.h"
#include "geometry/MassProperties.h"

namespace {

// The piece fills its hull closely enough to stay whole.
constexpr double kHullFillRatio = 0.8;
constexpr double kHullVolumeFactor = 0.9;

std::uint32_t findRoot(std::vector<std::uint32_t>& parent, std::uint32_t v) {
  while (parent[v] != v) v = parent[v] = parent[parent[v]];
  return v;
}

/// Copies a face's corners, indices and data, with the vertices renumbered.
void copyFace(const DFface& from, DFface& to, const std::vector<std::uint32_t>& vertexMap) {
  allocateBufferChannels(&to, from.numVertices, from.numLayers, from.extraIndices != nullptr);
  const size_t bytes = sizeof(std::uint32_t) * from.numVertices;
  for (std::uint32_t k = 0; k < from.numVertices; ++k) to.vertices[k] = vertexMap[from.vertices[k]];
  if (from.uvIndices) std::memcpy(to.uvIndices, from.uvIndices, bytes);
  if (from.cornerData) std::memcpy(to.cornerData, from.cornerData, bytes);
  if (from.extraIndices) std::memcpy(to.extraIndices, from.extraIndices, bytes);
  for (std::uint32_t l = 0; l < kMaxExtraUVLayers; ++l)
    if (from.layerUVIndices[l] && to.layerUVIndices[l])
      std::memcpy(to.layerUVIndices[l], from.layerUVIndices[l], bytes);
  to.numVertices = from.numVertices;
  to.normal = from.normal;
  to.faceFlags = from.faceFlags;
  to.faceByte = from.faceByte;
}

/// The part made of the faces whose label is `label`.
ZOV_DFmesh* buildPart(const ZOV_DFmesh& mesh, const std::vector<std::uint32_t>& faceLabel, std::uint32_t label) {
  std::vector<std::uint32_t> vertexMap(mesh.numVertices, UINT32_MAX);
  std::uint32_t vertices = 0;
  std::uint32_t faces = 0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    if (faceLabel[f] != label) continue;
    ++faces;
    for (std::uint32_t k = 0; k < mesh.faces[f].numVertices; ++k)
      if (vertexMap[mesh.faces[f].vertices[k]] == UINT32_MAX) vertexMap[mesh.faces[f].vertices[k]] = vertices++;
  }
  DFmeshPtr part(createDFmesh(vertices, mesh.numUVs, faces, std::max(mesh.numUVLayers, 1u), mesh.numExtraPoints));
  if (!part) return nullptr;
  for (std::uint32_t v = 0; v < mesh.numVertices; ++v)
    if (vertexMap[v] != UINT32_MAX) {
      part->vertices[vertexMap[v]] = mesh.vertices[v];
      part->worldVertices[vertexMap[v]] = mesh.worldVertices ? mesh.worldVertices[v] : mesh.vertices[v];
    }
  part->numVertices = vertices;
  if (mesh.uvs) std::copy(mesh.uvs, mesh.uvs + mesh.numUVs, part->uvs);
  for (std::uint32_t l = 0; l < kMaxExtraUVLayers; ++l)
    if (mesh.uvLayers[l] && part->uvLayers[l])
      std::copy(mesh.uvLayers[l], mesh.uvLayers[l] + mesh.numUVs, part->uvLayers[l]);
  if (mesh.extraPoints && part->extraPoints)
    std::copy(mesh.extraPoints, mesh.extraPoints + mesh.numExtraPoints, part->extraPoints);
  if (mesh.auxPoints && mesh.numAuxPoints > 0) {
    if (!allocMeshExtra(part.get(), mesh.numAuxPoints)) return nullptr;
    std::copy(mesh.auxPoints, mesh.auxPoints + mesh.numAuxPoints, part->auxPoints);
    part->numAuxPoints = mesh.numAuxPoints;
  }
  std::uint32_t next = 0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    if (faceLabel[f] != label) continue;
    copyFace(mesh.faces[f], part->faces[next], vertexMap);
    part->faceNormals[next] = mesh.faceNormals[f];
    part->worldFaceNormals[next] = mesh.worldFaceNormals[f];
    ++next;
  }
  part->dfFlags = mesh.dfFlags;
  part->dfWord = mesh.dfWord;
  part->rotation = mesh.rotation;
  part->translation = mesh.translation;
  part->scale = mesh.scale;
  Mgc::MgcVector3 sum(0.0, 0.0, 0.0);
  for (std::uint32_t v = 0; v < vertices; ++v) sum += part->vertices[v];
  part->center = part->worldCenter = sum / static_cast<double>(vertices);
  return part.release();
}

}  // namespace

bool shardFillsHull(const ZOV_DFmesh& mesh) {
  if (mesh.numVertices == 0 || !mesh.vertices) return false;
  std::unique_ptr<ZOVmesh> hull = mesh.numVertices < kShardHullBudget ? convexHull(mesh.vertices, mesh.numVertices)
                                                                      : approxConvexHull(&mesh, kShardHullBudget);
  if (!hull) return false;
  const double hullVolume = meshVolume(*hull);
  const double volume = meshVolume(mesh);
  if (!(hullVolume > 0.0) || volume == 0.0) return false;
  if (kHullVolumeFactor * volume > hullVolume) return false;
  return volume / hullVolume >= kHullFillRatio;
}

int splitShardParts(const ZOV_DFmesh& mesh, std::vector<ZOV_DFmesh*>& parts) {
  std::vector<ZOV_DFmesh*> made;
  const auto dropMade = [&made]() {
    for (ZOV_DFmesh* done : made) deleteDFmesh(&done);
    made.clear();
  };
  try {
    std::vector<std::uint32_t> parent(mesh.numVertices);
    std::iota(parent.begin(), parent.end(), 0u);
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      const DFface& face = mesh.faces[f];
      for (std::uint32_t k = 0; k < face.numVertices; ++k)
        if (face.vertices[k] >= mesh.numVertices) return -1;
      for (std::uint32_t k = 1; k < face.numVertices; ++k)
        parent[findRoot(parent, face.vertices[k])] = findRoot(parent, face.vertices[0]);
    }
    // Parts numbered in the order of their first face.
    std::vector<std::uint32_t> label(mesh.numFaces, 0);
    std::vector<std::uint32_t> rootLabel(mesh.numVertices, UINT32_MAX);
    std::uint32_t count = 0;
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      if (mesh.faces[f].numVertices == 0) continue;
      std::uint32_t& id = rootLabel[findRoot(parent, mesh.faces[f].vertices[0])];
      if (id == UINT32_MAX) id = count++;
      label[f] = id;
    }
    if (count < 2) return static_cast<int>(count);
    for (std::uint32_t p = 0; p < count; ++p) {
      ZOV_DFmesh* part = buildPart(mesh, label, p);
      if (!part) {
        dropMade();
        return -1;
      }
      made.push_back(part);
    }
    parts.insert(parts.end(), made.begin(), made.end());
    return static_cast<int>(count);
  } catch (const std::bad_alloc&) {
    dropMade();
    return -1;
  }
}
