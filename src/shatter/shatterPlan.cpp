#include "src/shatter/shatterPlan.h"

#include <maya/MColorArray.h>
#include <maya/MGlobal.h>
#include <maya/MPoint.h>
#include <maya/MVector.h>

#include <algorithm>
#include <utility>

#include "geometry/ShapeRecords.h"
#include "geometry/shatter/DistinctSeeds.h"
#include "geometry/shatter/SeedPoints.h"
#include "src/hostEngineConversions.h"
#include "src/hostHelpers.h"
#include "src/hostUtilities.h"
#include "src/meshes/meshConversion.h"
#include "src/meshes/meshOpHistory.h"
#include "src/shatter/hostSeeding.h"

namespace {

/// Seeds the output holds at least, whatever the request.
constexpr std::uint32_t kSeedBufferFloor = 200;
/// Curve samples per control vertex of a path.
constexpr int kSamplesPerCV = 4;

MPoint worldPoint(const MPoint& p, const MMatrix& m) {
  MPoint q = p;
  q.w = 1.0;
  return q * m;
}

}  // namespace

ShatterPlan::ShatterPlan(const SeedPattern& pattern, const Mgc::MgcVector3& centre) {
  params.numShards = params.numPoints = pattern.count;
  params.center = centre;
  params.shatterStyle = pattern.style;
  params.seed = pattern.seed;
  params.numCenters = pattern.centreCount;
  params.noise = pattern.width > kMinSpreadWidth ? pattern.width : kMinSpreadWidth;
  params.radialAxis = pattern.radialAxis;
  params.numRings = params.minRings = pattern.ringCount;
  params.radius = params.minRadius = pattern.noise;
}

void ShatterPlan::setColours(std::vector<Mgc::MgcVector3> colours) {
  colourTable = std::move(colours);
  params.numGivenPoints = static_cast<std::uint32_t>(colourTable.size());
  params.givenPoints = colourTable.empty() ? nullptr : colourTable.data();
}

void ShatterPlan::placeImpactCentres(const MDagPath& shape, const ZOV_DFmesh& mesh) {
  const MDagPath placed = hasMeshOpHistory(shape.node()) ? findUpstreamNode(shape) : shape;
  placePointInsideMesh(static_cast<int>(kMaxShatterCenters), params.centers, params.seed, placed, mesh, params.center);
}

void ShatterPlan::sampleCurve(const MFnNurbsCurve& curve, const MMatrix& matrix) {
  curveSamples.resize(static_cast<size_t>(kSamplesPerCV * std::max(curve.numCVs(), 0)));
  if (curveSamples.empty() ||
      !curvePointAtParam(curve, curveSamples.data(), static_cast<int>(curveSamples.size()), matrix))
    return;
  params.pathPoints = curveSamples.data();
  params.numPathPoints = static_cast<std::uint32_t>(curveSamples.size());
}

void ShatterPlan::holdSeedsPerRing() {
  if (params.numRings < 1 || params.numShards / params.numRings <= kMaxSeedsPerRing) return;
  params.numRings = params.minRings = params.numShards / kMaxSeedsPerRing;
  MGlobal::displayWarning("number of rings increased to prevent from too little fragments in dynamics");
}

std::vector<Mgc::MgcVector3> ShatterPlan::seeds(const ZOV_DFmesh& mesh, const MBoundingBox& region) {
  std::vector<Mgc::MgcVector3> made(std::max({params.numShards, params.numPoints, kSeedBufferFloor}));
  params.outPoints = made.data();
  ZOVbox limit;
  if (!region.isEmpty()) {
    limit.center = toEngine(region.center());
    limit.axes = Mgc::MgcMatrix3::IDENTITY;
    limit.extents = toEngine(MVector(region.max() - region.min()) * 0.5);
  }
  const bool served = generateShatterSeeds(params, &mesh, region.isEmpty() ? nullptr : &limit);
  params.outPoints = nullptr;
  if (!served) return {};
  made.resize(std::min<size_t>(params.numPoints, made.size()));
  return distinctSeeds(made);
}

std::vector<Mgc::MgcVector3> meshColours(const MFnMesh& mesh) {
  std::vector<Mgc::MgcVector3> colours;
  MColorArray all;
  mesh.getColors(all);
  for (unsigned int i = 0; i < all.length(); ++i) colours.emplace_back(all[i].r, all[i].g, all[i].b);
  return colours;
}

std::vector<Mgc::MgcVector3> engineColours(const ZOV_DFmesh& mesh) {
  if (!mesh.extraPoints) return {};
  return std::vector<Mgc::MgcVector3>(mesh.extraPoints, mesh.extraPoints + mesh.numExtraPoints);
}

DFmeshPtr previewSeedMesh(const MDagPath& object, const MDagPath* reference, const MMatrix& matrix,
                          std::vector<Mgc::MgcVector3>& colours) {
  MStringArray uvSets;
  if (reference) {
    DFmeshPtr mesh(mayaMeshToEngineMeshWorld(*reference, MIntArray(), uvSets, &matrix));
    const MFnMesh fn(*reference);
    colours = countColorSets(fn) > 0 ? meshColours(fn) : std::vector<Mgc::MgcVector3>();
    return mesh;
  }
  MFnMesh fn(object);
  MStringArray colourSets;
  fn.getColorSetNames(colourSets);
  DFmeshPtr mesh(mayaMeshToEngineMesh(fn, MIntArray(), uvSets, colourSets.length() > 0 ? colourSets[0] : MString()));
  colours = mesh ? engineColours(*mesh) : std::vector<Mgc::MgcVector3>();
  return mesh;
}

GivenSeeds givenSeeds(const ShatterSettings& settings, short scheme) {
  GivenSeeds seeds;
  std::vector<Mgc::MgcVector3> guard;
  for (unsigned int i = 0; i < settings.pointsB.length(); ++i) {
    const MPoint p = worldPoint(settings.pointsB[i], settings.matrix);
    seeds.earlier.push_back(toEngine(p));
    if (scheme != kVoroNonconform || settings.box.contains(p)) guard.push_back(toEngine(p));
  }
  std::vector<Mgc::MgcVector3> added;
  for (unsigned int i = 0; i < settings.pointsA.length(); ++i)
    added.push_back(toEngine(worldPoint(settings.pointsA[i], settings.matrix)));
  seeds.level = distinctSeeds(added, guard);
  seeds.all = scheme == kVoroNonconform ? seeds.earlier : distinctSeeds(seeds.earlier);
  seeds.all.insert(seeds.all.end(), seeds.level.begin(), seeds.level.end());
  return seeds;
}
