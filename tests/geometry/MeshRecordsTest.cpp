#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "geometry/ShatterParams.h"
#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOV_DMesh.h"
#include "geometry/ZOVmesh.h"
#include "support/MeshFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

template <typename T>
std::vector<T> valuesOf(const EngineList<T>& list) {
  std::vector<T> values;
  for (auto* node = list.getFirst(); node != nullptr; node = node->next) values.push_back(node->value);
  return values;
}

// A shallow copy shares its source's arrays; forgetting them lets the source
// alone free them, as the records' ownership rule says.
void forgetArrays(ZOVmesh& mesh) {
  mesh.faces = nullptr;
  mesh.vertices = mesh.worldVertices = mesh.uvs = nullptr;
  mesh.faceNormals = mesh.worldFaceNormals = mesh.vertexData = nullptr;
}

void forgetArrays(ZOV_DFmesh& mesh) {
  mesh.faces = nullptr;
  mesh.vertices = mesh.worldVertices = mesh.uvs = nullptr;
  mesh.faceNormals = mesh.worldFaceNormals = mesh.vertexData = nullptr;
  mesh.extraPoints = mesh.auxPoints = nullptr;
  for (auto*& layer : mesh.uvLayers) layer = nullptr;
}

// Writes every entry of an index array: under AddressSanitizer this fails when
// the array is shorter than `n`.
void touch(std::uint32_t* array, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) array[i] = i;
}

bool allZero(const std::uint32_t* array, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i)
    if (array[i] != 0) return false;
  return true;
}

std::uint32_t layerArrays(const DFface& face) {
  std::uint32_t count = 0;
  for (auto* layer : face.layerUVIndices) count += layer != nullptr ? 1 : 0;
  return count;
}

}  // namespace

TEST(MeshRecords, FreshMeshesHaveIdentityFrameAndNothingToFree) {
  ZOVmesh mesh;
  EXPECT_EQ(mesh.rotation, MgcMatrix3::IDENTITY);
  EXPECT_EQ(mesh.translation, MgcVector3::ZERO);
  EXPECT_EQ(mesh.scale, MgcVector3(1.0, 1.0, 1.0));
  EXPECT_EQ(mesh.numFaces, 0u);
  EXPECT_EQ(mesh.numVertices, 0u);
  EXPECT_EQ(mesh.faces, nullptr);
  EXPECT_EQ(mesh.vertices, nullptr);

  ZOV_DFmesh dfMesh;
  EXPECT_EQ(dfMesh.rotation, MgcMatrix3::IDENTITY);
  EXPECT_EQ(dfMesh.translation, MgcVector3::ZERO);
  EXPECT_EQ(dfMesh.scale, MgcVector3(1.0, 1.0, 1.0));
  EXPECT_EQ(dfMesh.numFaces, 0u);
  EXPECT_EQ(dfMesh.numVertices, 0u);
  for (auto* layer : dfMesh.uvLayers) EXPECT_EQ(layer, nullptr);

  ZOV_DMesh listMesh;
  EXPECT_EQ(listMesh.rotation, MgcMatrix3::ZERO);
  EXPECT_EQ(listMesh.scale, MgcVector3::ZERO);
  EXPECT_EQ(listMesh.vertexList.getCount(), 0u);
}

TEST(MeshRecords, CopiesAreShallowAndOnlyTheOwnerFrees) {
  auto mesh = zovtest::makeMesh(5, 3, 2);
  mesh->radius = 2.5;
  mesh->meshFlags = 7;
  {
    ZOVmesh copy(*mesh);
    EXPECT_EQ(copy.vertices, mesh->vertices);
    EXPECT_EQ(copy.faces, mesh->faces);
    EXPECT_EQ(copy.uvs, mesh->uvs);
    EXPECT_EQ(copy.radius, 2.5);
    EXPECT_EQ(copy.meshFlags, 7);
    copy.vertices[0] = MgcVector3(1.0, 2.0, 3.0);  // one array, seen through both
    EXPECT_EQ(mesh->vertices[0], MgcVector3(1.0, 2.0, 3.0));
    ZOVmesh assigned;
    assigned = *mesh;
    EXPECT_EQ(assigned.worldFaceNormals, mesh->worldFaceNormals);
    forgetArrays(copy);
    forgetArrays(assigned);
  }
  mesh.reset();  // frees each array once; AddressSanitizer reports any double free or leak

  auto dfMesh = zovtest::makeDFmesh(4, 2, 3, 3);
  dfMesh->faces[0].allocate(3, 3, true);
  {
    ZOV_DFmesh copy(*dfMesh);
    EXPECT_EQ(copy.faces, dfMesh->faces);
    EXPECT_EQ(copy.uvLayers[1], dfMesh->uvLayers[1]);
    EXPECT_EQ(copy.faces[0].vertices, dfMesh->faces[0].vertices) << "faces are not copied either";
    ZOV_DFmesh assigned;
    assigned = *dfMesh;
    EXPECT_EQ(assigned.vertexData, dfMesh->vertexData);
    forgetArrays(copy);
    forgetArrays(assigned);
  }
}

