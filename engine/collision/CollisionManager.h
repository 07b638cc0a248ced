#pragma once

#include <cstdint>

/// A body's collision state. Only the collision passes write and read it
/// (through HardBody::setCollisionState and getCollisionState) and give its
/// values their meaning; every body starts at 0.
enum EMotionState : std::int32_t {};
