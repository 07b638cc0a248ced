#include "src/draw/RawFootPrintDrawAgentDX.h"
#include "src/draw/DrawShapes.h"

#include <d3dcompiler.h>
#include <maya/MViewport2Renderer.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/ModuleState.h"

namespace {

const char kUniformEffect[] = R"(cbuffer Constants : register(b0) {
  float4x4 wvp : WorldViewProjection;
  float4 matColor = float4(0.0, 1.0, 0.0, 1.0);
};
struct VertexIn {
  float3 position : POSITION;
  float3 normal : NORMAL;
};
float4 mainVS(VertexIn input) : SV_POSITION { return mul(float4(input.position, 1.0), wvp); }
float4 mainPS() : SV_TARGET { return matColor; }
)";

const char kColoredEffect[] = R"(cbuffer Constants : register(b0) {
  float4x4 wvp : WorldViewProjection;
};
struct VertexIn {
  float3 position : POSITION;
  float4 color : COLOR;
};
struct VertexOut {
  float4 position : SV_POSITION;
  float4 color : COLOR;
};
VertexOut mainVS(VertexIn input) {
  VertexOut output;
  output.position = mul(float4(input.position, 1.0), wvp);
  output.color = input.color;
  return output;
}
float4 mainPS(VertexOut input) : SV_TARGET { return input.color; }
)";

// The uniform-colour effect reads a normal from slot 1, where nothing is
// bound; the shader does not use it.
const D3D11_INPUT_ELEMENT_DESC kUniformLayout[] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 1, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
};
const D3D11_INPUT_ELEMENT_DESC kColoredLayout[] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
};
constexpr UINT kLayoutElements = 2;

constexpr UINT kShapeVertexBytes = 32 * 12;
constexpr UINT kColoredVertexBytes = 32 * 28;
constexpr UINT kShapeIndexBytes = 96 * 2;
/// A 4x4 float matrix and an RGBA colour.
constexpr UINT kConstantBytes = 80;

using namespace zovdraw;

/// Half the side of a point's square per unit of size.
constexpr float kPointScale = 0.125f / 100.0f;

/// Set when a compilation failed: no compilation is tried again until the
/// agent is released. The compiler's messages are held with it.
bool g_compileFailed = false;
ID3DBlob* g_compileErrors = nullptr;
/// A load starts with no failed compilation: the messages an earlier load
/// held were given back when it released its agent.
const zov::platform::ModuleStateReset g_compileStateReset([] {
  g_compileFailed = false;
  g_compileErrors = nullptr;
});

template <typename Object>
void release(Object*& object) {
  if (object) object->Release();
  object = nullptr;
}

/// Row-major 4x4 products, acting on row vectors.
void multiply(const float* a, const float* b, float* out) {
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[4 * row + k] * b[4 * k + column];
      out[4 * row + column] = sum;
    }
}

void toFloats(const MMatrix& matrix, float* out) {
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) out[4 * row + column] = static_cast<float>(matrix.matrix[row][column]);
}

/// Compiles one entry point of a source; on failure keeps the messages.
ID3DBlob* compile(const char* source, const char* entryPoint, const char* target) {
  ID3DBlob* code = nullptr;
  ID3DBlob* errors = nullptr;
  const HRESULT result = D3DCompile(source, std::strlen(source) + 1, entryPoint, nullptr, nullptr, entryPoint, target,
                                    D3DCOMPILE_ENABLE_STRICTNESS, 0, &code, &errors);
  if (SUCCEEDED(result) && code) {
    release(errors);
    return code;
  }
  release(code);
  g_compileFailed = true;
  release(g_compileErrors);
  g_compileErrors = errors;
  return nullptr;
}

HRESULT createBuffer(ID3D11Device* device, UINT bytes, D3D11_USAGE usage, UINT binding, const void* initial,
                     ID3D11Buffer** buffer) {
  D3D11_BUFFER_DESC desc = {};
  desc.ByteWidth = bytes;
  desc.Usage = usage;
  desc.BindFlags = binding;
  desc.CPUAccessFlags = usage == D3D11_USAGE_DYNAMIC ? UINT{D3D11_CPU_ACCESS_WRITE} : 0u;
  D3D11_SUBRESOURCE_DATA data = {initial, 0, 0};
  return device->CreateBuffer(&desc, initial ? &data : nullptr, buffer);
}

