#pragma once

#include <cstdint>

#include "math/MgcVector3.h"

// Point sets given either as a plain array or as indices into an array, read
// through one call so that a fit is written once for both.
namespace zov {

/// Point i of a plain array.
struct DirectPoints {
  const Mgc::MgcVector3* points;
  const Mgc::MgcVector3& operator()(std::uint32_t i) const { return points[i]; }
};

/// Point i of an index list.
struct IndexedPoints {
  const std::uint32_t* indices;
  const Mgc::MgcVector3* points;
  const Mgc::MgcVector3& operator()(std::uint32_t i) const { return points[indices[i]]; }
};

}  // namespace zov
