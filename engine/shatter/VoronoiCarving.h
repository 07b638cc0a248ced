#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"

/// One Voronoi cell carved out of a mesh.
struct VoronoiCell {
  /// The cell: a copy of the mesh cut by the bisector planes of its seed and
  /// the other seeds; cut faces carry kDFfaceCut. Owned by the cell.
  std::unique_ptr<ZOV_DFmesh> mesh;
  /// The index of the cell's seed in the seed array.
  std::uint32_t seed = 0;
};

/// What carving a mesh gives.
struct VoronoiCarving {
  enum class Status {
    /// Every seed was visited.
    kCarved,
    /// The progress callback stopped the carving; no cell is kept.
    kInterrupted,
    /// A null or broken mesh (a face index out of range), a null seed array
    /// or a seed that is not finite: nothing was carved.
    kBadInput,
    /// Memory ran out for a cell: no cell is kept, as a shatter with cells
    /// missing would leave holes in the object.
    kOutOfMemory,
  };
  Status status = Status::kCarved;
  /// The cells in carving order: the seeds sorted by distance to the first
  /// seed, nearest first.
  std::vector<VoronoiCell> cells;
  /// Seeds whose cell was abandoned: a cut left nothing of it (the seed lies
  /// outside the mesh) or failed.
  std::uint32_t abandoned = 0;
};

/// Called before each seed's cell with the cell's position in carving order
/// and the seed count; returning false stops the carving.
using VoronoiProgress = std::function<bool(std::uint32_t position, std::uint32_t count)>;

/// Carves the mesh into one Voronoi cell per seed: for each seed, a copy of
/// the mesh is cut (cutDFmeshByPlane) by the plane halfway between that seed
/// and every other seed, with the normal pointing from the other seed to it,
/// nearest seed first. `detectGroups` asks every cut to treat each connected
/// part of the cell separately. A cut with a negative result abandons the
/// cell. With fewer than two seeds no cell is made. The mesh is not changed.
///
/// Planes that cannot reach the cell are not applied: they would leave it
/// unchanged (without `detectGroups`, once a seed is more than twice as far
/// as the cell's farthest vertex, every later one is too).
VoronoiCarving carveVoronoiCells(const ZOV_DFmesh* mesh, const Mgc::MgcVector3* seeds, std::uint32_t count,
                                 bool detectGroups, const VoronoiProgress& progress = nullptr);
