#include "src/shatter/hostSeeding.h"

#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MItMeshVertex.h>
#include <maya/MVector.h>

#include <algorithm>
#include <limits>

#include "geometry/PointInsideMesh.h"
#include "geometry/shatter/SeedPoints.h"
#include "math/MgcMath.h"
#include "platform/CRandom.h"
#include "src/hostEngineConversions.h"

namespace {

/// Added to the average sharpness so that corners equal to it stay.
constexpr float kAverageMargin = 1e-5f;

}  // namespace

void sharpCornerSeeds(const MDagPath& meshPath, Mgc::MgcVector3* points, int& count, unsigned int seed) {
  float sharpness[kSharpCornerTable];
  Mgc::MgcVector3 positions[kSharpCornerTable];
  std::fill(std::begin(sharpness), std::end(sharpness), std::numeric_limits<float>::max());
  if (seed != 0) zov::platform::crtSrand(seed);
  MFnMesh mesh(meshPath);
  int kept = 0;
  for (MItMeshVertex vertex(meshPath); !vertex.isDone(); vertex.next()) {
    MIntArray faces;
    vertex.getConnectedFaces(faces);
    if (faces.length() < 2) continue;
    MVector first;
    mesh.getPolygonNormal(faces[0], first, MSpace::kWorld);
    double sum = 0.0;
    for (unsigned int i = 1; i < faces.length(); ++i) {
      MVector other;
      mesh.getPolygonNormal(faces[i], other, MSpace::kWorld);
      sum += first * other;
    }
    const float m = static_cast<float>(sum / (faces.length() - 1));
    if (m > sharpness[kSharpCornerTable - 1]) continue;
    // Ascending insertion, searching from the next-to-last entry down.
    int at = kSharpCornerTable - 1;
    while (at > 0 && m < sharpness[at - 1]) --at;
    if (m <= sharpness[0]) at = 0;
    for (int i = kSharpCornerTable - 1; i > at; --i) {
      sharpness[i] = sharpness[i - 1];
      positions[i] = positions[i - 1];
    }
    const MPoint p = vertex.position(MSpace::kWorld);
    sharpness[at] = m;
    positions[at] = toEngine(p);
    kept = std::min(kept + 1, kSharpCornerTable);
  }
  // Only the corners at or below the average sharpness stay.
  int k = kept;
  if (k > 0) {
    float average = 0.0f;
    for (int i = 0; i < kept; ++i) average += sharpness[i];
    average = average / static_cast<float>(kept) + kAverageMargin;
    for (int i = 0; i < kept; ++i)
      if (sharpness[i] > average) --k;
  }
  int written = 0;
  if (k > 0) {
    const int start = static_cast<int>(k * Mgc::Math::UnitRandom());
    for (int i = 0; i < k && written < count; ++i) points[written++] = positions[(start + i) % k];
  }
  count = written;
}

void placePointInsideMesh(int count, Mgc::MgcVector3* points, unsigned int seed, const MDagPath& meshPath,
                          const ZOV_DFmesh& engineMesh, const Mgc::MgcVector3& start) {
  if (count < 1 || !points) return;
  points[0] = start;
  makePointInsideMesh(engineMesh, points[0], 0.0, true);
  if (count == 1) return;
  int corners = count - 1;
  sharpCornerSeeds(meshPath, points + 1, corners, seed);
  if (count > corners + 1)
    seedsInVolumeSorted(&engineMesh, points + 1 + corners, static_cast<std::uint32_t>(count - corners - 1), true, seed);
  const int random = (count + 1) / 2;
  seedsInVolumeSorted(&engineMesh, points + (count - random), static_cast<std::uint32_t>(random), true, seed);
}
