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

  /// A buffer's contents, read back from OpenGL.
  static std::vector<uint8_t> contents(GLuint buffer) {
    GLint size = 0;
    glBindBuffer(GL_COPY_READ_BUFFER, buffer);
    glGetBufferParameteriv(GL_COPY_READ_BUFFER, GL_BUFFER_SIZE, &size);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (size > 0) glGetBufferSubData(GL_COPY_READ_BUFFER, 0, size, bytes.data());
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    return bytes;
  }
  template <typename T>
  static std::vector<T> values(GLuint buffer) {
    const std::vector<uint8_t> bytes = contents(buffer);
    std::vector<T> result(bytes.size() / sizeof(T));
    if (!result.empty()) std::memcpy(result.data(), bytes.data(), result.size() * sizeof(T));
    return result;
  }

  RawFootPrintDrawAgentCoreProfile* agent = nullptr;
};

/// Points on a circle of radius 0.5 about the origin.
std::vector<float> ring(unsigned int count) {
  std::vector<float> points;
  for (unsigned int i = 0; i < count; ++i) {
    const double angle = 2.0 * M_PI * i / count;
    points.insert(points.end(),
                  {0.5f * static_cast<float>(std::cos(angle)), 0.5f * static_cast<float>(std::sin(angle)), 0.0f});
  }
  return points;
}

