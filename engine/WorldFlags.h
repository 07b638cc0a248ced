#pragma once

#include <cstdint>

// Bits of the world's flags word (PublicWorld). A new world has air damping,
// friction and gravity on.

/// Bodies lose velocity to their air damping coefficients.
constexpr std::uint32_t kWorldAirDamping = 0x1;
/// Contacts resolve with friction.
constexpr std::uint32_t kWorldFriction = 0x2;
/// Bodies fall with the world's gravity.
constexpr std::uint32_t kWorldGravity = 0x4;
/// A step only detects contacts (sequentially) and resolves nothing.
constexpr std::uint32_t kWorldDetectMode = 0x8;
/// The step keeps a report of the pairs in contact for the pair queries.
constexpr std::uint32_t kWorldReportCollisions = 0x10;
/// Some body changed state in the last step's contact solver.
constexpr std::uint32_t kWorldBodyChangeState = 0x40;
/// Resting bodies are put to sleep after each advance.
constexpr std::uint32_t kWorldBodyDeactivation = 0x80;

/// The switches of a new world.
constexpr std::uint32_t kWorldDefaultFlags = kWorldAirDamping | kWorldFriction | kWorldGravity;
