#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"

// Building and exchanging the arrays of `ZOV_DFmesh` records for the shatter
// mesh operations that copy pieces out, join meshes and subdivide faces. The
// attribute arrays follow the clipper's reading of the record: per-corner
// normals in `auxPoints` (ids in `DFface::cornerData`), colours in
// `extraPoints` (ids in `DFface::extraIndices`), texture coordinates in `uvs`
// and `uvLayers` (ids in `uvIndices` and `layerUVIndices`).

/// Whether the mesh carries per-corner normals.
bool hasDFmeshNormals(const ZOV_DFmesh& mesh);
/// Entry k of an optional per-corner id array; 0 when the array is absent.
inline std::uint32_t idAt(const std::uint32_t* ids, std::uint32_t k) { return ids != nullptr ? ids[k] : 0; }
/// Whether the mesh carries colours.
bool hasDFmeshColors(const ZOV_DFmesh& mesh);
/// Whether the mesh carries texture coordinates.
bool hasDFmeshUVs(const ZOV_DFmesh& mesh);
/// The texture-coordinate layers beyond the first that the mesh carries (0 to
/// kMaxExtraUVLayers): only with texture coordinates and the
/// kDFmeshMultipleUVLayers flag.
std::uint32_t extraDFmeshLayers(const ZOV_DFmesh& mesh);

/// The value at `id` of an attribute array of `count` entries; the zero vector
/// for an id outside it.
Mgc::MgcVector3 attributeAt(const Mgc::MgcVector3* values, std::uint32_t count, std::uint32_t id);

/// Exchanges every field of two face records (their arrays move with them).
void swapDFfaces(DFface& a, DFface& b);

/// Exchanges what two meshes hold: faces, vertex arrays, face normals,
/// attribute arrays with their counts, layer count and flags word. The centre,
/// radii, frame, piece count and `dfWord` stay with each record.
void swapDFmeshArrays(ZOV_DFmesh& a, ZOV_DFmesh& b);

/// The arrays of a mesh being assembled; `assembleDFmesh` turns them into a
/// record. Faces are allocated up front and written in place.
struct DFmeshParts {
  /// Room for `faceCount` empty face records. Throws std::bad_alloc.
  explicit DFmeshParts(std::uint32_t faceCount);

  std::vector<Mgc::MgcVector3> vertices;
  std::vector<Mgc::MgcVector3> worldVertices;
  std::vector<Mgc::MgcVector3> normals;
  std::vector<Mgc::MgcVector3> colors;
  std::vector<Mgc::MgcVector3> uvs;
  /// Layers 1 .. extraLayers of texture coordinates; shorter ones are padded
  /// with zeros to the longest.
  std::vector<Mgc::MgcVector3> layers[kMaxExtraUVLayers];
  std::uint32_t extraLayers = 0;
  bool withNormals = false;
  bool withColors = false;
  bool withUVs = false;

  std::uint32_t faceCount;
  std::unique_ptr<DFface[]> faces;
  std::vector<Mgc::MgcVector3> faceNormals;
  std::vector<Mgc::MgcVector3> worldFaceNormals;
};

/// A new mesh holding the parts (arrays from malloc, the faces moved out of
/// `parts`), with the frame (rotation, translation, scale), `dfWord`, flags
/// and layer count of `like`; the colour flag follows `withColors`, the
/// multiple-layer flag `extraLayers`. Its per-vertex data are zeroed, its
/// centre is the mean of its world vertices and its piece count is 1. Throws
/// std::bad_alloc, leaving `parts` whole.
std::unique_ptr<ZOV_DFmesh> assembleDFmesh(DFmeshParts& parts, const ZOV_DFmesh& like);
