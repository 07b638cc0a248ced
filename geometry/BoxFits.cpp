#include "geometry/BoxFits.h"

#include <algorithm>
#include <cmath>

#include "geometry/BVmesh.h"
#include "geometry/CovarianceFit.h"
#include "geometry/PointAccess.h"
#include "math/DistanceQueries.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// Vertices of a mesh that closestMeshFaces visits at most.
constexpr std::uint32_t kVisitedVertices = 512;

template <class PointAt>
ZOVAAbox& bounds(ZOVAAbox& out, std::uint32_t n, PointAt pointAt) {
  if (n == 0) {
    out.min = MgcVector3::ZERO;
    out.max = MgcVector3::ZERO;
    return out;
  }
  out.min = pointAt(0);
  out.max = pointAt(0);
  for (std::uint32_t i = 1; i < n; ++i) {
    const MgcVector3& p = pointAt(i);
    for (int k = 0; k < 3; ++k) {
      if (p[k] < out.min[k])
        out.min[k] = p[k];
      else if (p[k] > out.max[k])
        out.max[k] = p[k];
    }
  }
  return out;
}

/// The covariance box fitted, then moved and sized to the extent of the
/// points along each of its axes.
template <class PointAt>
ZOVbox& orientedBox(ZOVbox& out, std::uint32_t n, PointAt pointAt, const ZOVbox& covarianceFit) {
  out = covarianceFit;
  out.extents = MgcVector3::ZERO;
  out.maxExtent = 0.0;
  if (n == 0) return out;
  MgcVector3 lowest, highest;
  for (int k = 0; k < 3; ++k) {
    const MgcVector3 axis = out.axes.GetColumn(k);
    lowest[k] = highest[k] = (pointAt(0) - out.center).Dot(axis);
    for (std::uint32_t i = 1; i < n; ++i) {
      const double t = (pointAt(i) - out.center).Dot(axis);
      lowest[k] = std::min(lowest[k], t);
      highest[k] = std::max(highest[k], t);
    }
  }
  for (int k = 0; k < 3; ++k) {
    out.center += out.axes.GetColumn(k) * ((lowest[k] + highest[k]) * 0.5);
    out.extents[k] = (highest[k] - lowest[k]) * 0.5;
  }
  out.maxExtent = std::max({out.extents.x, out.extents.y, out.extents.z});
  return out;
}

template <class PointAt>
void capsuleAround(std::uint32_t n, PointAt pointAt, const MgcVector3& origin, const MgcVector3& direction,
                   MgcVector3& endA, MgcVector3& endB, double& radius) {
  // The radius: the largest distance of a point from the fitted line.
  double radiusSq = 0.0;
  const double directionSq = direction.Dot(direction);
  for (std::uint32_t i = 0; i < n; ++i) {
    const MgcVector3& p = pointAt(i);
    const double t = (p - origin).Dot(direction) / directionSq;
    radiusSq = std::max(radiusSq, (origin + direction * t - p).SquaredLength());
  }

  // A frame (U, V, W) along the line.
  MgcVector3 U = direction;
  U.Unitize(zov::kUnitizeTolerance);
  MgcVector3 V;
  if (std::fabs(U.x) >= std::fabs(U.y)) {
    V = MgcVector3(-U.z, 0.0, U.x) / std::sqrt(U.x * U.x + U.z * U.z);
  } else {
    V = MgcVector3(0.0, U.z, -U.y) / std::sqrt(U.y * U.y + U.z * U.z);
  }
  const MgcVector3 W = U.Cross(V);

  // Each point lies in a sphere of the full radius whose centre on the line
  // is within [s - h, s + h] of its own position s along the line: the
  // segment ends are drawn in to the tightest positions that hold them all.
  double lowEnd = zov::kMaxFloat;
  double highEnd = -zov::kMaxFloat;
  for (std::uint32_t i = 0; i < n; ++i) {
    const MgcVector3 d = pointAt(i) - origin;
    const double a = V.Dot(d);
    const double b = W.Dot(d);
    const double s = U.Dot(d);
    const double h = std::sqrt(std::fabs(radiusSq - (a * a + b * b)));
    lowEnd = std::min(lowEnd, s + h);
    highEnd = std::max(highEnd, s - h);
  }
  if (highEnd > lowEnd) {
    endA = origin + direction * lowEnd;
    endB = origin + direction * highEnd;
  } else {
    endA = endB = origin + direction * ((lowEnd + highEnd) * 0.5);
  }
  radius = std::sqrt(radiusSq);
}

/// The visiting stride of closestMeshFaces for a mesh of `count` vertices.
std::uint32_t visitingStride(std::uint32_t count) { return count < kVisitedVertices ? 1 : count / kVisitedVertices; }

bool hasSearchData(const BVmesh& volume) {
  const ZOVmesh* mesh = volume.getMesh();
  return mesh != nullptr && volume.isConnectVertex() && volume.getNumVertices() == mesh->numVertices &&
         mesh->worldVertices != nullptr && mesh->worldFaceNormals != nullptr;
}

