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