/// The closing index list of an outline: (i, i+1) for each point, the last
/// pointing back to point 0.
void outlineIndices(unsigned int points, uint16_t* indices) {
  for (unsigned int i = 0; i < points; ++i) {
    indices[2 * i] = static_cast<uint16_t>(i);
    indices[2 * i + 1] = static_cast<uint16_t>(i + 1);
  }
  indices[2 * points - 1] = 0;
}

}  // namespace

void RawFootPrintDrawAgentDX::beginDraw() { begin(kUniformPipeline); }
void RawFootPrintDrawAgentDX::beginDrawColored() { begin(kColoredPipeline); }
void RawFootPrintDrawAgentDX::endDraw() {}
void RawFootPrintDrawAgentDX::drawTriangle(const float*, const float*, const float*) {}
// Both draw fixed counts from whatever buffers are bound; nothing uses them.
void RawFootPrintDrawAgentDX::reservedSolidDraw() {}
void RawFootPrintDrawAgentDX::reservedWireDraw() {}

void RawFootPrintDrawAgentDX::begin(int mode) {
  if (!device || !context) {
    MHWRender::MRenderer* renderer = MHWRender::MRenderer::theRenderer();
    if (!device && renderer) device = static_cast<ID3D11Device*>(renderer->GPUDeviceHandle());
    if (device && !context) device->GetImmediateContext(&context);
    if (!device || !context) return;
  }
  if (pipelineMode != mode) {
    release(vertexShader);
    release(pixelShader);
    release(inputLayout);
  }
  const bool colored = mode == kColoredPipeline;
  if (compileHLSLShader(colored ? kColoredEffect : kUniformEffect, colored ? kColoredLayout : kUniformLayout)) {
    context->VSSetShader(vertexShader, nullptr, 0);
    context->IASetInputLayout(inputLayout);
    context->PSSetShader(pixelShader, nullptr, 0);
    pipelineMode = mode;
  }
  createBuffers();
}

bool RawFootPrintDrawAgentDX::compileHLSLShader(const char* source, const D3D11_INPUT_ELEMENT_DESC* layout) {
  if (g_compileFailed || !device) return false;
  // The layout is checked against the compiled vertex shader, so the two
  // are made together.
  if (!vertexShader || !inputLayout) {
    release(vertexShader);
    release(inputLayout);
    ID3DBlob* code = compile(source, "mainVS", "vs_5_0");
    if (!code) {
      std::printf("Failed to compile vertex shader for ZOv primitives\n");
      return false;
    }
    if (FAILED(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &vertexShader))) {
      vertexShader = nullptr;
      release(code);
      std::printf("Failed to create vertex shader for ZOv primitives\n");
      return false;
    }
    const HRESULT made = device->CreateInputLayout(layout, kLayoutElements, code->GetBufferPointer(),
                                                   code->GetBufferSize(), &inputLayout);
    release(code);
    if (FAILED(made)) {
      inputLayout = nullptr;
      std::printf("Failed to create input layout for ZOv primitives\n");
      return false;
    }
  }
  if (!pixelShader) {
    ID3DBlob* code = compile(source, "mainPS", "ps_5_0");
    if (!code) {
      std::printf("Failed to compile pixel shader for ZOV primitives\n");
      return false;
    }
    const HRESULT made =
        device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &pixelShader);
    release(code);
    if (FAILED(made)) {
      pixelShader = nullptr;
      std::printf("Failed to create pixel shader for ZOv primitives\n");
      release(vertexShader);
      release(inputLayout);
      return false;
    }
  }
  return true;
}

