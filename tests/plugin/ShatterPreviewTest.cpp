#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ShatterFixture.h"
#include "ShatterSupport.h"
#include "src/shatter/shatterLocatorCmd.h"
#include "src/shatter/shatterLocatorNode.h"
#include "support/ScratchFile.h"
#include "testing/HostTesting.h"
#include "testing/RenderTesting.h"

namespace {

using meshtest::pathOf;
using shattertest::childrenOf;
using shattertest::recordOf;
using shattertest::volumeOf;
using namespace zovhost::testing;

class ShatterPreview : public ShatterTest {
 protected:
  /// A 2 x 2 x 2 cube "name" with a preview locator "<name>Preview" under its transform.
  static ShatterLocatorNode* cubeWithLocator(const std::string& name) {
    meshtest::makeCube(name, 2.0);
    run("createNode ShatterLocator -n " + name + "Preview -p " + name);
    return locatorNamed(name + "Preview");
  }
  static ShatterLocatorNode* locatorNamed(const std::string& name) {
    return userNodeOf<ShatterLocatorNode>(node(name));
  }
  /// The preview points in world space.
  static std::vector<MPoint> worldPreview(const ShatterLocatorNode& locator) {
    MDagPath path;
    MDagPath::getAPathTo(locator.thisMObject(), path);
    std::vector<MPoint> points;
    for (unsigned int i = 0; i < locator.settings.pointsA.length(); ++i)
      points.push_back(locator.settings.pointsA[i] * path.inclusiveMatrix());
    return points;
  }
  /// Whether every point lies in the cube of half size 1 about its transform's origin (local space).
  static bool insideUnitCube(const MPointArray& points, double slack = 1e-9) {
    for (unsigned int i = 0; i < points.length(); ++i)
      for (int axis = 0; axis < 3; ++axis)
        if (std::fabs(points[i][axis]) > 1.0 + slack) return false;
    return points.length() > 0;
  }
  static void pullSettings(const std::string& locator) { run("getAttr " + locator + ".ca_updated"); }
  /// Whether no two points lie within the coincidence distance (squared 1e-5).
  static bool pairwiseApart(const MPointArray& points) {
    for (unsigned int i = 0; i < points.length(); ++i)
      for (unsigned int j = 0; j < i; ++j)
        if ((points[i] - points[j]) * (points[i] - points[j]) < 1e-5) return false;
    return points.length() > 0;
  }
  static int shownHandles() {
    int shown = 0;
    for (const auto& manip : zovhost::testing::shownManipulators()) shown += manip.visible ? 1 : 0;
    return shown;
  }
  /// The volumes of a group's shards, smallest first.
  static std::vector<double> shardVolumes(const std::string& group) {
    std::vector<double> volumes;
    for (const std::string& child : childrenOf(group))
      if (pathOf(child).hasFn(MFn::kMesh)) volumes.push_back(volumeOf(pathOf(child)));
    std::sort(volumes.begin(), volumes.end());
    return volumes;
  }
  static double sum(const std::vector<double>& values) {
    double total = 0.0;
    for (double v : values) total += v;
    return total;
  }
};

TEST_F(ShatterPreview, TheCommandPutsSeedsInsideTheObjectIntoItsLocator) {
  ShatterLocatorNode* locator = cubeWithLocator("box");
  ASSERT_NE(locator, nullptr);
  run("setAttr box.translate 3 1 -2; setAttr box.rotate 0 30 10");
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 32 -sed 0 boxShape"));
  // Local space: the cube's own, whatever its pose.
  ASSERT_EQ(locator->settings.pointsA.length(), 32u);
  EXPECT_TRUE(insideUnitCube(locator->settings.pointsA));
  const MPointArray unseeded = locator->settings.pointsA;
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 32 -sed 17 boxShape"));
  ASSERT_EQ(locator->settings.pointsA.length(), 32u);
  for (unsigned int i = 0; i < 32; ++i) EXPECT_EQ(locator->settings.pointsA[i], unseeded[i]) << i;
  EXPECT_EQ(locator->lastSeed, 17);

  // Counts are clamped to 128, widths to 0.01 at least.
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 500 -wd 0 boxShape"));
  EXPECT_EQ(locator->settings.pointsA.length(), 128u);
  EXPECT_DOUBLE_EQ(locator->spreadWidth, 0.01);
  EXPECT_TRUE(insideUnitCube(locator->settings.pointsA));
}

TEST_F(ShatterPreview, WithoutDrawPointsOrALocatorNothingChanges) {
  ShatterLocatorNode* locator = cubeWithLocator("box");
  ASSERT_TRUE(runs("zovShatterPreview -ns 32 boxShape"));
  EXPECT_EQ(locator->settings.pointsA.length(), 0u);
  EXPECT_EQ(MPlug(locator->thisMObject(), ShatterLocatorNode::shatter_pos).numElements(), 0u);
  EXPECT_EQ(MPlug(locator->thisMObject(), ShatterLocatorNode::numLoc).asInt(), 1);

  meshtest::makeCube("bare", 2.0);
  const size_t nodes = nodesOfType("transform").size();
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 32 bareShape"));
  EXPECT_EQ(nodesOfType("transform").size(), nodes);
  EXPECT_EQ(locator->settings.pointsA.length(), 0u);

  // A transform is not a mesh; nothing that passes is no object either.
  EXPECT_FALSE(runs("zovShatterPreview -dp -ns 32 box"));
  EXPECT_TRUE(hasMessage(MessageKind::Info, " no poly object selected"));
}

TEST_F(ShatterPreview, AReferenceGetsItsLinkOnceAndColourPatternsNeedColours) {
  ShatterLocatorNode* locator = cubeWithLocator("box");
  meshtest::makeCube("guide", 1.0);
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 16 -reo guideShape boxShape"));
  EXPECT_TRUE(feeds("guideShape.zovRefObj", "boxPreview.refObject"));
  const unsigned int attributes = MFnDependencyNode(node("guideShape")).attributeCount();
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 16 -reo guideShape boxShape"));
  EXPECT_EQ(MFnDependencyNode(node("guideShape")).attributeCount(), attributes);
  EXPECT_TRUE(feeds("guideShape.zovRefObj", "boxPreview.refObject"));
  // Seeds then lie in the reference (half size 0.5) looked at 1.2 times larger.
  ASSERT_EQ(locator->settings.pointsA.length(), 16u);
  for (unsigned int i = 0; i < 16; ++i)
    for (int axis = 0; axis < 3; ++axis) EXPECT_LE(std::fabs(locator->settings.pointsA[i][axis]), 0.6 + 1e-9);

  EXPECT_FALSE(runs("zovShatterPreview -dp -ns 16 -st 6 boxShape"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "boxShape doesnt count with vertex colors, preview not possible"));
  EXPECT_FALSE(runs("zovShatterPreview -dp -ns 16 -st 5 boxShape"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "path not present"));
}

TEST_F(ShatterPreview, RadialPreviewsWithoutRingsUseOneAndNeverRaiseTheRings) {
  // At most 128 points a preview, so no ring holds more than 300: the
  // count is clamped and the ring count stays as asked (at least one).
  ShatterLocatorNode* locator = cubeWithLocator("box");
  for (const char* line :
       {"zovShatterPreview -dp -st 3 -ns 500 boxShape", "zovShatterPreview -dp -st 3 -ns 3000 -nr 4 boxShape"}) {
    zovhost::testing::clearLogs();
    ASSERT_TRUE(runs(line)) << line;
    EXPECT_FALSE(hasMessage(MessageKind::Warning, "number of rings increased")) << line;
    EXPECT_LE(locator->settings.pointsA.length(), kMaxPreviewShards) << line;
    EXPECT_GT(locator->settings.pointsA.length(), 0u) << line;
  }
  EXPECT_EQ(locator->settings.ringCount, 5u);
  ASSERT_TRUE(runs("zovShatterPreview -dp -st 3 -ns 40 boxShape"));
  EXPECT_EQ(locator->settings.ringCount, 1u);
  EXPECT_EQ(locator->patternCount, 40u);
  // The ring's centre lies on the cube's top face: the draws that fall
  // outside go round to the spots of those inside. The preview shows each
  // spot once, as the shatter will carve it once.
  EXPECT_LT(locator->settings.pointsA.length(), 40u);
  EXPECT_TRUE(pairwiseApart(locator->settings.pointsA));
}

TEST_F(ShatterPreview, ChangedSettingsShowTheNumberOfPointsThePatternMakes) {
  ShatterLocatorNode* locator = cubeWithLocator("box");
  // A moved object: its points stay inside it, in its space.
  run("setAttr box.translate 3 1 -2; setAttr box.rotate 20 0 0");
  ASSERT_TRUE(runs("zovShatterPreview -dp -st 2 -ns 20 -noc 1 boxShape"));
  // The impact pattern makes pairs while fewer than count - 1 points exist.
  struct Case {
    int numPoints;
    unsigned int made;
  };
  for (const Case& c : {Case{31, 30}, Case{10, 10}, Case{9, 8}}) {
    run("setAttr boxPreview.numPoints " + std::to_string(c.numPoints));
    pullSettings("boxPreview");
    EXPECT_EQ(locator->settings.pointsA.length(), c.made) << c.numPoints;
    EXPECT_TRUE(insideUnitCube(locator->settings.pointsA, 1e-6)) << c.numPoints;
  }
  // Rings: (count / rings) x rings, with rings + 1 rings.
  ASSERT_TRUE(runs("zovShatterPreview -dp -st 3 -ns 20 -nr 3 boxShape"));
  run("setAttr boxPreview.rings 3; setAttr boxPreview.numPoints 22");
  pullSettings("boxPreview");
  EXPECT_EQ(locator->patternCount, 20u);
  // Rings cut off by the cube's face leave points pulled onto the same
  // spots: the preview shows each spot once.
  EXPECT_LE(locator->settings.pointsA.length(), 20u);
  EXPECT_TRUE(pairwiseApart(locator->settings.pointsA));
  // A moved centre asks the pattern for as many points again as it made,
  // not for as many as are shown.
  run("setAttr boxPreview.shatter_pos[0] 0.2 0.1 0; getAttr boxPreview.ca_shatter_pos");
  EXPECT_EQ(locator->patternCount, 20u);
  EXPECT_TRUE(pairwiseApart(locator->settings.pointsA));
}

TEST_F(ShatterPreview, TheShowToolGivesOneHandleACentreUpToFive) {
  cubeWithLocator("box");
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 8 boxShape"));
  for (const auto& [centres, shown] : std::vector<std::pair<int, int>>{{0, 0}, {3, 3}, {7, 5}}) {
    run("setAttr boxPreview.numLoc " + std::to_string(centres));
    run("select -r boxPreview; setToolTo ShowManips");
    EXPECT_EQ(zovhost::testing::shownManipulators().size(), 5u);
    EXPECT_EQ(shownHandles(), shown) << centres;
  }
}

TEST_F(ShatterPreview, DraggingTheFirstCentreOutsideKeepsItInTheObjectAndTheRegionFollows) {
  ShatterLocatorNode* locator = cubeWithLocator("box");
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 24 -sed 4 boxShape"));
  const auto before = locator->settings.pointsA;
  ASSERT_EQ(before.length(), 24u);
  EXPECT_TRUE(std::any_of(&before[0], &before[0] + before.length(), [](const MPoint& p) { return p.x < -0.2; }));
  run("select -r boxPreview; setToolTo ShowManips");
  ASSERT_EQ(locator->settings.pointsA.length(), 24u);
  ASSERT_EQ(shownHandles(), 1);
  ASSERT_TRUE(runs("dragManip 0 5 0.5 -7"));
  // Clamped to (1, 0.5, -1); the region, 2 wide, is centred there.
  EXPECT_EQ(locator->settings.box.center(), MPoint(1.0, 0.5, -1.0));
  EXPECT_DOUBLE_EQ(locator->settings.box.width(), 2.0);
  // The points followed at once: they lie where region and cube meet.
  ASSERT_EQ(locator->settings.pointsA.length(), 24u);
  for (unsigned int i = 0; i < 24; ++i) {
    EXPECT_GE(locator->settings.pointsA[i].x, -1e-3) << i;
    EXPECT_LE(locator->settings.pointsA[i].z, 1e-3) << i;
  }
  EXPECT_TRUE(insideUnitCube(locator->settings.pointsA, 1e-6));
}

TEST_F(ShatterPreview, TheShatterTakesThePreviewPointsAsItsSeedsAndKeepsThemInPlaceOpenAfterOpen) {
  ShatterLocatorNode* locator = cubeWithLocator("box");
  run("setAttr box.translate 2 0 1; setAttr box.rotate 20 30 10");
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 12 -sed 3 boxShape"));
  const std::vector<MPoint> preview = worldPreview(*locator);
  ASSERT_EQ(preview.size(), 12u);
  ASSERT_TRUE(runs("zovShatter box"));
  zovhost::testing::flushIdleQueue();
  EXPECT_NEAR(sum(shardVolumes("boxShatterGroup")), 8.0, 8e-6);
  // At every open the seeds are the preview's points in world space, both as
  // the record shows them and as the object's matrix places what it keeps.
  const zovtest::ScratchFile scene{"zov_preview_seeds_", ".zsc"};
  for (int opened = 0; opened <= 2; ++opened) {
    if (opened > 0) reopenInFreshHost(scene.path);
    voronoiNode* record = recordOf(pathOf("boxShape"));
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(voronoiNode::numVoroPoints(record), 12u);
    const MMatrix object = pathOf("box", false).inclusiveMatrix();
    for (unsigned int i = 0; i < 12; ++i) {
      MPoint shown, kept;
      voronoiNode::getVoroPoint(record, shown, i, true);
      voronoiNode::getVoroPoint(record, kept, i, false);
      EXPECT_LT(shown.distanceTo(preview[i]), 1e-5) << opened << " " << i;
      EXPECT_LT((kept * object).distanceTo(preview[i]), 1e-5) << opened << " " << i;
    }
  }
}

TEST_F(ShatterPreview, ASecondLevelThroughThePreviewIsTakenBackByUndoLast) {
  ShatterLocatorNode* locator = cubeWithLocator("box");
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 8 -sed 2 boxShape"));
  ASSERT_TRUE(runs("zovShatter box"));
  zovhost::testing::flushIdleQueue();
  const std::vector<double> first = shardVolumes("boxShatterGroup");
  ASSERT_GE(first.size(), 2u);

  // The preview now carries the first shatter's seeds.
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 6 -sed 5 -xmn -1 -ymn -1 -zmn -1 -xmx 1 -ymx 1 -zmx 1 boxShape"));
  EXPECT_EQ(locator->settings.pointsB.length(), 8u);
  ASSERT_TRUE(runs("zovShatter box"));
  zovhost::testing::flushIdleQueue();
  voronoiNode* second = recordOf(pathOf("boxShape"));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->storedCount, first.size());
  EXPECT_EQ(voronoiNode::numVoroGroups(second), 2u);
  EXPECT_EQ(voronoiNode::numBoundingBoxes(second), 2u);
  EXPECT_EQ(nodesOfType("zovVoronoiNode").size(), 1u);
  EXPECT_GT(shardVolumes("boxShatterGroup").size(), first.size());

