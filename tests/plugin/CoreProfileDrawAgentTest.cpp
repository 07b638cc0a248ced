#include <cstring>
#include <string>

#include "DrawFixture.h"

namespace {

class CoreProfileAgent : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    openView(MHWRender::kOpenGLCoreProfile);
    agent = &freshCoreAgent();
  }
  void TearDown() override {
    agent->releaseCoreProfileDrawAgent();
    DrawTest::TearDown();
  }

  template <typename T>
  static std::vector<T> contents(GLuint buffer) {
    return zovhost::testing::valuesOf<T>(zovhost::testing::readGLBuffer(buffer));
  }

  RawFootPrintDrawAgentCoreProfile* agent = nullptr;
};

TEST_F(CoreProfileAgent, OutlinesCloseTheirFirst32PointsCirclesLieInTheirPlaneAndFansTakeThreeTo32Corners) {
  const std::vector<float> ring33 = ring(33);
  agent->beginDraw();
  agent->drawPolygon(ring33.data(), 33);
  EXPECT_EQ(contents<uint16_t>(agent->shapesIndexBuffer), closedLoop(32));
  const float center[3] = {0.1f, -0.2f, 0.3f}, radius = 0.4f;
  // Axis, then the coordinate that stays at the centre's: XZ, or XY for axis 2.
  for (const auto& axis : {std::array<unsigned int, 2>{0, 1}, {1, 1}, {2, 2}, {5, 1}}) {
    agent->drawAxisCircle(axis[0], center, &radius);
    const std::vector<float> points = contents<float>(agent->shapesBuffer);
    ASSERT_EQ(points.size(), 93u);
    EXPECT_EQ(contents<uint16_t>(agent->shapesIndexBuffer), closedLoop(31));
    for (size_t i = 0; i < 93; i += 3) {
      EXPECT_FLOAT_EQ(points[i + axis[1]], center[axis[1]]);
      EXPECT_NEAR(std::hypot(points[i] - center[0], points[i + 1] - center[1], points[i + 2] - center[2]), radius,
                  1e-6);
    }
  }
  agent->beginDrawColored();
  agent->drawShadedTriangles(kTriangle, kTriangleColors, 3);
  const std::vector<uint8_t> vertices = contents<uint8_t>(agent->shapesBuffer);
  for (unsigned int count : {2u, 1u, 0u}) agent->drawShadedTriangles(kTriangle, kTriangleColors, count);
  EXPECT_EQ(contents<uint8_t>(agent->shapesBuffer), vertices);
  EXPECT_EQ(contents<uint16_t>(agent->shapesIndexBuffer), (std::vector<uint16_t>{0, 1, 2}));
  const std::vector<float> corners = ring(40);
  agent->drawShadedTriangles(corners.data(), corners.data(), 40);
  EXPECT_EQ(contents<uint16_t>(agent->shapesIndexBuffer).size(), 90u);
  agent->endDraw();
  EXPECT_EQ(error(), static_cast<GLenum>(GL_NO_ERROR));
}

// After a release, as when the module is unloaded and loaded again in the
// same process, the next draw sets the agent up again by itself: the shaded
// triangle fills the middle of the view after the release as before it.
TEST_F(CoreProfileAgent, AReleasedAgentSetsItselfUpAgainOnTheNextDraw) {
  for (int round = 0; round < 2; ++round) {
    glClear(GL_COLOR_BUFFER_BIT);
    agent->beginDrawColored();
    agent->drawShadedTriangles(kTriangle, kTriangleColors, 3);
    agent->endDraw();
    EXPECT_NE(agent->colorProgram, 0u) << round;
    EXPECT_FALSE(shows(view(), 32, 32, {0, 0, 0})) << round;
    EXPECT_EQ(error(), static_cast<GLenum>(GL_NO_ERROR)) << round;
    agent->releaseCoreProfileDrawAgent();
    EXPECT_EQ(agent->colorProgram, 0u);
  }
}

