#include "geometry/MassProperties.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "math/Finite.h"
#include "math/SymmetricEigen.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

// Divisors of the accumulated sums: volume, first moments, second moments and
// products.
constexpr double kVolumeFactor = 1.0 / 6.0;
constexpr double kFirstMomentFactor = 1.0 / 24.0;
constexpr double kSecondMomentFactor = 1.0 / 60.0;
constexpr double kProductFactor = 1.0 / 120.0;

// How far, relative to the size rounding can reach, the integrals of a
// surface may move with the origin and the surface still count as closed.
constexpr double kClosureTolerance = 1e-9;

// One face's corners as indices into the vertex array.
struct FaceCorners {
  const std::uint32_t* indices = nullptr;
  std::uint32_t count = 0;
};

// The two mesh records reach a face's indices differently: inline in a
// ZOVmesh face (at most kMaxFaceCorners), through a pointer in a DFface.
// A face whose record cannot hold its count gets no corners.
FaceCorners cornersOf(const ZOVmesh& mesh, std::uint32_t f) {
  const mesh_face& face = mesh.faces[f];
  if (face.numVertices > kMaxFaceCorners || face.numVertices > face.cornerCapacity) return {};
  return {face.vertices, face.numVertices};
}

FaceCorners cornersOf(const ZOV_DFmesh& mesh, std::uint32_t f) {
  const DFface& face = mesh.faces[f];
  if (face.vertices == nullptr) return {};
  return {face.vertices, face.numVertices};
}

template <typename Mesh>
bool hasFaces(const Mesh& mesh) {
  return mesh.faces != nullptr && mesh.vertices != nullptr;
}

template <typename Mesh>
bool indicesInRange(const Mesh& mesh, const FaceCorners& corners) {
  for (std::uint32_t k = 0; k < corners.count; ++k)
    if (corners.indices[k] >= mesh.numVertices) return false;
  return true;
}

// Calls visit(p0, p1, p2) for every fan triangle (i0, ik, ik+1) of every face
// with at least three corners, the vertices scaled component-wise and taken
// relative to `origin`. Faces whose
// indices leave the vertex array are skipped.
template <typename Mesh, typename Visit>
void forEachFanTriangle(const Mesh& mesh, const MgcVector3& scale, Visit visit, const MgcVector3& origin = {}) {
  if (!hasFaces(mesh)) return;
  auto point = [&](std::uint32_t i) {
    const MgcVector3& v = mesh.vertices[i];
    return MgcVector3(v.x * scale.x - origin.x, v.y * scale.y - origin.y, v.z * scale.z - origin.z);
  };
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const FaceCorners corners = cornersOf(mesh, f);
    if (corners.count < 3 || !indicesInRange(mesh, corners)) continue;
    const MgcVector3 p0 = point(corners.indices[0]);
    for (std::uint32_t k = 1; k + 1 < corners.count; ++k)
      visit(p0, point(corners.indices[k]), point(corners.indices[k + 1]));
  }
}

// The ten volume integrals of a unit-density solid.
struct Integrals {
  double volume = 0.0;
  MgcVector3 first;   // ∫x, ∫y, ∫z
  MgcVector3 second;  // ∫x², ∫y², ∫z²
  double xy = 0.0, yz = 0.0, zx = 0.0;
};

// Per-axis polynomial terms of one triangle with coordinates w0, w1, w2.
struct AxisTerms {
  double f1, f2, f3, g0, g1, g2;
};

AxisTerms axisTerms(double w0, double w1, double w2) {
  AxisTerms a;
  a.f1 = w0 + w1 + w2;
  const double t = w0 * w0 + w1 * (w0 + w1);
  a.f2 = t + w2 * a.f1;
  a.f3 = w0 * w0 * w0 + w1 * t + w2 * a.f2;
  a.g0 = a.f2 + w0 * (a.f1 + w0);
  a.g1 = a.f2 + w1 * (a.f1 + w1);
  a.g2 = a.f2 + w2 * (a.f1 + w2);
  return a;
}

