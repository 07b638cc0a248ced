#include "geometry/ZOV_DFmesh.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

template <typename T>
void freeDFArray(T*& array) {
  std::free(array);
  array = nullptr;
}

// A zeroed index array of n entries; null for n = 0 and on failure (which the
// caller tells apart by n).
std::uint32_t* newIndexArray(std::uint32_t n) {
  if (n == 0) return nullptr;
  return static_cast<std::uint32_t*>(std::calloc(n, sizeof(std::uint32_t)));
}

// Drops the face's per-corner arrays and gives it new ones for `capacity`
// corners and `numLayers` layers. False when an allocation fails: the face is
// then left with no arrays and zero counts. Every array is zeroed, so that a
// face copied before all corners are written never carries stale indices.
bool replaceCornerArrays(DFface& face, std::uint32_t capacity, std::uint32_t numLayers, bool extra) {
  face.destroy();
  const std::uint32_t layers = std::min(numLayers, kMaxUVLayers);
  bool ok = true;
  auto make = [&](std::uint32_t*& array) {
    array = newIndexArray(capacity);
    if (capacity != 0 && array == nullptr) ok = false;
  };
  make(face.vertices);
  make(face.uvIndices);
  if (extra) make(face.extraIndices);
  make(face.cornerData);
  for (std::uint32_t layer = 1; layer < layers; ++layer) make(face.layerUVIndices[layer - 1]);
  make(face.list);

  if (!ok) {
    face.destroy();
    face.numVertices = face.capacity = 0;
    face.numList = face.listCapacity = 0;
    face.numLayers = 0;
    return false;
  }
  face.numLayers = static_cast<std::uint8_t>(layers);
  face.numVertices = 0;
  face.capacity = capacity;
  face.numList = 0;
  face.listCapacity = capacity;
  return true;
}

}  // namespace

DFface::DFface()
    : numVertices(0),
      capacity(0),
      vertices(nullptr),
      uvIndices(nullptr),
      cornerData(nullptr),
      layerUVIndices{},
      extraIndices(nullptr),
      numList(0),
      listCapacity(0),
      list(nullptr),
      mark(0),
      faceFlags(0),
      pieceId(0),
      faceByte(0),
      numLayers(0) {}

DFface::~DFface() { destroy(); }

void DFface::destroy() {
  freeDFArray(vertices);
  freeDFArray(uvIndices);
  freeDFArray(extraIndices);
  freeDFArray(cornerData);
  for (std::uint32_t*& layer : layerUVIndices) freeDFArray(layer);
  freeDFArray(list);
}

DFface* DFface::allocate(std::int32_t newCapacity, std::uint32_t layers, bool extra) {
  if (newCapacity < 0) return nullptr;
  const bool ok = replaceCornerArrays(*this, static_cast<std::uint32_t>(newCapacity), layers, extra);
  normal = Mgc::MgcVector3::ZERO;
  normal2 = Mgc::MgcVector3::ZERO;
  pieceId = 0;
  faceByte = 0;
  mark = 1;
  return ok ? this : nullptr;
}

void allocateBufferChannels(DFface* face, std::uint32_t capacity, std::uint32_t numLayers, bool extra) {
  if (face == nullptr || capacity == 0) return;
  if (!replaceCornerArrays(*face, capacity, numLayers, extra)) throw std::bad_alloc();
}

ZOV_DFmesh::ZOV_DFmesh()
    : MeshPlacement(Mgc::MgcMatrix3::IDENTITY, Mgc::MgcVector3(1.0, 1.0, 1.0)),
      numFaces(0),
      faces(nullptr),
      numVertices(0),
      vertices(nullptr),
      worldVertices(nullptr),
      faceNormals(nullptr),
      worldFaceNormals(nullptr),
      numUVs(0),
      uvs(nullptr),
      uvLayers{},
      numExtraPoints(0),
      extraPoints(nullptr),
      numAuxPoints(0),
      auxPoints(nullptr),
      vertexData(nullptr),
      hasVertexData(0),
      numMeshGroups(0),
      numUVLayers(0),
      dfWord(0),
      dfFlags(0) {}

ZOV_DFmesh::~ZOV_DFmesh() {
  freeDFArray(uvs);
  for (Mgc::MgcVector3*& layer : uvLayers) freeDFArray(layer);
  freeDFArray(extraPoints);
  freeDFArray(vertices);
  freeDFArray(worldVertices);
  freeDFArray(faceNormals);
  freeDFArray(worldFaceNormals);
  freeDFArray(auxPoints);
  freeDFArray(vertexData);
  delete[] faces;
  faces = nullptr;
  numFaces = 0;
  numUVLayers = 0;
  dfWord = 0;
  dfFlags = 0;
  numAuxPoints = 0;
  numVertices = 0;
  numUVs = 0;
  numExtraPoints = 0;
}
