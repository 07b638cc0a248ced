#include <GL/glu.h>
#include <dlfcn.h>

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
