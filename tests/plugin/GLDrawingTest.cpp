#include <GL/glu.h>
#include <dlfcn.h>

#include <functional>

#include "DrawFixture.h"
#include "src/draw/RawFootPrintDrawAgentGL.h"
#include "src/draw/glDrawing.h"

// The module's quadrics are made and freed through these, which count them
// and pass the calls on to GLU.
namespace {
int g_quadricsMade = 0;
int g_quadricsFreed = 0;
}  // namespace

extern "C" GLUquadric* gluNewQuadric() {
  ++g_quadricsMade;
  static auto next = reinterpret_cast<GLUquadric* (*)()>(dlsym(RTLD_NEXT, "gluNewQuadric"));
  return next();
}

extern "C" void gluDeleteQuadric(GLUquadric* quadric) {
  ++g_quadricsFreed;
  static auto next = reinterpret_cast<void (*)(GLUquadric*)>(dlsym(RTLD_NEXT, "gluDeleteQuadric"));
  next(quadric);
}

namespace {

class GLDrawing : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    openView(MHWRender::kOpenGL);
  }

  struct Vertex {
    float x, y, z;
  };
  struct Primitive {
    GLenum kind;  // GL_POINT_TOKEN, GL_LINE_TOKEN or GL_POLYGON_TOKEN
    std::vector<Vertex> vertices;
  };

  /// What the drawing sends down the pipeline, from feedback mode, with
  /// vertices back in object coordinates (identity matrices).
  static std::vector<Primitive> feedback(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint size = glRenderMode(GL_RENDER);
    EXPECT_GE(size, 0) << "feedback buffer overflow";
    std::vector<Primitive> primitives;
    const auto vertex = [&](GLint& at) {
      const Vertex v = {buffer[at] / 32.0f - 1.0f, buffer[at + 1] / 32.0f - 1.0f, 2.0f * buffer[at + 2] - 1.0f};
      at += 3;
      return v;
    };
    for (GLint at = 0; at < size;) {
      const GLenum token = static_cast<GLenum>(buffer[at++]);
      Primitive primitive{token == GL_LINE_RESET_TOKEN ? static_cast<GLenum>(GL_LINE_TOKEN) : token, {}};
      GLint count = 1;
      if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) count = 2;
      if (token == GL_POLYGON_TOKEN) count = static_cast<GLint>(buffer[at++]);
      if (token == GL_PASS_THROUGH_TOKEN) {
        ++at;
        continue;
      }
      for (GLint i = 0; i < count; ++i) primitive.vertices.push_back(vertex(at));
      primitives.push_back(primitive);
    }
    return primitives;
  }

  static size_t count(const std::vector<Primitive>& primitives, GLenum kind) {
    size_t n = 0;
    for (const Primitive& primitive : primitives) n += primitive.kind == kind;
    return n;
  }

  /// A fan of `corners` points on a circle of radius 0.5.
  static std::vector<float> ring(unsigned int corners) {
    std::vector<float> points;
    for (unsigned int i = 0; i < corners; ++i) {
      const double angle = 2.0 * M_PI * i / corners;
      points.insert(points.end(),
                    {0.5f * static_cast<float>(std::cos(angle)), 0.5f * static_cast<float>(std::sin(angle)), 0.0f});
    }
    return points;
  }
};

TEST_F(GLDrawing, AnOutlinedSquareIsDrawnInTheAgentsColour) {
  RawFootPrintDrawAgentGL& agent = identity(*getGLDrawAgent());
  const float color[4] = {0.2f, 0.6f, 0.9f, 1.0f};
  std::copy(color, color + 4, agent.color);
  const float square[12] = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0};
  agent.beginDraw();
  agent.drawPolygon(square, 4);
  agent.endDraw();
  const zovhost::RenderImage image = zovhost::testing::readView();
  // Each side crosses the middle of its edge of the view's middle half.
  for (const auto& onOutline : {std::array<int, 2>{32, 16}, {32, 47}, {16, 32}, {47, 32}})
    EXPECT_TRUE(shows(image, onOutline[0], onOutline[1], bytesOf(color), 1)) << onOutline[0] << "," << onOutline[1];
  EXPECT_TRUE(shows(image, 32, 32, {0, 0, 0, 255}, 0));
}

