#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "geometry/BVmesh.h"
#include "geometry/ConvexHull.h"
#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOV_DMesh.h"
#include "geometry/ZOVmesh.h"
#include "support/MeshFixtures.h"

using Mgc::MgcVector3;

namespace {

// Writes every entry of an index array: under AddressSanitizer this fails when
// the array is shorter than `n`.
void touch(std::uint32_t* array, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) array[i] = i;
}

std::uint32_t layerArrays(const DFface& face) {
  std::uint32_t count = 0;
  for (auto* layer : face.layerUVIndices) count += layer != nullptr ? 1 : 0;
  return count;
}

}  // namespace

// A shallow copy shares its source's arrays; forgetting them lets the source
// alone free them. AddressSanitizer reports a double free or a leak.
TEST(MeshRecords, CopiesAreShallowAndOnlyTheOwnerFrees) {
  auto mesh = zovtest::makeMesh(5, 3, 2);
  {
    ZOVmesh copy(*mesh);
    copy.vertices[0] = MgcVector3(1.0, 2.0, 3.0);  // one array, seen through both
    EXPECT_EQ(mesh->vertices[0], MgcVector3(1.0, 2.0, 3.0));
    EXPECT_EQ(copy.uvs, mesh->uvs);
    EXPECT_EQ(copy.faceCorners, mesh->faceCorners);
    copy.faces = nullptr;
    copy.faceCorners = nullptr;
    copy.vertices = copy.worldVertices = copy.uvs = copy.faceNormals = copy.worldFaceNormals = copy.vertexData =
        nullptr;
  }
  auto dfMesh = zovtest::makeDFmesh(6, 4, 5, 9);
  dfMesh->extraPoints = static_cast<MgcVector3*>(std::calloc(2, sizeof(MgcVector3)));
  dfMesh->auxPoints = static_cast<MgcVector3*>(std::calloc(2, sizeof(MgcVector3)));
  for (std::uint32_t f = 0; f < dfMesh->numFaces; ++f) ASSERT_NE(dfMesh->faces[f].allocate(5, 9, true), nullptr);
  ZOV_DFmesh copy(*dfMesh);
  EXPECT_EQ(copy.faces[0].vertices, dfMesh->faces[0].vertices) << "faces are not copied either";
  EXPECT_EQ(copy.uvLayers[1], dfMesh->uvLayers[1]);
  copy.faces = nullptr;
  copy.vertices = copy.worldVertices = copy.uvs = copy.faceNormals = copy.worldFaceNormals = copy.vertexData = nullptr;
  copy.extraPoints = copy.auxPoints = nullptr;
  for (auto*& layer : copy.uvLayers) layer = nullptr;
}

// Both ways of sizing a face give arrays for the capacity (touched to the
// end), drop the arrays of a smaller request without a leak, and cap the layer
// count at what a face holds.
TEST(MeshRecords, FaceArraysFollowEachRequest) {
  DFface face;
  face.faceByte = 9;
  ASSERT_EQ(face.allocate(3, 1, false), &face);
  EXPECT_EQ(face.capacity, 3u);
  EXPECT_EQ(face.listCapacity, 3u);
  EXPECT_EQ(face.faceByte, 0);
  EXPECT_EQ(layerArrays(face), 0u);
  touch(face.vertices, 3);
  touch(face.cornerData, 3);
  touch(face.list, 3);
  ASSERT_EQ(face.allocate(7, 4, true), &face);
  EXPECT_EQ(layerArrays(face), 3u);
  for (std::uint32_t layer = 0; layer < 3; ++layer) touch(face.layerUVIndices[layer], 7);
  touch(face.extraIndices, 7);
  ASSERT_EQ(face.allocate(2, 20, false), &face);
  EXPECT_EQ(face.numLayers, kMaxUVLayers);
  EXPECT_EQ(layerArrays(face), kMaxExtraUVLayers);
  EXPECT_EQ(face.extraIndices, nullptr);
  std::uint32_t* vertices = face.vertices;
  EXPECT_EQ(face.allocate(-1, 1, false), nullptr);  // refused, nothing changes
  EXPECT_EQ(face.vertices, vertices);

  // The buffer channels touch nothing but the corner arrays and their counts.
  face.normal = MgcVector3(0.0, 0.0, 1.0);
  face.faceFlags = kDFfaceSelected;
  face.numVertices = 2;
  allocateBufferChannels(&face, 5, 3, true);
  EXPECT_EQ(face.capacity, 5u);
  EXPECT_EQ(face.numVertices, 0u);
  EXPECT_EQ(layerArrays(face), 2u);
  touch(face.layerUVIndices[1], 5);
  touch(face.extraIndices, 5);
  touch(face.list, 5);
  EXPECT_EQ(face.normal, MgcVector3(0.0, 0.0, 1.0));
  EXPECT_EQ(face.faceFlags, kDFfaceSelected);
  for (std::uint32_t round = 1; round <= 50; ++round) allocateBufferChannels(&face, round, round % 12, round % 2 == 0);
  allocateBufferChannels(&face, 4, 12, false);
  EXPECT_EQ(face.numLayers, kMaxUVLayers);
  touch(face.layerUVIndices[kMaxExtraUVLayers - 1], 4);
  vertices = face.vertices;
  allocateBufferChannels(&face, 0, 4, true);  // zero corners: nothing changes
  EXPECT_EQ(face.vertices, vertices);
  EXPECT_EQ(face.numLayers, kMaxUVLayers);
  allocateBufferChannels(nullptr, 4, 1, false);
}

