#include "CutFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "geometry/BVmesh.h"
#include "geometry/ConvexHull.h"
#include "geometry/shatter/BVDFmesh.h"
#include "geometry/shatter/Clipper.h"

using Mgc::MgcVector3;

namespace zovtest {

namespace {

template <typename T>
T* zeroed(std::size_t n) {
  return n == 0 ? nullptr : static_cast<T*>(std::calloc(n, sizeof(T)));
}

MgcVector3 newellNormal(const Solid& solid, const std::vector<std::uint32_t>& face) {
  MgcVector3 n;
  for (std::size_t k = 0; k < face.size(); ++k) {
    const MgcVector3& a = solid.points[face[k]];
    const MgcVector3& b = solid.points[face[(k + 1) % face.size()]];
    n += MgcVector3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
  }
  n.Unitize(1e-12);
  return n;
}

}  // namespace

Solid boxSolid(const MgcVector3& h) {
  Solid s;
  for (int i = 0; i < 8; ++i) s.points.emplace_back(i & 1 ? h.x : -h.x, i & 2 ? h.y : -h.y, i & 4 ? h.z : -h.z);
  s.faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  return s;
}

Solid prismSolid(const std::vector<MgcVector3>& outline, double z0, double z1) {
  Solid s;
  const auto n = static_cast<std::uint32_t>(outline.size());
  for (const double z : {z0, z1})
    for (const MgcVector3& p : outline) s.points.emplace_back(p.x, p.y, z);
  std::vector<std::uint32_t> bottom, top;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t next = (i + 1) % n;
    s.faces.push_back({i, next, next + n, i + n});
    bottom.push_back(n - 1 - i);
    top.push_back(n + i);
  }
  s.faces.push_back(bottom);
  s.faces.push_back(top);
  return s;
}

Solid tubeSolid(double rIn, double rOut, std::uint32_t segments, double z0, double z1) {
  Solid s;
  // Rings: outer bottom, outer top, inner bottom, inner top.
  for (const double r : {rOut, rIn})
    for (const double z : {z0, z1})
      for (std::uint32_t i = 0; i < segments; ++i) {
        const double a = 2.0 * M_PI * i / segments;
        s.points.emplace_back(r * std::cos(a), r * std::sin(a), z);
      }
  const std::uint32_t ob = 0, ot = segments, ib = 2 * segments, it = 3 * segments;
  for (std::uint32_t i = 0; i < segments; ++i) {
    const std::uint32_t j = (i + 1) % segments;
    s.faces.push_back({ob + i, ob + j, ot + j, ot + i});
    s.faces.push_back({ib + j, ib + i, it + i, it + j});
    s.faces.push_back({ot + i, ot + j, it + j, it + i});
    s.faces.push_back({ob + j, ob + i, ib + i, ib + j});
  }
  return s;
}

Solid bumpySphere(Random& random, std::uint32_t rings, std::uint32_t segments) {
  Solid s;
  s.points.emplace_back(0, 0, random.uniform(0.6, 1.4));
  for (std::uint32_t r = 1; r < rings; ++r) {
    const double polar = M_PI * r / rings;
    for (std::uint32_t i = 0; i < segments; ++i) {
      const double a = 2.0 * M_PI * i / segments;
      const double radius = random.uniform(0.6, 1.4);
      s.points.emplace_back(radius * std::sin(polar) * std::cos(a), radius * std::sin(polar) * std::sin(a),
                            radius * std::cos(polar));
    }
  }
  s.points.emplace_back(0, 0, -random.uniform(0.6, 1.4));
  const auto south = static_cast<std::uint32_t>(s.points.size() - 1);
  auto at = [&](std::uint32_t r, std::uint32_t i) { return 1 + (r - 1) * segments + i % segments; };
  for (std::uint32_t i = 0; i < segments; ++i) {
    s.faces.push_back({0, at(1, i), at(1, i + 1)});
    s.faces.push_back({south, at(rings - 1, i + 1), at(rings - 1, i)});
    for (std::uint32_t r = 1; r + 1 < rings; ++r) {
      s.faces.push_back({at(r, i), at(r + 1, i), at(r + 1, i + 1)});
      s.faces.push_back({at(r, i), at(r + 1, i + 1), at(r, i + 1)});
    }
  }
  return s;
}

Solid tetrahedronSolid() {
  return Solid{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}};
}