TEST_F(GLDrawing, AShadedTriangleShowsItsCornerColours) {
  RawFootPrintDrawAgentGL& agent = identity(*getGLDrawAgent());
  agent.beginDrawColored();
  agent.drawShadedTriangles(kTriangle, kTriangleColors, 3);
  agent.endDraw();
  expectCornerColours(zovhost::testing::readView());
}

TEST_F(GLDrawing, ShadedFansDrawCornersLessTwoTrianglesOfAtMostThirtyTwoCorners) {
  RawFootPrintDrawAgentGL& agent = identity(*getGLDrawAgent());
  const std::vector<float> corners = ring(40);
  const std::vector<float> colors(corners.size(), 0.5f);
  struct Case {
    unsigned int corners;
    size_t triangles;
  };
  for (const Case& c : {Case{40, 30}, Case{33, 30}, Case{32, 30}, Case{3, 1}, Case{2, 0}, Case{1, 0}, Case{0, 0}}) {
    EXPECT_EQ(
        count(feedback([&] { glDrawShadedTriangles(corners.data(), colors.data(), c.corners); }), GL_POLYGON_TOKEN),
        c.triangles)
        << c.corners;
    EXPECT_EQ(
        count(feedback([&] { agent.drawShadedTriangles(corners.data(), colors.data(), c.corners); }), GL_POLYGON_TOKEN),
        c.triangles)
        << c.corners;
  }
}

TEST_F(GLDrawing, ACircleIsAClosedLoopOf360Vertices) {
  const std::vector<Primitive> lines = feedback([] { glDrawCircle(0.5f); });
  ASSERT_EQ(count(lines, GL_LINE_TOKEN), 360u);
  for (const Primitive& line : lines) EXPECT_NEAR(std::hypot(line.vertices[0].x, line.vertices[0].y), 0.5, 1e-3);
  // The last segment closes the loop at the first vertex.
  EXPECT_NEAR(lines.back().vertices[1].x, lines.front().vertices[0].x, 1e-4);
  EXPECT_NEAR(lines.back().vertices[1].y, lines.front().vertices[0].y, 1e-4);
}

TEST_F(GLDrawing, AxisCirclesLieInThePlanePerpendicularToTheirAxis) {
  // The coordinate that stays 0: x for the YZ plane, y for XZ, z for XY.
  const int flat[7] = {0, 1, 2, 0, 1, 2, -1};
  for (unsigned int axis = 0; axis < 7; ++axis) {
    const std::vector<Primitive> lines = feedback([axis] { glDrawAxisCircle(axis, 0.5f); });
    if (flat[axis] < 0) {
      EXPECT_TRUE(lines.empty());
      continue;
    }
    ASSERT_EQ(lines.size(), 360u) << axis;
    for (const Primitive& line : lines) {
      const float coordinates[3] = {line.vertices[0].x, line.vertices[0].y, line.vertices[0].z};
      EXPECT_NEAR(coordinates[flat[axis]], 0.0f, 1e-3) << axis;
      EXPECT_NEAR(std::sqrt(coordinates[0] * coordinates[0] + coordinates[1] * coordinates[1] +
                            coordinates[2] * coordinates[2]),
                  0.5f, 1e-3)
          << axis;
    }
  }
}

