#include "geometry/ZOVmesh.h"

#include <algorithm>
#include <cstdlib>

#include "geometry/SharedFaces.h"

namespace {

template <typename T>
void freeAndNull(T*& array) {
  std::free(array);
  array = nullptr;
}

}  // namespace

ZOVmesh::ZOVmesh()
    : MeshPlacement(Mgc::MgcMatrix3::IDENTITY, Mgc::MgcVector3(1.0, 1.0, 1.0)),
      numFaces(0),
      faces(nullptr),
      faceCorners(nullptr),
      numVertices(0),
      numUVs(0),
      vertices(nullptr),
      worldVertices(nullptr),
      uvs(nullptr),
      faceNormals(nullptr),
      worldFaceNormals(nullptr),
      vertexData(nullptr),
      hasVertexData(0),
      numMeshGroups(0),
      meshFlags(0) {}

ZOVmesh::~ZOVmesh() {
  freeAndNull(uvs);
  freeAndNull(vertices);
  freeAndNull(worldVertices);
  freeAndNull(faceNormals);
  freeAndNull(worldFaceNormals);
  freeAndNull(vertexData);
  releaseFaceTables(*this);
}

std::uint32_t* allocateCornerBlock(mesh_face* faces, std::uint32_t numFaces, const std::uint32_t* counts) {
  auto capacityOf = [counts](std::uint32_t f) {
    return counts == nullptr ? kMaxFaceCorners : std::min(counts[f], kMaxFaceCorners);
  };
  std::size_t total = 0;
  for (std::uint32_t f = 0; f < numFaces; ++f) total += capacityOf(f);
  // Three arrays a face; one spare entry so that faces without corners still
  // get a block of their own.
  auto* block = static_cast<std::uint32_t*>(std::calloc(3 * total + 1, sizeof(std::uint32_t)));
  if (block == nullptr) return nullptr;
  std::uint32_t* next = block;
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    mesh_face& face = faces[f];
    face.cornerCapacity = capacityOf(f);
    face.vertices = next;
    face.uvIndices = next + face.cornerCapacity;
    face.edges = next + 2 * face.cornerCapacity;
    next += 3 * face.cornerCapacity;
  }
  return block;
}

bool allocateFaceCorners(ZOVmesh& mesh, const std::uint32_t* counts) {
  if (mesh.faces == nullptr || mesh.numFaces == 0) return false;
  // The new lists are written into the face records.
  if (!ownFaceTables(mesh)) return false;
  std::uint32_t* block = allocateCornerBlock(mesh.faces, mesh.numFaces, counts);
  if (block == nullptr) return false;
  std::free(mesh.faceCorners);
  mesh.faceCorners = block;
  return true;
}

void copyFace(mesh_face& to, const mesh_face& from) {
  // Records that share their storage already hold the same corners.
  if (to.vertices != from.vertices) {
    const std::uint32_t n = std::min(to.cornerCapacity, from.cornerCapacity);
    std::copy(from.vertices, from.vertices + n, to.vertices);
    std::copy(from.uvIndices, from.uvIndices + n, to.uvIndices);
    std::copy(from.edges, from.edges + n, to.edges);
  }
  to.numVertices = from.numVertices;
  to.numEdges = from.numEdges;
  to.mark = from.mark;
  to.faceFlags = from.faceFlags;
  to.groupId = from.groupId;
  to.tag = from.tag;
}

bool isWellFormed(const ZOVmesh* mesh) {
  if (mesh == nullptr) return false;
  if (mesh->numFaces != 0 && mesh->faces == nullptr) return false;
  if (mesh->numVertices != 0 && mesh->vertices == nullptr) return false;
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    const mesh_face& face = mesh->faces[f];
    if (face.numVertices > kMaxFaceCorners || face.numVertices > face.cornerCapacity) return false;
    for (std::uint32_t k = 0; k < face.numVertices; ++k)
      if (face.vertices[k] >= mesh->numVertices) return false;
  }
  return true;
}
