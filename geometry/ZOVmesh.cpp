#include "geometry/ZOVmesh.h"

#include <cstdlib>

namespace {

template <typename T>
void freeAndNull(T*& array) {
  std::free(array);
  array = nullptr;
}

}  // namespace

// The radii are set by whoever builds the mesh; they start at 0 so that a
// copy of an unfinished record never reads indeterminate values.
ZOVmesh::ZOVmesh()
    : numFaces(0),
      faces(nullptr),
      numVertices(0),
      numUVs(0),
      vertices(nullptr),
      worldVertices(nullptr),
      uvs(nullptr),
      faceNormals(nullptr),
      worldFaceNormals(nullptr),
      vertexData(nullptr),
      hasVertexData(0),
      radius(0.0),
      worldRadius(0.0),
      rotation(Mgc::MgcMatrix3::IDENTITY),
      scale(1.0, 1.0, 1.0),
      numMeshGroups(0),
      meshFlags(0) {}

ZOVmesh::~ZOVmesh() {
  freeAndNull(uvs);
  freeAndNull(vertices);
  freeAndNull(worldVertices);
  freeAndNull(faceNormals);
  freeAndNull(worldFaceNormals);
  freeAndNull(vertexData);
  freeAndNull(faces);
}
