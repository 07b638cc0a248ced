#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

/// Results of Clipper::clip.
/// No vertex lies below the plane (also a mesh without vertices): unchanged.
constexpr int kClipNothingBelow = 1;
/// Vertices lie below the plane and none above: the mesh is unchanged.
constexpr int kClipNothingAbove = -1;
/// The mesh was cut and rewritten.
constexpr int kClipCut = 0;
/// The clipper was not prepared for this mesh (no init, a failed init, a mesh
/// changed since init, or a clipper already used for a cut) or memory ran out:
/// the mesh is unchanged.
constexpr int kClipFailed = -2;

/// Clipper::clip flag: cap the opening with new faces.
constexpr int kClipCaps = 0x8;

/// `DFface::faceFlags` bit of a cap face: a cut face of tag 1.
constexpr std::uint16_t kDFfaceCut = 0x1;
/// `DFface::faceFlags` bit of a face that the plane crosses, while a clip runs.
constexpr std::uint16_t kDFfaceCrossing = 0x2;
/// `DFface::faceFlags` bit of a cut face too small to roughen (tag 2).
constexpr std::uint16_t kDFfaceSmallCut = 0x8;

/// The four id slots of a ClipEdge: the end (`from` or `to`) and the face (the
/// edge's first or second face).
enum ClipSlot : int { kSlotFromFace1 = 0, kSlotFromFace2 = 1, kSlotToFace1 = 2, kSlotToFace2 = 3 };

/// One record of the clipper's edge table: an edge of the working faces, the
/// attribute ids of its two ends on each of its two faces, and the faces.
struct ClipEdge {
  std::uint32_t from;
  std::uint32_t to;
  /// Per-corner ids by ClipSlot.
  std::uint32_t normalIds[4];
  std::uint32_t colorIds[4];
  std::uint32_t uvIds[4];
  /// Ids of the UV layers beyond the first, by layer - 1 and ClipSlot.
  std::uint32_t uvSetIds[kMaxExtraUVLayers][4];
  /// The two faces that share the edge; -1 for none (a value of 2^31 - 1 or
  /// more read as unsigned counts as none too).
  std::int32_t face[2];
  /// The edge's position in the edge list of each face.
  std::uint32_t place[2];
  /// 1 while the edge exists.
  std::uint8_t valid;
  /// UV layers whose ids the record carries (1 when its face has fewer than 2).
  std::uint8_t channelCount;
};

/// One corner of a working polygon: its vertex and attribute ids.
struct ClipCorner {
  std::uint32_t vertex;
  std::uint32_t normalId;
  std::uint32_t uvId;
  std::uint32_t colorId;
  /// Ids of the UV layers beyond the first (the face's channelCount - 1 in use).
  std::uint32_t uvSetIds[kMaxExtraUVLayers];
};

/// A working polygon of the clipper: one face of the mesh being cut, a piece
/// of one, or a cap face.
struct ClipFace {
  std::vector<ClipCorner> corners;
  /// Edge-table records of the face's sides while the cut runs, in the order
  /// the face runs along them.
  std::vector<std::uint32_t> edges;
  /// Beside `edges`: 1 when the face runs along the record from `from` to
  /// `to`, 0 when it runs the other way.
  std::vector<std::uint8_t> edgeForward;
  /// The world normal of the mesh face it came from; the plane's reversed
  /// normal for a cap.
  Mgc::MgcVector3 normal;
  std::uint8_t keep = 1;
  std::uint16_t flags = 0;
  std::uint16_t tag = 0;
  std::uint8_t kind = 0;
  std::uint8_t channelCount = 1;
  /// Whether the cut removed or moved a corner of the face.
  bool changed = false;

  /// Appends one corner with its ids (`uvSet` holds the further layers, or is null).
  void addCorner(std::uint32_t vertex, std::uint32_t normalId, std::uint32_t uvId, std::uint32_t colorId,
                 const std::uint32_t* uvSet);
};

