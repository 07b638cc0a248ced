// The mesh groups of a mesh volume: its mesh split into one mesh a group,
// two meshes joined into one, and the groups nested inside others merged
// into them.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "geometry/BVmesh.h"
#include "geometry/PointInsideMesh.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// A malloc'd array of n elements (zeroed); throws std::bad_alloc on failure.
template <typename T>
T* allocateArray(std::size_t n) {
  if (n == 0) return nullptr;
  T* array = static_cast<T*>(std::calloc(n, sizeof(T)));
  if (array == nullptr) throw std::bad_alloc();
  return array;
}

/// The fields that carry over from a source mesh to a mesh made from it.
void copyPlacement(const ZOVmesh& from, ZOVmesh& to) {
  to.rotation = from.rotation;
  to.translation = from.translation;
  to.scale = from.scale;
  to.center = from.center;
  to.worldCenter = from.worldCenter;
  to.radius = from.radius;
  to.worldRadius = from.worldRadius;
  // The made mesh owns its faces whatever the source holds.
  to.meshFlags = static_cast<std::uint16_t>(from.meshFlags & ~kMeshSharedFaces);
}

}  // namespace

std::vector<std::unique_ptr<ZOVmesh>> BVmesh::splitGroups() {
  std::vector<std::unique_ptr<ZOVmesh>> groups;
  if (mesh_ == nullptr || !isValidMesh(mesh_)) return groups;
  if (mesh_->numMeshGroups == 0) labelGroups();
  const ZOVmesh& mesh = *mesh_;
  const std::uint32_t count = mesh.numMeshGroups;
  const bool hasUVs = mesh.numUVs != 0 && mesh.uvs != nullptr;
  try {
    std::vector<std::uint32_t> vertexMap(mesh.numVertices), uvMap(hasUVs ? mesh.numUVs : 0);
    for (std::uint32_t group = 1; group <= count; ++group) {
      // Entries used by the group's faces keep their order.
      std::fill(vertexMap.begin(), vertexMap.end(), zov::kNoIndex);
      std::fill(uvMap.begin(), uvMap.end(), zov::kNoIndex);
      std::uint32_t numFaces = 0;
      for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
        const mesh_face& face = mesh.faces[f];
        if (face.groupId != group) continue;
        ++numFaces;
        for (std::uint32_t k = 0; k < face.numVertices; ++k) {
          vertexMap[face.vertices[k]] = 0;
          if (hasUVs && face.uvIndices[k] < mesh.numUVs) uvMap[face.uvIndices[k]] = 0;
        }
      }
      std::uint32_t numVertices = 0, numUVs = 0;
      for (std::uint32_t& slot : vertexMap)
        if (slot == 0) slot = numVertices++;
      for (std::uint32_t& slot : uvMap)
        if (slot == 0) slot = numUVs++;

      auto part = std::make_unique<ZOVmesh>();
      copyPlacement(mesh, *part);
      part->numMeshGroups = 1;
      part->vertices = allocateArray<MgcVector3>(numVertices);
      part->worldVertices = allocateArray<MgcVector3>(numVertices);
      part->numVertices = numVertices;
      part->faces = allocateArray<mesh_face>(numFaces);
      part->faceNormals = allocateArray<MgcVector3>(numFaces);
      part->worldFaceNormals = allocateArray<MgcVector3>(numFaces);
      part->numFaces = numFaces;
      if (numFaces != 0) {
        std::vector<std::uint32_t> capacities;
        capacities.reserve(numFaces);
        for (std::uint32_t f = 0; f < mesh.numFaces; ++f)
          if (mesh.faces[f].groupId == group) capacities.push_back(mesh.faces[f].cornerCapacity);
        if (!allocateFaceCorners(*part, capacities.data())) throw std::bad_alloc();
      }
      if (hasUVs) {
        part->uvs = allocateArray<MgcVector3>(numUVs);
        part->numUVs = numUVs;
      }
      for (std::uint32_t v = 0; v < mesh.numVertices; ++v) {
        if (vertexMap[v] == zov::kNoIndex) continue;
        part->vertices[vertexMap[v]] = mesh.vertices[v];
        part->worldVertices[vertexMap[v]] = mesh.worldVertices != nullptr ? mesh.worldVertices[v] : mesh.vertices[v];
      }
      for (std::uint32_t u = 0; u < uvMap.size(); ++u)
        if (uvMap[u] != zov::kNoIndex) part->uvs[uvMap[u]] = mesh.uvs[u];
      std::uint32_t written = 0;
      for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
        const mesh_face& face = mesh.faces[f];
        if (face.groupId != group) continue;
        mesh_face& out = part->faces[written];
        copyFace(out, face);
        out.numEdges = 0;
        for (std::uint32_t k = 0; k < face.numVertices; ++k) {
          out.vertices[k] = vertexMap[face.vertices[k]];
          out.uvIndices[k] = hasUVs && face.uvIndices[k] < mesh.numUVs ? uvMap[face.uvIndices[k]] : 0;
        }
        if (mesh.faceNormals != nullptr) part->faceNormals[written] = mesh.faceNormals[f];
        if (mesh.worldFaceNormals != nullptr) part->worldFaceNormals[written] = mesh.worldFaceNormals[f];
        ++written;
      }
      groups.push_back(std::move(part));
    }
  } catch (const std::bad_alloc&) {
    groups.clear();
  }
  return groups;
}

