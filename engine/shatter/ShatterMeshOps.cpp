#include "engine/shatter/ShatterMeshOps.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "geometry/ConvexHull.h"
#include "geometry/MassProperties.h"
#include "geometry/shatter/BVDFmesh.h"
#include "geometry/shatter/Clipper.h"
#include "geometry/shatter/DFmeshArrays.h"

using Mgc::MgcVector3;

namespace {

/// Result of a cut that leaves nothing, or of a mesh that cannot be bound.
constexpr std::int32_t kNothingLeft = -1;
/// Meshes of this many vertices or more get an approximate hull of at most
/// this many vertices.
constexpr std::uint32_t kHullBudget = 512;
/// A shard is close to its hull when V >= kVolumeRatio H and kVolumeFactor V <= H.
constexpr double kVolumeFactor = 0.9;
constexpr double kVolumeRatio = 0.8;

/// Cuts the mesh bound to `structure` as one piece.
std::int32_t cutBoundMesh(BVDFmesh& structure, ZOV_DFmesh& mesh, const MgcVector3& normal, const MgcVector3& point) {
  structure.initClipper();
  Clipper* clipper = structure.getClipper();
  std::int32_t result =
      clipper != nullptr ? clipper->clip(&mesh, normal, point * clipper->getScale(), kClipCaps) : kClipFailed;
  structure.finishCut(result);
  if (result >= 0 && mesh.numFaces == 0) result = kNothingLeft;
  return result;
}

/// Whether every face carries a piece number from 1 to `count`.
bool piecesNumbered(const ZOV_DFmesh& mesh, std::uint32_t count) {
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f)
    if (mesh.faces[f].pieceId == 0 || mesh.faces[f].pieceId > count) return false;
  return true;
}

/// Cuts each piece of the mesh bound to `structure` by itself and joins the
/// pieces that remain back into the mesh.
std::int32_t cutPieces(BVDFmesh& structure, ZOV_DFmesh& mesh, const MgcVector3& normal, const MgcVector3& point) {
  DFmeshPieces pieces = structure.extractPieces();
  if (pieces.empty()) return kNothingLeft;
  BVDFmesh::mergeDegeneratePieces(pieces);

  std::int32_t best = std::numeric_limits<std::int32_t>::min();
  std::vector<const ZOV_DFmesh*> kept;
  for (std::unique_ptr<ZOV_DFmesh>& piece : pieces) {
    BVDFmesh pieceStructure;
    const std::int32_t result =
        pieceStructure.init(piece.get(), 0) ? cutBoundMesh(pieceStructure, *piece, normal, point) : kNothingLeft;
    // A piece that could not be cut would go missing: the whole cut fails.
    if (result == kClipFailed) return kClipFailed;
    best = std::max(best, result);
    if (result < 0) continue;
    for (std::uint32_t f = 0; f < piece->numFaces; ++f)
      piece->faces[f].pieceId = static_cast<std::uint16_t>(kept.size() + 1);
    kept.push_back(piece.get());
  }
  if (kept.empty()) return best;

  std::unique_ptr<ZOV_DFmesh> joined = joinDFmeshes(kept.data(), kept.size());
  if (!joined) return kClipFailed;
  swapDFmeshArrays(mesh, *joined);
  mesh.center = joined->center;
  mesh.numMeshGroups = static_cast<std::uint32_t>(kept.size());
  return mesh.numFaces != 0 ? best : kNothingLeft;
}

}  // namespace

bool buildDFmeshVolumeFlags(ZOV_DFmesh* mesh, std::uint16_t iterations, bool keepSelection) {
  if (!BVDFmesh::isValidMesh(mesh)) return false;
  try {
    BVDFmesh structure;
    if (!structure.init(mesh, kDFmeshEdgeTable | kDFmeshBox) || (structure.getFlags() & kDFmeshEdgesBuilt) == 0)
      return false;
    if (!keepSelection)
      for (std::uint32_t f = 0; f < mesh->numFaces; ++f) mesh->faces[f].faceFlags |= kDFfaceSelected;
    const bool done = structure.subdivideFaces(static_cast<std::int16_t>(iterations));
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      DFface& face = mesh->faces[f];
      if ((face.faceFlags & kDFfaceLeftWhole) != 0)
        face.faceFlags = static_cast<std::uint16_t>((face.faceFlags & ~kDFfaceLeftWhole) | kDFfaceSelected);
      if (!keepSelection) face.faceFlags = static_cast<std::uint16_t>(face.faceFlags & ~kDFfaceSelected);
    }
    return done;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::int32_t cutDFmeshByPlane(ZOV_DFmesh* mesh, const MgcVector3& normal, const MgcVector3& point, bool detectGroups) {
  try {
    BVDFmesh structure;
    if (!structure.init(mesh, detectGroups ? kDFmeshPieces : 0)) return kNothingLeft;
    if (detectGroups && (structure.getFlags() & kDFmeshEdgesBuilt) == 0) return kClipFailed;
    std::uint32_t pieces = mesh->numMeshGroups;
    // Numbers left by an earlier labelling that no longer fit the faces are
    // renewed, so that no face is left out of every piece.
    if (pieces >= 2 && !piecesNumbered(*mesh, pieces)) {
      structure.labelPieces();
      if ((structure.getFlags() & kDFmeshEdgesBuilt) == 0) return kClipFailed;
      pieces = mesh->numMeshGroups;
    }
    if (pieces < 2) return cutBoundMesh(structure, *mesh, normal, point);
    return cutPieces(structure, *mesh, normal, point);
  } catch (const std::bad_alloc&) {
    return kClipFailed;
  }
}

std::int32_t splitDFmeshParts(ZOV_DFmesh* mesh, ZOV_DFmesh*** parts) {
  if (parts == nullptr) return kNothingLeft;
  try {
    BVDFmesh structure;
    if (!structure.init(mesh, kDFmeshPieces) || (structure.getFlags() & kDFmeshEdgesBuilt) == 0) return kNothingLeft;
    if (mesh->numMeshGroups < 2) return static_cast<std::int32_t>(mesh->numMeshGroups);

    DFmeshPieces pieces = structure.extractPieces();
    if (pieces.empty()) return kNothingLeft;
    BVDFmesh::mergeDegeneratePieces(pieces);
    auto* array = new (std::nothrow) ZOV_DFmesh*[pieces.size()];
    if (array == nullptr) return kNothingLeft;
    for (std::size_t i = 0; i < pieces.size(); ++i) array[i] = pieces[i].release();
    *parts = array;
    return static_cast<std::int32_t>(pieces.size());
  } catch (const std::bad_alloc&) {
    return kNothingLeft;
  }
}

void deleteDFmeshParts(ZOV_DFmesh*** parts, std::int32_t count) {
  if (parts == nullptr || *parts == nullptr) return;
  for (std::int32_t i = 0; i < count; ++i) delete (*parts)[i];
  delete[] * parts;
  *parts = nullptr;
}

bool isHullVolumeClose(ZOV_DFmesh* mesh) {
  if (!BVDFmesh::isValidMesh(mesh) || mesh->numVertices == 0) return false;
  const double volume = meshVolume(*mesh);
  const std::unique_ptr<ZOVmesh> hull = mesh->numVertices < kHullBudget ? convexHull(mesh->vertices, mesh->numVertices)
                                                                        : approxConvexHull(mesh, kHullBudget);
  if (!hull || hull->numVertices == 0) return false;
  const double hullVolume = meshVolume(*hull);
  return volume != 0.0 && kVolumeFactor * volume <= hullVolume && volume / hullVolume >= kVolumeRatio;
}
