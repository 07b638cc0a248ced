#include "geometry/MeshTouchTests.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "math/PolygonPredicates.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

// Corners of one face that a face-to-face contact needs inside the other face.
constexpr int kTouchingCorners = 3;

std::uint32_t cornerCount(const mesh_face& face) { return heldCorners(face); }

// True when some face of the mesh that uses `vertex` has |offset . n| < tolerance.
bool offsetInPlaneOfFaceAt(const ZOVmesh& mesh, std::uint32_t vertex, const MgcVector3& offset, double tolerance) {
  if (!hasWorldFaces(mesh)) return false;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const mesh_face& face = mesh.faces[f];
    const std::uint32_t corners = cornerCount(face);
    for (std::uint32_t k = 0; k < corners; ++k) {
      if (face.vertices[k] != vertex) continue;
      if (std::fabs(offset.Dot(mesh.worldFaceNormals[f])) < tolerance) return true;
      break;
    }
  }
  return false;
}

// Counts the corners of `face` of `mesh` that lie within the tolerance of the
// other face's plane and inside its polygon; true on reaching three.
bool cornersOnFace(const ZOVmesh& mesh, const mesh_face& face, const MgcVector3* polygon, std::uint32_t count,
                   const MgcVector3& normal, double tolerance) {
  int touching = 0;
  const std::uint32_t corners = cornerCount(face);
  for (std::uint32_t k = 0; k < corners; ++k) {
    const MgcVector3& v = mesh.worldVertices[face.vertices[k]];
    if (std::fabs((v - polygon[0]).Dot(normal)) < tolerance && pointInPolygon(v, polygon, count, normal, tolerance)) {
      if (++touching == kTouchingCorners) return true;
    }
  }
  return false;
}

std::uint32_t gatherCorners(const ZOVmesh& mesh, const mesh_face& face, MgcVector3 polygon[kMaxFaceCorners]) {
  const std::uint32_t corners = cornerCount(face);
  for (std::uint32_t k = 0; k < corners; ++k) polygon[k] = mesh.worldVertices[face.vertices[k]];
  return corners;
}

}  // namespace

bool meshesTouchAtVertices(const ZOVmesh& a, const ZOVmesh& b, const MgcVector3& /*direction*/, double tolerance) {
  if (a.worldVertices == nullptr || b.worldVertices == nullptr || a.numVertices == 0 || b.numVertices == 0)
    return false;
  double best = std::numeric_limits<double>::max();
  std::uint32_t vertexA = 0;
  std::uint32_t vertexB = 0;
  for (std::uint32_t i = 0; i < a.numVertices; ++i) {
    for (std::uint32_t j = 0; j < b.numVertices; ++j) {
      const double distance = (a.worldVertices[i] - b.worldVertices[j]).SquaredLength();
      if (distance < best) {
        best = distance;
        vertexA = i;
        vertexB = j;
      }
    }
  }
  const MgcVector3 offset = a.worldVertices[vertexA] - b.worldVertices[vertexB];
  return offsetInPlaneOfFaceAt(a, vertexA, offset, tolerance) || offsetInPlaneOfFaceAt(b, vertexB, offset, tolerance);
}

bool meshesTouchFaceToFace(const ZOVmesh& a, const ZOVmesh& b, double tolerance) {
  if (!hasWorldFaces(a) || !hasWorldFaces(b)) return false;
  // One polygon buffer per call: the pieces of several bodies may be tested at once.
  MgcVector3 polygon[kMaxFaceCorners];
  for (std::uint32_t i = 0; i < a.numFaces; ++i) {
    const MgcVector3& normalA = a.worldFaceNormals[i];
    for (std::uint32_t j = 0; j < b.numFaces; ++j) {
      const MgcVector3& normalB = b.worldFaceNormals[j];
      if (!(normalA.Dot(normalB) < zov::kOpposedCosine)) continue;
      std::uint32_t count = gatherCorners(b, b.faces[j], polygon);
      if (count > 0 && cornersOnFace(a, a.faces[i], polygon, count, normalB, tolerance)) return true;
      count = gatherCorners(a, a.faces[i], polygon);
      if (count > 0 && cornersOnFace(b, b.faces[j], polygon, count, normalA, tolerance)) return true;
    }
  }
  return false;
}
