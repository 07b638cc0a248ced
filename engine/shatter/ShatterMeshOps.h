#pragma once

#include <cstdint>

#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"

// The engine's entry points for the shatter tools: they put the shatter mesh
// structure (`BVDFmesh`) and its plane clipper over a caller's mesh to
// subdivide marked faces, cut the mesh by a plane and split it into its
// connected pieces, and test whether a shard is close enough to convex. The
// caller keeps its mesh throughout. Main thread only: not re-entrant.

/// Subdivides the faces marked kDFfaceSelected `iterations` times (1 to 4;
/// other counts change nothing; see BVDFmesh::subdivideFaces). With
/// `keepSelection` false every face is marked first and no face is marked at
/// the end; with it true the faces that come out of the marked ones are the
/// marked ones afterwards. False, with the mesh unchanged, for a null mesh or
/// one with a face whose vertex index is not below its vertex count; false
/// too when memory ran out during a pass (the passes before it stand).
bool buildDFmeshVolumeFlags(ZOV_DFmesh* mesh, std::uint16_t iterations, bool keepSelection);
/// The same operation under the name the mesh-operation tools call it by.
inline bool subdivideDFmeshFaces(ZOV_DFmesh* mesh, std::uint16_t iterations, bool keepSelection) {
  return buildDFmeshVolumeFlags(mesh, iterations, keepSelection);
}

/// Cuts the mesh in place by the plane through `point` with `normal`,
/// keeping the side the normal points to and capping the cut (cap faces carry
/// kDFfaceCut). With `detectGroups` the mesh's connected pieces are labelled
/// first; otherwise its piece count is the one its last labelling left.
/// A mesh of two or more pieces is cut piece by piece after flat pieces are
/// folded into the pieces around them; the pieces that remain are joined
/// back into the mesh in piece order and numbered 1, 2, ... again.
///
/// Results: kClipNothingBelow (1) when nothing lay below the plane,
/// kClipCut (0) after a cut, -1 when nothing is left (the mesh lay below
/// the plane, or the cut left no face) or the mesh is null or has a face
/// index out of range, kClipFailed (-2) when memory ran out. Of several
/// pieces the largest result counts. A negative result leaves the mesh as it
/// was (or without faces); the caller abandons it.
std::int32_t cutDFmeshByPlane(ZOV_DFmesh* mesh, const Mgc::MgcVector3& normal, const Mgc::MgcVector3& point,
                              bool detectGroups);

/// Splits the mesh into its connected pieces (pieces that touch at a vertex
/// are one) and folds flat pieces into the pieces around them. Returns the
/// number of pieces left. When the mesh has 2 or more connected pieces,
/// `*parts` receives a new array of that many new meshes (folding may leave
/// 1), which the caller frees with deleteDFmeshParts; otherwise `*parts` is
/// left alone. -1, with nothing handed back, for a null mesh or `parts`, a
/// face index out of range, or when memory runs out.
std::int32_t splitDFmeshParts(ZOV_DFmesh* mesh, ZOV_DFmesh*** parts);

/// Frees an array of `count` meshes that splitDFmeshParts handed back, and
/// sets `*parts` to null.
void deleteDFmeshParts(ZOV_DFmesh*** parts, std::int32_t count);

/// Whether the shard is close enough to its convex hull: its volume V is not
/// 0, at least 0.8 of its hull's volume H, and 0.9 V <= H. The hull is
/// built from all vertices below 512 vertices, else approximated with a
/// budget of 512. False for a null mesh or when no hull can be built.
bool isHullVolumeClose(ZOV_DFmesh* mesh);