TEST(MeshRecords, DFmeshDestructorFreesFacesAndEveryArray) {
  // Everything a mesh can hold; under LeakSanitizer a missed array fails the run.
  auto mesh = zovtest::makeDFmesh(6, 4, 5, 9);
  mesh->extraPoints = static_cast<MgcVector3*>(std::calloc(2, sizeof(MgcVector3)));
  mesh->auxPoints = static_cast<MgcVector3*>(std::calloc(2, sizeof(MgcVector3)));
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) ASSERT_NE(mesh->faces[f].allocate(5, 9, true), nullptr);
  mesh.reset();
}

TEST(MeshRecords, FaceAllocateGivesArraysForTheCapacity) {
  DFface face;
  face.normal = MgcVector3(1.0, 2.0, 3.0);
  face.normal2 = MgcVector3(4.0, 5.0, 6.0);
  face.faceByte = 9;
  face.pieceId = 4;
  ASSERT_EQ(face.allocate(3, 1, false), &face);
  EXPECT_EQ(face.capacity, 3u);
  EXPECT_EQ(face.numVertices, 0u);
  EXPECT_EQ(face.listCapacity, 3u);
  EXPECT_EQ(face.numList, 0u);
  EXPECT_EQ(face.numLayers, 1);
  EXPECT_EQ(face.mark, 1);
  EXPECT_EQ(face.faceByte, 0);
  EXPECT_EQ(face.pieceId, 0);
  EXPECT_EQ(face.normal, MgcVector3::ZERO);
  EXPECT_EQ(face.normal2, MgcVector3::ZERO);
  EXPECT_EQ(face.extraIndices, nullptr);
  EXPECT_EQ(layerArrays(face), 0u);
  EXPECT_TRUE(allZero(face.uvIndices, 3));
  touch(face.vertices, 3);
  touch(face.cornerData, 3);
  touch(face.list, 3);

  // Again with more layers and the extra array: the old arrays go (no leak).
  ASSERT_EQ(face.allocate(7, 4, true), &face);
  EXPECT_EQ(face.numLayers, 4);
  EXPECT_EQ(layerArrays(face), 3u);
  for (std::uint32_t layer = 0; layer < 3; ++layer) touch(face.layerUVIndices[layer], 7);
  ASSERT_NE(face.extraIndices, nullptr);
  EXPECT_TRUE(allZero(face.extraIndices, 7));
  EXPECT_TRUE(allZero(face.uvIndices, 7));
  touch(face.vertices, 7);

  // A layer count beyond the nine a face can hold is capped, not overrun.
  ASSERT_EQ(face.allocate(2, 20, false), &face);
  EXPECT_EQ(face.numLayers, kMaxUVLayers);
  EXPECT_EQ(layerArrays(face), kMaxExtraUVLayers);
  EXPECT_EQ(face.extraIndices, nullptr);

  // A negative capacity is refused and changes nothing.
  std::uint32_t* vertices = face.vertices;
  EXPECT_EQ(face.allocate(-1, 1, false), nullptr);
  EXPECT_EQ(face.vertices, vertices);
  EXPECT_EQ(face.capacity, 2u);
}

