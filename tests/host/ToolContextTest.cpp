#include <maya/M3dView.h>
#include <maya/MEulerRotation.h>
#include <maya/MGlobal.h>
#include <maya/MItMeshEdge.h>
#include <maya/MPxContextCommand.h>
#include <maya/MPxSelectionContext.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <cmath>
#include <string>
#include <vector>

#include "HostFixture.h"
#include "testing/RenderTesting.h"

namespace {

using namespace zovhost::testing;

constexpr double kPi = 3.14159265358979323846;

/// What the test tool was told, in order.
std::vector<std::string> g_toolLog;

/// A selection tool that keeps the host's own handlers and logs its
/// switching on and off.
class LoggingTool : public MPxSelectionContext {
 public:
  LoggingTool() { setTitleString("logging tool"); }
  ~LoggingTool() override { g_toolLog.push_back("destroyed"); }
  void toolOnSetup(MEvent&) override { g_toolLog.push_back("on"); }
  void toolOffCleanup() override { g_toolLog.push_back("off"); }
};

class LoggingToolCommand : public MPxContextCommand {
 public:
  static void* creator() { return new LoggingToolCommand; }
  MPxContext* makeObj() override { return new LoggingTool; }
};

class ToolContexts : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_toolLog.clear();
    ASSERT_TRUE(testPlugin().registerContextCommand("loggingTool", LoggingToolCommand::creator));
  }

  /// Runs a line that must succeed; answers the first word of its result.
  static std::string run(const std::string& line) {
    MStringArray result;
    EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), result)) << line;
    return result.length() > 0 ? result[0].asChar() : std::string();
  }

  /// Three unit cubes along x at -3, 0 and 3, seen from +z by an
  /// orthographic camera 10 units wide in the 64 x 64 port: 6.4 pixels a
  /// unit, the origin at pixel (32, 32).
  static void threeCubesSeenFromFront() {
    run("polyCube -n left; polyCube -n middle; polyCube -n right");
    run("setAttr left.translateX -3; setAttr right.translateX 3");
    const std::string camera = run("camera -n eye");
    run("setAttr " + camera + ".translateZ 20");
    MSelectionList list;
    list.add("eyeShape");
    MDagPath path;
    ASSERT_TRUE(list.getDagPath(0, path));
    run("setAttr eyeShape.orthographic 1; setAttr eyeShape.orthographicWidth 10");
    ASSERT_TRUE(M3dView::active3dView().setCamera(path));
  }
};

TEST_F(ToolContexts, SwitchingToolsCleansUpTheOldAndSetsUpTheNew) {
  EXPECT_EQ(run("currentCtx"), "selectSuperContext");
  const std::string first = run("loggingTool");
  const std::string second = run("loggingTool");
  EXPECT_EQ(first, "loggingTool1");
  EXPECT_EQ(second, "loggingTool2");
  run("setToolTo " + first);
  run("setToolTo " + second);
  run("setToolTo selectSuperContext");
  EXPECT_EQ(g_toolLog, (std::vector<std::string>{"on", "off", "on", "off"}));
  EXPECT_EQ(run("currentCtx"), "selectSuperContext");

  // An unknown tool changes nothing; the host's own tool takes no events.
  run("setToolTo " + first);
  EXPECT_FALSE(MGlobal::executeCommand("setToolTo noSuchTool"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "setToolTo: Object 'noSuchTool' not found."));
  EXPECT_EQ(run("currentCtx"), first);

  // Taking the context command away cleans the current tool up first.
  g_toolLog.clear();
  ASSERT_TRUE(testPlugin().deregisterContextCommand("loggingTool"));
  EXPECT_EQ(g_toolLog, (std::vector<std::string>{"off", "destroyed", "destroyed"}));
  EXPECT_EQ(run("currentCtx"), "selectSuperContext");
  EXPECT_FALSE(MGlobal::executeCommand("viewEvent -press 1 1"));
}