// By the divergence theorem each integral over the solid becomes a sum over
// its boundary triangles of the triangle's (unnormalised) normal times a
// polynomial in its corner coordinates.
template <typename Mesh>
Integrals integrate(const Mesh& mesh, const MgcVector3& scale, const MgcVector3& origin = {}) {
  double s1 = 0.0, sx = 0.0, sy = 0.0, sz = 0.0, sxx = 0.0, syy = 0.0, szz = 0.0;
  double sxy = 0.0, syz = 0.0, szx = 0.0;
  forEachFanTriangle(
      mesh, scale,
      [&](const MgcVector3& p0, const MgcVector3& p1, const MgcVector3& p2) {
        const MgcVector3 d = (p1 - p0).Cross(p2 - p0);
        const AxisTerms x = axisTerms(p0.x, p1.x, p2.x);
        const AxisTerms y = axisTerms(p0.y, p1.y, p2.y);
        const AxisTerms z = axisTerms(p0.z, p1.z, p2.z);
        s1 += d.x * x.f1;
        sx += d.x * x.f2;
        sy += d.y * y.f2;
        sz += d.z * z.f2;
        sxx += d.x * x.f3;
        syy += d.y * y.f3;
        szz += d.z * z.f3;
        sxy += d.x * (p0.y * x.g0 + p1.y * x.g1 + p2.y * x.g2);
        syz += d.y * (p0.z * y.g0 + p1.z * y.g1 + p2.z * y.g2);
        szx += d.z * (p0.x * z.g0 + p1.x * z.g1 + p2.x * z.g2);
      },
      origin);
  Integrals in;
  in.volume = s1 * kVolumeFactor;
  in.first = MgcVector3(sx, sy, sz) * kFirstMomentFactor;
  in.second = MgcVector3(sxx, syy, szz) * kSecondMomentFactor;
  in.xy = sxy * kProductFactor;
  in.yz = syz * kProductFactor;
  in.zx = szx * kProductFactor;
  return in;
}

// Unit-density inertia about the origin: moments on the diagonal, minus the
// products of inertia off it.
MgcMatrix3 inertiaAboutOrigin(const Integrals& in) {
  const MgcVector3& s = in.second;
  return {s.y + s.z, -in.xy, -in.zx, -in.xy, s.x + s.z, -in.yz, -in.zx, -in.yz, s.x + s.y};
}

// An inertia tensor of a real body has no negative eigenvalue.
bool hasNonNegativeEigenvalues(const MgcMatrix3& tensor) {
  MgcMatrix3 work = tensor;
  double diag[3];
  double sub[3];
  zov::symmetricTridiagonalize(work, diag, sub);
  if (!zov::tridiagonalQL(3, diag, sub, work)) return false;
  zov::sortEigenSystem(3, diag, work);
  return diag[0] >= -zov::kTolerance && diag[1] >= -zov::kTolerance && diag[2] >= -zov::kTolerance;
}

// The box of the mesh's vertices scaled by `scale`; false when there is no
// vertex or a position is not finite.
template <typename Mesh>
bool scaledVertexBox(const Mesh& mesh, const MgcVector3& scale, MgcVector3& low, MgcVector3& high) {
  if (mesh.numVertices == 0 || mesh.vertices == nullptr) return false;
  for (std::uint32_t i = 0; i < mesh.numVertices; ++i) {
    const MgcVector3& v = mesh.vertices[i];
    const MgcVector3 p(v.x * scale.x, v.y * scale.y, v.z * scale.z);
    if (!zov::isFinite(p)) return false;
    if (i == 0) low = high = p;
    low = MgcVector3(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
    high = MgcVector3(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
  }
  return true;
}

double largestMagnitude(const MgcVector3& v) { return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}); }

