#pragma once

#include <cstdint>
#include <queue>
#include <utility>
#include <vector>

#include "math/MgcVector3.h"
#include "math/Tolerances.h"

// The incremental 3D convex hull behind convexHull and convexHullDF. This
// header is internal to the geometry library: callers use
// geometry/ConvexHull.h.
namespace zov::hull {

/// One face of the hull: its corners as indices into the hull's own vertex
/// array, running counter-clockwise seen from outside, and its outward unit
/// normal. The corners belong to the builder and live as long as it does.
struct HullFace {
  const std::uint32_t* corners;
  std::uint32_t numCorners;
  Mgc::MgcVector3 normal;
};

/// The hull of one point array, built by adding points to a tetrahedron until
/// no point lies outside, then joining coplanar faces.
///
/// A point counts as outside a face when it lies more than zov::kTolerance in
/// front of its plane, so points within that distance of the hull never become
/// vertices. Each face keeps the points outside it that no other face has
/// claimed (its conflict list); the next point added is the one lying
/// farthest in front of the face that holds it. The faces it sees are found by
/// walking from that face across edges, and only their points are handed on,
/// to the new faces, so a build costs about n log n for n points.
///
/// While the hull grows, faces are triangles whose corners wind
/// counter-clockwise seen from outside; each new face takes its orientation
/// from the face it replaces, not from a test against an interior point, which
/// rounding can fool near flat parts of the hull. The faces a new point
/// replaces always form one region bounded by a single loop, over which every
/// new face turns convexly into its neighbour.
///
/// Afterwards two faces that share an edge join into one when their normals
/// agree within zov::kUnitLow and the corners of each lie within
/// zov::kTolerance of the other's plane; the newer face's normal stays.
///
/// All working state lives in the object, so builds on separate objects may
/// run on separate threads at the same time. The result depends only on the
/// points and their order.
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

  /// The faces after a successful build, newest first. A 3-point build
  /// gives its one triangle with the corners in input order.
  std::vector<HullFace> faces() const;

  /// True when the build was of exactly 3 points: one face whose normal is
  /// that of the plane through them.
  bool isSingleTriangle() const { return singleTriangle_; }

 private:
  /// No face, and no point: the end of a conflict list or a missing link.
  static constexpr std::uint32_t kNoFace = kNoIndex;
  static constexpr std::uint32_t kNoPoint = kNoIndex;
  /// A face while the hull grows. Slots of dead triangles are reused.
  struct Triangle {
    std::uint32_t corners[3];
    /// The triangle across side k, from corner k to corner k + 1.
    std::uint32_t neighbours[3];
    Mgc::MgcVector3 normal;
    /// Dot of the first corner with the normal: the plane's offset.
    double planeOffset;
    /// Order of creation, which decides ties between faces.
    std::uint64_t serial;
    /// First point of the conflict list, linked through nextConflict_.
    std::uint32_t firstConflict;
    /// The conflict point farthest in front of the plane, and its height.
    std::uint32_t farthest;
    double farthestHeight;
    /// Search marks: the point stamp at which the face joined the visible
    /// region and at which its height was taken, and the last search around
    /// the region that reached it.
    std::uint32_t visibleStamp;
    std::uint32_t heightStamp;
    std::uint32_t reachedStamp;
    double height;
    bool alive;
  };

  /// A face after growth, while coplanar faces are joined.
  struct PolygonFace {
    /// Its corners are cornerPool_[first .. first + numCorners).
    std::uint32_t first;
    std::uint32_t numCorners;
    Mgc::MgcVector3 normal;
    bool alive;
  };

  /// An edge between two faces after growth.
  struct HullEdge {
    std::uint32_t a;
    std::uint32_t b;
    /// The faces on its two sides when growth ended; faceNow finds what
    /// they have been joined into since.
    std::uint32_t faces[2];
    /// One more than the joins made when the faces across it were last
    /// found not to lie in one plane; 0 while they never were.
    std::uint32_t apartBefore;
    bool alive;
  };

  /// A side of the visible region: corners a to b as the visible face runs,
  /// the unseen triangle across it, and the normal of the cone face over it.
  struct HorizonSide {
    std::uint32_t a;
    std::uint32_t b;
    std::uint32_t across;
    Mgc::MgcVector3 normal;
  };

