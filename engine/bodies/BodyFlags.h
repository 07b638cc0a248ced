#pragma once

#include <cstdint>

// Bits of a body's flags word (HardBody). All are clear after construction.

/// The body is awake and simulated.
constexpr std::uint32_t kBodyActive = 0x1;
/// The body does not move: integration leaves it, its energy is kMaxFloat.
constexpr std::uint32_t kBodyStatic = 0x2;
/// The world-space mesh and bounds are current. Moves and turns clear it,
/// updateWorldData sets it.
constexpr std::uint32_t kBodyWorldUpdate = 0x4;
/// The body is a piece held by joints.
constexpr std::uint32_t kBodyJoined = 0x8;
/// Set and cleared by the collision passes.
constexpr std::uint32_t kBodyInContact = 0x10;
/// The body is passive until it is first hit.
constexpr std::uint32_t kBodyFirstHit = 0x20;
/// The body was handled in the current pass.
constexpr std::uint32_t kBodyProcessed = 0x40;
/// Fracture bodies: secondary impacts are enabled.
constexpr std::uint32_t kBodySecondaryImpacts = 0x80;
/// The body's mesh was roughened.
constexpr std::uint32_t kBodyJagginess = 0x100;
/// Fracture bodies: the family cannot break.
constexpr std::uint32_t kBodyUnbreakable = 0x200;
/// Fracture bodies: joints break at a set frame.
constexpr std::uint32_t kBodyBreakByFrame = 0x400;

// Parts of the current state that saveDynamics copies into the initial state.
// The first of kSaveAll, kSaveMass, kSaveLinearVelocity, kSaveAngularVelocity
// that is set decides.

/// The whole record, with restitution and friction.
constexpr int kSaveAll = 0x1;
/// Linear velocity.
constexpr int kSaveLinearVelocity = 0x2;
/// Angular velocity and angular momentum.
constexpr int kSaveAngularVelocity = 0x4;
/// Inverse mass, world inertia tensors and angular momentum.
constexpr int kSaveMass = 0x8;