TEST_F(CoreProfileAgent, APolygonOutlinesItsFirst32PointsClosedBackToTheFirst) {
  // Segments 0-1, 1-2, ..., 30-31 and 31-0.
  std::vector<uint16_t> expected;
  for (uint16_t i = 0; i < 32; ++i) expected.insert(expected.end(), {i, static_cast<uint16_t>((i + 1) % 32)});
  agent->color[1] = 1.0f;
  for (unsigned int count : {40u, 33u}) {
    const std::vector<float> points = ring(count);
    agent->beginDraw();
    agent->drawPolygon(points.data(), count);
    agent->endDraw();
    EXPECT_EQ(values<uint16_t>(agent->shapesIndexBuffer), expected) << count;
    EXPECT_EQ(values<float>(agent->shapesBuffer), std::vector<float>(points.begin(), points.begin() + 96)) << count;
  }
  EXPECT_GT(litPixels(zovhost::testing::readView()), 60);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(CoreProfileAgent, ACircleOf31PointsLiesInXZThroughTheCentreOrInXYForAxis2) {
  const float center[3] = {0.1f, -0.2f, 0.3f}, radius = 0.4f;
  // The coordinate that stays at the centre's for each axis.
  for (const auto& axisAndFlat : {std::array<unsigned int, 2>{0, 1}, {1, 1}, {2, 2}, {5, 1}}) {
    agent->beginDraw();
    agent->drawAxisCircle(axisAndFlat[0], center, &radius);
    agent->endDraw();
    const std::vector<float> points = values<float>(agent->shapesBuffer);
    const std::vector<uint16_t> indices = values<uint16_t>(agent->shapesIndexBuffer);
    ASSERT_EQ(points.size(), 93u);
    ASSERT_EQ(indices.size(), 62u);
    EXPECT_EQ(indices.back(), 0u);
    EXPECT_EQ(indices[60], 30u);
    for (size_t i = 0; i < 31; ++i) {
      const float* p = &points[3 * i];
      EXPECT_FLOAT_EQ(p[axisAndFlat[1]], center[axisAndFlat[1]]);
      EXPECT_NEAR(std::hypot(p[0] - center[0], p[1] - center[1], p[2] - center[2]), radius, 1e-6);
    }
    // The last point falls just short of a full turn.
    EXPECT_GT(std::hypot(points[90] - points[0], points[91] - points[1], points[92] - points[2]), 0.0);
    EXPECT_LT(std::hypot(points[90] - points[0], points[91] - points[1], points[92] - points[2]), 0.01);
  }
}

TEST_F(CoreProfileAgent, FansOfFewerThanThreeCornersUploadAndDrawNothing) {
  agent->beginDrawColored();
  agent->drawShadedTriangles(kTriangle, kTriangleColors, 3);
  const std::vector<uint8_t> vertices = contents(agent->shapesBuffer);
  const std::vector<uint8_t> indices = contents(agent->shapesIndexBuffer);
  EXPECT_EQ(indices.size(), 6u);
  const zovhost::RenderImage before = zovhost::testing::readView();
  for (unsigned int count : {2u, 1u, 0u}) {
    agent->drawShadedTriangles(kTriangle, kTriangleColors, count);
    EXPECT_EQ(contents(agent->shapesBuffer), vertices) << count;
    EXPECT_EQ(contents(agent->shapesIndexBuffer), indices) << count;
  }
  agent->endDraw();
  EXPECT_EQ(zovhost::testing::readView().rgba, before.rgba);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // More than 32 corners: the fan of the first 32, 30 triangles.
  const std::vector<float> corners = ring(40);
  agent->beginDrawColored();
  agent->drawShadedTriangles(corners.data(), corners.data(), 40);
  agent->endDraw();
  EXPECT_EQ(values<uint16_t>(agent->shapesIndexBuffer).size(), 90u);
}

TEST_F(CoreProfileAgent, AShadedTriangleShowsItsCornerColoursWhenTheColouredBeginComesFirst) {
  agent->beginDrawColored();
  agent->drawShadedTriangles(kTriangle, kTriangleColors, 3);
  agent->endDraw();
  expectCornerColours(zovhost::testing::readView());
  // Uniform-colour shapes after it take the colour, not the corners' colours.
  const float square[12] = {-0.9f, -0.9f, 0, 0.9f, -0.9f, 0, 0.9f, 0.9f, 0, -0.9f, 0.9f, 0};
  const float color[4] = {1.0f, 1.0f, 0.0f, 1.0f};
  std::copy(color, color + 4, agent->color);
  agent->beginDraw();
  agent->drawPolygon(square, 4);
  MPointArray points;
  points.append(MPoint(0.0, -0.5, 0.0));
  agent->drawPoints(points, MVector(), MVector(), 1.0f);
  agent->endDraw();
  const zovhost::RenderImage image = zovhost::testing::readView();
  EXPECT_TRUE(shows(image, 32, column(0.9f), bytesOf(color), 1));
  EXPECT_TRUE(shows(image, column(-0.9f), 32, bytesOf(color), 1));
  // A point of 4 pixels about (0, -0.5): pixels 30 to 33 of row 16.
  EXPECT_TRUE(shows(image, 31, 16, bytesOf(color), 1));
  EXPECT_TRUE(shows(image, 32, 17, bytesOf(color), 1));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Stand-ins for the driver's functions that make one step of the set-up
// fail for real: a shader compiled from a broken source, or a program linked
// with a second fragment shader whose main clashes with the first.
int g_compileToBreak = 0;
int g_linkToBreak = 0;

void breakingCompile(GLuint shader) {
  if (--g_compileToBreak == 0) {
    const char* broken = "#version 330\nvoid main() { undefinedFunction(); }\n";
    glShaderSource(shader, 1, &broken, nullptr);
  }
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
    int compileToBreak;
    int linkToBreak;
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
    const zovhost::RenderImage before = zovhost::testing::readView();

    ::testing::internal::CaptureStdout();
    agent->beginDraw();
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind(failure.message, 0), 0u) << printed;
    EXPECT_FALSE(agent->ready);

    // Every later call does nothing: nothing printed, drawn or failed.
    ::testing::internal::CaptureStdout();
    const float center[3] = {0, 0, 0}, radius = 0.5f, square[12] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    const double low[3] = {0, 0, 0}, high[3] = {1, 1, 1};
    MPointArray points;
    points.append(MPoint());
    for (int round = 0; round < 2; ++round) {
      agent->beginDraw();
      agent->drawPolygon(square, 4);
      agent->drawAxisCircle(2, center, &radius);
      agent->drawPoints(points, MVector(), MVector(), 1.0f);
      agent->drawBoundingBox(low, high);
      agent->endDraw();
      agent->beginDrawColored();
      agent->drawShadedTriangles(kTriangle, kTriangleColors, 3);
      agent->endDraw();
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(zovhost::testing::readView().rgba, before.rgba);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << failure.message;
    agent->releaseCoreProfileDrawAgent();
  }
}

}  // namespace
