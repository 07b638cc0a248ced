#include "engine/shatter/VoronoiCarving.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>

#include "engine/MeshFactory.h"
#include "engine/shatter/ShatterMeshOps.h"
#include "geometry/shatter/BVDFmesh.h"
#include "geometry/shatter/Clipper.h"
#include "math/Finite.h"

using Mgc::MgcVector3;

namespace {

/// A plane is passed over only when every vertex lies at least this far on
/// the kept side, relative to the size of the coordinates: far beyond the
/// rounding of the clipper's own classification, so that the clipper would
/// surely have found nothing below the plane.
constexpr double kClearance = 1e-9;

double largestCoordinate(const MgcVector3& v) { return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}); }

/// How far the cell reaches from its seed, and how large its coordinates are.
struct CellReach {
  double radius = 0.0;
  double coordinates = 0.0;
};

CellReach reachOf(const ZOV_DFmesh& cell, const MgcVector3& seed) {
  CellReach reach;
  for (std::uint32_t v = 0; v < cell.numVertices; ++v) {
    reach.radius = std::max(reach.radius, (cell.worldVertices[v] - seed).Length());
    reach.coordinates = std::max(reach.coordinates, largestCoordinate(cell.worldVertices[v]));
  }
  return reach;
}

/// Whether every vertex of the cell lies clearly on the side of the plane
/// that `normal` (unit) points to.
bool planeMissesCell(const ZOV_DFmesh& cell, const MgcVector3& normal, const MgcVector3& point) {
  const double pointSize = largestCoordinate(point);
  for (std::uint32_t v = 0; v < cell.numVertices; ++v) {
    const MgcVector3& p = cell.worldVertices[v];
    if (normal.Dot(p - point) < kClearance * (largestCoordinate(p) + pointSize)) return false;
  }
  return true;
}

/// Seed indices other than `self`, nearest to `self` first (ties keep index
/// order).
void sortByDistance(const MgcVector3* seeds, std::uint32_t self, std::vector<std::uint32_t>& order) {
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return (seeds[a] - seeds[self]).SquaredLength() < (seeds[b] - seeds[self]).SquaredLength();
  });
}

/// Carves the cell of seed `self` out of `cell`; false when a cut abandons it.
/// Throws std::bad_alloc when a cut runs out of memory.
bool carveCell(ZOV_DFmesh& cell, const MgcVector3* seeds, std::uint32_t self, const std::vector<std::uint32_t>& others,
               bool detectGroups) {
  const MgcVector3& seed = seeds[self];
  CellReach reach = reachOf(cell, seed);
  for (const std::uint32_t other : others) {
    const MgcVector3 normal = seed - seeds[other];
    const MgcVector3 point = (seed + seeds[other]) * 0.5;
    const double distance = normal.Length();
    if (!detectGroups && cell.numMeshGroups < 2) {
      // A cut of one piece that finds nothing below its plane changes nothing.
      if (distance == 0.0) continue;
      const double margin = kClearance * (distance + reach.radius + reach.coordinates + largestCoordinate(seed));
      if (0.5 * distance - reach.radius > margin) break;
      if (planeMissesCell(cell, normal / distance, point)) continue;
    } else if (distance != 0.0 && planeMissesCell(cell, normal / distance, point)) {
      // With piece detection such a cut still labels the pieces, and only a
      // cell of one piece is then left as it was.
      BVDFmesh labels;
      if (labels.init(&cell, kDFmeshPieces) && (labels.getFlags() & kDFmeshEdgesBuilt) != 0 && cell.numMeshGroups < 2)
        continue;
    }
    const std::int32_t result = cutDFmeshByPlane(&cell, normal, point, detectGroups);
    // A cut that ran out of memory ends the carving: see carveVoronoiCells.
    if (result == kClipFailed) throw std::bad_alloc();
    if (result < 0) return false;
    if (result == kClipCut) reach = reachOf(cell, seed);
  }
  return true;
}

}  // namespace

VoronoiCarving carveVoronoiCells(const ZOV_DFmesh* mesh, const MgcVector3* seeds, std::uint32_t count,
                                 bool detectGroups, const VoronoiProgress& progress) {
  VoronoiCarving carving;
  bool goodSeeds = seeds != nullptr || count == 0;
  for (std::uint32_t i = 0; goodSeeds && i < count; ++i) goodSeeds = zov::isFinite(seeds[i]);
  if (!BVDFmesh::isValidMesh(mesh) || !goodSeeds) {
    carving.status = VoronoiCarving::Status::kBadInput;
    return carving;
  }
  if (count < 2) return carving;

  std::vector<std::uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  sortByDistance(seeds, 0, order);

  std::vector<std::uint32_t> others;
  for (std::uint32_t position = 0; position < count; ++position) {
    if (progress && !progress(position, count)) {
      carving.status = VoronoiCarving::Status::kInterrupted;
      carving.cells.clear();
      return carving;
    }
    const std::uint32_t self = order[position];
    try {
      std::unique_ptr<ZOV_DFmesh> cell(copyDFmesh(mesh));
      if (!cell) throw std::bad_alloc();
      others.clear();
      for (std::uint32_t i = 0; i < count; ++i)
        if (i != self) others.push_back(i);
      sortByDistance(seeds, self, others);
      if (carveCell(*cell, seeds, self, others, detectGroups)) {
        carving.cells.push_back(VoronoiCell{std::move(cell), self});
        continue;
      }
    } catch (const std::bad_alloc&) {
      carving.status = VoronoiCarving::Status::kOutOfMemory;
      carving.cells.clear();
      return carving;
    }
    ++carving.abandoned;
  }
  return carving;
}
