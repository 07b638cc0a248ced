#pragma once

#include <maya/MDagPath.h>

#include <cstdint>

#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"

// Seed points of the shatter tools that read a host mesh.

/// Corners kept when looking for the sharpest ones.
constexpr int kSharpCornerTable = 16;

/// Up to `count` world positions of the mesh's sharpest corners: vertices
/// whose connected faces' normals agree least with the first face's (mean
/// dot product), of the 16 sharpest only those at or below their average;
/// written from a random start among them. `count` becomes the number
/// written. A seed other than 0 reseeds the random numbers first.
void sharpCornerSeeds(const MDagPath& meshPath, Mgc::MgcVector3* points, int& count, unsigned int seed);

/// `count` seed points for a shatter around `start`: points[0] is `start`
/// moved inside the engine mesh; with more than one point, the first half
/// after it holds the mesh's sharpest corners (then random points inside),
/// and the last (count + 1) / 2 are random points inside the mesh.
void placePointInsideMesh(int count, Mgc::MgcVector3* points, unsigned int seed, const MDagPath& meshPath,
                          const ZOV_DFmesh& engineMesh, const Mgc::MgcVector3& start);
