#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MFnMesh.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MMatrix.h>

#include <cstdint>
#include <vector>

#include "engine/MeshFactory.h"
#include "geometry/ShatterParams.h"
#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"
#include "src/commandArguments.h"
#include "src/shatter/shatterSettings.h"

// One shatter's seed plan: the request the seed generator gets, built one
// way for the shatter, its preview and the preview locator, so that a
// preview shows the seeds that a shatter with its settings cuts by.

/// The seed pattern's flags, the same on the shatter and its preview.
constexpr CommandFlag kNumShardsFlag{"-ns", "-numShards", MSyntax::kUnsigned};
constexpr CommandFlag kSeedFlag{"-sed", "-seed", MSyntax::kUnsigned};
constexpr CommandFlag kStyleFlag{"-st", "-shatterStyle", MSyntax::kUnsigned};
constexpr CommandFlag kNumRingsFlag{"-nr", "-numRings", MSyntax::kUnsigned};
constexpr CommandFlag kNoiseFlag{"-no", "-noise", MSyntax::kDouble};
constexpr CommandFlag kRadialAxisFlag{"-ra", "-radialAxis", MSyntax::kUnsigned};
constexpr CommandFlag kNumCentersFlag{"-noc", "-numCenters", MSyntax::kUnsigned};
constexpr CommandFlag kReferenceFlag{"-reo", "-refObject", MSyntax::kSelectionItem};

/// The narrowest spread width the seed generator is given: the
/// single-precision 0.01 widened. Narrower widths, 0 among them, are given
/// as this.
constexpr double kMinSpreadWidth = static_cast<double>(0.01f);
/// Seeds a ring of the radial pattern holds at most before rings are added.
constexpr std::uint32_t kMaxSeedsPerRing = 300;

/// What a shatter's flags (or a preview locator's settings) ask of the
/// seed pattern.
struct SeedPattern {
  /// Internal style (the commands' `-shatterStyle` - 1).
  std::uint16_t style = kStyleUniform;
  /// Seeds asked for.
  std::uint32_t count = 0;
  /// Random seed; 0 lets each generator seed from its own call count.
  std::uint32_t seed = 0;
  /// Impact centres used (at most kMaxShatterCenters).
  std::uint32_t centreCount = 0;
  /// Spread of the impact, radial and slab patterns.
  double width = 0.0;
  /// Rings of the radial pattern, and its radial jitter.
  std::uint32_t ringCount = 0;
  double noise = 0.0;
  /// The box axis the radial and slab patterns hold still.
  std::uint16_t radialAxis = 0;
};

/// A seed request being built and then served. The request's point arrays
/// (colours, curve samples, the output) live in the plan: a plan is not
/// copied.
class ShatterPlan {
 public:
  /// The request of the pattern around `centre` (world space); the impact
  /// centres start at zero.
  ShatterPlan(const SeedPattern& pattern, const Mgc::MgcVector3& centre);
  ShatterPlan(const ShatterPlan&) = delete;
  ShatterPlan& operator=(const ShatterPlan&) = delete;

  /// The colour table of the colour pattern (r, g, b).
  void setColours(std::vector<Mgc::MgcVector3> colours);
  /// The kMaxShatterCenters impact centres placed in the mesh around the
  /// pattern's centre (placePointInsideMesh, with the pattern's seed); a
  /// shape with mesh-operation history places them in the mesh it is made
  /// from.
  void placeImpactCentres(const MDagPath& shape, const ZOV_DFmesh& mesh);
  /// Impact centre k (below kMaxShatterCenters), to read or set.
  Mgc::MgcVector3& impactCentre(unsigned int k) { return params.centers[k]; }
  void setPatternCentre(const Mgc::MgcVector3& centre) { params.center = centre; }
  /// The path pattern's points: four samples per control vertex of the
  /// curve, through the matrix. Nothing when the curve cannot be sampled.
  void sampleCurve(const MFnNurbsCurve& curve, const MMatrix& matrix);
  /// The radial pattern's rings: when a ring would hold more than
  /// kMaxSeedsPerRing seeds, as many rings as hold them, with the module's
  /// warning. Nothing without a ring.
  void holdSeedsPerRing();

  std::uint32_t ringCount() const { return params.numRings; }
  /// The spread width the generator is given.
  double width() const { return params.noise; }

  /// The distinct seeds the pattern makes in the mesh (world space), in
  /// order; `region` (world space; empty for none) narrows the uniform and
  /// slab patterns. None when the pattern makes none.
  std::vector<Mgc::MgcVector3> seeds(const ZOV_DFmesh& mesh, const MBoundingBox& region = MBoundingBox());
  /// How many points the pattern made in seeds(), coincident ones
  /// included.
  std::uint32_t madeCount() const { return params.numPoints; }

 private:
  zov_shatter_params params;
  std::vector<Mgc::MgcVector3> colourTable;
  std::vector<Mgc::MgcVector3> curveSamples;
};

/// The colours of the mesh's current colour set, as (r, g, b).
std::vector<Mgc::MgcVector3> meshColours(const MFnMesh& mesh);
/// The colours an engine mesh carries from its host mesh.
std::vector<Mgc::MgcVector3> engineColours(const ZOV_DFmesh& mesh);

/// The mesh a preview's seeds go in, in world space, with its colour
/// table: the reference mesh read through `matrix` and the colours of its
/// current colour set when a reference is given, else the object's mesh and
/// the colours it carries. Null when the mesh cannot be read.
DFmeshPtr previewSeedMesh(const MDagPath& object, const MDagPath* reference, const MMatrix& matrix,
                          std::vector<Mgc::MgcVector3>& colours);

/// The seeds of a shatter given them (a preview locator's or a voronoi
/// node's), in world space.
struct GivenSeeds {
  /// What the carving cuts by: the earlier levels' seeds first (only once
  /// each for a conforming shatter), then this level's.
  std::vector<Mgc::MgcVector3> all;
  /// This level's seeds (list A), without those that repeat an earlier seed
  /// or one of their own before them.
  std::vector<Mgc::MgcVector3> level;
  /// The earlier levels' seeds (list B), as recorded.
  std::vector<Mgc::MgcVector3> earlier;
};
/// The seeds of the settings' lists, mapped to world space by its matrix.
/// A further level of a nonconforming shatter carves only by its own seeds,
/// so there only the earlier seeds in its region guard against repeats; a
/// conforming one carves by all.
GivenSeeds givenSeeds(const ShatterSettings& settings, short scheme);
