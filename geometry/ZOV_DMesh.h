#pragma once

#include <cstdint>

#include "geometry/EngineList.h"
#include "geometry/MeshPlacement.h"
#include "geometry/ZOV_DFmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

/// A list-based view of a `ZOV_DFmesh`, part of the exported interface. Its
/// vector lists hold copies of the source's vectors, in the source's order; its
/// face list REFERS to the source's faces, so it must not outlive its source.
/// Copying copies every list value into fresh nodes (face pointers stay
/// pointers to the same faces).
class ZOV_DMesh : public MeshPlacement {
 public:
  /// Empty lists; centres, rotation, translation and scale all zero.
  ZOV_DMesh();
  /// Lists filled from `source` in its order: face pointers, local vertices
  /// (twice), layer 0 UVs, the further UV layers it has, local and transformed
  /// face normals; the group count, layer count and flags copied. Centres,
  /// rotation, translation and scale are zero. A null source gives an empty
  /// mesh.
  explicit ZOV_DMesh(const ZOV_DFmesh* source);
  /// An empty mesh, then assigned `other`.
  ZOV_DMesh(const ZOV_DMesh& other);
  /// Every list takes the other's values and every other field its value,
  /// member by member.
  ZOV_DMesh& operator=(const ZOV_DMesh& other) = default;
  /// The lists free their nodes; the referenced faces are not touched.
  ~ZOV_DMesh() = default;

  /// The source's faces, by reference, in face order.
  EngineList<DFface*> faceList;
  EngineList<Mgc::MgcVector3> vertexList;
  /// A second vertex list, filled from the same local positions.
  EngineList<Mgc::MgcVector3> vertexList2;
  /// Layer 0 texture coordinates.
  EngineList<Mgc::MgcVector3> uvList;
  /// Layers 1 to 8: entry l - 1 holds layer l.
  EngineList<Mgc::MgcVector3> uvLayerLists[kMaxExtraUVLayers];
  /// Local face normals.
  EngineList<Mgc::MgcVector3> normalList;
  /// Transformed face normals.
  EngineList<Mgc::MgcVector3> worldNormalList;
  std::uint32_t numMeshGroups;
  std::uint32_t numUVLayers;
  std::uint16_t dfWord;
  std::uint16_t dfFlags;
};
