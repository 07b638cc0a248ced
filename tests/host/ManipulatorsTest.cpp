#include <GL/gl.h>
#include <maya/M3dView.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnFreePointTriadManip.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MPxManipContainer.h>
#include <maya/MSelectionList.h>

#include <string>
#include <vector>

#include "HostFixture.h"
#include "testing/RenderTesting.h"

namespace {

using namespace zovhost::testing;

/// What the containers were asked to do, in order.
std::vector<std::string> g_manipLog;

/// A locator with an array of points, each of which may get a handle.
class HandleLocator : public MPxLocatorNode {
 public:
  static void* creator() { return new HandleLocator; }
  static MStatus initialize() {
    MFnNumericAttribute numeric;
    points = numeric.create("points", "pts", MFnNumericData::k3Double, 0.0);
    numeric.setArray(true);
    MStatus status = addAttribute(points);
    if (status) status = MPxManipContainer::addToManipConnectTable(id);
    return status;
  }
  static MTypeId id;
  static MObject points;
};
MTypeId HandleLocator::id(0x7F0A01);
MObject HandleLocator::points;

/// Two handles: the first on element 0 of "points", the second hidden.
class HandleLocatorManip : public MPxManipContainer {
 public:
  static void* creator() { return new HandleLocatorManip; }
  MStatus createChildren() override {
    g_manipLog.push_back("createChildren");
    paths[0] = addFreePointTriadManip("pointManip", "freePoint");
    paths[1] = addFreePointTriadManip("pointManip", "freePoint");
    return MS::kSuccess;
  }
  MStatus connectToDependNode(const MObject& node) override {
    g_manipLog.push_back("connect " + std::string(MFnDependencyNode(node).name().asChar()));
    const MPlug element = MPlug(node, HandleLocator::points).elementByLogicalIndex(0);
    MFnFreePointTriadManip first(paths[0]);
    first.connectToPointPlug(element);
    first.setPoint(MPoint(element.child(0).asDouble(), element.child(1).asDouble(), element.child(2).asDouble()));
    MFnFreePointTriadManip(paths[1]).hide();
    finishAddingManips();
    return MPxManipContainer::connectToDependNode(node);
  }
  MStatus doDrag() override {
    const MPlug element = MPlug(connectedNode(), HandleLocator::points).elementByLogicalIndex(0);
    g_manipLog.push_back("drag " + std::to_string(element.child(0).asDouble()));
    return MS::kSuccess;
  }
  MStatus doRelease() override {
    g_manipLog.push_back("release");
    return MS::kSuccess;
  }
  MDagPath paths[2];
};

class Manipulators : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_manipLog.clear();
    ASSERT_TRUE(testPlugin().registerNode("handleLocator", HandleLocator::id, HandleLocator::creator,
                                          HandleLocator::initialize, MPxNode::kLocatorNode));
    ASSERT_TRUE(testPlugin().registerNode("handleLocatorManip", MTypeId(0x7F0A02), HandleLocatorManip::creator,
                                          MPxManipContainer::initialize, MPxNode::kManipContainer));
  }
  static void run(const std::string& line) { ASSERT_TRUE(MGlobal::executeCommand(line.c_str())) << line; }
};

TEST_F(Manipulators, TheShowToolBuildsTheContainerOfASelectedNodeInTheConnectTable) {
  EXPECT_EQ(zovhost::testing::manipulatorConnectTable(), std::vector<unsigned int>{0x7F0A01});
  run("createNode transform -n holder");
  run("createNode handleLocator -n handles -p holder");
  run("setAttr handles.points[0] 1 2 3");
  // A selected transform stands for its shapes; nodes of other types get none.
  run("polyCube -n box");
  run("select -r holder box");
  run("setToolTo ShowManips");
  EXPECT_EQ(g_manipLog, (std::vector<std::string>{"createChildren", "connect handles"}));
  const auto shown = zovhost::testing::shownManipulators();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].name, "pointManip");
  EXPECT_TRUE(shown[0].visible);
  EXPECT_EQ(shown[0].point, MPoint(1.0, 2.0, 3.0));
  EXPECT_FALSE(shown[1].visible);

  // Another tool takes the handles away; so does deleting the node.
  run("setToolTo selectSuperContext");
  EXPECT_TRUE(zovhost::testing::shownManipulators().empty());
  run("setToolTo ShowManips");
  EXPECT_EQ(zovhost::testing::shownManipulators().size(), 2u);
  run("delete handles");
  EXPECT_TRUE(zovhost::testing::shownManipulators().empty());
}

