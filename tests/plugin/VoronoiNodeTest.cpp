#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

#include <cstdio>

#include "CommandFixture.h"
#include "ShatterSupport.h"
#include "support/ScratchFile.h"
#include "testing/HostTesting.h"

namespace {

using meshtest::pathOf;
using shattertest::makeRecord;
using shattertest::recordOf;

void setFaces(voronoiNode* node, const std::vector<int>& values) {
  const MPlug list(node->thisMObject(), voronoiNode::displayFaces);
  for (size_t i = 0; i < values.size(); ++i)
    MPlug(list.elementByLogicalIndex(static_cast<unsigned int>(i))).setShort(static_cast<short>(values[i]));
}

void setPoints(voronoiNode* node, unsigned int count) {
  const MPlug points(node->thisMObject(), voronoiNode::displayPoints);
  for (unsigned int v = 0; v < count; ++v) {
    MPlug element = points.elementByLogicalIndex(v);
    MPlug(element.child(0)).setFloat(static_cast<float>(v));
  }
}

class VoronoiNode : public CommandTest {
 protected:
  /// The record of a shatter, with the flags, of the cube "box" of size 2.
  static voronoiNode* shatteredBoxRecord(const std::string& flags) {
    meshtest::makeCube("box", 2.0);
    EXPECT_TRUE(runs("zovShatter " + flags + " box"));
    zovhost::testing::flushIdleQueue();
    return recordOf(pathOf("box"));
  }
  /// Saves the scene to the file and opens it again, in this host.
  static void saveAndOpen(const std::string& file) {
    run("file -rename \"" + file + "\"");
    run("file -save");
    run("file -open \"" + file + "\"");
  }
};

TEST_F(VoronoiNode, ReadsPastTheEndGiveZeroAndAnEmptyBox) {
  voronoiNode* node = makeRecord();
  ASSERT_NE(node, nullptr);
  voronoiNode::setVoroGroup(node, 7);
  voronoiNode::setBoundingBox(node, MBoundingBox(MPoint(-1, -2, -3), MPoint(1, 2, 3)));
  EXPECT_EQ(voronoiNode::getVoroGroup(node, 0), 7);
  EXPECT_EQ(voronoiNode::getVoroGroup(node, 1), 0);
  MBoundingBox box;
  EXPECT_EQ(voronoiNode::getBoundingBox(node, box, 0).max(), MPoint(1, 2, 3));
  EXPECT_TRUE(voronoiNode::getBoundingBox(node, box, 1).isEmpty());
  voronoiNode::setVoroPoints(node, nullptr, 3, MMatrix());
  EXPECT_EQ(voronoiNode::numVoroPoints(node), 0u);
  // Consecutive numbers from the counter.
  voronoiNode::assignNextIndex(node);
  voronoiNode* second = makeRecord();
  voronoiNode::assignNextIndex(second);
  EXPECT_EQ(voronoiNode::getIndex(node), 1);
  EXPECT_EQ(voronoiNode::getIndex(second), 2);
}

TEST_F(VoronoiNode, DisplayFacesAreReadUpToTheirSeparatorsAndWithinThePoints) {
  struct Case {
    std::vector<int> faces;
    std::vector<std::uint32_t> corners;  // per face made
  };
  std::vector<int> forty;
  for (int i = 0; i < 40; ++i) forty.push_back(i);
  forty.push_back(-1);
  const Case cases[] = {
      {{0, 1, 2, -1, 3, 4, 5}, {3}},                       // no final separator: the last face is lost
      {forty, {32}},                                       // a face keeps 32 indices
      {{0, 1, 2, -1, 3, 77, 5, -1, 6, 7, 8, -1}, {3, 3}},  // an index past the points drops its face
  };
  for (const Case& c : cases) {
    voronoiNode* node = makeRecord();
    setPoints(node, 50);
    setFaces(node, c.faces);
    ASSERT_TRUE(voronoiNode::buildDisplayCells(node));
    ASSERT_EQ(node->displayCells->numFaces, c.corners.size());
    for (size_t f = 0; f < c.corners.size(); ++f) EXPECT_EQ(node->displayCells->faces[f].numVertices, c.corners[f]);
  }
}

TEST_F(VoronoiNode, CellsPastTheShortIndexRangeLeaveTheDisplayOff) {
  voronoiNode* node = makeRecord();
  // 8,200 cut quads need 32,800 display vertices: more than 16 bits reach.
  const std::uint32_t quads = 8200;
  std::vector<Mgc::MgcVector3> points;
  std::vector<std::vector<std::uint32_t>> faces;
  for (std::uint32_t q = 0; q < quads; ++q) {
    const double x = q;
    for (const auto& p : {Mgc::MgcVector3(x, 0, 0), Mgc::MgcVector3(x + 1, 0, 0), Mgc::MgcVector3(x + 1, 1, 0),
                          Mgc::MgcVector3(x, 1, 0)})
      points.push_back(p);
    faces.push_back({4 * q, 4 * q + 1, 4 * q + 2, 4 * q + 3});
  }
  meshtest::MeshPtr many = meshtest::engineMesh(points, faces);
  for (std::uint32_t f = 0; f < many->numFaces; ++f) many->faces[f].faceFlags = kCutFaceFlag;
  ZOV_DFmesh* shards[] = {many.get()};
  EXPECT_FALSE(voronoiNode::setDisplayCells(node, shards, 1));
  EXPECT_EQ(MPlug(node->thisMObject(), voronoiNode::displayFaces).numElements(), 0u);
  many->numFaces = 100;
  EXPECT_TRUE(voronoiNode::setDisplayCells(node, shards, 1));
  EXPECT_EQ(MPlug(node->thisMObject(), voronoiNode::displayPoints).numElements(), 400u);
  EXPECT_EQ(MPlug(node->thisMObject(), voronoiNode::displayFaces).numElements(), 500u);
}

TEST_F(VoronoiNode, TheRecordSurvivesSaveAndReopenAndNewNodesNumberAboveIt) {
  voronoiNode* record = shatteredBoxRecord("-ns 6 -sed 5 -nm true -cmn cutMat");
  ASSERT_NE(record, nullptr);
  const std::vector<Mgc::MgcVector3> seeds = shattertest::seedsOf(record);
  MBoundingBox box;
  voronoiNode::getBoundingBox(record, box, 0);
  const unsigned int displayPoints = MPlug(record->thisMObject(), voronoiNode::displayPoints).numElements();
  const unsigned int displayFaces = MPlug(record->thisMObject(), voronoiNode::displayFaces).numElements();
  ASSERT_GT(displayPoints, 0u);

  const zovtest::ScratchFile scratch{"zov_voronoi_", ".zsc"};
  const std::string& file = scratch.path;
  saveAndOpen(file);
  voronoiNode* reopened = recordOf(pathOf("box"));
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(shattertest::seedsOf(reopened), seeds);
  EXPECT_EQ(voronoiNode::getVoroGroup(reopened, 0), 6);
  MBoundingBox again;
  voronoiNode::getBoundingBox(reopened, again, 0);
  EXPECT_EQ(again.min(), box.min());
  EXPECT_EQ(again.max(), box.max());
  EXPECT_EQ(voronoiNode::getIndex(reopened), 1);
  EXPECT_EQ(voronoiNode::getCutMatName(reopened), MString("cutMat"));
  EXPECT_EQ(MPlug(reopened->thisMObject(), voronoiNode::displayPoints).numElements(), displayPoints);
  EXPECT_EQ(MPlug(reopened->thisMObject(), voronoiNode::displayFaces).numElements(), displayFaces);
  // Opening numbers later records above the stored ones.
  voronoiNode::setIndexCounter(0);
  saveAndOpen(file);
  voronoiNode* later = makeRecord();
  voronoiNode::assignNextIndex(later);
  EXPECT_GT(voronoiNode::getIndex(later), 1);
}

TEST_F(VoronoiNode, DrawGoesBackToZeroOverShardsThatCarryRigidBodies) {
  voronoiNode* record = shatteredBoxRecord("-ns 4 -sed 5");
  ASSERT_NE(record, nullptr);
  const MObject node = record->thisMObject();
  const auto drawAfterSetting = [&node]() {
    MPlug(node, voronoiNode::drawAttr).setInt(1);
    bool pulled = false;
    MPlug(node, voronoiNode::cadraw).getValue(pulled);
    return MPlug(node, voronoiNode::drawAttr).asInt();
  };
  EXPECT_EQ(drawAfterSetting(), 1);
  EXPECT_TRUE(record->drawEnabled);
  makeSolver();
  ASSERT_TRUE(runs("new_ZOVBody box_shard1"));
  EXPECT_EQ(drawAfterSetting(), 0);
  EXPECT_FALSE(record->drawEnabled);
}

TEST_F(VoronoiNode, ACutSliverOfNoAreaComesBackFromTheHostAndKeepsTheShardClosed) {
  meshtest::makeCutFaceType();
  // A 1 x 1 x 1 box whose front bottom edge carries a midpoint (8): the front
  // face runs through it, and a cut triangle of no area closes the edge.
  const std::vector<Mgc::MgcVector3> points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},  {0, 0, 1},
                                               {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0.5, 0, 1}};
  meshtest::MeshPtr piece = meshtest::engineMesh(
      points, {{0, 3, 2, 1}, {4, 8, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}, {4, 5, 8}});
  // The bottom face shares 4-5 with the sliver, which shares 5-8 and 8-4 with the front.
  piece->faces[6].faceFlags = kCutFaceFlag;
  const MStringArray noLinks[kLinkedUVSets];
  MObject transform;
  ASSERT_TRUE(createShardMeshes(piece.get(), false, false, "", MObjectArray(), MStringArray(), noLinks, &transform));
  MDagPath shape;
  MDagPath::getAPathTo(transform, shape);
  shape.extendToShape();
  EXPECT_TRUE(shattertest::isClosed(shape));
  const meshtest::MeshPtr back = shattertest::engineOf(shape);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->numFaces, 7u);
  EXPECT_NEAR(meshVolume(*back), 1.0, 1e-12);
}

}  // namespace
