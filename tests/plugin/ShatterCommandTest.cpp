#include <maya/MColorArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ShatterFixture.h"
#include "ShatterSupport.h"
#include "engine/shatter/VoronoiCarving.h"
#include "src/progressReservation.h"
#include "src/shatter/shatterCmd.h"
#include "src/shatter/shatterGroups.h"
#include "src/shatter/shatterLocatorNode.h"
#include "support/ScratchFile.h"
#include "testing/HostTesting.h"

namespace {

using meshtest::pathOf;
using shattertest::childrenOf;
using shattertest::isClosed;
using shattertest::recordOf;
using shattertest::seedsOf;
using shattertest::volumeOf;
using namespace zovhost::testing;

constexpr double kCubeVolume = 8.0;

bool relativelyEqual(double a, double b, double tolerance) {
  return std::fabs(a - b) <= tolerance * std::max(std::fabs(a), std::fabs(b));
}

bool visible(const std::string& name) {
  bool value = false;
  MFnDependencyNode(pathOf(name, false).node()).findPlug("visibility").getValue(value);
  return value;
}

/// Whether every corner of a host face lies on the 2 x 2 x 2 cube's surface
/// on one side.
bool onCubeSurface(const MDagPath& shape, int face) {
  MFnMesh mesh(shape);
  MIntArray corners;
  mesh.getPolygonVertices(face, corners);
  for (int axis = 0; axis < 3; ++axis)
    for (double side : {-1.0, 1.0}) {
      bool all = true;
      for (unsigned int k = 0; k < corners.length() && all; ++k) {
        MPoint p;
        mesh.getPoint(corners[k], p, MSpace::kWorld);
        all = std::fabs(p[axis] - side) < 1e-5;
      }
      if (all) return true;
    }
  return false;
}

/// Per mesh, how many of its faces the set holds, read from the members as
/// the host lists them ("mesh.f[3]", "mesh.f[3:5]").
std::map<std::string, int> setFacesPerMesh(const std::string& set) {
  MStringArray members;
  MGlobal::executeCommand(("sets -q " + set).c_str(), members);
  std::map<std::string, int> faces;
  for (unsigned int i = 0; i < members.length(); ++i) {
    const std::string member = members[i].asChar();
    const size_t open = member.find(".f[");
    if (open == std::string::npos) {
      faces[member] = -1;  // a whole object: no cut face goes in so
      continue;
    }
    const size_t colon = member.find(':', open);
    const int first = std::stoi(member.substr(open + 3));
    faces[member.substr(0, open)] +=
        (colon == std::string::npos ? first : std::stoi(member.substr(colon + 1))) - first + 1;
  }
  return faces;
}

/// Per mesh of the scene, how many of its faces leave the 2 x 2 x 2 cube's
/// surface: the cut faces of shards cut from such a cube.
std::map<std::string, int> cutFacesPerMesh() {
  std::map<std::string, int> faces;
  for (const std::string& name : zovtest::nodesOfType("mesh")) {
    const MDagPath shape = pathOf(name);
    for (int f = 0; f < MFnMesh(shape).numPolygons(); ++f)
      if (!onCubeSurface(shape, f)) ++faces[name];
  }
  return faces;
}

/// The volumes of the mesh shards of a group, smallest first.
std::vector<double> shardVolumes(const std::string& group) {
  std::vector<double> volumes;
  for (const std::string& child : childrenOf(group)) {
    const MDagPath shape = pathOf(child);
    if (shape.hasFn(MFn::kMesh)) volumes.push_back(volumeOf(shape));
  }
  std::sort(volumes.begin(), volumes.end());
  return volumes;
}

/// A shatter with seeds given as a preview locator gives them: `earlier`
/// (list B) are the seeds of the levels before, `added` (list A) this
/// level's, both in the object's space.
class GivenSeedsShatter : public shatterCmd {
 public:
  /// `region` (world space) is the shattered region; the whole object
  /// without one. The group made is kept in `group`.
  MStatus shatter(const MDagPath& shape, const MPointArray& earlier, const MPointArray& added,
                  const MBoundingBox* region = nullptr) {
    modifier = std::make_unique<MDagModifier>();
    ProgressReservation progress;
    if (!progress.reserve()) return MS::kFailure;
    ShatterSettings settings;
    settings.pointsA = added;
    settings.pointsB = earlier;
    settings.matrix = transformOfShape(shape).inclusiveMatrix();
    settings.box = MFnDagNode(shape).boundingBox();
    settings.box.transformUsing(settings.matrix);
    if (region) settings.box = *region;
    settings.style = style;
    MObjectArray shards;
    const MStatus status = shatterObject(shape, added.length(), 0, nullptr, nullptr, false, settings, shards);
    if (status) group = groupShards(shape, hidesShapeOnly(shape, false), shards, voronoiTransform()).asChar();
    return status;
  }
  /// The internal style: the slab style makes a first level nonconforming.
  std::uint16_t style = kStyleUniform;
  std::string group;
};

/// The mesh shards of a group in world space.
std::vector<shattertest::WorldSolid> shardSolids(const std::string& group) {
  std::vector<shattertest::WorldSolid> solids;
  for (const std::string& child : childrenOf(group)) {
    const MDagPath shape = pathOf(child);
    if (shape.hasFn(MFn::kMesh)) solids.push_back(shattertest::worldSolidOf(shape));
  }
  return solids;
}

double volumeSum(const std::vector<shattertest::WorldSolid>& solids) {
  double sum = 0.0;
  for (const shattertest::WorldSolid& solid : solids) sum += shattertest::volumeSumOf(solid).volume;
  return sum;
}

/// The record's seeds in world space, through the shape's matrix.
std::vector<MPoint> worldSeedsOf(voronoiNode* record, const MDagPath& shape) {
  std::vector<MPoint> seeds;
  for (const Mgc::MgcVector3& seed : seedsOf(record))
    seeds.push_back(MPoint(seed.x, seed.y, seed.z) * transformOfShape(shape).inclusiveMatrix());
  return seeds;
}

bool pairwiseApart(const std::vector<MPoint>& points) {
  for (size_t i = 0; i < points.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if ((points[i] - points[j]) * (points[i] - points[j]) < 1e-5) return false;
  return true;
}

MPointArray pointsOf(const std::vector<MPoint>& points) {
  MPointArray array;
  for (const MPoint& p : points) array.append(p);
  return array;
}

/// The texts of the messages of a kind since the logs were cleared.
std::vector<std::string> messagesOf(MessageKind kind) {
  std::vector<std::string> texts;
  for (const Message& message : messages())
    if (message.kind == kind) texts.push_back(message.text);
  return texts;
}

using ShatterCommand = ShatterTest;

TEST_F(ShatterCommand, ShatteredCubeGivesClosedShardsOfTheCarvedVolumesWithTaggedCutFaces) {
  meshtest::makeCube("pCube1", 2.0);
  std::vector<std::string> result;
  ASSERT_TRUE(runs("zovShatter -ns 20 -sed 7 -nm true -cmn cutMat pCube1", &result));
  EXPECT_EQ(result, (std::vector<std::string>{"pCube1ShatterGroup"}));
  zovhost::testing::flushIdleQueue();

  std::vector<std::string> expected;
  for (int i = 1; i <= 20; ++i) expected.push_back("pCube1_shard" + std::to_string(i));
  expected.push_back("pCube1zovTRSVoro");
  std::vector<std::string> children = childrenOf("pCube1ShatterGroup");
  std::sort(children.begin(), children.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(children, expected);

  voronoiNode* record = recordOf(pathOf("pCube1"));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(voronoiNode::getIndex(record), 1);
  EXPECT_EQ(voronoiNode::numVoroPoints(record), 20u);
  EXPECT_EQ(voronoiNode::numVoroGroups(record), 1u);
  EXPECT_EQ(voronoiNode::getVoroGroup(record, 0), 20);
  EXPECT_EQ(voronoiNode::numBoundingBoxes(record), 1u);
  EXPECT_FALSE(visible("pCube1"));

  // The engine's carving of the cube by the recorded seeds is the truth.
  const meshtest::MeshPtr cube = shattertest::engineOf(pathOf("pCube1"));
  const std::vector<Mgc::MgcVector3> seeds = seedsOf(record);
  const VoronoiCarving carving = carveVoronoiCells(cube.get(), seeds.data(), 20, false);
  ASSERT_EQ(carving.cells.size(), 20u);
  double total = 0.0;
  const std::vector<MDagPath> shards = shattertest::shardShapes("pCube1_shard", 20);
  for (size_t k = 0; k < shards.size(); ++k) {
    const double volume = volumeOf(shards[k]);
    total += volume;
    EXPECT_TRUE(relativelyEqual(volume, meshVolume(*carving.cells[k].mesh), 1e-6)) << k;
    EXPECT_TRUE(isClosed(shards[k])) << k;
    // Tagged 1 exactly off the cube's surface; the cut group holds exactly
    // those, the source's group the others.
    MFnMesh mesh(shards[k]);
    MObjectArray groups;
    MIntArray indices;
    mesh.getConnectedShaders(0, groups, indices);
    for (int f = 0; f < mesh.numPolygons(); ++f) {
      const int tag = meshtest::tagOf(shards[k], f);
      EXPECT_EQ(tag, onCubeSurface(shards[k], f) ? 0 : 1) << k << " " << f;
      ASSERT_GE(indices[static_cast<unsigned int>(f)], 0);
      const MString group = MFnDependencyNode(groups[static_cast<unsigned int>(indices[f])]).name();
      EXPECT_EQ(group, MString(tag == 1 ? "cutMatSG" : "initialShadingGroup")) << k << " " << f;
    }
  }
  EXPECT_TRUE(relativelyEqual(total, kCubeVolume, 1e-6));
  float r = -1, g = -1, b = -1;
  MFnDependencyNode material(node("cutMat"));
  material.findPlug("colorR").getValue(r);
  material.findPlug("colorG").getValue(g);
  material.findPlug("colorB").getValue(b);
  EXPECT_EQ(r, 0.0f);
  EXPECT_EQ(g, 0.5f);
  EXPECT_EQ(b, 0.0f);
  EXPECT_TRUE(feeds("cutMat.outColor", "cutMatSG.surfaceShader"));

  // The same command on an identical cube gives the same shards.
  meshtest::makeCube("pCube2", 2.0);
  ASSERT_TRUE(runs("zovShatter -ns 20 -sed 7 -nm true -cmn cutMat pCube2"));
  const std::vector<MDagPath> again = shattertest::shardShapes("pCube2_shard", 20);
  for (size_t k = 0; k < again.size(); ++k) EXPECT_EQ(volumeOf(again[k]), volumeOf(shards[k])) << k;
}

// The radial style with -numRings n makes n + 1 passes of equal size; the
// outermost radius takes the last two, so the seeds lie on n circles about
// the pivot. Without noise each seed lies exactly on its circle.
TEST_F(ShatterCommand, RadialSeedsLieOnAsManyCirclesAsTheRingsAsked) {
  for (int rings : {1, 2, 3, 5}) {
    const std::string cube = "ringed" + std::to_string(rings);
    meshtest::makeCube(cube, 8.0);
    ASSERT_TRUE(runs("zovShatter -st 3 -ns 24 -sed 5 -wid 1 -nr " + std::to_string(rings) + " " + cube));
    const std::vector<Mgc::MgcVector3> seeds = seedsOf(recordOf(pathOf(cube)));
    ASSERT_EQ(seeds.size(), 24u) << rings;
    std::vector<double> radii;
    for (const Mgc::MgcVector3& seed : seeds) radii.push_back(seed.Length());
    std::sort(radii.begin(), radii.end());
    const auto circles = std::unique(radii.begin(), radii.end(), [](double a, double b) { return b - a < 1e-6; });
    EXPECT_EQ(circles - radii.begin(), rings) << rings;
  }
}

TEST_F(ShatterCommand, MoreThanSixtyFourShardsAskForSixtyFour) {
  meshtest::makeCube("box", 2.0);
  ASSERT_TRUE(runs("zovShatter -ns 100 -sed 3 box"));
  EXPECT_EQ(voronoiNode::numVoroPoints(recordOf(pathOf("box"))), 64u);
}

TEST_F(ShatterCommand, ACellOfAnLPrismThatFallsApartGivesOneShardPerPart) {
  // An L: the bars [0,3]x[0,1] and [0,1]x[0,3], 1 deep; volume 5.
  const std::vector<MPoint> points = {{0, 0, 0}, {3, 0, 0}, {3, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0},
                                      {0, 0, 1}, {3, 0, 1}, {3, 1, 1}, {1, 1, 1}, {1, 3, 1}, {0, 3, 1}};
  const std::vector<int> counts = {6, 6, 4, 4, 4, 4, 4, 4};
  const std::vector<int> corners = {0, 5, 4, 3, 2, 1, 6, 7, 8,  9, 10, 11, 0,  1,  7, 6, 1, 2,
                                    8, 7, 2, 3, 9, 8, 3, 4, 10, 9, 4,  5,  11, 10, 5, 0, 6, 11};
  bool splitSeen = false;
  for (int seed = 1; seed <= 12 && !splitSeen; ++seed) {
    zovhost::testing::resetScene();
    const MDagPath shape = meshtest::makeMesh(points, counts, corners);
    const std::string name = MFnDagNode(shape.transform()).name().asChar();
    ASSERT_TRUE(runs("zovShatter -ns 12 -sed " + std::to_string(seed) + " " + name));
    zovhost::testing::flushIdleQueue();
    const meshtest::MeshPtr prism = shattertest::engineOf(shape);
    ASSERT_TRUE(relativelyEqual(meshVolume(*prism), 5.0, 1e-12));
    voronoiNode* record = recordOf(shape);
    ASSERT_NE(record, nullptr);
    const std::vector<Mgc::MgcVector3> seeds = seedsOf(record);
    const VoronoiCarving carving =
        carveVoronoiCells(prism.get(), seeds.data(), static_cast<std::uint32_t>(seeds.size()), false);
    // Parts of each cell: its faces joined through shared vertices.
    size_t expectedShards = 0;
    for (const VoronoiCell& cell : carving.cells) {
      const ZOV_DFmesh& mesh = *cell.mesh;
      std::vector<std::uint32_t> root(mesh.numVertices);
      for (std::uint32_t v = 0; v < mesh.numVertices; ++v) root[v] = v;
      const auto find = [&root](std::uint32_t v) {
        while (root[v] != v) v = root[v] = root[root[v]];
        return v;
      };
      for (std::uint32_t f = 0; f < mesh.numFaces; ++f)
        for (std::uint32_t k = 1; k < mesh.faces[f].numVertices; ++k)
          root[find(mesh.faces[f].vertices[k])] = find(mesh.faces[f].vertices[0]);
      std::vector<std::uint32_t> parts;
      for (std::uint32_t f = 0; f < mesh.numFaces; ++f) parts.push_back(find(mesh.faces[f].vertices[0]));
      std::sort(parts.begin(), parts.end());
      const size_t count = static_cast<size_t>(std::unique(parts.begin(), parts.end()) - parts.begin());
      splitSeen = splitSeen || count > 1;
      expectedShards += count;
    }
    const std::vector<std::string> shards = childrenOf(name + "ShatterGroup");
    EXPECT_EQ(shards.size(), expectedShards + 1);  // and the voronoi transform
    double total = 0.0;
    for (const std::string& shard : shards)
      if (shard.find("_shard") != std::string::npos) {
        total += volumeOf(pathOf(shard));
        EXPECT_TRUE(isClosed(pathOf(shard))) << shard;
      }
    EXPECT_TRUE(relativelyEqual(total, 5.0, 1e-6)) << seed;
  }
  EXPECT_TRUE(splitSeen);
}

TEST_F(ShatterCommand, TheCutMaterialAndTheTagTypeAreMadeOncePerScene) {
  meshtest::makeCube("a", 2.0);
  meshtest::makeCube("b", 2.0);
  ASSERT_TRUE(runs("zovShatter -ns 4 -sed 1 -nm true -cmn cutMat a"));
  ASSERT_TRUE(runs("zovShatter -ns 4 -sed 1 -nm true -cmn cutMat b"));
  EXPECT_EQ(nodesOfType("lambert"), (std::vector<std::string>{"cutMat"}));
  EXPECT_EQ(nodesOfType("shadingEngine"), (std::vector<std::string>{"initialShadingGroup", "cutMatSG"}));
  size_t definitions = 0;
  for (const auto& command : zovhost::testing::commands())
    if (command.line.rfind("blindDataType -id", 0) == 0) ++definitions;
  EXPECT_EQ(definitions, 1u);

  // A lambert of the name without the tag is not the cut material.
  run("shadingNode -asShader lambert -n plainMat");
  meshtest::makeCube("c", 2.0);
  ASSERT_TRUE(runs("zovShatter -ns 4 -sed 1 -nm true -cmn plainMat c"));
  EXPECT_EQ(nodesOfType("lambert"), (std::vector<std::string>{"cutMat", "plainMat", "plainMat1"}));
  EXPECT_TRUE(feeds("plainMat1.outColor", "plainMat1SG.surfaceShader"));
}

TEST_F(ShatterCommand, AnimatedSourcesAreHiddenByShapeOrSkippedAndBadSelectionsAreReported) {
  meshtest::makeCube("moving", 2.0);
  meshtest::makeCube("scaled", 2.0);
  meshtest::makeCube("plain", 2.0);
  run("setKeyframe -at translateX -t 1 -v 0 moving");
  run("setKeyframe -at translateX -t 10 -v 5 moving");
  run("setKeyframe -at scaleX -t 1 -v 1 scaled");
  run("setKeyframe -at scaleX -t 10 -v 2 scaled");
  std::vector<std::string> result;
  ASSERT_TRUE(runs("zovShatter -ns 4 -sed 2 moving scaled plain", &result));
  EXPECT_EQ(result, (std::vector<std::string>{"movingShatterGroup", "plainShatterGroup"}));
  EXPECT_TRUE(hasMessage(MessageKind::Warning,
                         "scaledShape excluded from shattering because has animation keys on mesh or scale"));
  EXPECT_TRUE(visible("moving"));
  EXPECT_FALSE(visible("movingShape"));
  EXPECT_FALSE(visible("plain"));
  EXPECT_TRUE(visible("scaled"));
  EXPECT_EQ(childrenOf("moving").size(), 2u);  // the shape and the group

  struct Case {
    std::string line;
    MessageKind kind;
    std::string message;
    bool succeeds;
  };
  run("createNode nurbsSurface -n sheetShape");
  run("createNode transform -n bare");
  run("curve -d 1 -p 0 0 0 -p 1 0 0 -k 0 -k 1 -n line");
  const Case cases[] = {
      {"zovShatter -ns 4 sheetShape", MessageKind::Info, " ZOV doesnt work on NURBS, convert it to poly.", true},
      {"zovShatter -ns 4 bare", MessageKind::Warning, " invalid selection, not shapes", true},
      {"zovShatter -ns 4 line", MessageKind::Warning, " invalid selection, not shapes", true},
      {"zovShatter -ns 4", MessageKind::Error, "no poly object selected", false},
      {"zovShatter -ns 4 -st 5 plain", MessageKind::Error, "path not present", false},
  };
  const size_t groups = nodesOfType("transform").size();
  for (const Case& c : cases) {
    zovhost::testing::clearLogs();
    EXPECT_EQ(runs(c.line), c.succeeds) << c.line;
    EXPECT_TRUE(hasMessage(c.kind, c.message)) << c.line;
    // Every way out gives the progress window back.
    EXPECT_FALSE(zovhost::testing::progressWindowHeld()) << c.line;
  }
  EXPECT_EQ(nodesOfType("transform").size(), groups);
}

TEST_F(ShatterCommand, CancellingDropsThatObjectAndKeepsTheEarlierOnes) {
  meshtest::makeCube("first", 2.0);
  meshtest::makeCube("second", 2.0);
  ASSERT_TRUE(runs("zovShatter -ns 8 -sed 4 first"));
  zovhost::testing::cancelProgressAfter(5);
  const size_t transforms = nodesOfType("transform").size();
  std::vector<std::string> result;
  EXPECT_FALSE(runs("zovShatter -ns 8 -sed 4 second", &result));
  EXPECT_TRUE(hasMessage(MessageKind::Info, "Shatter interrupted!"));
  EXPECT_EQ(nodesOfType("transform").size(), transforms);
  EXPECT_TRUE(visible("second"));
  EXPECT_FALSE(visible("first"));
  EXPECT_FALSE(zovhost::testing::progressWindowHeld());

  // A window held by another tool: refused, nothing changes.
  zovhost::testing::cancelProgressAfter(-1);
  zovhost::testing::holdProgressWindow(true);
  EXPECT_FALSE(runs("zovShatter -ns 8 -sed 4 second"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "Progress window already in use."));
  EXPECT_EQ(nodesOfType("transform").size(), transforms);
  zovhost::testing::holdProgressWindow(false);
}

TEST_F(ShatterCommand, CancellingAShatterFromAPreviewTakesThePreviewAwayAsUndoDoes) {
  meshtest::makeCube("box", 2.0);
  run("createNode ShatterLocator -n boxPreview -p box");
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 8 -sed 2 boxShape"));
  zovhost::testing::cancelProgressAfter(3);
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("zovShatter box"));
  EXPECT_TRUE(hasMessage(MessageKind::Info, "Shatter interrupted!"));
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(ranLine("hide \"boxPreview\""));
  EXPECT_TRUE(ranLine("disableFragmoraPreviewMode()"));
  EXPECT_TRUE(nodesOfType("zovVoronoiNode").empty());
  EXPECT_TRUE(visible("box"));
}

TEST_F(ShatterCommand, AFailedObjectKeepsTheGroupsOfTheObjectsBeforeIt) {
  meshtest::makeCube("first", 2.0);
  // A flat square has no inside to seed: that object fails.
  meshtest::makeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {4}, {0, 1, 2, 3});
  meshtest::makeCube("third", 2.0);
  std::vector<std::string> result;
  ASSERT_TRUE(runs("zovShatter -ns 8 -sed 4 first polySurface1 third", &result));
  EXPECT_EQ(result, (std::vector<std::string>{"firstShatterGroup", "thirdShatterGroup"}));
  EXPECT_TRUE(visible("polySurface1"));
}

TEST_F(ShatterCommand, OneSeedFailsTheObjectBeforeItIsHidden) {
  meshtest::makeCube("single", 2.0);
  EXPECT_FALSE(runs("zovShatter -ns 1 -sed 4 single"));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "singleShape excluded from shattering because it needs at least two"));
  EXPECT_TRUE(visible("single"));
  EXPECT_TRUE(nodesOfType("zovVoronoiNode").empty());
}

