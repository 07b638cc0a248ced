#pragma once

#include <cmath>

#include "math/MgcVector3.h"

// Air damping of the bodies' integration. A damping coefficient c is the
// fraction of velocity lost per 1/100 s, so over a step of dt seconds the
// motion is multiplied by (1 - c)^(100 dt), whatever the step length.
namespace airdamping {

/// Air damping coefficients are fractions lost per 1/100 s.
constexpr double kStepsPerSecond = 100.0;

/// Below this a damped velocity or momentum component is no motion at all.
/// Damping shrinks an undisturbed body's motion geometrically: left alone, a
/// component passes below the smallest normal double and stays subnormal, and
/// arithmetic on subnormals is many times slower, so a scene would slow down
/// with its age. The floor lies far above the smallest normal so that the
/// products of two such components (the gyroscopic term, squared lengths)
/// stay normal as well.
constexpr double kMotionFloor = 1e-100;

/// The factor of a step of dt seconds for coefficient c (in [0, 1]).
inline double factor(double c, double dt) { return std::pow(1.0 - c, kStepsPerSecond * dt); }

/// `v` times the factor, with components below the floor made zero.
inline Mgc::MgcVector3 damped(const Mgc::MgcVector3& v, double stepFactor) {
  Mgc::MgcVector3 result = v * stepFactor;
  for (int i = 0; i < 3; ++i)
    if (std::fabs(result[i]) < kMotionFloor) result[i] = 0.0;
  return result;
}

}  // namespace airdamping
