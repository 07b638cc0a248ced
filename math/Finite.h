#pragma once

#include <cmath>

#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"

// Finiteness of the math values, for operations that refuse NaN and infinite
// input rather than spreading it.
namespace zov {

inline bool isFinite(const Mgc::MgcVector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

inline bool isFinite(const Mgc::MgcMatrix3& m) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      if (!std::isfinite(m[r][c])) return false;
  return true;
}

inline bool isFinite(const Mgc::Quaternion& q) {
  return std::isfinite(q.W()) && std::isfinite(q.X()) && std::isfinite(q.Y()) && std::isfinite(q.Z());
}

}  // namespace zov
