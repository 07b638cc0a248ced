#include "geometry/MeshDistance.h"

#include "math/DistanceQueries.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;
using zov::kTolerance;

namespace {

// Copies a face's corners (at most kMaxFaceCorners) into `polygon`; returns the count.
std::uint32_t gatherFace(const ZOVmesh& mesh, std::uint32_t face, MgcVector3 polygon[kMaxFaceCorners]) {
  const mesh_face& record = mesh.faces[face];
  const std::uint32_t count = heldCorners(record);
  for (std::uint32_t k = 0; k < count; ++k) polygon[k] = mesh.worldVertices[record.vertices[k]];
  return count;
}

}  // namespace

double closestFacePair(const ZOVmesh& meshA, const ZOVmesh& meshB, std::uint32_t& faceA, std::uint32_t& faceB,
                       MgcVector3& pointA, MgcVector3& pointB) {
  double best = zov::kMaxFloat;
  faceA = zov::kNoIndex;
  faceB = zov::kNoIndex;
  if (!hasWorldFaces(meshA) || !hasWorldFaces(meshB)) return best;

  MgcVector3 polygonA[kMaxFaceCorners];
  MgcVector3 polygonB[kMaxFaceCorners];
  for (std::uint32_t i = 0; i < meshA.numFaces; ++i) {
    const MgcVector3& normalA = meshA.worldFaceNormals[i];
    const std::uint32_t countA = gatherFace(meshA, i, polygonA);
    for (std::uint32_t j = 0; j < meshB.numFaces; ++j) {
      const MgcVector3& normalB = meshB.worldFaceNormals[j];
      // Faces that look the same way cannot hold the closest pair.
      if (!(normalA.Dot(normalB) < kTolerance)) continue;
      const std::uint32_t countB = gatherFace(meshB, j, polygonB);
      MgcVector3 closestA;
      MgcVector3 closestB;
      const double distance =
          polygonPolygonDistanceSq(polygonA, countA, normalA, polygonB, countB, normalB, closestA, closestB);
      if (distance < best) {
        best = distance;
        faceA = i;
        faceB = j;
        pointA = closestA;
        pointB = closestB;
      }
    }
  }
  return best;
}
