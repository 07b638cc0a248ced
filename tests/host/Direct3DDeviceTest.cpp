#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <d3dcompiler.h>
#include <maya/M3dView.h>
#include <maya/MViewport2Renderer.h>

#include <cstring>
#include <string>
#include <vector>

#include "HostFixture.h"
#include "testing/RenderTesting.h"

namespace {

namespace testing = zovhost::testing;
using zovhost::d3d::Call;
using zovhost::d3d::ObjectKind;

const char kSource[] =
    "float4 mainVS(float3 p : POSITION) : SV_POSITION { return float4(p, 1); }\n"
    "float4 mainPS() : SV_TARGET { return float4(1, 1, 1, 1); }\n";

class Direct3DDevice : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    testing::setDrawAPI(MHWRender::kDirectX11);
    device = static_cast<ID3D11Device*>(MHWRender::MRenderer::theRenderer()->GPUDeviceHandle());
    ASSERT_NE(device, nullptr);
    device->GetImmediateContext(&context);
  }
  void TearDown() override {
    context->Release();
    HostTest::TearDown();
  }

  ID3D11Buffer* buffer(UINT bytes, D3D11_USAGE usage, UINT binding, const void* initial = nullptr) {
    D3D11_BUFFER_DESC desc = {bytes, usage, binding, usage == D3D11_USAGE_DYNAMIC ? 0x10000u : 0u, 0, 0};
    D3D11_SUBRESOURCE_DATA data = {initial, 0, 0};
    ID3D11Buffer* made = nullptr;
    EXPECT_EQ(device->CreateBuffer(&desc, initial ? &data : nullptr, &made), S_OK);
    return made;
  }
  static ID3DBlob* compile(const char* entry, const char* target, ID3DBlob** errors = nullptr) {
    ID3DBlob* code = nullptr;
    D3DCompile(kSource, sizeof kSource, entry, nullptr, nullptr, entry, target, D3DCOMPILE_ENABLE_STRICTNESS, 0, &code,
               errors);
    return code;
  }
  static unsigned references(unsigned id) { return testing::d3dObjects()[id - 1].references; }
  static unsigned lastObject() { return testing::d3dObjects().back().id; }

  ID3D11Device* device = nullptr;
  ID3D11DeviceContext* context = nullptr;
};

