#pragma once

#include <cstdint>

#include "math/MgcMatrix3.h"
#include "math/MgcQuaternion.h"
#include "math/MgcVector3.h"

/// Length of a body's name buffer, the terminating zero included.
constexpr int kBodyNameLength = 256;

/// A body's description in its own frame. Plain data: copies are member-wise.
struct HardBodyShape {
  /// Body id: -1 until the world gives one; set and read by the host layer.
  std::int32_t id = -1;
  /// Zero-terminated name.
  char name[kBodyNameLength] = {};
  /// Geometric centre relative to the reference point, before scaling.
  Mgc::MgcVector3 localCenter;
  /// Rotation of the local box in the body frame.
  Mgc::MgcMatrix3 boxRotation{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  /// The same rotation as a quaternion.
  Mgc::Quaternion boxQuat{1.0, 0.0, 0.0, 0.0};
  /// Full edge lengths of the local box, before scaling.
  Mgc::MgcVector3 boxSize;
  /// Bounding radius before scaling.
  double localRadius = 0.0;
  /// Bounding-sphere radius: localRadius times the largest scale component.
  double radius = 0.0;
  /// World centre, written by computeWCenter.
  Mgc::MgcVector3 worldCenter;
  /// Per-axis scale of the body.
  Mgc::MgcVector3 scale{1.0, 1.0, 1.0};
  /// Set and compared by the host layer.
  std::int32_t tag = 0;
};