/// The world-space corners of a face, at most kMaxFaceCorners; returns their number.
std::uint32_t faceCorners(const ZOVmesh& mesh, std::uint32_t face, MgcVector3* out) {
  const mesh_face& record = mesh.faces[face];
  const std::uint32_t count = heldCorners(record);
  for (std::uint32_t k = 0; k < count; ++k) out[k] = mesh.worldVertices[record.vertices[k]];
  return count;
}

}  // namespace

ZOVAAbox& pointListBounds(ZOVAAbox& out, std::uint32_t n, const MgcVector3* points) {
  return bounds(out, points != nullptr ? n : 0, zov::DirectPoints{points});
}

ZOVAAbox& pointListBounds(ZOVAAbox& out, std::uint32_t n, const std::uint32_t* index, const MgcVector3* points) {
  return bounds(out, points != nullptr && index != nullptr ? n : 0, zov::IndexedPoints{index, points});
}

ZOVbox& fitOrientedBox(ZOVbox& out, std::uint32_t n, const MgcVector3* points) {
  if (points == nullptr) n = 0;
  ZOVbox fit;
  fitBoxToPoints(n, points, fit);
  return orientedBox(out, n, zov::DirectPoints{points}, fit);
}

ZOVbox& fitOrientedBox(ZOVbox& out, std::uint32_t n, const std::uint32_t* index, const MgcVector3* points) {
  if (points == nullptr || index == nullptr) n = 0;
  ZOVbox fit;
  fitBoxToPoints(n, index, points, fit);
  return orientedBox(out, n, zov::IndexedPoints{index, points}, fit);
}

void fitCapsule(std::uint32_t n, const MgcVector3* points, MgcVector3& endA, MgcVector3& endB, double& radius) {
  if (points == nullptr) n = 0;
  MgcVector3 origin, direction;
  fitLineToPoints(n, points, origin, direction);
  capsuleAround(n, zov::DirectPoints{points}, origin, direction, endA, endB, radius);
}

void fitCapsule(std::uint32_t n, const std::uint32_t* index, const MgcVector3* points, MgcVector3& endA,
                MgcVector3& endB, double& radius) {
  if (points == nullptr || index == nullptr) n = 0;
  MgcVector3 origin, direction;
  fitLineToPoints(n, index, points, origin, direction);
  capsuleAround(n, zov::IndexedPoints{index, points}, origin, direction, endA, endB, radius);
}

double closestMeshFaces(const BVmesh& a, const BVmesh& b, std::uint32_t& vertexA, std::uint32_t& vertexB,
                        std::uint32_t& faceA, std::uint32_t& faceB, MgcVector3& pointA, MgcVector3& pointB) {
  vertexA = vertexB = faceA = faceB = zov::kNoIndex;
  if (!hasSearchData(a) || !hasSearchData(b)) return zov::kMaxFloat;
  const ZOVmesh& meshA = *a.getMesh();
  const ZOVmesh& meshB = *b.getMesh();
  const std::uint32_t strideA = visitingStride(meshA.numVertices);
  const std::uint32_t strideB = visitingStride(meshB.numVertices);

  double best = zov::kMaxFloat;
  double bestVertexDistanceSq = 0.0;
  for (std::uint32_t va = 0; va < meshA.numVertices; va += strideA) {
    const MgcVector3& pa = meshA.worldVertices[va];
    const connect_vertex& aroundA = a.getConnectVertex(va);
    for (std::uint32_t i = 0; i < aroundA.numFaces; ++i) {
      const std::uint32_t fa = aroundA.faces[i];
      const MgcVector3& na = meshA.worldFaceNormals[fa];
      for (std::uint32_t vb = 0; vb < meshB.numVertices; vb += strideB) {
        const MgcVector3& pb = meshB.worldVertices[vb];
        const connect_vertex& aroundB = b.getConnectVertex(vb);
        for (std::uint32_t j = 0; j < aroundB.numFaces; ++j) {
          const std::uint32_t fb = aroundB.faces[j];
          if (na.Dot(meshB.worldFaceNormals[fb]) >= -zov::kTolerance) continue;
          const double d = (pa - pb).Dot(na);
          const double dSq = d * d;
          const double vertexDistanceSq = (pa - pb).SquaredLength();
          const bool closer = dSq < best;
          const bool tieWithCloserVertices =
              std::fabs(dSq - best) < zov::kTolerance && bestVertexDistanceSq > vertexDistanceSq;
          if (!closer && !tieWithCloserVertices) continue;
          vertexA = va;
          vertexB = vb;
          faceA = fa;
          faceB = fb;
          best = dSq;
          bestVertexDistanceSq = vertexDistanceSq;
        }
      }
    }
  }
  if (faceA == zov::kNoIndex) return zov::kMaxFloat;

  MgcVector3 polygonA[kMaxFaceCorners];
  MgcVector3 polygonB[kMaxFaceCorners];
  const std::uint32_t countA = faceCorners(meshA, faceA, polygonA);
  const std::uint32_t countB = faceCorners(meshB, faceB, polygonB);
  return polygonPolygonDistanceSq(polygonA, countA, meshA.worldFaceNormals[faceA], polygonB, countB,
                                  meshB.worldFaceNormals[faceB], pointA, pointB);
}