TEST_F(ShatterCommand, CoincidentSeedsAreCarvedOnceOnEveryPath) {
  // The radial pattern without noise puts points of its passes on the same
  // spots; each spot makes one shard.
  for (const int count : {12, 20, 28}) {
    zovhost::testing::resetScene();
    meshtest::makeCube("rock", 2.0);
    const std::string line = "zovShatter -st 3 -nr 1 -ns " + std::to_string(count) + " rock";
    ASSERT_TRUE(runs(line));
    zovhost::testing::flushIdleQueue();
    voronoiNode* record = recordOf(pathOf("rock"));
    ASSERT_NE(record, nullptr) << line;
    const std::vector<MPoint> seeds = worldSeedsOf(record, pathOf("rock"));
    EXPECT_TRUE(pairwiseApart(seeds)) << line;
    EXPECT_EQ(voronoiNode::getVoroGroup(record, 0), static_cast<int>(seeds.size())) << line;
    const std::vector<shattertest::WorldSolid> shards = shardSolids("rockShatterGroup");
    EXPECT_EQ(shards.size(), seeds.size()) << line;
    EXPECT_TRUE(relativelyEqual(volumeSum(shards), kCubeVolume, 1e-6)) << line << ": " << volumeSum(shards);
    EXPECT_EQ(shattertest::firstOverlap(shards, seeds, 1e-6), "") << line;
  }

  // The preview shows as many points as the shatter makes shards.
  zovhost::testing::resetScene();
  meshtest::makeCube("rock", 2.0);
  run("createNode ShatterLocator -n rockPreview -p rock");
  ASSERT_TRUE(runs("zovShatterPreview -dp -st 3 -ns 40 rockShape"));
  const unsigned int shown = userNodeOf<ShatterLocatorNode>(node("rockPreview"))->settings.pointsA.length();
  ASSERT_TRUE(runs("zovShatter rock"));
  zovhost::testing::flushIdleQueue();
  EXPECT_EQ(shardSolids("rockShatterGroup").size(), shown);
  EXPECT_TRUE(relativelyEqual(volumeSum(shardSolids("rockShatterGroup")), kCubeVolume, 1e-6));

  // Given seeds: twice the same point, and two within 1e-5 (squared).
  const MPoint left(-0.5, 0.0, 0.0), right(0.5, 0.0, 0.0), nearRight(0.5, 0.002, 0.0);
  zovhost::testing::resetScene();
  meshtest::makeCube("box", 2.0);
  GivenSeedsShatter given;
  ASSERT_TRUE(given.shatter(pathOf("box"), MPointArray(), pointsOf({left, left, right, nearRight})));
  zovhost::testing::flushIdleQueue();
  std::vector<double> halves = shardVolumes(given.group);
  ASSERT_EQ(halves.size(), 2u);
  for (const double v : halves) EXPECT_TRUE(relativelyEqual(v, kCubeVolume / 2.0, 1e-6)) << v;
  EXPECT_EQ(voronoiNode::numVoroPoints(recordOf(pathOf("box"))), 2u);

  // A conforming level carves by the earlier seeds too, also those outside
  // its region: a seed of the level that repeats one of them goes.
  const MBoundingBox region(MPoint(0.2, 0.2, -0.3), MPoint(0.8, 0.8, 0.3));
  GivenSeedsShatter level;
  const MPoint above(0.5, 0.6, 0.0);
  ASSERT_TRUE(level.shatter(pathOf("box"), pointsOf({left, right}), pointsOf({right, above}), &region));
  zovhost::testing::flushIdleQueue();
  const std::vector<shattertest::WorldSolid> thirds = shardSolids(level.group);
  EXPECT_EQ(thirds.size(), 3u);
  EXPECT_TRUE(relativelyEqual(volumeSum(thirds), kCubeVolume, 1e-6)) << volumeSum(thirds);
  EXPECT_EQ(shattertest::firstOverlap(thirds, {left, right, above}, 1e-6), "");
  EXPECT_EQ(voronoiNode::getVoroGroup(recordOf(pathOf("box")), 1), 1);

  // A further level of a nonconforming shatter re-cuts the shards its region
  // meets by its own seeds, each once: the half x > 0 into quarters.
  zovhost::testing::resetScene();
  meshtest::makeCube("box", 2.0);
  GivenSeedsShatter firstLevel;
  firstLevel.style = kStyleNonconforming;
  ASSERT_TRUE(firstLevel.shatter(pathOf("box"), MPointArray(), pointsOf({left, right})));
  zovhost::testing::flushIdleQueue();
  const MPoint low(0.5, -0.5, 0.0), high(0.5, 0.5, 0.0);
  const MBoundingBox rightHalf(MPoint(0.1, -1.0, -1.0), MPoint(1.0, 1.0, 1.0));
  GivenSeedsShatter quarters;
  ASSERT_TRUE(quarters.shatter(pathOf("box"), pointsOf({left, right}), pointsOf({low, low, high}), &rightHalf));
  zovhost::testing::flushIdleQueue();
  const std::vector<double> pieces = shardVolumes(quarters.group);
  ASSERT_EQ(pieces.size(), 3u);
  for (size_t k = 0; k < 3; ++k) EXPECT_TRUE(relativelyEqual(pieces[k], k < 2 ? 2.0 : 4.0, 1e-6)) << pieces[k];
  EXPECT_TRUE(relativelyEqual(volumeSum(shardSolids(quarters.group)), kCubeVolume, 1e-6));

  // zovAdqShatter from records that hold repeated seeds: a conforming one,
  // and a nonconforming one whose second level repeats a seed.
  struct Source {
    std::vector<Mgc::MgcVector3> seeds;
    std::vector<short> groups;
    short scheme;
    std::vector<double> volumes;
  };
  const Source sources[] = {
      {{{-0.5, 0, 0}, {-0.5, 0, 0}, {0.5, 0, 0}, {0.5, 0, 0.001}}, {4}, kVoroConform, {4.0, 4.0}},
      {{{-0.5, 0, 0}, {0.5, 0, 0}, {0.5, -0.5, 0}, {0.5, -0.5, 0}, {0.5, 0.5, 0}},
       {2, 3},
       kVoroNonconform,
       {2.0, 2.0, 4.0}},
  };
  for (const Source& source : sources) {
    zovhost::testing::resetScene();
    std::string name;
    voronoiNode* record = shattertest::makeRecord(&name);
    ASSERT_NE(record, nullptr);
    voronoiNode::addVoroPoints(record, source.seeds.data(), static_cast<unsigned int>(source.seeds.size()), MMatrix());
    voronoiNode::setBoundingBox(record, MBoundingBox(MPoint(-1.0, -1.0, -1.0), MPoint(1.0, 1.0, 1.0)));
    for (size_t g = 1; g < source.groups.size(); ++g)
      voronoiNode::setBoundingBox(record, MBoundingBox(MPoint(0.1, -1.0, -1.0), MPoint(1.0, 1.0, 1.0)));
    for (const short g : source.groups) voronoiNode::setVoroGroup(record, g);
    voronoiNode::setScheme(record, source.scheme);
    meshtest::makeCube("target", 2.0);
    ASSERT_TRUE(runs("zovAdqShatter -reo " + name + " target")) << source.scheme;
    zovhost::testing::flushIdleQueue();
    const std::vector<double> volumes = shardVolumes("targetShatterGroup");
    ASSERT_EQ(volumes.size(), source.volumes.size()) << source.scheme;
    for (size_t k = 0; k < volumes.size(); ++k)
      EXPECT_TRUE(relativelyEqual(volumes[k], source.volumes[k], 1e-6)) << source.scheme << " " << k;
  }
}

