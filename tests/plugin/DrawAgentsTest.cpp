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
  /// The same scene through an agent: an outlined square and a circle in a
  /// uniform colour, then a shaded pentagon; placed by a view that moves
  /// and shrinks it a little.
  static void drawScene(RawFootPrintDrawAgent& agent) {
    const double view[4][4] = {{0.9, 0, 0, 0}, {0, 0.9, 0, 0}, {0, 0, 0.9, 0}, {0.05, -0.05, 0, 1}};
    agent.worldView = MMatrix(view);
    agent.projection.setToIdentity();
    agent.worldViewProjection = agent.worldView * agent.projection;
    const float color[4] = {1.0f, 0.8f, 0.2f, 1.0f};
    std::copy(color, color + 4, agent.color);
    const float square[12] = {-0.8f, 0.2f, 0, -0.2f, 0.2f, 0, -0.2f, 0.8f, 0, -0.8f, 0.8f, 0};
    const float center[3] = {0.45f, 0.45f, 0.0f}, radius = 0.3f;
    float pentagon[15], colors[15] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0, 0, 1, 1};
    for (int i = 0; i < 5; ++i) {
      const double angle = 2.0 * M_PI * i / 5 + 0.3;
      pentagon[3 * i] = 0.4f * static_cast<float>(std::cos(angle));
      pentagon[3 * i + 1] = -0.45f + 0.4f * static_cast<float>(std::sin(angle));
      pentagon[3 * i + 2] = 0.0f;
    }
    agent.beginDraw();
    agent.drawPolygon(square, 4);
    agent.drawAxisCircle(2, center, &radius);
    agent.endDraw();
    agent.beginDrawColored();
    agent.drawShadedTriangles(pentagon, colors, 5);
    agent.endDraw();
  }

  /// Pixels of `a` that have no pixel of nearly their colour in `b` at most
  /// one pixel away (lines of different widths and rasterisation rules
  /// differ by that much).
  static int unmatched(const RenderImage& a, const RenderImage& b) {
    int missing = 0;
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) {
        const uint8_t* p = a.pixel(x, y);
        if (p[0] + p[1] + p[2] == 0) continue;
        bool found = false;
        for (int dy = -1; dy <= 1 && !found; ++dy)
          for (int dx = -1; dx <= 1 && !found; ++dx) {
            if (x + dx < 0 || y + dy < 0 || x + dx >= b.width || y + dy >= b.height) continue;
            const uint8_t* q = b.pixel(x + dx, y + dy);
            found = std::abs(p[0] - q[0]) <= 24 && std::abs(p[1] - q[1]) <= 24 && std::abs(p[2] - q[2]) <= 24;
          }
        missing += !found;
      }
    return missing;
  }
};

TEST_F(DrawAgents, TheThreeBackEndsDrawTheSameScene) {
  openView(MHWRender::kOpenGL);
  drawScene(identity(*getGLDrawAgent()));
  const RenderImage legacy = zovhost::testing::readView();
  identity(*getGLDrawAgent());

  openView(MHWRender::kOpenGLCoreProfile);
  RawFootPrintDrawAgentCoreProfile& core = freshCoreAgent();
  drawScene(core);
  const RenderImage coreProfile = zovhost::testing::readView();
  core.releaseCoreProfileDrawAgent();

  openView(MHWRender::kDirectX11);
  RawFootPrintDrawAgentDX& dx = freshDXAgent();
  drawScene(dx);
  const RenderImage direct3D =
      zovhost::testing::rasterizeD3DDraws(zovhost::testing::d3dDraws(), kSize, kSize, {0.0f, 0.0f, 0.0f, 1.0f});
  dx.releaseDXDrawAgent();

  const RenderImage* images[3] = {&legacy, &coreProfile, &direct3D};
  for (int i = 0; i < 3; ++i) {
    // The middle of the square's top side, (-0.5, 0.8), lands at (-0.4, 0.67):
    // window (19.2, 53.4).
    EXPECT_TRUE(shows(*images[i], 19, 53, {255, 204, 51, 255}, 1)) << i;
    // The pentagon (about 300 pixels) and the outlines (about 100).
    EXPECT_GT(litPixels(*images[i]), 400) << i;
    for (int j = 0; j < 3; ++j) {
      if (i == j) continue;
      EXPECT_EQ(unmatched(*images[i], *images[j]), 0) << i << " against " << j;
    }
  }
}

