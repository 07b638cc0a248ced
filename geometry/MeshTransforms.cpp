#include "geometry/MeshTransforms.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "geometry/SharedFaces.h"
#include "geometry/VolumeMath.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector2;
using Mgc::MgcVector3;

namespace {

constexpr std::uint32_t kBoxFaces = 6;
constexpr std::uint32_t kQuadCorners = 4;

// Corner indices (into the obbCorners order) of the box's six quads: +a, -a,
// +b, -b, +c, -c. Their winding is fixed up to face outward when they are built.
constexpr std::uint32_t kBoxQuads[kBoxFaces][kQuadCorners] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {6, 5, 1, 0},
                                                              {7, 3, 2, 4}, {3, 7, 6, 0}, {4, 2, 1, 5}};

MgcVector3 dividedBy(const MgcVector3& v, const MgcVector3& s) { return {v.x / s.x, v.y / s.y, v.z / s.z}; }

// A sphere of radius r scaled by s fits in a sphere of radius r * max |s_i|;
// any smaller factor lets a stretched mesh poke out of its bounding sphere.
double largestAbsComponent(const MgcVector3& s) { return std::max({std::fabs(s.x), std::fabs(s.y), std::fabs(s.z)}); }

void storeTransform(double radius, const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s, double& worldRadius,
                    MgcVector3& translation, MgcMatrix3& rotation, MgcVector3& scale) {
  worldRadius = radius * largestAbsComponent(s);
  scale = s;
  rotation = R;
  translation = t;
}

// The two mesh records share the field names the transforms touch.
template <typename Mesh>
void transformSRT(Mesh* mesh, const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s) {
  if (mesh == nullptr) return;
  // Scaling by exactly one changes no bit: a unit scale (the common case, a
  // body placed every time it moves) skips its products and quotients.
  const bool unitScale = s.x == 1.0 && s.y == 1.0 && s.z == 1.0;
  if (mesh->vertices != nullptr && mesh->worldVertices != nullptr) {
    for (std::uint32_t i = 0; i < mesh->numVertices; ++i) {
      const MgcVector3& v = mesh->vertices[i];
      mesh->worldVertices[i] = R * (unitScale ? v : zov::scaledBy(s, v)) + t;
    }
  }
  // Normals transform with the inverse transpose of R*S, which is R*S^-1.
  if (mesh->faceNormals != nullptr && mesh->worldFaceNormals != nullptr) {
    for (std::uint32_t i = 0; i < mesh->numFaces; ++i) {
      const MgcVector3& n = mesh->faceNormals[i];
      MgcVector3 normal = R * (unitScale ? n : dividedBy(n, s));
      normal.Unitize(zov::kUnitizeTolerance);
      mesh->worldFaceNormals[i] = normal;
    }
  }
  mesh->worldCenter = R * zov::scaledBy(s, mesh->center) + t;
  storeTransform(mesh->radius, t, R, s, mesh->worldRadius, mesh->translation, mesh->rotation, mesh->scale);
}

template <typename Mesh>
void transformTRS(Mesh* mesh, const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s) {
  if (mesh == nullptr) return;
  if (mesh->vertices != nullptr && mesh->worldVertices != nullptr) {
    for (std::uint32_t i = 0; i < mesh->numVertices; ++i)
      mesh->worldVertices[i] = zov::scaledBy(s, R * (mesh->vertices[i] + t));
  }
  // The inverse transpose of S*R is S^-1*R.
  if (mesh->faceNormals != nullptr && mesh->worldFaceNormals != nullptr) {
    for (std::uint32_t i = 0; i < mesh->numFaces; ++i) {
      MgcVector3 normal = dividedBy(R * mesh->faceNormals[i], s);
      normal.Unitize(zov::kUnitizeTolerance);
      mesh->worldFaceNormals[i] = normal;
    }
  }
  mesh->worldCenter = zov::scaledBy(s, R * (mesh->center + t));
  storeTransform(mesh->radius, t, R, s, mesh->worldRadius, mesh->translation, mesh->rotation, mesh->scale);
}

ZOVbox boxOf(const ZOVAAbox& box) {
  ZOVbox oriented;
  oriented.center = (box.min + box.max) * 0.5;
  oriented.axes = MgcMatrix3::IDENTITY;
  oriented.extents = (box.max - box.min) * 0.5;
  return oriented;
}

template <typename T>
T* callocArray(std::uint32_t n) {
  return static_cast<T*>(std::calloc(n, sizeof(T)));
}

// One outward quad of the box: its corner order (reversed when the given
// winding faces inward) and its world normal.
struct BoxQuad {
  std::uint32_t corners[kQuadCorners];
  MgcVector3 worldNormal;
};