Solid joinSolids(const Solid& a, const Solid& b, const MgcVector3& offset) {
  Solid both = a;
  const auto shift = static_cast<std::uint32_t>(a.points.size());
  for (const MgcVector3& p : b.points) both.points.push_back(p + offset);
  for (std::vector<std::uint32_t> face : b.faces) {
    for (std::uint32_t& v : face) v += shift;
    both.faces.push_back(face);
  }
  return both;
}

Solid flatSquare(double half, const MgcVector3& c) {
  Solid s;
  s.points = {{c.x - half, c.y - half, c.z},
              {c.x + half, c.y - half, c.z},
              {c.x + half, c.y + half, c.z},
              {c.x - half, c.y + half, c.z}};
  s.faces = {{0, 1, 2, 3}, {0, 3, 2, 1}};
  return s;
}

Solid randomHull(Random& random, std::uint32_t count) {
  std::vector<MgcVector3> points;
  for (std::uint32_t i = 0; i < count; ++i) points.push_back(random.vector(-1.0, 1.0));
  const std::unique_ptr<ZOVmesh> hull = convexHull(points.data(), count);
  Solid s;
  s.points.assign(hull->vertices, hull->vertices + hull->numVertices);
  for (std::uint32_t f = 0; f < hull->numFaces; ++f)
    s.faces.emplace_back(hull->faces[f].vertices, hull->faces[f].vertices + hull->faces[f].numVertices);
  return s;
}

MgcVector3 faceUV(const MgcVector3& normal, const MgcVector3& p, int layer) {
  const MgcVector3 a(0.3 + normal.x, 0.7 - normal.y, 0.2 + normal.z * (layer + 1));
  const MgcVector3 b(normal.z - 0.4, 0.5 + normal.x * (layer + 2), normal.y + 0.9);
  return {a.Dot(p), b.Dot(p), 0.0};
}

MgcVector3 vertexColor(const MgcVector3& p) { return {0.5 + 0.1 * p.x, 0.5 + 0.2 * p.y, 0.5 + 0.3 * p.z}; }

namespace {

/// The solid's sizes, and zeroed vertex and face-normal arrays of them in
/// the mesh (local and world alike); the faces are the caller's to make.
template <typename Mesh>
void sizeAsSolid(Mesh& mesh, const Solid& solid, std::uint32_t& nv, std::uint32_t& nf, std::uint32_t& corners) {
  nv = static_cast<std::uint32_t>(solid.points.size());
  nf = static_cast<std::uint32_t>(solid.faces.size());
  corners = 0;
  for (const auto& face : solid.faces) corners += static_cast<std::uint32_t>(face.size());
  mesh.numVertices = nv;
  mesh.vertices = zeroed<MgcVector3>(nv);
  mesh.worldVertices = zeroed<MgcVector3>(nv);
  mesh.numFaces = nf;
  mesh.faceNormals = zeroed<MgcVector3>(nf);
  mesh.worldFaceNormals = zeroed<MgcVector3>(nf);
}

}  // namespace

std::unique_ptr<ZOVmesh> toMesh(const Solid& solid, bool withUVs) {
  auto mesh = std::make_unique<ZOVmesh>();
  std::uint32_t nv = 0, nf = 0, corners = 0;
  sizeAsSolid(*mesh, solid, nv, nf, corners);
  mesh->faces = zeroed<mesh_face>(nf);
  allocateFaceCorners(*mesh);
  if (withUVs) {
    mesh->numUVs = corners;
    mesh->uvs = zeroed<MgcVector3>(corners);
  }
  for (std::uint32_t v = 0; v < nv; ++v) mesh->vertices[v] = mesh->worldVertices[v] = solid.points[v];
  std::uint32_t uv = 0;
  for (std::uint32_t f = 0; f < nf; ++f) {
    mesh_face& face = mesh->faces[f];
    const MgcVector3 n = newellNormal(solid, solid.faces[f]);
    mesh->faceNormals[f] = mesh->worldFaceNormals[f] = n;
    face.mark = 1;
    face.numVertices = static_cast<std::uint32_t>(solid.faces[f].size());
    for (std::uint32_t k = 0; k < face.numVertices; ++k) {
      face.vertices[k] = solid.faces[f][k];
      if (!withUVs) continue;
      mesh->uvs[uv] = faceUV(n, solid.points[face.vertices[k]]);
      face.uvIndices[k] = uv++;
    }
  }
  return mesh;
}

