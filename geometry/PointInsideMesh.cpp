#include "geometry/PointInsideMesh.h"

#include <cmath>

#include "geometry/MeshTransforms.h"
#include "math/MgcMath.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;
using zov::kTolerance;

namespace {

// The first corner of a face, or false when the face has none that is a vertex.
bool firstCorner(const ZOVmesh& mesh, std::uint32_t face, std::uint32_t& vertex) {
  const mesh_face& record = mesh.faces[face];
  if (record.numVertices == 0) return false;
  vertex = record.vertices[0];
  return vertex < mesh.numVertices;
}

bool firstCorner(const ZOV_DFmesh& mesh, std::uint32_t face, std::uint32_t& vertex) {
  const DFface& record = mesh.faces[face];
  if (record.numVertices == 0 || record.vertices == nullptr) return false;
  vertex = record.vertices[0];
  return vertex < mesh.numVertices;
}

template <typename Mesh>
std::uint32_t localFaceCount(const Mesh& mesh) {
  const bool usable = mesh.faces != nullptr && mesh.vertices != nullptr && mesh.faceNormals != nullptr;
  return usable ? mesh.numFaces : 0;
}

template <typename Mesh>
MgcVector3 toLocal(const Mesh& mesh, const MgcVector3& world) {
  const MgcVector3 rotated = mesh.rotation.Transpose() * (world - mesh.translation);
  return {rotated.x / mesh.scale.x, rotated.y / mesh.scale.y, rotated.z / mesh.scale.z};
}

template <typename Mesh>
MgcVector3 toWorld(const Mesh& mesh, const MgcVector3& local) {
  const MgcVector3 scaled(local.x * mesh.scale.x, local.y * mesh.scale.y, local.z * mesh.scale.z);
  return mesh.rotation * scaled + mesh.translation;
}

// Signed distance of a local point in front of a face's plane; false for a
// face that has no usable first corner.
template <typename Mesh>
bool faceDistance(const Mesh& mesh, std::uint32_t face, const MgcVector3& local, double& distance) {
  std::uint32_t vertex = 0;
  if (!firstCorner(mesh, face, vertex)) return false;
  distance = (local - mesh.vertices[vertex]).Dot(mesh.faceNormals[face]);
  return true;
}

// The mean of the local vertices: inside a convex mesh.
template <typename Mesh>
MgcVector3 vertexMean(const Mesh& mesh) {
  MgcVector3 sum;
  for (std::uint32_t i = 0; i < mesh.numVertices; ++i) sum += mesh.vertices[i];
  return mesh.numVertices > 0 ? sum / static_cast<double>(mesh.numVertices) : sum;
}

// A pass through the face planes can leave the point in front of a face that
// it passed earlier: moving back through one face leads out through another
// at an acute edge. Such a point is drawn towards the centre of the (convex)
// mesh until it has passed every face plane in front of it, by `factor` times
// the distance that takes, and never beyond the centre. A point that the pass
// left inside, within the tolerance, stays where it is.
template <typename Mesh>
MgcVector3 finishInside(const Mesh& mesh, const MgcVector3& local, double factor) {
  const std::uint32_t numFaces = localFaceCount(mesh);
  bool outside = false;
  for (std::uint32_t f = 0; f < numFaces && !outside; ++f) {
    double distance = 0.0;
    outside = faceDistance(mesh, f, local, distance) && distance > kTolerance;
  }
  if (!outside) return local;

  const MgcVector3 center = vertexMean(mesh);
  double entry = 0.0;  // fraction of the way to the centre where the last plane is passed
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    double distance = 0.0;
    double centerDistance = 0.0;
    if (!faceDistance(mesh, f, local, distance) || distance <= 0.0) continue;
    faceDistance(mesh, f, center, centerDistance);
    const double fraction = distance > centerDistance ? distance / (distance - centerDistance) : 1.0;
    if (fraction > entry) entry = fraction;
  }
  const double travel = entry * factor < 1.0 ? entry * factor : 1.0;
  return local + (center - local) * travel;
}

