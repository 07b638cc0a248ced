#include <cstring>
#include <string>

#include "DrawFixture.h"

namespace {

using zovhost::d3d::Call;
using zovhost::d3d::Draw;

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
    std::vector<T> result(count);
    std::memcpy(result.data(), bytes.data(), std::min(bytes.size(), count * sizeof(T)));
    return result;
  }
  /// The draw's vertex positions as its vertex shader places them: each
  /// position, as a row vector, times the matrix of the constants, which
  /// the shader reads by columns.
  static std::vector<MPoint> placed(const Draw& draw, size_t count) {
    const std::vector<float> matrix = values<float>(draw.vertexConstants, 16);
    std::vector<MPoint> points;
    for (size_t i = 0; i < count; ++i) {
      const std::vector<float> vertex =
          values<float>(std::vector<uint8_t>(draw.vertexBuffers[0].bytes.begin() + i * draw.vertexBuffers[0].stride,
                                             draw.vertexBuffers[0].bytes.end()),
                        3);
      double clip[4];
      for (int column = 0; column < 4; ++column)
        clip[column] = vertex[0] * matrix[4 * column] + vertex[1] * matrix[4 * column + 1] +
                       vertex[2] * matrix[4 * column + 2] + matrix[4 * column + 3];
      points.push_back(MPoint(clip[0], clip[1], clip[2], clip[3]));
    }
    return points;
  }
  static std::vector<std::string> functions() {
    std::vector<std::string> names;
    for (const Call& call : zovhost::testing::d3dCalls()) names.push_back(call.function);
    return names;
  }

  RawFootPrintDrawAgentDX* agent = nullptr;
};

TEST_F(DXAgent, ABoundingBoxIsTheUnitCubeScaledToTheExtentAboutTheOrigin) {
  // A shaded fan first: the box still binds positions of 12 bytes.
  agent->beginDrawColored();
  agent->drawShadedTriangles(kTriangle, kTriangleColors, 3);
  agent->beginDraw();
  const double low[3] = {0, 0, 0}, high[3] = {2, 4, 6};
  agent->drawBoundingBox(low, high);
  const std::vector<Draw> draws = zovhost::testing::d3dDraws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].vertexBuffers[0].stride, 28u);
  const Draw& box = draws[1];
  EXPECT_EQ(box.vertexBuffers[0].stride, 12u);
  EXPECT_EQ(box.topology, D3D11_PRIMITIVE_TOPOLOGY_LINELIST);
  ASSERT_EQ(box.indexCount, 24u);
  const std::vector<MPoint> corners = placed(box, 8);
  MPoint lowest(1e9, 1e9, 1e9), highest(-1e9, -1e9, -1e9);
  for (const MPoint& corner : corners)
    for (unsigned int k = 0; k < 3; ++k) {
      lowest[k] = std::min(lowest[k], corner[k]);
      highest[k] = std::max(highest[k], corner[k]);
    }
  EXPECT_TRUE(lowest.isEquivalent(MPoint(-1, -2, -3), 1e-6));
  EXPECT_TRUE(highest.isEquivalent(MPoint(1, 2, 3), 1e-6));
  // Twelve edges, each joining corners that differ in one coordinate.
  const std::vector<uint16_t> edges = values<uint16_t>(box.indexBytes, 24);
  for (size_t i = 0; i < 24; i += 2) {
    const MVector edge = corners[edges[i]] - corners[edges[i + 1]];
    EXPECT_EQ((edge.x != 0) + (edge.y != 0) + (edge.z != 0), 1) << i;
  }
}