bool RawFootPrintDrawAgentDX::createBuffers() {
  if (!device) return false;
  struct Wanted {
    ID3D11Buffer** buffer;
    UINT bytes;
    D3D11_USAGE usage;
    UINT binding;
    const void* initial;
  };
  const Wanted wanted[] = {
      {&boxVertexBuffer, sizeof kUnitCube, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, kUnitCube},
      {&boxIndexBuffer, sizeof kBoxEdges, D3D11_USAGE_DEFAULT, D3D11_BIND_INDEX_BUFFER, kBoxEdges},
      {&shapeVertexBuffer, kShapeVertexBytes, D3D11_USAGE_DYNAMIC, D3D11_BIND_VERTEX_BUFFER, nullptr},
      {&coloredVertexBuffer, kColoredVertexBytes, D3D11_USAGE_DYNAMIC, D3D11_BIND_VERTEX_BUFFER, nullptr},
      {&shapeIndexBuffer, kShapeIndexBytes, D3D11_USAGE_DYNAMIC, D3D11_BIND_INDEX_BUFFER, nullptr},
      {&constantBuffer, kConstantBytes, D3D11_USAGE_DEFAULT, D3D11_BIND_CONSTANT_BUFFER, nullptr},
  };
  for (const Wanted& buffer : wanted) {
    if (*buffer.buffer) continue;
    if (FAILED(createBuffer(device, buffer.bytes, buffer.usage, buffer.binding, buffer.initial, buffer.buffer))) {
      *buffer.buffer = nullptr;
      return false;
    }
  }
  return true;
}

void RawFootPrintDrawAgentDX::setConstants(const float world[16]) {
  float view[16], projected[16], worldView4[16], wvp[16];
  toFloats(worldView, view);
  toFloats(projection, projected);
  multiply(world, view, worldView4);
  multiply(worldView4, projected, wvp);
  float constants[20];
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) constants[4 * row + column] = wvp[4 * column + row];
  std::memcpy(constants + 16, color, sizeof color);
  context->UpdateSubresource(constantBuffer, 0, nullptr, constants, 0, 0);
  context->VSSetConstantBuffers(0, 1, &constantBuffer);
  context->PSSetConstantBuffers(0, 1, &constantBuffer);
}

bool RawFootPrintDrawAgentDX::canDraw(ID3D11Buffer* vertices) const {
  return context && vertexShader && pixelShader && inputLayout && constantBuffer && vertices;
}

