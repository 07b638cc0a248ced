#include "MeshTestSupport.h"
#include "PluginFixture.h"
#include "src/meshes/engineMeshOutput.h"
#include "src/meshes/meshConversion.h"

namespace {

using meshtest::MeshPtr;
using meshtest::pathOf;

class EngineMeshOutput : public PluginTest {};

/// A unit square in z = 0 facing +z, as an engine mesh.
MeshPtr square() { return meshtest::engineMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}}); }

TEST_F(EngineMeshOutput, NormalsOutOfRangeAreLeftToTheHostAndKeptColoursStay) {
  MeshPtr quad = square();
  ASSERT_TRUE(allocMeshExtra(quad.get(), 1));
  quad->auxPoints[0] = Mgc::MgcVector3(0.0, 0.6, 0.8);
  quad->numAuxPoints = 1;
  quad->faces[0].cornerData[2] = 40;
  MFnMesh fn;
  MObject parent;
  ASSERT_TRUE(engineMeshToMayaMesh(*quad, fn, MStringArray(), &parent));
  MVector normal;
  fn.getFaceVertexNormal(0, 0, normal);
  EXPECT_TRUE(normal.isEquivalent(MVector(0.0, 0.6, 0.8), 1e-6));
  // Corner 2, vertex 2, names no normal: the host's own.
  fn.getFaceVertexNormal(0, 2, normal);
  EXPECT_TRUE(normal.isEquivalent(MVector(0.0, 0.0, 1.0), 1e-6));

  // Rebuilt in place, a mesh with a current colour set keeps its colours.
  const MString set = fn.createColorSetWithName("kept");
  fn.setCurrentColorSetName(set);
  MColorArray kept;
  kept.append(MColor(0.25f, 0.25f, 0.25f));
  fn.setColors(kept, &set);
  MeshPtr coloured = square();
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