// Whether `in`, the integrals of the mesh scaled by `scale` about the origin,
// come from a closed surface. Over a closed surface the integrals are those
// of the solid it bounds, which stays where it is when the origin moves: the
// volume keeps its value and the moments move by the parallel-axis rules.
// Over an open surface they also hold the flux through what is missing,
// which depends on the origin. Unlike a count of edges met in each direction
// this takes a surface whose faces meet at T-junctions (a vertex of one face
// on an edge of another, as subdivided faces leave) as the closed surface it
// is.
template <typename Mesh>
bool closedAbout(const Mesh& mesh, const MgcVector3& scale, const Integrals& in) {
  if (!hasFaces(mesh) || mesh.numFaces == 0) return false;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f)
    if (!indicesInRange(mesh, cornersOf(mesh, f))) return false;
  MgcVector3 low, high;
  if (!scaledVertexBox(mesh, scale, low, high)) return false;
  const double size = largestMagnitude(high - low);
  if (!(size > 0.0)) return false;

  // An origin off every axis of the box, so that an opening facing any way
  // shows.
  const MgcVector3 o = (low + high) * 0.5 + MgcVector3(0.75, -1.25, 1.5) * size;
  const Integrals moved = integrate(mesh, scale, o);
  double area = 0.0;
  forEachFanTriangle(mesh, scale, [&](const MgcVector3& p0, const MgcVector3& p1, const MgcVector3& p2) {
    area += 0.5 * (p1 - p0).Cross(p2 - p0).Length();
  });
  if (!(area > 0.0)) return false;

  // Rounding grows with the area and with the coordinates' size to the
  // power of each integral's degree.
  const double reach =
      std::max({largestMagnitude(low), largestMagnitude(high), largestMagnitude(low - o), largestMagnitude(high - o)});
  const double bound1 = kClosureTolerance * area * reach;
  const double bound2 = bound1 * reach;
  const double bound3 = bound2 * reach;
  auto near = [](double actual, double expected, double bound) { return std::fabs(actual - expected) <= bound; };
  const double V = in.volume;
  const MgcVector3& m = in.first;
  const MgcVector3& s = in.second;
  return near(moved.volume, V, bound1) && near(moved.first.x, m.x - o.x * V, bound2) &&
         near(moved.first.y, m.y - o.y * V, bound2) && near(moved.first.z, m.z - o.z * V, bound2) &&
         near(moved.second.x, s.x - 2.0 * o.x * m.x + o.x * o.x * V, bound3) &&
         near(moved.second.y, s.y - 2.0 * o.y * m.y + o.y * o.y * V, bound3) &&
         near(moved.second.z, s.z - 2.0 * o.z * m.z + o.z * o.z * V, bound3) &&
         near(moved.xy, in.xy - o.x * m.y - o.y * m.x + o.x * o.y * V, bound3) &&
         near(moved.yz, in.yz - o.y * m.z - o.z * m.y + o.y * o.z * V, bound3) &&
         near(moved.zx, in.zx - o.z * m.x - o.x * m.z + o.z * o.x * V, bound3);
}

// `in` holds the integrals of the mesh scaled by `scale`.
template <typename Mesh>
bool isValidSolid(const Mesh& mesh, const MgcVector3& scale, const Integrals& in) {
  return in.volume >= zov::kTolerance && hasNonNegativeEigenvalues(inertiaAboutOrigin(in)) &&
         closedAbout(mesh, scale, in);
}

template <typename Mesh>
bool closedSurface(const Mesh& mesh) {
  const MgcVector3 unit(1.0, 1.0, 1.0);
  return closedAbout(mesh, unit, integrate(mesh, unit));
}

