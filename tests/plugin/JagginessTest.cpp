#include <maya/MFnDagNode.h>
#include <maya/MItMeshVertex.h>

#include "src/shatter/modifiers/jagginessCmd.h"
#include "src/shatter/shatterGroups.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "RoughenSupport.h"
#include "ShatterFixture.h"
#include "support/HostLookups.h"

namespace {

using meshtest::pathOf;
using Mgc::MgcVector3;
using roughtest::meshOpChain;
using roughtest::tagsOf;

using Jagginess = ShatterTest;

TEST_F(Jagginess, AnOctantShardIsSubdividedAndRoughenedWithinItsLengthAndGivenBackWhole) {
  ASSERT_TRUE(roughtest::shatterCubeIntoOctants());
  const MDagPath shard = pathOf("cube_shard1");
  ASSERT_EQ(MFnMesh(shard).numPolygons(), 6);
  const std::vector<int> before = tagsOf(shard);
  EXPECT_EQ(std::count(before.begin(), before.end(), 1), 3);
  MPointArray corners;
  MFnMesh(shard).getPoints(corners, MSpace::kWorld);
  MBoundingBox box;
  for (unsigned int i = 0; i < corners.length(); ++i) box.expand(corners[i]);
  // The inner corner is the cube's centre; the outer planes are at +-1.
  const MPoint inner(0.0, 0.0, 0.0);

  ASSERT_TRUE(runs("zovJagginess -com -res 1 cube_shard1"));
  const std::vector<MObject> chain = meshOpChain(shard);
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_EQ(MPlug(chain[0], zovMeshOpNode::operationType).asShort(), 3);
  EXPECT_EQ(MPlug(chain[1], zovMeshOpNode::operationType).asShort(), 1);
  MFnMesh mesh(shard);
  EXPECT_EQ(mesh.numPolygons(), 15);
  EXPECT_EQ(mesh.numVertices(), 20);
  const std::vector<int> tags = tagsOf(shard);
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 1), 12);
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 0), 3);

  const double length = MPlug(chain[0], zovMeshOpNode::lenght).asDouble();
  EXPECT_NEAR(length, 0.02, 1e-7);
  EXPECT_NEAR(MPlug(chain[0], zovMeshOpNode::scale).asDouble(), 20.0 / (2.0 * std::sqrt(3.0)), 1e-9);
  EXPECT_DOUBLE_EQ(MPlug(chain[0], zovMeshOpNode::frequency).asDouble(), 8.0);
  const double amplitude = MPlug(chain[0], zovMeshOpNode::amplitude).asDouble();
  EXPECT_DOUBLE_EQ(amplitude, 1.0);

  // Unmoved: the subdivided mesh the first node gives.
  const MPointArray flat = roughtest::pointsOf(MPlug(chain[1], zovMeshOpNode::outMesh).asMObject());
  MPointArray rough;
  mesh.getPoints(rough);
  ASSERT_EQ(flat.length(), rough.length());
  double largest = 0.0;
  int moved = 0;
  for (unsigned int i = 0; i < flat.length(); ++i) {
    const double distance = flat[i].distanceTo(rough[i]);
    largest = std::max(largest, distance);
    if (distance > 1e-6) ++moved;
    if (flat[i].distanceTo(inner) < 1e-6) {
      EXPECT_LT(distance, 1e-9) << "inner corner moved";
    }
    for (int axis = 0; axis < 3; ++axis)
      if (std::fabs(std::fabs(flat[i][axis]) - 1.0) < 1e-6) {
        EXPECT_NEAR(rough[i][axis], flat[i][axis], 1e-6) << i;
      }
  }
  EXPECT_LE(largest, length * amplitude + 1e-9);
  EXPECT_GT(moved, 0);

  ASSERT_TRUE(runs("zovJagginess -delete cube_shard1"));
  zovhost::testing::flushIdleQueue();
  MFnMesh back(shard);
  EXPECT_EQ(back.numPolygons(), 6);
  EXPECT_EQ(back.numVertices(), 8);
  EXPECT_EQ(tagsOf(shard), before);
  EXPECT_FALSE(MFnDependencyNode(shard.node()).findPlug("inMesh").isDestination());
  EXPECT_TRUE(meshOpChain(shard).empty());
}