// The count asked is -numShards, or what the pattern makes of it (the impact
// pattern's pairs stop below an odd count, the radial one makes whole rings,
// the path one as many on each segment of the path), or a preview's count.
TEST_F(ShatterCommand, FewerShardsThanAskedAreToldInOneWarningWithBothCounts) {
  struct Case {
    std::string preview;
    std::string flags;
    unsigned int asked;
    bool allMade;
  };
  const Case cases[] = {
      {"", "-st 3 -nr 1 -ns 12", 12, false},  // seeds coincide
      {"", "-st 3 -nr 3 -ns 20 -sed 5", 20, false},
      {"", "-st 3 -ns 28 -sed 2", 28, false},
      {"", "-ns 8 -sed 3 -reo far", 8, false},  // seeds outside the rock
      {"-st 3 -ns 40", "", 40, false},
      {"", "-ns 8 -sed 3", 8, true},
      {"", "-st 1 -ns 8 -sed 3", 8, true},
      {"", "-st 2 -ns 9 -sed 3", 8, true},
      {"", "-st 3 -nr 2 -ns 25 -sed 5 -wid 1", 24, true},
      {"", "-st 4 -ns 8 -sed 3", 8, true},
      {"", "-st 5 -ns 8 -sed 3 -reo path", 7, true},
      {"", "-st 6 -ns 8 -sed 3", 8, true},
      {"", "-ns 8 -sed 3 -reo inner", 8, true},
      {"-ns 8 -sed 2", "", 8, true},
  };
  for (const Case& c : cases) {
    zovhost::testing::resetScene();
    meshtest::makeCube("rock", 2.0);
    meshtest::makeCube("inner", 1.0);
    meshtest::makeCube("far", 2.0);
    run("setAttr far.translate 5 0 0; curve -d 1 -p -0.8 -0.1 0 -p 0.8 0.1 0 -k 0 -k 1 -n path");
    MFnMesh rock(pathOf("rockShape"));
    const MString paint = rock.createColorSetWithName("paint");
    rock.setColors(MColorArray(8, MColor(0.9f, 0.9f, 0.9f)), &paint);
    if (!c.preview.empty()) {
      run("createNode ShatterLocator -n rockPreview -p rock");
      ASSERT_TRUE(runs("zovShatterPreview -dp " + c.preview + " rockShape"));
    }
    clearLogs();
    ASSERT_TRUE(runs("zovShatter " + c.flags + " rock")) << c.flags;
    zovhost::testing::flushIdleQueue();
    const size_t made = shardVolumes("rockShatterGroup").size();
    std::vector<std::string> told;
    for (const std::string& text : messagesOf(MessageKind::Warning))
      if (text.find("shards asked") != std::string::npos) told.push_back(text);
    const std::string line = c.preview + c.flags;
    if (c.allMade) {
      EXPECT_EQ(made, c.asked) << line;
      EXPECT_TRUE(told.empty()) << line;
      continue;
    }
    EXPECT_LT(made, c.asked) << line;
    EXPECT_EQ(told, std::vector<std::string>{"zovShatter: " + std::to_string(c.asked) + " shards asked of rockShape, " +
                                             std::to_string(made) + " made: seed points coincide or fall outside it"})
        << line;
  }

  // A re-cut asks for the recorded first level's shards: a smaller target
  // holds only some of the seeds of a 2 x 2 x 2 cube's record. A further
  // level re-cuts those shards; what the first level made is what a twin of
  // the target holds when re-cut before the level was added.
  struct Recut {
    std::string flags;
    double size;
    /// The further level's preview, none when empty.
    std::string level;
  };
  const std::string middle = "-ns 6 -sed 5 -xmn -0.4 -ymn -0.4 -zmn -0.4 -xmx 0.4 -ymx 0.4 -zmx 0.4";
  for (const Recut& r : {Recut{"", 1.0, ""}, Recut{"-st 4 ", 1.0, ""}, Recut{"", 2.0, ""}, Recut{"-st 4 ", 2.0, ""},
                         Recut{"-st 4 ", 1.0, middle}}) {
    const std::string line =
        r.flags + (r.size < 2.0 ? "into a smaller cube" : "into a like cube") + (r.level.empty() ? "" : ", two levels");
    zovhost::testing::resetScene();
    meshtest::makeCube("src", 2.0);
    meshtest::makeCube("pebble", r.size);
    meshtest::makeCube("twin", r.size);
    run("setAttr twin.translateX 5");
    ASSERT_TRUE(runs("zovShatter " + r.flags + "-ns 20 -sed 3 src")) << line;
    zovhost::testing::flushIdleQueue();
    ASSERT_EQ(shardVolumes("srcShatterGroup").size(), 20u) << line;
    ASSERT_TRUE(runs("zovAdqShatter -reo zovVoronoiNode1 twin")) << line;
    zovhost::testing::flushIdleQueue();
    const size_t made = shardVolumes("twinShatterGroup").size();
    if (!r.level.empty()) {
      run("createNode ShatterLocator -n srcPreview -p src");
      ASSERT_TRUE(runs("zovShatterPreview -dp " + r.level + " srcShape")) << line;
      ASSERT_TRUE(runs("zovShatter src")) << line;
      zovhost::testing::flushIdleQueue();
    }
    voronoiNode* record = recordOf(pathOf("srcShape"));
    ASSERT_EQ(voronoiNode::numVoroGroups(record), r.level.empty() ? 1u : 2u) << line;
    const std::string recordName = MFnDependencyNode(record->thisMObject()).name().asChar();
    clearLogs();
    ASSERT_TRUE(runs("zovAdqShatter -reo " + recordName + " pebble")) << line;
    zovhost::testing::flushIdleQueue();
    const size_t pieces = shardVolumes("pebbleShatterGroup").size();
    if (r.level.empty())
      EXPECT_EQ(pieces, made) << line;
    else
      EXPECT_GT(pieces, made) << line;
    std::vector<std::string> told;
    if (made < 20)
      told.push_back("zovAdqShatter: 20 shards asked of pebbleShape, " + std::to_string(made) +
                     " made: seed points coincide or fall outside it");
    EXPECT_EQ(messagesOf(MessageKind::Warning), told) << line;
    EXPECT_EQ(made < 20, r.size < 2.0) << line;
  }
}