bool RawFootPrintDrawAgentDX::write(ID3D11Buffer* buffer, const void* data, size_t size) {
  D3D11_MAPPED_SUBRESOURCE mapped = {};
  if (FAILED(context->Map(buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) return false;
  std::memcpy(mapped.pData, data, size);
  context->Unmap(buffer, 0);
  return true;
}

void RawFootPrintDrawAgentDX::drawIndexed(ID3D11Buffer* vertices, UINT stride, ID3D11Buffer* indices,
                                          D3D11_PRIMITIVE_TOPOLOGY topology, UINT indexCount) {
  vertexStride = stride;
  context->IASetVertexBuffers(0, 1, &vertices, &vertexStride, &vertexOffset);
  context->IASetIndexBuffer(indices, DXGI_FORMAT_R16_UINT, 0);
  context->IASetPrimitiveTopology(topology);
  context->DrawIndexed(indexCount, 0, 0);
}

void RawFootPrintDrawAgentDX::drawBoundingBox(const double minimum[3], const double maximum[3]) {
  if (!canDraw(boxVertexBuffer) || !boxIndexBuffer) return;
  float world[16] = {};
  for (int k = 0; k < 3; ++k) world[5 * k] = static_cast<float>(maximum[k] - minimum[k]);
  world[15] = 1.0f;
  setConstants(world);
  // The box's vertices are positions whatever the last shape drew.
  drawIndexed(boxVertexBuffer, kPositionStride, boxIndexBuffer, D3D11_PRIMITIVE_TOPOLOGY_LINELIST, kBoxEdgeIndices);
}

void RawFootPrintDrawAgentDX::drawPolygon(const float* points, unsigned int count) {
  const unsigned int n = count < kMaxOutlinePoints ? count : kMaxOutlinePoints;
  if (n == 0 || !canDraw(shapeVertexBuffer) || !shapeIndexBuffer) return;
  setConstants(kIdentity);
  uint16_t indices[2 * kMaxOutlinePoints];
  outlineIndices(n, indices);
  if (!write(shapeVertexBuffer, points, 12 * static_cast<size_t>(n)) ||
      !write(shapeIndexBuffer, indices, 4 * static_cast<size_t>(n)))
    return;
  drawIndexed(shapeVertexBuffer, kPositionStride, shapeIndexBuffer, D3D11_PRIMITIVE_TOPOLOGY_LINELIST, 2 * n);
}

void RawFootPrintDrawAgentDX::drawAxisCircle(unsigned int axis, const float center[3], const float* radius) {
  if (!canDraw(shapeVertexBuffer) || !shapeIndexBuffer) return;
  float points[kCirclePoints][3];
  circlePoints(axis, center, *radius, points);
  setConstants(kIdentity);
  uint16_t indices[2 * kCirclePoints];
  outlineIndices(kCirclePoints, indices);
  if (!write(shapeVertexBuffer, points, sizeof points) || !write(shapeIndexBuffer, indices, sizeof indices)) return;
  drawIndexed(shapeVertexBuffer, kPositionStride, shapeIndexBuffer, D3D11_PRIMITIVE_TOPOLOGY_LINELIST,
              2 * kCirclePoints);
}

void RawFootPrintDrawAgentDX::drawShadedTriangles(const float* positions, const float* colors, unsigned int count) {
  const unsigned int n = count < kMaxShadedCorners ? count : kMaxShadedCorners;
  // A fan needs three corners; fewer make no triangle.
  if (n < 3 || !canDraw(coloredVertexBuffer) || !shapeIndexBuffer) return;
  setConstants(kIdentity);
  float vertices[kMaxShadedCorners][7];
  for (unsigned int i = 0; i < n; ++i) {
    for (int k = 0; k < 3; ++k) {
      vertices[i][k] = positions[3 * i + k];
      vertices[i][3 + k] = colors[3 * i + k];
    }
    vertices[i][6] = 1.0f;
  }
  uint16_t fan[3 * (kMaxShadedCorners - 2)];
  for (unsigned int i = 0; i + 2 < n; ++i) {
    fan[3 * i] = 0;
    fan[3 * i + 1] = static_cast<uint16_t>(i + 1);
    fan[3 * i + 2] = static_cast<uint16_t>(i + 2);
  }
  const UINT indexCount = 3 * (n - 2);
  if (!write(coloredVertexBuffer, vertices, kColoredStride * static_cast<size_t>(n)) ||
      !write(shapeIndexBuffer, fan, 2 * static_cast<size_t>(indexCount)))
    return;
  drawIndexed(coloredVertexBuffer, kColoredStride, shapeIndexBuffer, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, indexCount);
}

void RawFootPrintDrawAgentDX::drawPoints(const MPointArray& points, const MVector& directionA,
                                         const MVector& directionB, float size) {
  if (points.length() == 0 || !canDraw(shapeVertexBuffer) || !shapeIndexBuffer) return;
  setConstants(kIdentity);
  const double half = size * kPointScale;
  const MVector a = directionA * half, b = directionB * half;
  static const uint16_t kSquare[6] = {0, 1, 2, 0, 2, 3};
  for (unsigned int i = 0; i < points.length(); ++i) {
    const MVector p(points[i].x, points[i].y, points[i].z);
    const MVector corners[4] = {p + a - b, p + a + b, p - a + b, p - a - b};
    float square[4][3];
    for (int c = 0; c < 4; ++c)
      for (unsigned int k = 0; k < 3; ++k) square[c][k] = static_cast<float>(corners[c][k]);
    if (!write(shapeVertexBuffer, square, sizeof square) || !write(shapeIndexBuffer, kSquare, sizeof kSquare)) return;
    drawIndexed(shapeVertexBuffer, kPositionStride, shapeIndexBuffer, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, 6);
  }
}

void RawFootPrintDrawAgentDX::releaseDXDrawAgent() {
  release(boxVertexBuffer);
  release(boxIndexBuffer);
  release(shapeVertexBuffer);
  release(coloredVertexBuffer);
  release(shapeIndexBuffer);
  release(constantBuffer);
  release(vertexShader);
  release(pixelShader);
  release(inputLayout);
  release(context);
  device = nullptr;
  release(g_compileErrors);
  g_compileFailed = false;
  pipelineMode = kUniformPipeline;
  vertexStride = kPositionStride;
}

RawFootPrintDrawAgentDX* getDXDrawAgent() {
  static RawFootPrintDrawAgentDX agent;
  return &agent;
}
