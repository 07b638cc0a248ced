#include "MeshTestSupport.h"
#include "PluginFixture.h"
#include "src/engineMeshOutput.h"
#include "src/meshConversion.h"

namespace {

using meshtest::MeshPtr;
using meshtest::pathOf;

class EngineMeshOutput : public PluginTest {};

/// An engine mesh of n quads in a row (a strip), all facing +z.
MeshPtr quadStrip(std::uint32_t quads) {
  std::vector<Mgc::MgcVector3> points;
  std::vector<std::vector<std::uint32_t>> faces;
  for (std::uint32_t i = 0; i <= quads; ++i) points.insert(points.end(), {{i + 0.0, 0.0, 0.0}, {i + 0.0, 1.0, 0.0}});
  for (std::uint32_t f = 0; f < quads; ++f) faces.push_back({2 * f, 2 * f + 2, 2 * f + 3, 2 * f + 1});
  return meshtest::engineMesh(points, faces);
}

TEST_F(EngineMeshOutput, NormalsOutOfRangeAreLeftToTheHostAndKeptColoursStay) {
  MeshPtr strip = quadStrip(1);
  ASSERT_TRUE(allocMeshExtra(strip.get(), 1));
  strip->auxPoints[0] = Mgc::MgcVector3(0.0, 0.6, 0.8);
  strip->numAuxPoints = 1;
  strip->faces[0].cornerData[2] = 40;
  MFnMesh fn;
  MObject parent;
  ASSERT_TRUE(engineMeshToMayaMesh(*strip, fn, MStringArray(), &parent));
  MVector normal;
  fn.getFaceVertexNormal(0, 0, normal);
  EXPECT_TRUE(normal.isEquivalent(MVector(0.0, 0.6, 0.8), 1e-6));
  fn.getFaceVertexNormal(0, 3, normal);
  EXPECT_TRUE(normal.isEquivalent(MVector(0.0, 0.0, 1.0), 1e-6));

  // Rebuilt in place, a mesh with a current colour set keeps its colours.
  const MString set = fn.createColorSetWithName("kept");
  fn.setCurrentColorSetName(set);
  MColorArray kept;
  kept.append(MColor(0.25f, 0.25f, 0.25f));
  fn.setColors(kept, &set);
  MeshPtr coloured = quadStrip(1);
  coloured->numExtraPoints = 0;
  ASSERT_TRUE(engineMeshToMayaMesh(*coloured, fn, MStringArray(), nullptr));
  EXPECT_EQ(fn.currentColorSetName(), MString("kept"));
  MColorArray colours;
  fn.getColors(colours);
  ASSERT_EQ(colours.length(), 1u);
  EXPECT_EQ(colours[0], MColor(0.25f, 0.25f, 0.25f));
}

TEST_F(EngineMeshOutput, OnlyAMeshCacheOnInMeshCountsAsItsSource) {
  run("polyCube -n box");
  EXPECT_FALSE(findInMeshSource(pathOf("box").node()));
  run("createNode meshCache -n cache");
  run("connectAttr polyCube1.output cache.inMesh");
  run("disconnectAttr polyCube1.output boxShape.inMesh");
  run("connectAttr cache.outMesh boxShape.inMesh");
  EXPECT_TRUE(findInMeshSource(pathOf("box").node()));
  EXPECT_FALSE(findInMeshSource(node("cache")));
}

}  // namespace
