#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "geometry/BVmesh.h"
#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "geometry/shatter/BVDFmesh.h"
#include "geometry/shatter/Clipper.h"
#include "math/MgcVector3.h"

using Mgc::MgcVector3;

namespace {

/// A closed triangulated unit sphere: `rings` bands of `segments` corners,
/// 2 x segments x (rings - 1) triangles.
struct Sphere {
  std::vector<MgcVector3> points;
  std::vector<std::uint32_t> triangles;
};

Sphere makeSphere(std::uint32_t rings, std::uint32_t segments) {
  Sphere s;
  s.points.emplace_back(0, 0, 1);
  for (std::uint32_t r = 1; r < rings; ++r)
    for (std::uint32_t i = 0; i < segments; ++i) {
      const double polar = M_PI * r / rings, a = 2.0 * M_PI * i / segments;
      s.points.emplace_back(std::sin(polar) * std::cos(a), std::sin(polar) * std::sin(a), std::cos(polar));
    }
  s.points.emplace_back(0, 0, -1);
  const auto south = static_cast<std::uint32_t>(s.points.size() - 1);
  auto at = [&](std::uint32_t r, std::uint32_t i) { return 1 + (r - 1) * segments + i % segments; };
  for (std::uint32_t i = 0; i < segments; ++i) {
    s.triangles.insert(s.triangles.end(), {0, at(1, i), at(1, i + 1)});
    s.triangles.insert(s.triangles.end(), {south, at(rings - 1, i + 1), at(rings - 1, i)});
    for (std::uint32_t r = 1; r + 1 < rings; ++r) {
      s.triangles.insert(s.triangles.end(), {at(r, i), at(r + 1, i), at(r + 1, i + 1)});
      s.triangles.insert(s.triangles.end(), {at(r, i), at(r + 1, i + 1), at(r, i + 1)});
    }
  }
  return s;
}

template <typename T>
T* copyOf(const std::vector<T>& values) {
  T* array = static_cast<T*>(std::malloc(values.size() * sizeof(T)));
  std::memcpy(static_cast<void*>(array), values.data(), values.size() * sizeof(T));
  return array;
}

MgcVector3 triangleNormal(const Sphere& s, std::uint32_t t) {
  const MgcVector3& a = s.points[s.triangles[3 * t]];
  const MgcVector3& b = s.points[s.triangles[3 * t + 1]];
  const MgcVector3& c = s.points[s.triangles[3 * t + 2]];
  MgcVector3 n = (b - a).Cross(c - a);
  n.Unitize(1e-12);
  return n;
}

/// The sphere's points and face normals (local and world alike) copied into
/// the mesh; answers the number of faces, which are the caller's to make.
template <typename Mesh>
std::uint32_t copySphere(Mesh& mesh, const Sphere& s) {
  const auto faces = static_cast<std::uint32_t>(s.triangles.size() / 3);
  std::vector<MgcVector3> normals;
  for (std::uint32_t t = 0; t < faces; ++t) normals.push_back(triangleNormal(s, t));
  mesh.numVertices = static_cast<std::uint32_t>(s.points.size());
  mesh.vertices = copyOf(s.points);
  mesh.worldVertices = copyOf(s.points);
  mesh.numFaces = faces;
  mesh.faceNormals = copyOf(normals);
  mesh.worldFaceNormals = copyOf(normals);
  return faces;
}

std::unique_ptr<ZOVmesh> toMesh(const Sphere& s) {
  auto mesh = std::make_unique<ZOVmesh>();
  const std::uint32_t faces = copySphere(*mesh, s);
  mesh->faces = static_cast<mesh_face*>(std::calloc(faces, sizeof(mesh_face)));
  allocateFaceCorners(*mesh);
  for (std::uint32_t t = 0; t < faces; ++t) {
    mesh->faces[t].numVertices = 3;
    mesh->faces[t].mark = 1;
    for (int k = 0; k < 3; ++k) mesh->faces[t].vertices[k] = s.triangles[3 * t + k];
  }
  return mesh;
}

std::unique_ptr<ZOV_DFmesh> toDFmesh(const Sphere& s) {
  auto mesh = std::make_unique<ZOV_DFmesh>();
  const std::uint32_t faces = copySphere(*mesh, s);
  mesh->faces = new DFface[faces];
  // Per-vertex normals and UVs, as a host mesh brings them.
  mesh->numAuxPoints = mesh->numVertices;
  mesh->auxPoints = copyOf(s.points);
  mesh->numUVs = mesh->numVertices;
  mesh->uvs = copyOf(s.points);
  mesh->numUVLayers = 1;
  for (std::uint32_t t = 0; t < faces; ++t) {
    DFface& face = mesh->faces[t];
    allocateBufferChannels(&face, 3, 1, false);
    for (int k = 0; k < 3; ++k) face.vertices[k] = face.cornerData[k] = face.uvIndices[k] = s.triangles[3 * t + k];
    face.numVertices = 3;
    face.mark = 1;
    face.normal = mesh->faceNormals[t];
  }
  return mesh;
}

// A sphere of 10,000 triangles cut by a plane through its centre.
const Sphere& benchSphere() {
  static const Sphere sphere = makeSphere(51, 100);
  return sphere;
}

const MgcVector3 kNormal = MgcVector3(0.3, 0.5, 0.8) * (1.0 / std::sqrt(0.98));

void BM_PlaneCutMesh(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<ZOVmesh> mesh = toMesh(benchSphere());
    state.ResumeTiming();
    BVmesh volume(mesh.get());
    volume.initClipper();
    const int result = volume.clip(kNormal, MgcVector3(0.05, 0.0, 0.1) * volume.getClipper()->getScale(), kClipCaps);
    volume.finishCut(result);
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(benchSphere().triangles.size() / 3));
}
BENCHMARK(BM_PlaneCutMesh)->Unit(benchmark::kMillisecond);

void BM_PlaneCutShatterMesh(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<ZOV_DFmesh> mesh = toDFmesh(benchSphere());
    state.ResumeTiming();
    BVDFmesh structure;
    structure.init(mesh.get(), 0);
    structure.initClipper();
    Clipper* clipper = structure.getClipper();
    const int result = clipper->clip(mesh.get(), kNormal, MgcVector3(0.05, 0.0, 0.1) * clipper->getScale(), kClipCaps);
    structure.finishCut(result);
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(benchSphere().triangles.size() / 3));
}
BENCHMARK(BM_PlaneCutShatterMesh)->Unit(benchmark::kMillisecond);

}  // namespace
