#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/MeshConnectivity.h"
#include "geometry/VolumeOwnership.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

/// The plane clipper of the shatter geometry; a mesh volume may own one.
class Clipper;

/// `BVmesh::connectFlags` bit: the edge table is valid.
constexpr std::uint32_t kConnectEdges = 0x1;
/// `BVmesh::connectFlags` bit: the vertex table is valid.
constexpr std::uint32_t kConnectVertex = 0x2;

/// Mode bits of BVmesh::init, copyAprox and prepareMesh.
constexpr int kMeshEdgeTable = 0x1;
constexpr int kMeshVertexTable = 0x2;
/// Label connected face groups (builds the edge table when it is not asked for).
constexpr int kMeshGroups = 0x4;
/// Compute the mesh volume (and its centre of mass into the mesh's `center`).
constexpr int kMeshVolume = 0x10;
/// The mode of hull bodies: volume, vertex and edge tables.
constexpr int kMeshHullMode = kMeshVolume | kMeshVertexTable | kMeshEdgeTable;

/// A polygon mesh as a bounding volume: a `ZOVmesh` (lent or owned) with an
/// edge table and a vertex table over it, connected-group labels in its faces,
/// its volume and an optional plane clipper.
///
/// The tables are owned by the volume and describe the mesh as it was when
/// they were built; rebinding or rebuilding frees the old ones first.
/// Not copyable: a copy would share the tables and an owned mesh.
class BVmesh {
 public:
  /// No mesh, zero orientation, no tables, no clipper.
  BVmesh() = default;
  /// Wraps the caller's mesh (ownership kLentRecord) without building tables.
  explicit BVmesh(ZOVmesh* mesh);
  BVmesh(const BVmesh&) = delete;
  BVmesh& operator=(const BVmesh&) = delete;
  /// destroy(), then frees an owned mesh.
  virtual ~BVmesh();

  /// Binds the caller's mesh (ownership kLentRecord) and builds what `mode`
  /// asks for (kMesh* bits). A different mesh held before is released first
  /// (freed when owned). False, with nothing bound, when a face has more than
  /// kMaxFaceCorners corners (or more than it has room for) or a vertex index
  /// not below the vertex count.
  bool init(ZOVmesh* mesh, int mode);
  /// Binds an owned convex hull of the mesh instead of the mesh itself: the
  /// hull of 512 evenly spaced local vertices when the mesh has more than 512,
  /// else the hull of all its world vertices, with world vertices equal to
  /// its local ones; then as init. False, with nothing bound, when the mesh is
  /// invalid as for init, no hull can be built or an allocation fails.
  bool copyAprox(ZOVmesh* mesh, int mode);
  /// Replaces the mesh by a new empty one that the volume owns. False when
  /// allocation fails; the volume then has no mesh.
  bool createMesh();
  /// Frees the mesh when the volume owns it, drops it when lent, and frees
  /// the tables that described it; the volume has no mesh afterwards.
  void deleteMesh();
  /// Frees the edge and vertex tables (counts 0) and the clipper; keeps the mesh.
  void destroy();
  /// Builds the tables that `mode` asks for: kMeshEdgeTable for the edge table
  /// (and each face's `edges`), kMeshVertexTable for the vertex table, whose
  /// counts come from the edge pass: alone it leaves every vertex record
  /// empty. Clears both valid bits first. False without a mesh, for an
  /// invalid mesh, when an allocation fails or when an edge table is asked
  /// for and the mesh has no edge.
  bool prepareMesh(int mode);

  /// volume := the mesh's volume; its centre of mass goes into the mesh's
  /// `center`. 0 without a mesh.
  void computeVolume();
  /// The volume last computed (0 before).
  double getVolumen() const { return volume_; }
  /// The mean of the transformed positions of the face's corners; zero
  /// without a mesh or for a face index out of range.
  Mgc::MgcVector3 computeFaceCenter(std::uint32_t face) const;
  /// Writes nothing; returns the mesh's vertex count (0 without a mesh).
  std::uint32_t computeVertexes(Mgc::MgcVector3* out) const;
  /// The mesh's `worldCenter`; the origin without a mesh.
  Mgc::MgcVector3 getCenter() const;
  void setCenter(const Mgc::MgcVector3& center);
  /// Adds t to the mesh's local `center`.
  void translate(const Mgc::MgcVector3& t);
  void setOrientation(const Mgc::MgcMatrix3& orientation) { orientation_ = orientation; }
  /// Column i (0, 1 or 2; any other value gives column 0) of the orientation.
  Mgc::MgcVector3 getAxis(int i) const;

