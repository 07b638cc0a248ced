#include "geometry/ConvexHull.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "geometry/HullBuilder.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;
using zov::hull::HullBuilder;
using zov::hull::HullFace;

namespace {

/// How far a mesh vertex must lie beyond a hull face to be worth adding.
constexpr double kSupportMargin = 0.1;

/// Rounds of refinement of an approximate hull.
constexpr int kApproxHullRounds = 8;

// A zeroed malloc'd array, as the mesh records free with free(); throws
// std::bad_alloc when memory runs out. Null for n = 0.
template <typename T>
T* allocateZeroed(std::uint32_t n) {
  if (n == 0) return nullptr;
  T* array = static_cast<T*>(std::calloc(n, sizeof(T)));
  if (array == nullptr) throw std::bad_alloc();
  return array;
}

// The area vector of a face's corners: the sum of the cross products of its
// fan triangles, pointing the way the corners wind. Unlike the cross product
// at a single corner it cannot be swamped by rounding where corners run
// nearly straight.
MgcVector3 windingVector(const std::vector<MgcVector3>& vertices, const HullFace& face) {
  MgcVector3 area;
  const std::uint32_t* corners = face.corners;
  const MgcVector3& origin = vertices[corners[0]];
  for (std::uint32_t i = 1; i + 1 < face.numCorners; ++i)
    area += (vertices[corners[i]] - origin).Cross(vertices[corners[i + 1]] - origin);
  return area;
}

std::uint32_t outputFaceCount(const std::vector<HullFace>& faces) {
  std::uint32_t count = 0;
  for (const HullFace& face : faces) {
    const std::uint32_t k = face.numCorners;
    count += k <= kMaxFaceCorners ? 1 : k - 2;
  }
  return count;
}

// Hands each output face to `emit` (corners, corner count, normal): the hull's
// faces in order, each wound counter-clockwise about its normal, a face of
// more than kMaxFaceCorners corners as the fan of triangles from its first
// corner. A single-triangle hull keeps its corners as given.
template <typename Emit>
void forEachOutputFace(const HullBuilder& builder, const std::vector<HullFace>& faces, Emit emit) {
  if (builder.isSingleTriangle()) {
    emit(faces.front().corners, 3u, faces.front().normal);
    return;
  }
  std::uint32_t corners[kMaxFaceCorners];
  for (const HullFace& face : faces) {
    const std::uint32_t* q = face.corners;
    const std::uint32_t k = face.numCorners;
    const bool reversed = windingVector(builder.vertices(), face).Dot(face.normal) < 0.0;
    if (k <= kMaxFaceCorners) {
      for (std::uint32_t j = 0; j < k; ++j) corners[j] = reversed ? q[k - 1 - j] : q[j];
      emit(corners, k, face.normal);
      continue;
    }
    for (std::uint32_t i = 0; i + 2 < k; ++i) {
      corners[0] = q[0];
      corners[1] = reversed ? q[i + 2] : q[i + 1];
      corners[2] = reversed ? q[i + 1] : q[i + 2];
      emit(corners, 3u, face.normal);
    }
  }
}

std::unique_ptr<ZOVmesh> writeMesh(const HullBuilder& builder, const std::vector<HullFace>& faces) {
  auto mesh = std::make_unique<ZOVmesh>();
  const std::vector<MgcVector3>& vertices = builder.vertices();
  mesh->vertices = allocateZeroed<MgcVector3>(static_cast<std::uint32_t>(vertices.size()));
  std::copy(vertices.begin(), vertices.end(), mesh->vertices);
  mesh->numVertices = static_cast<std::uint32_t>(vertices.size());

  const std::uint32_t numFaces = outputFaceCount(faces);
  mesh->faces = allocateZeroed<mesh_face>(numFaces);
  mesh->faceNormals = allocateZeroed<MgcVector3>(numFaces);
  mesh->worldFaceNormals = allocateZeroed<MgcVector3>(numFaces);
  mesh->numFaces = numFaces;
  // Each face gets room for exactly its own corners.
  std::vector<std::uint32_t> counts;
  counts.reserve(numFaces);
  forEachOutputFace(builder, faces,
                    [&](const std::uint32_t*, std::uint32_t count, const MgcVector3&) { counts.push_back(count); });
  if (numFaces != 0 && !allocateFaceCorners(*mesh, counts.data())) throw std::bad_alloc();

  std::uint32_t f = 0;
  forEachOutputFace(builder, faces, [&](const std::uint32_t* corners, std::uint32_t count, const MgcVector3& normal) {
    mesh_face& face = mesh->faces[f];
    face.numVertices = count;
    std::copy(corners, corners + count, face.vertices);
    face.mark = 1;
    mesh->faceNormals[f] = normal;
    ++f;
  });
  if (builder.isSingleTriangle()) mesh->worldFaceNormals[0] = mesh->faceNormals[0];
  return mesh;
}

std::unique_ptr<ZOV_DFmesh> writeDFmesh(const HullBuilder& builder, const std::vector<HullFace>& faces) {
  auto mesh = std::make_unique<ZOV_DFmesh>();
  const std::vector<MgcVector3>& vertices = builder.vertices();
  mesh->vertices = allocateZeroed<MgcVector3>(static_cast<std::uint32_t>(vertices.size()));
  std::copy(vertices.begin(), vertices.end(), mesh->vertices);
  mesh->numVertices = static_cast<std::uint32_t>(vertices.size());

  const std::uint32_t numFaces = outputFaceCount(faces);
  mesh->faces = new DFface[numFaces];
  mesh->numFaces = numFaces;
  mesh->faceNormals = allocateZeroed<MgcVector3>(numFaces);
  mesh->worldFaceNormals = allocateZeroed<MgcVector3>(numFaces);

  std::uint32_t f = 0;
  forEachOutputFace(builder, faces, [&](const std::uint32_t* corners, std::uint32_t count, const MgcVector3& normal) {
    DFface& face = mesh->faces[f];
    if (face.allocate(static_cast<std::int32_t>(count), 1, false) == nullptr) throw std::bad_alloc();
    std::copy(corners, corners + count, face.vertices);
    face.numVertices = count;
    face.normal = normal;
    mesh->faceNormals[f] = normal;
    ++f;
  });
  if (builder.isSingleTriangle()) mesh->worldFaceNormals[0] = mesh->faceNormals[0];
  return mesh;
}

template <typename Mesh>
std::uint32_t farthestSupportPointsOf(const Mesh* mesh, const ZOVmesh* hull, std::uint32_t m, MgcVector3* out) {
  if (mesh == nullptr || hull == nullptr || out == nullptr || m == 0) return 0;
  if (mesh->vertices == nullptr || mesh->numVertices == 0) return 0;
  const std::uint32_t numVertices = mesh->numVertices;
  std::vector<MgcVector3> found;
  found.reserve(std::min(numVertices, hull->numFaces));
  for (std::uint32_t f = 0; f < hull->numFaces && found.size() < numVertices; ++f) {
    if (hull->faces[f].numVertices == 0) continue;
    const MgcVector3& onPlane = hull->vertices[hull->faces[f].vertices[0]];
    const MgcVector3& normal = hull->faceNormals[f];
    // Distances are compared in single precision, so that nearly equal ones
    // resolve to the first vertex.
    std::uint32_t farthest = 0;
    float farthestDistance = static_cast<float>((mesh->vertices[0] - onPlane).Dot(normal));
    for (std::uint32_t i = 1; i < numVertices; ++i) {
      const float distance = static_cast<float>((mesh->vertices[i] - onPlane).Dot(normal));
      if (distance > farthestDistance) {
        farthestDistance = distance;
        farthest = i;
      }
    }
    if (farthestDistance > kSupportMargin) found.push_back(mesh->vertices[farthest]);
  }
  const auto numFound = static_cast<std::uint32_t>(found.size());
  const std::uint32_t k = std::min(numFound, m);
  const std::uint32_t step = std::max(numFound / m, 1u);
  for (std::uint32_t j = 0; j < k; ++j) out[j] = found[j * step];
  return k;
}

template <typename Mesh>
std::unique_ptr<ZOVmesh> approxConvexHullOf(const Mesh* mesh, std::uint32_t budget) {
  if (mesh == nullptr) return nullptr;
  if (mesh->numVertices <= budget) return convexHull(mesh->vertices, mesh->numVertices);
  try {
    const std::uint32_t half = budget / 2;
    std::vector<MgcVector3> sample(half);
    const std::uint32_t numSampled = sampleMeshVertices(mesh, half, sample.data());
    std::unique_ptr<ZOVmesh> hull = convexHull(sample.data(), numSampled);
    if (hull == nullptr) return nullptr;

    std::vector<MgcVector3> support(half);
    std::vector<MgcVector3> points;
    for (int round = 0; round < kApproxHullRounds && hull->numVertices < budget; ++round) {
      // Each new vertex of the rebuilt hull is an old vertex or a support
      // point, so taking no more points than the budget has room for keeps
      // the hull within it.
      const std::uint32_t room = std::min(half, budget - hull->numVertices);
      const std::uint32_t numSupport = farthestSupportPoints(mesh, hull.get(), room, support.data());
      if (numSupport == 0) break;
      points.assign(hull->vertices, hull->vertices + hull->numVertices);
      points.insert(points.end(), support.begin(), support.begin() + numSupport);
      std::unique_ptr<ZOVmesh> rebuilt = convexHull(points.data(), static_cast<std::uint32_t>(points.size()));
      if (rebuilt == nullptr) break;
      hull = std::move(rebuilt);
    }
    return hull;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

std::unique_ptr<ZOVmesh> convexHull(const MgcVector3* points, std::uint32_t n) {
  try {
    HullBuilder builder(points, n);
    if (!builder.build()) return nullptr;
    return writeMesh(builder, builder.faces());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<ZOV_DFmesh> convexHullDF(const MgcVector3* points, std::uint32_t n) {
  try {
    HullBuilder builder(points, n);
    if (!builder.build()) return nullptr;
    return writeDFmesh(builder, builder.faces());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<ZOVmesh> approxConvexHull(const ZOVmesh* mesh, std::uint32_t budget) {
  return approxConvexHullOf(mesh, budget);
}

std::unique_ptr<ZOVmesh> approxConvexHull(const ZOV_DFmesh* mesh, std::uint32_t budget) {
  return approxConvexHullOf(mesh, budget);
}

std::uint32_t sampleMeshVertices(const ZOVmesh* mesh, std::uint32_t n, MgcVector3* out) {
  if (mesh == nullptr || mesh->vertices == nullptr || out == nullptr || n == 0) return 0;
  const std::uint32_t step = mesh->numVertices / n;
  if (step >= 1) {
    for (std::uint32_t i = 0; i < n; ++i) out[i] = mesh->vertices[i * step];
    return n;
  }
  std::copy(mesh->vertices, mesh->vertices + mesh->numVertices, out);
  return mesh->numVertices;
}

std::uint32_t sampleMeshVertices(const ZOV_DFmesh* mesh, std::uint32_t n, MgcVector3* out) {
  if (mesh == nullptr || mesh->vertices == nullptr || out == nullptr || n == 0) return 0;
  const std::uint32_t numVertices = mesh->numVertices;
  const std::uint32_t step = numVertices / n;
  if (step >= 2) {
    for (std::uint32_t i = 0; i < n; ++i) out[i] = mesh->vertices[i * step];
    return n;
  }
  // Too few vertices to skip any: the even ones first, so that a prefix of
  // the sample still spans the whole mesh, then the odd ones.
  std::uint32_t written = 0;
  for (std::uint32_t i = 0; i < numVertices / 2 && written < n; ++i) out[written++] = mesh->vertices[2 * i];
  for (std::uint32_t i = 1; i < numVertices && written < n; i += 2) out[written++] = mesh->vertices[i];
  return written;
}

std::uint32_t farthestSupportPoints(const ZOVmesh* mesh, const ZOVmesh* hull, std::uint32_t m, MgcVector3* out) {
  return farthestSupportPointsOf(mesh, hull, m, out);
}

std::uint32_t farthestSupportPoints(const ZOV_DFmesh* mesh, const ZOVmesh* hull, std::uint32_t m, MgcVector3* out) {
  return farthestSupportPointsOf(mesh, hull, m, out);
}