TEST(MeshRecords, ListMeshListsTheSourceInOrderInNodesOfItsOwn) {
  auto source = zovtest::makeDFmesh(4, 3, 2, 3);
  for (std::uint32_t i = 0; i < 4; ++i) source->vertices[i] = MgcVector3(i, 10.0 + i, 20.0 + i);
  for (std::uint32_t i = 0; i < 3; ++i) {
    source->faceNormals[i] = MgcVector3(0.0, 0.0, i);
    source->worldFaceNormals[i] = MgcVector3(i, 0.0, 0.0);
  }
  source->uvs[1] = MgcVector3(0.75, 1.0, 0.0);
  source->uvLayers[1][0] = MgcVector3(0.0, 1.0, 0.0);
  source->center = MgcVector3(5.0, 5.0, 5.0);

  ZOV_DMesh listMesh(source.get());
  EXPECT_EQ(valuesOf(listMesh.faceList),
            (std::vector<DFface*>{&source->faces[0], &source->faces[1], &source->faces[2]}));
  const std::vector<MgcVector3> vertices(source->vertices, source->vertices + 4);
  EXPECT_EQ(valuesOf(listMesh.vertexList), vertices);
  EXPECT_EQ(valuesOf(listMesh.vertexList2), vertices) << "both vertex lists come from the local positions";
  EXPECT_EQ(valuesOf(listMesh.uvList), (std::vector<MgcVector3>{MgcVector3::ZERO, source->uvs[1]}));
  EXPECT_EQ(valuesOf(listMesh.normalList), (std::vector<MgcVector3>(source->faceNormals, source->faceNormals + 3)));
  EXPECT_EQ(valuesOf(listMesh.worldNormalList),
            (std::vector<MgcVector3>(source->worldFaceNormals, source->worldFaceNormals + 3)));
  EXPECT_EQ(valuesOf(listMesh.uvLayerLists[1]), (std::vector<MgcVector3>{MgcVector3(0.0, 1.0, 0.0), MgcVector3::ZERO}));
  EXPECT_EQ(listMesh.uvLayerLists[2].getCount(), 0u) << "only the source's layers";
  EXPECT_EQ(listMesh.center, MgcVector3::ZERO);

  ZOV_DMesh assigned;
  assigned.vertexList.append(MgcVector3(1.0, 1.0, 1.0));
  assigned = listMesh;
  EXPECT_EQ(valuesOf(assigned.vertexList), vertices);
  EXPECT_NE(assigned.vertexList.getFirst(), listMesh.vertexList.getFirst());
  const ZOV_DMesh copy(listMesh);
  EXPECT_EQ(valuesOf(copy.uvLayerLists[1]), valuesOf(listMesh.uvLayerLists[1]));

  // A layer count above what a mesh holds reads no layer slot beyond the last.
  source->numUVLayers = 40;
  EXPECT_EQ(ZOV_DMesh(source.get()).uvLayerLists[1].getCount(), 2u);
  EXPECT_EQ(ZOV_DMesh(nullptr).faceList.getCount(), 0u);
}

