#pragma once

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"

class BVmesh;
class BVbox;

/// The most contact points a narrow-phase contact query writes.
constexpr std::uint32_t kMaxJumpContacts = 32;

/// What one shape pair's queries carry from one step to the next. The caller
/// owns it; a caller with nothing cached passes it zeroed (or with the vertex
/// indices set to zov::kNoIndex).
struct JumpState {
  /// The last support point w of the difference shape: the second shape's
  /// support point minus the first shape's.
  Mgc::MgcVector3 lastPoint;
  /// Support vertex of the first shape: a mesh vertex or a box corner 0..7.
  std::uint32_t vertexA = 0;
  /// Support vertex of the second shape (unused for capsules and planes).
  std::uint32_t vertexB = 0;
  /// The search direction, unit length; a squared length below 1e-5 means
  /// that nothing is cached. After a query that found the shapes apart it
  /// separates them: every point of the second shape lies further along it
  /// than every point of the first.
  Mgc::MgcVector3 direction;
};

/// A state with nothing cached, for a query without history.
inline JumpState freshJumpState() {
  JumpState state;
  state.vertexA = zov::kNoIndex;
  state.vertexB = zov::kNoIndex;
  return state;
}

/// One support step of a query: the difference-shape point w with the
/// support vertices that made it and the search direction that produced it.
struct JumpRecord {
  Mgc::MgcVector3 point;
  std::uint32_t vertexA = 0;
  std::uint32_t vertexB = 0;
  Mgc::MgcVector3 direction;
};

/// The vertex lists of the feature pair a hull-hull contact query found (up
/// to 3 vertices of each mesh), as the feature rules received them.
struct JumpFeatureLists {
  std::uint32_t a[3] = {0, 0, 0};
  std::uint32_t b[3] = {0, 0, 0};
  std::uint32_t countA = 0;
  std::uint32_t countB = 0;
};

/// The contact arrays a contact query fills, owned by the caller. Every point
/// lies on the first shape and has its own depth; normal and faces go to
/// entry 0 only and the caller copies them to the others. The normal points
/// from the second shape towards the first; a point's depth, (point on first
/// - point on second) . normal, is negative in penetration. The points of a
/// face or an edge lying flush on the other shape's face each have their own
/// separation from that face, positive where they stand above it.
struct JumpContacts {
  /// kMaxJumpContacts entries.
  Mgc::MgcVector3* points = nullptr;
  Mgc::MgcVector3* normals = nullptr;
  std::uint32_t* count = nullptr;
  double* depths = nullptr;
  /// Face of the first shape (a mesh face index).
  std::uint32_t* facesA = nullptr;
  /// Face of the second shape; may be null for queries whose second shape
  /// has no faces.
  std::uint32_t* facesB = nullptr;

  /// Writes the first min(n, kMaxJumpContacts) points, each with `depth`,
  /// and the count, and, when there is a point, normal and faces into entry
  /// 0 (faceB only when it is not zov::kNoIndex).
  void write(const Mgc::MgcVector3* contactPoints, std::uint32_t n, const Mgc::MgcVector3& normal, double depth,
             std::uint32_t faceA, std::uint32_t faceB) const;
  /// The same with each point's own depth.
  void write(const Mgc::MgcVector3* contactPoints, std::uint32_t n, const Mgc::MgcVector3& normal,
             const double* pointDepths, std::uint32_t faceA, std::uint32_t faceB) const;
};

/// The narrow-phase query engine: overlap and contact queries between convex
/// shapes (hull meshes given as `BVmesh` with their edge and vertex tables,
/// oriented boxes, capsules and planes), all in world coordinates.
///
/// The engine holds no data: every query works on its arguments and its own
/// stack, so one instance serves any number of threads at once, provided each
/// pair's `JumpState` and contact arrays belong to one thread and the shapes'
/// world data do not change during the query. Every query has a bounded
/// number of steps.
class Pk_jump {
 public:
  Pk_jump() = default;
  Pk_jump(const Pk_jump&) = delete;
  Pk_jump& operator=(const Pk_jump&) = delete;
  // slot 0
  virtual ~Pk_jump();