  /// A triangle waiting to give its farthest point: (height, triangle).
  using QueueEntry = std::pair<double, std::uint32_t>;

  bool buildInitialSimplex(std::uint32_t simplex[4]);
  void assignInitialPoints(const std::uint32_t simplex[4]);
  void growHull();
  bool addPoint(std::uint32_t point, std::uint32_t seed);
  bool findVisibleRegion(const Mgc::MgcVector3& point, std::uint32_t seed);
  bool repairVisibleRegion(const Mgc::MgcVector3& point);
  bool coneFoldsOver(HorizonSide& side, const Mgc::MgcVector3& point) const;
  bool isSimpleLoop(std::vector<std::uint32_t>& pinches);
  void islandsAndPinches(const Mgc::MgcVector3& point, const std::vector<std::uint32_t>& pinches,
                         std::vector<std::uint32_t>& joining);
  void partitionConflicts();
  void assignConflict(std::uint32_t f, std::uint32_t point, double height);
  void dropConflict(std::uint32_t f, std::uint32_t point);
  void enqueue(std::uint32_t f);

  std::uint32_t newTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, const Mgc::MgcVector3& normal);
  void killTriangle(std::uint32_t f);
  bool isVisible(std::uint32_t f) const { return triangles_[f].visibleStamp == stamp_; }
  void markVisible(std::uint32_t f);
  double heightOf(std::uint32_t f, const Mgc::MgcVector3& point);
  double planeHeight(std::uint32_t f, const Mgc::MgcVector3& point) const;

  void collectFaces();
  void mergeCoplanarFaces();
  bool mergeAcrossEdge(HullEdge& edge);
  void removeUnusedVertices();

  std::uint32_t appendVertex(const Mgc::MgcVector3& position);
  void appendFace(const std::uint32_t* corners, std::uint32_t numCorners, const Mgc::MgcVector3& normal);
  const std::uint32_t* cornersOf(const PolygonFace& face) const { return cornerPool_.data() + face.first; }
  std::uint32_t faceNow(std::uint32_t f);
  bool isConvexRing(const std::vector<std::uint32_t>& ring, const Mgc::MgcVector3& normal) const;
  bool usedByOtherFaces(std::uint32_t vertex, std::uint32_t faceA, std::uint32_t faceB) const;

  const Mgc::MgcVector3* points_;
  std::uint32_t numPoints_;
  /// How far behind a face a point may lie and still be taken as lying in
  /// its plane when the visible region is repaired.
  double noiseBand_ = 0.0;
  bool singleTriangle_ = false;

  std::vector<Mgc::MgcVector3> vertices_;

  // Growth.
  std::vector<Triangle> triangles_;
  std::vector<std::uint32_t> freeTriangles_;
  std::uint32_t numLiveTriangles_ = 0;
  std::uint64_t nextSerial_ = 0;
  /// The next point in the same conflict list, per input point.
  std::vector<std::uint32_t> nextConflict_;
  std::priority_queue<QueueEntry> queue_;
  /// Mark of the point being added; each point tried takes a new one.
  std::uint32_t stamp_ = 0;
  /// Mark of the last search around the visible region.
  std::uint32_t searchStamp_ = 0;
  /// Scratch of the point being added.
  std::vector<std::uint32_t> region_;
  std::vector<HorizonSide> horizon_;
  std::vector<std::uint32_t> conflicts_;
  std::vector<std::uint32_t> newFaces_;
  /// Horizon sides or new faces by their first corner, for walking the loop.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> byFirstCorner_;

  // Joining coplanar faces.
  /// Every face after growth, oldest first; joined ones stay as tombstones.
  std::vector<PolygonFace> faces_;
  /// The corners of all faces, each face's in one run.
  std::vector<std::uint32_t> cornerPool_;
  /// Scratch of one join.
  std::vector<std::uint32_t> ring_;
  std::vector<std::uint32_t> kept_;
  std::vector<HullEdge> edges_;
  /// How many live faces use each vertex.
  std::vector<std::uint32_t> vertexUses_;
  /// The face each face was joined into; itself while it is live.
  std::vector<std::uint32_t> joinedInto_;
  /// Joins made so far.
  std::uint32_t numJoins_ = 0;
  /// The join that last grew each face; 0 before any.
  std::vector<std::uint32_t> grownAt_;
};

}  // namespace zov::hull