// A box's hull has six quads, each with room for exactly its four corners: its
// faces cost six small records and 6 x 4 corners of three indices each, not
// six records of kMaxFaceCorners-entry arrays.
TEST(MeshRecords, ABoxHullsFacesCostWhatTheirCornersNeed) {
  const MgcVector3 corners[] = {{-1, -1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, 1, -1},
                                {-1, -1, 1},  {1, -1, 1},  {-1, 1, 1},  {1, 1, 1}};
  std::unique_ptr<ZOVmesh> hull = convexHull(corners, 8);
  ASSERT_NE(hull, nullptr);
  ASSERT_EQ(hull->numFaces, 6u);
  for (std::uint32_t f = 0; f < 6; ++f) {
    EXPECT_EQ(hull->faces[f].numVertices, 4u);
    EXPECT_EQ(hull->faces[f].cornerCapacity, 4u);
  }
  constexpr std::size_t kFaces = 6, kCorners = 4, kArrays = 3;
  // A record is two counts, three pointers and the small fields.
  EXPECT_LE(sizeof(mesh_face), 48u);
  // Two blocks, each rounded up by the allocator by at most 32 bytes.
  const std::size_t bound = kFaces * sizeof(mesh_face) + kFaces * kCorners * kArrays * sizeof(std::uint32_t) + 2 * 32;
  const std::size_t counted = malloc_usable_size(hull->faces) + malloc_usable_size(hull->faceCorners);
  EXPECT_LE(counted, bound);
  EXPECT_LT(counted, 1024u);
}

// Readers take the corners a record claims, cut to what it has room for (so a
// claim past kMaxFaceCorners gives the first kMaxFaceCorners); the bounding
// volume refuses a face that claims more than either.
TEST(MeshRecords, ReadersTakeOnlyTheCornersAFaceHolds) {
  struct Case {
    std::uint32_t claimed, capacity, held;
    bool valid;
  };
  const Case cases[] = {
      {4, 4, 4, true},    {5, 4, 4, false},    {3, 4, 3, true},     {0, 4, 0, true},
      {32, 32, 32, true}, {33, 32, 32, false}, {40, 32, 32, false},
  };
  for (const Case& c : cases) {
    auto mesh = zovtest::makeMesh(40, 1);
    const std::uint32_t capacity[] = {c.capacity};
    ASSERT_TRUE(allocateFaceCorners(*mesh, capacity));
    mesh_face& face = mesh->faces[0];
    ASSERT_EQ(face.cornerCapacity, c.capacity);
    touch(face.vertices, c.capacity);
    touch(face.uvIndices, c.capacity);
    touch(face.edges, c.capacity);
    face.numVertices = c.claimed;
    EXPECT_EQ(heldCorners(face), c.held) << c.claimed << " in " << c.capacity;
    EXPECT_EQ(BVmesh::isValidMesh(mesh.get()), c.valid) << c.claimed << " in " << c.capacity;
    EXPECT_EQ(isWellFormed(mesh.get()), c.valid) << c.claimed << " in " << c.capacity;
  }
}

// A mesh is well formed when the arrays its counts promise are there and every
// corner names one of its vertices: the clipper and the bounding volume take no
// other mesh.
TEST(MeshRecords, AMeshIsWellFormedOnlyWithItsArraysAndCornersOnItsVertices) {
  EXPECT_FALSE(isWellFormed(nullptr));
  struct Case {
    const char* name;
    std::uint32_t lastCorner;
    bool withoutFaces, withoutVertices, valid;
  };
  const Case cases[] = {
      {"a triangle on its three vertices", 2, false, false, true},
      {"a corner one past the last vertex", 3, false, false, false},
      {"a face count without faces", 2, true, false, false},
      {"a vertex count without vertices", 2, false, true, false},
  };
  for (const Case& c : cases) {
    auto mesh = zovtest::makeMesh(3, 1);
    mesh_face& face = mesh->faces[0];
    ASSERT_GE(face.cornerCapacity, 3u);
    face.numVertices = 3;
    face.vertices[0] = 0;
    face.vertices[1] = 1;
    face.vertices[2] = c.lastCorner;
    // The arrays are lent away for the check and given back to be freed.
    mesh_face* faces = c.withoutFaces ? std::exchange(mesh->faces, nullptr) : nullptr;
    MgcVector3* vertices = c.withoutVertices ? std::exchange(mesh->vertices, nullptr) : nullptr;
    EXPECT_EQ(isWellFormed(mesh.get()), c.valid) << c.name;
    if (faces != nullptr) mesh->faces = faces;
    if (vertices != nullptr) mesh->vertices = vertices;
  }
}
