#pragma once

#include "math/MgcVector3.h"

/// True when the triangle (a, b, c) is degenerate: one of its edges has a
/// squared length below 1e-5, or the corner opposite its longest edge lies
/// closer to that edge's line than allowed: squared distance below `tolerance`,
/// or below `tolerance` times the edge's squared length when `relative` is set.
bool isTriangleDegenerate(const Mgc::MgcVector3& a, const Mgc::MgcVector3& b, const Mgc::MgcVector3& c,
                          bool relative, double tolerance);
