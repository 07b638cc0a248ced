#include <GL/gl.h>
#include <maya/M3dView.h>
#include <maya/MDrawContext.h>
#include <maya/MDrawRegistry.h>
#include <maya/MFnCamera.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPxDrawOverride.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MSelectionList.h>
#include <maya/MStateManager.h>
#include <maya/MUIDrawManager.h>
#include <maya/MUserData.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "HostFixture.h"
#include "support/HostLookups.h"
#include "support/PngReading.h"
#include "support/ScratchFile.h"
#include "testing/RenderTesting.h"

namespace {

namespace testing = zovhost::testing;
using MHWRender::MFrameContext;
using MHWRender::MRasterizerState;
using MHWRender::MRasterizerStateDesc;
using MHWRender::MStateManager;

/// What the viewport asked of the drawn locator and its override, in order.
std::vector<std::string> g_calls;
int g_liveData = 0;
int g_liveOverrides = 0;
/// Where the draw callback's and the legacy draw's matrices put the object's origin (clip x, y).
double g_originX = 0.0, g_originY = 0.0;
M3dView::DisplayStyle g_style = M3dView::kBoundingBox;
M3dView::DisplayStatus g_status = M3dView::kNoStatus;
bool g_deleteAfterUse = false;
std::string g_camera;

struct CountedData : MHWRender::MUserData {
  explicit CountedData(bool deleteAfterUse) : MHWRender::MUserData(deleteAfterUse) { ++g_liveData; }
  ~CountedData() override { --g_liveData; }
};

class DrawnLocator : public MPxLocatorNode {
 public:
  static void* creator() { return new DrawnLocator; }
  static MStatus initialize() { return MS::kSuccess; }
  static const MTypeId id;

  void draw(M3dView&, const MDagPath&, M3dView::DisplayStyle style, M3dView::DisplayStatus status) override {
    GLdouble modelView[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    // The origin through both (column vectors): the last columns.
    const double x = projection[0] * modelView[12] + projection[4] * modelView[13] + projection[8] * modelView[14] +
                     projection[12] * modelView[15];
    const double w = projection[3] * modelView[12] + projection[7] * modelView[13] + projection[11] * modelView[14] +
                     projection[15] * modelView[15];
    g_originX = x / w;
    g_style = style;
    g_status = status;
    g_calls.push_back("draw");
  }
};
const MTypeId DrawnLocator::id(0x7A0001);

class RecordingOverride : public MHWRender::MPxDrawOverride {
 public:
  explicit RecordingOverride(const MObject& object) : MPxDrawOverride(object, callback) { ++g_liveOverrides; }
  ~RecordingOverride() override { --g_liveOverrides; }
  static MPxDrawOverride* creator(const MObject& object) { return new RecordingOverride(object); }

  MHWRender::DrawAPI supportedDrawAPIs() const override { return MHWRender::kAllDevices; }
  bool isBounded(const MDagPath&, const MDagPath&) const override { return note("isBounded", true); }
  MBoundingBox boundingBox(const MDagPath&, const MDagPath&) const override {
    note("boundingBox", true);
    return MBoundingBox();
  }
  bool disableInternalBoundingBoxDraw() const override { return note("disableInternalBoundingBoxDraw", true); }
  MHWRender::MUserData* prepareForDraw(const MDagPath&, const MDagPath& camera, const MFrameContext&,
                                       MHWRender::MUserData* old) override {
    g_calls.push_back(old ? "prepareForDraw again" : "prepareForDraw");
    g_camera = MFnDependencyNode(camera.node()).name().str();
    return old ? old : new CountedData(g_deleteAfterUse);
  }
  bool hasUIDrawables() const override { return note("hasUIDrawables", true); }
  void addUIDrawables(const MDagPath&, MHWRender::MUIDrawManager& manager, const MFrameContext&,
                      const MHWRender::MUserData*) override {
    g_calls.push_back("addUIDrawables");
    manager.text(MPoint(), "outside a drawable");
    manager.beginDrawable();
    manager.setColor(MColor(0.0f, 1.0f, 0.0f));
    manager.setFontSize(MHWRender::MUIDrawManager::kSmallFontSize);
    manager.text(MPoint(0.0, -0.5, 0.0), "label", MHWRender::MUIDrawManager::kCenter);
    manager.endDrawable();
  }