/// The plane clipper: cuts a closed engine mesh in place by a plane, keeps the
/// part on the side the plane normal points to, closes every face the plane
/// crosses along the cut line, caps the opening with new faces (flagged as
/// cut faces, facing along the reversed plane normal) and writes the result
/// back into the same mesh object.
///
/// The clipper works on a copy of the mesh's world (transformed) vertices
/// scaled by getScale(), chosen so that the mesh's first oriented-box half
/// extent is 80 units: the absolute tolerances (1e-5 on distances and squared
/// lengths) then act at one scale for every input size. The plane point given
/// to clip must be in that scale, and a cut mesh comes back in it: its owner
/// divides the positions by getScale() (BVmesh::finishCut, BVDFmesh::finishCut).
///
/// One init prepares one clip: prepare the clipper again before every cut.
/// Not thread-safe; one clipper per mesh owner.
class Clipper {
 public:
  /// An unprepared clipper: no plane, no working data, scale 1.
  Clipper();
  Clipper(const Clipper&) = delete;
  Clipper& operator=(const Clipper&) = delete;
  virtual ~Clipper();

  /// Prepares the clipper for `mesh` (the mesh of the volume that owns the
  /// clipper): picks the scale, copies the scaled world vertices, the
  /// attributes and the faces, and sets every mesh face's mark to 1. A null
  /// mesh, or one whose faces or vertices are not all there, leaves the
  /// clipper unprepared.
  void init(ZOVmesh* mesh);
  void init(ZOV_DFmesh* mesh);

  /// Cuts `mesh` (the mesh the clipper was prepared for) by the plane through
  /// `point` (in the clipper's scale) with `normal` (unitised when its squared
  /// length is outside [0.99999, 1.00001]), keeping the side the normal points
  /// to. With kClipCaps in `flags` the opening is capped. Returns
  /// kClipNothingBelow, kClipNothingAbove, kClipCut or kClipFailed; only
  /// kClipCut changes the mesh. A `ZOVmesh` keeps faces of at most
  /// kMaxFaceCorners corners: larger result faces are stored as fan pieces.
  int clip(ZOVmesh* mesh, const Mgc::MgcVector3& normal, const Mgc::MgcVector3& point, int flags);
  int clip(ZOV_DFmesh* mesh, const Mgc::MgcVector3& normal, const Mgc::MgcVector3& point, int flags);

  /// The factor by which the working positions are scaled (1 when unprepared).
  double getScale() const { return scale_; }
  /// The plane normal of the last clip.
  const Mgc::MgcVector3& getNormal() const { return normal_; }

 private:
  enum class MeshKind { kNone, kFixed, kVariable };
  /// One closed or open chain of cap edges (edge-table indices in chain order).
  struct CapLoop {
    std::vector<std::uint32_t> edges;
    bool closed = false;
  };

  // Preparation.
  void reset();
  void prepareVertices(const Mgc::MgcVector3* world, std::uint32_t numVertices, std::uint32_t numFaces);
  void prepare(ZOVmesh& mesh);
  void prepare(ZOV_DFmesh& mesh);
  /// Notes the mesh the clipper is now prepared for, its kind and counts: a
  /// clip takes only that mesh, unchanged.
  void notePrepared(const void* mesh, MeshKind kind, std::uint32_t numVertices, std::uint32_t numFaces);
  /// A clip of the mesh the clipper was prepared for (kClipFailed for another).
  template <typename Mesh>
  int clipPrepared(Mesh* mesh, MeshKind kind, const Mgc::MgcVector3& normal, const Mgc::MgcVector3& point, int flags);

  // The cut.
  int run(const Mgc::MgcVector3& normal, const Mgc::MgcVector3& point, int flags);
  int classifyVertices(const Mgc::MgcVector3& point);
  void buildCutEdges();
  void splitEdges();
  void closeCutFaces();
  void closeFace(std::uint32_t f, std::vector<ClipFace>& pieces);
  bool findCutGap(std::uint32_t f, std::uint32_t ends[2], std::uint32_t edgeOf[2], int slots[2]);
  void rebuildCorners(std::uint32_t f, std::vector<ClipFace>& pieces);
  /// Whether both ends of the edge are pre-cut vertices on the plane.
  bool isInPlane(const ClipEdge& edge) const;
  /// The vertex at which the face leaves, or enters, its i-th side.
  std::uint32_t exitVertex(const ClipFace& face, std::size_t i) const;
  std::uint32_t entryVertex(const ClipFace& face, std::size_t i) const;