BoxQuad outwardQuad(const ZOVbox& box, const MgcVector3 world[kBoxCorners], std::uint32_t face) {
  const std::uint32_t* quad = kBoxQuads[face];
  const MgcVector3& w1 = world[quad[1]];
  const MgcVector3& w2 = world[quad[2]];
  const MgcVector3& w3 = world[quad[3]];
  BoxQuad result;
  result.worldNormal = (w2 - w1).Cross(w3 - w2);
  result.worldNormal.Unitize(zov::kUnitizeTolerance);
  const bool inward = (box.center - w1).Dot(result.worldNormal) > zov::kTolerance;
  if (inward) result.worldNormal = -result.worldNormal;
  for (std::uint32_t k = 0; k < kQuadCorners; ++k) result.corners[k] = inward ? quad[kQuadCorners - 1 - k] : quad[k];
  return result;
}

// Writes the box's vertices, normals and frame into arrays already sized for
// it; the face corners are written by the caller, whose face records differ.
template <typename Mesh>
void writeBoxGeometry(const ZOVbox& box, Mesh* mesh, BoxQuad quads[kBoxFaces]) {
  const MgcMatrix3 toLocal = box.axes.Transpose();
  obbCorners(box, mesh->worldVertices);
  for (std::uint32_t i = 0; i < kBoxCorners; ++i) mesh->vertices[i] = toLocal * (mesh->worldVertices[i] - box.center);
  mesh->numVertices = kBoxCorners;
  mesh->numFaces = kBoxFaces;
  mesh->rotation = box.axes;
  mesh->translation = box.center;
  mesh->center = MgcVector3::ZERO;
  mesh->worldCenter = box.center;
  for (std::uint32_t f = 0; f < kBoxFaces; ++f) {
    quads[f] = outwardQuad(box, mesh->worldVertices, f);
    mesh->worldFaceNormals[f] = quads[f].worldNormal;
    mesh->faceNormals[f] = toLocal * quads[f].worldNormal;
  }
}

// New vertex arrays for the box when the mesh's are too small (or missing).
// A per-vertex data array, when there is one, is replaced too so that it never
// has fewer entries than numVertices; its contents no longer apply.
struct VertexArrays {
  MgcVector3* vertices = nullptr;
  MgcVector3* worldVertices = nullptr;
  MgcVector3* vertexData = nullptr;
  bool replace = false;

  template <typename Mesh>
  bool allocateFor(const Mesh* mesh) {
    replace = mesh->numVertices < kBoxCorners || mesh->vertices == nullptr || mesh->worldVertices == nullptr;
    if (!replace) return true;
    vertices = callocArray<MgcVector3>(kBoxCorners);
    worldVertices = callocArray<MgcVector3>(kBoxCorners);
    if (mesh->vertexData != nullptr) vertexData = callocArray<MgcVector3>(kBoxCorners);
    return vertices != nullptr && worldVertices != nullptr && (mesh->vertexData == nullptr || vertexData != nullptr);
  }
  /// Frees the new arrays: the mesh keeps its own.
  void discard() {
    std::free(vertices);
    std::free(worldVertices);
    std::free(vertexData);
  }
  /// The mesh's arrays are freed and these take their place.
  template <typename Mesh>
  void replaceIn(Mesh* mesh) {
    if (!replace) return;
    std::free(mesh->vertices);
    std::free(mesh->worldVertices);
    mesh->vertices = vertices;
    mesh->worldVertices = worldVertices;
    if (vertexData != nullptr) {
      std::free(mesh->vertexData);
      mesh->vertexData = vertexData;
      mesh->hasVertexData = 0;
    }
  }
};

struct NormalArrays {
  MgcVector3* faceNormals = nullptr;
  MgcVector3* worldFaceNormals = nullptr;

  bool allocate() {
    faceNormals = callocArray<MgcVector3>(kBoxFaces);
    worldFaceNormals = callocArray<MgcVector3>(kBoxFaces);
    return faceNormals != nullptr && worldFaceNormals != nullptr;
  }
  /// Frees the new arrays: the mesh keeps its own.
  void discard() {
    std::free(faceNormals);
    std::free(worldFaceNormals);
  }
  /// The mesh's arrays are freed and these take their place.
  template <typename Mesh>
  void replaceIn(Mesh* mesh) {
    std::free(mesh->faceNormals);
    std::free(mesh->worldFaceNormals);
    mesh->faceNormals = faceNormals;
    mesh->worldFaceNormals = worldFaceNormals;
  }
};

