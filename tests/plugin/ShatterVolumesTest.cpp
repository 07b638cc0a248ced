// Every seed pattern on four sources: the shards tile the source, with no
// two sharing volume and their volumes adding up to the source's.
#include <maya/MColorArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MGlobal.h>

#include <cmath>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "ShatterSupport.h"
#include "testing/HostTesting.h"

namespace {

using meshtest::pathOf;
using shattertest::childrenOf;
using shattertest::firstOverlap;
using shattertest::isClosed;
using shattertest::volumeSumOf;
using shattertest::WorldSolid;
using shattertest::worldSolidOf;
using namespace zovhost::testing;

enum class Source { kCube, kTurnedCube, kSphere, kPrism };
const char* const kSourceNames[] = {"Cube", "TurnedCube", "Sphere", "LPrism"};

/// The patterns by the command's -shatterStyle: uniform, impact, radial,
/// slab, path and vertex colours.
const int kStyles[] = {1, 2, 3, 4, 5, 6};

/// Noise 0 with the command's other defaults, and the settings a preview
/// starts from (width 0.2, 3 rings, noise 0.3), for the shatter and for the
/// preview (whose width flag is -wd).
const char* const kShatterSettings[] = {" -no 0", " -wid 0.2 -nr 3 -no 0.3"};
const char* const kPreviewSettings[] = {" -no 0", " -wd 0.2 -nr 3 -no 0.3"};

/// Seeds the command takes of its own; more come from a preview.
constexpr int kMostSeedsAsked = 64;
constexpr int kFewestCount = 2;
constexpr int kMostCount = 100;
/// The (source, settings) pairs that share out the counts of a pattern.
constexpr int kCountShares = 8;

/// The counts shattered for one (source, settings) pair: every eighth count
/// from 2 to 100, starting at 2 + share, and always 2, 64 and 100, so that
/// the eight pairs of a pattern shatter every count from 2 to 100 at least
/// once. The sanitizers' builds, ten times slower, check memory on one
/// count a pair, from 7 to 28.
std::vector<int> countsOf(int share) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return {kFewestCount + 5 + 3 * share};
#endif
  std::vector<int> counts = {kFewestCount, kMostSeedsAsked, kMostCount};
  for (int n = kFewestCount + share; n <= kMostCount; n += kCountShares)
    if (n != kFewestCount && n != kMostSeedsAsked && n != kMostCount) counts.push_back(n);
  return counts;
}

class ShatterVolumes : public CommandTest, public ::testing::WithParamInterface<std::tuple<Source, int>> {
 protected:
  /// The source "rock", without history, with a colour set "paint" that is
  /// light on its upper half, and a straight curve "path" inside it.
  static void makeSource(Source source) {
    switch (source) {
      case Source::kCube:
      case Source::kTurnedCube:
        meshtest::makeCube("rock", 2.0);
        if (source == Source::kTurnedCube)
          run("setAttr rock.translate 3 -1 2; setAttr rock.rotate 25 40 -30; setAttr rock.scale 1.5 0.75 1.25");
        break;
      case Source::kSphere: {
        MStringArray made;
        MGlobal::executeCommand("polySphere -r 1.2 -sx 12 -sy 8 -n rock", made);
        run("disconnectAttr " + std::string(made[1].asChar()) + ".output rockShape.inMesh");
        break;
      }
      case Source::kPrism:
        // Bars [0,3] x [0,1] and [0,1] x [0,3], 1 deep: volume 5.
        run("createNode transform -n rock; createNode mesh -n rockShape -p rock");
        run("setAttr rockShape.inMesh -type \"mesh\" 12 0 0 0 3 0 0 3 1 0 1 1 0 1 3 0 0 3 0 0 0 1 3 0 1 3 1 1 1 1 "
            "1 1 3 1 0 3 1 8 6 0 5 4 3 2 1 6 6 7 8 9 10 11 4 0 1 7 6 4 1 2 8 7 4 2 3 9 8 4 3 4 10 9 4 4 5 11 10 4 "
            "5 0 6 11 0");
        break;
    }
    const MDagPath shape = pathOf("rockShape");
    MFnMesh mesh(shape);
    const MBoundingBox box = MFnDagNode(shape).boundingBox();
    const MString set = mesh.createColorSetWithName("paint");
    mesh.setCurrentColorSetName(set);
    MColorArray colours;
    for (int v = 0; v < mesh.numVertices(); ++v) {
      MPoint p;
      mesh.getPoint(v, p);
      const float light = p.y > box.center().y ? 0.95f : 0.2f;
      colours.append(MColor(light, light, light));
    }
    mesh.setColors(colours, &set);
    MIntArray counts, corners;
    mesh.getVertices(counts, corners);
    mesh.assignColors(corners, &set);

    // A path that lies inside the source from end to end (in the L's lower
    // bar), so that every count finds enough of it to seed along.
    const bool ell = source == Source::kPrism;
    const MMatrix toWorld = shape.inclusiveMatrix();
    const MPoint from = MPoint(ell ? 0.2 : -0.8, ell ? 0.45 : -0.08, ell ? 0.45 : 0.05) * toWorld;
    const MPoint to = MPoint(ell ? 2.8 : 0.8, ell ? 0.55 : 0.08, ell ? 0.55 : -0.05) * toWorld;
    run("curve -d 1 -p " + std::to_string(from.x) + " " + std::to_string(from.y) + " " + std::to_string(from.z) +
        " -p " + std::to_string(to.x) + " " + std::to_string(to.y) + " " + std::to_string(to.z) + " -k 0 -k 1 -n path");
  }