  /// The mesh, null when there is none.
  ZOVmesh* getMesh() const { return mesh_; }
  /// kNoRecord, kLentRecord or kOwnedRecord.
  std::int32_t getOwnership() const { return ownership_; }
  /// The mesh's `numMeshGroups`; 0 without a mesh.
  std::uint32_t getNumMeshGroups() const;
  /// Entries of the edge table.
  std::uint32_t getNumEdges() const { return numEdges_; }
  /// Entries of the vertex table: the mesh's vertex count when it was bound.
  std::uint32_t getNumVertices() const { return numVertices_; }
  /// Entry i of the edge table; i must be below getNumEdges().
  const connect_edge& getConnectEdges(std::uint32_t i) const { return connectEdges_[i]; }
  /// Entry i of the vertex table; i must be below getNumVertices() and the
  /// table must have been built.
  const connect_vertex& getConnectVertex(std::uint32_t i) const { return connectVertex_[i]; }
  /// Whether this volume and `other` read one copy of their edge table (and
  /// of their vertex table): volumes whose tables are equal share them.
  bool sharesEdgeTable(const BVmesh& other) const {
    return connectEdges_ != nullptr && connectEdges_ == other.connectEdges_;
  }
  bool sharesVertexTable(const BVmesh& other) const {
    return connectVertex_ != nullptr && connectVertex_ == other.connectVertex_;
  }
  /// Edge and vertex tables that volumes hold in the whole process, each
  /// counted once however many volumes share it.
  static std::size_t heldTableCount();

  void enableConnectEdges() { connectFlags_ |= kConnectEdges; }
  void disableConnectEdges() { connectFlags_ &= ~kConnectEdges; }
  bool isConnectEdges() const { return (connectFlags_ & kConnectEdges) != 0; }
  void enableConnectVertex() { connectFlags_ |= kConnectVertex; }
  void disableConnectVertex() { connectFlags_ &= ~kConnectVertex; }
  bool isConnectVertex() const { return (connectFlags_ & kConnectVertex) != 0; }

  /// meshTransformSRT of the mesh: world = R (s . local) + t.
  void transformSRT(const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);
  /// meshTransformTRS of the mesh: world = s . (R (local + t)).
  void transformTRS(const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);

  /// Cuts the mesh by the plane through `point` with `normal` with the
  /// volume's clipper (Clipper::clip: the point in the clipper's scale, the
  /// kept side the one the normal points to) and returns its answer: 1
  /// nothing below the plane, -1 nothing above, 0 cut, -2 the clipper was not
  /// prepared for the mesh as it is; 0 without a clipper. A cut mesh stays in
  /// the clipper's scale until finishCut.
  int clip(const Mgc::MgcVector3& normal, const Mgc::MgcVector3& point, int mode);
  /// Replaces the clipper by a new one prepared for this volume's mesh; a
  /// failed allocation leaves the volume without one. Call it before every cut.
  void initClipper();
  /// The clipper, null when there is none.
  Clipper* getClipper() const { return clipper_; }
  /// After a clip with `result`: a cut mesh (0) is put back into its own
  /// scale (local and world vertices and the world centre divided by the
  /// clipper's scale) and the connectivity tables, which no longer describe
  /// it, are freed. Other results change nothing.
  void finishCut(int result);

  /// One new mesh per connected face group, in group order (labelling the
  /// groups first when the mesh has none): each group's vertices and UVs
  /// compacted in their order, its faces, face normals and the mesh's
  /// transform. Empty without a mesh or when memory runs out.
  std::vector<std::unique_ptr<ZOVmesh>> splitGroups();
  /// Joins group meshes one of which lies inside the other: while some mesh
  /// has every world vertex within 1e-5 of the inside of another (taken as
  /// convex), the two become one mesh in the place of the outer one. Returns
  /// the number of joins; stops early, with the meshes intact, when memory
  /// runs out.
  static std::uint32_t mergeNestedGroups(std::vector<std::unique_ptr<ZOVmesh>>& groups);
  /// A new mesh holding `a` and then `b` (b's indices shifted), with a's
  /// transform; null when memory runs out.
  static std::unique_ptr<ZOVmesh> joinMeshes(const ZOVmesh& a, const ZOVmesh& b);

  /// isWellFormed(mesh).
  static bool isValidMesh(const ZOVmesh* mesh);

 private:
  /// Frees the edge and vertex tables and zeroes their counts.
  void freeTables();
  /// Lets go of one table (this volume no longer holds it).
  void releaseEdgeTable();
  void releaseVertexTable();
  /// Binds `mesh` with the given ownership and runs the mode's builds.
  void bindAndBuild(ZOVmesh* mesh, std::int32_t ownership, int mode);
  /// Gives every face its connected-group label and sets numMeshGroups.
  void labelGroups();
  /// The edge pass and the tables (prepareMesh with a valid mesh).
  bool buildTables(int mode);

  ZOVmesh* mesh_ = nullptr;
  double volume_ = 0.0;
  Mgc::MgcMatrix3 orientation_;
  std::uint32_t connectFlags_ = 0;
  std::uint32_t numEdges_ = 0;
  std::uint32_t numVertices_ = 0;
  std::int32_t ownership_ = kNoRecord;
  /// The tables, read-only once built; each kept once for every volume
  /// whose table is equal (many bodies are made from meshes of one shape),
  /// in a block that the last volume holding it frees. Each vertex record's
  /// `faces` and `edges` point into two pools in the same block. Null until
  /// built.
  const connect_edge* connectEdges_ = nullptr;
  const connect_vertex* connectVertex_ = nullptr;
  /// Owned; null until initClipper.
  Clipper* clipper_ = nullptr;
};