template <typename Mesh>
bool needsNewFaces(const Mesh* mesh) {
  return mesh->numFaces < kBoxFaces || mesh->faces == nullptr || mesh->faceNormals == nullptr ||
         mesh->worldFaceNormals == nullptr;
}

}  // namespace

void meshTransformSRT(ZOVmesh* mesh, const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s) {
  transformSRT(mesh, t, R, s);
}

void meshTransformSRT(ZOV_DFmesh* mesh, const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s) {
  transformSRT(mesh, t, R, s);
}

void meshTransformTRS(ZOVmesh* mesh, const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s) {
  transformTRS(mesh, t, R, s);
}

void meshTransformTRS(ZOV_DFmesh* mesh, const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s) {
  transformTRS(mesh, t, R, s);
}

void generateOrthonormalBasis(const MgcVector3& d, MgcVector3& u, MgcVector3& v) {
  // Build u from the two components that include the larger of |x| and |y|,
  // so that the normalising length is never the smaller pair's.
  if (std::fabs(d.x) >= std::fabs(d.y)) {
    const double k = 1.0 / std::sqrt(d.x * d.x + d.z * d.z);
    u = MgcVector3(-d.z * k, 0.0, d.x * k);
  } else {
    const double k = 1.0 / std::sqrt(d.y * d.y + d.z * d.z);
    u = MgcVector3(0.0, d.z * k, -d.y * k);
  }
  v = d.Cross(u);
}

void basisFromNormal(const MgcVector3& n, MgcMatrix3& frame) {
  MgcVector3 w = n;
  if (w.SquaredLength() > zov::kUnitHigh) w.Unitize(zov::kUnitizeTolerance);
  MgcVector3 u, v;
  generateOrthonormalBasis(w, u, v);
  frame = MgcMatrix3(u.x, u.y, u.z, v.x, v.y, v.z, w.x, w.y, w.z);
}

void triangleUVAtPoint(const MgcVector3& p, const MgcVector3& n, const MgcVector3& e1, const MgcVector3& e2,
                       const MgcVector2& uEdge, const MgcVector2& vEdge, float& u, float& v) {
  MgcMatrix3 frame;
  basisFromNormal(n, frame);
  const MgcVector3 a = frame * e1;
  const MgcVector3 b = frame * e2;
  const MgcVector3 q = frame * p;

  // The inverse of the 2x2 matrix with rows a and b (in-plane coordinates);
  // a degenerate triangle gives the zero matrix and so u = v = 0.
  double inverse[2][2] = {{0.0, 0.0}, {0.0, 0.0}};
  const double det = a.x * b.y - a.y * b.x;
  if (std::fabs(det) > zov::kUnitizeTolerance) {
    inverse[0][0] = b.y / det;
    inverse[0][1] = -a.y / det;
    inverse[1][0] = -b.x / det;
    inverse[1][1] = a.x / det;
  }
  const MgcVector2 k1(inverse[0][0] * uEdge.x + inverse[0][1] * uEdge.y,
                      inverse[1][0] * uEdge.x + inverse[1][1] * uEdge.y);
  const MgcVector2 k2(inverse[0][0] * vEdge.x + inverse[0][1] * vEdge.y,
                      inverse[1][0] * vEdge.x + inverse[1][1] * vEdge.y);
  u = static_cast<float>(q.x * k1.x + q.y * k1.y);
  v = static_cast<float>(q.x * k2.x + q.y * k2.y);
}

MgcVector3 computeFaceCenter(const MgcVector3* points, std::uint32_t n) {
  MgcVector3 sum;
  for (std::uint32_t i = 0; i < n; ++i) sum += points[i];
  return sum / static_cast<double>(n);
}

void obbCorners(const ZOVbox& box, MgcVector3 out[8]) {
  const MgcVector3 a = box.axes.GetColumn(0) * box.extents.x;
  const MgcVector3 b = box.axes.GetColumn(1) * box.extents.y;
  const MgcVector3 c = box.axes.GetColumn(2) * box.extents.z;
  out[0] = a + b + c + box.center;
  out[1] = a + b - c + box.center;
  out[2] = a - b - c + box.center;
  out[3] = a - b + c + box.center;
  out[4] = -(a + b + c) + box.center;
  out[5] = -(a - b + c) + box.center;
  out[6] = -(a - b - c) + box.center;
  out[7] = -(a + b - c) + box.center;
}

void aabbCorners(const ZOVAAbox& box, MgcVector3 out[8]) { obbCorners(boxOf(box), out); }