TEST(MeshRecords, BufferChannelsFollowEachRequest) {
  DFface face;
  face.normal = MgcVector3(0.0, 0.0, 1.0);
  face.faceFlags = kDFfaceSelected;
  face.faceByte = 5;
  face.mark = 1;

  allocateBufferChannels(&face, 5, 3, true);
  EXPECT_EQ(face.capacity, 5u);
  EXPECT_EQ(face.numLayers, 3);
  EXPECT_EQ(layerArrays(face), 2u);
  ASSERT_NE(face.layerUVIndices[0], nullptr);
  ASSERT_NE(face.layerUVIndices[1], nullptr);
  touch(face.layerUVIndices[1], 5);
  ASSERT_NE(face.extraIndices, nullptr);
  EXPECT_TRUE(allZero(face.extraIndices, 5));
  EXPECT_TRUE(allZero(face.uvIndices, 5));
  touch(face.vertices, 5);
  touch(face.cornerData, 5);
  touch(face.list, 5);
  face.numVertices = 5;
  face.numList = 2;

  allocateBufferChannels(&face, 3, 1, false);
  EXPECT_EQ(layerArrays(face), 0u);
  EXPECT_EQ(face.extraIndices, nullptr);
  EXPECT_EQ(face.capacity, 3u);
  EXPECT_EQ(face.numVertices, 0u);
  EXPECT_EQ(face.listCapacity, 3u);
  EXPECT_EQ(face.numList, 0u);
  EXPECT_EQ(face.numLayers, 1);
  // Nothing but the corner arrays and their counts is touched.
  EXPECT_EQ(face.normal, MgcVector3(0.0, 0.0, 1.0));
  EXPECT_EQ(face.faceFlags, kDFfaceSelected);
  EXPECT_EQ(face.faceByte, 5);
  EXPECT_EQ(face.mark, 1);

  // Zero corners: nothing changes, not even the layer count.
  std::uint32_t* vertices = face.vertices;
  allocateBufferChannels(&face, 0, 4, true);
  EXPECT_EQ(face.vertices, vertices);
  EXPECT_EQ(face.numLayers, 1);
  EXPECT_EQ(face.capacity, 3u);
  EXPECT_EQ(face.extraIndices, nullptr);

  allocateBufferChannels(nullptr, 4, 1, false);  // no face: nothing to do

  // Many rounds of regrowing leak nothing (checked by LeakSanitizer).
  for (std::uint32_t round = 1; round <= 50; ++round) allocateBufferChannels(&face, round, round % 12, round % 2 == 0);
  EXPECT_EQ(face.capacity, 50u);

  // A layer count beyond the nine a face can hold is capped, not overrun.
  allocateBufferChannels(&face, 4, 12, false);
  EXPECT_EQ(face.numLayers, kMaxUVLayers);
  EXPECT_EQ(layerArrays(face), kMaxExtraUVLayers);
  touch(face.layerUVIndices[kMaxExtraUVLayers - 1], 4);
}

TEST(MeshRecords, ListMeshFromDFmeshListsInSourceOrder) {
  auto source = zovtest::makeDFmesh(4, 3, 2, 1);
  for (std::uint32_t i = 0; i < 4; ++i) {
    source->vertices[i] = MgcVector3(i, 10.0 + i, 20.0 + i);
    source->worldVertices[i] = MgcVector3(-1.0, -1.0, -1.0);
  }
  for (std::uint32_t i = 0; i < 3; ++i) {
    source->faceNormals[i] = MgcVector3(0.0, 0.0, i);
    source->worldFaceNormals[i] = MgcVector3(i, 0.0, 0.0);
  }
  source->uvs[0] = MgcVector3(0.25, 0.5, 0.0);
  source->uvs[1] = MgcVector3(0.75, 1.0, 0.0);
  source->numMeshGroups = 2;
  source->dfWord = 11;
  source->dfFlags = kDFmeshHasExtraPoints;
  source->center = MgcVector3(5.0, 5.0, 5.0);

  const ZOV_DMesh listMesh(source.get());
  EXPECT_EQ(valuesOf(listMesh.faceList),
            (std::vector<DFface*>{&source->faces[0], &source->faces[1], &source->faces[2]}));
  const std::vector<MgcVector3> vertices(source->vertices, source->vertices + 4);
  EXPECT_EQ(valuesOf(listMesh.vertexList), vertices);
  EXPECT_EQ(valuesOf(listMesh.vertexList2), vertices) << "both vertex lists come from the local positions";
  EXPECT_EQ(valuesOf(listMesh.uvList), (std::vector<MgcVector3>{source->uvs[0], source->uvs[1]}));
  EXPECT_EQ(valuesOf(listMesh.normalList), (std::vector<MgcVector3>(source->faceNormals, source->faceNormals + 3)));
  EXPECT_EQ(valuesOf(listMesh.worldNormalList),
            (std::vector<MgcVector3>(source->worldFaceNormals, source->worldFaceNormals + 3)));
  for (const auto& layer : listMesh.uvLayerLists) EXPECT_EQ(layer.getCount(), 0u);
  EXPECT_EQ(listMesh.numMeshGroups, 2u);
  EXPECT_EQ(listMesh.numUVLayers, 1u);
  EXPECT_EQ(listMesh.dfWord, 11);
  EXPECT_EQ(listMesh.dfFlags, kDFmeshHasExtraPoints);
  EXPECT_EQ(listMesh.center, MgcVector3::ZERO);
  EXPECT_EQ(listMesh.rotation, MgcMatrix3::ZERO);
  EXPECT_EQ(listMesh.scale, MgcVector3::ZERO);
}