/// Whether the roughening node selects a vertex, and the direction it
/// moves it along.
std::pair<bool, MVector> roughened(const MObject& node, unsigned int vertex) {
  const MPlug direction = MPlug(node, zovMeshOpNode::normals).elementByLogicalIndex(vertex);
  return {MPlug(node, zovMeshOpNode::versel).elementByLogicalIndex(vertex).asShort() != 0,
          MVector(direction.child(0).asFloat(), direction.child(1).asFloat(), direction.child(2).asFloat())};
}

// Directions by hand on the cube's shards. Cut through its centre across
// n = (1, 2, 2) / 3, a vertex inside the cut face moves along n (largest
// component made positive); one on the border within a single face of the
// cube moves along n less its component along that face's normal, so that
// it stays in the face; one on an edge of the cube stays put. The octant
// shard's corner at the centre, where three cut planes meet, stays put too.
TEST_F(Jagginess, CutVerticesMoveAlongTheCutNormalWithinTheOuterFaceAndCornersStay) {
  const MVector n = MVector(1.0, 2.0, 2.0) / 3.0;
  ASSERT_TRUE(roughtest::shatterCube("slab", {MgcVector3(-0.3, -0.6, -0.6), MgcVector3(0.3, 0.6, 0.6)}));
  ASSERT_TRUE(runs("zovJagginess -com -res 1 slab_shard1"));
  std::vector<MObject> chain = meshOpChain(pathOf("slab_shard1"));
  ASSERT_EQ(chain.size(), 2u);
  const MPointArray flat = roughtest::pointsOf(MPlug(chain[1], zovMeshOpNode::outMesh).asMObject());
  int kinds[4] = {0, 0, 0, 0};  // off the cut, inside it, on one face, on an edge
  for (unsigned int v = 0; v < flat.length(); ++v) {
    const MVector p(flat[v]);
    std::vector<int> faces;
    for (int axis = 0; axis < 3; ++axis)
      if (std::fabs(std::fabs(p[axis]) - 1.0) < 1e-6) faces.push_back(axis);
    MVector expected(0.0, 0.0, 0.0);
    bool selected = true;
    if (std::fabs(p * n) > 1e-6) {
      selected = false;
      ++kinds[0];
    } else if (faces.empty()) {
      expected = n;
      ++kinds[1];
    } else if (faces.size() == 1) {
      // The face's normal made positive is the axis; n's component along it
      // is removed as a single-precision number.
      MVector slid = n;
      slid[faces[0]] -= static_cast<float>(n[faces[0]]);
      expected = slid.normal();
      ++kinds[2];
    } else {
      ++kinds[3];
    }
    const auto [isSelected, direction] = roughened(chain[0], v);
    EXPECT_EQ(isSelected, selected) << v;
    EXPECT_TRUE(direction.isEquivalent(expected, 1e-6))
        << v << ": " << direction.x << " " << direction.y << " " << direction.z;
  }
  for (int kind : kinds) EXPECT_GT(kind, 0);

  ASSERT_TRUE(roughtest::shatterCubeIntoOctants());
  ASSERT_TRUE(runs("zovJagginess -com -res 1 cube_shard1"));
  chain = meshOpChain(pathOf("cube_shard1"));
  ASSERT_EQ(chain.size(), 2u);
  const MPointArray octant = roughtest::pointsOf(MPlug(chain[1], zovMeshOpNode::outMesh).asMObject());
  int corners = 0;
  for (unsigned int v = 0; v < octant.length(); ++v) {
    if (MVector(octant[v]).length() > 1e-9) continue;
    ++corners;
    const auto [isSelected, direction] = roughened(chain[0], v);
    EXPECT_TRUE(isSelected);
    EXPECT_EQ(direction, MVector(0.0, 0.0, 0.0));
  }
  EXPECT_EQ(corners, 1);
}

/// The shards (1 to 8) that carry mesh operation nodes, in the order their
/// nodes were made; each listed once per pair of nodes.
std::vector<int> roughenedInOrder() {
  const std::vector<std::string> nodes = zovtest::nodesOfType("zovMeshOpNode");
  std::vector<std::pair<size_t, int>> order;
  for (int k = 1; k <= 8; ++k) {
    const std::vector<MObject> chain = meshOpChain(pathOf("cube_shard" + std::to_string(k)));
    for (const MObject& node : chain) {
      if (MPlug(node, zovMeshOpNode::operationType).asShort() != 1) continue;
      const std::string name = MFnDependencyNode(node).name().asChar();
      order.emplace_back(std::find(nodes.begin(), nodes.end(), name) - nodes.begin(), k);
    }
  }
  std::sort(order.begin(), order.end());
  std::vector<int> shards;
  for (const auto& entry : order) shards.push_back(entry.second);
  return shards;
}