void meshFromOBB(const ZOVbox& box, ZOVmesh* mesh) {
  if (mesh == nullptr) return;
  // The box's faces are written into the mesh's.
  if (!ownFaceTables(*mesh)) return;
  VertexArrays vertexArrays;
  NormalArrays normalArrays;
  mesh_face* faces = nullptr;
  std::uint32_t* corners = nullptr;
  // Kept faces must each have room for a quad.
  bool newFaces = needsNewFaces(mesh);
  for (std::uint32_t f = 0; !newFaces && f < kBoxFaces; ++f) newFaces = mesh->faces[f].cornerCapacity < kQuadCorners;
  bool ok = vertexArrays.allocateFor(mesh);
  if (ok && newFaces) {
    faces = callocArray<mesh_face>(kBoxFaces);
    const std::uint32_t quadCorners[kBoxFaces] = {kQuadCorners, kQuadCorners, kQuadCorners,
                                                  kQuadCorners, kQuadCorners, kQuadCorners};
    if (faces != nullptr) corners = allocateCornerBlock(faces, kBoxFaces, quadCorners);
    ok = corners != nullptr && normalArrays.allocate();
  }
  if (!ok) {
    vertexArrays.discard();
    normalArrays.discard();
    std::free(faces);
    std::free(corners);
    return;
  }

  vertexArrays.replaceIn(mesh);
  if (newFaces) {
    normalArrays.replaceIn(mesh);
    std::free(mesh->faces);
    std::free(mesh->faceCorners);
    mesh->faces = faces;
    mesh->faceCorners = corners;
    for (std::uint32_t f = 0; f < kBoxFaces; ++f) mesh->faces[f].mark = 1;
  }
  BoxQuad quads[kBoxFaces];
  writeBoxGeometry(box, mesh, quads);
  for (std::uint32_t f = 0; f < kBoxFaces; ++f) {
    mesh_face& face = mesh->faces[f];
    face.numVertices = kQuadCorners;
    for (std::uint32_t k = 0; k < kQuadCorners; ++k) face.vertices[k] = quads[f].corners[k];
  }
}

void meshFromOBB(const ZOVbox& box, ZOV_DFmesh* mesh) {
  if (mesh == nullptr) return;
  VertexArrays vertexArrays;
  NormalArrays normalArrays;
  DFface* faces = nullptr;
  const bool newFaces = needsNewFaces(mesh);
  bool ok = vertexArrays.allocateFor(mesh);
  if (ok && newFaces) {
    faces = new (std::nothrow) DFface[kBoxFaces];
    ok = faces != nullptr && normalArrays.allocate();
    for (std::uint32_t f = 0; ok && f < kBoxFaces; ++f) ok = faces[f].allocate(kQuadCorners, 1, false) != nullptr;
  }
  if (!ok) {
    vertexArrays.discard();
    normalArrays.discard();
    delete[] faces;
    return;
  }

  vertexArrays.replaceIn(mesh);
  if (newFaces) {
    normalArrays.replaceIn(mesh);
    delete[] mesh->faces;
    mesh->faces = faces;
  }
  BoxQuad quads[kBoxFaces];
  writeBoxGeometry(box, mesh, quads);
  for (std::uint32_t f = 0; f < kBoxFaces; ++f) {
    DFface& face = mesh->faces[f];
    // A kept face too small for a quad gets room for one; should that fail it
    // stays without corners rather than being overrun.
    if ((face.capacity < kQuadCorners || face.vertices == nullptr) && face.allocate(kQuadCorners, 1, false) == nullptr)
      continue;
    face.numVertices = kQuadCorners;
    for (std::uint32_t k = 0; k < kQuadCorners; ++k) face.vertices[k] = quads[f].corners[k];
  }
}

void meshFromAABB(const ZOVAAbox& box, ZOVmesh* mesh) { meshFromOBB(boxOf(box), mesh); }

void meshFromAABB(const ZOVAAbox& box, ZOV_DFmesh* mesh) { meshFromOBB(boxOf(box), mesh); }

MgcVector3 clampVectorToBox(MgcVector3& x, const MgcVector3& a, const MgcVector3& b, double tolerance) {
  for (int i = 0; i < 3; ++i) {
    const double lo = std::min(a[i], b[i]);
    const double hi = std::max(a[i], b[i]);
    if (lo - tolerance > x[i])
      x[i] = lo;
    else if (x[i] > hi + tolerance)
      x[i] = hi;
  }
  return x;
}

std::array<double, 4> clampQuatToBox(double* q, const double* a, const double* b, double tolerance) {
  for (int i = 0; i < 4; ++i) {
    const double lo = std::min(a[i], b[i]);
    const double hi = std::max(a[i], b[i]);
    if (lo - tolerance > q[i])
      q[i] = lo;
    else if (q[i] > hi + tolerance)
      q[i] = hi;
  }
  return {q[0], q[1], q[2], q[3]};
}
