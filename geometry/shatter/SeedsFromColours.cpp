#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "geometry/shatter/SeedFrame.h"
#include "geometry/shatter/SeedPoints.h"
#include "math/Tolerances.h"
#include "platform/ModuleState.h"

// The vertex-colour pattern: the artist paints the places to break in light
// colours, and the points gather around the light vertices.

using Mgc::MgcVector3;
using zov::seeds::kThirdOfSum;
using zov::seeds::SeedCallCounter;
using zov::seeds::SeedFrame;
using zov::seeds::Separation;

namespace {

// The box is eight times the product of its half extents here.
constexpr double kFullBoxVolume = 8.0;
// A colour is light when every component exceeds this (single precision).
constexpr double kLightComponent = static_cast<double>(0.6f);
// Without light colours, those within this of the lightest one (squared
// lengths) are taken instead.
constexpr double kLightestBand = 0.1;

SeedCallCounter colourCalls;
const zov::platform::ModuleStateReset g_colourCallsReset([] { colourCalls.reset(); });

// Calls visit(vertex, colour) for every corner of the mesh that has a vertex
// and a colour; corners whose ids lie outside the mesh or the colour table
// are passed over.
template <typename Visit>
void forEachColouredCorner(const ZOV_DFmesh& mesh, const MgcVector3* colours, std::uint32_t numColours, Visit visit) {
  if (mesh.faces == nullptr) return;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const DFface& face = mesh.faces[f];
    if (face.vertices == nullptr || face.extraIndices == nullptr) continue;
    for (std::uint32_t k = 0; k < face.numVertices; ++k) {
      const std::uint32_t vertex = face.vertices[k];
      const std::uint32_t colour = face.extraIndices[k];
      if (vertex < mesh.numVertices && colour < numColours) visit(vertex, colours[colour]);
    }
  }
}

bool isLight(const MgcVector3& colour) {
  return colour.x > kLightComponent && colour.y > kLightComponent && colour.z > kLightComponent;
}

// The vertices with a light colour at some corner, ascending; without any,
// those whose colour at some corner is about as light as the lightest.
std::vector<std::uint32_t> lightVertices(const ZOV_DFmesh& mesh, const MgcVector3* colours, std::uint32_t numColours) {
  std::vector<bool> chosen(mesh.numVertices, false);
  bool any = false;
  double lightest = -1.0;
  forEachColouredCorner(mesh, colours, numColours, [&](std::uint32_t vertex, const MgcVector3& colour) {
    lightest = std::max(lightest, colour.SquaredLength());
    if (isLight(colour)) chosen[vertex] = any = true;
  });
  if (!any) {
    forEachColouredCorner(mesh, colours, numColours, [&](std::uint32_t vertex, const MgcVector3& colour) {
      if (colour.SquaredLength() >= lightest - kLightestBand) chosen[vertex] = true;
    });
  }
  std::vector<std::uint32_t> vertices;
  for (std::uint32_t v = 0; v < mesh.numVertices; ++v)
    if (chosen[v]) vertices.push_back(v);
  return vertices;
}

}  // namespace

bool seedsFromVertexColours(const zov_shatter_params& params, const ZOV_DFmesh* mesh, std::uint32_t& made) {
  made = 0;
  const std::uint32_t calls = colourCalls.next();
  if (mesh == nullptr || params.outPoints == nullptr || params.givenPoints == nullptr) return false;
  SeedFrame frame;
  if (!frame.build(*mesh) || !frame.hasVolume(kFullBoxVolume)) return false;
  zov::seeds::reseedSequence(params.seed, calls);

  // Nothing to draw towards without a coloured vertex.
  const std::vector<std::uint32_t> light = lightVertices(*mesh, params.givenPoints, params.numGivenPoints);
  if (light.empty()) return false;
  const MgcVector3* positions = mesh->worldVertices != nullptr ? mesh->worldVertices : mesh->vertices;

  // The cell size of the mesh's vertices, and its share of the box's size.
  const MgcVector3& e = frame.box().extents;
  const float cellVolume = static_cast<float>(kFullBoxVolume * e.x * e.y * e.z / mesh->numVertices);
  const double cell = std::pow(cellVolume, static_cast<float>(1.0 / 3.0));
  const double pull = cell / ((e.x + e.y + e.z) * kThirdOfSum);

  // Each light vertex draws at most its share of the points; the rest go
  // round the light vertices by the sample's first coordinate.
  const auto numLight = static_cast<std::uint32_t>(light.size());
  const std::uint32_t quota = params.numPoints / numLight;
  std::vector<std::uint32_t> uses(numLight, 0);
  for (std::uint32_t i = 0; i < params.numPoints; ++i) {
    const MgcVector3 u = zov::seeds::drawBoxCoordinates();
    const MgcVector3 q = frame.boxPoint(u);
    std::uint32_t chosen = numLight;
    float best = std::numeric_limits<float>::max();
    for (std::uint32_t k = 0; k < numLight; ++k) {
      const auto d = static_cast<float>((q - positions[light[k]]).SquaredLength());
      if (uses[k] < quota && d < best) {
        best = d;
        chosen = k;
      }
    }
    MgcVector3 p;
    if (chosen < numLight) {
      const MgcVector3& vertex = positions[light[chosen]];
      p = vertex + (q - vertex) * pull;
    } else {
      chosen = std::min(static_cast<std::uint32_t>(std::fabs(u.x) * numLight), numLight - 1);
      const MgcVector3& vertex = positions[light[chosen]];
      MgcVector3 away = q - vertex;
      away.Unitize(zov::kUnitizeTolerance);
      p = vertex + away * cell;
    }
    ++uses[chosen];
    frame.pullInside(p, pull, false);
    params.outPoints[i] = p;
  }
  frame.sortAndSeparate(params.outPoints, params.numPoints, zov::seeds::kNudgeX, Separation::kOnce);
  made = params.numPoints;
  return true;
}
