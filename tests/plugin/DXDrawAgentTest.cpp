#include <cstring>
#include <string>

#include "DrawFixture.h"

namespace {

using zovhost::d3d::Draw;
using zovhost::testing::d3dDraws;

class DXAgent : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    openView(MHWRender::kDirectX11);
    agent = &freshDXAgent();
  }
  void TearDown() override {
    agent->releaseDXDrawAgent();
    DrawTest::TearDown();
  }

  template <typename T>
  static std::vector<T> values(const std::vector<uint8_t>& bytes, size_t count) {
    std::vector<T> all = zovhost::testing::valuesOf<T>(bytes);
    all.resize(count);
    return all;
  }
  RawFootPrintDrawAgentDX* agent = nullptr;
};

TEST_F(DXAgent, AnOutlineOf33PointsClosesTheFirst32AndTheConstantsHoldTheTransposedProduct) {
  const double view[4][4] = {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0.25, 0.5, 0.75, 1}};
  const double projection[4][4] = {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, -1, -1}, {0, 0, 0.5, 0}};
  agent->worldView = MMatrix(view);
  agent->projection = MMatrix(projection);
  const std::vector<float> points = ring(33);
  agent->beginDraw();
  agent->drawPolygon(points.data(), 33);
  ASSERT_EQ(d3dDraws().size(), 1u);
  const Draw draw = d3dDraws()[0];
  EXPECT_EQ(draw.indexCount, 64u);
  EXPECT_EQ(values<uint16_t>(draw.indexBytes, 64), closedLoop(32));
  const MMatrix product = MMatrix(view) * MMatrix(projection);
  const std::vector<float> constants = values<float>(draw.vertexConstants, 16);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(constants[i], product[i % 4][i / 4], 1e-6) << i;
}

// Each of several points gets a square of its own about it in the plane of
// the two directions; a circle lies about its centre in all three
// coordinates, in the plane across its axis (XZ, or XY for axis 2).
TEST_F(DXAgent, EveryPointGetsItsSquareAndCirclesLieAboutTheirCentre) {
  MPointArray points;
  for (const MPoint& p : {MPoint(0.1, 0.2, 0.3), MPoint(-0.5, 0.4, -0.2), MPoint(0.6, -0.7, 0.0)}) points.append(p);
  agent->beginDraw();
  agent->drawPoints(points, MVector::xAxis, MVector::yAxis, 50.0f);
  ASSERT_EQ(d3dDraws().size(), 3u);
  for (unsigned int i = 0; i < 3; ++i) {
    const std::vector<float> corners = values<float>(d3dDraws()[i].vertexBuffers[0].bytes, 12);
    for (unsigned int k = 0; k < 3; ++k)
      EXPECT_NEAR((corners[k] + corners[3 + k] + corners[6 + k] + corners[9 + k]) / 4, points[i][k], 1e-6) << i;
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(corners[3 * c + 2], points[i].z, 1e-6) << i;  // flat across z
    EXPECT_GT(std::fabs(corners[0] - corners[6]), 0.0f) << i;
    EXPECT_GT(std::fabs(corners[1] - corners[4]), 0.0f) << i;
  }
  const float center[3] = {0.1f, -0.2f, 0.3f}, radius = 0.4f;
  for (const auto& axis : {std::array<unsigned int, 2>{0, 1}, {1, 1}, {2, 2}}) {
    zovhost::testing::clearD3DRecord();
    agent->drawAxisCircle(axis[0], center, &radius);
    ASSERT_EQ(d3dDraws().size(), 1u);
    const std::vector<float> circle = values<float>(d3dDraws()[0].vertexBuffers[0].bytes, 93);
    for (size_t i = 0; i < 93; i += 3) {
      EXPECT_FLOAT_EQ(circle[i + axis[1]], center[axis[1]]) << axis[0];
      EXPECT_NEAR(std::hypot(circle[i] - center[0], circle[i + 1] - center[1], circle[i + 2] - center[2]), radius, 1e-6)
          << axis[0];
    }
  }
}

TEST_F(DXAgent, NothingIsDrawnWithoutADeviceOrWhatWasNotMadeOrAFanOfFewerThanThreeCorners) {
  zovhost::testing::setDirectXDevice(false);
  agent->beginDraw();
  agent->drawPolygon(kTriangle, 3);
  EXPECT_TRUE(zovhost::testing::d3dCalls().empty());
  zovhost::testing::setDirectXDevice(true);

  // Creation failures: the message, no draw, and everything made by the next
  // begin. A failed compilation: the message once, and no compilation again.
  const struct {
    const char* failing;
    bool compilation;
    const char* message;
  } failures[] = {
      {"CreateVertexShader", false, "Failed to create vertex shader for ZOv primitives\n"},
      {"CreateInputLayout", false, "Failed to create input layout for ZOv primitives\n"},
      {"CreatePixelShader", false, "Failed to create pixel shader for ZOv primitives\n"},
      {"CreateBuffer", false, ""},
      {"vs_5_0", true, "Failed to compile vertex shader for ZOv primitives\n"},
      {"ps_5_0", true, "Failed to compile pixel shader for ZOV primitives\n"},
  };
  for (const auto& failure : failures) {
    agent = &freshDXAgent();
    failure.compilation ? zovhost::testing::setShaderCompileFailure(failure.failing, true)
                        : zovhost::testing::injectD3DFailure(failure.failing);
    ::testing::internal::CaptureStdout();
    for (size_t round = 0; round < 2; ++round) {
      agent->beginDraw();
      zovhost::testing::setShaderCompileFailure(failure.failing, false);
      agent->drawPolygon(kTriangle, 3);
      agent->reservedSolidDraw();
      agent->reservedWireDraw();
      agent->drawTriangle(kTriangle, kTriangle + 3, kTriangle + 6);
      EXPECT_EQ(d3dDraws().size(), failure.compilation ? 0 : round) << failure.failing;
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), failure.message);
  }
  agent = &freshDXAgent();
  agent->beginDrawColored();
  for (unsigned int count : {0u, 1u, 2u}) agent->drawShadedTriangles(kTriangle, kTriangleColors, count);
  const std::vector<float> corners = ring(40);
  agent->drawShadedTriangles(corners.data(), corners.data(), 40);
  ASSERT_EQ(d3dDraws().size(), 1u);
  EXPECT_EQ(d3dDraws()[0].indexCount, 90u);
}

}  // namespace