template <typename Mesh>
double computeMassProperties(const Mesh& mesh, MgcVector3& center) {
  const Integrals in = integrate(mesh, MgcVector3(1.0, 1.0, 1.0));
  if (mesh.numVertices == 0 || mesh.vertices == nullptr) {
    center = MgcVector3();
    return in.volume;
  }
  const MgcVector3 candidate = in.first / in.volume;
  MgcVector3 low = mesh.vertices[0];
  MgcVector3 high = mesh.vertices[0];
  for (std::uint32_t i = 1; i < mesh.numVertices; ++i) {
    const MgcVector3& v = mesh.vertices[i];
    low = MgcVector3(std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z));
    high = MgcVector3(std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z));
  }
  const bool inside = low.x < candidate.x && candidate.x < high.x && low.y < candidate.y && candidate.y < high.y &&
                      low.z < candidate.z && candidate.z < high.z;
  center = inside && isValidSolid(mesh, MgcVector3(1.0, 1.0, 1.0), in) ? candidate : (low + high) * 0.5;
  return in.volume;
}

template <typename Mesh>
double volumeOf(const Mesh& mesh) {
  double s1 = 0.0;
  forEachFanTriangle(mesh, MgcVector3(1.0, 1.0, 1.0),
                     [&](const MgcVector3& p0, const MgcVector3& p1, const MgcVector3& p2) {
                       s1 += (p1 - p0).Cross(p2 - p0).x * (p0.x + p1.x + p2.x);
                     });
  return s1 * kVolumeFactor;
}

// Equal point masses at the scaled vertices, each of unit mass.
MgcMatrix3 pointMassInertia(const ZOVmesh& mesh, const MgcVector3& scale) {
  MgcMatrix3 tensor;
  for (std::uint32_t i = 0; i < mesh.numVertices; ++i) {
    const MgcVector3& v = mesh.vertices[i];
    const double x = v.x * scale.x, y = v.y * scale.y, z = v.z * scale.z;
    tensor[0][0] += y * y + z * z;
    tensor[1][1] += x * x + z * z;
    tensor[2][2] += x * x + y * y;
    tensor[0][1] -= x * y;
    tensor[0][2] -= z * x;
    tensor[1][2] -= z * y;
  }
  tensor[1][0] = tensor[0][1];
  tensor[2][0] = tensor[0][2];
  tensor[2][1] = tensor[1][2];
  return tensor;
}

}  // namespace

double ComputeMassProperties(const ZOVmesh& mesh, MgcVector3& center) { return computeMassProperties(mesh, center); }

double ComputeMassProperties(const ZOV_DFmesh& mesh, MgcVector3& center) { return computeMassProperties(mesh, center); }

double meshVolume(const ZOVmesh& mesh) { return volumeOf(mesh); }

double meshVolume(const ZOV_DFmesh& mesh) { return volumeOf(mesh); }

bool isClosedMesh(const ZOVmesh& mesh) { return closedSurface(mesh); }

bool isClosedMesh(const ZOV_DFmesh& mesh) { return closedSurface(mesh); }

MgcMatrix3 computeMassPropertiesInertia(const ZOVmesh& mesh, double mass, const MgcVector3& center,
                                        const MgcVector3& scale) {
  if (mesh.numVertices == 0 || mesh.vertices == nullptr) return MgcMatrix3();
  const Integrals in = integrate(mesh, scale);
  MgcMatrix3 tensor;
  if (isValidSolid(mesh, scale, in)) {
    tensor = inertiaAboutOrigin(in) * (mass / in.volume);
  } else {
    tensor = pointMassInertia(mesh, scale) * (mass / mesh.numVertices);
  }
  // Parallel axes: from the origin to the centre.
  const MgcVector3& c = center;
  tensor[0][0] -= mass * (c.y * c.y + c.z * c.z);
  tensor[1][1] -= mass * (c.x * c.x + c.z * c.z);
  tensor[2][2] -= mass * (c.x * c.x + c.y * c.y);
  tensor[0][1] += mass * c.x * c.y;
  tensor[0][2] += mass * c.z * c.x;
  tensor[1][2] += mass * c.y * c.z;
  tensor[1][0] = tensor[0][1];
  tensor[2][0] = tensor[0][2];
  tensor[2][1] = tensor[1][2];
  return tensor;
}
