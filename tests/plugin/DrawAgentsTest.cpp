#include <maya/MGlobal.h>
#include <maya/MSceneMessage.h>

#include <string>

#include "DrawFixture.h"
#include "PluginFixture.h"
#include "src/draw/RawFootPrintDrawAgentGL.h"
#include "src/draw/viewportResources.h"

namespace {

using zovhost::RenderImage;

class DrawAgents : public DrawTest {
 protected:
  /// An outlined square, a shaded pentagon, an outlined circle and a point,
  /// placed by a view that moves and shrinks them a little.
  static void drawScene(RawFootPrintDrawAgent& agent) {
    const double view[4][4] = {{0.9, 0, 0, 0}, {0, 0.9, 0, 0}, {0, 0, 0.9, 0}, {0.05, -0.05, 0, 1}};
    agent.worldView = agent.worldViewProjection = MMatrix(view);
    agent.projection = MMatrix();
    const float color[4] = {1.0f, 0.8f, 0.2f, 1.0f}, center[3] = {0.45f, 0.45f, 0.0f}, radius = 0.3f;
    std::copy(color, color + 4, agent.color);
    const float square[12] = {-0.8f, 0.2f, 0, -0.2f, 0.2f, 0, -0.2f, 0.8f, 0, -0.8f, 0.8f, 0};
    float pentagon[15], colors[15] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0, 0, 1, 1};
    for (int i = 0; i < 5; ++i) {
      pentagon[3 * i] = 0.4f * std::cos(1.2566371f * i + 0.3f);
      pentagon[3 * i + 1] = -0.45f + 0.4f * std::sin(1.2566371f * i + 0.3f);
      pentagon[3 * i + 2] = 0.0f;
    }
    // Each begin switches between the uniform-colour and the coloured set-up.
    agent.beginDraw();
    agent.drawPolygon(square, 4);
    agent.endDraw();
    agent.beginDrawColored();
    agent.drawShadedTriangles(pentagon, colors, 5);
    agent.endDraw();
    agent.beginDraw();
    agent.drawAxisCircle(2, center, &radius);
    // A point at the circle's centre: 4 pixels wide, or a square of half
    // side 50 / 800 across x and y.
    agent.drawPoints(MPointArray(1, MPoint(center[0], center[1], 0.0)), MVector::xAxis, MVector::yAxis, 50.0f);
    agent.endDraw();
  }
};

TEST_F(DrawAgents, TheThreeBackEndsDrawTheSameSceneWithinOnePixelOfLineRasterisation) {
  openView(MHWRender::kOpenGL);
  drawScene(*getGLDrawAgent());
  const RenderImage legacy = view();
  identity(*getGLDrawAgent());
  openView(MHWRender::kOpenGLCoreProfile);
  drawScene(freshCoreAgent());
  const RenderImage coreProfile = view();
  getCoreProfileDrawAgent()->releaseCoreProfileDrawAgent();
  openView(MHWRender::kDirectX11);
  drawScene(freshDXAgent());
  const RenderImage direct3D = d3dView();
  getDXDrawAgent()->releaseDXDrawAgent();

  const RenderImage* images[3] = {&legacy, &coreProfile, &direct3D};
  for (int i = 0; i < 3; ++i) {
    // The middle of the square's top side, (-0.5, 0.8), lands at (-0.4, 0.67):
    // window (19.2, 53.4).
    EXPECT_TRUE(shows(*images[i], 19, 53, {255, 204, 51})) << i;
    // The point, at (0.455, 0.355): window (46.6, 43.4).
    EXPECT_TRUE(shows(*images[i], 46, 43, {255, 204, 51})) << i;
    // The pentagon (about 300 pixels) and the outlines (about 100).
    EXPECT_GT(zovhost::testing::litPixels(*images[i]), 400) << i;
    for (int j = 0; j < 3; ++j) {
      if (i == j) continue;
      EXPECT_EQ(zovhost::testing::unmatchedPixels(*images[i], *images[j], 1, 24), 0) << i << " against " << j;
    }
  }
}

