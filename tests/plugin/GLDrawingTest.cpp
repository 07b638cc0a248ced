#include <GL/glu.h>
#include <dlfcn.h>

#include <functional>

#include "DrawFixture.h"
#include "src/draw/RawFootPrintDrawAgentGL.h"
#include "src/draw/glDrawing.h"

// The module makes and frees its quadrics through these, which count the
// calls and pass them on to GLU.
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

using zovhost::testing::feedback;
using Primitive = zovhost::testing::FeedbackPrimitive;

size_t count(const std::vector<Primitive>& primitives, Primitive::Kind kind) {
  return zovhost::testing::countPrimitives(primitives, kind);
}

class GLDrawing : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    openView(MHWRender::kOpenGL);
  }
  RawFootPrintDrawAgentGL& agent = identity(*getGLDrawAgent());
};

TEST_F(GLDrawing, ShadedFansDrawCornersLessTwoTrianglesOfAtMostThirtyTwoCorners) {
  const std::vector<float> corners = ring(40), colors(corners.size(), 0.5f);
  for (const auto& c : {std::array<unsigned, 2>{40, 30}, {33, 30}, {32, 30}, {3, 1}, {2, 0}, {1, 0}, {0, 0}})
    EXPECT_EQ(count(feedback([&] { glDrawShadedTriangles(corners.data(), colors.data(), c[0]); }), Primitive::Polygon),
              c[1]);
}

TEST_F(GLDrawing, CirclesAreClosedLoopsOf360VerticesInThePlaneAcrossTheirAxis) {
  const std::vector<Primitive> circle = feedback([] { glDrawCircle(0.5f); });
  ASSERT_EQ(count(circle, Primitive::Line), 360u);
  EXPECT_EQ(circle.back().vertices[1], circle.front().vertices[0]);
  // The coordinate that stays 0: x in the YZ plane, y in XZ, z in XY.
  const int flat[7] = {0, 1, 2, 0, 1, 2, -1};
  for (unsigned int axis = 0; axis < 7; ++axis) {
    const std::vector<Primitive> lines = feedback([axis] { glDrawAxisCircle(axis, 0.5f); });
    ASSERT_EQ(lines.size(), flat[axis] < 0 ? 0u : 360u) << axis;
    for (const Primitive& line : lines) {
      const auto& p = line.vertices[0];
      EXPECT_NEAR(p[flat[axis]], 0.0f, 1e-3) << axis;
      EXPECT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 0.5f, 1e-3) << axis;
    }
  }
}

TEST_F(GLDrawing, TheSemicirclesOfAxes0And3AreTheHalvesZAtLeast0AndZAtMost0OfTheYZCircle) {
  for (unsigned int half = 0; half < 2; ++half) {
    const std::vector<Primitive> lines = feedback([half] { glDrawAxisSemicircle(3 * half, 0.5f); });
    ASSERT_EQ(lines.size(), 180u);
    for (const Primitive& line : lines) {
      const auto& p = line.vertices[0];
      EXPECT_TRUE(std::fabs(p[0]) < 1e-3 && (half ? -p[2] : p[2]) > -0.01f) << half << ": " << p[2];
      EXPECT_NEAR(std::hypot(p[1], p[2]), 0.5f, 1e-3);
    }
  }
}

TEST_F(GLDrawing, ArrowsFreeTheirQuadricsAndDisplayListsDrawFromTheirSecondCall) {
  const int made = g_quadricsMade;
  const std::vector<Primitive> arrow = feedback([] { glDrawAxisArrowNamed(1, 3, 0.2f); });
  // The cone's ten sides and the line along the axis.
  EXPECT_GE(count(arrow, Primitive::Polygon), 10u);
  EXPECT_EQ(count(arrow, Primitive::Line), 1u);
  EXPECT_EQ(g_quadricsMade - made, 1);

  // A cube's six faces (as quads or their triangles), the box's twelve
  // edges, a sphere of 10 x 10 faces. (This driver's feedback mode does not
  // take the filled sphere.)
  for (const auto& list : {std::make_pair(buildCubeList, 6u), {buildWireBoxList, 12u}, {buildWireSphereList, 100u}}) {
    EXPECT_TRUE(feedback(list.first).empty());
    EXPECT_GE(feedback(list.first).size(), list.second);
  }
  EXPECT_EQ(g_quadricsMade, g_quadricsFreed);
}

