// Shared face tables: meshes of one shape hold one copy of their face records
// and corner lists, each mesh sees the faces it had, and a mesh that writes
// its faces first takes a copy of its own.

#include "geometry/SharedFaces.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "geometry/BVmesh.h"
#include "geometry/ZOVmesh.h"
#include "support/GeometryFixtures.h"

using Mgc::MgcVector3;

namespace {

/// What a mesh's faces say, read through its records: per face the counts,
/// the marks and every held corner (vertex, texture index, edge).
std::vector<std::uint32_t> faceWords(const ZOVmesh& mesh) {
  std::vector<std::uint32_t> words;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const mesh_face& face = mesh.faces[f];
    words.insert(words.end(), {face.numVertices, face.cornerCapacity, face.numEdges, face.mark, face.faceFlags,
                               face.groupId, face.tag});
    for (std::uint32_t k = 0; k < face.cornerCapacity; ++k)
      words.insert(words.end(), {face.vertices[k], face.uvIndices[k], face.edges[k]});
  }
  return words;
}

std::unique_ptr<ZOVmesh> unitBox() { return zovtest::boxMesh(MgcVector3(0.5, 0.5, 0.5)); }

TEST(SharedFaces, MeshesOfOneShapeHoldOneCopyOfTheirFaces) {
  const std::size_t before = sharedFaceTableCount();
  auto a = unitBox();
  // The same faces over other vertex positions: one shape.
  auto b = zovtest::boxMesh(MgcVector3(3.0, 0.5, 2.0));
  auto square = zovtest::polygonMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}});
  const std::vector<std::uint32_t> boxFaces = faceWords(*a);
  const std::vector<std::uint32_t> squareFaces = faceWords(*square);
  const MgcVector3* ownVertices = b->vertices;

  ASSERT_TRUE(shareFaceTables(*a));
  ASSERT_TRUE(shareFaceTables(*b));
  ASSERT_TRUE(shareFaceTables(*square));
  EXPECT_TRUE(hasSharedFaces(*a) && hasSharedFaces(*b) && hasSharedFaces(*square));
  EXPECT_EQ(a->faces, b->faces);
  EXPECT_EQ(a->faceCorners, b->faceCorners);
  EXPECT_NE(a->faces, square->faces);
  EXPECT_EQ(sharedFaceTableCount(), before + 2);
  EXPECT_EQ(faceWords(*a), boxFaces);
  EXPECT_EQ(faceWords(*square), squareFaces);
  // Only the faces are shared.
  EXPECT_EQ(b->vertices, ownVertices);
  // Sharing twice changes nothing.
  EXPECT_TRUE(shareFaceTables(*a));
  EXPECT_EQ(sharedFaceTableCount(), before + 2);

  // The last mesh to let go of a table frees it; the others keep theirs.
  a.reset();
  EXPECT_EQ(sharedFaceTableCount(), before + 2);
  EXPECT_EQ(faceWords(*b), boxFaces);
  b.reset();
  square.reset();
  EXPECT_EQ(sharedFaceTableCount(), before);
}

// Meshes whose faces differ in any count, mark or corner keep tables apart.
TEST(SharedFaces, FacesThatDifferInAnythingAreKeptApart) {
  const std::vector<std::pair<std::string, std::function<void(ZOVmesh&)>>> changes = {
      {"vertex", [](ZOVmesh& m) { m.faces[2].vertices[1] = 7; }},
      {"texture index", [](ZOVmesh& m) { m.faces[0].uvIndices[3] = 1; }},
      {"edge", [](ZOVmesh& m) { m.faces[5].edges[0] = 4; }},
      {"corner count", [](ZOVmesh& m) { m.faces[1].numVertices = 3; }},
      {"edge count", [](ZOVmesh& m) { m.faces[1].numEdges = 4; }},
      {"mark", [](ZOVmesh& m) { m.faces[3].mark = 0; }},
      {"flags", [](ZOVmesh& m) { m.faces[3].faceFlags = kMeshFaceCut; }},
      {"group", [](ZOVmesh& m) { m.faces[4].groupId = 2; }},
      {"tag", [](ZOVmesh& m) { m.faces[4].tag = 9; }},
  };
  const std::size_t before = sharedFaceTableCount();
  auto plain = unitBox();
  ASSERT_TRUE(shareFaceTables(*plain));
  for (const auto& [name, change] : changes) {
    auto changed = unitBox();
    change(*changed);
    const std::vector<std::uint32_t> words = faceWords(*changed);
    ASSERT_TRUE(shareFaceTables(*changed)) << name;
    EXPECT_NE(changed->faces, plain->faces) << name;
    EXPECT_EQ(faceWords(*changed), words) << name;
    EXPECT_EQ(sharedFaceTableCount(), before + 2) << name;
  }
  EXPECT_EQ(sharedFaceTableCount(), before + 1);
}