template <typename Mesh>
void pushInside(const Mesh& mesh, MgcVector3& point, double margin, bool nearestFace) {
  const std::uint32_t numFaces = localFaceCount(mesh);
  const double factor = 1.0 + margin;

  if (nearestFace) {
    if (numFaces == 0) return;
    MgcVector3 local = toLocal(mesh, point);
    double best = zov::kMaxFloat;
    std::uint32_t bestFace = zov::kNoIndex;
    double bestDistance = 0.0;
    for (std::uint32_t f = 0; f < numFaces; ++f) {
      double distance = 0.0;
      if (faceDistance(mesh, f, local, distance) && std::fabs(distance) < best) {
        best = std::fabs(distance);
        bestFace = f;
        bestDistance = distance;
      }
    }
    if (bestFace == zov::kNoIndex) return;
    local -= mesh.faceNormals[bestFace] * (factor * bestDistance);
    point = toWorld(mesh, local);
    return;
  }

  const double draw = Mgc::Math::UnitRandom(0.0);
  if (numFaces == 0) return;
  // UnitRandom may return exactly 1: that start is face 0 as well.
  std::uint32_t start = static_cast<std::uint32_t>(numFaces * draw);
  if (start >= numFaces) start = 0;

  MgcVector3 local = toLocal(mesh, point);
  for (std::uint32_t step = 0; step < numFaces; ++step) {
    const std::uint32_t f = (start + step) % numFaces;
    double distance = 0.0;
    if (faceDistance(mesh, f, local, distance) && distance > kTolerance)
      local -= mesh.faceNormals[f] * (factor * distance);
  }
  local = finishInside(mesh, local, factor);
  point = toWorld(mesh, local);
}

// Whether the local point lies in the box [-half - tol, half + tol] per axis.
bool withinHalfExtents(const MgcVector3& offset, const MgcVector3& half, double tolerance) {
  for (int i = 0; i < 3; ++i) {
    if (-half[i] > offset[i] + tolerance || offset[i] - tolerance > half[i]) return false;
  }
  return true;
}

}  // namespace

void makePointInsideMesh(const ZOVmesh& mesh, MgcVector3& point, double margin, bool nearestFace) {
  pushInside(mesh, point, margin, nearestFace);
}

void makePointInsideMesh(const ZOV_DFmesh& mesh, MgcVector3& point, double margin, bool nearestFace) {
  pushInside(mesh, point, margin, nearestFace);
}

void makePointInsideOBB(const ZOVbox& box, MgcVector3& point) {
  constexpr double kBoxMargin = 1e-5;
  ZOVmesh boxMesh;
  meshFromOBB(box, &boxMesh);
  makePointInsideMesh(boxMesh, point, kBoxMargin, false);
}

bool pointInsideConvexMesh(const MgcVector3& point, const ZOVmesh& mesh, double tolerance) {
  const std::uint32_t numFaces = localFaceCount(mesh);
  if (numFaces == 0) return true;
  const MgcVector3 local = toLocal(mesh, point);
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    double distance = 0.0;
    if (faceDistance(mesh, f, local, distance) && distance > tolerance) return false;
  }
  return true;
}

bool segmentOverlapsConvexMesh(const MgcVector3& end0, const MgcVector3& end1, const ZOVmesh& mesh) {
  const std::uint32_t numFaces = localFaceCount(mesh);
  if (numFaces == 0) return true;
  const MgcVector3 local0 = toLocal(mesh, end0);
  const MgcVector3 local1 = toLocal(mesh, end1);
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    double distance0 = 0.0;
    double distance1 = 0.0;
    if (faceDistance(mesh, f, local0, distance0) && faceDistance(mesh, f, local1, distance1) &&
        distance0 > kTolerance && distance1 > kTolerance)
      return false;
  }
  return true;
}

bool pointsInsideConvexMesh(const ZOVmesh* mesh, const MgcVector3* points, std::uint32_t count, double tolerance) {
  if (mesh == nullptr) return false;
  const std::uint32_t numFaces = localFaceCount(*mesh);
  for (std::uint32_t f = 0; f < numFaces; ++f) {
    for (std::uint32_t i = 0; i < count; ++i) {
      double distance = 0.0;
      if (faceDistance(*mesh, f, points[i], distance) && distance > tolerance) return false;
    }
  }
  return true;
}

bool aabbContainsPoint(const MgcVector3& point, const ZOVAAbox& box, double tolerance) {
  const MgcVector3 center = (box.min + box.max) * 0.5;
  const MgcVector3 half = (box.max - box.min) * 0.5;
  return withinHalfExtents(point - center, half, tolerance);
}

bool obbContainsPoint(const MgcVector3& point, const ZOVbox& box, double tolerance) {
  const MgcVector3 local = box.axes.Transpose() * (point - box.center);
  return withinHalfExtents(local, box.extents, tolerance);
}
