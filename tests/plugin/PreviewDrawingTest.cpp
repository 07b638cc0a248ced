#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "ShatterSupport.h"
#include "engine/MeshFactory.h"
#include "src/shatter/shatterLocatorNode.h"
#include "src/viewport/shatterLocatorDrawVport20.h"
#include "src/viewport/voronoiNodeDrawVport20.h"
#include "testing/HostTesting.h"
#include "testing/RenderTesting.h"

namespace {

namespace testing = zovhost::testing;
using meshtest::pathOf;
using shattertest::childrenOf;
using shattertest::recordOf;
using zovhost::RenderImage;
using Rgb = std::array<int, 3>;

const char* const kRenderers[] = {"legacy", "opengl", "core", "dx"};
constexpr int kSize = 64;
/// The orthographic camera sees this many units across.
constexpr double kViewWidth = 4.0;
constexpr double kPixelsPerUnit = kSize / kViewWidth;
const Rgb kCyan = {0, 255, 255};
const Rgb kBlue = {0, 0, 255};

/// Previews and cells drawn through an orthographic camera down -z.
class PreviewDrawing : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    run("camera -n eye; setAttr eyeShape.orthographic 1; setAttr eye.translateZ 10");
    run("setAttr eyeShape.orthographicWidth " + std::to_string(kViewWidth));
    // Direct3D markers are as large as the camera is far from its centre.
    run("setAttr eyeShape.centerOfInterest 80");
  }
  static RenderImage render(const std::string& renderer) { return testing::renderView("eye", kSize, kSize, renderer); }
  /// The pixel of a point of the z = 0 plane (rows from the bottom).
  static double pixelOf(double coordinate) { return kSize / 2.0 + coordinate * kPixelsPerUnit; }
  static bool near(const uint8_t* p, const Rgb& rgb) {
    return std::abs(p[0] - rgb[0]) <= 2 && std::abs(p[1] - rgb[1]) <= 2 && std::abs(p[2] - rgb[2]) <= 2;
  }
  static bool shownNear(const RenderImage& image, double x, double y, const Rgb& rgb, int reach = 2) {
    for (int v = static_cast<int>(pixelOf(y)) - reach; v <= static_cast<int>(pixelOf(y)) + reach; ++v)
      for (int u = static_cast<int>(pixelOf(x)) - reach; u <= static_cast<int>(pixelOf(x)) + reach; ++u)
        if (u >= 0 && v >= 0 && u < image.width && v < image.height && near(image.pixel(u, v), rgb)) return true;
    return false;
  }
  static int pixelsOf(const RenderImage& image, const Rgb& rgb) {
    int count = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) count += near(image.pixel(x, y), rgb) ? 1 : 0;
    return count;
  }
  static ShatterLocatorNode* locatorUnder(const std::string& cube) {
    meshtest::makeCube(cube, 2.0);
    run("createNode ShatterLocator -n " + cube + "Preview -p " + cube);
    return userNodeOf<ShatterLocatorNode>(node(cube + "Preview"));
  }
  static const MHWRender::MUIDrawManager::Text* label(const std::vector<MHWRender::MUIDrawManager::Text>& texts) {
    for (const auto& text : texts)
      if (text.text == MString(ShatterLocatorNode::label)) return &text;
    return nullptr;
  }
};

TEST_F(PreviewDrawing, PreviewPointsAreCyanAndEarlierSeedsBlueWhereTheyProject) {
  ShatterLocatorNode* locator = locatorUnder("box");
  locator->settings.pointsA.append(MPoint(0.5, 0.75, 0.0));
  locator->settings.pointsA.append(MPoint(-0.25, -0.75, 0.0));
  locator->settings.pointsB.append(MPoint(-1.0, 0.5, 0.0));
  for (const char* renderer : kRenderers) {
    const RenderImage image = render(renderer);
    EXPECT_TRUE(shownNear(image, 0.5, 0.75, kCyan)) << renderer;
    EXPECT_TRUE(shownNear(image, -0.25, -0.75, kCyan)) << renderer;
    EXPECT_TRUE(shownNear(image, -1.0, 0.5, kBlue)) << renderer;
    EXPECT_FALSE(shownNear(image, 1.0, -1.0, kCyan)) << renderer;
    // The label: green, recorded by the view or added by the override.
    const auto texts = std::string(renderer) == "legacy" ? testing::viewTexts() : testing::uiTexts();
    const MHWRender::MUIDrawManager::Text* text = label(texts);
    ASSERT_NE(text, nullptr) << renderer;
    EXPECT_EQ(text->color, MColor(0.0f, 1.0f, 0.0f, 1.0f)) << renderer;
    if (std::string(renderer) != "legacy") {
      // Half the height of the points' box (1.5) below the locator, centred, small.
      EXPECT_EQ(text->position, MPoint(0.0, -0.75, 0.0)) << renderer;
      EXPECT_EQ(text->alignment, MHWRender::MUIDrawManager::kCenter) << renderer;
      EXPECT_EQ(text->fontSize, 9u) << renderer;
    }
  }
}