TEST_F(ToolContexts, BadViewEventsAreRefused) {
  run("setToolTo " + run("loggingTool"));
  for (const char* line :
       {"viewEvent 1 1", "viewEvent -press -release 1 1", "viewEvent -press 1", "viewEvent -press a 1",
        "viewEvent -press -1 1", "viewEvent -press 1 40000", "viewEvent -press -alt 1 1"})
    EXPECT_FALSE(MGlobal::executeCommand(line)) << line;
  // A release without a press has no marquee to end.
  EXPECT_FALSE(MGlobal::executeCommand("viewEvent -release 1 1"));
}

TEST_F(ToolContexts, AMarqueePicksTheObjectsItMeetsThroughTheViewsCamera) {
  threeCubesSeenFromFront();
  run("setToolTo " + run("loggingTool"));
  // Each case: the selection before, the marquee's corners, the modifiers,
  // the selection after. The left cube covers pixels 9.6 .. 16 across, the
  // middle one 28.8 .. 35.2, the right one 48 .. 54.4; all 28.8 .. 35.2 up.
  struct Case {
    const char* before;
    const char* from;
    const char* to;
    const char* modifiers;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {"right", "5 20", "40 40", "", {"left", "middle"}},
      {"right", "40 40", "5 20", "", {"left", "middle"}},  // dragged the other way
      {"right", "17 20", "28 40", "", {}},                 // between two cubes
      {"right", "5 36", "60 60", "", {}},                  // above them all
      {"middle", "5 20", "40 40", "-shift", {"left"}},     // toggled
      {"middle right", "5 20", "40 40", "-control", {"right"}},
      {"right", "5 20", "20 40", "-shift -control", {"right", "left"}},
      {"", "50 30", "50 30", "", {"right"}},  // a click on a cube
  };
  for (const Case& c : cases) {
    run(std::string("select -cl; select ") + c.before);
    run(std::string("viewEvent -press ") + c.modifiers + " " + c.from);
    run(std::string("viewEvent -drag 1 1"));
    run(std::string("viewEvent -release ") + c.modifiers + " " + c.to);
    EXPECT_EQ(selectedNames(), c.after) << c.from << " to " << c.to << " " << c.modifiers;
  }
  // Behind the camera nothing is seen.
  run("setAttr eye.translateZ -20; select -cl");
  EXPECT_TRUE(MGlobal::selectFromScreen(0, 0, 63, 63, MGlobal::kReplaceList));
  EXPECT_TRUE(selectedNames().empty());
}

TEST_F(ToolContexts, TheSelectionModeAndMasksAreKeptUntilTheHostIsReset) {
  const auto type = [](int number) { return static_cast<MSelectionMask::SelectionType>(number); };
  EXPECT_EQ(MGlobal::selectionMode(), MGlobal::kSelectObjectMode);
  MSelectionMask edges(type(29));
  edges.addMask(type(31));
  ASSERT_TRUE(MGlobal::setSelectionMode(MGlobal::kSelectComponentMode));
  ASSERT_TRUE(MGlobal::setComponentSelectionMask(edges));
  ASSERT_TRUE(MGlobal::setObjectSelectionMask(MSelectionMask(type(12))));
  EXPECT_EQ(MGlobal::selectionMode(), MGlobal::kSelectComponentMode);
  EXPECT_TRUE(MGlobal::componentSelectionMask() == edges);
  EXPECT_TRUE(MGlobal::componentSelectionMask().intersects(type(31)));
  EXPECT_FALSE(MGlobal::componentSelectionMask().intersects(type(12)));
  EXPECT_TRUE(MGlobal::objectSelectionMask() == MSelectionMask(type(12)));
  EXPECT_FALSE(MGlobal::setSelectionMode(static_cast<MGlobal::MSelectionMode>(7)));
  zovhost::testing::resetHost();
  EXPECT_EQ(MGlobal::selectionMode(), MGlobal::kSelectObjectMode);
  EXPECT_TRUE(MGlobal::componentSelectionMask() == MSelectionMask());
}