TEST_F(ShatterCommand, MoreThanTwoHundredSeedsGiveAsManyShards) {
  // The seeds at the centres of a 6 x 6 x 6 grid of the cube: each shard is
  // a grid cell around its seed.
  meshtest::makeCube("box", 2.0);
  std::vector<MPoint> seeds;
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j)
      for (int k = 0; k < 6; ++k)
        seeds.emplace_back(-1.0 + (i + 0.5) / 3.0, -1.0 + (j + 0.5) / 3.0, -1.0 + (k + 0.5) / 3.0);
  GivenSeedsShatter grid;
  ASSERT_TRUE(grid.shatter(pathOf("box"), MPointArray(), pointsOf(seeds)));
  zovhost::testing::flushIdleQueue();
  const std::vector<shattertest::WorldSolid> shards = shardSolids(grid.group);
  ASSERT_EQ(shards.size(), 216u);
  std::vector<bool> found(seeds.size(), false);
  for (const shattertest::WorldSolid& shard : shards) {
    const shattertest::VolumeSum sum = shattertest::volumeSumOf(shard);
    EXPECT_TRUE(relativelyEqual(sum.volume, 1.0 / 27.0, 1e-6)) << sum.volume;
    for (size_t s = 0; s < seeds.size(); ++s)
      if (sum.centroid.distanceTo(seeds[s]) < 1e-6) found[s] = true;
  }
  EXPECT_EQ(std::count(found.begin(), found.end(), true), 216);
  EXPECT_EQ(voronoiNode::numVoroPoints(recordOf(pathOf("box"))), 216u);
}

