#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/ShapeRecords.h"
#include "geometry/VolumeOwnership.h"
#include "geometry/ZOV_DFmesh.h"

class Clipper;

/// BVDFmesh::init and buildEdgeTables mode bits.
/// Build the edge table (and each face's edge-number list).
constexpr std::uint32_t kDFmeshEdgeTable = 0x1;
/// Build the per-vertex lists of faces (and, with the edge table, of edges).
constexpr std::uint32_t kDFmeshVertexTable = 0x2;
/// Label the connected pieces (init only).
constexpr std::uint32_t kDFmeshPieces = 0x4;
/// Compute the volume, and the mesh's centre of mass into its `center` (init only).
constexpr std::uint32_t kDFmeshVolume = 0x10;
/// Fit the oriented box of the mesh's vertices (init only).
constexpr std::uint32_t kDFmeshBox = 0x20;

/// `DFface::faceFlags` bit of a face that the subdivision left whole.
constexpr std::uint16_t kDFfaceLeftWhole = 0x10;

/// The pieces of a mesh, each a mesh of its own, owned by the holder.
using DFmeshPieces = std::vector<std::unique_ptr<ZOV_DFmesh>>;

/// `BVDFmesh` flags bits.
constexpr std::uint32_t kDFmeshEdgesBuilt = 0x1;
constexpr std::uint32_t kDFmeshIncidenceBuilt = 0x2;

/// One edge of a `ZOV_DFmesh` with the one or two faces on it.
struct DFmeshEdge {
  /// The vertex at a corner of the first face that listed the edge and the
  /// vertex at that face's next corner.
  std::uint32_t vertex[2];
  /// Per-corner ids, four slots each: first face at vertex[0], second face at
  /// vertex[0], first face at vertex[1], second face at vertex[1]. The second
  /// face's slots are 0 until it is found.
  std::uint32_t normalIds[4];
  std::uint32_t colorIds[4];
  std::uint32_t uvIds[4];
  std::uint32_t uvSetIds[kMaxExtraUVLayers][4];
  /// The first and second face and the edge's slot (side number) in each; an
  /// open edge repeats its first face and slot.
  std::uint32_t face[2];
  std::uint32_t slot[2];
  /// Edge length, for the face subdivision.
  double length;
  /// Orientation marks (1 or -1) for the face subdivision.
  std::int16_t orientation[2];
  /// 1 while the edge exists; set by the clipper's preparation.
  std::uint8_t live;
};

/// The faces and edges at one vertex.
struct DFmeshVertexIncidence {
  std::vector<std::uint32_t> faces;
  std::vector<std::uint32_t> edges;
};

/// The working structure that the shatter operations put over one
/// `ZOV_DFmesh` while they cut it: it checks and binds the mesh, builds an
/// edge table pairing the two faces of every edge and the faces and edges at
/// every vertex, labels the connected pieces, owns the `Clipper` of one plane
/// cut and puts the cut's result back into the mesh's own scale.
///
/// Transient: an operation creates one, uses it and destroys it before it
/// returns. A bound mesh stays the caller's (kLentRecord); only a mesh bound
/// as kOwnedRecord is freed with the structure. Not copyable.
class BVDFmesh {
 public:
  /// No mesh (kNoRecord), no clipper, no tables.
  BVDFmesh() = default;
  BVDFmesh(const BVDFmesh&) = delete;
  BVDFmesh& operator=(const BVDFmesh&) = delete;
  /// freeLeaves(); an owned mesh is freed; the mesh pointer is cleared.
  virtual ~BVDFmesh();

