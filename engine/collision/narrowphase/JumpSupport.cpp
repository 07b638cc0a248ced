#include "engine/collision/narrowphase/JumpSupport.h"

#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/BVbox.h"

using Mgc::MgcVector3;

BoxSide::BoxSide(const BVbox& box) : center_(box.getCenter()) {
  // A volume without a record has no corners: they all stay at the origin.
  box.computeVertexes(corners_);
}

std::uint32_t BoxSide::support(std::uint32_t /*start*/, const MgcVector3& d) const {
  std::uint32_t best = 0;
  double value = d.Dot(corners_[0]);
  for (std::uint32_t i = 1; i < 8; ++i) {
    const double height = d.Dot(corners_[i]);
    if (height > value) {
      value = height;
      best = i;
    }
  }
  return best;
}

MgcVector3 CapsuleSide::point(std::uint32_t /*index*/, const MgcVector3& d) const {
  return Pk_jump::capsuleSupport(capsule_, d);
}
