#pragma once

#include <d3dcompiler.h>

#include <memory>
#include <string>
#include <vector>

#include "render/D3DRecorder.h"

namespace zovhost::d3d {

class Buffer : public Counted<ID3D11Buffer> {
 public:
  Buffer(Recorder& recorder, const D3D11_BUFFER_DESC& desc) : Counted(recorder, ObjectKind::Buffer), desc(desc) {}
  D3D11_BUFFER_DESC desc;
  std::vector<uint8_t> bytes;
  bool mapped = false;
};

/// Compiled code as the stand-in's compiler writes it: a tag, the target,
/// the entry point and the source text, each ended by a zero.
struct ShaderCode {
  std::string target;
  std::string entryPoint;
  std::string source;

  std::vector<uint8_t> encode() const;
  /// False when the bytes are not code of this compiler.
  bool decode(const void* bytes, SIZE_T length);
};

class VertexShader : public Counted<ID3D11VertexShader> {
 public:
  VertexShader(Recorder& recorder, ShaderCode code) : Counted(recorder, ObjectKind::VertexShader), code(code) {}
  ShaderCode code;
};

class PixelShader : public Counted<ID3D11PixelShader> {
 public:
  PixelShader(Recorder& recorder, ShaderCode code) : Counted(recorder, ObjectKind::PixelShader), code(code) {}
  ShaderCode code;
};

class InputLayout : public Counted<ID3D11InputLayout> {
 public:
  InputLayout(Recorder& recorder, std::vector<LayoutElement> elements)
      : Counted(recorder, ObjectKind::InputLayout), elements(std::move(elements)) {}
  std::vector<LayoutElement> elements;
};

class Blob : public Counted<ID3DBlob> {
 public:
  Blob(Recorder& recorder, std::vector<uint8_t> bytes) : Counted(recorder, ObjectKind::Blob), bytes(std::move(bytes)) {}
  void* GetBufferPointer() override { return bytes.data(); }
  SIZE_T GetBufferSize() override { return bytes.size(); }
  std::vector<uint8_t> bytes;
};

/// The device's immediate context: keeps what is bound by id, so that an
/// object released while bound is simply missing at the next draw.
class Context : public Counted<ID3D11DeviceContext> {
 public:
  explicit Context(Recorder& recorder) : Counted(recorder, ObjectKind::Context, 1, true) {}

  HRESULT Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP mapType, UINT mapFlags,
              D3D11_MAPPED_SUBRESOURCE* mapped) override;
  void Unmap(ID3D11Resource* resource, UINT subresource) override;
  void UpdateSubresource(ID3D11Resource* resource, UINT subresource, const D3D11_BOX* box, const void* data,
                         UINT rowPitch, UINT depthPitch) override;
  void IASetInputLayout(ID3D11InputLayout* layout) override;
  void IASetVertexBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers, const UINT* strides,
                          const UINT* offsets) override;
  void IASetIndexBuffer(ID3D11Buffer* buffer, DXGI_FORMAT format, UINT offset) override;
  void IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY topology) override;
  void VSSetShader(ID3D11VertexShader* shader, ID3D11ClassInstance* const* instances, UINT instanceCount) override;
  void PSSetShader(ID3D11PixelShader* shader, ID3D11ClassInstance* const* instances, UINT instanceCount) override;
  void VSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) override;
  void PSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) override;
  void DrawIndexed(UINT indexCount, UINT startIndex, INT baseVertex) override;

  static constexpr unsigned kSlots = 16;

 private:
  Buffer* liveBuffer(const IUnknown* pointer) const;
  void setConstantBuffers(const char* function, unsigned* slots, UINT startSlot, UINT count,
                          ID3D11Buffer* const* buffers);

  unsigned m_layout = 0;
  unsigned m_vertexBuffers[kSlots] = {};
  unsigned m_strides[kSlots] = {};
  unsigned m_offsets[kSlots] = {};
  unsigned m_indexBuffer = 0;
  int m_indexFormat = DXGI_FORMAT_UNKNOWN;
  unsigned m_indexOffset = 0;
  int m_topology = D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
  unsigned m_vertexShader = 0;
  unsigned m_pixelShader = 0;
  unsigned m_vertexConstants[kSlots] = {};
  unsigned m_pixelConstants[kSlots] = {};
};

/// The renderer's device. The host holds its reference and the one on its
/// immediate context; neither goes away when a borrower releases too much.
class Device : public Counted<ID3D11Device> {
 public:
  explicit Device(Recorder& recorder)
      : Counted(recorder, ObjectKind::Device, 1, true), m_context(std::make_unique<Context>(recorder)) {}

  HRESULT CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initialData,
                       ID3D11Buffer** buffer) override;
  HRESULT CreateVertexShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                             ID3D11VertexShader** shader) override;
  HRESULT CreatePixelShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                            ID3D11PixelShader** shader) override;
  HRESULT CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* bytecode, SIZE_T length,
                            ID3D11InputLayout** layout) override;
  void GetImmediateContext(ID3D11DeviceContext** context) override;

 private:
  /// A shader of the kind `Made` from compiled code whose target starts with
  /// `prefix` ("vs_", "ps_"), recorded under `name`.
  template <typename Made, typename Interface>
  HRESULT createShader(const char* name, const char* prefix, const void* bytecode, SIZE_T length,
                       ID3D11ClassLinkage* linkage, Interface** shader);

  std::unique_ptr<Context> m_context;
};

/// The record the device and the compiler write to; owned by the renderer.
Recorder& d3dRecorder();

}  // namespace zovhost::d3d