TEST_F(ShatterCommand, ReshatterPlacesTheSourceCellsByTheTargetsMatrixAlone) {
  // Source and target each moved, turned and scaled: uniformly by different
  // factors, or by one and the same scale per axis, so that the target's
  // place is the source's moved rigidly and scaled evenly, which maps
  // Voronoi cells onto Voronoi cells.
  struct Placement {
    const char* translate;
    const char* rotate;
    const char* scale;
  };
  struct Case {
    Placement source, target;
    double scale;  // target size / source size
  };
  const Case cases[] = {
      {{"5 1 -2", "10 60 -25", "1.5 1.5 1.5"}, {"-3 4 7", "-40 15 80", "0.5 0.5 0.5"}, 1.0 / 3.0},
      {{"-4 2 1", "30 -20 45", "2 1 0.5"}, {"6 -1 3", "-15 70 5", "2 1 0.5"}, 1.0},
  };
  for (const Case& c : cases) {
    zovhost::testing::resetScene();
    for (const auto& [name, place] : {std::pair{"source", c.source}, std::pair{"target", c.target}}) {
      meshtest::makeCube(name, 2.0);
      run(std::string("setAttr ") + name + ".translate " + place.translate);
      run(std::string("setAttr ") + name + ".rotate " + place.rotate);
      run(std::string("setAttr ") + name + ".scale " + place.scale);
    }
    ASSERT_TRUE(runs("zovShatter -ns 16 -sed 5 source"));
    ASSERT_TRUE(runs("zovAdqShatter -reo " + nodesOfType("zovVoronoiNode")[0] + " target"));
    zovhost::testing::flushIdleQueue();
    const MMatrix sourceToTarget = transformOfShape(pathOf("source")).inclusiveMatrix().inverse() *
                                   transformOfShape(pathOf("target")).inclusiveMatrix();
    const std::vector<shattertest::WorldSolid> made = shardSolids("sourceShatterGroup");
    const std::vector<shattertest::WorldSolid> copied = shardSolids("targetShatterGroup");
    ASSERT_EQ(made.size(), 16u) << c.source.translate;
    ASSERT_EQ(copied.size(), made.size()) << c.source.translate;
    std::vector<bool> matched(made.size(), false);
    for (const shattertest::WorldSolid& cell : copied) {
      const shattertest::VolumeSum target = shattertest::volumeSumOf(cell);
      bool found = false;
      for (size_t k = 0; k < made.size() && !found; ++k) {
        const shattertest::VolumeSum source = shattertest::volumeSumOf(made[k]);
        if (matched[k] || target.centroid.distanceTo(source.centroid * sourceToTarget) >= 1e-6) continue;
        matched[k] = found = true;
        // Shard points are kept in single precision: within a millionth of
        // the whole target's volume.
        EXPECT_NEAR(target.volume, source.volume * std::pow(c.scale, 3), 1e-6 * volumeSum(copied)) << k;
      }
      EXPECT_TRUE(found) << c.source.translate << ": " << target.centroid.x << " " << target.centroid.y << " "
                         << target.centroid.z;
    }
  }
}

