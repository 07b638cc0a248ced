#include "geometry/shatter/DistinctSeeds.h"

#include <cmath>
#include <map>

#include "math/Finite.h"

using Mgc::MgcVector3;

namespace {

/// How far apart along x two coinciding seeds may lie, widened a little so
/// that rounding of the square root passes over no candidate.
const double kReach = std::sqrt(kCoincidentSeedsSq) * (1.0 + 1e-9);

/// Seeds that a later seed must not repeat, ordered by x so that only those
/// within the coincidence distance along x are compared.
class SeedSweep {
 public:
  bool coincides(const MgcVector3& p) const {
    if (!zov::isFinite(p)) return false;
    for (auto it = byX.lower_bound(p.x - kReach); it != byX.end() && it->first <= p.x + kReach; ++it)
      if ((it->second - p).SquaredLength() < kCoincidentSeedsSq) return true;
    return false;
  }
  void add(const MgcVector3& p) {
    if (zov::isFinite(p)) byX.emplace(p.x, p);
  }

 private:
  std::multimap<double, MgcVector3> byX;
};

}  // namespace

std::vector<MgcVector3> distinctSeeds(const std::vector<MgcVector3>& added, const std::vector<MgcVector3>& earlier) {
  SeedSweep sweep;
  for (const MgcVector3& p : earlier) sweep.add(p);
  std::vector<MgcVector3> kept;
  kept.reserve(added.size());
  for (const MgcVector3& p : added) {
    if (sweep.coincides(p)) continue;
    kept.push_back(p);
    sweep.add(p);
  }
  return kept;
}
