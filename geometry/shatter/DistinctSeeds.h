#pragma once

#include <vector>

#include "math/MgcVector3.h"

// Seeds closer than the coincidence distance are one site: each would carve
// the same cell, and the cells would overlap. Every list of seeds passes
// through distinctSeeds once before it is carved or shown.

/// Squared distance below which two seeds coincide.
constexpr double kCoincidentSeedsSq = 1e-5;

/// The seeds of `added`, in order, that lie at least the coincidence
/// distance from every seed of `earlier` and from every seed of `added`
/// kept before them. A seed that is not finite coincides with none.
std::vector<Mgc::MgcVector3> distinctSeeds(const std::vector<Mgc::MgcVector3>& added,
                                           const std::vector<Mgc::MgcVector3>& earlier = {});