TEST_F(ShatterCommand, ReshatterFollowsTheRecordedCellsOnAMovedCube) {
  meshtest::makeCube("source", 2.0);
  ASSERT_TRUE(runs("zovShatter -ns 12 -sed 9 -nm true -cmn cutMat source"));
  zovhost::testing::flushIdleQueue();
  meshtest::makeCube("target", 2.0);
  run("setAttr target.translateX 10");
  const std::string record = nodesOfType("zovVoronoiNode")[0];
  std::vector<std::string> result;
  ASSERT_TRUE(runs("zovAdqShatter -reo " + record + " target", &result));
  EXPECT_EQ(result, (std::vector<std::string>{"targetShatterGroup"}));
  zovhost::testing::flushIdleQueue();
  for (int k = 1; k <= 12; ++k) {
    const MDagPath a = pathOf("source_shard" + std::to_string(k));
    const MDagPath b = pathOf("target_shard" + std::to_string(k));
    EXPECT_TRUE(relativelyEqual(volumeOf(a), volumeOf(b), 1e-6)) << k;
    const meshtest::MeshPtr ma = shattertest::engineOf(a);
    const meshtest::MeshPtr mb = shattertest::engineOf(b);
    EXPECT_NEAR(mb->center.x - ma->center.x, 10.0, 1e-4) << k;
    EXPECT_NEAR(mb->center.y - ma->center.y, 0.0, 1e-4) << k;
    EXPECT_NEAR(mb->center.z - ma->center.z, 0.0, 1e-4) << k;
  }

  meshtest::makeCube("other", 2.0);
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("zovAdqShatter -reo sourceShatterGroup other"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "shatter group doesnt has voronoi node"));
  EXPECT_FALSE(runs("zovAdqShatter -reo " + record + " source"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "this shape is connected to another shatter group"));
  EXPECT_FALSE(zovhost::testing::progressWindowHeld());

  // A new material for the cut faces only; a shard without cut faces is
  // passed over rather than letting the selection take the material.
  meshtest::makeCube("loose", 2.0);
  run("parent loose sourceShatterGroup");
  run("select other");
  ASSERT_TRUE(runs("zovAdqShatter -rmt NewMat source_shard1"));
  for (int k = 1; k <= 12; ++k) {
    const MDagPath shard = pathOf("source_shard" + std::to_string(k));
    MFnMesh mesh(shard);
    MObjectArray groups;
    MIntArray indices;
    mesh.getConnectedShaders(0, groups, indices);
    for (int f = 0; f < mesh.numPolygons(); ++f) {
      const MString group = MFnDependencyNode(groups[static_cast<unsigned int>(indices[f])]).name();
      EXPECT_EQ(group == "NewMatSG", meshtest::tagOf(shard, f) > 0) << k << " " << f;
    }
  }
  MObjectArray groups;
  MIntArray indices;
  MFnMesh(pathOf("other")).getConnectedShaders(0, groups, indices);
  for (unsigned int g = 0; g < groups.length(); ++g) EXPECT_NE(MFnDependencyNode(groups[g]).name(), "NewMatSG");
}