TEST_F(PreviewDrawing, TheShatterGivesThePreviewItsSeedsInBlue) {
  ShatterLocatorNode* locator = locatorUnder("box");
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 6 -sed 2 boxShape"));
  EXPECT_EQ(pixelsOf(render("opengl"), kBlue), 0);
  ASSERT_TRUE(runs("zovShatter box"));
  testing::flushIdleQueue();
  ASSERT_TRUE(runs("zovShatterPreview -dp -ns 6 -sed 2 -xmn -1 -ymn -1 -zmn -1 -xmx 1 -ymx 1 -zmx 1 boxShape"));
  ASSERT_EQ(locator->settings.pointsB.length(), 6u);
  // The shatter hid the object with its preview; the user shows it again.
  run("setAttr box.visibility 1");
  EXPECT_GT(pixelsOf(render("opengl"), kBlue), 0);
}

TEST_F(PreviewDrawing, NoPointsWhileTheViewMovesAndAnEmptyPreviewShowsOnlyItsLabel) {
  ShatterLocatorNode* locator = locatorUnder("box");
  EXPECT_TRUE(locator->boundingBox().isEmpty());
  for (const char* renderer : kRenderers) {
    const RenderImage image = render(renderer);
    EXPECT_EQ(testing::litPixels(image, testing::viewBackground()), 0) << renderer;
    const auto texts = std::string(renderer) == "legacy" ? testing::viewTexts() : testing::uiTexts();
    EXPECT_NE(label(texts), nullptr) << renderer;
  }
  locator->settings.pointsA.append(MPoint(0.5, 0.5, 0.0));
  testing::setChangingViewContext(true);
  for (const char* renderer : {"opengl", "core", "dx"}) EXPECT_EQ(pixelsOf(render(renderer), kCyan), 0) << renderer;
  testing::setChangingViewContext(false);
  EXPECT_GT(pixelsOf(render("opengl"), kCyan), 0);
}

TEST_F(PreviewDrawing, ShatteredCellsDrawOneGreyOutlinePerCutFaceUntilTheyMove) {
  meshtest::makeCube("box", 2.0);
  ASSERT_TRUE(runs("zovShatter -ns 6 -sed 4 box"));
  testing::flushIdleQueue();
  voronoiNode* record = recordOf(pathOf("box"));
  ASSERT_NE(record, nullptr);
  ASSERT_TRUE(record->drawEnabled);
  // The cut faces of every shard: the truth the display is counted against.
  unsigned int cutFaces = 0;
  for (const std::string& child : childrenOf("boxShatterGroup")) {
    const MDagPath shard = pathOf(child);
    if (!shard.hasFn(MFn::kMesh)) continue;
    for (int f = 0; f < MFnMesh(shard).numPolygons(); ++f) cutFaces += meshtest::tagOf(shard, f) == 1 ? 1 : 0;
  }
  ASSERT_GT(cutFaces, 0u);
  testing::clearD3DRecord();
  render("dx");
  EXPECT_EQ(testing::d3dDraws().size(), cutFaces);
  const Rgb grey = {128, 128, 128};
  for (const char* renderer : kRenderers) EXPECT_GT(pixelsOf(render(renderer), grey), 0) << renderer;

  // Nothing with draw 0, while playing or scrubbing, or once the shards carry bodies.
  const std::string recordName = MFnDependencyNode(record->thisMObject()).name().asChar();
  run("setAttr " + recordName + ".draw 0; getAttr " + recordName + ".cadraw");
  for (const char* renderer : kRenderers) EXPECT_EQ(pixelsOf(render(renderer), grey), 0) << renderer;
  run("setAttr " + recordName + ".draw 1; getAttr " + recordName + ".cadraw");
  for (void (*state)(bool) : {testing::setPlaying, testing::setScrubbing}) {
    state(true);
    for (const char* renderer : kRenderers) EXPECT_EQ(pixelsOf(render(renderer), grey), 0) << renderer;
    state(false);
  }
  EXPECT_GT(pixelsOf(render("legacy"), grey), 0);
  // The cells go as soon as a shard becomes a body, draw left as it was.
  makeSolver();
  const std::string shard = childrenOf("boxShatterGroup")[0];
  ASSERT_TRUE(runs("select -r " + shard + "; new_ZOVBody -shapeType 2"));
  for (const char* renderer : kRenderers) EXPECT_EQ(pixelsOf(render(renderer), grey), 0) << renderer;
  run("setAttr " + recordName + ".draw 1; getAttr " + recordName + ".cadraw");
  EXPECT_EQ(MPlug(record->thisMObject(), voronoiNode::drawAttr).asInt(), 0);
  for (const char* renderer : kRenderers) EXPECT_EQ(pixelsOf(render(renderer), grey), 0) << renderer;
}