TEST_F(DXAgent, PointsAreSquaresOfHalfSizeAnEighthOfAHundredthOfTheSize) {
  MPointArray points;
  points.append(MPoint(0.1, 0.2, 0.3));
  points.append(MPoint(-0.4, 0.0, 0.5));
  const MVector a = MVector(1, 1, 0).normal(), b(0, 0, 1);
  agent->beginDraw();
  agent->drawPoints(points, a, b, 1.0f);
  const std::vector<Draw> draws = zovhost::testing::d3dDraws();
  ASSERT_EQ(draws.size(), 2u);
  for (unsigned int i = 0; i < 2; ++i) {
    EXPECT_EQ(draws[i].topology, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    EXPECT_EQ(draws[i].indexCount, 6u);
    const std::vector<float> square = values<float>(draws[i].vertexBuffers[0].bytes, 12);
    const double s = 0.00125;
    const MPoint expected[4] = {points[i] + a * s - b * s, points[i] + a * s + b * s, points[i] - a * s + b * s,
                                points[i] - a * s - b * s};
    for (int c = 0; c < 4; ++c)
      EXPECT_TRUE(MPoint(square[3 * c], square[3 * c + 1], square[3 * c + 2]).isEquivalent(expected[c], 1e-7)) << c;
    // Two triangles that cover the square: corners 0-1-2 and 0-2-3.
    EXPECT_EQ(values<uint16_t>(draws[i].indexBytes, 6), (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
  }
}

TEST_F(DXAgent, AnOutlineOf33PointsClosesTheFirst32AndTheConstantsHoldTheTransposedProduct) {
  const double view[4][4] = {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0.25, 0.5, 0.75, 1}};
  const double projection[4][4] = {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, -1, -1}, {0, 0, 0.5, 0}};
  agent->worldView = MMatrix(view);
  agent->projection = MMatrix(projection);
  const float color[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  std::copy(color, color + 4, agent->color);
  std::vector<float> points;
  for (int i = 0; i < 33; ++i) points.insert(points.end(), {0.01f * i, -0.02f * i, 0.5f});
  agent->beginDraw();
  agent->drawPolygon(points.data(), 33);

  const std::vector<Draw> draws = zovhost::testing::d3dDraws();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].indexCount, 64u);
  EXPECT_EQ(draws[0].vertexBuffers[0].stride, 12u);
  std::vector<uint16_t> closed;
  for (uint16_t i = 0; i < 32; ++i) closed.insert(closed.end(), {i, static_cast<uint16_t>((i + 1) % 32)});
  EXPECT_EQ(values<uint16_t>(draws[0].indexBytes, 64), closed);
  EXPECT_EQ(values<float>(draws[0].vertexBuffers[0].bytes, 96), std::vector<float>(points.begin(), points.end() - 3));

  const MMatrix product = MMatrix(view) * MMatrix(projection);
  const std::vector<float> constants = values<float>(draws[0].vertexConstants, 20);
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column)
      EXPECT_NEAR(constants[4 * row + column], product[column][row], 1e-6) << row << "," << column;
  EXPECT_EQ(std::vector<float>(constants.begin() + 16, constants.end()), std::vector<float>(color, color + 4));
  EXPECT_EQ(draws[0].pixelConstants, draws[0].vertexConstants);
}

TEST_F(DXAgent, SwitchingBeginsRebuildsThePipelineAndSetsItShaderLayoutShader) {
  const std::vector<std::string> rebuilt = {"D3DCompile",       "CreateVertexShader", "CreateInputLayout",
                                            "D3DCompile",       "CreatePixelShader",  "VSSetShader",
                                            "IASetInputLayout", "PSSetShader"};
  const std::vector<std::string> kept = {"VSSetShader", "IASetInputLayout", "PSSetShader"};
  const auto pipelineCalls = [] {
    std::vector<std::string> names;
    for (const std::string& name : functions())
      if (name != "Release" && name != "AddRef" && name != "CreateBuffer" && name != "GetImmediateContext")
        names.push_back(name);
    zovhost::testing::clearD3DRecord();
    return names;
  };
  agent->beginDraw();
  EXPECT_EQ(pipelineCalls(), rebuilt);
  agent->beginDrawColored();
  EXPECT_EQ(pipelineCalls(), rebuilt);
  agent->beginDrawColored();
  EXPECT_EQ(pipelineCalls(), kept);
  agent->beginDraw();
  EXPECT_EQ(pipelineCalls(), rebuilt);

  // The effects' entry points and targets.
  agent->releaseDXDrawAgent();
  agent->beginDrawColored();
  std::vector<std::vector<std::string>> compiled;
  for (const Call& call : zovhost::testing::d3dCalls())
    if (call.function == "D3DCompile") compiled.push_back(call.texts);
  EXPECT_EQ(compiled,
            (std::vector<std::vector<std::string>>{{"mainVS", "mainVS", "vs_5_0"}, {"mainPS", "mainPS", "ps_5_0"}}));
}