TEST_F(GLDrawing, TheSemicirclesOfOppositeAxesAreComplementaryHalves) {
  // Axis 0 and 3 draw in the YZ plane; the halves lie on either side of z = 0.
  const std::vector<Primitive> first = feedback([] { glDrawAxisSemicircle(0, 0.5f); });
  const std::vector<Primitive> second = feedback([] { glDrawAxisSemicircle(3, 0.5f); });
  ASSERT_EQ(first.size(), 180u);
  ASSERT_EQ(second.size(), 180u);
  float firstLowest = 1, firstHighest = -1, secondLowest = 1, secondHighest = -1;
  for (const Primitive& line : first) {
    EXPECT_NEAR(line.vertices[0].x, 0.0f, 1e-3);
    firstLowest = std::min(firstLowest, line.vertices[0].z);
    firstHighest = std::max(firstHighest, line.vertices[0].z);
  }
  for (const Primitive& line : second) {
    EXPECT_NEAR(line.vertices[0].x, 0.0f, 1e-3);
    secondLowest = std::min(secondLowest, line.vertices[0].z);
    secondHighest = std::max(secondHighest, line.vertices[0].z);
  }
  EXPECT_NEAR(firstLowest, 0.0f, 0.01f);
  EXPECT_NEAR(firstHighest, 0.5f, 0.01f);
  EXPECT_NEAR(secondLowest, -0.5f, 0.01f);
  EXPECT_NEAR(secondHighest, 0.0f, 0.01f);

  // The named version loads its selection name.
  GLuint hits[64] = {};
  glSelectBuffer(64, hits);
  glRenderMode(GL_SELECT);
  glInitNames();
  glPushName(0);
  glDrawAxisSemicircleNamed(42, 1, 0.5f);
  ASSERT_EQ(glRenderMode(GL_RENDER), 1);
  EXPECT_EQ(hits[3], 42u);
}

TEST_F(GLDrawing, PolygonModesFillAtZeroAndBelowAndDrawLinesAbove) {
  for (const auto& mode : {std::array<int, 2>{0, GL_FILL}, {-1, GL_FILL}, {1, GL_LINE}, {5, GL_LINE}}) {
    GLint modes[2] = {};
    glSetFrontPolygonMode(mode[0]);
    glSetBackPolygonMode(mode[0] > 0 ? 0 : 1);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], mode[1]) << mode[0];
    EXPECT_NE(modes[1], mode[1]) << mode[0];
    glSetBackPolygonMode(mode[0]);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[1], mode[1]) << mode[0];
  }
  EXPECT_EQ(glSetPointSize(3.0f), 3.0f);
  EXPECT_EQ(glResetPointSize(7.0f), 7.0f);
  GLfloat size = 0;
  glGetFloatv(GL_POINT_SIZE, &size);
  EXPECT_EQ(size, 1.0f);
}

TEST_F(GLDrawing, TheArrowFreesItsQuadric) {
  const int made = g_quadricsMade, freed = g_quadricsFreed;
  const std::vector<Primitive> drawn = feedback([] { glDrawAxisArrow(1, 0, 0.2f); });
  EXPECT_EQ(g_quadricsMade - made, 1);
  EXPECT_EQ(g_quadricsFreed - freed, 1);
  // The cone's ten sides and the line along the axis.
  EXPECT_GE(count(drawn, GL_POLYGON_TOKEN), 10u);
  EXPECT_EQ(count(drawn, GL_LINE_TOKEN), 1u);
  feedback([] { glDrawAxisArrowNamed(7, 3, 0.2f); });
  EXPECT_EQ(g_quadricsMade - g_quadricsFreed, made - freed);
}

TEST_F(GLDrawing, ADisplayListIsBuiltByTheFirstCallAndDrawnByTheNext) {
  struct List {
    void (*call)();
    GLenum kind;
    size_t least;
  };
  // A cube's six faces (drawn as quads or their triangles), the box's twelve
  // edges, a sphere's 10 x 10 faces as lines.
  for (const List& list : {List{buildCubeList, GL_POLYGON_TOKEN, 6}, List{buildWireBoxList, GL_LINE_TOKEN, 12},
                           List{buildWireSphereList, GL_LINE_TOKEN, 100}}) {
    EXPECT_TRUE(feedback(list.call).empty());
    const std::vector<Primitive> drawn = feedback(list.call);
    EXPECT_EQ(count(drawn, list.kind), drawn.size());
    EXPECT_GE(drawn.size(), list.least);
  }
  EXPECT_EQ(count(feedback(buildWireBoxList), GL_LINE_TOKEN), 12u);
  // The filled sphere is looked at in the picture (this driver's feedback
  // mode does not take it).
  glColor3f(1, 1, 1);
  glScalef(0.5f, 0.5f, 0.5f);
  buildSolidSphereList();
  EXPECT_EQ(litPixels(zovhost::testing::readView()), 0);
  buildSolidSphereList();
  glLoadIdentity();
  // Most of the disc of radius 16 pixels.
  EXPECT_GT(litPixels(zovhost::testing::readView()), 700);
  EXPECT_EQ(g_quadricsMade, g_quadricsFreed);
}

