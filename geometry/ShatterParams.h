#pragma once

#include <cstdint>

#include "math/MgcVector3.h"

class ZOVmesh;

/// Most impact centres a shatter request carries.
constexpr std::uint32_t kMaxShatterCenters = 5;

/// A shatter seed request, handed by the host side to the seed generators.
/// Copying copies the fields; the point arrays are shared, never owned.
struct zov_shatter_params {
  /// Null mesh and point arrays, zero centres, everything else 0.
  zov_shatter_params();

  /// Mesh to shatter; seeds are made to lie inside it. Not owned.
  ZOVmesh* mesh;
  /// The caller's buffer that the seed generators fill: room for the requested
  /// count (numShards or numPoints, whichever the pattern reads). Not owned.
  Mgc::MgcVector3* outPoints;
  /// Requested number of shards.
  std::uint32_t numShards;
  /// Number of seed points: requested by some patterns; after a request has
  /// been served, the number of points the generator made.
  std::uint32_t numPoints;
  /// Centre of the pattern.
  Mgc::MgcVector3 center;
  /// Point set of the impact and path patterns (numPathPoints). Not owned.
  Mgc::MgcVector3* pathPoints;
  std::uint32_t numPathPoints;
  std::uint32_t numGivenPoints;
  /// Seed points given by the caller (numGivenPoints). Not owned.
  Mgc::MgcVector3* givenPoints;
  /// Spread of the impact, radial and third patterns.
  double noise;
  /// Ring count of the radial pattern; callers keep it at least 1.
  std::uint32_t numRings;
  /// Lower bound of the ring count.
  std::uint32_t minRings;
  /// Number of impact centres (the impact pattern uses at most kMaxShatterCenters).
  std::uint32_t numCenters;
  Mgc::MgcVector3 centers[kMaxShatterCenters];
  /// Radius of the radial pattern.
  double radius;
  /// Lower bound of the radius.
  double minRadius;
  /// Axis option of the radial and third patterns.
  std::uint32_t radialAxis;
  /// Random seed; 0 lets each generator seed from its own call counter.
  std::uint32_t seed;
  /// Passed to the inside-mesh correction of the impact pattern.
  std::uint8_t keepInside;
  /// Pattern: 1 impact, 2 radial rings, 3, 4, 5 given points, else uniform.
  std::uint16_t shatterStyle;
};