TEST(SharedFaces, AMeshThatWritesItsFacesTakesACopyOfItsOwn) {
  const std::size_t before = sharedFaceTableCount();
  auto a = unitBox();
  auto b = unitBox();
  auto c = unitBox();
  const std::vector<std::uint32_t> boxFaces = faceWords(*a);
  for (ZOVmesh* mesh : {a.get(), b.get(), c.get()}) ASSERT_TRUE(shareFaceTables(*mesh));
  EXPECT_EQ(sharedFaceTableCount(), before + 1);

  ASSERT_TRUE(ownFaceTables(*a));
  EXPECT_FALSE(hasSharedFaces(*a));
  EXPECT_NE(a->faces, b->faces);
  EXPECT_EQ(faceWords(*a), boxFaces);
  a->faces[0].vertices[0] = 5;
  a->faces[0].mark = 0;
  EXPECT_EQ(faceWords(*b), boxFaces);
  EXPECT_TRUE(ownFaceTables(*a));

  // Building a volume labels the faces and numbers their edges: the volume's
  // mesh takes its own faces, the other holder keeps the shared ones.
  BVmesh volume;
  ASSERT_TRUE(volume.init(b.get(), kMeshHullMode | kMeshGroups));
  EXPECT_FALSE(hasSharedFaces(*b));
  EXPECT_TRUE(hasSharedFaces(*c));
  EXPECT_EQ(faceWords(*c), boxFaces);
  EXPECT_EQ(volume.getNumEdges(), 12u);

  // New corner lists are written into the face records.
  ASSERT_TRUE(allocateFaceCorners(*c));
  EXPECT_FALSE(hasSharedFaces(*c));
  EXPECT_EQ(sharedFaceTableCount(), before);

  // Letting go of owned faces frees them.
  releaseFaceTables(*c);
  EXPECT_EQ(c->faces, nullptr);
  EXPECT_EQ(c->faceCorners, nullptr);
}

// Faces whose corner lists are not laid out in the mesh's corner block in
// order (here two face records swapped) are not shared: their lists could
// not be found from the block.
TEST(SharedFaces, FacesOutsideTheLayoutOfTheirCornerBlockAreNotShared) {
  auto swapped = unitBox();
  std::swap(swapped->faces[0], swapped->faces[1]);
  mesh_face* faces = swapped->faces;
  EXPECT_FALSE(shareFaceTables(*swapped));
  EXPECT_FALSE(hasSharedFaces(*swapped));
  EXPECT_EQ(swapped->faces, faces);

  ZOVmesh empty;
  EXPECT_FALSE(shareFaceTables(empty));
}

// A mesh made from one that holds shared faces owns the faces it is made
// with.
TEST(SharedFaces, MeshesMadeFromASharingMeshOwnTheirFaces) {
  auto twoBoxes = unitBox();
  ASSERT_TRUE(shareFaceTables(*twoBoxes));
  auto other = unitBox();
  const auto joined = BVmesh::joinMeshes(*twoBoxes, *other);
  ASSERT_NE(joined, nullptr);
  EXPECT_FALSE(hasSharedFaces(*joined));
  EXPECT_EQ(joined->numFaces, 12u);
}

}  // namespace
