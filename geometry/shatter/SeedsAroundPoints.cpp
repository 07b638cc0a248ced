#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/MeshTransforms.h"
#include "geometry/PointInsideMesh.h"
#include "geometry/PolygonHelpers.h"
#include "geometry/shatter/SeedFrame.h"
#include "geometry/shatter/SeedPoints.h"
#include "math/MgcMath.h"
#include "math/PolygonClipping.h"
#include "math/Tolerances.h"
#include "platform/ModuleState.h"

// The patterns that gather their points around given points: Gaussian pairs
// around impact centres, and points scattered along a curve.

using Mgc::MgcVector3;
using zov::seeds::kThirdOfSum;
using zov::seeds::SeedCallCounter;
using zov::seeds::SeedFrame;
using zov::seeds::Separation;

namespace {

// Cluster points come in from outside the hull as far inside as they were out.
constexpr double kClusterMargin = 1.0;
// Curve points come in by this fraction of the way they were out.
constexpr double kCurveMargin = 0.01;
// A curve sample counts as inside when within this fraction of the box's
// typical size of the hull.
constexpr double kCurveReach = 0.1;

SeedCallCounter centreCalls;
SeedCallCounter curveCalls;
const zov::platform::ModuleStateReset g_aroundPointsCallsReset([] {
  centreCalls.reset();
  curveCalls.reset();
});

// The sum of the half extents times 0.33, in single precision: a typical
// size of the box.
float typicalSize(const MgcVector3& extents) {
  return static_cast<float>((extents.x + extents.y + extents.z) * kThirdOfSum);
}

// The curve samples that lie in the hull: a sample within `reach` of the
// hull takes its predecessor along; a last sample reached on its own must lie
// in the hull itself.
std::vector<MgcVector3> curveSamplesInHull(const SeedFrame& frame, const MgcVector3* samples, std::uint32_t m,
                                           double reach) {
  std::vector<MgcVector3> taken;
  std::uint32_t i = 0;
  while (i + 1 < m) {
    if (pointInsideConvexMesh(samples[i + 1], frame.hull(), reach)) {
      taken.push_back(samples[i]);
      taken.push_back(samples[i + 1]);
      i += 2;
    } else {
      ++i;
    }
  }
  if (m > 0 && i == m - 1 && frame.inHull(samples[i])) taken.push_back(samples[i]);
  return taken;
}

// The point of the polyline nearest to q; the first of equally near wins.
MgcVector3 nearestOnPolyline(const std::vector<MgcVector3>& line, const MgcVector3& q) {
  double best = zov::kMaxFloat;
  MgcVector3 nearest = line[0];
  for (std::size_t s = 0; s + 1 < line.size(); ++s) {
    double t = 0.0;
    const double d = distanceSq_pt2seg(q, line[s], line[s + 1], t);
    if (d < best) {
      best = d;
      nearest = line[s] + (line[s + 1] - line[s]) * t;
    }
  }
  return nearest;
}

}  // namespace

bool seedsAroundCentres(const zov_shatter_params& params, const ZOV_DFmesh* mesh, std::uint32_t& made) {
  made = 0;
  const std::uint32_t calls = centreCalls.next();
  if (mesh == nullptr || params.outPoints == nullptr) return false;
  SeedFrame frame;
  if (!frame.build(*mesh) || !frame.hasVolume(1.0)) return false;
  zov::seeds::reseedSequence(params.seed, calls);

  const ZOVbox& box = frame.box();
  MgcVector3 reach = box.axes * box.extents;
  reach = MgcVector3(std::fabs(reach.x), std::fabs(reach.y), std::fabs(reach.z));
  const float size = typicalSize(reach);
  const float spread =
      std::fabs(static_cast<float>(static_cast<double>(size) * static_cast<float>(params.noise) * 0.5));
  const MgcVector3 deviation = spread > 0.0f ? MgcVector3(spread, spread, spread) : MgcVector3();

  MgcVector3 centre = params.center;
  frame.bringCentreInside(centre);

  // Pairs stop one short of the request, so that the last pair still fits.
  const std::uint32_t limit = params.numShards > 0 ? params.numShards - 1 : 0;
  auto placePair = [&](const MgcVector3& around) {
    MgcVector3 pair[2];
    randomGaussianVectors(around, deviation, box.axes, pair);
    for (MgcVector3& p : pair) {
      frame.pullInside(p, kClusterMargin, params.keepInside != 0);
      params.outPoints[made++] = p;
    }
  };

  std::int32_t centres = static_cast<std::int32_t>(params.numCenters);
  if (centres > static_cast<std::int32_t>(kMaxShatterCenters)) centres = kMaxShatterCenters;
  if (centres > 1) {
    const std::uint32_t perCentre = params.numShards / static_cast<std::uint32_t>(centres);
    for (std::int32_t j = 0; j < centres && made < limit; ++j) {
      MgcVector3 around = params.centers[j];
      frame.bringCentreInside(around);
      for (std::uint32_t fromHere = 0; fromHere < perCentre && made < limit; fromHere += 2) placePair(around);
    }
  } else {
    while (made < limit) placePair(centre);
  }
  frame.sortAndSeparate(params.outPoints, made, zov::seeds::kNudgeY, Separation::kUntilApart);
  return true;
}