  static void callback(const MHWRender::MDrawContext& context, const MHWRender::MUserData* data) {
    g_calls.push_back(data ? "callback" : "callback without data");
    const MMatrix wvp = context.getMatrix(MFrameContext::kWorldViewProjMtx);
    const MPoint origin = MPoint() * wvp;
    g_originX = origin.x / origin.w;
    g_originY = origin.y / origin.w;
    MStatus status;
    context.getMatrix(static_cast<MFrameContext::MatrixType>(24), &status);
    EXPECT_FALSE(status);
    const MMatrix world = context.getMatrix(MFrameContext::kWorldMtx);
    EXPECT_TRUE((context.getMatrix(MFrameContext::kWorldInverseMtx) * world).isEquivalent(MMatrix(), 1e-12));
    ASSERT_NE(context.getStateManager(), nullptr);
    const MRasterizerState* current = context.getStateManager()->getRasterizerState();
    EXPECT_EQ(current, testing::defaultRasterizerState());
    MStateManager::releaseRasterizerState(current);
  }

 private:
  static bool note(const char* call, bool answer) {
    g_calls.push_back(call);
    return answer;
  }
};

class SceneViewport : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_calls.clear();
    g_deleteAfterUse = false;
    const MString classification("drawdb/geometry/drawnLocator");
    ASSERT_TRUE(testPlugin().registerNode("drawnLocator", DrawnLocator::id, DrawnLocator::creator,
                                          DrawnLocator::initialize, MPxNode::kLocatorNode, &classification));
    ASSERT_TRUE(
        MHWRender::MDrawRegistry::registerDrawOverrideCreator(classification, "tests", RecordingOverride::creator));
    run("createNode transform -n holder");
    run("createNode drawnLocator -p holder -n marker");
    run("setAttr holder.translateX 3");
  }

  static void run(const std::string& line) { ASSERT_TRUE(MGlobal::executeCommand(line.c_str())) << line; }
  static MDagPath path(const std::string& name) { return zovtest::pathNamed(name); }
};

