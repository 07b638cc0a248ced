#pragma once

#include <cstdint>
#include <vector>

#include "geometry/ZOV_DFmesh.h"

// What the shard output asks of a piece before it becomes a host mesh:
// whether it is close to convex, and its connected parts. These stand in
// for the engine's operations of the same purpose until the shatter
// geometry offers them.

/// Vertices up to which the hull is built from every vertex; above, an
/// approximate hull of this many points.
constexpr std::uint32_t kShardHullBudget = 512;

/// False when the hull of the piece's vertices cannot be built or has no
/// volume, when the piece's volume is 0, when 0.9 x its volume exceeds the
/// hull's, or when its volume is below 0.8 of the hull's; true otherwise.
bool shardFillsHull(const ZOV_DFmesh& mesh);

/// Splits a piece into its connected parts (faces that share a vertex are
/// connected). Answers -1 when a face names a vertex out of range or memory
/// runs out, else the number of parts; only with 2 or more are new part
/// meshes appended to `parts` (each with the piece's vertices, UVs, normals
/// and colours that its faces use, renumbered, and the faces' data and
/// flags), which the caller frees with deleteDFmesh.
int splitShardParts(const ZOV_DFmesh& mesh, std::vector<ZOV_DFmesh*>& parts);