class DrawAgentRelease : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_TRUE(MGlobal::executeCommand(moduleLoadLine()));
  }

  /// Draws through the core-profile and Direct3D agents; answers the OpenGL
  /// names made.
  std::vector<GLuint> drawWithBoth() {
    openView(MHWRender::kOpenGLCoreProfile);
    RawFootPrintDrawAgentCoreProfile& core = freshCoreAgent();
    const double low[3] = {0, 0, 0}, high[3] = {1, 1, 1};
    core.beginDraw();
    core.drawPolygon(kTriangle, 3);
    core.drawBoundingBox(low, high);
    core.endDraw();
    core.beginDrawColored();
    core.drawShadedTriangles(kTriangle, kTriangleColors, 3);
    core.endDraw();
    // The view stays current: the agents are released in its context.
    zovhost::testing::setDrawAPI(MHWRender::kDirectX11);
    RawFootPrintDrawAgentDX& dx = freshDXAgent();
    m_firstObject = static_cast<unsigned>(zovhost::testing::d3dObjects().size()) + 1;
    dx.beginDraw();
    dx.drawPolygon(kTriangle, 3);
    dx.beginDrawColored();
    dx.drawShadedTriangles(kTriangle, kTriangleColors, 3);
    EXPECT_NE(dx.constantBuffer, nullptr);
    return {core.colorProgram,      core.uniformProgram,   core.boxVertexArray, core.pointsVertexArray,
            core.shapesVertexArray, core.boxBuffer,        core.boxIndexBuffer, core.pointsBuffer,
            core.shapesBuffer,      core.shapesIndexBuffer};
  }

  /// Every object is released, but the device, whose borrowed reference
  /// the module never held, and the context, which the device keeps.
  void expectReleased(const std::vector<GLuint>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_NE(names[i], 0u) << i;
      const GLboolean exists = i < 2 ? glIsProgram(names[i]) : i < 5 ? glIsVertexArray(names[i]) : glIsBuffer(names[i]);
      EXPECT_FALSE(exists) << i;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (const zovhost::d3d::ObjectInfo& object : zovhost::testing::d3dObjects()) {
      const bool host =
          object.kind == zovhost::d3d::ObjectKind::Device || object.kind == zovhost::d3d::ObjectKind::Context;
      if (host || object.id >= m_firstObject) {
        EXPECT_EQ(object.references, host ? 1u : 0u) << object.id;
      }
    }
    EXPECT_EQ(getDXDrawAgent()->context, nullptr);
    EXPECT_EQ(getCoreProfileDrawAgent()->colorProgram, 0u);
  }

 private:
  unsigned m_firstObject = 0;
};

TEST_F(DrawAgentRelease, UnloadingTheModuleReleasesBothAgentsOnce) {
  const std::vector<GLuint> names = drawWithBoth();
  ASSERT_TRUE(MGlobal::executeCommand("unloadPlugin zov"));
  expectReleased(names);
  zovhost::testing::clearD3DRecord();
  releaseDrawAgents();
  EXPECT_TRUE(zovhost::testing::d3dCalls().empty());
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(DrawAgentRelease, TheHostExitingReleasesBothAgentsAndTheUnloadAfterItFreesNothingMore) {
  const std::vector<GLuint> names = drawWithBoth();
  zovhost::testing::clearLogs();
  zovhost::testing::raiseSceneMessage(MSceneMessage::kMayaExiting);
  expectReleased(names);
  std::vector<std::string> lines;
  for (const auto& command : zovhost::testing::commands()) lines.push_back(command.line);
  EXPECT_EQ(lines, (std::vector<std::string>{"displayColor -dormant \"grid\" 3", "savePrefs -colors"}));
  zovhost::testing::clearD3DRecord();
  ASSERT_TRUE(MGlobal::executeCommand("unloadPlugin zov"));
  EXPECT_TRUE(zovhost::testing::d3dCalls().empty());
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(DrawAgentRelease, AgentsThatNeverDrewReleaseNothing) {
  openView(MHWRender::kOpenGLCoreProfile);
  freshCoreAgent();
  freshDXAgent();
  ASSERT_TRUE(MGlobal::executeCommand("unloadPlugin zov"));
  EXPECT_TRUE(zovhost::testing::d3dCalls().empty());
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
