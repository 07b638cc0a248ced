#pragma once

// Small operations on box volumes that the triangle tree and the collision
// passes share. Stateless: any thread may call them at the same time.

#include <cstdint>

#include "geometry/BVbox.h"
#include "math/MgcVector3.h"

/// Fits the box to points[0 .. count - 1] (fitOrientedBox), creating its
/// record first when it has none; false only when that allocation fails.
bool bvboxFromPoints(BVbox& box, const Mgc::MgcVector3* points, std::uint32_t count);
/// The same over points[indices[0 .. count - 1]].
bool bvboxFromIndexedPoints(BVbox& box, const Mgc::MgcVector3* points, const std::uint32_t* indices,
                            std::uint32_t count);
/// Separating-axis overlap of the two boxes; false when either has no record.
bool bvboxOverlap(const BVbox& a, const BVbox& b);
/// Whether the box reaches the plane through `point` with `normal`; false
/// without a record.
bool bvboxPlaneTest(const BVbox& box, const Mgc::MgcVector3& point, const Mgc::MgcVector3& normal);
