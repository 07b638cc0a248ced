#include "geometry/shatter/SeedPoints.h"

#include <algorithm>

#include "geometry/shatter/SeedFrame.h"
#include "math/MgcMath.h"
#include "platform/CRandom.h"
#include "platform/ModuleState.h"

using Mgc::MgcVector3;
using zov::seeds::SeedCallCounter;
using zov::seeds::SeedFrame;
using zov::seeds::Separation;

namespace {

constexpr std::uint16_t kPatternCentres = 1;
constexpr std::uint16_t kPatternRadial = 2;
constexpr std::uint16_t kPatternSlab = 3;
constexpr std::uint16_t kPatternCurve = 4;
constexpr std::uint16_t kPatternColours = 5;

// The radial pattern needs this many points, else it gives way to clusters.
constexpr std::uint32_t kMinRadialPoints = 3;
// The fewest points a curve pattern must make.
constexpr std::uint32_t kMinCurvePoints = 2;

// Margins of the pulls into the hull, as fractions of the way out.
constexpr double kUniformMargin = static_cast<double>(0.05f);  // times the smallest half extent
constexpr double kSlabMargin = static_cast<double>(0.1f);
constexpr double kSortedMargin = static_cast<double>(0.01f);
// The slab is this fraction of the box thick across the held axis.
constexpr double kSlabThickness = static_cast<double>(0.01f);

SeedCallCounter uniformCalls;
SeedCallCounter slabCalls;
SeedCallCounter sortedCalls;
const zov::platform::ModuleStateReset g_boxSeedCallsReset([] {
  uniformCalls.reset();
  slabCalls.reset();
  sortedCalls.reset();
});

// The frame of the generators that sample the box: hull, box, optional
// limit, volume test and reseeding, in that order.
bool prepareBoxFrame(SeedFrame& frame, const ZOV_DFmesh& mesh, const ZOVbox* limitBox, std::uint32_t seed,
                     std::uint32_t calls) {
  if (!frame.build(mesh)) return false;
  if (limitBox != nullptr) frame.applyLimitBox(*limitBox);
  if (!frame.hasVolume(1.0)) return false;
  zov::seeds::reseedSequence(seed, calls);
  return true;
}

double smallestExtent(const ZOVbox& box) { return std::min(box.extents.x, std::min(box.extents.y, box.extents.z)); }

// Draws the ring count and the jitter of the radial pattern from their
// ranges. A seeded request reseeds first, so that the draw repeats with it.
void drawRadialRanges(zov_shatter_params& params) {
  if (params.seed != 0) zov::platform::crtSrand(params.seed);
  if (params.numRings != params.minRings) {
    const double low = static_cast<float>(params.minRings);
    const double high = static_cast<float>(params.numRings);
    params.numRings = static_cast<std::uint32_t>(Mgc::Math::IntervalRandom(low, high, 0.0));
  }
  if (params.radius != params.minRadius)
    params.radius = Mgc::Math::IntervalRandom(params.minRadius, params.radius, 0.0);
  if (params.numRings < 1) params.numRings = 1;
}

}  // namespace

bool generateShatterSeeds(zov_shatter_params& params, const ZOV_DFmesh* mesh, const ZOVbox* limitBox) {
  std::uint32_t made = 0;
  bool result = false;
  switch (params.shatterStyle) {
    case kPatternCentres:
      params.center = params.centers[0];
      if (static_cast<std::int32_t>(params.numCenters) > static_cast<std::int32_t>(kMaxShatterCenters))
        params.numCenters = kMaxShatterCenters;
      params.keepInside = 0;
      result = seedsAroundCentres(params, mesh, made);
      break;
    case kPatternRadial: {
      drawRadialRanges(params);
      const std::uint32_t perRing = params.numShards / params.numRings;
      result = perRing * params.numRings < kMinRadialPoints ? seedsAroundCentres(params, mesh, made)
                                                            : seedsRadial(params, mesh, made);
      break;
    }
    case kPatternSlab:
      result = seedsInSlab(params, mesh, limitBox, made);
      break;
    case kPatternCurve:
      result = seedsAlongCurve(params, mesh, made) && made >= kMinCurvePoints;
      break;
    case kPatternColours:
      result = seedsFromVertexColours(params, mesh, made);
      break;
    default:
      result = seedsUniform(params, mesh, limitBox, made);
      break;
  }
  params.numPoints = result ? made : 0;
  return result;
}

bool seedsUniform(const zov_shatter_params& params, const ZOV_DFmesh* mesh, const ZOVbox* limitBox,
                  std::uint32_t& made) {
  made = 0;
  const std::uint32_t calls = uniformCalls.next();
  if (mesh == nullptr || params.outPoints == nullptr) return false;
  SeedFrame frame;
  if (!prepareBoxFrame(frame, *mesh, limitBox, params.seed, calls)) return false;

  const double margin = kUniformMargin * smallestExtent(frame.box());
  for (std::uint32_t i = 0; i < params.numPoints; ++i) {
    MgcVector3 p = frame.boxSample();
    frame.pullInside(p, margin, false);
    params.outPoints[i] = p;
  }
  frame.sortAndSeparate(params.outPoints, params.numPoints, zov::seeds::kNudgeX, Separation::kOnce);
  made = params.numPoints;
  return true;
}

bool seedsInSlab(const zov_shatter_params& params, const ZOV_DFmesh* mesh, const ZOVbox* limitBox,
                 std::uint32_t& made) {
  made = 0;
  const std::uint32_t calls = slabCalls.next();
  if (mesh == nullptr || params.outPoints == nullptr) return false;
  SeedFrame frame;
  if (!prepareBoxFrame(frame, *mesh, limitBox, params.seed, calls)) return false;

  MgcVector3 centre = params.center;
  frame.bringCentreInside(centre);
  // Box coordinates are scaled down to the slab: the held axis to its
  // thickness, and z (y when z is held) to the width.
  const double width = params.noise;
  MgcVector3 scale(1.0, width, kSlabThickness);
  if (params.radialAxis == 0) {
    scale = MgcVector3(kSlabThickness, 1.0, width);
  } else if (params.radialAxis == 1) {
    scale = MgcVector3(1.0, kSlabThickness, width);
  }
  const ZOVbox& box = frame.box();
  for (std::uint32_t i = 0; i < params.numPoints; ++i) {
    const MgcVector3 u = zov::seeds::drawBoxCoordinates();
    const MgcVector3 local(u.x * box.extents.x * scale.x, u.y * box.extents.y * scale.y, u.z * box.extents.z * scale.z);
    MgcVector3 p = box.axes * local + centre;
    frame.pullInside(p, kSlabMargin, false);
    params.outPoints[i] = p;
  }
  frame.sortAndSeparate(params.outPoints, params.numPoints, zov::seeds::kNudgeX, Separation::kOnce);
  made = params.numPoints;
  return true;
}

bool seedsInVolumeSorted(const ZOV_DFmesh* mesh, MgcVector3* out, std::uint32_t count, bool nearestFace,
                         std::uint32_t seed) {
  const std::uint32_t calls = sortedCalls.next();
  if (mesh == nullptr || out == nullptr) return false;
  SeedFrame frame;
  if (!prepareBoxFrame(frame, *mesh, nullptr, seed, calls)) return false;

  for (std::uint32_t i = 0; i < count; ++i) {
    MgcVector3 p = frame.boxSample();
    frame.pullInside(p, kSortedMargin, nearestFace);
    out[i] = p;
  }
  frame.sortAndSeparate(out, count, zov::seeds::kNudgeX, Separation::kOnce);
  return true;
}
