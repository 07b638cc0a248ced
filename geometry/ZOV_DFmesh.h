#pragma once

#include <cstdint>

#include "geometry/MeshPlacement.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

/// Texture-coordinate layers beyond the first that a face or mesh can carry.
constexpr std::uint32_t kMaxExtraUVLayers = 8;
/// Largest texture-coordinate layer count: the first layer and eight more.
constexpr std::uint32_t kMaxUVLayers = kMaxExtraUVLayers + 1;

/// `DFface::faceFlags` bit: the face is selected for an operation.
constexpr std::uint16_t kDFfaceSelected = 0x1;

/// `ZOV_DFmesh::dfFlags` bit: the mesh has more than one UV layer.
constexpr std::uint16_t kDFmeshMultipleUVLayers = 0x40;
/// `ZOV_DFmesh::dfFlags` bit: `extraPoints` is present.
constexpr std::uint16_t kDFmeshHasExtraPoints = 0x80;

/// One face of a `ZOV_DFmesh`, of any size; also the working polygon of the
/// clipper and of the hull builders. Its per-corner arrays are separate malloc
/// blocks that the face owns and its destructor frees. A face is not copyable:
/// copying between faces is an explicit operation of the shatter geometry.
struct DFface {
  /// All counts, pointers, vectors and flags zero.
  DFface();
  /// Frees the arrays (see destroy).
  ~DFface();
  DFface(const DFface&) = delete;
  DFface& operator=(const DFface&) = delete;

  /// Frees `vertices`, `uvIndices`, `extraIndices`, `cornerData`, every layer
  /// array and `list`, nulling each. Counts are left as they are.
  void destroy();

  /// Gives the face fresh arrays for `capacity` corners, dropping the old ones:
  /// `vertices`, `uvIndices` (zeroed), `cornerData`, `list`, one layer array
  /// for each layer beyond the first (at most kMaxExtraUVLayers; the layer
  /// count is capped at kMaxUVLayers) and, when `extra` is set, `extraIndices`
  /// (zeroed). Corner and list counts become 0, both capacities `capacity`,
  /// `normal` and `normal2` zero, `pieceId` and `faceByte` 0, `mark` 1.
  /// Returns this face; null, with the face left empty, when an allocation
  /// fails, and null with nothing changed for a negative capacity.
  DFface* allocate(std::int32_t capacity, std::uint32_t numLayers, bool extra);

  /// Corners used.
  std::uint32_t numVertices;
  /// Corners allocated in each per-corner array.
  std::uint32_t capacity;
  /// Vertex index of each corner.
  std::uint32_t* vertices;
  /// Layer 0 texture-coordinate index of each corner, zeroed on allocation.
  std::uint32_t* uvIndices;
  /// A third per-corner index array, carried with the face.
  std::uint32_t* cornerData;
  /// Texture-coordinate indices of layers 1 .. numLayers - 1: entry l - 1 holds
  /// layer l; the others are null.
  std::uint32_t* layerUVIndices[kMaxExtraUVLayers];
  /// Optional fourth per-corner array, zeroed on allocation.
  std::uint32_t* extraIndices;
  /// Entries used in `list`.
  std::uint32_t numList;
  /// Entries allocated in `list`.
  std::uint32_t listCapacity;
  /// A second index list of the face.
  std::uint32_t* list;
  Mgc::MgcVector3 normal;
  /// A second vector, zeroed on allocation.
  Mgc::MgcVector3 normal2;
  /// 1 while the face exists.
  std::uint8_t mark;
  /// kDFfaceSelected and bits the engine only carries.
  std::uint16_t faceFlags;
  /// Connected-piece label given by the shatter geometry; 0 for none.
  std::uint16_t pieceId;
  /// Carried with the face.
  std::uint8_t faceByte;
  /// Texture-coordinate layers of the face, 1 to kMaxUVLayers.
  std::uint8_t numLayers;
};

/// Prepares a face's per-corner arrays for `capacity` corners, dropping the old
/// arrays and their contents: `vertices`, `uvIndices` (zeroed), `extraIndices`
/// (zeroed, only when `extra` is set, else null), `cornerData`, one layer array
/// for each layer beyond the first (the layer count is capped at
/// kMaxUVLayers), and `list`. Sets `numLayers`, the corner count and list count
/// to 0, and both capacities to `capacity`; touches nothing else. Callers write
/// the corners and then the corner count.
///
/// A capacity of 0 (or a null face) changes nothing. An allocation failure
/// leaves the face with no arrays and zero counts and throws std::bad_alloc.
void allocateBufferChannels(DFface* face, std::uint32_t capacity, std::uint32_t numLayers, bool extra);

/// The engine's polygon mesh with faces of any size and up to nine
/// texture-coordinate layers: the mesh of the shatter geometry. Local data live
/// beside transformed data as in `ZOVmesh`.
///
/// Ownership: every vector array is a separate block from malloc, released with
/// free. The face array comes from `new DFface[n]` and is released with
/// `delete[]`, so that every face's own arrays are freed with it. Copy
/// construction and assignment are SHALLOW: only one of the two records may be
/// destroyed. Deep copies are the factory's operations.
class ZOV_DFmesh : public MeshPlacement {
 public:
  /// Empty: no faces, vertices or layers, every array null, flags 0, identity
  /// rotation, zero translation, unit scale.
  ZOV_DFmesh();
  /// Shallow: counts, pointers and values are copied, arrays are shared.
  ZOV_DFmesh(const ZOV_DFmesh&) = default;
  /// Shallow, as the copy constructor.
  ZOV_DFmesh& operator=(const ZOV_DFmesh&) = default;
  /// Frees every array that is set, destroys the faces, and zeroes the counts.
  ~ZOV_DFmesh();

  std::uint32_t numFaces;
  /// numFaces faces (from new[]).
  DFface* faces;
  std::uint32_t numVertices;
  /// Local vertex positions.
  Mgc::MgcVector3* vertices;
  /// Transformed vertex positions.
  Mgc::MgcVector3* worldVertices;
  /// Local face normals (numFaces).
  Mgc::MgcVector3* faceNormals;
  /// Transformed face normals (numFaces).
  Mgc::MgcVector3* worldFaceNormals;
  /// Texture coordinates per layer.
  std::uint32_t numUVs;
  /// Layer 0 texture coordinates (numUVs).
  Mgc::MgcVector3* uvs;
  /// Layers 1 to 8: entry i holds layer i + 1 and is present only when
  /// numUVLayers > i + 1.
  Mgc::MgcVector3* uvLayers[kMaxExtraUVLayers];
  std::uint32_t numExtraPoints;
  /// Optional per-mesh points (kDFmeshHasExtraPoints when present).
  Mgc::MgcVector3* extraPoints;
  std::uint32_t numAuxPoints;
  /// Optional points allocated on request by the factory.
  Mgc::MgcVector3* auxPoints;
  /// Per-vertex vectors (numVertices), zeroed on allocation.
  Mgc::MgcVector3* vertexData;
  /// 1 when `vertexData` is filled.
  std::uint8_t hasVertexData;
  std::uint32_t numMeshGroups;
  /// Texture-coordinate layers, 1 to kMaxUVLayers.
  std::uint32_t numUVLayers;
  /// Carried by copy and assignment; the engine gives it no meaning.
  std::uint16_t dfWord;
  /// kDFmeshMultipleUVLayers, kDFmeshHasExtraPoints.
  std::uint16_t dfFlags;
};
