#pragma once

#include <algorithm>
#include <cmath>

#include "math/MgcVector3.h"

// Component-wise helpers shared by the bounding-volume transforms.
namespace zov {

/// s . v, component by component.
inline Mgc::MgcVector3 scaledBy(const Mgc::MgcVector3& s, const Mgc::MgcVector3& v) {
  return {s.x * v.x, s.y * v.y, s.z * v.z};
}

/// (|s.x|, |s.y|, |s.z|). A mirrored axis scales a half extent, a radius or a
/// length by its magnitude: sizes stay non-negative and describe the same set.
inline Mgc::MgcVector3 absComponents(const Mgc::MgcVector3& s) {
  return {std::fabs(s.x), std::fabs(s.y), std::fabs(s.z)};
}

/// The largest |s_i|: the factor by which a sphere or a radius grows under s.
inline double largestScale(const Mgc::MgcVector3& s) {
  return std::max({std::fabs(s.x), std::fabs(s.y), std::fabs(s.z)});
}

}  // namespace zov