TEST_F(PreviewDrawing, ACellFaceOfFortyCornersDrawsItsFirstThirtyTwo) {
  voronoiNode* record = shattertest::makeRecord();
  ASSERT_NE(record, nullptr);
  record->displayCells.reset(createDFmesh(40, 0, 1, 1, 0));
  ZOV_DFmesh& cells = *record->displayCells;
  for (std::uint32_t v = 0; v < 40; ++v)
    cells.vertices[v] = Mgc::MgcVector3(std::cos(v * 0.15707963), std::sin(v * 0.15707963), 0.0);
  allocateBufferChannels(&cells.faces[0], 40, 1, false);
  for (std::uint32_t v = 0; v < 40; ++v) cells.faces[0].vertices[v] = v;
  cells.faces[0].numVertices = 40;
  record->drawEnabled = true;
  ASSERT_TRUE(testing::makeViewCurrent());
  const auto primitives = testing::feedback([record] {
    M3dView view = M3dView::active3dView();
    record->draw(view, MDagPath(), M3dView::kWireFrame, M3dView::kDormant);
  });
  // A polygon drawn as lines comes back as one line per side.
  EXPECT_EQ(testing::countPrimitives(primitives, testing::FeedbackPrimitive::Line), 32u);
}

TEST_F(PreviewDrawing, BothCallbacksLeaveTheRasterizerStateAsTheyFoundItWhateverTheStyle) {
  ShatterLocatorNode* locator = locatorUnder("box");
  locator->settings.pointsA.append(MPoint(0.25, 0.25, 0.0));
  ShatterLocatorDrawData preview;
  preview.previewPoints = locator->settings.pointsA;
  voronoiNode* record = shattertest::makeRecord();
  record->displayCells.reset(createDFmesh(3, 0, 1, 1, 0));
  for (std::uint32_t v = 0; v < 3; ++v) record->displayCells->vertices[v] = Mgc::MgcVector3(0.1 * v, 0.2, 0.0);
  allocateBufferChannels(&record->displayCells->faces[0], 3, 1, false);
  for (std::uint32_t v = 0; v < 3; ++v) record->displayCells->faces[0].vertices[v] = v;
  record->displayCells->faces[0].numVertices = 3;
  voronoiNodeDrawData cells;
  cells.cells = record->displayCells.get();
  cells.drawCells = true;

  MHWRender::MStateManager states;
  for (int api : {MHWRender::kOpenGL, MHWRender::kOpenGLCoreProfile, MHWRender::kDirectX11})
    for (unsigned int style :
         {0u, unsigned(MHWRender::MFrameContext::kGouraudShaded), unsigned(MHWRender::MFrameContext::kWireFrame)})
      for (int which = 0; which < 2; ++which) {
        testing::setDrawAPI(api);
        ASSERT_TRUE(api == MHWRender::kDirectX11 || testing::makeViewCurrent());
        const MHWRender::MRasterizerState* before = states.getRasterizerState();
        const unsigned references = testing::rasterizerReferences(before);
        const MHWRender::MFrameContext frame(MMatrix(), MMatrix(), MMatrix(), style, kSize, kSize);
        if (which == 0)
          ShatterLocatorDrawVport20::drawCallback(MHWRender::MDrawContext(frame, &states), &preview);
        else
          voronoiNodeDrawVport20::drawCallback(MHWRender::MDrawContext(frame, &states), &cells);
        const MHWRender::MRasterizerState* after = states.getRasterizerState();
        EXPECT_EQ(after, before) << api << " style " << style << " callback " << which;
        EXPECT_EQ(testing::rasterizerReferences(before), references + 1) << api << " style " << style;
        MHWRender::MStateManager::releaseRasterizerState(after);
        MHWRender::MStateManager::releaseRasterizerState(before);
      }
}

}  // namespace
