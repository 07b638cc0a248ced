#pragma once

#include "math/MgcVector3.h"

/// Whether the triangle (a, b, c) is too thin to span a plane.
///
/// It is degenerate when any edge has a squared length below zov::kTolerance,
/// or when the corner opposite the longest edge lies too close to that edge's
/// line: its squared distance from the line is below `tolerance`, or below
/// `tolerance` times the longest edge's squared length when `relative` is set
/// (which makes the test independent of the triangle's size). Among edges of
/// equal length a-c counts as the longest before a-b, and a-b before b-c.
bool isTriangleDegenerate(const Mgc::MgcVector3& a, const Mgc::MgcVector3& b, const Mgc::MgcVector3& c, bool relative,
                          double tolerance);