TEST_F(DrawAgents, CoreProfileAndDirect3DBoxesAreTheUnitCubeScaledToTheExtentAboutTheOrigin) {
  // A box turned about y and x, so that all twelve edges show, and inside
  // the depth range, which OpenGL clips.
  const double turn[4][4] = {{0.8, 0.36, -0.48, 0}, {0, 0.8, 0.6, 0}, {0.6, -0.48, 0.64, 0}, {0, 0, 0, 1}};
  const double low[3] = {-0.6, -0.6, -0.6}, high[3] = {0.2, 0.4, 0.6};
  RenderImage images[2];
  for (int i = 0; i < 2; ++i) {
    openView(i == 0 ? MHWRender::kOpenGLCoreProfile : MHWRender::kDirectX11);
    RawFootPrintDrawAgent& agent = i == 0 ? static_cast<RawFootPrintDrawAgent&>(freshCoreAgent()) : freshDXAgent();
    agent.worldView = agent.worldViewProjection = MMatrix(turn);
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    std::copy(red, red + 4, agent.color);
    // A fan of no area first: the box still takes positions alone.
    const float none[9] = {};
    agent.beginDrawColored();
    agent.drawShadedTriangles(none, none, 3);
    agent.beginDraw();
    agent.drawBoundingBox(low, high);
    agent.endDraw();
    images[i] = i == 0 ? view() : d3dView();
    // What the agent made goes while its view is current, as at an unload.
    i == 0 ? getCoreProfileDrawAgent()->releaseCoreProfileDrawAgent() : getDXDrawAgent()->releaseDXDrawAgent();
    // The middle of the edge from (-0.4, -0.5, -0.6) to (0.4, -0.5, -0.6)
    // lands at (-0.36, -0.112): window (20.5, 28.4).
    EXPECT_TRUE(shows(images[i], 20, 28, {255, 0, 0})) << i;
  }
  EXPECT_GT(zovhost::testing::litPixels(images[0]), 150);
  EXPECT_EQ(zovhost::testing::unmatchedPixels(images[0], images[1], 1, 1), 0);
  EXPECT_EQ(zovhost::testing::unmatchedPixels(images[1], images[0], 1, 1), 0);
}

TEST_F(DrawTest, UnloadOrTheHostExitingReleasesBothAgentsAndAnyLaterReleaseNothingMore) {
  for (const bool exiting : {false, true}) {
    ASSERT_TRUE(MGlobal::executeCommand(moduleLoadLine()));
    // Draws through the core-profile agent, whose view stays current so
    // that the release happens in its context, and the Direct3D agent.
    openView(MHWRender::kOpenGLCoreProfile);
    RawFootPrintDrawAgentCoreProfile& core = freshCoreAgent();
    const double low[3] = {0, 0, 0}, high[3] = {1, 1, 1};
    core.beginDraw();
    core.drawPolygon(kTriangle, 3);
    core.drawBoundingBox(low, high);
    core.beginDrawColored();
    core.drawShadedTriangles(kTriangle, kTriangleColors, 3);
    core.endDraw();
    const GLuint names[] = {core.colorProgram,      core.uniformProgram,   core.boxVertexArray, core.pointsVertexArray,
                            core.shapesVertexArray, core.boxBuffer,        core.boxIndexBuffer, core.pointsBuffer,
                            core.shapesBuffer,      core.shapesIndexBuffer};
    zovhost::testing::setDrawAPI(MHWRender::kDirectX11);
    RawFootPrintDrawAgentDX& dx = freshDXAgent();
    const auto firstObject = zovhost::testing::d3dObjects().size() + 1;
    dx.beginDraw();
    dx.drawPolygon(kTriangle, 3);
    dx.beginDrawColored();
    dx.drawShadedTriangles(kTriangle, kTriangleColors, 3);

    zovhost::testing::clearLogs();
    if (exiting) {
      zovhost::testing::raiseSceneMessage(MSceneMessage::kMayaExiting);
      const auto lines = zovhost::testing::commands();
      ASSERT_EQ(lines.size(), 2u);
      EXPECT_EQ(lines[0].line + "; " + lines[1].line, "displayColor -dormant \"grid\" 3; savePrefs -colors");
    } else {
      ASSERT_TRUE(MGlobal::executeCommand("unloadPlugin zov"));
    }
    // Every object is gone but the renderer's device and its context, back
    // to the references the device holds.
    for (size_t i = 0; i < std::size(names); ++i) {
      EXPECT_FALSE(i < 2 ? glIsProgram(names[i]) : i < 5 ? glIsVertexArray(names[i]) : glIsBuffer(names[i])) << i;
    }
    for (const zovhost::d3d::ObjectInfo& object : zovhost::testing::d3dObjects()) {
      const bool host =
          object.kind == zovhost::d3d::ObjectKind::Device || object.kind == zovhost::d3d::ObjectKind::Context;
      if (host || object.id >= firstObject) {
        EXPECT_EQ(object.references, host ? 1u : 0u) << object.id;
      }
    }
    EXPECT_EQ(error(), static_cast<GLenum>(GL_NO_ERROR));
    zovhost::testing::clearD3DRecord();
    // The unload after the exit, or a second release after the unload.
    exiting ? (void)MGlobal::executeCommand("unloadPlugin zov") : releaseDrawAgents();
    EXPECT_TRUE(zovhost::testing::d3dCalls().empty()) << exiting;
    EXPECT_EQ(error(), static_cast<GLenum>(GL_NO_ERROR));
  }
}

}  // namespace
