#pragma once

#include <cstdint>

/// A body's collision state. Only the collision passes write and read it
/// (through HardBody::setCollisionState and getCollisionState) and give its
/// values their meaning; every body starts at kMotionStateNone.
enum EMotionState : std::int32_t {
  kMotionStateNone = 0,
  /// The contact solver resolved a contact of the body in this step.
  kMotionStateResolved = 1,
  /// Kept across steps: the world's pre-step leaves it.
  kMotionStateKept = 2,
};
