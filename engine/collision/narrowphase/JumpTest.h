#pragma once

#include <cstdint>

#include "engine/collision/narrowphase/JumpSupport.h"
#include "engine/collision/narrowphase/PkJump.h"

/// The most support steps the jump test takes before it gives up.
constexpr std::uint32_t kMaxJumpSteps = 64;

/// Overlap of two convex shapes by the jump test on their difference shape
/// B - A: 1 when B - A holds the origin, 0 when a direction d separates them
/// (every point of B - A lies beyond the origin along d).
///
/// The search starts from the state's direction and support vertices, or,
/// with no direction cached, from the centre of A towards the centre of B
/// (a fixed axis when the centres coincide) with both indices 0. Each step
/// reflects the direction in the plane normal to the newest support point;
/// the test answers overlap once the recorded support directions, seen along
/// that point, surround it (an enclosing wedge), and answers apart once a
/// support point lies more than 1e-5 along d. When it stops without either
/// (no progress, a repeated pair that gains nothing, or kMaxJumpSteps steps)
/// the separation search decides, and where that cannot show a separating
/// direction the answer is 1: the pair may overlap and its contacts decide.
///
/// On return the state holds the last direction, support pair and point.
int jumpTest(const PairSupport& shapes, JumpState& state);