// The legacy agent places every shape through its view and then its
// projection (here a move by (0.1, 0.2) and a halving: a point p lands at
// (p + (0.1, 0.2)) / 2), outlines triangles, draws circles across the axis
// asked for, marks points, draws lines 2 wide and in its colour.
TEST_F(GLDrawing, TheLegacyAgentPlacesEveryShapeThroughItsViewAndProjectionInItsColour) {
  const double move[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0.1, 0.2, 0, 1}};
  const double half[4][4] = {{0.5, 0, 0, 0}, {0, 0.5, 0, 0}, {0, 0, 0.5, 0}, {0, 0, 0, 1}};
  agent.worldView = MMatrix(move);
  agent.projection = MMatrix(half);
  const auto placed = [](float x, float y, float z) {
    return std::array<float, 3>{(x + 0.1f) / 2, (y + 0.2f) / 2, z / 2};
  };
  const auto near = [](const std::array<float, 3>& a, const std::array<float, 3>& b) {
    return std::fabs(a[0] - b[0]) < 1e-5f && std::fabs(a[1] - b[1]) < 1e-5f && std::fabs(a[2] - b[2]) < 1e-5f;
  };
  const auto drawn = [&](const std::function<void()>& shape) {
    return feedback([&] {
      agent.beginDraw();
      shape();
      agent.endDraw();
    });
  };

  // The triangle's three sides, each from one corner to the next.
  const std::vector<Primitive> triangle = drawn([&] { agent.drawTriangle(kTriangle, kTriangle + 3, kTriangle + 6); });
  ASSERT_EQ(count(triangle, Primitive::Line), 3u);
  for (int k = 0; k < 3; ++k) {
    const float* corner = kTriangle + 3 * k;
    bool found = false;
    for (const Primitive& line : triangle)
      found = found || near(line.vertices[0], placed(corner[0], corner[1], corner[2]));
    EXPECT_TRUE(found) << "corner " << k;
  }
  // Circles about X (axis 0) and Y (axis 1) through the centre (0.2, -0.4, 0.6).
  const float center[3] = {0.2f, -0.4f, 0.6f}, radius = 0.5f;
  for (unsigned int axis = 0; axis < 2; ++axis) {
    const std::vector<Primitive> circle = drawn([&] { agent.drawAxisCircle(axis, center, &radius); });
    ASSERT_EQ(count(circle, Primitive::Line), 360u) << axis;
    for (const Primitive& line : circle)
      EXPECT_NEAR(line.vertices[0][axis], placed(center[0], center[1], center[2])[axis], 1e-5f) << axis;
  }
  // A point where it is given.
  const std::vector<Primitive> point =
      drawn([&] { agent.drawPoints(MPointArray(1, MPoint(-0.6, 0.4, 0.2)), MVector(), MVector(), 1.0f); });
  ASSERT_EQ(count(point, Primitive::Point), 1u);
  EXPECT_TRUE(near(point[0].vertices[0], placed(-0.6f, 0.4f, 0.2f)));

  // Drawn for real in green: the bottom side, from (-0.8, -0.8) to (0.8,
  // -0.8), lands on y = -0.3, window row 22.4, two pixels wide.
  const float green[4] = {0.0f, 1.0f, 0.0f, 1.0f};
  std::copy(green, green + 4, agent.color);
  agent.beginDraw();
  GLfloat width = 0.0f;
  glGetFloatv(GL_LINE_WIDTH, &width);
  EXPECT_EQ(width, 2.0f);
  agent.drawTriangle(kTriangle, kTriangle + 3, kTriangle + 6);
  agent.endDraw();
  const zovhost::RenderImage image = view();
  EXPECT_TRUE(shows(image, 33, 22, {0, 255, 0}));
  EXPECT_FALSE(shows(image, 33, 32, {0, 255, 0}));  // the inside stays empty
  identity(agent);
}

TEST_F(GLDrawing, DrawingLeavesTheCallersMatricesAttributesAndLineWidthAsTheyWere) {
  const auto state = zovhost::testing::fixedFunctionState;
  glTranslatef(0.1f, 0.2f, 0.0f);
  glLineWidth(3.0f);
  const std::vector<double> before = state();

  const double worldView[4][4] = {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0.25, 0, 0, 1}};
  agent.worldView = MMatrix(worldView);
  agent.beginDraw();
  const float center[3] = {0, 0, 0}, radius = 0.2f;
  agent.drawPolygon(kTriangle, 3);
  agent.drawTriangle(kTriangle, kTriangle + 3, kTriangle + 6);
  agent.drawAxisCircle(2, center, &radius);
  agent.drawPoints(MPointArray(2, MPoint(0.3, 0.3, 0.0)), MVector(), MVector(), 1.0f);
  agent.drawShadedTriangles(kTriangle, kTriangleColors, 3);
  agent.endDraw();
  EXPECT_EQ(state(), before);
  EXPECT_EQ(error(), static_cast<GLenum>(GL_NO_ERROR));
  identity(agent);
}

}  // namespace