std::unique_ptr<ZOV_DFmesh> toDFmesh(const Solid& solid) {
  auto mesh = std::make_unique<ZOV_DFmesh>();
  std::uint32_t nv = 0, nf = 0, corners = 0;
  sizeAsSolid(*mesh, solid, nv, nf, corners);
  mesh->faces = new DFface[nf];
  mesh->numAuxPoints = corners;
  mesh->auxPoints = zeroed<MgcVector3>(corners);
  mesh->numExtraPoints = nv;
  mesh->extraPoints = zeroed<MgcVector3>(nv);
  mesh->numUVs = corners;
  mesh->uvs = zeroed<MgcVector3>(corners);
  mesh->uvLayers[0] = zeroed<MgcVector3>(corners);
  mesh->numUVLayers = 2;
  mesh->dfFlags = kDFmeshMultipleUVLayers | kDFmeshHasExtraPoints;
  for (std::uint32_t v = 0; v < nv; ++v) {
    mesh->vertices[v] = mesh->worldVertices[v] = solid.points[v];
    mesh->extraPoints[v] = vertexColor(solid.points[v]);
  }
  std::uint32_t corner = 0;
  for (std::uint32_t f = 0; f < nf; ++f) {
    DFface& face = mesh->faces[f];
    const MgcVector3 n = newellNormal(solid, solid.faces[f]);
    mesh->faceNormals[f] = mesh->worldFaceNormals[f] = n;
    const auto count = static_cast<std::uint32_t>(solid.faces[f].size());
    allocateBufferChannels(&face, count, 2, true);
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::uint32_t v = solid.faces[f][k];
      face.vertices[k] = v;
      face.extraIndices[k] = v;
      face.cornerData[k] = face.uvIndices[k] = face.layerUVIndices[0][k] = corner;
      mesh->auxPoints[corner] = n;
      mesh->uvs[corner] = faceUV(n, solid.points[v], 0);
      mesh->uvLayers[0][corner] = faceUV(n, solid.points[v], 1);
      ++corner;
    }
    face.numVertices = count;
    face.normal = n;
    face.mark = 1;
  }
  return mesh;
}

int cutMesh(ZOVmesh& mesh, const MgcVector3& normal, const MgcVector3& point) {
  BVmesh volume(&mesh);
  volume.initClipper();
  const int result = volume.clip(normal, point * volume.getClipper()->getScale(), kClipCaps);
  volume.finishCut(result);
  return result;
}

int cutDFmesh(ZOV_DFmesh& mesh, const MgcVector3& normal, const MgcVector3& point) {
  BVDFmesh structure;
  if (!structure.init(&mesh, 0)) return kClipFailed;
  structure.initClipper();
  const int result = structure.getClipper()->clip(&mesh, normal, point * structure.getClipper()->getScale(), kClipCaps);
  structure.finishCut(result);
  return result;
}

double polygonAreaOf(const std::vector<MgcVector3>& polygon) {
  MgcVector3 sum;
  for (std::size_t k = 0; k < polygon.size(); ++k) sum += polygon[k].Cross(polygon[(k + 1) % polygon.size()]);
  return 0.5 * sum.Length();
}

void expectAttributesFollowPositions(const ZOV_DFmesh& mesh, const MgcVector3* normals, double tolerance) {
  const auto expectSame = [tolerance](const MgcVector3& actual, const MgcVector3& expected) {
    if (tolerance == 0.0)
      EXPECT_EQ(actual, expected);
    else
      EXPECT_NEAR((actual - expected).Length(), 0.0, tolerance);
  };
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const DFface& face = mesh.faces[f];
    const MgcVector3 n = normals[f];
    for (std::uint32_t k = 0; k < face.numVertices; ++k) {
      const MgcVector3& p = mesh.worldVertices[face.vertices[k]];
      ASSERT_LT(face.cornerData[k], mesh.numAuxPoints);
      ASSERT_LT(face.uvIndices[k], mesh.numUVs);
      ASSERT_LT(face.extraIndices[k], mesh.numExtraPoints);
      expectSame(mesh.auxPoints[face.cornerData[k]], n);
      expectSame(mesh.uvs[face.uvIndices[k]], faceUV(n, p, 0));
      expectSame(mesh.uvLayers[0][face.layerUVIndices[0][k]], faceUV(n, p, 1));
      expectSame(mesh.extraPoints[face.extraIndices[k]], vertexColor(p));
    }
  }
}

}  // namespace zovtest
