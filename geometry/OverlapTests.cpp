#include "geometry/OverlapTests.h"

#include <cmath>

#include "math/DistanceQueries.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;
using zov::kTolerance;

namespace {

// The interval of a triangle's corners projected on an axis.
void projectTriangle(const MgcVector3 tri[3], const MgcVector3& axis, double& low, double& high) {
  low = high = axis.Dot(tri[0]);
  for (int i = 1; i < 3; ++i) {
    const double value = axis.Dot(tri[i]);
    if (value < low) low = value;
    if (value > high) high = value;
  }
}

bool separatedOn(const MgcVector3& axis, const MgcVector3 A[3], const MgcVector3 B[3]) {
  double lowA, highA, lowB, highB;
  projectTriangle(A, axis, lowA, highA);
  projectTriangle(B, axis, lowB, highB);
  return lowB > highA || lowA > highB;
}

template <typename Mesh>
int classifyVertices(const Mesh& mesh, const MgcVector3& planeNormal, const MgcVector3& planePoint) {
  MgcVector3 normal = planeNormal;
  const double squaredLength = normal.SquaredLength();
  if (squaredLength < zov::kUnitLow || squaredLength > zov::kUnitHigh) normal.Unitize(zov::kUnitizeTolerance);
  bool front = false;
  bool behind = false;
  if (mesh.worldVertices != nullptr) {
    for (std::uint32_t i = 0; i < mesh.numVertices; ++i) {
      const double distance = normal.Dot(mesh.worldVertices[i] - planePoint);
      front = front || distance >= kTolerance;
      behind = behind || distance <= -kTolerance;
    }
  }
  if (!behind) return 1;
  return front ? 0 : -1;
}

}  // namespace

bool aabbOverlap(const ZOVAAbox& a, const ZOVAAbox& b) {
  const MgcVector3 centerA = (a.min + a.max) * 0.5;
  const MgcVector3 centerB = (b.min + b.max) * 0.5;
  const MgcVector3 halfA = (a.max - a.min) * 0.5;
  const MgcVector3 halfB = (b.max - b.min) * 0.5;
  for (int i = 0; i < 3; ++i)
    if (halfA[i] + halfB[i] < std::fabs(centerA[i] - centerB[i])) return false;
  return true;
}

bool obbOverlap(const ZOVbox& a, const ZOVbox& b) {
  const MgcVector3 axisA[3] = {a.axes.GetColumn(0), a.axes.GetColumn(1), a.axes.GetColumn(2)};
  const MgcVector3 axisB[3] = {b.axes.GetColumn(0), b.axes.GetColumn(1), b.axes.GetColumn(2)};
  const MgcVector3& ea = a.extents;
  const MgcVector3& eb = b.extents;
  const MgcVector3 T = b.center - a.center;

  double R[3][3];
  double absR[3][3];
  double TA[3];  // T in A's frame
  for (int i = 0; i < 3; ++i) {
    TA[i] = T.Dot(axisA[i]);
    for (int j = 0; j < 3; ++j) {
      R[i][j] = axisA[i].Dot(axisB[j]);
      absR[i][j] = std::fabs(R[i][j]);
    }
  }

  for (int i = 0; i < 3; ++i) {
    const double radiusB = absR[i][0] * eb[0] + absR[i][1] * eb[1] + absR[i][2] * eb[2];
    if (std::fabs(TA[i]) > ea[i] + radiusB) return false;
  }
  for (int j = 0; j < 3; ++j) {
    const double radiusA = absR[0][j] * ea[0] + absR[1][j] * ea[1] + absR[2][j] * ea[2];
    if (std::fabs(T.Dot(axisB[j])) > radiusA + eb[j]) return false;
  }
  for (int i = 0; i < 3; ++i) {
    const int i1 = (i + 1) % 3;
    const int i2 = (i + 2) % 3;
    for (int j = 0; j < 3; ++j) {
      const int j1 = (j + 1) % 3;
      const int j2 = (j + 2) % 3;
      const double distance = std::fabs(TA[i2] * R[i1][j] - TA[i1] * R[i2][j]);
      const double radius = ea[i1] * absR[i2][j] + ea[i2] * absR[i1][j] + eb[j1] * absR[i][j2] + eb[j2] * absR[i][j1];
      if (distance > radius) return false;
    }
  }
  return true;
}

