#include "src/meshes/cutFaceTags.h"

#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>

int findUncutFaceOfVertex(int vertex, const MIntArray& faces, const MFnMesh& mesh, int& position) {
  for (unsigned int i = 0; i < faces.length(); ++i) {
    int value = 0;
    if (!mesh.getIntBlindData(faces[i], MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, value))
      value = 0;
    if (value != 0) continue;
    MIntArray vertices;
    mesh.getPolygonVertices(faces[i], vertices);
    position = -1;
    for (unsigned int k = 0; k < vertices.length(); ++k)
      if (vertices[k] == vertex) {
        position = static_cast<int>(k);
        break;
      }
    return faces[i];
  }
  return -1;
}
