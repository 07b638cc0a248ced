#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "geometry/MeshTransforms.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

// A mesh record with `numVertices` points spread over a sphere and twice as
// many faces, the proportions of a closed triangle mesh.
void fillSphereMesh(ZOVmesh& mesh, std::uint32_t numVertices) {
  const std::uint32_t numFaces = 2 * numVertices;
  mesh.numVertices = numVertices;
  mesh.numFaces = numFaces;
  mesh.vertices = static_cast<MgcVector3*>(std::calloc(numVertices, sizeof(MgcVector3)));
  mesh.worldVertices = static_cast<MgcVector3*>(std::calloc(numVertices, sizeof(MgcVector3)));
  mesh.faceNormals = static_cast<MgcVector3*>(std::calloc(numFaces, sizeof(MgcVector3)));
  mesh.worldFaceNormals = static_cast<MgcVector3*>(std::calloc(numFaces, sizeof(MgcVector3)));
  for (std::uint32_t i = 0; i < numVertices; ++i) {
    const double t = static_cast<double>(i) / numVertices;
    const double polar = std::acos(1.0 - 2.0 * t);
    const double azimuth = 2.399963229728653 * i;  // golden angle
    mesh.vertices[i] =
        MgcVector3(std::sin(polar) * std::cos(azimuth), std::sin(polar) * std::sin(azimuth), std::cos(polar));
  }
  for (std::uint32_t f = 0; f < numFaces; ++f) mesh.faceNormals[f] = mesh.vertices[f % numVertices];
  mesh.radius = 1.0;
}

void BM_MeshTransformSRT(benchmark::State& state) {
  ZOVmesh mesh;
  fillSphereMesh(mesh, static_cast<std::uint32_t>(state.range(0)));
  const double angle = 0.3;
  const MgcMatrix3 rotation(std::cos(angle), -std::sin(angle), 0.0, std::sin(angle), std::cos(angle), 0.0, 0.0, 0.0,
                            1.0);
  const MgcVector3 translation(1.0, 2.0, 3.0);
  const MgcVector3 scale(1.5, 0.75, 2.0);
  for (auto _ : state) {
    meshTransformSRT(&mesh, translation, rotation, scale);
    benchmark::DoNotOptimize(mesh.worldVertices);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MeshTransformSRT)->Arg(1000)->Arg(4000)->Arg(16000);

}  // namespace
