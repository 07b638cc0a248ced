#pragma once

#include <d3d11.h>

#include "src/draw/RawFootPrintDrawAgent.h"

/// The draw agent for a viewport that renders with Direct3D 11. It borrows
/// the host renderer's device, takes the device's immediate context, and
/// draws with one of two small effects (uniform colour, per-vertex colour)
/// from fixed and dynamic buffers made by the first begin. Shapes are placed
/// by world * `worldView` * `projection`.
class RawFootPrintDrawAgentDX : public RawFootPrintDrawAgent {
 public:
  /// Does nothing.
  void reservedSolidDraw() override;
  /// The twelve edges of a box of the extent maximum - minimum centred at
  /// the object origin.
  void drawBoundingBox(const double minimum[3], const double maximum[3]) override;
  /// Does nothing.
  void reservedWireDraw() override;
  /// Does nothing.
  void drawTriangle(const float a[3], const float b[3], const float c[3]) override;
  /// The closed outline of the first kMaxOutlinePoints points.
  void drawPolygon(const float* points, unsigned int count) override;
  /// Needs beginDrawColored; fewer than three corners draw nothing.
  void drawShadedTriangles(const float* positions, const float* colors, unsigned int count) override;
  /// A square about each point spanned by the two directions, of half-size
  /// size / 100 * 0.125 along each.
  void drawPoints(const MPointArray& points, const MVector& directionA, const MVector& directionB, float size) override;
  /// 31 points just short of a full turn: in the XY plane for axis 2, in the
  /// XZ plane for any other axis.
  void drawAxisCircle(unsigned int axis, const float center[3], const float* radius) override;
  /// The uniform-colour effect.
  void beginDraw() override;
  /// The per-vertex-colour effect.
  void beginDrawColored() override;
  /// Does nothing.
  void endDraw() override;

  /// Builds the missing parts of the pipeline from an effect's source and
  /// input layout (two elements); prints the failing step.
  bool compileHLSLShader(const char* source, const D3D11_INPUT_ELEMENT_DESC* layout);
  /// Creates, in order, each buffer still missing; the first failure stops
  /// the rest, which the next begin tries again.
  bool createBuffers();
  /// Writes world * worldView * projection (transposed) and `color` to the
  /// constant buffer and binds it to both stages. `world` is a row-major 4x4
  /// matrix acting on row vectors.
  void setConstants(const float world[16]);
  /// Releases the buffers, the pipeline and the context; the device, which
  /// is the renderer's, is only forgotten. A begin afterwards starts over.
  void releaseDXDrawAgent();

  /// Borrowed from the renderer, never released.
  ID3D11Device* device = nullptr;
  /// The objects below are the agent's own references.
  ID3D11DeviceContext* context = nullptr;
  ID3D11Buffer* boxVertexBuffer = nullptr;
  ID3D11Buffer* boxIndexBuffer = nullptr;
  ID3D11Buffer* shapeVertexBuffer = nullptr;
  ID3D11Buffer* coloredVertexBuffer = nullptr;
  ID3D11Buffer* shapeIndexBuffer = nullptr;
  ID3D11Buffer* constantBuffer = nullptr;
  ID3D11VertexShader* vertexShader = nullptr;
  ID3D11PixelShader* pixelShader = nullptr;
  ID3D11InputLayout* inputLayout = nullptr;
  /// kUniformPipeline or kColoredPipeline: the effect of the pipeline.
  int pipelineMode = kUniformPipeline;
  /// What the last vertex-buffer binding was given.
  UINT vertexStride = kPositionStride;
  UINT vertexOffset = 0;

  static constexpr int kUniformPipeline = 0;
  static constexpr int kColoredPipeline = 1;
  /// Bytes of a vertex of each effect: a position, or a position and RGBA.
  static constexpr UINT kPositionStride = 12;
  static constexpr UINT kColoredStride = 28;

 private:
  void begin(int mode);
  /// The pipeline and the buffers a shape needs are there.
  bool canDraw(ID3D11Buffer* vertices) const;
  /// Writes bytes into a dynamic buffer through map/discard.
  bool write(ID3D11Buffer* buffer, const void* data, size_t size);
  /// Binds vertices (with the stride) and 16-bit indices, sets the topology
  /// and draws.
  void drawIndexed(ID3D11Buffer* vertices, UINT stride, ID3D11Buffer* indices, D3D11_PRIMITIVE_TOPOLOGY topology,
                   UINT indexCount);
};

RawFootPrintDrawAgentDX* getDXDrawAgent();