TEST_F(Manipulators, AScriptedDragWritesThePlugThenDragsAndReleases) {
  run("createNode transform -n holder");
  run("createNode handleLocator -n handles -p holder");
  run("select -r handles");
  run("setToolTo ShowManips");
  g_manipLog.clear();
  run("dragManip 0 4 -5 6.5");
  // The plug holds the new point before doDrag reads it.
  EXPECT_EQ(g_manipLog, (std::vector<std::string>{"drag 4.000000", "release"}));
  MSelectionList list;
  list.add("handles");
  MObject node;
  list.getDependNode(0, node);
  const MPlug element = MPlug(node, HandleLocator::points).elementByLogicalIndex(0);
  EXPECT_DOUBLE_EQ(element.child(1).asDouble(), -5.0);
  EXPECT_EQ(zovhost::testing::shownManipulators()[0].point, MPoint(4.0, -5.0, 6.5));

  // Bad drags change nothing and say why.
  for (const char* line : {"dragManip 1 0 0 0", "dragManip 2 0 0 0", "dragManip 0 0 0", "dragManip x 0 0 0"}) {
    g_manipLog.clear();
    EXPECT_FALSE(MGlobal::executeCommand(line)) << line;
    EXPECT_TRUE(g_manipLog.empty()) << line;
  }
  EXPECT_TRUE(hasMessage(MessageKind::Error, "dragManip: manipulator 1 is hidden"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "dragManip: no manipulator 2 is shown"));
  EXPECT_DOUBLE_EQ(element.child(1).asDouble(), -5.0);
}

TEST_F(Manipulators, TheFunctionSetRefusesWhatIsNoManipulatorAndPlugsOfNoPoint) {
  MFnFreePointTriadManip none{MDagPath()};
  EXPECT_FALSE(none.setPoint(MPoint(1.0, 0.0, 0.0)));
  EXPECT_FALSE(none.show());
  run("createNode transform -n holder");
  run("createNode handleLocator -n handles -p holder");
  run("select -r handles");
  run("setToolTo ShowManips");
  MSelectionList list;
  list.add("handles");
  MObject node;
  list.getDependNode(0, node);
  // A manipulator connects to three numbers, not to an array or a single number.
  HandleLocatorManip manip;
  const MDagPath path = manip.addFreePointTriadManip("m", "p");
  MFnFreePointTriadManip fn(path);
  EXPECT_FALSE(fn.connectToPointPlug(MPlug(node, HandleLocator::points)));
  EXPECT_FALSE(fn.connectToPointPlug(MPlug(node, HandleLocator::points).elementByLogicalIndex(0).child(0)));
  EXPECT_TRUE(fn.connectToPointPlug(MPlug(node, HandleLocator::points).elementByLogicalIndex(3)));
  EXPECT_TRUE(fn.isVisible());
  fn.hide();
  EXPECT_FALSE(fn.isVisible());
}

TEST_F(Manipulators, TheBaseDrawSendsTheShownHandlesPoints) {
  // The base draw sends one vertex for each shown handle; the caller chose points.
  ASSERT_TRUE(zovhost::testing::makeViewCurrent());
  const auto primitives = zovhost::testing::feedback([] {
    M3dView view = M3dView::active3dView();
    glBegin(GL_POINTS);
    HandleLocatorManip container;
    container.createChildren();
    MFnFreePointTriadManip(container.paths[0]).setPoint(MPoint(0.25, 0.5, 0.0));
    MFnFreePointTriadManip(container.paths[1]).hide();
    container.MPxManipContainer::draw(view, MDagPath(), M3dView::kWireFrame, M3dView::kActive);
    glEnd();
  });
  ASSERT_EQ(zovhost::testing::countPrimitives(primitives, zovhost::testing::FeedbackPrimitive::Point), 1u);
  EXPECT_NEAR(primitives[0].vertices[0][0], 0.25, 1e-6);
  EXPECT_NEAR(primitives[0].vertices[0][1], 0.5, 1e-6);
}

TEST_F(Manipulators, ViewTextIsRecordedInTheCurrentColour) {
  M3dView view = M3dView::active3dView();
  ASSERT_TRUE(view.beginGL());
  glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
  EXPECT_TRUE(view.drawText("label", MPoint(1.0, 2.0, 3.0), M3dView::kCenter));
  view.endGL();
  const auto texts = zovhost::testing::viewTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, MString("label"));
  EXPECT_EQ(texts[0].position, MPoint(1.0, 2.0, 3.0));
  EXPECT_EQ(texts[0].alignment, MHWRender::MUIDrawManager::kCenter);
  EXPECT_EQ(texts[0].color, MColor(0.0f, 1.0f, 0.0f, 1.0f));
  zovhost::testing::clearViewTexts();
  EXPECT_TRUE(zovhost::testing::viewTexts().empty());
}

}  // namespace