TEST_F(ShatterCommand, ReshatterOfANonconformingRecordRecutsWhatEachLevelsBoxMeets) {
  // Three levels over a 2 x 2 x 2 cube: the halves x < 0 and x > 0; then,
  // within its box, the half x > 0 split at y = 0; then the half x < 0 split
  // at z = 0.
  std::string name;
  voronoiNode* source = shattertest::makeRecord(&name);
  ASSERT_NE(source, nullptr);
  const std::vector<Mgc::MgcVector3> seeds = {{-0.5, 0.0, 0.0}, {0.5, 0.0, 0.0},   {0.5, -0.5, 0.0},
                                              {0.5, 0.5, 0.0},  {-0.5, 0.0, -0.5}, {-0.5, 0.0, 0.5}};
  voronoiNode::addVoroPoints(source, seeds.data(), static_cast<unsigned int>(seeds.size()), MMatrix());
  const std::vector<MBoundingBox> boxes = {MBoundingBox(MPoint(-1.0, -1.0, -1.0), MPoint(1.0, 1.0, 1.0)),
                                           MBoundingBox(MPoint(0.1, -1.0, -1.0), MPoint(1.0, 1.0, 1.0)),
                                           MBoundingBox(MPoint(-1.0, -1.0, -1.0), MPoint(-0.1, 1.0, 1.0))};
  for (const MBoundingBox& box : boxes) {
    voronoiNode::setBoundingBox(source, box);
    voronoiNode::setVoroGroup(source, 2);
  }
  voronoiNode::setScheme(source, kVoroNonconform);

  meshtest::makeCube("target", 2.0);
  run("setAttr target.translateX 10");
  std::vector<std::string> result;
  ASSERT_TRUE(runs("zovAdqShatter -reo " + name + " target", &result));
  EXPECT_EQ(result, (std::vector<std::string>{"targetShatterGroup"}));
  zovhost::testing::flushIdleQueue();

  // Four closed quarters of volume 2, one around each split's region.
  std::vector<MPoint> centres = {MPoint(10.5, -0.5, 0.0), MPoint(10.5, 0.5, 0.0), MPoint(9.5, 0.0, -0.5),
                                 MPoint(9.5, 0.0, 0.5)};
  ASSERT_EQ(childrenOf("targetShatterGroup").size(), centres.size() + 1);
  for (int k = 1; k <= 4; ++k) {
    const MDagPath shard = pathOf("target_shard" + std::to_string(k));
    EXPECT_TRUE(isClosed(shard)) << k;
    EXPECT_TRUE(relativelyEqual(volumeOf(shard), kCubeVolume / 4.0, 1e-6)) << k;
    const meshtest::MeshPtr mesh = shattertest::engineOf(shard);
    const MPoint centre(mesh->center.x, mesh->center.y, mesh->center.z);
    const auto match = std::find_if(centres.begin(), centres.end(),
                                    [&centre](const MPoint& c) { return centre.distanceTo(c) < 1e-4; });
    ASSERT_NE(match, centres.end()) << k << ": " << centre.x << " " << centre.y << " " << centre.z;
    centres.erase(match);
  }

  // The target's record holds the three levels in the source's space.
  voronoiNode* made = recordOf(pathOf("target"));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(voronoiNode::getScheme(made), kVoroNonconform);
  ASSERT_EQ(voronoiNode::numVoroGroups(made), 3u);
  for (unsigned int g = 0; g < 3; ++g) EXPECT_EQ(voronoiNode::getVoroGroup(made, g), 2) << g;
  const std::vector<Mgc::MgcVector3> recorded = seedsOf(made);
  ASSERT_EQ(recorded.size(), seeds.size());
  for (size_t i = 0; i < seeds.size(); ++i) EXPECT_LT((recorded[i] - seeds[i]).Length(), 1e-5) << i;
  ASSERT_EQ(voronoiNode::numBoundingBoxes(made), 3u);
  for (unsigned int k = 1; k < 3; ++k) {
    MBoundingBox box;
    voronoiNode::getBoundingBox(made, box, k);
    EXPECT_LT(box.min().distanceTo(boxes[k].min()), 1e-5) << k;
    EXPECT_LT(box.max().distanceTo(boxes[k].max()), 1e-5) << k;
  }
}

TEST_F(ShatterCommand, UndoLastOfASecondLevelBringsBackTheFirstLevelsShardsAndRecord) {
  meshtest::makeCube("box", 2.0);
  ASSERT_TRUE(runs("zovShatter -ns 5 -sed 3 box"));
  zovhost::testing::flushIdleQueue();
  const std::vector<double> firstLevel = shardVolumes("boxShatterGroup");
  voronoiNode* first = recordOf(pathOf("box"));
  ASSERT_NE(first, nullptr);
  const std::vector<Mgc::MgcVector3> firstSeeds = seedsOf(first);
  MPointArray earlier;
  for (const Mgc::MgcVector3& seed : firstSeeds) earlier.append(MPoint(seed.x, seed.y, seed.z));

  // A second level over the whole cube with three more seeds.
  MPointArray added;
  for (const MPoint& p : {MPoint(0.3, 0.3, 0.3), MPoint(-0.6, 0.2, -0.4), MPoint(0.1, -0.7, 0.5)}) added.append(p);
  GivenSeedsShatter second;
  ASSERT_TRUE(second.shatter(pathOf("box"), earlier, added));
  zovhost::testing::flushIdleQueue();
  voronoiNode* secondRecord = recordOf(pathOf("box"));
  ASSERT_NE(secondRecord, nullptr);
  ASSERT_EQ(voronoiNode::numVoroGroups(secondRecord), 2u);
  ASSERT_EQ(voronoiNode::numVoroPoints(secondRecord), firstSeeds.size() + added.length());
  const std::vector<double> secondLevel = shardVolumes("boxShatterGroup");
  ASSERT_GT(secondLevel.size(), firstLevel.size());

  const size_t undo = zovhost::testing::undoCount();
  std::vector<std::string> result;
  ASSERT_TRUE(runs("zovShatter -udl box", &result));
  zovhost::testing::flushIdleQueue();

  // The first level's shards are back, grouped with a record of that level
  // only; undo recording is on again and the command is queued once.
  const std::vector<double> restored = shardVolumes("boxShatterGroup");
  ASSERT_EQ(restored.size(), firstLevel.size());
  for (size_t k = 0; k < restored.size(); ++k) EXPECT_TRUE(relativelyEqual(restored[k], firstLevel[k], 1e-6)) << k;
  EXPECT_EQ(childrenOf("boxShatterGroup").size(), firstLevel.size() + 1);
  voronoiNode* renewed = recordOf(pathOf("box"));
  ASSERT_NE(renewed, nullptr);
  EXPECT_EQ(voronoiNode::numVoroGroups(renewed), 1u);
  EXPECT_EQ(voronoiNode::getVoroGroup(renewed, 0), static_cast<int>(firstSeeds.size()));
  EXPECT_EQ(voronoiNode::numBoundingBoxes(renewed), 1u);
  const std::vector<Mgc::MgcVector3> renewedSeeds = seedsOf(renewed);
  ASSERT_EQ(renewedSeeds.size(), firstSeeds.size());
  for (size_t i = 0; i < firstSeeds.size(); ++i) EXPECT_LT((renewedSeeds[i] - firstSeeds[i]).Length(), 1e-5) << i;
  EXPECT_EQ(nodesOfType("zovVoronoiNode").size(), 1u);
  int recording = 0;
  MGlobal::executeCommand("undoInfo -q -swf", recording);
  EXPECT_EQ(recording, 1);
  EXPECT_EQ(zovhost::testing::undoCount(), undo + 1);
  // Its undo cannot give the second level back: it empties the queue and
  // leaves the first level's shards.
  ASSERT_TRUE(runs("undo"));
  EXPECT_EQ(zovhost::testing::undoCount(), 0u);
  EXPECT_EQ(zovhost::testing::redoCount(), 0u);
  EXPECT_EQ(shardVolumes("boxShatterGroup").size(), firstLevel.size());
}