  // Caps.
  void buildCaps();
  void assembleLoops(std::vector<CapLoop>& loops);
  void extendBackward(std::deque<std::uint32_t>& chain, std::vector<std::uint32_t>& pool);
  bool finishOpenLoop(std::deque<std::uint32_t>& chain, std::vector<std::uint32_t>& pool);
  void closeLoopAtPinch(std::deque<std::uint32_t>& chain, std::uint32_t vertex, std::vector<std::uint32_t>& pool);
  void resolveLoopNesting(std::vector<CapLoop>& loops);
  bool separateTouchingLoops(const CapLoop& a, CapLoop& b);
  void mergeHole(CapLoop& outer, const CapLoop& hole);
  void removeDegenerateLoopEdges(std::vector<std::uint32_t>& loop);
  void copyLoopUVs(const std::vector<std::uint32_t>& loop);
  void splitConcaveLoop(const std::vector<std::uint32_t>& loop, const Mgc::MgcVector3& normal, int depth, int winding);
  void earClipLoop(const std::vector<std::uint32_t>& loop, const Mgc::MgcVector3& normal);
  /// Whether the caps from `firstCap` on cover the loop with these corners
  /// once: their areas, facing along the reversed plane normal, add up to the
  /// loop's and none faces the other way.
  bool capsCoverLoop(std::size_t firstCap, const std::vector<Mgc::MgcVector3>& loopPoints) const;
  void addCapFace(const std::vector<std::uint32_t>& loop, int winding);
  void addCapCorners(std::vector<std::uint32_t> corners, std::vector<std::uint32_t> uvIds, int winding);

  // Edge and vertex helpers.
  std::uint32_t addVertex(const Mgc::MgcVector3& position);
  std::uint32_t newCapEdge(std::uint32_t from, std::uint32_t to, std::uint32_t uvFrom, std::uint32_t uvTo);
  void flipEdge(ClipEdge& edge) const;
  std::uint32_t capUVAt(std::uint32_t edge, std::uint32_t vertex) const;
  int slotOf(const ClipEdge& edge, std::uint32_t face, std::uint32_t vertex) const;
  template <typename T>
  std::uint32_t appendInterpolated(std::vector<T>& values, std::uint32_t idFrom, std::uint32_t idTo, double t,
                                   bool unitize);

  // Write-back.
  struct WriteBack;
  void prepareWriteBack(WriteBack& out);
  void rebuildMesh(ZOVmesh& mesh);
  void rebuildMesh(ZOV_DFmesh& mesh);

  MeshKind kind_ = MeshKind::kNone;
  const void* preparedMesh_ = nullptr;
  std::uint32_t preparedVertices_ = 0;
  std::uint32_t preparedFaces_ = 0;
  /// Set by a cut: the working data no longer match the mesh.
  bool spent_ = false;

  /// The plane normal of the current cut.
  Mgc::MgcVector3 normal_;
  /// Working vertices: the mesh's scaled ones, then the new ones.
  std::vector<Mgc::MgcVector3> vertices_;
  /// Signed distance of each pre-cut vertex to the plane (0 within 1e-5).
  std::vector<double> distance_;
  /// 1 for a vertex that survives, 0 for one below the plane.
  std::vector<std::uint8_t> keep_;
  /// Scratch: edges of the current face or loop that touch each vertex.
  std::vector<std::uint32_t> vertexUse_;
  std::uint32_t baseVertexCount_ = 0;

  std::vector<Mgc::MgcVector3> normals_;
  std::vector<Mgc::MgcVector3> colors_;
  std::uint32_t whiteColorIndex_ = 0;
  std::vector<Mgc::MgcVector3> uvs_;
  std::vector<Mgc::MgcVector3> uvSets_[kMaxExtraUVLayers];
  std::uint32_t uvSetCount_ = 0;
  bool hasNormals_ = false;
  bool hasColors_ = false;
  bool hasUVs_ = false;
  /// Normal ids handed to cap faces; counts up even without a normal array.
  std::uint32_t normalCount_ = 0;

  /// Counted records [0, edgeCount_), closing and cap records from there on,
  /// open edges lying in the plane in a block of their own at the end.
  std::vector<ClipEdge> edges_;
  std::uint32_t edgeCount_ = 0;
  /// First closing record; the cap outline is [closingStart_, edgeEnd_).
  std::uint32_t closingStart_ = 0;
  std::uint32_t edgeEnd_ = 0;

  /// A deque, so that appending pieces and caps moves no face.
  std::deque<ClipFace> faces_;
  /// Faces at or beyond it are caps.
  std::uint32_t baseFaceCount_ = 0;
  /// The 16-bit tag of the mesh's first face before the cut; every result
  /// face takes it.
  std::uint16_t firstFaceTag_ = 0;

  double scale_ = 1.0;
};
