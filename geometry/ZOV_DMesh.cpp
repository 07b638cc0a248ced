#include "geometry/ZOV_DMesh.h"

#include <algorithm>

namespace {

// Fills `list` with the n values of `array` in array order: appending links at
// the front, so the array is walked backwards. A null array adds nothing.
template <typename T>
void fillInOrder(EngineList<T>& list, const T* array, std::uint32_t n) {
  if (array == nullptr) return;
  for (std::uint32_t i = n; i-- > 0;) list.append(array[i]);
}

}  // namespace

ZOV_DMesh::ZOV_DMesh()
    : MeshPlacement(Mgc::MgcMatrix3(), Mgc::MgcVector3()), numMeshGroups(0), numUVLayers(0), dfWord(0), dfFlags(0) {}

ZOV_DMesh::ZOV_DMesh(const ZOV_DFmesh* source) : ZOV_DMesh() {
  if (source == nullptr) return;
  if (source->faces != nullptr)
    for (std::uint32_t i = source->numFaces; i-- > 0;) faceList.append(&source->faces[i]);
  fillInOrder(vertexList, source->vertices, source->numVertices);
  fillInOrder(vertexList2, source->vertices, source->numVertices);
  fillInOrder(uvList, source->uvs, source->numUVs);
  numUVLayers = source->numUVLayers;
  const std::uint32_t layers = std::min(source->numUVLayers, kMaxUVLayers);
  for (std::uint32_t layer = 1; layer < layers; ++layer)
    fillInOrder(uvLayerLists[layer - 1], source->uvLayers[layer - 1], source->numUVs);
  fillInOrder(normalList, source->faceNormals, source->numFaces);
  fillInOrder(worldNormalList, source->worldFaceNormals, source->numFaces);
  numMeshGroups = source->numMeshGroups;
  dfFlags = source->dfFlags;
  dfWord = source->dfWord;
}

ZOV_DMesh::ZOV_DMesh(const ZOV_DMesh& other) : ZOV_DMesh() { *this = other; }
