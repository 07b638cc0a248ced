#pragma once

#include <cstdint>

#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// Distances between the faces of engine meshes. The search keeps its working
// data on its own stack, so any number of threads may call it at once.

/// The closest pair of faces of two meshes, in their transformed (world) data:
/// over every face i of A and face j of B whose normals do not point the same
/// way (nA_i . nB_j < 1e-5), the squared distance of the two face polygons.
/// Writes the two face indices and the closest points of the best pair and
/// returns its squared distance; with no such pair the indices are
/// zov::kNoIndex, the points are not written and the result is zov::kMaxFloat.
double closestFacePair(const ZOVmesh& meshA, const ZOVmesh& meshB, std::uint32_t& faceA, std::uint32_t& faceB,
                       Mgc::MgcVector3& pointA, Mgc::MgcVector3& pointB);
