#pragma once

#include <cstdint>

// Bits of a joint's flags word (DynamicStress).

/// The joint holds; a joint whose bit is clear counts as broken.
constexpr std::uint32_t kJointActive = 0x1;
/// The joint breaks at a set frame.
constexpr std::uint32_t kJointBreakByFrame = 0x2;
/// The joint breaks when the impulse needed to hold it exceeds its tolerance.
constexpr std::uint32_t kJointBreakByForce = 0x4;
/// The joint was visited in the current break pass.
constexpr std::uint32_t kJointProcessed = 0x8;
/// The joint holds six degrees of freedom instead of three.
constexpr std::uint32_t kJointTorsion = 0x10;