  /// Accepts the collision manager's narrow-phase mode and changes nothing.
  bool alwaysTrue(std::uint32_t mode) const;

  /// Overlap of two hull meshes: 1 overlap, 0 apart (0 also for a missing or
  /// empty mesh). The state's vertices and direction seed the search and
  /// receive its last ones; after 0 the direction separates the meshes.
  int meshMeshOverlap(const BVmesh* a, const BVmesh* b, JumpState& state) const;
  /// Overlap of a hull mesh and a capsule, as meshMeshOverlap.
  int meshVolumeOverlap(const BVmesh* mesh, const ZOVcapsule& capsule, JumpState& state) const;
  /// Overlap of a hull mesh and an oriented box (its eight corners).
  int meshBoxOverlap(const BVmesh* mesh, const BVbox& box, JumpState& state) const;
  /// Overlap of an oriented box (its eight corners) and a capsule.
  int boxConvexOverlap(const BVbox& box, const ZOVcapsule& capsule, JumpState& state) const;
  /// Whether a vertex of the mesh lies more than 1e-5 behind the plane
  /// (point, unit normal). The first such vertex becomes the state's vertexA
  /// and the normal its direction; false leaves the state as it was.
  bool meshPointsInside(const BVmesh* mesh, const Mgc::MgcVector3& planePoint, const Mgc::MgcVector3& planeNormal,
                        JumpState& state) const;

  /// Contacts of two hull meshes: the polytope search on the difference shape
  /// finds the nearest feature pair, whose rules give 1 to 32 points. Without
  /// a cached direction the overlap test runs first. False when a mesh is
  /// missing (the state stays), the meshes are apart (the state keeps the
  /// separating direction and the outputs are not touched) or no point
  /// results (the state's direction is zeroed, so the next query starts
  /// afresh).
  /// When `found` is given and the search found a feature pair, it receives
  /// the pair's vertex lists.
  bool meshMeshContacts(const BVmesh* a, const BVmesh* b, JumpState& state, const JumpContacts& out,
                        JumpFeatureLists* found = nullptr) const;
  /// What meshMeshContacts gives once its search has ended in `state` with
  /// the feature pair `lists`: the feature rules alone, for meshes whose
  /// search is known to end so (see NarrowPhaseMemos).
  bool meshMeshFeatureContactsOf(const BVmesh* a, const BVmesh* b, const JumpFeatureLists& lists, JumpState& state,
                                 const JumpContacts& out) const;
  /// The distance between two hull meshes that stand apart: a negative
  /// value when they touch or overlap, at least `reach` when they stand at
  /// least that far apart (the search stops there), else the distance within
  /// 1e-9. The state's vertices and direction seed the search and receive
  /// its last ones.
  double meshMeshDistance(const BVmesh* a, const BVmesh* b, double reach, JumpState& state) const;
  /// Contacts of two hull meshes that stand apart by less than `reach`, each
  /// point with its own gap (a positive depth): the faces of the two meshes
  /// that face each other most squarely along the line of their closest
  /// points, the one facing it more squarely as the reference, give the
  /// corners of the other face's part over it that stand within `reach` of
  /// its plane, with its normal; where no such corner results (closest
  /// features an edge and an edge, or faces that do not lie over each
  /// other) the closest points give one contact along that line. False
  /// when a mesh is missing, the meshes touch or overlap, or they stand
  /// `reach` or more apart. The state is written as by meshMeshDistance.
  bool meshMeshNearContacts(const BVmesh* a, const BVmesh* b, double reach, JumpState& state,
                            const JumpContacts& out) const;
  /// The points standing apart that two touching hull meshes may close
  /// within `reach`: the faces that face each other along `normal` (from B
  /// towards A, as the meshes' contacts give it), clipped as
  /// meshMeshNearContacts clips them, each corner between `least` and
  /// `reach` from the reference face's plane as a point on A with its gap
  /// (kMaxPolygonClipPoints entries) and the reference face's normal from B
  /// towards A. Their number; 0 for a missing mesh.
  std::uint32_t meshMeshFacingPoints(const BVmesh* a, const BVmesh* b, const Mgc::MgcVector3& normal, double reach,
                                     double least, Mgc::MgcVector3* points, double* gaps,
                                     Mgc::MgcVector3& pointNormal) const;
  /// Contacts of a hull mesh (first shape) and a capsule, as meshMeshContacts.
  bool meshVolumeContacts(const BVmesh* mesh, const ZOVcapsule& capsule, JumpState& state,
                          const JumpContacts& out) const;
  /// Contacts of a hull mesh and a plane (point, unit normal): the deepest
  /// vertex and up to two neighbours within 0.01 of its height, with the
  /// plane normal and the deepest vertex's signed distance as depth.
  bool meshPlaneContacts(const BVmesh* mesh, const Mgc::MgcVector3& planePoint, const Mgc::MgcVector3& planeNormal,
                         JumpState& state, const JumpContacts& out) const;
  /// The contacts of a hull mesh resting on a plane: those of
  /// meshPlaneContacts, then every other vertex within the same 0.01 of the
  /// deepest one's height, each at its own height, up to kMaxJumpContacts
  /// in all. A mesh lying on the plane by a face of more corners than the
  /// three that query lists rests on the whole face, as on a box.
  bool meshPlaneRestingContacts(const BVmesh* mesh, const Mgc::MgcVector3& planePoint,
                                const Mgc::MgcVector3& planeNormal, JumpState& state, const JumpContacts& out) const;