TEST_F(DXAgent, WithoutADeviceNothingIsDrawn) {
  for (int without = 0; without < 2; ++without) {
    if (without == 0) zovhost::testing::setDirectXDevice(false);
    if (without == 1) zovhost::testing::setRendererExists(false);
    const float center[3] = {0, 0, 0}, radius = 1.0f;
    agent->beginDraw();
    agent->drawPolygon(kTriangle, 3);
    agent->drawAxisCircle(0, center, &radius);
    agent->beginDrawColored();
    agent->drawShadedTriangles(kTriangle, kTriangleColors, 3);
    agent->endDraw();
    EXPECT_TRUE(zovhost::testing::d3dCalls().empty()) << without;
    EXPECT_EQ(agent->device, nullptr);
  }
}

TEST_F(DXAgent, AFailedCompilationIsReportedOnceAndNotTriedAgain) {
  for (const char* target : {"vs_5_0", "ps_5_0"}) {
    agent = &freshDXAgent();
    zovhost::testing::setShaderCompileFailure(target, true);
    ::testing::internal::CaptureStdout();
    agent->beginDraw();
    zovhost::testing::setShaderCompileFailure(target, false);
    agent->beginDrawColored();
    agent->beginDraw();
    agent->drawPolygon(kTriangle, 3);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              std::string(target[0] == 'v' ? "Failed to compile vertex shader for ZOv primitives\n"
                                           : "Failed to compile pixel shader for ZOV primitives\n"));
    int compilations = 0;
    for (const std::string& name : functions()) compilations += name == "D3DCompile";
    EXPECT_EQ(compilations, target[0] == 'v' ? 1 : 2) << target;
    EXPECT_TRUE(zovhost::testing::d3dDraws().empty()) << target;
  }
}

TEST_F(DXAgent, ObjectsThatCouldNotBeMadeAreMadeByTheNextBegin) {
  struct Case {
    const char* function;
    const char* message;
  };
  for (const Case& c :
       {Case{"CreateVertexShader", "Failed to create vertex shader for ZOv primitives\n"},
        Case{"CreateInputLayout", "Failed to create input layout for ZOv primitives\n"},
        Case{"CreatePixelShader", "Failed to create pixel shader for ZOv primitives\n"}, Case{"CreateBuffer", ""}}) {
    agent = &freshDXAgent();
    zovhost::testing::injectD3DFailure(c.function);
    ::testing::internal::CaptureStdout();
    agent->beginDraw();
    agent->drawPolygon(kTriangle, 3);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.message);
    EXPECT_TRUE(zovhost::testing::d3dDraws().empty()) << c.function;
    agent->beginDraw();
    agent->drawPolygon(kTriangle, 3);
    EXPECT_EQ(zovhost::testing::d3dDraws().size(), 1u) << c.function;
  }
}

TEST_F(DXAgent, ShadedFansOfThreeToThirtyTwoCornersDrawTheirTriangles) {
  std::vector<float> corners;
  for (int i = 0; i < 40; ++i) corners.insert(corners.end(), {std::cos(0.1f * i), std::sin(0.1f * i), 0.0f});
  agent->beginDrawColored();
  for (unsigned int count : {0u, 1u, 2u, 3u, 40u}) agent->drawShadedTriangles(corners.data(), corners.data(), count);
  const std::vector<Draw> draws = zovhost::testing::d3dDraws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].indexCount, 3u);
  EXPECT_EQ(draws[1].indexCount, 90u);
  // Each vertex: position, then the RGB colour with alpha 1.
  const std::vector<float> vertex = values<float>(draws[1].vertexBuffers[0].bytes, 14);
  EXPECT_EQ(std::vector<float>(vertex.begin() + 7, vertex.end()),
            (std::vector<float>{corners[3], corners[4], corners[5], corners[3], corners[4], corners[5], 1.0f}));
}

}  // namespace

namespace {

TEST_F(DXAgent, TheReservedShapesAndTheTriangleDrawNothing) {
  agent->beginDraw();
  agent->drawPolygon(kTriangle, 3);
  agent->reservedSolidDraw();
  agent->reservedWireDraw();
  agent->drawTriangle(kTriangle, kTriangle + 3, kTriangle + 6);
  agent->endDraw();
  EXPECT_EQ(zovhost::testing::d3dDraws().size(), 1u);
}

}  // namespace