TEST_F(Jagginess, GroupPassesRoughenEachShardOnceAndTheStrengthFollowsTheGroup) {
  ASSERT_TRUE(roughtest::shatterCubeIntoOctants());
  ASSERT_TRUE(runs("zovJagginess -com cube_shard1"));
  ASSERT_TRUE(runs("zovJagginess -com -aff 1 cube_shard2"));
  EXPECT_EQ(nodesOfType("zovMeshOpNode").size(), 16u);
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(meshOpChain(pathOf("cube_shard" + std::to_string(k))).size(), 2u) << k;
  // Again: every shard has its nodes, nothing is tessellated.
  ASSERT_TRUE(runs("zovJagginess -com -aff 1 cube_shard2"));
  EXPECT_EQ(nodesOfType("zovMeshOpNode").size(), 16u);

  ASSERT_TRUE(runs("zovJagginess -st 0.5 -aff 1 cube_shard3"));
  MObject record;
  findVoronoiUnder(pathOf("cubeShatterGroup", false), record);
  EXPECT_DOUBLE_EQ(MPlug(record, voronoiNode::jaggyStrenght).asDouble(), 0.5);
  for (int k = 1; k <= 8; ++k)
    EXPECT_DOUBLE_EQ(
        MPlug(meshOpChain(pathOf("cube_shard" + std::to_string(k)))[0], zovMeshOpNode::amplitude).asDouble(), 0.5)
        << k;
}

TEST_F(Jagginess, MovingShardsTakeTheStillShardsTheyTouchRightBehindThem) {
  ASSERT_TRUE(roughtest::shatterCubeIntoOctants());
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs("zovJagginess -com -aff 2 cube_shard1"));
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Info,
                                           "not moving fragments found in this group, jagginess not applied"));
  EXPECT_TRUE(nodesOfType("zovMeshOpNode").empty());
  for (int k : {1, 2}) {
    const std::string channel = "cube_shard" + std::to_string(k) + ".translateX";
    run("setKeyframe -t 1 -v 0 " + channel + "; setKeyframe -t 24 -v 0 " + channel);
  }
  ASSERT_TRUE(runs("zovJagginess -com -aff 2 cube_shard1"));
  // Every octant touches the first at the centre; the second keyed shard comes last.
  EXPECT_EQ(roughenedInOrder(), (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 2}));
}

TEST_F(Jagginess, CancellingTakesBackThisRunsRougheningOnly) {
  ASSERT_TRUE(roughtest::shatterCubeIntoOctants());
  ASSERT_TRUE(runs("zovJagginess -com cube_shard1"));
  zovhost::testing::cancelProgressAfter(3);
  zovhost::testing::clearLogs();
  runs("zovJagginess -com -aff 1 cube_shard2");
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Info, "jaggyness interrupted!"));
  zovhost::testing::flushIdleQueue();
  EXPECT_EQ(meshOpChain(pathOf("cube_shard1")).size(), 2u);
  for (int k = 2; k <= 8; ++k) {
    EXPECT_TRUE(meshOpChain(pathOf("cube_shard" + std::to_string(k))).empty()) << k;
    EXPECT_EQ(MFnMesh(pathOf("cube_shard" + std::to_string(k))).numPolygons(), 6) << k;
  }
}

TEST_F(Jagginess, ARigidBodyUnderTheShardStopsTheCommandAndAnEmptyGroupGetsTheFallbackLength) {
  ASSERT_TRUE(roughtest::shatterCubeIntoOctants());
  run("createNode zovRigidBody -p cube_shard1");
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("zovJagginess -com cube_shard1"));
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Info,
                                           "you have to delete zov bodies before adding jagginess"));
  EXPECT_TRUE(nodesOfType("zovMeshOpNode").empty());
  MDagPath shard = pathOf("cube_shard1", false);
  ASSERT_TRUE(toMeshShape(shard));
  EXPECT_EQ(MFnMesh(shard).numPolygons(), 6);

  run("createNode transform -n empty");
  EXPECT_DOUBLE_EQ(jagginessCmd::defaultJaggyLength(pathOf("empty", false)), static_cast<double>(0.3f));
  EXPECT_DOUBLE_EQ(jagginessCmd::defaultJaggyLength(MDagPath()), static_cast<double>(0.3f));
}