  /// The mesh vertex furthest along d, found by climbing the edge graph from
  /// `start` (each pass moves to the best strictly higher neighbour), or by
  /// scanning every vertex when the mesh has no vertex table or the start has
  /// no edge. An out-of-range start counts as vertex 0. zov::kNoIndex for a
  /// mesh without vertices.
  static std::uint32_t meshSupport(const BVmesh& mesh, std::uint32_t start, const Mgc::MgcVector3& d);
  /// The capsule's point furthest along the unit direction d: its upper end
  /// when axis . d > 1e-5, else its lower end, pushed out by the radius.
  static Mgc::MgcVector3 capsuleSupport(const ZOVcapsule& capsule, const Mgc::MgcVector3& d);

  /// Resolves the vertex lists of a mesh-mesh feature pair into vertices,
  /// edges or faces and writes their contacts. The lists (up to 3 entries)
  /// may be replaced by a face's first three vertices. Sets *out.count.
  void meshMeshFeatureContacts(const BVmesh& a, const BVmesh& b, std::uint32_t listA[3], std::uint32_t& countA,
                               std::uint32_t listB[3], std::uint32_t& countB, const JumpContacts& out) const;
  /// The mesh-capsule twin: the mesh's vertex list against one capsule surface
  /// point (capsuleCount 1) or a segment of two (capsuleCount 2).
  void meshVolumeFeatureContacts(const BVmesh& mesh, const ZOVcapsule& capsule, std::uint32_t list[3],
                                 std::uint32_t& count, const Mgc::MgcVector3 capsulePoints[2],
                                 std::uint32_t capsuleCount, const JumpContacts& out) const;
  /// The mesh-plane rules: the vertex list (1 to 3 entries) becomes an edge or
  /// a face's first three vertices where the plane lies flush with them, and
  /// each listed vertex gives one contact.
  void meshPlaneFeatureContacts(const BVmesh& mesh, const Mgc::MgcVector3& planePoint,
                                const Mgc::MgcVector3& planeNormal, std::uint32_t list[3], std::uint32_t& count,
                                const JumpContacts& out) const;
};

/// The one query engine, published by the collision manager when it builds it
/// and null before. Services that would ask it answer "may overlap" while it
/// is null.
extern Pk_jump* g_pkJump;