TEST_F(SceneViewport, DefaultCamerasAreMadeWhenAViewAsksAndReadAsTheirPlacesSay) {
  EXPECT_FALSE(path("persp").isValid());
  ASSERT_EQ(testing::renderView("front", 8, 8, "opengl").width, 8);
  struct Case {
    const char* name;
    MVector view, up, right;
    MPoint eye;
  };
  const Case cases[] = {
      {"front", {0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {0, 0, 100}},
      {"top", {0, -1, 0}, {0, 0, -1}, {1, 0, 0}, {0, 100, 0}},
      {"side", {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {100, 0, 0}},
  };
  for (const Case& c : cases) {
    const MFnCamera camera(path(c.name));
    EXPECT_TRUE(camera.isOrtho()) << c.name;
    EXPECT_DOUBLE_EQ(camera.orthoWidth(), 30.0) << c.name;
    EXPECT_TRUE(camera.viewDirection(MSpace::kWorld).isEquivalent(c.view, 1e-9)) << c.name;
    EXPECT_TRUE(camera.upDirection(MSpace::kWorld).isEquivalent(c.up, 1e-9)) << c.name;
    EXPECT_TRUE(camera.rightDirection(MSpace::kWorld).isEquivalent(c.right, 1e-9)) << c.name;
    EXPECT_TRUE(camera.eyePoint(MSpace::kWorld).isEquivalent(c.eye, 1e-9)) << c.name;
    EXPECT_TRUE(camera.centerOfInterestPoint(MSpace::kWorld).isEquivalent(MPoint(), 1e-9)) << c.name;
  }
  // The perspective camera looks at the origin; a 35 mm lens on a 1.41732 inch
  // gate sees 2 atan(18 / 35) across.
  const MFnCamera persp(path("persp"));
  EXPECT_FALSE(persp.isOrtho());
  EXPECT_NEAR(persp.horizontalFieldOfView(), 2.0 * std::atan(0.5 * 1.41732 * 25.4 / 35.0), 1e-12);
  EXPECT_LT(persp.centerOfInterestPoint(MSpace::kWorld).distanceTo(MPoint()), 0.05);
  EXPECT_LT(persp.nearClippingPlane(), persp.farClippingPlane());
  // They are there for good: not deleted, not saved.
  EXPECT_FALSE(MGlobal::executeCommand("delete persp"));
  EXPECT_EQ(testing::sceneText().find("persp"), std::string::npos);
}

TEST_F(SceneViewport, AnOverrideIsAskedInOrderAndKeepsItsDataFromFrameToFrame) {
  for (const char* renderer : {"opengl", "core", "dx"}) {
    g_calls.clear();
    ASSERT_EQ(testing::renderView("front", 16, 16, renderer).width, 16) << renderer;
    testing::renderView("front", 16, 16, renderer);
    const std::vector<std::string> frame = {"isBounded", "boundingBox", "disableInternalBoundingBoxDraw"};
    std::vector<std::string> expected = frame;
    expected.insert(expected.end(), {"prepareForDraw", "callback", "hasUIDrawables", "addUIDrawables"});
    expected.insert(expected.end(), frame.begin(), frame.end());
    expected.insert(expected.end(), {"prepareForDraw again", "callback", "hasUIDrawables", "addUIDrawables"});
    if (std::string(renderer) != "opengl") expected[3] = "prepareForDraw again";
    EXPECT_EQ(g_calls, expected) << renderer;
    // The front camera sees 30 units across: x = 3 is a tenth of the way
    // from the centre to the right edge.
    EXPECT_NEAR(g_originX, 0.2, 1e-12) << renderer;
    EXPECT_NEAR(g_originY, 0.0, 1e-12) << renderer;
    EXPECT_EQ(g_camera, "frontShape");
  }
  EXPECT_EQ(g_liveOverrides, 1);
  EXPECT_EQ(g_liveData, 1);
  const std::vector<MHWRender::MUIDrawManager::Text> texts = testing::uiTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, MString("label"));
  EXPECT_EQ(texts[0].color, MColor(0.0f, 1.0f, 0.0f));
  EXPECT_EQ(texts[0].fontSize, 9u);
  EXPECT_EQ(texts[0].alignment, MHWRender::MUIDrawManager::kCenter);
  EXPECT_TRUE(texts[0].position.isEquivalent(MPoint(0.0, -0.5, 0.0)));

  // The node's override and data go with the node.
  run("delete holder");
  testing::renderView("front", 16, 16, "opengl");
  EXPECT_EQ(g_liveOverrides, 0);
  EXPECT_EQ(g_liveData, 0);
}

TEST_F(SceneViewport, DataDeletedAfterUseIsGoneAfterEachFrameAndTheCreatorTakesItsOverridesAlong) {
  g_deleteAfterUse = true;
  testing::renderView("front", 16, 16, "opengl");
  testing::renderView("front", 16, 16, "opengl");
  EXPECT_EQ(g_liveData, 0);
  EXPECT_EQ(std::count(g_calls.begin(), g_calls.end(), "prepareForDraw"), 2);
  EXPECT_EQ(g_liveOverrides, 1);
  ASSERT_TRUE(MHWRender::MDrawRegistry::deregisterDrawOverrideCreator("drawdb/geometry/drawnLocator", "tests"));
  EXPECT_EQ(g_liveOverrides, 0);
}

TEST_F(SceneViewport, TheLegacyViewCallsEachLocatorsDrawWithTheCameraAndTheStyle) {
  struct Case {
    bool wireframe;
    bool selected;
    M3dView::DisplayStyle style;
    M3dView::DisplayStatus status;
  };
  for (const Case& c : {Case{false, false, M3dView::kGouraudShaded, M3dView::kDormant},
                        Case{true, true, M3dView::kWireFrame, M3dView::kLead}}) {
    testing::setWireframe(c.wireframe);
    run(c.selected ? "select -r holder" : "select -cl");
    g_calls.clear();
    ASSERT_EQ(testing::renderView("front", 16, 16, "legacy").width, 16);
    EXPECT_EQ(g_calls, std::vector<std::string>{"draw"});
    // OpenGL keeps its matrices in single precision.
    EXPECT_NEAR(g_originX, 0.2, 1e-6);
    EXPECT_EQ(g_style, c.style);
    EXPECT_EQ(g_status, c.status);
  }
  // Hidden locators are not drawn.
  run("setAttr holder.visibility 0");
  g_calls.clear();
  testing::renderView("front", 16, 16, "legacy");
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(SceneViewport, RasterizerStatesAreSharedByDescriptionAndCounted) {
  const MRasterizerState* fallback = testing::defaultRasterizerState();
  EXPECT_EQ(fallback->desc().cullMode, MRasterizerStateDesc::kCullBack);
  EXPECT_EQ(fallback->desc().fillMode, MRasterizerStateDesc::kFillSolid);
  const unsigned held = testing::rasterizerReferences(fallback);
  MRasterizerStateDesc desc;
  desc.cullMode = MRasterizerStateDesc::kCullNone;
  const MRasterizerState* a = MStateManager::acquireRasterizerState(desc);
  const MRasterizerState* b = MStateManager::acquireRasterizerState(desc);
  EXPECT_EQ(a, b);
  const unsigned both = testing::rasterizerReferences(a);
  EXPECT_TRUE(MStateManager::releaseRasterizerState(b));
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(testing::rasterizerReferences(a), both - 1);
  EXPECT_TRUE(MStateManager::releaseRasterizerState(a));

  // The default state never goes; null and strangers are refused.
  const MRasterizerState* none = nullptr;
  EXPECT_FALSE(MStateManager::releaseRasterizerState(none));
  MStateManager manager;
  EXPECT_FALSE(manager.setRasterizerState(nullptr));
  const MRasterizerState* stranger = reinterpret_cast<const MRasterizerState*>(&desc);
  EXPECT_FALSE(manager.setRasterizerState(stranger));
  for (unsigned i = 0; i < held + 1; ++i) {
    const MRasterizerState* copy = fallback;
    MStateManager::releaseRasterizerState(copy);
  }
  EXPECT_EQ(testing::rasterizerReferences(fallback), 1u);
  EXPECT_EQ(testing::defaultRasterizerState(), fallback);
}

TEST_F(SceneViewport, SnapshotWritesAPictureOfTheAskedSizeAndRefusesBadRequests) {
  const zovtest::ScratchFolder folder("zovSnapshot");
  const std::string file = folder.path + "/view.png";
  run("snapshot -camera side -width 24 -height 12 -renderer legacy -file \"" + file + "\"");
  const DecodedPng picture = readPng(file);
  ASSERT_EQ(picture.width, 24);
  ASSERT_EQ(picture.height, 12);
  const std::array<uint8_t, 3> background = testing::viewBackground();
  EXPECT_TRUE(std::equal(background.begin(), background.end(), picture.at(0, 0)));

  const std::vector<std::string> refused = {"snapshot",
                                            "snapshot -width 0 -file a.png",
                                            "snapshot -height 12x -file a.png",
                                            "snapshot -renderer metal -file a.png",
                                            "snapshot -camera nowhere -file a.png",
                                            "snapshot -camera holder -file a.png",
                                            "snapshot -file \"" + folder.path + "/missing/a.png\"",
                                            "snapshot extra -file a.png"};
  for (const std::string& line : refused) {
    testing::clearLogs();
    EXPECT_FALSE(MGlobal::executeCommand(line.c_str())) << line;
    EXPECT_TRUE(testing::hasMessage(testing::MessageKind::Error, "snapshot: ")) << line;
  }
  EXPECT_EQ(readPng("a.png").width, 0);
}

}  // namespace