TEST_F(Jagginess, SoftNormalsAverageAcrossCutFacesWithinTheThresholdAndCanBeTakenAway) {
  ASSERT_TRUE(roughtest::shatterCubeIntoOctants());
  const MDagPath shard = pathOf("cube_shard1");
  ASSERT_TRUE(runs("zovJagginess -com -res 2 cube_shard1"));
  const std::vector<int> tags = tagsOf(shard);
  const MObject edit = MFnDependencyNode(shard.node()).findPlug("inMesh").source().node();
  ASSERT_EQ(edit.apiType(), MFn::kPolyNormalPerVertex);
  MFnMesh mesh(shard);
  MItMeshVertex vertices(shard);
  int softened = 0;
  for (; !vertices.isDone(); vertices.next()) {
    MIntArray faces;
    vertices.getConnectedFaces(faces);
    MVector first, sum;
    bool accept = true;
    for (unsigned int i = 0; i < faces.length(); ++i) {
      MVector n;
      mesh.getPolygonNormal(faces[i], n, MSpace::kWorld);
      if (i == 0) first = n;
      accept = accept && tags[static_cast<size_t>(faces[i])] >= 1 && n * first >= 0.5;
      sum += n;
    }
    for (unsigned int i = 0; i < faces.length() && accept; ++i) {
      MVector normal;
      mesh.getFaceVertexNormal(faces[i], vertices.index(), normal, MSpace::kWorld);
      EXPECT_LT((normal - sum.normal()).length(), 1e-5) << vertices.index() << " " << faces[i];
    }
    softened += accept;
  }
  EXPECT_GT(softened, 0);

  ASSERT_TRUE(runs("zovJagginess -sn -1 cube_shard1"));
  EXPECT_EQ(meshOpChain(shard).size(), 2u);
  EXPECT_NE(MFnDependencyNode(shard.node()).findPlug("inMesh").source().node().apiType(), MFn::kPolyNormalPerVertex);
  EXPECT_EQ(tagsOf(shard), tags);
}

TEST_F(Jagginess, SmallCutFacesAreRetaggedAndStayFlat) {
  meshtest::makeCutFaceType();
  run("createNode transform -n grp");
  MString record;
  MGlobal::executeCommand("createNode zovVoronoiNode", record);
  const MObject recordTransform = MFnDagNode(node(record.asChar())).parent(0);
  run("parent " + std::string(MFnDependencyNode(recordTransform).name().asChar()) + " grp");
  meshtest::makeCube("big", 1.0);
  meshtest::tagFace(pathOf("big"), 0, 1);
  // A slab 0.01 deep: its front (area 1) and its top (area 0.01) are cut.
  meshtest::makeCube("thin", 1.0);
  MFnMesh thin(pathOf("thin"));
  MPointArray points;
  thin.getPoints(points);
  for (unsigned int i = 0; i < points.length(); ++i) points[i].z *= 0.01;
  thin.setPoints(points);
  int top = -1;
  for (int f = 0; f < thin.numPolygons(); ++f) {
    MVector n;
    thin.getPolygonNormal(f, n);
    if (n.y > 0.9) top = f;
    if (n.z > 0.9 || n.y > 0.9) meshtest::tagFace(pathOf("thin"), f, 1);
  }
  ASSERT_GE(top, 0);
  run("parent big grp; parent thin grp");
  ASSERT_TRUE(runs("zovJagginess -com -aff 1 -res 1 big"));
  const MDagPath slab = pathOf("thin");
  ASSERT_EQ(meshOpChain(slab).size(), 2u);
  const std::vector<int> tags = tagsOf(slab);
  ASSERT_EQ(std::count(tags.begin(), tags.end(), 2), 1);
  const int small = static_cast<int>(std::find(tags.begin(), tags.end(), 2) - tags.begin());
  MFnMesh rough(slab);
  MIntArray corners;
  rough.getPolygonVertices(small, corners);
  for (unsigned int k = 0; k < corners.length(); ++k) {
    MPoint p;
    rough.getPoint(corners[k], p);
    EXPECT_NEAR(p.y, 0.5, 1e-6) << k;
  }
}

}  // namespace
