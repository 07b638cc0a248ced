#pragma once

#include <cstdint>

#include "geometry/MeshPlacement.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

/// Largest number of corners of a `mesh_face`. Builders split larger polygons
/// into fan pieces or triangles before they store them.
constexpr std::uint32_t kMaxFaceCorners = 32;

/// `mesh_face::faceFlags` bit: the face was made by a cut.
constexpr std::uint16_t kMeshFaceCut = 0x8;

/// `ZOVmesh::meshFlags` bit: the face records and corner lists are held from
/// the shared face registry (geometry/SharedFaces.h), not owned.
constexpr std::uint16_t kMeshSharedFaces = 0x8000;

/// One face of a `ZOVmesh`: a polygon of at most 32 corners. Plain data; the
/// mesh allocators set `numVertices`, `numEdges` and `groupId` to 0 and `mark`
/// to 1. The three corner arrays point into the mesh's `faceCorners` block,
/// each with room for `cornerCapacity` entries (see allocateFaceCorners), so a
/// face costs what its corners need; a record without storage (capacity 0)
/// holds no corners. Copying a record shares that storage: copy a face into
/// another mesh with copyFace.
struct mesh_face {
  /// Corners used, at most kMaxFaceCorners and at most cornerCapacity.
  std::uint32_t numVertices;
  /// Entries each corner array has room for, at most kMaxFaceCorners.
  std::uint32_t cornerCapacity;
  /// Vertex indices along the face boundary; each below the mesh's numVertices.
  std::uint32_t* vertices;
  /// Texture-coordinate index of each corner (used when the mesh has UVs).
  std::uint32_t* uvIndices;
  /// `connect_edge` index of each side: side k joins corner k and k+1, cyclically.
  std::uint32_t* edges;
  /// Entries of `edges` filled by the bounding volume's edge build.
  std::uint32_t numEdges;
  /// 1 on creation; carried unchanged.
  std::uint8_t mark;
  /// kMeshFaceCut and bits the engine only carries.
  std::uint16_t faceFlags;
  /// Connected-group label (1, 2, ...); 0 before the group labelling.
  std::uint16_t groupId;
  /// Small per-face value supplied by the host side; carried unchanged.
  std::uint8_t tag;
};

/// The corners of `face` a reader may take: numVertices, cut to what the
/// record holds (so a record that claims more than kMaxFaceCorners gives its
/// first kMaxFaceCorners when it has room for them).
inline std::uint32_t heldCorners(const mesh_face& face) {
  return face.numVertices < face.cornerCapacity ? face.numVertices : face.cornerCapacity;
}

/// The engine's polygon mesh: faces of at most 32 corners over one vertex
/// array, with local (model) data beside transformed (world) data. The mesh
/// transforms rewrite the world arrays from the local ones and record the
/// transform they applied.
///
/// Ownership: every array is a separate block from malloc, owned by the record
/// and released with free by the destructor. Copy construction and assignment
/// are SHALLOW: the copy shares the source's arrays, so only one of the two may
/// be destroyed. Deep copies are the factory's operations.
class ZOVmesh : public MeshPlacement {
 public:
  /// Empty: no faces, no vertices, every array null, identity rotation, zero
  /// translation, unit scale.
  ZOVmesh();
  /// Shallow: counts, pointers and values are copied, arrays are shared.
  ZOVmesh(const ZOVmesh&) = default;
  /// Shallow, as the copy constructor.
  ZOVmesh& operator=(const ZOVmesh&) = default;
  /// Frees every array that is set and nulls its pointer.
  ~ZOVmesh();

  std::uint32_t numFaces;
  /// numFaces face records.
  mesh_face* faces;
  /// The corner arrays of every face, one block (see allocateFaceCorners).
  std::uint32_t* faceCorners;
  std::uint32_t numVertices;
  /// Number of texture coordinates; 0 when the mesh has none.
  std::uint32_t numUVs;
  /// Local vertex positions (numVertices).
  Mgc::MgcVector3* vertices;
  /// Transformed vertex positions (numVertices).
  Mgc::MgcVector3* worldVertices;
  /// Texture coordinates (numUVs) with third component 0; null without UVs.
  Mgc::MgcVector3* uvs;
  /// Local unit face normals (numFaces).
  Mgc::MgcVector3* faceNormals;
  /// Transformed unit face normals (numFaces).
  Mgc::MgcVector3* worldFaceNormals;
  /// Per-vertex vectors (numVertices), zeroed on allocation; meaningful only
  /// while hasVertexData is 1.
  Mgc::MgcVector3* vertexData;
  std::uint8_t hasVertexData;
  /// Number of connected face groups.
  std::uint32_t numMeshGroups;
  /// Carried by copy and assignment; the engine gives it no meaning, except
  /// kMeshSharedFaces, which stays with the mesh that holds the faces.
  std::uint16_t meshFlags;
};

/// A zeroed block from calloc holding the corner arrays of `numFaces` face
/// records: face f gets room for counts[f] corners (capped at
/// kMaxFaceCorners), or kMaxFaceCorners when counts is null, and its pointers
/// and cornerCapacity are set; its other fields are kept. The caller owns the
/// block (a mesh keeps it in faceCorners). Null, with the faces unchanged,
/// when memory runs out.
std::uint32_t* allocateCornerBlock(mesh_face* faces, std::uint32_t numFaces, const std::uint32_t* counts = nullptr);

/// allocateCornerBlock for the mesh's faces, the block replacing (and
/// freeing) the mesh's previous one; corner contents start at 0. False, with
/// the mesh unchanged, when memory runs out or the mesh has no face records.
bool allocateFaceCorners(ZOVmesh& mesh, const std::uint32_t* counts = nullptr);

/// Copies face `from` into `to` while `to` keeps its own corner storage: every
/// field but the storage, and the corner arrays as far as both have room.
void copyFace(mesh_face& to, const mesh_face& from);

/// Whether every face of the mesh has at most kMaxFaceCorners corners, no
/// more than it has room for, and only vertex indices below the vertex count,
/// with the arrays its counts promise. False for a null mesh.
bool isWellFormed(const ZOVmesh* mesh);

/// Whether the mesh holds faces with world vertices and world face normals.
inline bool hasWorldFaces(const ZOVmesh& mesh) {
  return mesh.faces != nullptr && mesh.worldVertices != nullptr && mesh.worldFaceNormals != nullptr;
}
