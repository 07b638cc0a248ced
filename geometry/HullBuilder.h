#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "math/MgcVector3.h"

// The incremental 3D convex hull behind convexHull and convexHullDF. This
// header is internal to the math library: callers use math/ConvexHull.h.
namespace zov::hull {

/// One face of the hull: its corners as indices into the hull's own vertex
/// array, running counter-clockwise seen from outside, and its outward unit
/// normal.
struct HullFace {
  std::vector<std::uint32_t> corners;
  Mgc::MgcVector3 normal;
};

/// The hull of one point array, built by adding the farthest remaining point
/// to a tetrahedron until no point lies outside, then joining coplanar faces.
///
/// A point counts as outside a face when it lies more than zov::kTolerance in
/// front of its plane, so points within that distance of the hull never become
/// vertices. While the hull grows, faces are triangles whose corners wind
/// counter-clockwise seen from outside; each new face takes its orientation
/// from the face it replaces, not from a test against an interior point, which
/// rounding can fool near flat parts of the hull. The faces a new point
/// replaces always form one region bounded by a single loop, over which every
/// new face turns convexly into its neighbour.
///
/// All working state lives in the object, so builds on separate objects may
/// run on separate threads at the same time.
///
/// Faces and edges are kept in creation order and visited newest first; that
/// order decides ties (which candidate point, which faces join first), so it
/// is part of the result.
class HullBuilder {
 public:
  /// Reads `points[0 .. n)`, which must stay valid while the builder is used.
  HullBuilder(const Mgc::MgcVector3* points, std::uint32_t n);

  HullBuilder(const HullBuilder&) = delete;
  HullBuilder& operator=(const HullBuilder&) = delete;

  /// Builds the hull. False when the points span no hull: fewer than 3 of
  /// them, 3 on one line, or more than 3 all within zov::kTolerance of one
  /// plane. Throws std::bad_alloc when memory runs out.
  bool build();

  /// The hull's vertices after a successful build, each one used by a face.
  const std::vector<Mgc::MgcVector3>& vertices() const { return vertices_; }

  /// Moves the faces out after a successful build, newest first. A 3-point
  /// build gives its one triangle with the corners in input order.
  std::vector<HullFace> takeFaces();

  /// True when the build was of exactly 3 points: one face whose normal is
  /// that of the plane through them.
  bool isSingleTriangle() const { return singleTriangle_; }

 private:
  struct WorkingFace {
    HullFace face;
    /// Dot of the first corner with the normal: the face plane's offset.
    double planeOffset;
    bool alive;
  };

  struct HullEdge {
    std::uint32_t a;
    std::uint32_t b;
    bool alive;
  };

  /// The live faces on either side of an edge; kNoFace where there is none.
  using SideFaces = std::array<std::uint32_t, 2>;

  bool buildInitialSimplex(std::uint32_t simplex[4]);
  void growHull(const std::uint32_t simplex[4]);
  std::uint32_t newestFaceOutside(const Mgc::MgcVector3& p, std::uint32_t previous, std::uint32_t scanned) const;
  bool addPoint(const Mgc::MgcVector3& point);
  bool findVisibleRegion(const Mgc::MgcVector3& point, std::vector<bool>& isVisible) const;
  bool repairVisibleRegion(const Mgc::MgcVector3& point, const std::vector<double>& heights,
                           std::vector<bool>& isVisible) const;
  bool coneFoldsOver(std::uint32_t a, std::uint32_t b, std::uint32_t across, const Mgc::MgcVector3& point) const;
  bool isSimpleLoop(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& horizon,
                    std::vector<std::uint32_t>& pinches) const;
  std::vector<std::uint32_t> islandsAndPinches(const std::vector<double>& heights, const std::vector<bool>& isVisible,
                                               const std::vector<std::uint32_t>& pinches) const;
  void mergeCoplanarFaces();
  bool mergeAcrossEdge(const HullEdge& edge);
  void removeUnusedVertices();

  std::uint32_t appendVertex(const Mgc::MgcVector3& position);
  void appendFace(std::vector<std::uint32_t> corners, const Mgc::MgcVector3& normal);
  void killFace(std::uint32_t f);
  void linkSides(std::uint32_t f);
  void unlinkSides(std::uint32_t f);
  void appendEdge(std::uint32_t a, std::uint32_t b);
  void removeEdge(std::uint32_t a, std::uint32_t b);
  std::uint32_t faceAcross(std::uint32_t f, std::uint32_t a, std::uint32_t b) const;
  bool isConvexRing(const std::vector<std::uint32_t>& ring, const Mgc::MgcVector3& normal) const;
  bool usedByOtherFaces(std::uint32_t vertex, std::uint32_t faceA, std::uint32_t faceB) const;
  double heightAbove(const Mgc::MgcVector3& point, std::uint32_t f) const;

  const Mgc::MgcVector3* points_;
  std::uint32_t numPoints_;
  /// How far behind a face a point may lie and still be taken as lying in
  /// its plane when the visible region is repaired.
  double noiseBand_ = 0.0;
  bool singleTriangle_ = false;

  std::vector<Mgc::MgcVector3> vertices_;
  /// Every face ever made, in creation order; dead ones stay as tombstones.
  std::vector<WorkingFace> faces_;
  std::uint32_t numLiveFaces_ = 0;
  std::vector<HullEdge> edges_;
  /// Position in edges_ of each live edge, by its unordered vertex pair.
  std::unordered_map<std::uint64_t, std::uint32_t> edgeSlots_;
  /// The live faces on each side of every side of a live face.
  std::unordered_map<std::uint64_t, SideFaces> sides_;
};

}  // namespace zov::hull