  /// Shatters "rock" into `count` cells of the style (through a preview
  /// past what the command asks for itself) and checks that the shards
  /// tile it.
  static void shatterAndCheck(Source source, int style, int settings, int count) {
    zovhost::testing::resetScene();
    makeSource(source);
    const std::string path = style == 5 ? " -reo path" : "";
    const std::string seed = " -sed " + std::to_string(count);
    const std::string what = " -ns " + std::to_string(count) + " -st " + std::to_string(style);
    const WorldSolid whole = worldSolidOf(pathOf("rockShape"));
    const double wholeVolume = volumeSumOf(whole).volume;
    std::string shatter = "zovShatter" + what + seed + kShatterSettings[settings] + path + " rock";
    std::string line = std::string(kSourceNames[static_cast<int>(source)]) + ": " + shatter;
    if (count > kMostSeedsAsked) {
      run("createNode ShatterLocator -n rockPreview -p rock");
      const std::string preview = "zovShatterPreview -dp" + what + seed + kPreviewSettings[settings] + path;
      ASSERT_TRUE(runs(preview + " rockShape")) << preview;
      shatter = "zovShatter rock";
      line = std::string(kSourceNames[static_cast<int>(source)]) + ": " + preview + " rockShape; " + shatter;
    }
    std::vector<std::string> groups;
    zovhost::testing::clearLogs();
    if (!runs(shatter, &groups)) {
      // A pattern whose points all fall on one spot leaves a single seed:
      // the object is refused with its reason, and nothing is made.
      EXPECT_TRUE(hasMessage(MessageKind::Warning, "rockShape excluded from shattering because it needs at least two"))
          << line;
      EXPECT_TRUE(nodesOfType("zovVoronoiNode").empty()) << line;
      return;
    }
    ASSERT_EQ(groups.size(), 1u) << line;
    zovhost::testing::flushIdleQueue();

    std::vector<WorldSolid> shards;
    double sum = 0.0;
    for (const std::string& child : childrenOf("rockShatterGroup")) {
      const MDagPath shard = pathOf(child);
      if (!shard.hasFn(MFn::kMesh)) continue;
      EXPECT_TRUE(isClosed(shard)) << line << ": " << child;
      shards.push_back(worldSolidOf(shard));
      sum += volumeSumOf(shards.back()).volume;
    }
    ASSERT_GE(shards.size(), 2u) << line;
    EXPECT_NEAR(sum / wholeVolume, 1.0, 1e-6) << line;

    // The seeds the record keeps, in world space.
    voronoiNode* record = shattertest::recordOf(pathOf("rockShape"));
    ASSERT_NE(record, nullptr) << line;
    const MMatrix toWorld = pathOf("rockShape").inclusiveMatrix();
    std::vector<MPoint> seeds;
    MPoint p;
    for (unsigned int i = 0; i < voronoiNode::numVoroPoints(record); ++i)
      seeds.push_back(voronoiNode::getVoroPoint(record, p, i, false) * toWorld);
    MBoundingBox box;
    for (const MPoint& q : whole.points) box.expand(q);
    const double slack = 1e-6 * (box.max() - box.min()).length();
    EXPECT_EQ(firstOverlap(shards, seeds, slack), "") << line;
  }
};

TEST_P(ShatterVolumes, EveryCountGivesShardsThatTileTheSource) {
  const auto [source, style] = GetParam();
  for (int settings = 0; settings < 2; ++settings)
    for (const int count : countsOf(2 * static_cast<int>(source) + settings)) {
      shatterAndCheck(source, style, settings, count);
      if (HasFatalFailure() || HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPattern, ShatterVolumes,
                         ::testing::Combine(::testing::Values(Source::kCube, Source::kTurnedCube, Source::kSphere,
                                                              Source::kPrism),
                                            ::testing::ValuesIn(kStyles)),
                         [](const ::testing::TestParamInfo<std::tuple<Source, int>>& info) {
                           return std::string(kSourceNames[static_cast<int>(std::get<0>(info.param))]) + "Style" +
                                  std::to_string(std::get<1>(info.param));
                         });

}  // namespace