TEST_F(CoreProfileAgent, PointsAreDrawnEachWhereGiven) {
  MPointArray points;
  for (const MPoint& p : {MPoint(0.1, 0.2, 0.3), MPoint(-0.5, 0.4, -0.2), MPoint(0.6, -0.7, 0.0)}) points.append(p);
  agent->beginDraw();
  agent->drawPoints(points, MVector::xAxis, MVector::yAxis, 1.0f);
  agent->endDraw();
  const std::vector<float> drawn = contents<float>(agent->pointsBuffer);
  ASSERT_EQ(drawn.size(), 9u);
  for (unsigned int i = 0; i < 3; ++i)
    for (unsigned int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(drawn[3 * i + k], static_cast<float>(points[i][k])) << i;
  EXPECT_EQ(error(), static_cast<GLenum>(GL_NO_ERROR));
}

// Stand-ins for the driver's functions that make one step of the set-up
// fail for real: a shader compiled from a broken source, or a program linked
// with a second fragment shader whose main clashes with the first.
int g_compileToBreak = 0;
int g_linkToBreak = 0;

void breakingCompile(GLuint shader) {
  const char* broken = "#version 330\nvoid main() { undefinedFunction(); }\n";
  if (--g_compileToBreak == 0) glShaderSource(shader, 1, &broken, nullptr);
  glCompileShader(shader);
}

void breakingLink(GLuint program) {
  if (--g_linkToBreak == 0) {
    const char* clash = "#version 330\nout vec4 other;\nvoid main() { other = vec4(0.0); }\n";
    const GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(shader, 1, &clash, nullptr);
    glCompileShader(shader);
    glAttachShader(program, shader);
    glDeleteShader(shader);
  }
  glLinkProgram(program);
}

TEST_F(CoreProfileAgent, AFailedSetUpPrintsWhyAndLeavesTheAgentSilent) {
  struct Failure {
    int compileToBreak, linkToBreak;
    const char* missingEntryPoint;
    const char* message;
  };
  for (const Failure& failure : {
           Failure{1, 0, nullptr, "Compilation of vertex shader failed:\n"},
           Failure{2, 0, nullptr, "Compilation of fragment shader vertex failed:\n"},
           Failure{0, 1, nullptr, "Linking of shader program vertex failed:\n"},
           Failure{3, 0, nullptr, "Compilation of fragment shader polys failed:\n"},
           Failure{0, 2, nullptr, "Linking of shader program polys failed:\n"},
           Failure{0, 0, "glBindVertexArray", "OpenGL entry point glBindVertexArray not found\n"},
       }) {
    zovhost::testing::clearProcAddresses();
    agent = &freshCoreAgent();
    g_compileToBreak = failure.compileToBreak;
    g_linkToBreak = failure.linkToBreak;
    zovhost::testing::setProcAddress("glCompileShader", reinterpret_cast<void (*)()>(&breakingCompile));
    zovhost::testing::setProcAddress("glLinkProgram", reinterpret_cast<void (*)()>(&breakingLink));
    if (failure.missingEntryPoint) zovhost::testing::setProcAddress(failure.missingEntryPoint, nullptr);
    const zovhost::RenderImage before = view();
    ::testing::internal::CaptureStdout();
    agent->beginDraw();
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind(failure.message, 0), 0u) << printed;

    // Every later call does nothing: nothing printed, drawn or failed.
    const float center[3] = {0, 0, 0}, radius = 0.5f;
    const double extent[3] = {1, 1, 1};
    ::testing::internal::CaptureStdout();
    for (int round = 0; round < 2; ++round) {
      agent->beginDraw();
      agent->drawPolygon(kTriangle, 3);
      agent->drawAxisCircle(2, center, &radius);
      agent->drawBoundingBox(extent, extent);
      agent->endDraw();
      agent->beginDrawColored();
      agent->drawShadedTriangles(kTriangle, kTriangleColors, 3);
      agent->endDraw();
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(view().rgba, before.rgba);
    EXPECT_EQ(error(), static_cast<GLenum>(GL_NO_ERROR)) << failure.message;
  }
}

}  // namespace