TEST_F(Direct3DDevice, BuffersAreRecordedCountedAndGoneAtTheLastRelease) {
  const float initial[4] = {1, 2, 3, 4};
  ID3D11Buffer* made = buffer(16, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, initial);
  const unsigned id = lastObject();
  const Call created = testing::d3dCalls().back();
  EXPECT_EQ(created.function, "CreateBuffer");
  EXPECT_EQ(created.values, (std::vector<int64_t>{16, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0}));
  EXPECT_EQ(created.objects, std::vector<unsigned>{id});
  ASSERT_EQ(created.bytes.size(), 16u);
  EXPECT_EQ(std::memcmp(created.bytes.data(), initial, 16), 0);
  EXPECT_EQ(made->AddRef(), 2u);
  EXPECT_EQ(made->Release(), 1u);
  EXPECT_EQ(references(id), 1u);
  EXPECT_EQ(made->Release(), 0u);
  EXPECT_EQ(references(id), 0u);

  // Descriptions the device refuses, each with nothing made.
  struct Refused {
    const char* why;
    D3D11_BUFFER_DESC desc;
  };
  for (const Refused& refused : {
           Refused{"empty", {0, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0}},
           Refused{"constants not in whole registers", {20, D3D11_USAGE_DEFAULT, D3D11_BIND_CONSTANT_BUFFER, 0, 0, 0}},
           Refused{"dynamic without CPU writes", {16, D3D11_USAGE_DYNAMIC, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0}},
           Refused{"default with CPU writes", {16, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0x10000, 0, 0}},
       }) {
    const size_t objects = testing::d3dObjects().size();
    ID3D11Buffer* none = nullptr;
    EXPECT_EQ(device->CreateBuffer(&refused.desc, nullptr, &none), E_INVALIDARG) << refused.why;
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(testing::d3dObjects().size(), objects) << refused.why;
  }
  testing::injectD3DFailure("CreateBuffer");
  ID3D11Buffer* none = nullptr;
  const D3D11_BUFFER_DESC valid = {16, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
  EXPECT_TRUE(FAILED(device->CreateBuffer(&valid, nullptr, &none)));
  EXPECT_TRUE(SUCCEEDED(device->CreateBuffer(&valid, nullptr, &none)));
  none->Release();
}

TEST_F(Direct3DDevice, DynamicBuffersAreMappedWithDiscardAndDefaultOnesUpdated) {
  ID3D11Buffer* dynamic = buffer(8, D3D11_USAGE_DYNAMIC, D3D11_BIND_VERTEX_BUFFER);
  D3D11_MAPPED_SUBRESOURCE mapped = {};
  ASSERT_EQ(context->Map(dynamic, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), S_OK);
  EXPECT_EQ(context->Map(dynamic, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), E_INVALIDARG);
  std::memset(mapped.pData, 7, 4);
  context->Unmap(dynamic, 0);
  EXPECT_EQ(testing::d3dCalls().back().bytes, (std::vector<uint8_t>{7, 7, 7, 7, 0, 0, 0, 0}));
  // Discarding forgets what was written before.
  ASSERT_EQ(context->Map(dynamic, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), S_OK);
  context->Unmap(dynamic, 0);
  EXPECT_EQ(testing::d3dCalls().back().bytes, std::vector<uint8_t>(8, 0));
  context->UpdateSubresource(dynamic, 0, nullptr, &mapped, 0, 0);
  EXPECT_EQ(testing::d3dCalls().back().result, E_INVALIDARG);

  ID3D11Buffer* fixed = buffer(16, D3D11_USAGE_DEFAULT, D3D11_BIND_CONSTANT_BUFFER);
  EXPECT_EQ(context->Map(fixed, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), E_INVALIDARG);
  const uint8_t bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  context->UpdateSubresource(fixed, 0, nullptr, bytes, 0, 0);
  EXPECT_EQ(testing::d3dCalls().back().bytes, std::vector<uint8_t>(bytes, bytes + 16));
  dynamic->Release();
  fixed->Release();
}

TEST_F(Direct3DDevice, TheCompilerAcceptsItsTargetsAndEntryPointsAndExplainsFailures) {
  ID3DBlob* vertexCode = compile("mainVS", "vs_5_0");
  ID3DBlob* pixelCode = compile("mainPS", "ps_5_0");
  ASSERT_TRUE(vertexCode && pixelCode);
  const Call compiled = testing::d3dCalls().back();
  EXPECT_EQ(compiled.texts, (std::vector<std::string>{"mainPS", "mainPS", "ps_5_0"}));
  EXPECT_EQ(compiled.values[0], static_cast<int64_t>(sizeof kSource));
  EXPECT_EQ(compiled.values[3], 2048);

  // Code of one stage makes shaders of that stage only.
  ID3D11VertexShader* vertexShader = nullptr;
  ID3D11PixelShader* pixelShader = nullptr;
  EXPECT_EQ(
      device->CreateVertexShader(pixelCode->GetBufferPointer(), pixelCode->GetBufferSize(), nullptr, &vertexShader),
      E_INVALIDARG);
  ASSERT_EQ(
      device->CreateVertexShader(vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(), nullptr, &vertexShader),
      S_OK);
  ASSERT_EQ(device->CreatePixelShader(pixelCode->GetBufferPointer(), pixelCode->GetBufferSize(), nullptr, &pixelShader),
            S_OK);
  // A layout must feed inputs the vertex shader has.
  const D3D11_INPUT_ELEMENT_DESC position = {
      "POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0};
  const D3D11_INPUT_ELEMENT_DESC texture = {
      "TEXCOORD", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0};
  ID3D11InputLayout* layout = nullptr;
  const D3D11_INPUT_ELEMENT_DESC wrong[] = {position, texture};
  EXPECT_EQ(device->CreateInputLayout(wrong, 2, vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(), &layout),
            E_INVALIDARG);
  EXPECT_EQ(
      device->CreateInputLayout(&position, 1, vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(), &layout),
      S_OK);
  for (IUnknown* object : std::vector<IUnknown*>{vertexCode, pixelCode, vertexShader, pixelShader, layout})
    EXPECT_EQ(object->Release(), 0u);

  struct Failing {
    const char* entry;
    const char* target;
    const char* message;
  };
  for (const Failing& failing : {Failing{"mainGS", "vs_5_0", "entry point 'mainGS' not found"},
                                 Failing{"mainVS", "gs_5_0", "unknown target 'gs_5_0'"},
                                 Failing{"mainVS", "vs_5_0", "compilation for vs_5_0 failed"}}) {
    testing::setShaderCompileFailure("vs_5_0", std::string(failing.message).find("compilation") == 0);
    ID3DBlob* errors = nullptr;
    EXPECT_EQ(compile(failing.entry, failing.target, &errors), nullptr) << failing.message;
    ASSERT_NE(errors, nullptr) << failing.message;
    const std::string text(static_cast<const char*>(errors->GetBufferPointer()));
    EXPECT_NE(text.find(failing.message), std::string::npos) << text;
    EXPECT_EQ(errors->Release(), 0u);
  }
}

TEST_F(Direct3DDevice, ADrawKeepsWhatWasBoundAndAReleasedBufferDrawsAsUnbound) {
  const float corners[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const uint16_t indices[3] = {0, 1, 2};
  ID3D11Buffer* vertices = buffer(sizeof corners, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, corners);
  ID3D11Buffer* triangle = buffer(sizeof indices, D3D11_USAGE_DEFAULT, D3D11_BIND_INDEX_BUFFER, indices);
  const UINT stride = 12, offset = 0;
  context->IASetVertexBuffers(0, 1, &vertices, &stride, &offset);
  context->IASetIndexBuffer(triangle, DXGI_FORMAT_R16_UINT, 0);
  context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
  context->DrawIndexed(3, 0, 0);
  vertices->Release();
  context->DrawIndexed(3, 0, 0);

  const std::vector<zovhost::d3d::Draw> draws = testing::d3dDraws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].topology, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
  EXPECT_EQ(draws[0].indexCount, 3u);
  ASSERT_EQ(draws[0].vertexBuffers.size(), 1u);
  EXPECT_EQ(draws[0].vertexBuffers[0].stride, 12u);
  EXPECT_EQ(std::memcmp(draws[0].vertexBuffers[0].bytes.data(), corners, sizeof corners), 0);
  EXPECT_EQ(draws[0].indexBytes.size(), sizeof indices);
  EXPECT_TRUE(draws[1].vertexBuffers.empty());
  EXPECT_EQ(draws[1].indexBuffer, draws[0].indexBuffer);
  triangle->Release();
}

/// A triangle-list draw of coloured vertices through an identity matrix,
/// as the rasteriser reads it.
zovhost::d3d::Draw colouredTriangle(const float positions[3][3], const float colours[3][4], float scale) {
  zovhost::d3d::Draw draw;
  draw.topology = D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST;
  draw.indexCount = 3;
  draw.indexFormat = DXGI_FORMAT_R16_UINT;
  const uint16_t indices[3] = {0, 1, 2};
  draw.indexBytes.assign(reinterpret_cast<const uint8_t*>(indices), reinterpret_cast<const uint8_t*>(indices + 3));
  std::vector<float> vertices;
  for (int i = 0; i < 3; ++i) {
    vertices.insert(vertices.end(), positions[i], positions[i] + 3);
    vertices.insert(vertices.end(), colours[i], colours[i] + 4);
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(vertices.data());
  draw.vertexBuffers = {{1, 28, 0, std::vector<uint8_t>(bytes, bytes + 4 * vertices.size())}};
  draw.layout = {{"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0},
                 {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12}};
  const float matrix[16] = {scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  draw.vertexConstants.assign(reinterpret_cast<const uint8_t*>(matrix), reinterpret_cast<const uint8_t*>(matrix + 16));
  return draw;
}

TEST_F(Direct3DDevice, TheRasteriserCoversWhatOpenGLCoversAndBlendsVertexColours) {
  const float positions[3][3] = {{-0.8f, -0.7f, 0}, {0.9f, -0.5f, 0}, {-0.2f, 0.85f, 0}};
  const float colours[3][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
  std::vector<zovhost::d3d::Draw> draws = {colouredTriangle(positions, colours, 1.0f)};
  const zovhost::RenderImage drawn = testing::rasterizeD3DDraws(draws, 64, 64, {0, 0, 0, 1});

  // The same triangle through fixed-function OpenGL.
  ASSERT_TRUE(M3dView::active3dView().beginGL());
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glShadeModel(GL_SMOOTH);
  glBegin(GL_TRIANGLES);
  for (int i = 0; i < 3; ++i) {
    glColor4fv(colours[i]);
    glVertex3fv(positions[i]);
  }
  glEnd();
  M3dView::active3dView().endGL();
  const zovhost::RenderImage reference = testing::readView();

  int differentCoverage = 0, covered = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const uint8_t* a = drawn.pixel(x, y);
      const uint8_t* b = reference.pixel(x, y);
      const bool inA = a[0] + a[1] + a[2] > 0, inB = b[0] + b[1] + b[2] > 0;
      covered += inB;
      if (inA != inB) {
        ++differentCoverage;
        continue;
      }
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(a[c], b[c], 3) << x << "," << y;
    }
  // The triangle is about 1200 pixels; only pixels whose centres lie on an
  // edge may go either way.
  EXPECT_GT(covered, 1000);
  EXPECT_LE(differentCoverage, 4);

  // The matrix is read by columns and scales the triangle about the centre.
  draws = {colouredTriangle(positions, colours, 0.5f)};
  const zovhost::RenderImage half = testing::rasterizeD3DDraws(draws, 64, 64, {0, 0, 0, 1});
  const uint8_t* outside = half.pixel(8, 14);  // inside the full triangle only
  EXPECT_GT(drawn.pixel(8, 14)[0], 0);
  EXPECT_EQ(outside[0] + outside[1] + outside[2], 0);
}

}  // namespace