TEST_F(ToolContexts, MeshEdgesKnowTheirFacesAndLengths) {
  // Each case: the mesh, its edge count (Euler: V - E + F = 2 for a closed
  // surface, 1 for a disc), how many edges lie on a border, and the sum of
  // the edge lengths.
  struct Case {
    const char* line;
    int edges;
    int border;
    double totalLength;
  };
  const Case cases[] = {
      {"polyCube -w 2 -h 1 -d 1 -n solid", 12, 0, 4 * 2.0 + 4 * 1.0 + 4 * 1.0},
      {"polyPlane -w 2 -h 2 -sx 2 -sy 2 -n solid", 12, 8, 12 * 1.0},
      {"polyPlane -w 3 -h 1 -sx 1 -sy 1 -n solid", 4, 4, 2 * 3.0 + 2 * 1.0},
  };
  for (const Case& c : cases) {
    zovhost::testing::resetHost();
    run(c.line);
    MSelectionList list;
    list.add("solid");
    MDagPath path;
    ASSERT_TRUE(list.getDagPath(0, path));
    MStatus status;
    MItMeshEdge edge(path, MObject::kNullObj, &status);
    ASSERT_TRUE(status) << c.line;
    EXPECT_EQ(edge.count(), c.edges) << c.line;
    int border = 0, seen = 0;
    double total = 0.0;
    for (; !edge.isDone(); edge.next(), ++seen) {
      EXPECT_EQ(edge.index(), seen);
      int faces = 0;
      ASSERT_TRUE(edge.numConnectedFaces(faces));
      EXPECT_TRUE(faces == 1 || faces == 2) << c.line;
      EXPECT_EQ(edge.onBoundary(), faces == 1);
      if (faces == 1) ++border;
      double length = 0.0;
      ASSERT_TRUE(edge.getLength(length));
      EXPECT_NEAR(length, edge.point(0).distanceTo(edge.point(1)), 1e-12);
      total += length;
    }
    EXPECT_EQ(seen, c.edges) << c.line;
    EXPECT_EQ(border, c.border) << c.line;
    EXPECT_NEAR(total, c.totalLength, 1e-6) << c.line;
  }
  // World lengths take the transform's scale.
  run("setAttr solid.scaleX 2");
  MSelectionList list;
  list.add("solid");
  MDagPath path;
  ASSERT_TRUE(list.getDagPath(0, path));
  double longest = 0.0;
  for (MItMeshEdge edge(path); !edge.isDone(); edge.next()) {
    double length = 0.0;
    ASSERT_TRUE(edge.getLength(length, MSpace::kWorld));
    longest = std::max(longest, length);
  }
  EXPECT_NEAR(longest, 6.0, 1e-6);
}

TEST(EulerRotations, AreEquivalentWhenTheyTurnTheSameWay) {
  struct Case {
    MEulerRotation a;
    MEulerRotation b;
    double tolerance;
    bool equivalent;
  };
  const Case cases[] = {
      {MEulerRotation(0, 0, 0), MEulerRotation(0, 0, 0), 0.0, true},
      {MEulerRotation(0, 0, 0), MEulerRotation(2 * kPi, 0, 0), 1e-6, true},
      {MEulerRotation(0.1, 0, 0), MEulerRotation(0.2, 0, 0), 0.01, false},
      {MEulerRotation(0.1, 0, 0), MEulerRotation(0.2, 0, 0), 0.2, true},
      // A half turn about x then y is a half turn about z.
      {MEulerRotation(kPi, kPi, 0), MEulerRotation(0, 0, kPi), 1e-9, true},
      // The same orientation in another order.
      {MEulerRotation(0.3, -0.2, 0.5), MEulerRotation(0.3, -0.2, 0.5).reorder(MEulerRotation::kZYX), 1e-9, true},
      {MEulerRotation(0.3, -0.2, 0.5), MEulerRotation(0.3, -0.2, 0.5, MEulerRotation::kZYX), 1e-3, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a.isEquivalent(c.b, c.tolerance), c.equivalent)
        << c.a.x << " " << c.a.y << " " << c.a.z << " against " << c.b.x << " " << c.b.y << " " << c.b.z;
    EXPECT_EQ(c.b.isEquivalent(c.a, c.tolerance), c.equivalent);
  }
}

}  // namespace