  ASSERT_TRUE(runs("zovShatter -udl box"));
  zovhost::testing::flushIdleQueue();
  const std::vector<double> restored = shardVolumes("boxShatterGroup");
  ASSERT_EQ(restored.size(), first.size());
  for (size_t k = 0; k < first.size(); ++k) EXPECT_NEAR(restored[k], first[k], 1e-6 * first[k]) << k;
  voronoiNode* back = recordOf(pathOf("boxShape"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(voronoiNode::numVoroGroups(back), 1u);
  EXPECT_EQ(voronoiNode::numBoundingBoxes(back), 1u);
}

TEST_F(ShatterPreview, ANonconformingLevelRecutsOnlyTheShardsItsRegionMeets) {
  cubeWithLocator("box");
  ASSERT_TRUE(runs("zovShatterPreview -dp -st 4 -ns 8 -sed 2 boxShape"));
  ASSERT_TRUE(runs("zovShatter box"));
  zovhost::testing::flushIdleQueue();
  voronoiNode* record = recordOf(pathOf("boxShape"));
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(voronoiNode::getScheme(record), kVoroNonconform);
  // The region: the corner x, y, z above 0.5.
  const MBoundingBox region(MPoint(0.5, 0.5, 0.5), MPoint(1.0, 1.0, 1.0));
  std::vector<double> untouched;
  for (const std::string& child : childrenOf("boxShatterGroup")) {
    const MDagPath shard = pathOf(child);
    if (!shard.hasFn(MFn::kMesh)) continue;
    MBoundingBox box = MFnDagNode(shard).boundingBox();
    box.transformUsing(shard.inclusiveMatrix());
    if (!box.intersects(region, 0.0)) untouched.push_back(volumeOf(shard));
  }
  const size_t firstCount = shardVolumes("boxShatterGroup").size();
  ASSERT_LT(untouched.size(), firstCount);

  // The record keeps the level nonconforming; its seeds fill the region.
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 6 -sed 3 -xmn 0.5 -ymn 0.5 -zmn 0.5 -xmx 1 -ymx 1 -zmx 1 boxShape"));
  ASSERT_TRUE(runs("zovShatter box"));
  zovhost::testing::flushIdleQueue();
  const std::vector<double> after = shardVolumes("boxShatterGroup");
  EXPECT_GT(after.size(), firstCount);
  EXPECT_NEAR(sum(after), 8.0, 8e-6);
  // Every shard the region missed is there as it was.
  for (double volume : untouched)
    EXPECT_TRUE(std::any_of(after.begin(), after.end(), [volume](double v) {
      return std::fabs(v - volume) <= 1e-6 * volume;
    })) << volume;
}

// The preview and the shatter build their seed requests from one plan:
// for the same flags on the same object the preview shows the seeds the
// shatter cuts by, and keeps the spread width the shatter gives the
// generator (the single-precision 0.01 widened when none is given). The
// shatter's record keeps its seeds in single precision, in the object's
// space: each is the preview's point kept the same way. (The patterns that
// read the locator's handles or region take them from the preview alone.)
TEST_F(ShatterPreview, ThePreviewShowsTheSeedsTheShatterCutsByForTheSameFlags) {
  for (const std::string flags : {"-st 2 -ns 16 -sed 3 -noc 2", "-st 2 -ns 12 -sed 2 -noc 1",
                                  "-st 2 -ns 40 -sed 11 -noc 5", "-st 2 -ns 24 -sed 9 -noc 3 -width 0.4",
                                  "-st 5 -ns 20 -sed 4 -reo path", "-st 5 -ns 9 -sed 6 -width 0.2 -reo path"}) {
    run("file -f -new");
    ShatterLocatorNode* locator = cubeWithLocator("box");
    run("setAttr box.translate 3 1 -2; setAttr box.rotate 0 30 10");
    run("curve -d 1 -p 0 -1 -4 -p 6 3 0 -k 0 -k 1 -n path");
    ASSERT_TRUE(runs("zovShatterPreview -dp " + flags + " boxShape")) << flags;
    const double width = flags.find("-width") == std::string::npos ? static_cast<double>(0.01f) : locator->spreadWidth;
    EXPECT_EQ(locator->spreadWidth, width) << flags;
    const std::vector<MPoint> shown = worldPreview(*locator);
    ASSERT_GE(shown.size(), 2u) << flags;
    // The same object without its preview: the shatter plans its own seeds.
    run("delete boxPreview");
    ASSERT_TRUE(runs("zovShatter " + flags + " box")) << flags;
    voronoiNode* record = recordOf(pathOf("boxShape"));
    ASSERT_NE(record, nullptr) << flags;
    const MMatrix toObject = pathOf("box").inclusiveMatrix().inverse();
    ASSERT_EQ(voronoiNode::numVoroPoints(record), shown.size()) << flags;
    for (unsigned int i = 0; i < shown.size(); ++i) {
      MPoint kept;
      voronoiNode::getVoroPoint(record, kept, i, false);
      const MPoint expected = shown[i] * toObject;
      for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(static_cast<float>(kept[axis]), static_cast<float>(expected[axis])) << flags << " seed " << i;
    }
  }
}

}  // namespace
