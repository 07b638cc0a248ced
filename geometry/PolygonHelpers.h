#pragma once

#include <cstdint>

#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/EdgeTurn.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector2.h"
#include "math/MgcVector3.h"

// Small polygon services of the mesh builders and the shatter code: splitting
// a polygon into fan pieces that fit a face record, edge and face tests, the
// centroid of a planar polygon, and Gaussian random points for seeding.

/// Writes the polygon (anchor, chain[0], ..., chain[k-1]) as faces from
/// `faces[faceCount]` on, advancing `faceCount` by the number written.
///
/// A polygon of k + 1 corners is written whole when k + 1 < `limit`; otherwise
/// it is cut into fan pieces that all start at the anchor: the anchor with the
/// first k / 2 chain entries, then the anchor with the rest of the chain from
/// the last entry of that piece on, each piece cut again while it has more than
/// 31 corners. A chain shorter than 2 writes nothing. The caller's array must
/// have room for every piece.
///
/// `parallelChain` runs beside the chain (with `anchorParallel` beside the
/// anchor) and is written to the corners' `uvIndices`. `limit` is lowered to
/// kMaxFaceCorners + 1, so that no piece overflows a face record. Each written
/// face gets its corners, `numEdges` 0 and `mark` 1; its other fields stay.
void appendFanFaces(std::uint32_t anchor, const std::uint32_t* chain, std::uint32_t anchorParallel,
                    const std::uint32_t* parallelChain, std::int32_t k, mesh_face* faces, std::int32_t& faceCount,
                    std::uint32_t limit);

/// appendFanFaces into `DFface` records, vertex indices only: each face's
/// arrays are replaced by new ones for its corners (one texture layer, see
/// allocateBufferChannels), and it gets `numList` 0, `mark` 1 and the
/// kDFfaceSelected flag. `limit` is taken as given. Throws std::bad_alloc when
/// a face's arrays cannot be allocated; the faces written before stay.
void appendFanFacesDF(std::uint32_t anchor, const std::uint32_t* chain, std::int32_t k, DFface* faces,
                      std::int32_t& faceCount, std::uint32_t limit);

/// appendFanFacesDF that also writes the parallel chain into `uvIndices`, and
/// does not set kDFfaceSelected.
void appendFanFacesDFAttr(std::uint32_t anchor, const std::uint32_t* chain, std::uint32_t anchorParallel,
                          const std::uint32_t* parallelChain, std::int32_t k, DFface* faces, std::int32_t& faceCount,
                          std::uint32_t limit);

/// True when the edge joins a vertex to itself or is shorter than
/// sqrt(zov::kTolerance).
bool isEdgeDegenerate(const DirectedEdge& edge, const Mgc::MgcVector3* vertices);

/// True unless the face's corners turn both ways about its normal
/// (edgeTurnSign of every two consecutive sides, cyclically). A face without
/// corners, or whose second index list holds 3 entries (a record its builder
/// made as a triangle), counts as convex without a test; so does a face whose
/// corners are all collinear.
bool isFaceConvex(const DFface& face, const Mgc::MgcVector3* vertices);

/// The area centroid of the planar polygon points[0 .. n), written to `out`
/// and returned. The closing side from the last point back to the first is not
/// summed, so give the points relative to the first one, where it adds
/// nothing. A polygon without area (n < 3, or collinear points) has no area
/// centroid; it gets the mean of its points (zero for n <= 0).
Mgc::MgcVector2& polygonCentroid2D(Mgc::MgcVector2& out, const Mgc::MgcVector2* points, std::int32_t n);

/// Two random points around `centre`: three pairs of standard normal numbers
/// (polar Box-Muller over Mgc::Math::SymmetricRandom, without reseeding) give
/// the vectors a and b of the first and second number of each pair; each is
/// rotated by `rotation`, multiplied component-wise by `scale` and moved by
/// `centre`. out[0] = a, out[1] = b. Draws from the process-wide generator.
void randomGaussianVectors(const Mgc::MgcVector3& centre, const Mgc::MgcVector3& scale, const Mgc::MgcMatrix3& rotation,
                           Mgc::MgcVector3 out[2]);