TEST(MeshRecords, ListMeshFillsOnlyTheSourcesExtraLayers) {
  auto source = zovtest::makeDFmesh(3, 1, 2, 3);
  source->uvLayers[0][1] = MgcVector3(1.0, 0.0, 0.0);
  source->uvLayers[1][0] = MgcVector3(0.0, 1.0, 0.0);
  const ZOV_DMesh listMesh(source.get());
  EXPECT_EQ(listMesh.numUVLayers, 3u);
  EXPECT_EQ(valuesOf(listMesh.uvLayerLists[0]), (std::vector<MgcVector3>{MgcVector3::ZERO, MgcVector3(1.0, 0.0, 0.0)}));
  EXPECT_EQ(valuesOf(listMesh.uvLayerLists[1]), (std::vector<MgcVector3>{MgcVector3(0.0, 1.0, 0.0), MgcVector3::ZERO}));
  for (std::uint32_t layer = 2; layer < kMaxExtraUVLayers; ++layer)
    EXPECT_EQ(listMesh.uvLayerLists[layer].getCount(), 0u);

  // A layer count above what a mesh can hold reads no layer slot beyond the eighth.
  source->numUVLayers = 40;
  const ZOV_DMesh capped(source.get());
  EXPECT_EQ(capped.uvLayerLists[1].getCount(), 2u);

  const ZOV_DMesh fromNothing(nullptr);
  EXPECT_EQ(fromNothing.faceList.getCount(), 0u);
}

TEST(MeshRecords, ListMeshCopiesValuesIntoItsOwnNodes) {
  auto source = zovtest::makeDFmesh(3, 2, 1, 2);
  source->vertices[2] = MgcVector3(7.0, 8.0, 9.0);
  ZOV_DMesh original(source.get());
  original.radius = 1.5;
  {
    const ZOV_DMesh copy(original);
    EXPECT_EQ(valuesOf(copy.vertexList), valuesOf(original.vertexList));
    EXPECT_EQ(valuesOf(copy.faceList), valuesOf(original.faceList));
    EXPECT_EQ(valuesOf(copy.uvLayerLists[0]), valuesOf(original.uvLayerLists[0]));
    EXPECT_NE(copy.vertexList.getFirst(), original.vertexList.getFirst());
    EXPECT_EQ(copy.radius, 1.5);
    EXPECT_EQ(copy.numUVLayers, 2u);
  }
  ZOV_DMesh assigned;
  assigned.vertexList.append(MgcVector3(1.0, 1.0, 1.0));
  assigned = original;
  EXPECT_EQ(valuesOf(assigned.vertexList), valuesOf(original.vertexList));
  // Destroying the list meshes leaves the source's faces alone.
  EXPECT_EQ(valuesOf(original.faceList).front(), &source->faces[0]);
}

TEST(MeshRecords, ShatterParamsStartWithoutPointsOrCentres) {
  zov_shatter_params params;
  EXPECT_EQ(params.mesh, nullptr);
  EXPECT_EQ(params.outPoints, nullptr);
  EXPECT_EQ(params.pathPoints, nullptr);
  EXPECT_EQ(params.givenPoints, nullptr);
  EXPECT_EQ(params.center, MgcVector3::ZERO);
  for (const MgcVector3& center : params.centers) EXPECT_EQ(center, MgcVector3::ZERO);
  EXPECT_EQ(params.keepInside, 0);
}