bool seedsAlongCurve(const zov_shatter_params& params, const ZOV_DFmesh* mesh, std::uint32_t& made) {
  made = 0;
  const std::uint32_t calls = curveCalls.next();
  if (mesh == nullptr || params.outPoints == nullptr || params.pathPoints == nullptr) return false;
  SeedFrame frame;
  if (!frame.build(*mesh)) return false;
  const ZOVbox& box = frame.box();
  const double size = typicalSize(box.extents);

  const std::uint32_t m = params.numPathPoints;
  const std::vector<MgcVector3> line = curveSamplesInHull(frame, params.pathPoints, m, kCurveReach * size);
  if (line.empty()) return false;
  // The request shrinks with the part of the curve that lies in the mesh.
  const auto target =
      static_cast<std::uint32_t>(static_cast<double>(line.size()) / static_cast<double>(m) * params.numShards);

  if (line.size() == 1) {
    // One point of the curve inside: a Gaussian cloud of the box's size around it.
    zov::seeds::reseedSequence(params.seed, calls);
    for (std::uint32_t i = 0; i < target; ++i) {
      MgcVector3 pair[2];
      randomGaussianVectors(line[0], box.extents, box.axes, pair);
      frame.pullInside(pair[0], kCurveMargin, false);
      params.outPoints[made++] = pair[0];
    }
  } else {
    if (!frame.hasVolume(1.0)) return false;
    zov::seeds::reseedSequence(params.seed, calls);
    const auto segments = static_cast<std::uint32_t>(line.size() - 1);
    const std::uint32_t perSegment = target / segments;
    const double width = params.noise;
    const double sigma = size * width;
    if (perSegment < 1) {
      // Fewer points than segments: box samples drawn towards the curve.
      for (std::uint32_t i = 0; i < target; ++i) {
        MgcVector3 q = frame.boxSample();
        q += (nearestOnPolyline(line, q) - q) * (1.0 - width);
        frame.pullInside(q, kCurveMargin, false);
        params.outPoints[made++] = q;
      }
    } else {
      for (std::uint32_t s = 0; s < segments && made < target; ++s) {
        MgcVector3 dir = line[s + 1] - line[s];
        const double length = dir.Length();
        // Repeated samples give a segment without direction: any frame will do.
        if (dir.Unitize(zov::kUnitizeTolerance) == 0.0) dir = box.axes.GetColumn(0);
        MgcVector3 u, v;
        generateOrthonormalBasis(dir, u, v);
        for (std::uint32_t k = 0; k < perSegment && made < target; ++k) {
          const double t = Mgc::Math::UnitRandom(0.0);
          const double g1 = Mgc::Math::GaussRandom(0.0, 1.0);
          const double g2 = Mgc::Math::GaussRandom(0.0, 1.0);
          MgcVector3 p = line[s] + dir * (t * length) + u * (g1 * sigma) + v * (g2 * sigma);
          frame.pullInside(p, kCurveMargin, false);
          params.outPoints[made++] = p;
        }
      }
    }
  }
  frame.sortAndSeparate(params.outPoints, made, zov::seeds::kNudgeX, Separation::kUntilApart);
  return true;
}
