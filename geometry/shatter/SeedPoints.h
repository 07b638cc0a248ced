#pragma once

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "geometry/ShatterParams.h"
#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"

// The seed points of a shatter: the sites of the cells that a mesh is cut
// into. Each pattern places its points inside a convex hull of the mesh (so
// inside the mesh itself when the mesh is convex) and within the mesh's
// oriented box, drawing from the process-wide random sequence. A non-zero
// seed makes a request repeatable; with seed 0 each generator seeds from its
// own call count, so that unseeded requests differ.
//
// How the generators read a request:
//   outPoints     the buffer they fill;
//   numShards     the requested count of patterns 1, 2 and 4;
//   numPoints     the requested count of patterns 3 and 5 and the uniform
//                 pattern; afterwards the number of points made;
//   center        the pattern centre;
//   pathPoints    the curve samples of pattern 4 (numPathPoints of them);
//   givenPoints   the colour table of pattern 5 (numGivenPoints entries, r, g, b),
//                 indexed by the faces' per-corner colour ids (`extraIndices`);
//   noise         the spread width of every pattern;
//   numRings, minRings   the ring count of pattern 2 and its lower bound;
//   numCenters, centers  the impact centres of pattern 1 (at most 5 used);
//   radius, minRadius    the radial jitter of pattern 2 and its lower bound;
//   radialAxis    which box axis patterns 2 and 3 hold still;
//   seed, keepInside (pattern 1's choice of pull), shatterStyle (the pattern).
//
// Not re-entrant: the call counts, the random sequence and the order of the
// draws are process-wide. Callers run them on one thread.

/// Fills `params.outPoints` by the pattern `params.shatterStyle`: 1 clusters
/// around the impact centres, 2 rings around the centre (clusters when fewer
/// than 3 ring points fit), 3 a thin slab, 4 scattered along a curve, 5 drawn
/// towards light vertex colours, any other value uniform in the volume.
///
/// Adjusts the request in place: pattern 1 takes the first centre as its
/// centre, at most 5 centres and the random-start pull; pattern 2 draws its
/// ring count and jitter from their ranges (after reseeding with a non-zero
/// seed, so that the draw repeats) and uses at least one ring. `numPoints`
/// becomes the number of points made, which may be fewer than requested
/// (pattern 1 makes at most numShards - 1 points, in pairs; pattern 2
/// (numShards / rings) x rings); it is 0 when the result is false.
///
/// `limitBox` (may be null) narrows the sampling box of pattern 3 and the
/// uniform pattern. False, with nothing written to the buffer, for a null mesh,
/// buffer, curve or colour table, a mesh without a hull, a box too flat to
/// seed, pattern 4 with fewer than 2 points, and pattern 5 without colours.
bool generateShatterSeeds(zov_shatter_params& params, const ZOV_DFmesh* mesh, const ZOVbox* limitBox);

/// `count` uniform points in the mesh's hull, pulled in with margin 0.01 (by
/// the nearest-face move when `nearestFace` is set, for points outside only),
/// sorted by distance from the origin and separated. `seed` 0 seeds from the
/// call count. False for a null mesh or output, no hull or a flat box.
bool seedsInVolumeSorted(const ZOV_DFmesh* mesh, Mgc::MgcVector3* out, std::uint32_t count, bool nearestFace,
                         std::uint32_t seed);

// The generators behind generateShatterSeeds, each with its own call count.
// They read the request as generateShatterSeeds hands it over and write the
// number of points they made to `made` (0 when they return false).

/// numPoints uniform points in the (limited) box, pulled into the hull.
bool seedsUniform(const zov_shatter_params& params, const ZOV_DFmesh* mesh, const ZOVbox* limitBox,
                  std::uint32_t& made);
/// Gaussian pairs around each of min(numCenters, 5) centres, or around
/// `center` with fewer than 2 centres, until numShards - 1 points exist.
bool seedsAroundCentres(const zov_shatter_params& params, const ZOV_DFmesh* mesh, std::uint32_t& made);
/// numShards / numRings points on each of numRings rings around `center`
/// (at least one ring), unsorted.
bool seedsRadial(const zov_shatter_params& params, const ZOV_DFmesh* mesh, std::uint32_t& made);
/// numPoints points in a slab through `center`, 1% of the box thick across
/// the held axis.
bool seedsInSlab(const zov_shatter_params& params, const ZOV_DFmesh* mesh, const ZOVbox* limitBox, std::uint32_t& made);
/// Up to numShards points scattered along the curve samples that lie in the hull.
bool seedsAlongCurve(const zov_shatter_params& params, const ZOV_DFmesh* mesh, std::uint32_t& made);
/// numPoints points drawn towards the vertices of light colour.
bool seedsFromVertexColours(const zov_shatter_params& params, const ZOV_DFmesh* mesh, std::uint32_t& made);