std::unique_ptr<ZOVmesh> BVmesh::joinMeshes(const ZOVmesh& a, const ZOVmesh& b) {
  try {
    auto joined = std::make_unique<ZOVmesh>();
    copyPlacement(a, *joined);
    const std::uint32_t numVertices = a.numVertices + b.numVertices;
    const std::uint32_t numFaces = a.numFaces + b.numFaces;
    const std::uint32_t numUVs = a.numUVs + b.numUVs;
    joined->vertices = allocateArray<MgcVector3>(numVertices);
    joined->worldVertices = allocateArray<MgcVector3>(numVertices);
    joined->numVertices = numVertices;
    joined->faces = allocateArray<mesh_face>(numFaces);
    joined->faceNormals = allocateArray<MgcVector3>(numFaces);
    joined->worldFaceNormals = allocateArray<MgcVector3>(numFaces);
    joined->numFaces = numFaces;
    if (numFaces != 0) {
      std::vector<std::uint32_t> capacities;
      capacities.reserve(numFaces);
      for (std::uint32_t f = 0; f < a.numFaces; ++f) capacities.push_back(a.faces[f].cornerCapacity);
      for (std::uint32_t f = 0; f < b.numFaces; ++f) capacities.push_back(b.faces[f].cornerCapacity);
      if (!allocateFaceCorners(*joined, capacities.data())) throw std::bad_alloc();
    }
    if (numUVs != 0) {
      joined->uvs = allocateArray<MgcVector3>(numUVs);
      joined->numUVs = numUVs;
    }
    auto copyVectors = [](MgcVector3* to, const MgcVector3* from, std::uint32_t n) {
      if (from != nullptr && n != 0) std::memcpy(static_cast<void*>(to), from, n * sizeof(MgcVector3));
    };
    copyVectors(joined->vertices, a.vertices, a.numVertices);
    copyVectors(joined->vertices + a.numVertices, b.vertices, b.numVertices);
    copyVectors(joined->worldVertices, a.worldVertices, a.numVertices);
    copyVectors(joined->worldVertices + a.numVertices, b.worldVertices, b.numVertices);
    copyVectors(joined->faceNormals, a.faceNormals, a.numFaces);
    copyVectors(joined->faceNormals + a.numFaces, b.faceNormals, b.numFaces);
    copyVectors(joined->worldFaceNormals, a.worldFaceNormals, a.numFaces);
    copyVectors(joined->worldFaceNormals + a.numFaces, b.worldFaceNormals, b.numFaces);
    if (numUVs != 0) {
      copyVectors(joined->uvs, a.uvs, a.numUVs);
      copyVectors(joined->uvs + a.numUVs, b.uvs, b.numUVs);
    }
    for (std::uint32_t f = 0; f < a.numFaces; ++f) {
      copyFace(joined->faces[f], a.faces[f]);
      joined->faces[f].numEdges = 0;
    }
    for (std::uint32_t f = 0; f < b.numFaces; ++f) {
      mesh_face& out = joined->faces[a.numFaces + f];
      copyFace(out, b.faces[f]);
      out.numEdges = 0;
      for (std::uint32_t k = 0; k < out.numVertices; ++k) {
        out.vertices[k] += a.numVertices;
        out.uvIndices[k] += a.numUVs;
      }
    }
    return joined;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::uint32_t BVmesh::mergeNestedGroups(std::vector<std::unique_ptr<ZOVmesh>>& groups) {
  constexpr double kInsideTolerance = 1e-5;
  auto liesInside = [&](const ZOVmesh& inner, const ZOVmesh& outer) {
    if (inner.worldVertices == nullptr) return false;
    for (std::uint32_t v = 0; v < inner.numVertices; ++v)
      if (!pointInsideConvexMesh(inner.worldVertices[v], outer, kInsideTolerance)) return false;
    return true;
  };
  std::uint32_t joins = 0;
  for (bool joined = true; joined;) {
    joined = false;
    for (std::size_t outer = 0; outer < groups.size() && !joined; ++outer) {
      for (std::size_t inner = 0; inner < groups.size() && !joined; ++inner) {
        if (inner == outer || groups[inner] == nullptr || groups[outer] == nullptr) continue;
        if (!liesInside(*groups[inner], *groups[outer])) continue;
        std::unique_ptr<ZOVmesh> both = joinMeshes(*groups[outer], *groups[inner]);
        if (both == nullptr) return joins;
        groups[outer] = std::move(both);
        groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(inner));
        ++joins;
        joined = true;
      }
    }
  }
  return joins;
}