  /// Binds the caller's mesh (kLentRecord) and builds what `mode` asks for
  /// (kDFmesh* bits). False, binding nothing, for a null mesh or one with a
  /// face whose vertex index is not below the vertex count. A different mesh
  /// owned before is freed first.
  bool init(ZOV_DFmesh* mesh, std::uint32_t mode);
  /// Fits the oriented box of the mesh's local vertices.
  void computeBox();
  /// Frees the bound mesh and clears the pointer.
  void deleteMesh();
  /// Builds the tables that `mode` asks for (kDFmeshEdgeTable,
  /// kDFmeshVertexTable; other bits build nothing). 0 without a mesh or when
  /// an allocation fails, else 1.
  int buildEdgeTables(std::uint32_t mode);
  /// Gives every face the number (1, 2, ...) of its connected piece and
  /// stores the piece count in the mesh. Faces joined by an edge are one
  /// piece; so are pieces that share a vertex.
  void labelPieces();
  /// One new mesh per piece number 1 .. numMeshGroups of the bound mesh, in
  /// number order. A piece holds the faces of that number in their order,
  /// the vertices, normals, colours and texture coordinates (of every layer)
  /// they use, in their order and numbered from 0, both face normals of each
  /// face, and the mesh's frame, flags and layer count; its piece count is 1.
  /// Empty when an allocation fails, when no mesh is bound or has no pieces,
  /// and when a face's number lies outside 1 .. numMeshGroups.
  DFmeshPieces extractPieces() const;
  /// Folds flat pieces (volume not above 1e-5) into the piece whose convex
  /// hull holds all their points within 0.001: the first flat piece is joined
  /// to the first such piece (its elements first), the joined mesh takes the
  /// lower of the two places, the pieces behind the higher place move up one
  /// place, and the faces of the joined piece and of the moved ones take their
  /// new place + 1 as their piece number; then the search starts again. It
  /// stops at the first flat piece that no piece encloses, or when memory
  /// runs out. Writes each piece's centre of mass into its `center`.
  static void mergeDegeneratePieces(DFmeshPieces& pieces);
  /// Replaces the clipper by a new one prepared for the bound mesh; a failed
  /// allocation leaves no clipper.
  void initClipper();
  /// After a clip with `result`: a cut mesh (kClipCut) is put back into its
  /// own scale (both vertex arrays and the centre divided by the clipper's
  /// scale), faces of fewer than 3 corners are dropped and the local face
  /// normals recomputed from the world ones. Then freeLeaves().
  void finishCut(int result);
  /// Frees the edge table, the vertex incidence and the clipper.
  void freeLeaves();

  /// Subdivides the faces marked kDFfaceSelected, `passes` times (1 to 4;
  /// other counts, no mesh or no edge table change nothing): long edges of
  /// the marked faces are split at their midpoints (their neighbours gain the
  /// midpoints too) and each marked face of 5 or more corners becomes a fan
  /// of smaller faces around a new centre vertex; the new faces are marked
  /// for the next pass. A marked face left with fewer than 5 corners stays
  /// whole and trades its mark for kDFfaceLeftWhole. The edge table is built
  /// again after each pass. False when memory ran out: that pass left the
  /// mesh as it was.
  bool subdivideFaces(std::int16_t passes);
  /// The area centroid of the face's polygon of world vertices, projected on
  /// the plane of the face's `normal` through its first corner; the mean of
  /// its corners for a polygon without area or normal.
  Mgc::MgcVector3 faceCentroid(const DFface& face) const;

  /// Sets the live byte of every edge (the clipper's preparation).
  void markEdgesLive();

  ZOV_DFmesh* getMesh() const { return mesh_; }
  Clipper* getClipper() const { return clipper_; }
  std::int32_t getOwnership() const { return ownership_; }
  double getVolume() const { return volume_; }
  const ZOVbox& getBox() const { return box_; }
  std::uint32_t getFlags() const { return flags_; }
  std::uint32_t getEdgeCount() const { return static_cast<std::uint32_t>(edges_.size()); }
  const DFmeshEdge& getEdge(std::uint32_t i) const { return edges_[i]; }
  std::uint32_t getVertexCount() const { return vertexCount_; }
  /// The incidence of vertex i; the vertex table must have been built.
  const DFmeshVertexIncidence& getIncidence(std::uint32_t i) const { return incidence_[i]; }

  /// Whether every face names only vertices below the vertex count, with the
  /// arrays its counts promise. False for a null mesh.
  static bool isValidMesh(const ZOV_DFmesh* mesh);

 private:
  bool buildTables(std::uint32_t mode);
  bool subdivideOnce();

  /// Owned; null until initClipper.
  Clipper* clipper_ = nullptr;
  std::int32_t ownership_ = kNoRecord;
  ZOV_DFmesh* mesh_ = nullptr;
  double volume_ = 0.0;
  ZOVbox box_;
  std::uint32_t flags_ = 0;
  std::uint32_t vertexCount_ = 0;
  std::vector<DFmeshEdge> edges_;
  std::vector<DFmeshVertexIncidence> incidence_;
};

/// A new mesh holding `first`'s elements and then `second`'s: vertices,
/// normals, colours and texture coordinates (every layer) appended in that
/// order, the faces likewise with their ids moved past the first mesh's, both
/// face normals; the frame, flags and `dfWord` of `first`, the larger layer
/// count. Null when memory runs out.
std::unique_ptr<ZOV_DFmesh> joinDFmeshes(const ZOV_DFmesh& first, const ZOV_DFmesh& second);
/// The same for any number of meshes, appended in order (null entries are
/// skipped); the frame is the first mesh's. Null for no mesh or when memory
/// runs out.
std::unique_ptr<ZOV_DFmesh> joinDFmeshes(const ZOV_DFmesh* const* meshes, std::size_t count);