TEST_F(GLDrawing, DrawingLeavesTheCallersMatricesAttributesAndLineWidthAsTheyWere) {
  struct State {
    GLint modelViewDepth, projectionDepth, attributeDepth, matrixMode;
    GLfloat lineWidth;
    GLdouble modelView[16], projection[16];
  };
  const auto state = [] {
    State s;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelViewDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projectionDepth);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &s.attributeDepth);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
    glGetDoublev(GL_MODELVIEW_MATRIX, s.modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, s.projection);
    return s;
  };
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0.1f, 0.2f, 0.0f);
  glMatrixMode(GL_PROJECTION);
  glScalef(0.5f, 0.5f, 0.5f);
  glMatrixMode(GL_MODELVIEW);
  glLineWidth(3.0f);
  const State before = state();

  RawFootPrintDrawAgentGL& agent = *getGLDrawAgent();
  const double view[4][4] = {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0.25, 0, 0, 1}};
  const double projection[4][4] = {{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  agent.worldView = MMatrix(view);
  agent.projection = MMatrix(projection);
  agent.beginDraw();
  // The agent draws with its own matrices: a host matrix's rows are
  // OpenGL's columns.
  const State drawing = state();
  for (int i = 0; i < 16; ++i) {
    EXPECT_DOUBLE_EQ(drawing.modelView[i], view[i / 4][i % 4]);
    EXPECT_DOUBLE_EQ(drawing.projection[i], projection[i / 4][i % 4]);
  }
  const float points[9] = {0, 0, 0, 0.1f, 0, 0, 0, 0.1f, 0};
  const float center[3] = {0, 0, 0}, radius = 0.2f;
  GLfloat pointSize = 0, current[4] = {}, currentAfter[4] = {};
  glGetFloatv(GL_POINT_SIZE, &pointSize);
  glGetFloatv(GL_CURRENT_COLOR, current);
  const zovhost::RenderImage untouched = zovhost::testing::readView();
  agent.drawPoints(MPointArray(), MVector(1, 0, 0), MVector(0, 1, 0), 1.0f);
  GLfloat pointSizeAfter = 0;
  glGetFloatv(GL_POINT_SIZE, &pointSizeAfter);
  glGetFloatv(GL_CURRENT_COLOR, currentAfter);
  EXPECT_EQ(pointSizeAfter, pointSize);
  EXPECT_TRUE(std::equal(current, current + 4, currentAfter));
  EXPECT_EQ(zovhost::testing::readView().rgba, untouched.rgba);

  agent.drawPolygon(points, 3);
  agent.drawTriangle(points, points + 3, points + 6);
  agent.drawAxisCircle(2, center, &radius);
  MPointArray markers;
  markers.append(MPoint(0.3, 0.3, 0));
  markers.append(MPoint(-0.3, 0.3, 0));
  EXPECT_EQ(count(feedback([&] { agent.drawPoints(markers, MVector(), MVector(), 1.0f); }), GL_POINT_TOKEN), 2u);
  glGetFloatv(GL_POINT_SIZE, &pointSizeAfter);
  EXPECT_EQ(pointSizeAfter, 4.0f);
  agent.drawShadedTriangles(points, points, 3);
  agent.endDraw();

  const State after = state();
  EXPECT_EQ(after.modelViewDepth, before.modelViewDepth);
  EXPECT_EQ(after.projectionDepth, before.projectionDepth);
  EXPECT_EQ(after.attributeDepth, before.attributeDepth);
  EXPECT_EQ(after.matrixMode, before.matrixMode);
  EXPECT_EQ(after.lineWidth, before.lineWidth);
  EXPECT_TRUE(std::equal(before.modelView, before.modelView + 16, after.modelView));
  EXPECT_TRUE(std::equal(before.projection, before.projection + 16, after.projection));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  identity(agent);
}

}  // namespace