TEST_F(ShatterCommand, ACutMaterialDeletedSinceItWasRecordedIsLeftOutWithOneWarning) {
  struct Case {
    std::vector<std::string> setup;
    std::string command;
    std::string record;
    std::string group;
  };
  // Each command makes four shards: the source's cells, or its first level's.
  const std::string shatter = "zovShatter -ns 4 -sed 3 -nm true -cmn stone src";
  const Case cases[] = {
      {{"polyCube -w 2 -h 2 -d 2 -n rock"},
       "zovAdqShatter -reo zovVoronoiNode1 rock",
       "zovVoronoiNode1",
       "rockShatterGroup"},
      {{"createNode ShatterLocator -p src", "zovShatterPreview -dp -ns 3 -sed 5 srcShape", shatter},
       "zovShatter -udl src",
       "zovVoronoiNode2",
       "srcShatterGroup"},
  };
  for (const Case& c : cases) {
    zovhost::testing::resetScene();
    run("polyCube -w 2 -h 2 -d 2 -n src");
    ASSERT_TRUE(runs(shatter));
    zovhost::testing::flushIdleQueue();
    for (const std::string& line : c.setup) ASSERT_TRUE(runs(line)) << line;
    zovhost::testing::flushIdleQueue();
    run("delete stone stoneSG");
    const std::vector<std::string> shadingGroups = nodesOfType("shadingEngine");
    const std::vector<std::string> shaders = nodesOfType("lambert");
    clearLogs();
    ASSERT_TRUE(runs(c.command)) << c.command;
    zovhost::testing::flushIdleQueue();
    EXPECT_EQ(messagesOf(MessageKind::Warning),
              std::vector<std::string>{c.record + ": the cut material it names, \"stone\", has no shading group "
                                                  "\"stoneSG\" in the scene: the cut faces get no cut material"});
    EXPECT_EQ(messagesOf(MessageKind::Error), std::vector<std::string>()) << c.command;
    EXPECT_EQ(shardVolumes(c.group).size(), 4u) << c.command;
    EXPECT_EQ(nodesOfType("shadingEngine"), shadingGroups) << c.command;
    EXPECT_EQ(nodesOfType("lambert"), shaders) << c.command;
  }

  // A cut material whose group alone went gets a new one for its cut faces.
  zovhost::testing::resetScene();
  run("polyCube -w 2 -h 2 -d 2 -n src; polyCube -w 2 -h 2 -d 2 -n rock");
  ASSERT_TRUE(runs(shatter));
  run("delete stoneSG");
  clearLogs();
  ASSERT_TRUE(runs("zovShatter -ns 4 -sed 3 -nm true -cmn stone rock"));
  ASSERT_TRUE(runs("zovAdqShatter -rmt stone rock_shard1"));
  EXPECT_EQ(messagesOf(MessageKind::Error), std::vector<std::string>());
  EXPECT_TRUE(feeds("stone.outColor", "stoneSG.surfaceShader"));
  MStringArray members;
  MGlobal::executeCommand("sets -q stoneSG", members);
  EXPECT_GT(members.length(), 0u);
}

// The cut material is found by the group its shader feeds, whatever that
// group is called now; the group then holds exactly the faces of the scene's
// shards that leave the cube's surface, the new shards' among them.
TEST_F(ShatterCommand, ARecutGivesItsNewCutFacesTheGroupOfTheRecordedCutMaterial) {
  const zovtest::ScratchFile file("recutMaterial", ".ma");
  const std::string shatter = "zovShatter -ns 4 -sed 3 -nm true -cmn stone src";
  const std::vector<std::string> secondLevel = {"createNode ShatterLocator -p src",
                                                "zovShatterPreview -dp -ns 3 -sed 5 srcShape", shatter};
  const std::string adquire = "zovAdqShatter -reo zovVoronoiNode1 rock";
  const std::string undoLast = "zovShatter -udl src";
  const std::vector<std::string> renamed = {"rename stoneSG pebbleSG"};
  const std::vector<std::string> reopened = {"rename stoneSG pebbleSG", "file -rename \"" + file.path + "\"",
                                             "file -save", "file -open \"" + file.path + "\""};
  const std::vector<std::string> deletedAndBack = {"rename stoneSG pebbleSG", "delete pebbleSG", "undo"};
  struct Case {
    std::string command;
    std::vector<std::string> edits;
    std::string group;
    std::string newShards;
  };
  const Case cases[] = {
      {adquire, {}, "stoneSG", "rockShatterGroup"},
      {undoLast, {}, "stoneSG", "srcShatterGroup"},
      {adquire, renamed, "pebbleSG", "rockShatterGroup"},
      {undoLast, renamed, "pebbleSG", "srcShatterGroup"},
      {adquire, reopened, "pebbleSG", "rockShatterGroup"},
      {adquire, deletedAndBack, "pebbleSG", "rockShatterGroup"},
      {undoLast, deletedAndBack, "pebbleSG", "srcShatterGroup"},
  };
  for (const Case& c : cases) {
    const std::string row = c.command + " after " + (c.edits.empty() ? "nothing" : c.edits.back());
    zovhost::testing::resetScene();
    run("polyCube -w 2 -h 2 -d 2 -n src; polyCube -w 2 -h 2 -d 2 -n rock");
    ASSERT_TRUE(runs(shatter));
    zovhost::testing::flushIdleQueue();
    for (const std::string& line : c.command == undoLast ? secondLevel : std::vector<std::string>())
      ASSERT_TRUE(runs(line)) << line;
    zovhost::testing::flushIdleQueue();
    for (const std::string& line : c.edits) ASSERT_TRUE(runs(line)) << line;
    const std::vector<std::string> shadingGroups = nodesOfType("shadingEngine");
    const std::vector<std::string> shaders = nodesOfType("lambert");
    clearLogs();
    ASSERT_TRUE(runs(c.command)) << row;
    zovhost::testing::flushIdleQueue();
    EXPECT_EQ(messagesOf(MessageKind::Warning), std::vector<std::string>()) << row;
    EXPECT_EQ(messagesOf(MessageKind::Error), std::vector<std::string>()) << row;
    EXPECT_EQ(shardVolumes(c.newShards).size(), 4u) << row;
    const std::map<std::string, int> cutFaces = cutFacesPerMesh();
    int newCutFaces = 0;
    for (const std::string& child : childrenOf(c.newShards)) {
      const auto found = cutFaces.find(MFnDagNode(pathOf(child)).name().asChar());
      if (found != cutFaces.end()) newCutFaces += found->second;
    }
    EXPECT_GT(newCutFaces, 0) << row;
    EXPECT_EQ(setFacesPerMesh(c.group), cutFaces) << row;
    EXPECT_EQ(nodesOfType("shadingEngine"), shadingGroups) << row;
    EXPECT_EQ(nodesOfType("lambert"), shaders) << row;
  }
}

TEST_F(ShatterCommand, UndoLastOfAFirstShatterOnlyWarns) {
  meshtest::makeCube("box", 2.0);
  ASSERT_TRUE(runs("zovShatter -ns 6 -sed 5 box"));
  zovhost::testing::flushIdleQueue();
  const size_t transforms = nodesOfType("transform").size();
  const size_t undo = zovhost::testing::undoCount();
  ASSERT_TRUE(runs("zovShatter -udl box"));
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "shatter history not found, use undoAll"));
  EXPECT_EQ(nodesOfType("transform").size(), transforms);
  EXPECT_EQ(zovhost::testing::undoCount(), undo);
}

}  // namespace
