#pragma once

#include <cstdint>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

// The primitive shapes inside bounding volumes and bodies: plain data.

/// Corners of a box.
constexpr std::uint32_t kBoxCorners = 8;

/// An oriented box.
struct ZOVbox {
  Mgc::MgcVector3 center;
  /// The box axes as the columns of a rotation.
  Mgc::MgcMatrix3 axes;
  /// Half lengths along the three axes.
  Mgc::MgcVector3 extents;
  /// The largest of the three half lengths (written by the box fit).
  double maxExtent = 0.0;
};

/// An axis-aligned box.
struct ZOVAAbox {
  Mgc::MgcVector3 min;
  Mgc::MgcVector3 max;
};

/// A capsule: the segment between the sphere centres center +- axis * length/2,
/// swept by a sphere of `radius`.
struct ZOVcapsule {
  Mgc::MgcVector3 center;
  /// Unit direction of the segment.
  Mgc::MgcVector3 axis;
  /// Full length between the two sphere centres.
  double length = 0.0;
  double radius = 0.0;
};

/// The centre of a capsule's end sphere along +axis.
inline Mgc::MgcVector3 upperEnd(const ZOVcapsule& capsule) {
  return capsule.center + capsule.axis * (0.5 * capsule.length);
}
/// The centre of a capsule's end sphere along -axis.
inline Mgc::MgcVector3 lowerEnd(const ZOVcapsule& capsule) {
  return capsule.center - capsule.axis * (0.5 * capsule.length);
}