bool obbPlaneOverlap(const ZOVbox& box, const MgcVector3& planePoint, const MgcVector3& planeNormal) {
  double radius = 0.0;
  for (int i = 0; i < 3; ++i) radius += std::fabs(box.axes.GetColumn(i).Dot(planeNormal)) * box.extents[i];
  return radius > (box.center - planePoint).Dot(planeNormal);
}

bool segmentPlaneOverlap(const ZOVcapsule& capsule, const MgcVector3& planePoint, const MgcVector3& planeNormal) {
  const double d0 = (upperEnd(capsule) - planePoint).Dot(planeNormal);
  const double d1 = (lowerEnd(capsule) - planePoint).Dot(planeNormal);
  return d0 * d1 <= 0.0 || capsule.radius >= std::fabs(d0) || capsule.radius >= std::fabs(d1);
}

bool capsuleCapsuleOverlap(const ZOVcapsule& a, const ZOVcapsule& b) {
  double s = 0.0;
  double t = 0.0;
  const double distance = distanceSq_seg2seg(lowerEnd(a), upperEnd(a), lowerEnd(b), upperEnd(b), s, t);
  const double reach = a.radius + b.radius;
  return reach * reach >= distance;
}

bool capsuleTriangleOverlap(const ZOVcapsule& capsule, const MgcVector3 triangle[3]) {
  const MgcVector3 upper = upperEnd(capsule);
  const MgcVector3 lower = lowerEnd(capsule);
  double r = 0.0, s = 0.0, t = 0.0;
  const double distance = (upper - lower).SquaredLength() > kTolerance
                              ? segmentTriangleDistanceSq(upper, lower, triangle, r, s, t)
                              : distanceSq_pt2tri(upper, triangle, s, t);
  return capsule.radius * capsule.radius > distance;
}

bool triTriOverlap(const MgcVector3 A[3], const MgcVector3& normalA, const MgcVector3 B[3], const MgcVector3& normalB,
                   double margin) {
  // A's plane against B's corners, then B's plane against A's corners: these
  // two face axes are the only ones the margin widens.
  double low, high;
  const double offsetA = normalA.Dot(A[0]);
  projectTriangle(B, normalA, low, high);
  if (low - margin > offsetA || offsetA > high + margin) return false;
  const double offsetB = normalB.Dot(B[0]);
  projectTriangle(A, normalB, low, high);
  if (low - margin > offsetB || offsetB > high + margin) return false;

  const MgcVector3 edgesA[3] = {A[1] - A[0], A[2] - A[1], A[0] - A[2]};
  const MgcVector3 edgesB[3] = {B[1] - B[0], B[2] - B[1], B[0] - B[2]};
  if (normalA.Cross(normalB).SquaredLength() < kTolerance) {
    // Parallel planes: the in-plane normals of the edges of both triangles.
    for (int i = 0; i < 3; ++i)
      if (separatedOn(normalA.Cross(edgesA[i]), A, B)) return false;
    for (int j = 0; j < 3; ++j)
      if (separatedOn(normalB.Cross(edgesB[j]), A, B)) return false;
    return true;
  }
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i)
      if (separatedOn(edgesA[i].Cross(edgesB[j]), A, B)) return false;
  return true;
}

bool triTriOverlapExact(const MgcVector3 A[3], const MgcVector3& normalA, const MgcVector3 B[3],
                        const MgcVector3& normalB) {
  return triTriOverlap(A, normalA, B, normalB, 0.0);
}

bool pointsAbovePlane(const MgcVector3* points, std::uint32_t count, const MgcVector3& planePoint,
                      const MgcVector3& planeNormal) {
  for (std::uint32_t i = 0; i < count; ++i)
    if ((points[i] - planePoint).Dot(planeNormal) < -kTolerance) return false;
  return true;
}

int classifyMeshAgainstPlane(const ZOVmesh& mesh, const MgcVector3& planeNormal, const MgcVector3& planePoint) {
  return classifyVertices(mesh, planeNormal, planePoint);
}

int classifyMeshAgainstPlane(const ZOV_DFmesh& mesh, const MgcVector3& planeNormal, const MgcVector3& planePoint) {
  return classifyVertices(mesh, planeNormal, planePoint);
}
